// Decimal text: every number in the workspace is text with a decimal comma.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Error.h"

namespace morvik {

// The conversion error; its message is the text users see.
class EConvertError : public Error {
  public:
    using Error::Error;
    // With the text that is not a number, as the message quotes it, for a message in another
    // language.
    EConvertError(const std::string& message, std::optional<std::string> quoted)
        : Error(message), quoted_(std::move(quoted)) {}

    const std::optional<std::string>& Quoted() const { return quoted_; }

  private:
    std::optional<std::string> quoted_;
};

// Rounds half away from zero at the decimals-th digit after the point or the tenth
// significant digit, whichever comes first, and writes fixed-point text with `separator`.
// Never writes minus zero. Independent of the C locale.
std::string FormatDecimal(double value, int decimals, bool keepZeros, char separator);

// Empty text gives 0; the first ',' is the decimal point; blanks are ignored. Throws
// EConvertError "'%s' is not a valid floating point value" otherwise, %s being the text
// without blanks, cut after 40 characters with an ellipsis.
double ParseDecimal(std::string_view text);

// A number written plainly, [-]digits[.digits] with at most 15 digits, into `out`: the same
// double std::from_chars gives, at a fraction of its cost (the digits and the power of ten
// are exact doubles, and one division rounds correctly). False for any other text, which
// the caller reads the long way.
inline bool ParseShortDecimal(std::string_view s, double& out) {
    static constexpr double kPowers[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) ++i;
    std::uint64_t mantissa = 0;
    std::size_t digits = 0, fraction = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits)
        mantissa = mantissa * 10 + static_cast<unsigned>(s[i] - '0');
    if (digits == 0) return false;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++fraction)
            mantissa = mantissa * 10 + static_cast<unsigned>(s[i] - '0');
        if (fraction == 0) return false;
    }
    if (i != s.size() || digits + fraction > 15) return false;
    const double value = static_cast<double>(mantissa) / kPowers[fraction];
    out = negative ? -value : value;
    return true;
}

// A number as a cell's general format shows it: the shortest text of up to 15 significant
// digits, plain up to 1E15 and down to 1E-5, scientific ("1.5E-7") beyond; 0 for zero and
// for what is not finite.
std::string GeneralNumberText(double value, char decimalSeparator = '.');
// True when the text appended is known to read back (ParseDecimal) as exactly the value: for
// values of up to 15 significant digits, such as measurements, not too large or too small.
bool AppendGeneralNumber(std::string& out, double value, char decimalSeparator);
// What AppendGeneralNumber returns, without writing the text.
bool GeneralNumberReadsBack(double value);

}  // namespace morvik
