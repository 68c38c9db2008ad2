// Dates, times and durations written as ISO 8601 text, as the package formats store them,
// to the program's day count: days since 30 December 1899, the fraction the time of day.
#pragma once

#include <optional>
#include <string_view>

namespace morvik {

// "2016-10-20", "2016-10-20T10:10:10", "2016-10-20T10:10:10.5" (a trailing "Z" or UTC offset
// is ignored: spreadsheets have no time zones), a time alone "10:10:10" (a fraction of a day),
// or a duration "PT10H10M10S" / "P1DT2H" / "-PT1H". Nothing else, and no year outside 1..9999.
std::optional<double> ParseIsoDateTime(std::string_view text);

}  // namespace morvik
