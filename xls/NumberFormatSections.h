// The parts of a number-format pattern that its formatters share: sections split at ';', what
// kind each section is, and the formatter of each kind (numbers in NumberFormatNumbers.cpp,
// dates and times in NumberFormatDates.cpp). Not for use outside xls/NumberFormat*.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "NumberFormat.h"

namespace morvik::xls::numfmt {

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// v in decimal, zero-padded to at least `width` digits.
std::string Padded(long long v, int width);

// Splits at ';' outside quotes, brackets and escapes.
std::vector<std::string_view> SplitSections(std::string_view pattern);

// What a bracket shows: the currency text of [$text-locale], nothing for colours and conditions.
std::string BracketText(std::string_view inside);

// Date/time codes and no number placeholders ("mm:ss.0" counts as a time).
bool IsDateSection(std::string_view s);

// One number section for the absolute value v (original: the value "@" and "General" show);
// nonZero tells whether any non-zero digit was shown, which decides the sign.
std::string NumberSection(std::string_view section, double v, double original,
                          const TFormatSettings& fs, bool& nonZero);

// One date/time section for the serial v.
std::string DateSection(std::string_view section, double v, const TFormatSettings& fs);

}  // namespace morvik::xls::numfmt
