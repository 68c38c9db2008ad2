// Date and time sections of a pattern: the serial's calendar date and time of day, and the
// codes that show them.

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "NumberFormatSections.h"

namespace morvik::xls::numfmt {
namespace {

// ---------------------------------------------------------------------------------------------
// Dates.

struct DateParts {
    int year = 0, month = 0, day = 0, weekday = 0;  // weekday 0 = Sunday
    long long units = 0;                            // time of day in 10^-precision seconds
    long long elapsedUnits = 0;                     // whole |value| in the same units
    bool negative = false;
};

constexpr long long kDaysTo1970 = 25569;  // from 30 December 1899

// Proleptic Gregorian date of a day count since 1 January 1970.
void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

long long UnitsPerSecond(int precision) {
    long long u = 1;
    for (int i = 0; i < precision; ++i) u *= 10;
    return u;
}

bool DecodeSerial(double v, int precision, DateParts& p) {
    // Years 1 to 9999 only.
    if (!std::isfinite(v) || v < -693593.0 || v >= 2958466.0) return false;
    const long long perDay = 86400 * UnitsPerSecond(precision);
    p.negative = v < 0;
    p.elapsedUnits = std::llround(std::fabs(v) * static_cast<double>(perDay));
    long long day = static_cast<long long>(std::trunc(v));
    p.units = std::llround(std::fabs(v - static_cast<double>(day)) * static_cast<double>(perDay));
    if (p.units >= perDay) {
        p.units -= perDay;
        day += p.negative ? -1 : 1;
    }
    if (day < -693593 || day >= 2958466) return false;
    // Serials 1 to 59 count from 1 January 1900 in a spreadsheet, and 60 is the 29 February
    // 1900 that never was; from 61 on both calendars meet.
    if (day == 60) {
        p.year = 1900;
        p.month = 2;
        p.day = 29;
        p.weekday = 3;  // no real weekday: take that of the real 28 February, a Wednesday
        return true;
    }
    const long long civil = (day >= 1 && day < 60) ? day + 1 : day;
    CivilFromDays(civil - kDaysTo1970, p.year, p.month, p.day);
    const long long wd = (civil - kDaysTo1970 + 4) % 7;  // 1 January 1970 was a Thursday
    p.weekday = static_cast<int>(wd < 0 ? wd + 7 : wd);
    return true;
}

constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};
constexpr std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

enum class DTok {
    Literal,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    MonthOrMinute,
    Second,
    Frac,
    AmPm,
    Elapsed
};

struct DToken {
    DTok kind;
    int count = 0;       // letters, or fraction digits
    char unit = 0;       // Elapsed: 'h', 'm' or 's'
    std::string text{};  // Literal text, or the AM/PM spelling
};

std::size_t Run(std::string_view s, std::size_t i, char lower) {
    std::size_t n = 0;
    while (i + n < s.size() && Lower(s[i + n]) == lower) ++n;
    return n;
}

bool StartsWithNoCase(std::string_view s, std::size_t i, std::string_view what) {
    if (i + what.size() > s.size()) return false;
    for (std::size_t k = 0; k < what.size(); ++k) {
        if (Lower(s[i + k]) != Lower(what[k])) return false;
    }
    return true;
}

std::vector<DToken> TokenizeDate(std::string_view s, const TFormatSettings& fs) {
    std::vector<DToken> out;
    auto literal = [&](std::string t) {
        if (!out.empty() && out.back().kind == DTok::Literal) {
            out.back().text += t;
        } else {
            out.push_back({DTok::Literal, 0, 0, std::move(t)});
        }
    };
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const char l = Lower(c);
        if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            literal(std::string(s.substr(i + 1, end - i - 1)));
            i = end + 1;
        } else if (c == '\\') {
            if (i + 1 < s.size()) literal(std::string(1, s[i + 1]));
            i += 2;
        } else if (c == '_' || c == '*') {
            i += 2;
        } else if (c == '[') {
            const std::size_t close = s.find(']', i + 1);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            const std::string_view inside = s.substr(i + 1, end - i - 1);
            const char u = inside.empty() ? 0 : Lower(inside[0]);
            if ((u == 'h' || u == 'm' || u == 's') && Run(inside, 0, u) == inside.size()) {
                out.push_back({DTok::Elapsed, static_cast<int>(inside.size()), u});
            } else if (std::string t = BracketText(inside); !t.empty()) {
                literal(t);
            }
            i = end + 1;
        } else if (StartsWithNoCase(s, i, "am/pm")) {
            const bool lower = s[i] == 'a';
            out.push_back({DTok::AmPm, 0, 0, lower ? "ap" : "AP"});
            i += 5;
        } else if (StartsWithNoCase(s, i, "a/p")) {
            out.push_back({DTok::AmPm, 1, 0, s[i] == 'a' ? "ap" : "AP"});
            i += 3;
        } else if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 'n' || l == 's') {
            const std::size_t n = Run(s, i, l);
            DTok kind = DTok::Year;
            switch (l) {
                case 'y':
                    kind = DTok::Year;
                    break;
                case 'm':
                    kind = n <= 2 ? DTok::MonthOrMinute : DTok::Month;
                    break;
                case 'd':
                    kind = DTok::Day;
                    break;
                case 'h':
                    kind = DTok::Hour;
                    break;
                case 'n':
                    kind = DTok::Minute;
                    break;
                default:
                    kind = DTok::Second;
                    break;
            }
            out.push_back({kind, static_cast<int>(n)});
            i += n;
        } else if (c == '.' && i + 1 < s.size() && s[i + 1] == '0' && !out.empty() &&
                   (out.back().kind == DTok::Second ||
                    (out.back().kind == DTok::Elapsed && out.back().unit == 's'))) {
            const std::size_t n = Run(s, i + 1, '0');
            out.push_back({DTok::Frac, static_cast<int>(std::min<std::size_t>(n, 3))});
            i += 1 + n;
        } else if (c == '/') {
            literal(fs.DateSeparator);
            ++i;
        } else if (c == ':') {
            literal(fs.TimeSeparator);
            ++i;
        } else {
            literal(std::string(1, c));
            ++i;
        }
    }
    // 'm' and 'mm' are minutes right after an hour or right before seconds.
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i].kind != DTok::MonthOrMinute) continue;
        bool minute = false;
        for (std::size_t j = i; j-- > 0;) {
            if (out[j].kind == DTok::Literal) continue;
            minute =
                out[j].kind == DTok::Hour || (out[j].kind == DTok::Elapsed && out[j].unit == 'h');
            break;
        }
        for (std::size_t j = i + 1; !minute && j < out.size(); ++j) {
            if (out[j].kind == DTok::Literal) continue;
            minute =
                out[j].kind == DTok::Second || (out[j].kind == DTok::Elapsed && out[j].unit == 's');
            break;
        }
        out[i].kind = minute ? DTok::Minute : DTok::Month;
    }
    return out;
}

}  // namespace

std::string DateSection(std::string_view section, double v, const TFormatSettings& fs) {
    const std::vector<DToken> toks = TokenizeDate(section, fs);
    int precision = 0;
    bool twelveHour = false;
    for (const DToken& t : toks) {
        if (t.kind == DTok::Frac) precision = std::max(precision, t.count);
        if (t.kind == DTok::AmPm) twelveHour = true;
    }
    DateParts p;
    if (!DecodeSerial(v, precision, p)) return FormatGeneral(v, fs);
    const long long perSecond = UnitsPerSecond(precision);
    // With an elapsed unit, minutes and seconds are parts of the whole duration.
    const bool elapsed = std::any_of(toks.begin(), toks.end(),
                                     [](const DToken& t) { return t.kind == DTok::Elapsed; });
    if (elapsed) p.units = p.elapsedUnits % (86400 * perSecond);
    const long long seconds = p.units / perSecond;
    const long long hour = seconds / 3600, minute = seconds / 60 % 60, second = seconds % 60;
    const long long elapsedSeconds = p.elapsedUnits / perSecond;

    std::string out;
    bool elapsedShown = false;
    for (const DToken& t : toks) {
        switch (t.kind) {
            case DTok::Literal:
                out += t.text;
                break;
            case DTok::Year:
                out += t.count <= 2 ? Padded(p.year % 100, 2) : Padded(p.year, 4);
                break;
            case DTok::Month:
                if (t.count <= 2) {
                    out += Padded(p.month, t.count);
                } else if (t.count == 3) {
                    out += std::string(kMonths[static_cast<std::size_t>(p.month - 1)], 3);
                } else if (t.count == 4) {
                    out += kMonths[static_cast<std::size_t>(p.month - 1)];
                } else {
                    out += kMonths[static_cast<std::size_t>(p.month - 1)][0];
                }
                break;
            case DTok::Day:
                if (t.count <= 2) {
                    out += Padded(p.day, t.count);
                } else if (t.count == 3) {
                    out += std::string(kDays[static_cast<std::size_t>(p.weekday)], 3);
                } else {
                    out += kDays[static_cast<std::size_t>(p.weekday)];
                }
                break;
            case DTok::Hour: {
                long long h = hour;
                if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
                out += Padded(h, std::min(t.count, 2));
                break;
            }
            case DTok::Minute:
            case DTok::MonthOrMinute:
                out += Padded(minute, std::min(t.count, 2));
                break;
            case DTok::Second:
                out += Padded(second, std::min(t.count, 2));
                break;
            case DTok::Frac: {
                const std::string digits = Padded(p.units % perSecond, precision);
                out += fs.DecimalSeparator + digits.substr(0, static_cast<std::size_t>(t.count));
                break;
            }
            case DTok::AmPm: {
                const bool pm = hour >= 12;
                if (t.count == 1) {
                    out.push_back(pm ? t.text[1] : t.text[0]);
                } else {
                    out += t.text == "ap" ? (pm ? "pm" : "am") : (pm ? "PM" : "AM");
                }
                break;
            }
            case DTok::Elapsed: {
                // The first elapsed unit carries the whole duration; later ones only their part.
                long long amount = 0;
                if (t.unit == 'h') {
                    amount = elapsedSeconds / 3600;
                } else if (t.unit == 'm') {
                    amount = elapsedShown ? elapsedSeconds / 60 % 60 : elapsedSeconds / 60;
                } else {
                    amount = elapsedShown ? elapsedSeconds % 60 : elapsedSeconds;
                }
                if (!elapsedShown && p.negative && p.elapsedUnits != 0) out += "-";
                elapsedShown = true;
                out += Padded(amount, std::min(t.count, 2));
                break;
            }
        }
    }
    return out;
}

}  // namespace morvik::xls::numfmt

namespace morvik::xls {

std::string FormatDateTime(std::string_view pattern, double value, const TFormatSettings& fs) {
    if (!std::isfinite(value)) return FormatGeneral(value, fs);
    const std::string_view section = numfmt::SplitSections(pattern)[0];
    if (section.empty()) {
        numfmt::DateParts p;
        if (!numfmt::DecodeSerial(value, 0, p)) return FormatGeneral(value, fs);
        std::string out = numfmt::DateSection(fs.ShortDateFormat, value, fs);
        if (p.units != 0) out += " " + numfmt::DateSection(fs.LongTimeFormat, value, fs);
        return out;
    }
    if (!numfmt::IsDateSection(section) && section.find_first_of("0#?") != std::string_view::npos) {
        return FormatNumber(pattern, value, fs);
    }
    return numfmt::DateSection(section, value, fs);
}

}  // namespace morvik::xls
