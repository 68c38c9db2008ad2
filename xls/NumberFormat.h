// Formatting a cell's number or date-time by its number-format pattern, for display text.
//
//   std::string FormatNumber(std::string_view pattern, double value, const TFormatSettings&);
//   std::string FormatDateTime(std::string_view pattern, double value, const TFormatSettings&);
//   std::string FormatGeneral(double value, const TFormatSettings&);
//
// The settings are always passed: each workbook carries its own (TReaderSettings), so loads
// on several threads with different separators never meet.
//
// FormatNumber: sections split by ';' (positive;negative;zero; a negative or zero section shows
// the absolute value without a sign); digit placeholders 0 # ? ('?' acts like '#'), ',' between
// placeholders groups thousands and ',' right after the last integer placeholder divides by
// 1000; '.' the decimal point; E+ E- e+ e- exponents (##0.0E+0 gives exponents in steps of
// three); '%' multiplies by 100; "..." and \x literals; [Red] and other brackets are dropped,
// [$€-405] shows €; _x and *x (padding and fill) show nothing; fractions "# ?/?", "# ??/??",
// "?/8" (no alignment spaces); "@" and "General" show the general form where they stand.
// Rounding is half away from zero on the shortest decimal form of the value (0.125 with "0.00"
// gives 0.13). An empty pattern gives the general form; a pattern with date/time codes and no
// number placeholders is handed to FormatDateTime.
//
// FormatDateTime: value = days since 30 December 1899, fraction = time of day. Codes (letter
// case ignored): y yy (2-digit year) yyy yyyy; m mm mmm mmmm mmmmm (month, or minutes right after
// an hour or right before seconds); d dd ddd dddd; h hh; n nn (minutes); s ss; .0 .00 .000 after
// seconds; [h] [m] [s] elapsed; AM/PM am/pm A/P a/p (12-hour clock); '/' the date separator and
// ':' the time separator of the settings; "..." and \x literals. Serials 1 to 60 are shown as a
// spreadsheet shows them (serial 60 is 29 February 1900). An empty pattern shows ShortDateFormat,
// plus LongTimeFormat when the time is not midnight. Values outside years 1..9999, and NaN or
// infinities, are shown in the general form.
//
// FormatGeneral: up to 15 significant digits, trailing zeros dropped, scientific ("1E20",
// "1.5E-6") from 1E15 up and below 1E-5; NaN and infinities as "NAN", "INF", "-INF".
//
// No function here throws for any value or pattern, and output length is bounded by the
// pattern's length plus the digits of a double.
#pragma once

#include <string>
#include <string_view>

namespace morvik::xls {

// Separators in UTF-8, so a locale's no-break space or other multi-byte separator fits.
// Default-constructed, the separators of the en-US locale.
struct TFormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";
    std::string ShortDateFormat = "m/d/yyyy";  // used for an empty date pattern
    std::string LongTimeFormat = "h:mm:ss";
};

std::string FormatGeneral(double value, const TFormatSettings& settings);
std::string FormatNumber(std::string_view pattern, double value, const TFormatSettings& settings);
std::string FormatDateTime(std::string_view pattern, double value, const TFormatSettings& settings);

}  // namespace morvik::xls
