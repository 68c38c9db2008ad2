// Decimal text: every number in the workspace is text with a decimal comma.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace morvik {

// The conversion error; its message is the text users see.
class EConvertError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Rounds half away from zero at the decimals-th digit after the point or the tenth
// significant digit, whichever comes first, and writes fixed-point text with `separator`.
// Never writes minus zero. Independent of the C locale.
std::string FormatDecimal(double value, int decimals, bool keepZeros, char separator);

// Empty text gives 0; the first ',' is the decimal point; blanks are ignored. Throws
// EConvertError "'%s' is not a valid floating point value" otherwise.
double ParseDecimal(std::string_view text);

}  // namespace morvik
