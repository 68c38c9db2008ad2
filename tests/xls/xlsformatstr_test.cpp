#include "xls/XLSFormatStr.h"

#include <gtest/gtest.h>

#include <set>

#include "xls/XLSError.h"

namespace morvik::xls {
namespace {

TEST(FormatStrings, BuiltinsArePositionedNotCodeOrdered) {
    const TFormatStrings f;
    ASSERT_EQ(f.Count(), 36);
    EXPECT_EQ(f.MaxCode(), 49);
    struct Case {
        int pos;
        std::uint16_t code;
        const char* pattern;
    };
    const Case cases[] = {
        {0, 0, "General"},
        {4, 5, "($#,##0_);($#,##0)"},
        {13, 14, "mm/dd/yy"},
        {22, 42, R"(_($* #,##0_);_($* (#,##0);_($* "-"_);_(@_))"},
        {23, 41, R"(_(* #,##0_);_(* (#,##0);_(* "-"_);_(@_))"},
        {24, 44, R"(_($* #,##0.00_);_($* (#,##0.00);_($* "-"??_);_(@_))"},
        {25, 43, R"(_(* #,##0.00_);_(* (#,##0.00);_(* "-"??_);_(@_))"},
        {26, 4, "#,##0.00"},
        {32, 46, "[h]:mm:ss"},
        {35, 49, "@"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(f.Get(c.pos), (TNumberFormat{c.code, c.pattern})) << c.pos;
        EXPECT_EQ(f.IndexOfCode(c.code), c.pos);
    }
    std::set<std::uint16_t> codes;
    for (int i = 0; i < f.Count(); ++i) codes.insert(f.Get(i).Code);
    EXPECT_EQ(codes.size(), 36u);  // no code twice
    EXPECT_EQ(f.IndexOfCode(23), -1);
    EXPECT_EQ(f.IndexOfCode(164), -1);
    EXPECT_THROW(f.Get(36), EListIndexError);
    EXPECT_THROW(f.Get(-1), EListIndexError);
}

TEST(FormatStrings, SetFormatReplacesOrAppends) {
    TFormatStrings f;
    EXPECT_EQ(f.SetFormat(164, "0.000"), 36);
    EXPECT_EQ(f.MaxCode(), 164);
    EXPECT_EQ(f.Get(36), (TNumberFormat{164, "0.000"}));
    EXPECT_EQ(f.SetFormat(14, "d.m.yyyy"), 13);
    EXPECT_EQ(f.Count(), 37);
    EXPECT_EQ(f.Get(13).Pattern, "d.m.yyyy");
    EXPECT_EQ(f.SetFormat(164, "0.0"), 36);
    EXPECT_EQ(f.Get(36).Pattern, "0.0");
    EXPECT_EQ(f.SetFormat(100, "x"), 37);  // below MaxCode: appended, MaxCode kept
    EXPECT_EQ(f.MaxCode(), 164);
    EXPECT_EQ(f.Count(), 38);
}

TEST(FormatClassification, Builtin) {
    struct Case {
        std::uint16_t code;
        std::string_view kind;
    };
    const Case cases[] = {
        {0, "general"}, {1, "double"}, {9, "double"},  {13, "double"}, {14, "date"},
        {22, "date"},   {23, ""},      {36, ""},       {37, "double"}, {44, "double"},
        {45, "date"},   {47, "date"},  {48, "double"}, {49, ""},       {164, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyBuiltinFormat(c.code), c.kind) << c.code;
}

TEST(FormatClassification, Text) {
    struct Case {
        std::string_view pattern;
        std::string_view kind;
    };
    const Case cases[] = {
        {"General", "general"},
        {"general", "date"},  // case-sensitive, and it has neither # nor 0
        {"@", "text"},
        {"0", "Integer"},
        {"0%", "Integer"},
        {"#", "Integer"},
        {"0.00", "double"},
        {"#,##0", "double"},
        {"0.00E+00", "double"},
        {"dd-mmm-yy", "date"},
        {"mm:ss.0", "date"},  // has a 0 but is a time
        {"General;[Red]-General", "date"},
        {"", "date"},
        {"d.m.yyyy", "date"},
    };
    for (const Case& c : cases) EXPECT_EQ(ClassifyFormatText(c.pattern), c.kind) << c.pattern;
}

TEST(CleanFormat, FirstSectionWithoutPaddingAndFill) {
    struct Case {
        std::string_view pattern;
        std::string_view clean;
    };
    const Case cases[] = {
        {"(#,##0.00_);[Red](#,##0.00)", "#,##0.00"},
        {"General", ""},
        {"GENERAL", ""},
        {"0.00%", "0.00%"},
        {"($#,##0_);($#,##0)", "$#,##0"},
        {R"(_($* #,##0_);_($* (#,##0);_($* "-"_);_(@_))", "$ #,##0"},
        {R"(_-* #,##0.00\ "Kč"_-;\-* #,##0.00\ "Kč"_-)", R"( #,##0.00 "Kč")"},
        {"#,##0.00\\ [$€-1]", "#,##0.00 [$€-1]"},
        {"0.0-*x", "0.0x"},
        {"", ""},
        {";", ""},
        {"[h]:mm:ss", "[h]:mm:ss"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanFormat(c.pattern), c.clean) << c.pattern;
}

}  // namespace
}  // namespace morvik::xls
