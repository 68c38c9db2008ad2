#include "xls/VDataTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace morvik::xls {
namespace {

TEST(Palette, MapColorIndex) {
    struct Case {
        std::uint32_t file;
        std::uint8_t palette;
    };
    const Case cases[] = {
        {0x7FFF, 1},  // automatic font colour of the file
        {12, 5},     {8, 1}, {9, 2}, {63, 56}, {64, 57},
        {65, 58},    {0, 1}, {7, 1}, {66, 1},  {0xFFFFFFFFu, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(MapColorIndex(c.file), c.palette) << c.file;
}

TEST(Palette, AutomaticEntriesAreBlackAndOutsideIsBlack) {
    for (std::uint8_t i : {1, 57, 58, 0, 59, 255})
        EXPECT_EQ(PaletteColor(i), RGBColor(0, 0, 0)) << int(i);
    EXPECT_EQ(PaletteColor(56), RGBColor(0x33, 0x33, 0x33));
}

TEST(Palette, NearestColor) {
    struct Case {
        TColor color;
        std::uint8_t index;
    };
    const Case cases[] = {
        {RGBColor(0, 0, 0), 1},  // black is 1, never the automatic 57 or 58
        {RGBColor(255, 255, 255), 2},
        {RGBColor(250, 4, 3), 3},
        {RGBColor(0, 0, 255), 5},
        {RGBColor(0x80, 0, 0), 9},         // also at 30: the first one wins
        {RGBColor(0x99, 0x33, 0x66), 18},  // also at 54
        {RGBColor(0xC0, 0xC0, 0xC0), 15},
        {RGBColor(0x34, 0x34, 0x34), 56},
        {RGBColor(0x01, 0x01, 0x01), 1},
        {0xFF000000u | RGBColor(255, 0, 0), 3},  // stray high bits are not a system colour
        {0x80000005u, 2},                        // system window background: white
        {0x80000008u, 1},                        // system window text: black
        {0x80FFFFFFu, 1},                        // unknown system colour
    };
    for (const Case& c : cases) EXPECT_EQ(NearestColor(c.color), c.index) << std::hex << c.color;
}

TEST(VirtualDataTable, InternAppendReplaceAndCounts) {
    TVirtualDataTable t;
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.Intern("a"), 0);
    EXPECT_EQ(t.Intern("b"), 1);
    EXPECT_EQ(t.Intern("a"), 0);
    EXPECT_EQ(t.UseCount(0), 2u);
    EXPECT_EQ(t.Append("a"), 2);  // never merged
    EXPECT_EQ(t.UseCount(2), 1u);
    EXPECT_EQ(t.IndexOf("a"), 0);

    EXPECT_EQ(t.Replace("b", "b"), 1);  // equal: no count changes
    EXPECT_EQ(t.UseCount(1), 1u);
    EXPECT_EQ(t.Replace("b", "c"), 3);
    EXPECT_EQ(t.UseCount(1), 0u);
    EXPECT_EQ(t.UseCount(3), 1u);
    EXPECT_EQ(t.Replace("absent", "c"), 3);
    EXPECT_EQ(t.UseCount(3), 2u);

    t.Release(1);  // already 0
    EXPECT_EQ(t.UseCount(1), 0u);
    t.AddRef(-1);
    t.AddRef(99);
    t.Release(99);
    EXPECT_EQ(t.UseCount(99), 0u);
    EXPECT_THROW(t.GetEntry(4), EListIndexError);

    t.Clear();
    EXPECT_EQ(t.Count(), 0);
    EXPECT_EQ(t.IndexOf("a"), -1);
    EXPECT_EQ(t.Intern("z"), 0);
}

TEST(VirtualDataTable, EntriesWithZeroBytesAreDistinct) {
    TVirtualDataTable t;
    using namespace std::string_literals;
    EXPECT_EQ(t.Intern("\0\0"s), 0);
    EXPECT_EQ(t.Intern("\0"s), 1);
    EXPECT_EQ(t.Intern(""s), 2);
    EXPECT_EQ(t.Intern("\0\0"s), 0);
}

TEST(StyleTables, NewTablesHoldTheDefaultOnce) {
    TVirtualXFTable xfs;
    TVirtualFontTable fonts;
    ASSERT_EQ(xfs.Count(), 1);
    ASSERT_EQ(fonts.Count(), 1);
    EXPECT_EQ(xfs.UseCount(0), 1u);
    EXPECT_EQ(fonts.UseCount(0), 1u);
    EXPECT_EQ(xfs.Get(0), TXFEntry{});
    const TFontEntry font = fonts.Get(0);
    EXPECT_EQ(font.GetName(), u"Arial");
    EXPECT_EQ(font.Height, 10);
    EXPECT_EQ(font.Color, 57);
    const TXFEntry xf = xfs.Get(0);
    EXPECT_EQ(xf.VertAlign, 2);
    EXPECT_EQ(xf.PatternColor, 57);
    EXPECT_EQ(xf.FillColor, 58);
    EXPECT_EQ(xf.BorderColor, (std::array<std::uint8_t, 4>{58, 58, 58, 58}));
}

// What a cell's style setter does: copy-on-write through the scratch.
int SetFillPattern(TVirtualXFTable& xfs, int xfIndex, std::uint8_t value) {
    TXFEntry& xf = xfs.Entry(xfIndex);
    if (xf.FillPattern == value) return xfIndex;
    xf.FillPattern = value;
    return xfs.Commit();
}

TEST(StyleTables, EqualFormattingIsSharedAndChangesAreCopyOnWrite) {
    TVirtualXFTable xfs;
    int cellA = 0, cellB = 0;
    cellA = SetFillPattern(xfs, cellA, 1);
    cellB = SetFillPattern(xfs, cellB, 1);
    EXPECT_EQ(xfs.Count(), 2);
    EXPECT_EQ(cellA, 1);
    EXPECT_EQ(cellB, 1);
    EXPECT_EQ(xfs.UseCount(1), 2u);

    cellA = SetFillPattern(xfs, cellA, 0);
    EXPECT_EQ(cellA, 0);
    EXPECT_EQ(cellB, 1);
    EXPECT_EQ(xfs.Get(1).FillPattern, 1);  // the entry B uses is untouched
    EXPECT_EQ(xfs.UseCount(1), 1u);
    EXPECT_EQ(xfs.Count(), 2);

    // Same value again: nothing is committed.
    EXPECT_EQ(SetFillPattern(xfs, cellB, 1), 1);
    EXPECT_EQ(xfs.UseCount(1), 1u);
}

TEST(StyleTables, FontChangeGoesThroughBothTables) {
    TVirtualXFTable xfs;
    TVirtualFontTable fonts;
    TXFEntry& xf = xfs.Entry(0);
    TFontEntry& font = fonts.Entry(xf.FontIndex);
    font.Bold = 1;
    xf.FontIndex = static_cast<std::uint16_t>(fonts.Commit());
    const int cell = xfs.Commit();
    EXPECT_EQ(cell, 1);
    EXPECT_EQ(xfs.Get(cell).FontIndex, 1);
    EXPECT_EQ(fonts.Get(1).Bold, 1);
    EXPECT_EQ(fonts.Get(0).Bold, 0);
}

TEST(StyleTables, LoadingAppendsOneToOne) {
    TVirtualFontTable fonts;
    fonts.BeginLoad();
    EXPECT_EQ(fonts.Count(), 0);
    const std::vector<std::uint8_t> record = {0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0,   0,  0,
                                              0,    0, 0, 5, 0,    'A',  'r',  'i',  'a', 'l'};
    for (int i = 0; i < 3; ++i) {
        FontFromRecord(record, fonts.Scratch());
        EXPECT_EQ(fonts.AppendScratch(), i);
    }
    EXPECT_EQ(fonts.Count(), 3);
    EXPECT_EQ(fonts.Get(0), fonts.Get(2));
    EXPECT_EQ(fonts.Data().IndexOf(fonts.Get(1).ToBytes()), 0);
    EXPECT_EQ(fonts.UseCount(2), 1u);
    EXPECT_THROW(fonts.Entry(3), EListIndexError);
    EXPECT_THROW(fonts.Entry(-1), EListIndexError);
}

TEST(StyleTables, EntriesPackWithoutGaps) {
    TFontEntry font;
    EXPECT_EQ(font.ToBytes().size(), 209u);
    EXPECT_EQ(TXFEntry{}.ToBytes().size(), 22u);
    font.Height = 0x1234;
    font.SetName(u"Tahoma");
    const std::string bytes = font.ToBytes();
    EXPECT_EQ(bytes[7], '\x34');
    EXPECT_EQ(bytes[8], '\x12');
    EXPECT_EQ(bytes[9], 'T');
    EXPECT_EQ(bytes[10], '\0');
    EXPECT_EQ(bytes[208], '\0');  // unused name units are zero so equal fonts have equal bytes
    EXPECT_EQ(TFontEntry::FromBytes(bytes), font);

    TXFEntry xf;
    xf.FontIndex = 0x0102;
    xf.BorderStyle = {1, 2, 3, 4};
    xf.IsStyleXF = 1;
    EXPECT_EQ(TXFEntry::FromBytes(xf.ToBytes()), xf);
    EXPECT_EQ(TXFEntry::FromBytes("short"), TXFEntry{});
}

TEST(FontEntry, LongNamesAreCutSafely) {
    TFontEntry font;
    font.SetName(std::u16string(150, u'x'));
    EXPECT_EQ(font.GetName().size(), 100u);
    std::u16string pairs = std::u16string(99, u'y') + u"\U0001F600";  // pair at units 99 and 100
    font.SetName(pairs);
    EXPECT_EQ(font.GetName(), std::u16string(99, u'y'));
    font.SetName(u"");
    EXPECT_EQ(font.GetName(), u"");
}

TEST(FontFromRecord, Fields) {
    // height 280 twips, options italic|strike-out, colour 10, weight 700, superscript,
    // underline 0x21, family/charset/reserved, 3 UTF-16 characters.
    const std::vector<std::uint8_t> body = {0x18, 0x01, 0x0A, 0x00, 0x0A, 0x00, 0xBC, 0x02,
                                            0x01, 0x00, 0x21, 0,    0,    0,    3,    1,
                                            0x0C, 0x01, 'a',  0x00, 0x60, 0x20};
    TFontEntry e;
    FontFromRecord(body, e);
    EXPECT_EQ(e.Height, 14);
    EXPECT_EQ(e.Italic, 1);
    EXPECT_EQ(e.StrikeOut, 1);
    EXPECT_EQ(e.Color, 3);
    EXPECT_EQ(e.Bold, 1);
    EXPECT_EQ(e.Script, 1);
    EXPECT_EQ(e.UnderlineStyle, 0x21);
    EXPECT_EQ(e.Underline, 1);
    EXPECT_EQ(e.GetName(), u"\u010Ca\u2060");
}

TEST(FontFromRecord, BoldOnlyAtWeight700AndShortBodies) {
    struct Case {
        std::uint16_t weight;
        std::uint8_t bold;
    };
    for (const Case c : {Case{400, 0}, Case{700, 1}, Case{800, 0}, Case{699, 0}}) {
        std::vector<std::uint8_t> body(16, 0);
        body[6] = static_cast<std::uint8_t>(c.weight);
        body[7] = static_cast<std::uint8_t>(c.weight >> 8);
        TFontEntry e;
        FontFromRecord(body, e);
        EXPECT_EQ(e.Bold, c.bold) << c.weight;
    }
    // The name claims 40 characters, 16-bit, but only two and a half are there.
    const std::vector<std::uint8_t> truncated = {0xC8, 0, 0, 0,  8, 0,   0, 0,   0, 0,  0,
                                                 0,    0, 0, 40, 1, 'A', 0, 'b', 0, 'c'};
    TFontEntry e;
    FontFromRecord(truncated, e);
    EXPECT_EQ(e.GetName(), u"Ab");
    EXPECT_EQ(e.Color, 1);
    FontFromRecord({}, e);
    EXPECT_EQ(e.Height, 0);
    EXPECT_EQ(e.GetName(), u"");
}

std::vector<std::uint8_t> XFBody(std::uint16_t font, std::uint16_t format, std::uint16_t type,
                                 std::uint16_t align, std::uint8_t indent, std::uint16_t styles,
                                 std::uint16_t sideColors, std::uint32_t more, std::uint16_t fill) {
    std::vector<std::uint8_t> b;
    auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    u16(font);
    u16(format);
    u16(type);
    u16(align);
    b.push_back(indent);
    b.push_back(0);  // used-attribute flags
    u16(styles);
    u16(sideColors);
    u16(static_cast<std::uint16_t>(more));
    u16(static_cast<std::uint16_t>(more >> 16));
    u16(fill);
    return b;
}

TEST(XFFromRecord, Fields) {
    const auto body =
        XFBody(5, 164, 0x0004,
               0x5A00 | (1 << 4) | (1 << 3) | 2,  // rotation 90, vert 1, wrap, horiz 2
               0xF3,                              // indent 3 in the low bits
               0x4321,                            // border styles l1 r2 t3 b4
               (10 << 7) | 8,                     // left colour 8, right 10
               (1u << 26) | (64u << 7) | 12u,     // solid, bottom 64, top 12
               (65 << 7) | 13);                   // foreground 13, background 65
    TXFEntry e;
    XFFromRecord(body, e);
    EXPECT_EQ(e.FontIndex, 5);
    EXPECT_EQ(e.NumberFormat, 164);
    EXPECT_EQ(e.IsStyleXF, 1);
    EXPECT_EQ(e.HorizAlign, 2);
    EXPECT_EQ(e.WrapText, 1);
    EXPECT_EQ(e.VertAlign, 1);
    EXPECT_EQ(e.Rotation, 90);
    EXPECT_EQ(e.Indent, 3);
    EXPECT_EQ(e.BorderStyle, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(e.BorderColor, (std::array<std::uint8_t, 4>{1, 3, 5, 57}));
    EXPECT_EQ(e.FillPattern, 1);
    EXPECT_EQ(e.FillColor, 6);  // solid: the foreground fills
    EXPECT_EQ(e.PatternColor, 58);
    EXPECT_EQ(e.Merged, 0);

    XFFromRecord(XFBody(0, 0, 0, 0, 0, 0, 0, (2u << 26), (65 << 7) | 13), e);
    EXPECT_EQ(e.FillPattern, 2);
    EXPECT_EQ(e.PatternColor, 6);
    EXPECT_EQ(e.FillColor, 58);
    EXPECT_EQ(e.IsStyleXF, 0);

    XFFromRecord(std::vector<std::uint8_t>{7, 0}, e);  // truncated body: the rest reads as zero
    EXPECT_EQ(e.FontIndex, 7);
    EXPECT_EQ(e.VertAlign, 0);
    EXPECT_EQ(e.FillColor, 1);
}

TEST(XFEntry, IsPlain) {
    EXPECT_TRUE(IsPlain(TXFEntry{}));
    TXFEntry styled;
    styled.FontIndex = 3;
    styled.HorizAlign = 2;
    styled.Rotation = 45;
    styled.FillColor = 3;
    styled.BorderColor = {1, 1, 1, 1};
    EXPECT_TRUE(IsPlain(styled));  // fonts, alignment, rotation and colours do not count

    using Mutate = void (*)(TXFEntry&);
    const Mutate notPlain[] = {
        [](TXFEntry& e) { e.NumberFormat = 1; }, [](TXFEntry& e) { e.WrapText = 1; },
        [](TXFEntry& e) { e.FillPattern = 1; },  [](TXFEntry& e) { e.Merged = 1; },
        [](TXFEntry& e) { e.Indent = 1; },       [](TXFEntry& e) { e.BorderStyle[3] = 1; },
    };
    for (Mutate m : notPlain) {
        TXFEntry e;
        m(e);
        EXPECT_FALSE(IsPlain(e));
    }
}

}  // namespace
}  // namespace morvik::xls
