#include "Decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "Utf8.h"

namespace morvik {

namespace {

// Enough for the exact fixed-point expansion of any finite double: at most 309 integer
// digits, the point, and at most 1074 fraction digits (the weight of the smallest subnormal).
constexpr std::size_t kExactBufferSize = 1400;

// Cell texts are short; longer ones are not numbers anyway.
constexpr std::size_t kParseStackSize = 128;

// A message quotes this many characters of the text at most: a megabyte-long cell would
// otherwise become a megabyte-long message box.
constexpr std::size_t kQuotedCharacters = 40;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void ThrowConvertError(std::string_view cleaned) {
    std::string quoted = QuoteStart(cleaned, kQuotedCharacters);
    // The message first: the arguments' order of evaluation is not fixed.
    const std::string message = '\'' + quoted + "' is not a valid floating point value";
    throw EConvertError(message, std::move(quoted));
}

// Checks the whole text against: [sign] digits [. digits] [(e|E) [sign] digits], with at
// least one mantissa digit. from_chars alone would accept a prefix, "inf" or "nan".
// Returns the decimal exponent of the leading mantissa digit's order of magnitude, used
// only to tell overflow from underflow (saturated, so hostile exponents cannot overflow).
bool MatchNumber(std::string_view s, long long& magnitude) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    long long intDigits = 0;  // significant integer digits (leading zeros skipped)
    long long leadingFractionZeros = 0;
    bool anyDigit = false;
    bool anyNonZero = false;
    while (i < n && IsDigit(s[i])) {
        anyDigit = true;
        if (anyNonZero || s[i] != '0') {
            anyNonZero = true;
            ++intDigits;
        }
        ++i;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && IsDigit(s[i])) {
            anyDigit = true;
            if (!anyNonZero) {
                if (s[i] == '0')
                    ++leadingFractionZeros;
                else
                    anyNonZero = true;
            }
            ++i;
        }
    }
    if (!anyDigit) return false;
    long long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) {
            negativeExponent = s[i] == '-';
            ++i;
        }
        if (i >= n || !IsDigit(s[i])) return false;
        constexpr long long kCap = 1'000'000'000;
        while (i < n && IsDigit(s[i])) {
            exponent = std::min(exponent * 10 + (s[i] - '0'), kCap);
            ++i;
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (i != n) return false;
    magnitude = (intDigits > 0 ? intDigits - 1 : -leadingFractionZeros - 1) + exponent;
    return true;
}

}  // namespace

double ParseDecimal(std::string_view text) {
    if (text.empty()) return 0.0;

    // Clouds of tens of thousands of points are read cell by cell: no allocation here
    // for ordinary cell texts.
    char stackBuffer[kParseStackSize];
    std::string heapBuffer;
    char* buffer = stackBuffer;
    if (text.size() > kParseStackSize) {
        heapBuffer.resize(text.size());
        buffer = heapBuffer.data();
    }
    std::size_t length = 0;
    bool commaReplaced = false;
    for (char c : text) {
        if (c == ' ') continue;
        if (c == ',' && !commaReplaced) {
            c = '.';
            commaReplaced = true;
        }
        buffer[length++] = c;
    }
    const std::string_view cleaned(buffer, length);

    long long magnitude = 0;
    if (!MatchNumber(cleaned, magnitude)) ThrowConvertError(cleaned);

    // from_chars takes no leading '+'.
    const char* first = buffer;
    const char* const last = buffer + length;
    if (*first == '+') ++first;
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large to hold is no value at all.
        if (magnitude < 0) return 0.0;
        ThrowConvertError(cleaned);
    }
    if (ec != std::errc() || ptr != last) ThrowConvertError(cleaned);
    return value;
}

std::string FormatDecimal(double value, int decimals, bool keepZeros, char separator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    decimals = std::max(decimals, 0);

    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);

    // Rounding must see the exact binary value (0.125 is a true tie, 0.1 is not), so
    // take the exact decimal expansion: a double with its lowest bit at 2^-k has exactly
    // k fraction digits.
    int binaryExponent = 0;
    std::frexp(magnitude, &binaryExponent);
    const int fractionDigits = std::clamp(53 - binaryExponent, 0, 1074);
    char exact[kExactBufferSize];
    const auto conv = std::to_chars(exact, exact + sizeof exact, magnitude,
                                    std::chars_format::fixed, fractionDigits);
    // Digits without the point; pointPos digits stand before it.
    std::size_t digitCount = 0;
    std::size_t pointPos = 0;
    bool sawPoint = false;
    for (const char* p = exact; p != conv.ptr; ++p) {
        if (*p == '.') {
            pointPos = digitCount;
            sawPoint = true;
        } else {
            exact[digitCount++] = *p;
        }
    }
    if (!sawPoint) pointPos = digitCount;

    std::size_t firstSignificant = 0;
    while (firstSignificant < digitCount && exact[firstSignificant] == '0') ++firstSignificant;

    // out holds the digits that are written: integer digits, then `decimals` fraction
    // digits; one spare place in front takes a carry out of the top digit.
    const std::size_t wanted = pointPos + static_cast<std::size_t>(decimals);
    std::string out(wanted + 1, '0');
    if (firstSignificant < digitCount) {
        const std::size_t cut = std::min(wanted, firstSignificant + 10);
        std::copy(exact, exact + std::min(cut, digitCount), out.begin() + 1);
        // Half away from zero: the first dropped digit alone decides.
        if (cut < digitCount && exact[cut] >= '5') {
            std::size_t i = cut;  // out index of the last kept digit is cut (offset 1)
            while (true) {
                if (out[i] == '9') {
                    out[i] = '0';
                    --i;
                } else {
                    ++out[i];
                    break;
                }
            }
        }
    }

    std::size_t intBegin = 0;
    const std::size_t intEnd = pointPos + 1;
    while (intBegin + 1 < intEnd && out[intBegin] == '0') ++intBegin;
    const bool isZero = std::all_of(out.begin(), out.end(), [](char c) { return c == '0'; });

    std::string text;
    text.reserve(out.size() + 2);
    if (negative && !isZero) text += '-';
    text.append(out, intBegin, intEnd - intBegin);
    if (decimals > 0) {
        text += separator;
        text.append(out, intEnd, static_cast<std::size_t>(decimals));
    }

    if (!keepZeros) {
        const std::size_t p = text.find_first_of(",.");
        if (p != std::string::npos) {
            while (text.size() > p &&
                   (text.back() == '0' || text.back() == ',' || text.back() == '.'))
                text.pop_back();
        }
    }
    return text;
}

namespace {

// The decimal M / 10^k with the fewest decimals k whose nearest double is `magnitude`, when
// M has at most 15 digits and 10^k is exact. Such a decimal is also the value rounded to 15
// significant digits: the value lies within half a unit in its last place of it, far less than
// half a step of 15 digits. Measured coordinates, with a few decimals, are found at once.
bool ShortDecimal(double magnitude, std::uint64_t& mantissa, int& decimals) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr double kLimit = 1e15;  // M below it has at most 15 digits
    if (!(magnitude < kLimit)) return false;
    for (int k = 0; k <= 22; ++k) {
        const double scaled = magnitude * kPowers[k];
        if (!(scaled < kLimit)) return false;
        // Below 2^50, adding a half is exact: the candidate is the nearest integer.
        const auto m = static_cast<double>(static_cast<std::int64_t>(scaled + 0.5));
        // Both operands are exact, so the quotient is the decimal's nearest double.
        if (m / kPowers[k] == magnitude) {
            mantissa = static_cast<std::uint64_t>(m);
            decimals = k;
            return mantissa != 0;
        }
    }
    return false;
}

}  // namespace

bool AppendGeneralNumber(std::string& out, double value, char decimalSeparator) {
    if (value == 0 || !std::isfinite(value)) {
        out.push_back('0');
        return value == 0 && !std::signbit(value);  // "0" reads back as +0
    }
    if (std::signbit(value)) out.push_back('-');
    // The significant digits of the value rounded to 15 of them, and its decimal exponent.
    char digits[24];
    std::size_t count = 0;
    int exp = 0;
    bool exact = false;
    std::uint64_t mantissa = 0;
    int decimals = 0;
    if (ShortDecimal(std::fabs(value), mantissa, decimals)) {
        const auto res = std::to_chars(digits, digits + sizeof digits, mantissa);
        count = static_cast<std::size_t>(res.ptr - digits);
        exp = static_cast<int>(count) - 1 - decimals;
        exact = true;
    } else {
        // Scientific form with 15 significant digits, built without the C locale.
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                       std::chars_format::scientific, 14);
        const char* const end = res.ptr;
        const char* e = buf;
        while (e != end && *e != 'e') ++e;
        digits[count++] = buf[0];
        for (const char* d = buf + 2; d < e && count < sizeof digits; ++d) digits[count++] = *d;
        const char* expText = e + 1;
        const bool expNegative = expText < end && *expText == '-';
        if (expText < end) ++expText;  // the sign is always written
        std::from_chars(expText, end, exp);
        if (expNegative) exp = -exp;
    }
    while (count > 1 && digits[count - 1] == '0') --count;

    // Laid out in place, then appended at once.
    char text[48];
    char* t = text;
    const auto put = [&t](const char* from, std::size_t n) {
        std::memcpy(t, from, n);
        t += n;
    };
    if (exp >= 15 || exp < -5) {
        *t++ = digits[0];
        if (count > 1) {
            *t++ = decimalSeparator;
            put(digits + 1, count - 1);
        }
        *t++ = 'E';
        t = std::to_chars(t, text + sizeof text, exp).ptr;
    } else if (exp >= 0) {
        const auto whole = static_cast<std::size_t>(exp) + 1;
        if (count <= whole) {
            put(digits, count);
            std::memset(t, '0', whole - count);
            t += whole - count;
        } else {
            put(digits, whole);
            *t++ = decimalSeparator;
            put(digits + whole, count - whole);
        }
    } else {
        *t++ = '0';
        *t++ = decimalSeparator;
        std::memset(t, '0', static_cast<std::size_t>(-exp - 1));
        t += -exp - 1;
        put(digits, count);
    }
    out.append(text, static_cast<std::size_t>(t - text));
    return exact;
}

bool GeneralNumberReadsBack(double value) {
    if (value == 0) return !std::signbit(value);
    std::uint64_t mantissa = 0;
    int decimals = 0;
    return std::isfinite(value) && ShortDecimal(std::fabs(value), mantissa, decimals);
}

std::string GeneralNumberText(double value, char decimalSeparator) {
    std::string out;
    AppendGeneralNumber(out, value, decimalSeparator);
    return out;
}

}  // namespace morvik
