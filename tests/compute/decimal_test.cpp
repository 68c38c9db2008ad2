#include "Decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace morvik {
namespace {

struct FormatCase {
    double value;
    int decimals;
    bool keepZeros;
    char separator;
    const char* expected;
};

class FormatDecimalTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatDecimalTest, WritesExpectedText) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatDecimal(c.value, c.decimals, c.keepZeros, c.separator), c.expected)
        << "value " << c.value << " at " << c.decimals << " decimals";
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatDecimalTest,
    ::testing::Values(
        FormatCase{182.3456789, 6, false, ',', "182,345679"},
        FormatCase{182.5, 6, false, ',', "182,5"}, FormatCase{180, 6, false, ',', "180"},
        FormatCase{1234.56789012, 6, false, ',', "1234,56789"},
        FormatCase{0.1234564, 6, false, ',', "0,123456"}, FormatCase{-0.004, 2, false, ',', "0"},
        FormatCase{-0.006, 2, false, ',', "-0,01"}, FormatCase{1.5, 2, false, ',', "1,5"},
        FormatCase{0, 6, false, ',', "0"}, FormatCase{-0.0, 6, false, ',', "0"},
        FormatCase{100, 2, false, ',', "100"}, FormatCase{-12.999, 2, false, ',', "-13"},
        // True binary ties round away from zero; near-ties follow the exact binary value.
        FormatCase{0.125, 2, false, ',', "0,13"}, FormatCase{-0.125, 2, false, ',', "-0,13"},
        FormatCase{2.675, 2, false, ',', "2,67"}, FormatCase{1.005, 2, false, ',', "1"},
        FormatCase{5e-7, 6, false, ',', "0"}, FormatCase{1.5e-6, 6, false, ',', "0,000002"},
        FormatCase{0.0078125, 6, false, ',', "0,007813"},
        // The tenth significant digit limits before the decimals do.
        FormatCase{1234567890.5, 6, false, ',', "1234567891"},
        FormatCase{9999999999.5, 6, false, ',', "10000000000"},
        FormatCase{0.000123456789012, 20, false, ',', "0,000123456789"},
        FormatCase{12345678901234.0, 2, false, ',', "12345678900000"},
        FormatCase{-0.99999999999, 6, false, ',', "-1"},
        // Trailing zeros of the integer part stay; keepZeros pads the fraction.
        FormatCase{1000, 6, false, ',', "1000"}, FormatCase{1.5, 6, true, ',', "1,500000"},
        FormatCase{0, 2, true, ',', "0,00"}, FormatCase{-0.001, 2, true, ',', "0,00"},
        FormatCase{1.25, 2, false, '.', "1.25"}, FormatCase{2.5, 0, false, ',', "3"},
        FormatCase{-2.5, 0, false, ',', "-3"},
        FormatCase{std::numeric_limits<double>::denorm_min(), 6, false, ',', "0"},
        FormatCase{std::numeric_limits<double>::infinity(), 2, false, ',', "INF"},
        FormatCase{std::numeric_limits<double>::quiet_NaN(), 2, false, ',', "NAN"}));

TEST(FormatDecimal, LargestDoubleKeepsTenSignificantDigits) {
    EXPECT_EQ(FormatDecimal(std::numeric_limits<double>::max(), 2, false, ','),
              "1797693135" + std::string(299, '0'));
    EXPECT_EQ(FormatDecimal(-std::numeric_limits<double>::max(), 6, true, ','),
              "-1797693135" + std::string(299, '0') + ",000000");
}

struct ParseCase {
    const char* text;
    double expected;
};

class ParseDecimalTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseDecimalTest, ReadsValue) {
    EXPECT_EQ(ParseDecimal(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseDecimalTest,
    ::testing::Values(ParseCase{"", 0}, ParseCase{"-3,25", -3.25}, ParseCase{"2,5e1", 25},
                      ParseCase{"12,5", 12.5}, ParseCase{"12.5", 12.5},
                      ParseCase{"1 234,5", 1234.5}, ParseCase{"  7  ", 7}, ParseCase{"+7", 7},
                      ParseCase{",5", 0.5}, ParseCase{"5,", 5}, ParseCase{"1E+3", 1000},
                      ParseCase{"-1e-3", -0.001}, ParseCase{"0,1", 0.1}, ParseCase{"1e-400", 0},
                      ParseCase{"00012", 12},
                      ParseCase{"182,34567890123456789", 182.34567890123456789}));

struct ParseFailure {
    const char* text;
    const char* quoted;  // the text the message quotes
};

class ParseDecimalFailureTest : public ::testing::TestWithParam<ParseFailure> {};

TEST_P(ParseDecimalFailureTest, FailsWithMessageQuotingCleanedText) {
    try {
        ParseDecimal(GetParam().text);
        ADD_FAILURE() << "no error for '" << GetParam().text << "'";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()),
                  std::string("'") + GetParam().quoted + "' is not a valid floating point value");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ParseDecimalFailureTest,
    ::testing::Values(ParseFailure{" ", ""}, ParseFailure{"   ", ""},
                      ParseFailure{"1,2,3", "1.2,3"}, ParseFailure{"1,234.5", "1.234.5"},
                      ParseFailure{"1.234,5", "1.234.5"}, ParseFailure{"abc", "abc"},
                      ParseFailure{"1 e", "1e"}, ParseFailure{"e5", "e5"}, ParseFailure{"-", "-"},
                      ParseFailure{"+-1", "+-1"}, ParseFailure{".", "."},
                      ParseFailure{"1e+", "1e+"}, ParseFailure{"inf", "inf"},
                      ParseFailure{"nan", "nan"}, ParseFailure{"0x10", "0x10"},
                      ParseFailure{"1\t", "1\t"}, ParseFailure{"1e999", "1e999"},
                      ParseFailure{"12 mm", "12mm"}, ParseFailure{"1,5%", "1.5%"}));

TEST(ParseDecimal, QuotesLongTextWhole) {
    const std::string text = "1" + std::string(300, 'x');
    try {
        ParseDecimal(text);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid floating point value");
    }
}

TEST(ParseDecimal, ReadsLongNumberExactly) {
    const std::string text = std::string(200, '0') + "1,5" + std::string(200, '0');
    EXPECT_EQ(ParseDecimal(text), 1.5);
}

TEST(ParseDecimal, RoundTripsFormattedText) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> dist(-9999, 9999);  // 4 + 6 digits fit in 10
    for (int i = 0; i < 2000; ++i) {
        const double v = dist(rng);
        const std::string text = FormatDecimal(v, 6, false, ',');
        EXPECT_NEAR(ParseDecimal(text), v, 5e-7) << text;
    }
}

// An exact reference written independently of the implementation: integer arithmetic on
// the double's mantissa and exponent. Valid for 1e-8 <= |v| < 1e12 and decimals <= 8.
__extension__ typedef __int128 Int128;

Int128 Pow10(int n) {
    Int128 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

Int128 Pow2(int n) { return static_cast<Int128>(1) << n; }

std::string ReferenceFormat(double v, int decimals) {
    const bool negative = v < 0;
    const double a = std::fabs(v);
    int exp = 0;
    const double frac = std::frexp(a, &exp);
    const Int128 m = static_cast<std::int64_t>(std::ldexp(frac, 53));
    const int e = exp - 53;  // a == m * 2^e exactly
    const Int128 num2 = m * Pow2(e > 0 ? e : 0);
    const Int128 den2 = Pow2(e < 0 ? -e : 0);

    // Exact order of magnitude: 10^k <= a < 10^(k+1).
    const auto atLeast = [&](int k) {
        if (k >= 0) return num2 >= Pow10(k) * den2;
        return num2 * Pow10(-k) >= den2;
    };
    int k = static_cast<int>(std::floor(std::log10(a)));
    while (!atLeast(k)) --k;
    while (atLeast(k + 1)) ++k;

    const int d = std::min(decimals, 9 - k);
    const Int128 num = num2 * Pow10(d > 0 ? d : 0);
    const Int128 den = den2 * Pow10(d < 0 ? -d : 0);
    Int128 q = num / den;
    if (2 * (num % den) >= den) ++q;

    std::string digits;
    for (Int128 t = q; t > 0; t /= 10) digits.insert(digits.begin(), char('0' + int(t % 10)));
    if (digits.empty()) digits = "0";
    std::string intPart, fracPart;
    if (d >= 0) {
        while (static_cast<int>(digits.size()) < d + 1) digits.insert(digits.begin(), '0');
        intPart = digits.substr(0, digits.size() - static_cast<std::size_t>(d));
        fracPart = digits.substr(digits.size() - static_cast<std::size_t>(d));
    } else {
        intPart = q == 0 ? "0" : digits + std::string(static_cast<std::size_t>(-d), '0');
    }
    while (!fracPart.empty() && fracPart.back() == '0') fracPart.pop_back();
    std::string text = (negative && q != 0) ? "-" : "";
    text += intPart;
    if (!fracPart.empty()) text += "," + fracPart;
    return text;
}

TEST(FormatDecimal, ReferenceSelfCheck) {
    EXPECT_EQ(ReferenceFormat(0.125, 2), "0,13");
    EXPECT_EQ(ReferenceFormat(-0.004, 2), "0");
    EXPECT_EQ(ReferenceFormat(1234.56789012, 6), "1234,56789");
    EXPECT_EQ(ReferenceFormat(123456789012.0, 2), "123456789000");
}

TEST(FormatDecimal, MatchesExactReferenceOnRandomValues) {
    std::mt19937_64 rng(20261207);
    std::uniform_int_distribution<int> decimalsDist(0, 8);
    std::uniform_int_distribution<int> magnitudeDist(-8, 11);
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    std::uniform_int_distribution<std::int64_t> wholeDist(0, 99999999);
    std::uniform_int_distribution<int> kindDist(0, 4);
    std::uniform_int_distribution<int> sign(0, 1);
    int checked = 0;
    for (int i = 0; i < 40000; ++i) {
        const int decimals = decimalsDist(rng);
        double v = 0;
        switch (kindDist(rng)) {
            case 0:  // anywhere in range
                v = unit(rng) * std::pow(10.0, magnitudeDist(rng));
                break;
            case 1:  // binary ties at 2 (x.125) and 6 (x/128) decimals, and their neighbours
                v = static_cast<double>(wholeDist(rng)) +
                    (sign(rng) ? (2 * (i % 4) + 1) / 8.0 : (2 * (i % 64) + 1) / 128.0);
                if (i % 3 == 1) v = std::nextafter(v, 0.0);
                if (i % 3 == 2) v = std::nextafter(v, 1e300);
                break;
            case 2:  // ten significant digits reached before the decimals
                v = static_cast<double>(1000000000 + wholeDist(rng) * 7) + (i % 8) / 8.0;
                break;
            case 3:  // small values, many of them rounding to zero
                v = unit(rng) * std::pow(10.0, -(decimals + (i % 3)));
                break;
            default:  // values just below a carry into a new digit
                v = std::pow(10.0, magnitudeDist(rng)) - std::pow(10.0, -decimals) / 2;
                break;
        }
        if (!(v >= 1e-8 && v < 1e12)) continue;
        if (sign(rng)) v = -v;
        ASSERT_EQ(FormatDecimal(v, decimals, false, ','), ReferenceFormat(v, decimals))
            << "value " << v << " decimals " << decimals;
        ++checked;
    }
    EXPECT_GT(checked, 30000);
}

}  // namespace
}  // namespace morvik
