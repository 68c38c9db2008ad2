#include "text/Decimal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace morvik {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(FormatDecimal, Examples) {
    struct Case {
        double value;
        int decimals;
        const char* expected;
    };
    const Case cases[] = {
        {182.3456789, 6, "182,345679"},
        {182.5, 6, "182,5"},
        {180, 6, "180"},
        {1000, 6, "1000"},
        {1234.56789012, 6, "1234,56789"},
        {0.1234564, 6, "0,123456"},
        {1.5, 2, "1,5"},
        {-0.004, 2, "0"},
        {-0.006, 2, "-0,01"},
        {0, 6, "0"},
        {-0.0, 6, "0"},
        {100, 2, "100"},
        {-12.999, 2, "-13"},
        {2.5, 0, "3"},
        {-2.5, 0, "-3"},
        // True binary ties go away from zero; near-ties follow the exact binary value.
        {0.125, 2, "0,13"},
        {-0.125, 2, "-0,13"},
        {0.0078125, 6, "0,007813"},
        {2.675, 2, "2,67"},
        {1.005, 2, "1"},
        {5e-7, 6, "0"},
        {1.5e-6, 6, "0,000002"},
        // Ten significant digits limit before the decimals do.
        {1234567890.5, 6, "1234567891"},
        {9999999999.5, 6, "10000000000"},
        {0.000123456789012, 20, "0,000123456789"},
        {12345678901234.0, 2, "12345678900000"},
        {-0.99999999999, 6, "-1"},
        {std::numeric_limits<double>::denorm_min(), 6, "0"},
        {kInf, 2, "INF"},
        {-kInf, 2, "-INF"},
        {std::nan(""), 2, "NAN"}};
    for (const Case& c : cases)
        EXPECT_EQ(FormatDecimal(c.value, c.decimals, false, ','), c.expected)
            << c.value << " at " << c.decimals;
    EXPECT_EQ(FormatDecimal(1.5, 6, true, ','), "1,500000");
    EXPECT_EQ(FormatDecimal(-0.001, 2, true, ','), "0,00");
    EXPECT_EQ(FormatDecimal(1.25, 2, false, '.'), "1.25");
    EXPECT_EQ(FormatDecimal(-std::numeric_limits<double>::max(), 2, false, ','),
              "-1797693135" + std::string(299, '0'));
}

TEST(ParseDecimal, ValuesAndFailures) {
    struct Case {
        std::string text;
        double value;
        const char* quoted;  // the text the error quotes; nullptr when it reads
    };
    const std::string forty = std::string(39, '7') + "x";
    const std::string cutJunk = "1" + std::string(39, 'x') + "\u2026";
    const std::string cutLetter = std::string(39, '9') + "\u010D\u2026";
    const std::string cutHuge = std::string(40, '1') + "\u2026";
    const Case cases[] = {{"", 0, nullptr},
                          {"-3,25", -3.25, nullptr},
                          {"2,5e1", 25, nullptr},
                          {"12,5", 12.5, nullptr},
                          {"12.5", 12.5, nullptr},
                          {"1 234,5", 1234.5, nullptr},
                          {"+7", 7, nullptr},
                          {",5", 0.5, nullptr},
                          {"5,", 5, nullptr},
                          {"1E+3", 1000, nullptr},
                          {"-1e-3", -0.001, nullptr},
                          {"1e-400", 0, nullptr},
                          {std::string(200, '0') + "1,5" + std::string(200, '0'), 1.5, nullptr},
                          {" ", 0, ""},
                          {"1,2,3", 0, "1.2,3"},
                          {"1,234.5", 0, "1.234.5"},
                          {"1.234,5", 0, "1.234.5"},
                          {"1 e", 0, "1e"},
                          {"e5", 0, "e5"},
                          {"-", 0, "-"},
                          {"+-1", 0, "+-1"},
                          {".", 0, "."},
                          {"1e+", 0, "1e+"},
                          {"inf", 0, "inf"},
                          {"nan", 0, "nan"},
                          {"0x10", 0, "0x10"},
                          {"1\t", 0, "1\t"},
                          {"1e999", 0, "1e999"},
                          {"12 mm", 0, "12mm"},
                          // Long texts are quoted by their first 40 characters, never cutting
                          // a UTF-8 sequence; blanks do not count.
                          {forty, 0, forty.c_str()},
                          {"1" + std::string(300, 'x'), 0, cutJunk.c_str()},
                          {" " + std::string(39, '9') + " \u010D\u010D", 0, cutLetter.c_str()},
                          {std::string(5'000'000, '1') + "x", 0, cutHuge.c_str()}};
    for (const Case& c : cases) {
        try {
            const double v = ParseDecimal(c.text);
            EXPECT_TRUE(c.quoted == nullptr) << "no error for '" << c.text.substr(0, 50) << "'";
            EXPECT_EQ(v, c.value) << c.text;
        } catch (const EConvertError& e) {
            const std::string quoted = c.quoted ? c.quoted : "<none>";
            EXPECT_EQ(std::string(e.what()),
                      "'" + quoted + "' is not a valid floating point value");
        }
    }
}

// An exact reference written independently of the implementation: integer arithmetic on
// the double's mantissa and exponent. Valid for 1e-8 <= |v| < 1e12 and decimals <= 8.
__extension__ typedef __int128 Int128;

Int128 Pow10(int n) { return n <= 0 ? 1 : 10 * Pow10(n - 1); }

std::string ReferenceFormat(double v, int decimals) {
    int exp = 0;
    const double frac = std::frexp(std::fabs(v), &exp);
    const int e = exp - 53;  // |v| == m * 2^e exactly
    const Int128 num2 = static_cast<Int128>(std::ldexp(frac, 53)) << (e > 0 ? e : 0);
    const Int128 den2 = static_cast<Int128>(1) << (e < 0 ? -e : 0);
    // Exact order of magnitude k: 10^k <= |v| < 10^(k+1).
    const auto atLeast = [&](int k) { return num2 * Pow10(-k) >= Pow10(k) * den2; };
    int k = static_cast<int>(std::floor(std::log10(std::fabs(v))));
    while (!atLeast(k)) --k;
    while (atLeast(k + 1)) ++k;

    const int d = std::min(decimals, 9 - k);
    const Int128 num = num2 * Pow10(d), den = den2 * Pow10(-d);
    Int128 q = num / den + (2 * (num % den) >= den ? 1 : 0);

    std::string digits;
    for (Int128 t = q; t > 0; t /= 10) digits.insert(digits.begin(), char('0' + int(t % 10)));
    if (d < 0 && q != 0) digits += std::string(static_cast<std::size_t>(-d), '0');
    const std::size_t fracLen = d > 0 ? static_cast<std::size_t>(d) : 0;
    if (digits.size() < fracLen + 1) digits.insert(0, fracLen + 1 - digits.size(), '0');
    std::string fraction = digits.substr(digits.size() - fracLen);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    std::string text = v < 0 && q != 0 ? "-" : "";
    text.append(digits, 0, digits.size() - fracLen);
    if (!fraction.empty()) text.append(",").append(fraction);
    return text;
}

TEST(FormatDecimal, MatchesExactReferenceOnRandomValues) {
    std::mt19937_64 rng(20261207);
    std::uniform_int_distribution<int> decimalsDist(0, 8), magnitudeDist(-8, 11), coin(0, 1);
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    std::uniform_int_distribution<std::int64_t> whole(0, 99999999);
    int checked = 0;
    for (int i = 0; i < 40000; ++i) {
        const int decimals = decimalsDist(rng);
        double v = 0;
        switch (i % 5) {
            case 0:  // anywhere in range
                v = unit(rng) * std::pow(10.0, magnitudeDist(rng));
                break;
            case 1:  // binary ties at 2 (x/8) and 6 (x/128) decimals, and their neighbours
                v = static_cast<double>(whole(rng)) +
                    (coin(rng) ? (2 * (i % 4) + 1) / 8.0 : (2 * (i % 64) + 1) / 128.0);
                if (i % 3 != 0) v = std::nextafter(v, i % 3 == 1 ? 0.0 : kInf);
                break;
            case 2:  // ten significant digits reached before the decimals
                v = static_cast<double>(1000000000 + whole(rng) * 7) + (i % 8) / 8.0;
                break;
            case 3:  // small values, many of them rounding to zero
                v = unit(rng) * std::pow(10.0, -(decimals + (i % 3)));
                break;
            default:  // just below a carry into a new digit
                v = std::pow(10.0, magnitudeDist(rng)) - std::pow(10.0, -decimals) / 2;
        }
        if (!(v >= 1e-8 && v < 1e12)) continue;
        if (coin(rng)) v = -v;
        ASSERT_EQ(FormatDecimal(v, decimals, false, ','), ReferenceFormat(v, decimals))
            << "value " << v << " decimals " << decimals;
        ++checked;
    }
    EXPECT_GT(checked, 30000);
}

// Digits (trailing zeros dropped) and decimal exponent of a number text, plain or scientific.
std::pair<std::string, int> DigitsAndExponent(const std::string& text) {
    std::string digits;
    int pointAt = -1, exponent = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == 'e' || c == 'E') {
            exponent = std::stoi(text.substr(i + 1));
            break;
        }
        if (c == '.') pointAt = static_cast<int>(digits.size());
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    if (pointAt < 0) pointAt = static_cast<int>(digits.size());
    std::size_t lead = 0;
    while (lead + 1 < digits.size() && digits[lead] == '0') ++lead;
    exponent += pointAt - static_cast<int>(lead) - 1;
    digits.erase(0, lead);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    return {digits, exponent};
}

// The general form must be the value rounded to 15 significant digits (as printf rounds),
// and when it says so it must read back as the very same double: the import relies on it.
TEST(GeneralNumberText, FifteenDigitsAndExactReadBack) {
    std::mt19937_64 rng(7122026);
    std::uniform_int_distribution<int> decimals(0, 9), magnitude(-12, 20);
    std::uniform_real_distribution<double> unit(-1000.0, 1000.0);
    const double kMin = std::numeric_limits<double>::min();
    std::vector<double> values{
        0.1 + 0.2,  1e15,   999999999999999.0,      1e-5, 9.99999999999999e-6, kMin,
        kMin * 0.5, 5e-324, 1.7976931348623157e308, -2.5, 123456789012345.6};
    for (int i = 0; i < 60000; ++i) {
        double v = 0;
        if (i % 3 == 0) {  // any bit pattern
            const std::uint64_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v)) continue;
        } else if (i % 3 == 1) {  // measurements: a few decimals
            const double scale = std::pow(10.0, decimals(rng));
            v = std::round(unit(rng) * scale) / scale;
        } else {
            v = unit(rng) * std::pow(10.0, magnitude(rng));
        }
        values.push_back(v);
    }
    int exact = 0;
    for (const double v : values) {
        if (v == 0) continue;
        std::string text;
        const bool readsBack = AppendGeneralNumber(text, v, '.');
        char reference[64];
        std::snprintf(reference, sizeof reference, "%.14e", v);
        ASSERT_EQ(DigitsAndExponent(text), DigitsAndExponent(reference)) << text;
        if (readsBack) {
            ASSERT_EQ(ParseDecimal(text), v) << text;
            ++exact;
        }
    }
    EXPECT_GE(exact, 20000);  // every measurement (a few decimals) takes the exact path
}

TEST(ParseShortDecimal, SameBitsAsFromCharsOrDeclines) {
    // Bits, so that -0 and 0 differ; declined texts are the long way's.
    const auto bits = [](double d) {
        std::uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        return b;
    };
    const auto check = [&](const std::string& text, bool taken) {
        double fast = 0, slow = 0;
        ASSERT_EQ(ParseShortDecimal(text, fast), taken) << text;
        if (!taken) return;
        std::from_chars(text.data(), text.data() + text.size(), slow);
        ASSERT_EQ(bits(fast), bits(slow)) << text;
    };
    for (const char* t : {"0", "-0", "0.1", "-2.5", "123456789012345", "0.00000000000001",
                          "99999999999999.9", "007", "8.30000000000000"})
        check(t, true);
    for (const char* t : {"", "-", "1.", ".5", "1e5", "+1", "1 ", "0x10", "1234567890123456",
                          "0.1234567890123456", "inf", "nan", "--1", "1.2.3"})
        check(t, false);
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> length(1, 15), digit(0, 9), coin(0, 1);
    for (int i = 0; i < 200000; ++i) {
        std::string text = coin(rng) ? "-" : "";
        const int n = length(rng), point = std::uniform_int_distribution<int>(0, n - 1)(rng);
        for (int k = 0; k < n; ++k) {
            if (k == point && k > 0) text += '.';
            text += static_cast<char>('0' + digit(rng));
        }
        check(text, true);
    }
}

}  // namespace
}  // namespace morvik
