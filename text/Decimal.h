// Decimal text: every number in the workspace is text with a decimal comma.
#pragma once

#include <string>
#include <string_view>

#include "Error.h"

namespace morvik {

// The conversion error; its message is the text users see.
class EConvertError : public Error {
  public:
    using Error::Error;
};

// Rounds half away from zero at the decimals-th digit after the point or the tenth
// significant digit, whichever comes first, and writes fixed-point text with `separator`.
// Never writes minus zero. Independent of the C locale.
std::string FormatDecimal(double value, int decimals, bool keepZeros, char separator);

// Empty text gives 0; the first ',' is the decimal point; blanks are ignored. Throws
// EConvertError "'%s' is not a valid floating point value" otherwise, %s being the text
// without blanks, cut after 40 characters with an ellipsis.
double ParseDecimal(std::string_view text);

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
