#include "xls/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "xls/XLSFormatStr.h"

namespace morvik::xls {
namespace {

struct Case {
    const char* pattern;
    double value;
    const char* text;
};

const TFormatSettings kDefault{};

TFormatSettings Czech() {
    TFormatSettings s;
    s.DecimalSeparator = ",";
    s.ThousandSeparator = "\u00A0";
    s.DateSeparator = ".";
    s.TimeSeparator = ":";
    s.ShortDateFormat = "d/m/yyyy";
    return s;
}

TEST(FormatNumber, GeneralForm) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"", 1.5, "1.5"},
        {"", 0, "0"},
        {"", -0.0, "0"},
        {"", -2.25, "-2.25"},
        {"", 0.1 + 0.2, "0.3"},  // 15 significant digits hide the binary noise
        {"", 1e20, "1E20"},
        {"", 1e15, "1E15"},
        {"", 999999999999999, "999999999999999"},
        {"", 123456789012345678.0, "1.23456789012346E17"},
        {"", 0.00001, "0.00001"},
        {"", 0.0000015, "1.5E-6"},
        {"", -1e-300, "-1E-300"},
        {"General", 42, "42"},
        {"@", 1.5, "1.5"},
        {"@", -1.5, "-1.5"},
        {"General \"kg\"", -1.5, "-1.5 kg"},
        {"General;(General)", -1.5, "(1.5)"},
        {"0.00", nan, "NAN"},
        {"", inf, "INF"},
        {"#,##0", -inf, "-INF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
}

TEST(FormatNumber, Placeholders) {
    const Case cases[] = {
        {"0", 2.5, "3"},  // half away from zero
        {"0", -2.5, "-3"},
        {"0", 0.4, "0"},
        {"0", -0.4, "0"},  // no sign on a zero result
        {"0.00", 0.125, "0.13"},
        {"0.00", 2.675, "2.68"},  // 2.67499999... in binary, 2.675 as written
        {"0.00", 7, "7.00"},
        {"0.00", -1.005, "-1.01"},
        {"0.00", 1e-20, "0.00"},
        {"0.00", 9.995, "10.00"},
        {"#,##0", 1234567.89, "1,234,568"},
        {"#,##0", 0, "0"},
        {"#,##0", 999.5, "1,000"},
        {"#,##0", -1234, "-1,234"},
        {"#,##0.00", 1234.5, "1,234.50"},
        {"$#,##0", -5, "-$5"},
        {"0%", 0.125, "13%"},
        {"0.00%", 0.125, "12.50%"},
        {"0.0#", 1.5, "1.5"},
        {"0.0#", 1.25, "1.25"},
        {"0.0#", 1, "1.0"},
        {"#.##", 0.5, ".5"},
        {"#.##", 12, "12."},
        {".00", 12.5, "12.50"},
        {"#", 0, ""},
        {"00000", 42, "00042"},
        {"000-00-0000", 123456789, "123-45-6789"},
        {"0,", 12345, "12"},
        {"#,##0,,", 1234567890, "1,235"},
        {"\"kg\" 0.0", 2, "kg 2.0"},
        {"0.0 \"kg\"", 2, "2.0 kg"},
        {"0.0\\k", 2, "2.0k"},
        {"[Red]0.00", 1, "1.00"},
        {"#,##0.00 [$€-1]", 3, "3.00 €"},
        {"0.00_);(0.00)", 2, "2.00"},
        {"*x0", 5, "5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
    EXPECT_EQ(FormatNumber("0.00", 1e300, kDefault), "1" + std::string(300, '0') + ".00");
}

// Patterns thousands of characters long give what their short forms give.
TEST(FormatNumber, LongPatterns) {
    const TFormatSettings kDefault{};
    struct Case {
        std::string pattern;
        double value;
        std::string text;
    };
    const Case cases[] = {
        // Every comma right after the last placeholder divides by 1000.
        {"0" + std::string(3, ','), 4.5e9, "5"},
        {"0" + std::string(5000, ','), 4.5e9, "0"},
        // A comma after a literal no longer scales: it shows.
        {"0\\x" + std::string(3000, ','), 7, "7x" + std::string(3000, ',')},
        // Zeros of a seconds fraction, however many (shown up to the digits a double has).
        {"ss." + std::string(3, '0'), 1.5 / 86400, "01.500"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value, kDefault), c.text) << c.pattern.substr(0, 20);
    const std::string longFraction = "ss." + std::string(5000, '0');
    EXPECT_EQ(FormatDateTime(longFraction, 1.5 / 86400, kDefault).substr(0, 6), "01.500");
}

TEST(FormatNumber, Sections) {
    const Case cases[] = {
        {"0.00;(0.00);\"zero\"", 3, "3.00"},
        {"0.00;(0.00);\"zero\"", -3, "(3.00)"},
        {"0.00;(0.00);\"zero\"", 0, "zero"},
        {"0;0", -7, "7"},
        {"0;;", -5, ""},
        {"\"a;b\" 0", 1, "a;b 1"},  // a quoted ';' does not split
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
}

TEST(FormatNumber, Exponents) {
    const Case cases[] = {
        {"0.00E+00", 12345, "1.23E+04"},    {"0.00E+00", -12345, "-1.23E+04"},
        {"0.00E+00", 0.000123, "1.23E-04"}, {"0.00E+00", 0, "0.00E+00"},
        {"0.00E+00", 999900, "1.00E+06"},  // rounding carries into the exponent
        {"0.00E-00", 12345, "1.23E04"},     {"0.00E+00", 1e300, "1.00E+300"},
        {"##0.0E+0", 12345, "12.3E+3"},     {"##0.0E+0", 0.001234, "1.2E-3"},
        {"##0.0E+0", 999999, "1.0E+6"},     {"##0.0E+0", 100, "100.0E+0"},
        {"##0.0E+0", 0, "0.0E+0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
}

TEST(FormatNumber, Fractions) {
    const Case cases[] = {
        {"# ?/?", 1.25, "1 1/4"},
        {"# ?/?", 0.5, "1/2"},
        {"# ?/?", 3, "3"},
        {"# ?/?", 0, "0"},
        {"# ?/?", -1.25, "-1 1/4"},
        {"# ?/?", 0.96, "1"},  // nearest ninth is 1/1: carried into the whole part
        {"# \?\?/\?\?", 3.14159, "3 14/99"},
        {"?/8", 0.3, "2/8"},
        {"# ?/100", 1.25, "1 25/100"},
        {"?/?", 2.5, "5/2"},
        {"?/??", 1e15, "1E15"},  // too large for a fraction: general form
        {"# ?/?", 1e16, "1E16"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatNumber(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
}

TEST(FormatNumber, SeparatorsComeFromTheSettings) {
    const TFormatSettings cz = Czech();
    EXPECT_EQ(FormatNumber("#,##0.00", 1234.5, cz), "1\u00A0234,50");
    EXPECT_EQ(FormatNumber("0.00E+00", 1234.5, cz), "1,23E+03");
    EXPECT_EQ(FormatNumber("", 1.5, cz), "1,5");
    EXPECT_EQ(FormatNumber("mm/dd/yy", 45000, cz), "03.15.23");
}

// Every built-in pattern, cleaned as cells display it, gives sensible text for a few values.
TEST(FormatNumber, BuiltinTableAfterCleaning) {
    const TFormatStrings formats;
    struct Expect {
        int pos;
        double value;
        const char* text;
    };
    const Expect cases[] = {
        {0, 1234.5, "1234.5"},         {1, 1234.5, "1235"},      {2, 1234.5, "1234.50"},
        {3, 1234.5, "1,235"},          {4, -1234.5, "-$1,235"},  {6, 1234.5, "$1,234.50"},
        {10, 1234.5, "1.23E+03"},      {11, 1234.5, "1234 1/2"}, {12, 0.3, "3/10"},
        {13, 45000, "03/15/23"},       {14, 45000, "15-Mar-23"}, {15, 45000, "15-Mar"},
        {16, 45000, "Mar-23"},         {17, 0.75, "6:00 PM"},    {18, 0.75, "6:00:00 PM"},
        {19, 0.75, "18:00"},           {20, 0.75, "18:00:00"},   {21, 45000.5, "03/15/23 12:00"},
        {22, 1234.5, "$ 1,235"},       {23, -1234.5, "- 1,235"}, {24, 1234.5, "$ 1,234.50"},
        {25, 1234.5, " 1,234.50"},     {26, 1234.5, "1,234.50"}, {27, 1234.5, "1,235"},
        {30, -1234.5, "-1,234.50"},    {31, 0.0125, "18:00"},    {32, 1.5, "36:00:00"},
        {33, 1.24 / 86400, "00:01.2"}, {34, 12345, "12.3E+3"},   {35, 1.5, "1.5"},
    };
    for (const Expect& c : cases) {
        const std::string pattern = CleanFormat(formats.Get(c.pos).Pattern);
        EXPECT_EQ(FormatNumber(pattern, c.value, kDefault), c.text) << c.pos << " " << pattern;
    }
}

TEST(FormatDateTime, Codes) {
    const Case cases[] = {
        {"mm/dd/yy", 45000, "03/15/23"},
        {"dd-mmm-yy", 45000, "15-Mar-23"},
        {"dddd d mmmm yyyy", 45000, "Wednesday 15 March 2023"},
        {"ddd mmmmm", 45000, "Wed M"},
        {"yyyy-mm-dd hh:mm:ss", 45000.75, "2023-03-15 18:00:00"},
        {"h:mm AM/PM", 45000.75, "6:00 PM"},
        {"h:mm:ss AM/PM", 0.5, "12:00:00 PM"},
        {"h:mm:ss AM/PM", 0, "12:00:00 AM"},
        {"h:mm am/pm", 0.25, "6:00 am"},
        {"h:mm a/p", 0.75, "6:00 p"},
        {"h:mm", 0.99999, "23:59"},
        {"h:mm:ss", 0.999999999, "0:00:00"},  // rounds into the next day
        {"d h:mm:ss", 1.999999999, "2 0:00:00"},
        {"hh:nn", 0.5 + 5.0 / 1440, "12:05"},
        {"mm:ss", 0.0125, "18:00"},
        {"m", 45000, "3"},  // alone it is the month
        {"[h]:mm:ss", 1.5, "36:00:00"},
        {"[h]:mm:ss", 2 + 1.0 / 86400, "48:00:01"},
        {"[mm]:ss", 1.0 / 24, "60:00"},
        {"[h]:mm", -0.25, "-6:00"},
        {"mm:ss.0", 1.24 / 86400, "00:01.2"},
        {"ss.000", 59.9996 / 86400, "00.000"},  // the carry reaches the minutes
        {"\"Date:\" yyyy", 45000, "Date: 2023"},
        {"[$-405]d/m/yyyy", 45000, "15/3/2023"},
        {"0.00", 1.5, "1.50"},  // a number pattern for a date value
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
}

TEST(FormatDateTime, EarlySerialsAndRange) {
    const Case cases[] = {
        {"yyyy-mm-dd", 1, "1900-01-01"},
        {"yyyy-mm-dd", 59, "1900-02-28"},
        {"yyyy-mm-dd", 60, "1900-02-29"},
        {"yyyy-mm-dd", 61, "1900-03-01"},
        {"yyyy-mm-dd", 0, "1899-12-30"},
        {"yyyy-mm-dd", -1, "1899-12-29"},
        {"yyyy-mm-dd hh:mm", -1.25, "1899-12-29 06:00"},
        {"yyyy-mm-dd", 2958465, "9999-12-31"},
        {"yyyy-mm-dd", 2958466, "2958466"},
        {"yyyy-mm-dd", -693594, "-693594"},
        {"yyyy-mm-dd", 1e300, "1E300"},
        {"yyyy-mm-dd", std::numeric_limits<double>::quiet_NaN(), "NAN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, c.value, kDefault), c.text)
            << c.pattern << " " << c.value;
}

TEST(FormatDateTime, EmptyPatternAndSettings) {
    EXPECT_EQ(FormatDateTime("", 45000, kDefault), "3/15/2023");
    EXPECT_EQ(FormatDateTime("", 45000.25, kDefault), "3/15/2023 6:00:00");
    const TFormatSettings cz = Czech();
    EXPECT_EQ(FormatDateTime("", 45000.25, cz), "15.3.2023 6:00:00");
    EXPECT_EQ(FormatDateTime("mm:ss.0", 1.24 / 86400, cz), "00:01,2");
}

// Hostile patterns: unterminated quotes and brackets, stray codes, long runs.
TEST(Formatters, NeverFailOnOddPatterns) {
    const char* patterns[] = {
        "\"",         "[",
        "[$",         "\\",
        "E+",         "0E+",
        "0.0E",       "#,",
        ",",          ";;;;",
        "/",          "?/",
        "/?",         "0/0",
        "# /",        "[h",
        ".0",         "%%%",
        "yyyyyyyyyy", "mmmmmmm",
        "ddddddd",    "hhhh:mmmm:ssss",
        "s.0000000",  "AM/P",
        "_",          "*",
        "@@",         "0000000000000000000000000000000.000000000000000000000000000000"};
    for (const char* p : patterns) {
        for (double v : {0.0, -1.5, 1e308, 45000.5, -1e-308}) {
            EXPECT_NO_THROW(FormatNumber(p, v, kDefault)) << p;
            EXPECT_NO_THROW(FormatDateTime(p, v, kDefault)) << p;
        }
    }
    EXPECT_EQ(FormatNumber("0/0", 0.5, kDefault), "1/2");
    EXPECT_EQ(FormatNumber("%%", 0.5, kDefault), "%%");  // no placeholder, no digits
}

}  // namespace
}  // namespace morvik::xls
