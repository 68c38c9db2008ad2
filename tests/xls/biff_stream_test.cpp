// Record stream: the byte cursor, the payload buffer, record framing, the record cursor
// with read-ahead, and shared strings joined across CONTINUE records.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cfb_builder.h"
#include "text/ByteReader.h"
#include "xls/BiffStream.h"
#include "xls/XLSError.h"

namespace morvik::xls {
namespace {

// A payload under construction, little-endian.
class P {
  public:
    P& U8(std::uint32_t v) {
        b_.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    P& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
    P& U32(std::uint32_t v) { return U16(v).U16(v >> 16); }
    P& Chars(std::string_view s) {
        b_.insert(b_.end(), s.begin(), s.end());
        return *this;
    }
    P& Wide(std::u16string_view s) {
        for (char16_t c : s) U16(c);
        return *this;
    }
    P& Zeros(std::size_t n) {
        b_.insert(b_.end(), n, 0);
        return *this;
    }
    operator std::vector<std::uint8_t>() const { return b_; }

  private:
    std::vector<std::uint8_t> b_;
};

struct Rec {
    std::uint16_t id;
    std::vector<std::uint8_t> payload;
};

constexpr std::uint16_t kSst = 0x00FC, kContinue = 0x003C, kLabelSst = 0x00FD, kEof = 0x000A,
                        kBof = 0x0809;

std::vector<std::uint8_t> Records(const std::vector<Rec>& records,
                                  const std::vector<std::uint8_t>& tail = {}) {
    std::vector<std::uint8_t> out;
    for (const Rec& r : records) {
        const std::vector<std::uint8_t> header =
            P().U16(r.id).U16(static_cast<std::uint32_t>(r.payload.size()));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), r.payload.begin(), r.payload.end());
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// A workbook stream inside a compound file, as the reader sees it.
struct Workbook {
    explicit Workbook(const std::vector<std::uint8_t>& stream)
        : file(testing::BuildWorkbookFile(stream)), biff(*file.Root().FindStream("Workbook")) {}
    TCFile file;
    TBIFFStream biff;
};

std::string Narrow(std::string_view chars) {
    return std::string(1, kMarkNarrow) + std::string(chars);
}
std::string Wide(std::u16string_view chars) {
    std::string out(1, kMarkWide);
    for (char16_t c : chars) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// ---- ByteReader ----

TEST(ByteReader, ReadsLittleEndianAndGivesZeroPastTheEnd) {
    const std::uint8_t bytes[] = {
        0x01,                                            // U8
        0x34, 0x12,                                      // U16 0x1234
        0xFE, 0xFF,                                      // I16 -2
        0x78, 0x56, 0x34, 0x12,                          // U32 0x12345678
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // F64 1.0
        0xAA,                                            // one byte left: too short for a U16
    };
    ByteReader r(bytes);
    EXPECT_EQ(r.U8(), 0x01);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.I16(), -2);
    EXPECT_EQ(r.U32(), 0x12345678u);
    EXPECT_EQ(r.F64(), 1.0);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.U16(), 0);  // does not fit
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Offset(), sizeof bytes - 1);  // a failed read does not move
    EXPECT_EQ(r.U8(), 0xAA);
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(ByteReader, HugeCountsCannotWrapTheBoundsCheck) {
    const std::uint8_t bytes[8] = {};
    ByteReader r(bytes, 4);
    EXPECT_FALSE(r.CanRead(std::numeric_limits<std::size_t>::max()));
    EXPECT_FALSE(r.CanRead(std::numeric_limits<std::size_t>::max() - 2));
    EXPECT_TRUE(r.Bytes(std::numeric_limits<std::size_t>::max()).empty());
    EXPECT_FALSE(r.Skip(std::numeric_limits<std::size_t>::max()));
    EXPECT_FALSE(r.Seek(9));
    EXPECT_EQ(r.Offset(), 4u);
    EXPECT_TRUE(r.CanRead(4));
    EXPECT_FALSE(r.CanRead(5));
}

// ---- TEasyStream ----

TEST(EasyStream, EmptyPayloadReadsNothing) {
    TEasyStream s;
    std::uint8_t b = 7;
    std::uint16_t w = 7;
    std::uint32_t d = 7;
    double f = 7;
    std::string text = "kept";
    EXPECT_FALSE(s.ReadByte(b));
    EXPECT_FALSE(s.ReadWord(w));
    EXPECT_FALSE(s.ReadDWord(d));
    EXPECT_FALSE(s.ReadDouble(f));
    EXPECT_FALSE(s.ReadString(1, text));
    EXPECT_EQ(b, 0);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(d, 0u);
    EXPECT_EQ(f, 0.0);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(s.Remaining(), 0);
}

TEST(EasyStream, ShortReadsYieldZeroAndMoveByWhatWasThere) {
    const std::vector<std::uint8_t> bytes = {0x11, 0x22, 0x33};
    TEasyStream s(bytes);
    std::uint32_t d = 0xFFFFFFFF;
    EXPECT_FALSE(s.ReadDWord(d));
    EXPECT_EQ(d, 0u);  // not the three bytes glued to garbage
    EXPECT_EQ(s.Position(), 3);

    s.SetPosition(1);
    std::uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_FALSE(s.ReadBuffer(buffer, 4));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 4),
              (std::vector<std::uint8_t>{0x22, 0x33, 0, 0}));

    s.SetPosition(1);
    std::string text = "kept";
    EXPECT_FALSE(s.ReadString(3, text));  // all or nothing
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(s.Position(), 1);
    EXPECT_TRUE(s.ReadString(2, text));
    EXPECT_EQ(text, "\x22\x33");

    s.Skip(10);
    EXPECT_EQ(s.Remaining(), -10);
    EXPECT_EQ(s.Word(), 0);
    EXPECT_EQ(s.Position(), 13);  // nothing read, nothing moved
    s.Skip(-100);
    EXPECT_EQ(s.Position(), 0);
    s.Skip(std::numeric_limits<std::int64_t>::max());
    s.Skip(std::numeric_limits<std::int64_t>::max());
    EXPECT_LT(s.Remaining(), 0);
}

TEST(EasyStream, ShrinkingAndGrowingAgainShowsZerosOnly) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6};
    TEasyStream s(bytes);
    s.SetSize(2);
    EXPECT_EQ(s.Bytes().size(), 2u);
    s.SetPosition(1);
    EXPECT_EQ(s.DWord(), 0u);  // the old bytes beyond the end are not read
    s.SetSize(5);
    EXPECT_EQ(std::vector<std::uint8_t>(s.Bytes().begin(), s.Bytes().end()),
              (std::vector<std::uint8_t>{1, 2, 0, 0, 0}));
    std::uint8_t* data = s.SetSizeForOverwrite(3);
    EXPECT_EQ(data, s.Data());
    EXPECT_EQ(s.Size(), 3);
}

// A shown payload is read where it lies; once the stream is to change it, the bytes must be
// its own, or they change under it when their source is reused.
TEST(EasyStream, ShownBytesAreCopiedBeforeAnyChange) {
    std::vector<std::uint8_t> source = {0x34, 0x12, 0x78, 0x56};
    TEasyStream s(std::vector<std::uint8_t>{9, 9, 9, 9, 9, 9});
    s.SetPosition(3);
    s.View(source.data(), 3);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.Bytes().data(), source.data());
    EXPECT_EQ(s.Word(), 0x1234);
    EXPECT_EQ(s.Word(), 0);  // only 3 bytes are shown, not the source's fourth
    s.SetSize(5);            // grows with zeros behind the shown bytes
    source.assign(4, 0xEE);
    EXPECT_EQ(std::vector<std::uint8_t>(s.Bytes().begin(), s.Bytes().end()),
              (std::vector<std::uint8_t>{0x34, 0x12, 0x78, 0, 0}));

    s.View(source.data(), 2);
    TEasyStream copy(s);
    std::uint8_t* own = s.Data();
    source.assign(4, 0x11);
    EXPECT_NE(own, source.data());
    EXPECT_EQ(s.Word(), 0xEEEE);
    EXPECT_EQ(copy.Word(), 0xEEEE);
}

TEST(EasyStream, CountedStrings) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> payload;
        int countBytes;
        bool ok;
        std::string marked;
    };
    const Case cases[] = {
        {"8-bit, 2-byte count", P().U16(3).U8(0).Chars("abc"), 2, true, Narrow("abc")},
        {"16-bit, 2-byte count", P().U16(2).U8(1).Wide(u"\u010Dx"), 2, true, Wide(u"\u010Dx")},
        {"8-bit, 1-byte count", P().U8(2).U8(0).Chars("ab").Chars("rest"), 1, true, Narrow("ab")},
        {"other option bits ignored", P().U16(1).U8(0x0C).Chars("z"), 2, true, Narrow("z")},
        {"empty", P().U16(0).U8(0), 2, true, Narrow("")},
        {"characters cut short", P().U16(5).U8(0).Chars("ab"), 2, false, Narrow("")},
        {"16-bit cut inside a character", P().U16(2).U8(1).Wide(u"a").U8('b'), 2, false,
         Narrow("")},
        {"no option byte", P().U16(0), 2, false, Narrow("")},
        {"no count", P().U8(1), 2, false, Narrow("")},
    };
    for (const Case& c : cases) {
        TEasyStream s(c.payload);
        std::string marked = "junk";
        EXPECT_EQ(ReadCountedString(s, c.countBytes, marked), c.ok) << c.what;
        EXPECT_EQ(marked, c.marked) << c.what;
    }
}

TEST(MarkedText, ConvertsToUtf8AndUtf16) {
    EXPECT_EQ(MarkedTextToUtf8(Narrow("a\xE9")), "a\xC3\xA9");  // 8-bit codes are code points
    EXPECT_EQ(MarkedTextToUtf8(Wide(u"\u010D\U0001F600")), "\xC4\x8D\xF0\x9F\x98\x80");
    EXPECT_EQ(MarkedTextToUtf8(Wide(u"\xD800") + "x"),
              "\xEF\xBF\xBD");  // lone surrogate; odd byte dropped
    EXPECT_EQ(MarkedTextToWide(Narrow("a\xE9")), u"a\u00E9");
    EXPECT_EQ(MarkedTextToUtf8(""), "");
    EXPECT_EQ(Widen("a\xE9"), std::string("a\0\xE9\0", 4));
}

// ---- Record framing ----

struct Framing {
    const char* what;
    std::vector<std::uint8_t> stream;
    std::vector<std::pair<std::uint16_t, std::size_t>> records;  // id and payload size read
    std::uint32_t idAfterEnd;                                    // RecordId once reading fails
};

TEST(BIFFStream, CutsTheStreamIntoRecords) {
    const std::vector<std::uint8_t> whole =
        Records({{kBof, P().U16(0x600).U16(5)}, {0x0200, {}}, {kEof, {}}});
    const Framing cases[] = {
        {"whole records, one empty", whole, {{kBof, 4}, {0x0200, 0}, {kEof, 0}}, kEof},
        {"empty stream", {}, {}, 0},
        {"cut inside an identifier",
         Records({{kBof, P().U32(1)}}, P().U8(0x0A)),
         {{kBof, 4}},
         kBof},
        {"cut inside a length: the identifier stays",
         Records({{kBof, P().U32(1)}}, P().U16(0x0203).U8(8)),
         {{kBof, 4}},
         0x0203},
        {"cut inside a payload",
         Records({{kBof, P().U32(1)}}, P().U16(0x0203).U16(14).U32(0)),
         {{kBof, 4}},
         0x0203},
        {"length far beyond the stream",
         Records({{kBof, P().U32(1)}}, P().U16(0x0203).U16(0xFFFF).U32(0)),
         {{kBof, 4}},
         0x0203},
    };
    for (const Framing& c : cases) {
        Workbook wb(c.stream);
        for (const auto& [id, size] : c.records) {
            ASSERT_TRUE(wb.biff.ReadRecord()) << c.what;
            EXPECT_EQ(wb.biff.Record().RecordId, id) << c.what;
            EXPECT_EQ(wb.biff.Record().Data.Size(), static_cast<std::int64_t>(size)) << c.what;
            EXPECT_EQ(wb.biff.Record().Data.Position(), 0) << c.what;
        }
        EXPECT_FALSE(wb.biff.ReadRecord()) << c.what;
        EXPECT_EQ(wb.biff.Record().RecordId, c.idAfterEnd) << c.what;
        EXPECT_FALSE(wb.biff.ReadRecord()) << c.what;  // and stays at the end
        EXPECT_EQ(wb.biff.Position(), wb.biff.Size()) << c.what;
    }
}

// One buffer serves every record: a short record after a long one must not show the long
// one's bytes, and a payload cut off by the stream reads zero where it is missing.
TEST(BIFFStream, ReusedRecordBufferHoldsOnlyTheCurrentPayload) {
    Workbook wb(Records(
        {{kBof, P().U32(0x11223344).U32(0x55667788)}, {0x0203, P().U16(0xABCD)}, {kEof, {}}}));
    ASSERT_TRUE(wb.biff.ReadRecord());
    ASSERT_TRUE(wb.biff.ReadRecord());
    TEasyStream& data = wb.biff.Record().Data;
    EXPECT_EQ(data.Size(), 2);
    EXPECT_EQ(data.Bytes().size(), 2u);
    EXPECT_EQ(data.Word(), 0xABCD);
    EXPECT_EQ(data.Word(), 0);
    ASSERT_TRUE(wb.biff.ReadRecord());
    EXPECT_EQ(wb.biff.Record().Data.Size(), 0);
    EXPECT_TRUE(wb.biff.Record().Data.Bytes().empty());

    Workbook cut(
        Records({{kBof, P().U32(0xFFFFFFFF).U32(0xFFFFFFFF)}}, P().U16(0x0203).U16(6).U16(0x1234)));
    ASSERT_TRUE(cut.biff.ReadRecord());
    EXPECT_FALSE(cut.biff.ReadRecord());
    TEasyStream& rest = cut.biff.Record().Data;
    EXPECT_EQ(std::vector<std::uint8_t>(rest.Bytes().begin(), rest.Bytes().end()),
              (std::vector<std::uint8_t>{0x34, 0x12}));
}

TEST(BIFFStream, RewindStartsOver) {
    Workbook wb(Records({{kBof, P().U32(7)}, {kEof, {}}}));
    while (wb.biff.ReadRecord()) {
    }
    wb.biff.Rewind();
    ASSERT_TRUE(wb.biff.ReadRecord());
    EXPECT_EQ(wb.biff.Record().RecordId, kBof);
    EXPECT_EQ(wb.biff.Record().Data.DWord(), 7u);
}

// ---- Record cursor ----

TEST(RecordCursor, ReportsProgressAfterEveryRead) {
    Workbook wb(Records({{kBof, P().U32(0)}, {kEof, {}}}));  // 8 + 4 bytes
    std::vector<double> seen;
    TRecordCursor cursor(wb.biff, [&](double f) { seen.push_back(f); });
    while (cursor.NextRecord()) cursor.Consume();
    EXPECT_EQ(seen, (std::vector<double>{8.0 / 12.0, 1.0, 1.0}));

    Workbook empty({});
    seen.clear();
    TRecordCursor emptyCursor(empty.biff, [&](double f) { seen.push_back(f); });
    EXPECT_FALSE(emptyCursor.NextRecord());
    EXPECT_EQ(seen, (std::vector<double>{1.0}));
}

TEST(RecordCursor, OffersAnUnconsumedRecordOnceMore) {
    Workbook wb(Records({{kBof, {}}, {kLabelSst, {}}, {kEof, {}}}));
    TRecordCursor cursor(wb.biff);
    ASSERT_TRUE(cursor.NextRecord());
    cursor.Consume();
    EXPECT_FALSE(cursor.FetchContinue());  // the LABELSST is no CONTINUE...
    EXPECT_FALSE(cursor.Consumed());
    ASSERT_TRUE(cursor.NextRecord());  // ...so it is offered to its own handler
    EXPECT_EQ(cursor.RecordId(), kLabelSst);
    try {
        cursor.NextRecord();  // and its handler left it unconsumed
        FAIL() << "no error";
    } catch (const EXLSError& e) {
        EXPECT_STREQ(e.what(), "Error: BIFF record can not be processed");
        EXPECT_EQ(e.Code(), kErrRecordUnreadable);
    }
}

TEST(RecordCursor, FetchContinueSeesContinueRecords) {
    Workbook wb(Records({{kSst, {}}, {kContinue, P().U8(1)}, {kEof, {}}}));
    TRecordCursor cursor(wb.biff);
    ASSERT_TRUE(cursor.NextRecord());
    EXPECT_TRUE(cursor.FetchContinue());
    EXPECT_EQ(cursor.Data().Byte(), 1);
    EXPECT_FALSE(cursor.FetchContinue());
    EXPECT_EQ(cursor.RecordId(), kEof);
}

// A read-ahead that ran into the end of the stream leaves nothing to offer: the loop ends
// quietly instead of handing the stale record out again (and then raising the repeat error).
TEST(RecordCursor, EndOfStreamDuringReadAheadEndsTheLoop) {
    Workbook wb(Records({{kSst, P().Zeros(8).U16(1).U8(0).Chars("a")}}));
    TRecordCursor cursor(wb.biff);
    std::vector<std::string> strings;
    int dispatched = 0;
    while (cursor.NextRecord()) {
        ++dispatched;
        if (cursor.RecordId() == kSst) {
            ReadSharedStringTable(cursor, strings);
        } else {
            cursor.Consume();
        }
    }
    EXPECT_EQ(dispatched, 1);
    EXPECT_EQ(strings, std::vector<std::string>{Narrow("a")});
}

// ---- Shared strings across CONTINUE records ----

struct SstCase {
    const char* what;
    std::vector<Rec> records;  // the SST record first
    std::vector<std::string> strings;
    int nextId;  // the record left current and unconsumed; -1: the stream ended
};

void PrintTo(const SstCase& c, std::ostream* os) { *os << c.what; }

class SharedStrings : public ::testing::TestWithParam<SstCase> {};

TEST_P(SharedStrings, AreJoinedAcrossContinueRecords) {
    const SstCase& c = GetParam();
    Workbook wb(Records(c.records));
    TRecordCursor cursor(wb.biff);
    ASSERT_TRUE(cursor.NextRecord());
    ASSERT_EQ(cursor.RecordId(), kSst);
    std::vector<std::string> strings;
    ReadSharedStringTable(cursor, strings);
    EXPECT_EQ(strings, c.strings);
    EXPECT_FALSE(cursor.Consumed());
    if (c.nextId < 0) {
        EXPECT_FALSE(cursor.NextRecord());
    } else {
        ASSERT_TRUE(cursor.NextRecord());
        EXPECT_EQ(cursor.RecordId(), static_cast<std::uint32_t>(c.nextId));
    }
}

P Counts() { return P().U32(0).U32(0); }  // total and unique counts, never trusted

INSTANTIATE_TEST_SUITE_P(
    ReadContinuedString, SharedStrings,
    ::testing::Values(
        SstCase{"two strings, the last ending the record",
                {{kSst, Counts().U16(3).U8(0).Chars("abc").U16(2).U8(1).Wide(u"d\u010D")},
                 {kLabelSst, P().Zeros(10)}},
                {Narrow("abc"), Wide(u"d\u010D")},
                kLabelSst},
        SstCase{"8-bit start, 16-bit rest in a CONTINUE: widened",
                {{kSst, Counts().U16(5).U8(0).Chars("ab")},
                 {kContinue, P().U8(1).Wide(u"c\u010De")},  // width byte, then the rest
                 {kEof, {}}},
                {Wide(u"abc\u010De")},
                kEof},
        SstCase{"16-bit start, 8-bit rest: stays wide",
                {{kSst, Counts().U16(4).U8(1).Wide(u"\u010Db")},
                 {kContinue, P().U8(0).Chars("cd")},
                 {kEof, {}}},
                {Wide(u"\u010Dbcd")},
                kEof},
        SstCase{"count ends the SST: the CONTINUE starts with the string's own option byte",
                {{kSst, Counts().U16(3)}, {kContinue, P().U8(1).Wide(u"xyz")}, {kEof, {}}},
                {Wide(u"xyz")},
                kEof},
        SstCase{"a single left-over byte is abandoned; the next string starts in the CONTINUE",
                {{kSst, Counts().U16(1).U8(0).Chars("a").U8(0x55)},
                 {kContinue, P().U16(1).U8(0).Chars("b")},
                 {kEof, {}}},
                {Narrow("a"), Narrow("b")},
                kEof},
        SstCase{"formatting runs straddle the boundary",
                {{kSst, Counts().U16(2).U8(0x08).U16(2).Chars("hi").U32(0x11111111).U16(0x2222)},
                 {kContinue,
                  P().U16(0x2222).U16(1).U8(0).Chars("z")},  // no width byte before run bytes
                 {kEof, {}}},
                {Narrow("hi"), Narrow("z")},
                kEof},
        SstCase{"characters and runs both continued",
                {{kSst, Counts().U16(4).U8(0x08).U16(1).Chars("ab")},
                 {kContinue, P().U8(0).Chars("cd").U16(0x0101)},
                 {kContinue, P().U16(0x0202).U16(1).U8(0).Chars("e")},
                 {kEof, {}}},
                {Narrow("abcd"), Narrow("e")},
                kEof},
        SstCase{"phonetic data skipped, also across records",
                {{kSst, Counts().U16(1).U8(0x04).U32(6).Chars("p").U32(0xAAAAAAAA)},
                 {kContinue, P().U16(0xAAAA).U16(1).U8(0).Chars("q")},
                 {kEof, {}}},
                {Narrow("p"), Narrow("q")},
                kEof},
        SstCase{
            "runs and phonetic data together: run count first",
            {{kSst,
              Counts().U16(1).U8(0x0D).U16(1).U32(2).Wide(u"r").U32(0).U16(0).U16(1).U8(0).Chars(
                  "s")},
             {kEof, {}}},
            {Wide(u"r"), Narrow("s")},
            kEof},
        SstCase{"one odd byte left in a 16-bit string counts as the record's end",
                {{kSst, Counts().U16(2).U8(1).Wide(u"a").U8('?')},
                 {kContinue, P().U8(1).Wide(u"b")},
                 {kEof, {}}},
                {Wide(u"ab")},
                kEof},
        SstCase{"an empty CONTINUE is passed over",
                {{kSst, Counts().U16(4).U8(0).Chars("ab")},
                 {kContinue, {}},
                 {kContinue, P().U8(0).Chars("cd")},
                 {kEof, {}}},
                {Narrow("abcd")},
                kEof},
        SstCase{"a string cut short keeps what it has and ends the table",
                {{kSst, Counts().U16(10).U8(0).Chars("abc")}, {kEof, {}}},
                {Narrow("abc")},
                kEof},
        SstCase{
            "runs cut short: the string stays, the table ends",
            {{kSst, Counts().U16(1).U8(0x08).U16(5).Chars("x").U32(0)}, {kLabelSst, P().Zeros(10)}},
            {Narrow("x")},
            kLabelSst},
        SstCase{"no strings at all", {{kSst, Counts()}, {kEof, {}}}, {}, kEof},
        SstCase{"the stream ends inside the table",
                {{kSst, Counts().U16(3).U8(0).Chars("abc").U16(9).U8(0).Chars("de")}},
                {Narrow("abc"), Narrow("de")},
                -1},
        SstCase{"a huge phonetic size only skips what the stream has",
                {{kSst, Counts().U16(1).U8(0x04).U32(0xFFFFFFFF).Chars("h")},
                 {kContinue, P().Zeros(100)},
                 {kEof, {}}},
                {Narrow("h")},
                kEof}));

}  // namespace
}  // namespace morvik::xls
