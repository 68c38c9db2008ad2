#include "IsoDate.h"

#include <charconv>
#include <cstdint>

namespace morvik {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Digits(std::string_view& s, std::size_t n, unsigned& out) {
    if (s.size() < n) return false;
    out = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + static_cast<unsigned>(s[i] - '0');
    }
    s.remove_prefix(n);
    return true;
}

bool Take(std::string_view& s, char c) {
    if (s.empty() || s[0] != c) return false;
    s.remove_prefix(1);
    return true;
}

// "hh:mm[:ss[.fff]]" as a fraction of a day; the rest is left in `s`.
std::optional<double> TimeOfDay(std::string_view& s) {
    unsigned h, m, sec = 0;
    if (!Digits(s, 2, h) || !Take(s, ':') || !Digits(s, 2, m)) return std::nullopt;
    double fraction = 0;
    if (Take(s, ':')) {
        if (!Digits(s, 2, sec)) return std::nullopt;
        if (!s.empty() && s[0] == '.') {
            std::size_t n = 1;
            while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
            if (n == 1) return std::nullopt;
            std::from_chars(s.data(), s.data() + n, fraction);
            s.remove_prefix(n);
        }
    }
    if (h > 24 || m > 59 || sec > 60) return std::nullopt;
    return (h * 3600.0 + m * 60.0 + sec + fraction) / 86400.0;
}

std::optional<double> Duration(std::string_view s) {
    const bool negative = Take(s, '-');
    if (!Take(s, 'P')) return std::nullopt;
    double days = 0;
    bool inTime = false, any = false;
    while (!s.empty()) {
        if (Take(s, 'T')) {
            inTime = true;
            continue;
        }
        double v = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec != std::errc() || end == s.data() || end == s.data() + s.size()) return std::nullopt;
        const char unit = *end;
        s.remove_prefix(static_cast<std::size_t>(end - s.data()) + 1);
        if (!inTime && unit == 'D') {
            days += v;
        } else if (!inTime && unit == 'W') {
            days += 7 * v;
        } else if (inTime && unit == 'H') {
            days += v / 24;
        } else if (inTime && unit == 'M') {
            days += v / 1440;
        } else if (inTime && unit == 'S') {
            days += v / 86400;
        } else {
            return std::nullopt;  // years and months have no fixed length in days
        }
        any = true;
    }
    if (!any) return std::nullopt;
    return negative ? -days : days;
}

}  // namespace

std::optional<double> ParseIsoDateTime(std::string_view s) {
    if (s.empty()) return std::nullopt;
    if (s[0] == 'P' || s[0] == '-') return Duration(s);
    if (s.size() >= 3 && s[2] == ':') {
        auto t = TimeOfDay(s);
        return t && s.empty() ? t : std::nullopt;
    }
    unsigned y, m, d;
    if (!Digits(s, 4, y) || !Take(s, '-') || !Digits(s, 2, m) || !Take(s, '-') || !Digits(s, 2, d))
        return std::nullopt;
    constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > kMonthDays[m - 1]) return std::nullopt;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (m == 2 && d == 29 && !leap) return std::nullopt;
    double days = static_cast<double>(DaysFromCivil(y, m, d) - DaysFromCivil(1899, 12, 30));
    if (Take(s, 'T')) {
        const auto t = TimeOfDay(s);
        if (!t) return std::nullopt;
        days += *t;
    }
    // A zone designator changes nothing: a sheet's dates have none.
    if (!s.empty() && s != "Z" && !((s[0] == '+' || s[0] == '-') && s.size() == 6 && s[3] == ':'))
        return std::nullopt;
    return days;
}

}  // namespace morvik
