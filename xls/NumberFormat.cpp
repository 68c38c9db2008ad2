#include "NumberFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace morvik::xls {
namespace {

// ---------------------------------------------------------------------------------------------
// Decimal digits of a non-negative finite double: value = 0.Digits x 10^Exp. Working on the
// shortest decimal form makes 0.125 and 2.675 round the way people expect.

struct Decimal {
    std::string digits;  // no leading or trailing zeros; empty for zero
    int exp = 0;
};

void StripTrailingZeros(Decimal& d) {
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.exp = 0;
}

// Keeps `keep` leading digits, rounding half away from zero.
void RoundDigits(Decimal& d, long keep) {
    if (d.digits.empty() || keep >= static_cast<long>(d.digits.size())) return;
    if (keep < 0) {
        d = {};
        return;
    }
    const bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        long i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp;
        } else {
            ++d.digits[static_cast<std::size_t>(i)];
        }
    }
    StripTrailingZeros(d);
}

Decimal ToDecimal(double value) {
    Decimal d;
    if (!(value > 0) || !std::isfinite(value)) return d;
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string_view text(buf, static_cast<std::size_t>(result.ptr - buf));
    const std::size_t e = text.find('e');
    for (char c : text.substr(0, e)) {
        if (c >= '0' && c <= '9') d.digits.push_back(c);
    }
    int exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    d.exp = exponent + 1;
    while (!d.digits.empty() && d.digits.front() == '0') d.digits.erase(d.digits.begin());
    StripTrailingZeros(d);
    // A spreadsheet keeps 15 significant digits; the 16th and 17th are binary noise.
    RoundDigits(d, 15);
    return d;
}

char DigitAt(const Decimal& d, long index) {
    return index >= 0 && index < static_cast<long>(d.digits.size())
               ? d.digits[static_cast<std::size_t>(index)]
               : '0';
}

// The integer part of d (no leading zeros; empty for 0).
std::string IntegerDigits(const Decimal& d) {
    std::string out;
    for (long i = 0; i < d.exp; ++i) out.push_back(DigitAt(d, i));
    return out;
}

std::string Padded(long long v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

bool IsDigitPlaceholder(char c) { return c == '0' || c == '#' || c == '?'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ---------------------------------------------------------------------------------------------
// Pattern scanning shared by both formatters.

// Splits at ';' outside quotes, brackets and escapes.
std::vector<std::string_view> SplitSections(std::string_view pattern) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '"') {
            const std::size_t close = pattern.find('"', i + 1);
            i = close == std::string_view::npos ? pattern.size() : close;
        } else if (c == '[') {
            const std::size_t close = pattern.find(']', i + 1);
            i = close == std::string_view::npos ? pattern.size() : close;
        } else if (c == '\\') {
            ++i;
        } else if (c == ';') {
            sections.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(pattern.substr(std::min(start, pattern.size())));
    return sections;
}

// What a bracket shows: the currency text of [$text-locale], nothing for colours and conditions.
std::string BracketText(std::string_view inside) {
    if (inside.empty() || inside[0] != '$') return {};
    const std::size_t dash = inside.find('-');
    return std::string(inside.substr(1, dash == std::string_view::npos ? inside.npos : dash - 1));
}

// Date/time codes and no number placeholders ("mm:ss.0" counts as a time).
bool IsDateSection(std::string_view s) {
    bool dateCode = false;
    // The last '0' found to be a fraction of seconds: the next '0' right after it is one too,
    // without walking back over the whole run again.
    std::size_t fractionZero = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            i = close == std::string_view::npos ? s.size() : close;
        } else if (c == '[') {
            const std::size_t close = s.find(']', i + 1);
            const std::string_view inside =
                s.substr(i + 1, (close == std::string_view::npos ? s.size() : close) - i - 1);
            if (!inside.empty() &&
                (Lower(inside[0]) == 'h' || Lower(inside[0]) == 'm' || Lower(inside[0]) == 's')) {
                dateCode = true;
            }
            i = close == std::string_view::npos ? s.size() : close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '#' || c == '?') {
            return false;
        } else if (c == '0') {
            // Only digits of fractional seconds: ".0", ".00", ".000".
            if (fractionZero == std::string_view::npos || fractionZero + 1 != i) {
                std::size_t j = i;
                while (j > 0 && s[j - 1] == '0') --j;
                if (j == 0 || s[j - 1] != '.') return false;
            }
            fractionZero = i;
        } else {
            const char l = Lower(c);
            if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') dateCode = true;
        }
    }
    return dateCode;
}

// ---------------------------------------------------------------------------------------------
// Number sections.

enum class Tok { Literal, Digit, Point, Comma, Exponent, Percent, Text, Slash };

struct Token {
    Tok kind;
    char ph = 0;         // the placeholder of a Digit, or 'E'/'e' of an Exponent
    std::string text{};  // a Literal's text
    bool plus = false;   // Exponent: E+ shows '+' for positive exponents
    int expDigits = 0;   // Exponent: minimum digits
};

std::vector<Token> TokenizeNumber(std::string_view s) {
    std::vector<Token> out;
    auto literal = [&](std::string text) {
        if (!out.empty() && out.back().kind == Tok::Literal) {
            out.back().text += text;
        } else {
            out.push_back({Tok::Literal, 0, std::move(text)});
        }
    };
    bool point = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            literal(std::string(s.substr(i + 1, end - i - 1)));
            i = end;
        } else if (c == '\\') {
            if (i + 1 < s.size()) literal(std::string(1, s[++i]));
        } else if (c == '_' || c == '*') {
            ++i;  // padding and fill have no place in plain text
        } else if (c == '[') {
            const std::size_t close = s.find(']', i + 1);
            const std::size_t end = close == std::string_view::npos ? s.size() : close;
            if (std::string t = BracketText(s.substr(i + 1, end - i - 1)); !t.empty()) literal(t);
            i = end;
        } else if (IsDigitPlaceholder(c)) {
            out.push_back({Tok::Digit, c});
        } else if (c == '.' && !point) {
            point = true;
            out.push_back({Tok::Point});
        } else if (c == ',') {
            out.push_back({Tok::Comma});
        } else if ((c == 'E' || c == 'e') && i + 1 < s.size() &&
                   (s[i + 1] == '+' || s[i + 1] == '-')) {
            Token t{Tok::Exponent, c};
            t.plus = s[i + 1] == '+';
            i += 2;
            while (i < s.size() && IsDigitPlaceholder(s[i])) {
                if (s[i] == '0') ++t.expDigits;
                ++i;
            }
            --i;
            out.push_back(t);
        } else if (c == '%') {
            out.push_back({Tok::Percent});
        } else if (c == '@') {
            out.push_back({Tok::Text});
        } else if ((c == 'G' || c == 'g') && s.size() - i >= 7 && Lower(s[i + 1]) == 'e' &&
                   Lower(s[i + 2]) == 'n' && Lower(s[i + 3]) == 'e' && Lower(s[i + 4]) == 'r' &&
                   Lower(s[i + 5]) == 'a' && Lower(s[i + 6]) == 'l') {
            out.push_back({Tok::Text});  // "General" inside a pattern: the general form there
            i += 6;
        } else if (c == '/') {
            out.push_back({Tok::Slash});
        } else {
            literal(std::string(1, c));
        }
    }
    return out;
}

// Thousands grouping of a run of integer digits: the text of digit k counted from the right.
std::string IntegerPiece(const std::string& digits, long k, bool grouping,
                         const TFormatSettings& fs) {
    std::string piece(1, digits[digits.size() - 1 - static_cast<std::size_t>(k)]);
    if (grouping && k > 0 && k % 3 == 0) piece += fs.ThousandSeparator;
    return piece;
}

struct Layout {
    std::vector<std::size_t> intPh, fracPh;  // token positions
    long pointAt = -1, expAt = -1;
    bool grouping = false;
    int scale = 0;  // divisions by 1000
    int percents = 0;
};

Layout Analyse(std::vector<Token>& toks) {
    Layout lay;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        switch (toks[i].kind) {
            case Tok::Digit:
                (lay.pointAt < 0 && lay.expAt < 0 ? lay.intPh : lay.fracPh).push_back(i);
                break;
            case Tok::Point:
                if (lay.expAt < 0) lay.pointAt = static_cast<long>(i);
                break;
            case Tok::Exponent:
                if (lay.expAt < 0) lay.expAt = static_cast<long>(i);
                break;
            case Tok::Percent:
                ++lay.percents;
                break;
            default:
                break;
        }
    }
    // Placeholders after the exponent are not mantissa digits.
    if (lay.expAt >= 0) {
        std::erase_if(lay.fracPh, [&](std::size_t p) { return static_cast<long>(p) > lay.expAt; });
        std::erase_if(lay.intPh, [&](std::size_t p) { return static_cast<long>(p) > lay.expAt; });
    }
    // Commas: between integer placeholders they group; right after the last one they scale.
    const long intEnd = lay.pointAt >= 0
                            ? lay.pointAt
                            : (lay.expAt >= 0 ? lay.expAt : static_cast<long>(toks.size()));
    const long firstInt = lay.intPh.empty() ? -1 : static_cast<long>(lay.intPh.front());
    const long lastInt = lay.intPh.empty() ? -1 : static_cast<long>(lay.intPh.back());
    // Whether every token from the last integer placeholder up to here is a comma already
    // taken as a scale: kept as the loop goes, rather than looked back over at every comma.
    bool onlyCommas = true;
    for (std::size_t i = 0; i < toks.size(); ++i) {
        const long at = static_cast<long>(i);
        if (toks[i].kind != Tok::Comma) {
            if (at > lastInt)
                onlyCommas = onlyCommas && toks[i].kind == Tok::Literal && toks[i].text.empty();
            continue;
        }
        if (firstInt >= 0 && at > firstInt && at < lastInt) {
            lay.grouping = true;
            toks[i] = {Tok::Literal, 0, ""};
        } else if (lastInt >= 0 && at > lastInt && at < intEnd) {
            if (onlyCommas) {
                ++lay.scale;
                toks[i] = {Tok::Literal, 0, ""};
            } else {
                toks[i] = {Tok::Literal, 0, ","};
            }
        } else {
            toks[i] = {Tok::Literal, 0, ","};
        }
        if (at > lastInt) onlyCommas = onlyCommas && toks[i].text.empty();
    }
    return lay;
}

// Emits tokens with the integer digits `intDigits` and fraction digits of `frac` (decimal
// digits at fraction positions 0, 1, ...). Answers whether any non-zero digit was shown.
std::string Render(const std::vector<Token>& toks, const Layout& lay, std::string intDigits,
                   const Decimal& frac, long fracStart, const std::string& exponentText,
                   double original, const TFormatSettings& fs, bool& nonZero) {
    nonZero = intDigits.find_first_not_of('0') != std::string::npos;
    // Integer placeholders from the leftmost '0' on are always shown.
    long minInt = 0;
    for (std::size_t n = 0; n < lay.intPh.size(); ++n) {
        if (toks[lay.intPh[n]].ph == '0') {
            minInt = static_cast<long>(lay.intPh.size() - n);
            break;
        }
    }
    if (static_cast<long>(intDigits.size()) < minInt) {
        intDigits.insert(0, static_cast<std::size_t>(minInt) - intDigits.size(), '0');
    }
    // Fraction digits after the last non-zero one show only under '0'.
    const long decimals = static_cast<long>(lay.fracPh.size());
    long lastNonZero = -1;
    for (long j = 0; j < decimals; ++j) {
        if (DigitAt(frac, fracStart + j) != '0') lastNonZero = j;
    }
    if (lastNonZero >= 0) nonZero = true;

    std::string out;
    bool intEmitted = false;
    const long nInt = static_cast<long>(lay.intPh.size());
    const long len = static_cast<long>(intDigits.size());
    long intSeen = 0, fracSeen = 0;
    auto emitAllInt = [&] {
        for (long k = len - 1; k >= 0; --k) out += IntegerPiece(intDigits, k, lay.grouping, fs);
        intEmitted = true;
    };
    for (std::size_t i = 0; i < toks.size(); ++i) {
        const Token& t = toks[i];
        switch (t.kind) {
            case Tok::Literal:
                out += t.text;
                break;
            case Tok::Digit: {
                if (lay.expAt >= 0 && static_cast<long>(i) > lay.expAt) break;
                const bool isInt =
                    intSeen < nInt && lay.intPh[static_cast<std::size_t>(intSeen)] == i;
                if (isInt) {
                    const long rank = nInt - 1 - intSeen;  // position counted from the right
                    ++intSeen;
                    if (rank == nInt - 1) {
                        for (long k = len - 1; k >= rank; --k)
                            out += IntegerPiece(intDigits, k, lay.grouping, fs);
                        intEmitted = true;
                    } else if (rank < len) {
                        out += IntegerPiece(intDigits, rank, lay.grouping, fs);
                    }
                } else {
                    const long j = fracSeen++;
                    if (j <= lastNonZero || t.ph == '0')
                        out.push_back(DigitAt(frac, fracStart + j));
                }
                break;
            }
            case Tok::Point:
                if (!intEmitted && nInt == 0) emitAllInt();
                if (static_cast<long>(i) == lay.pointAt) {
                    out += fs.DecimalSeparator;
                } else {
                    out += ".";
                }
                break;
            case Tok::Exponent:
                if (!intEmitted && nInt == 0) emitAllInt();
                if (static_cast<long>(i) == lay.expAt) out += exponentText;
                break;
            case Tok::Percent:
                out += "%";
                break;
            case Tok::Text:
                out += FormatGeneral(original, fs);
                nonZero = nonZero || original != 0;
                break;
            case Tok::Slash:
                out += "/";
                break;
            case Tok::Comma:
                out += ",";
                break;
        }
    }
    return out;
}

std::string FixedSection(std::vector<Token>& toks, double v, double original,
                         const TFormatSettings& fs, bool& nonZero) {
    Layout lay = Analyse(toks);
    for (int i = 0; i < lay.percents; ++i) v *= 100;
    for (int i = 0; i < lay.scale; ++i) v /= 1000;
    if (!std::isfinite(v)) return FormatGeneral(v, fs);
    Decimal d = ToDecimal(v);
    RoundDigits(d, d.exp + static_cast<long>(lay.fracPh.size()));
    return Render(toks, lay, IntegerDigits(d), d, d.exp, "", original, fs, nonZero);
}

std::string ScientificSection(std::vector<Token>& toks, double v, double original,
                              const TFormatSettings& fs, bool& nonZero) {
    Layout lay = Analyse(toks);
    for (int i = 0; i < lay.percents; ++i) v *= 100;
    if (!std::isfinite(v)) return FormatGeneral(v, fs);
    const Token& e = toks[static_cast<std::size_t>(lay.expAt)];
    const long nInt = static_cast<long>(lay.intPh.size());
    bool engineering = false;
    for (std::size_t p : lay.intPh) engineering = engineering || (nInt > 1 && toks[p].ph == '#');
    const long decimals = static_cast<long>(lay.fracPh.size());

    Decimal d = ToDecimal(v);
    long x = 0, k = std::max(nInt, 1L);
    for (int pass = 0; pass < 2 && !d.digits.empty(); ++pass) {
        if (engineering) {
            const long e1 = d.exp - 1;
            x = (e1 >= 0 ? e1 / nInt : -((-e1 + nInt - 1) / nInt)) * nInt;
            k = d.exp - x;
        } else {
            k = std::max(nInt, 1L);
            x = d.exp - k;
        }
        const int before = d.exp;
        RoundDigits(d, k + decimals);
        if (d.exp == before) break;  // no carry into a new digit
    }
    Decimal mantissa = d;
    mantissa.exp = d.digits.empty() ? 0 : static_cast<int>(k);
    std::string exponentText(1, e.ph);
    if (x < 0) {
        exponentText += '-';
    } else if (e.plus) {
        exponentText += '+';
    }
    exponentText += Padded(x < 0 ? -x : x, e.expDigits);
    return Render(toks, lay, IntegerDigits(mantissa), mantissa, mantissa.exp, exponentText,
                  original, fs, nonZero);
}

// "# ?/?", "# ??/??", "?/8": whole number, numerator and denominator.
std::string FractionSection(const std::vector<Token>& toks, double v, const TFormatSettings& fs,
                            bool& nonZero) {
    const auto slash =
        static_cast<std::size_t>(std::find_if(toks.begin(), toks.end(),
                                              [](const Token& t) { return t.kind == Tok::Slash; }) -
                                 toks.begin());
    // Denominator: placeholders ("??"), or a fixed number ("8", "100": its zeros tokenise as
    // placeholders, its other digits as literal text).
    std::size_t after = slash + 1;
    std::string denText;
    std::string suffix;
    while (after < toks.size()) {
        const Token& t = toks[after];
        if (t.kind == Tok::Digit) {
            denText.push_back(t.ph);
            ++after;
        } else if (t.kind == Tok::Literal && !t.text.empty() && t.text[0] >= '0' &&
                   t.text[0] <= '9') {
            std::size_t n = 0;
            while (n < t.text.size() && t.text[n] >= '0' && t.text[n] <= '9')
                denText.push_back(t.text[n++]);
            ++after;
            if (n < t.text.size()) {
                suffix = t.text.substr(n);
                break;
            }
        } else {
            break;
        }
    }
    int denPh = 0;
    long long fixedDen = 0;
    if (!denText.empty() && denText[0] >= '1' && denText[0] <= '9') {
        for (std::size_t n = 0; n < denText.size() && n < 9; ++n) {
            const char c = denText[n];
            fixedDen = fixedDen * 10 + ((c >= '0' && c <= '9') ? c - '0' : 0);
        }
    } else {
        denPh = static_cast<int>(denText.size());
    }
    for (std::size_t i = after; i < toks.size(); ++i) {
        if (toks[i].kind == Tok::Literal) suffix += toks[i].text;
        if (toks[i].kind == Tok::Percent) suffix += "%";
    }
    // Numerator: the placeholders right before the slash; whole: placeholders before those.
    std::size_t numStart = slash;
    while (numStart > 0 && toks[numStart - 1].kind == Tok::Digit) --numStart;
    std::string prefix, middle;
    bool whole = false;
    bool wholeZero = false;
    std::size_t i = 0;
    for (; i < numStart; ++i) {
        if (toks[i].kind == Tok::Digit) {
            whole = true;
            wholeZero = wholeZero || toks[i].ph == '0';
        } else if (toks[i].kind == Tok::Literal) {
            (whole ? middle : prefix) += toks[i].text;
        }
    }
    long long maxDen = 1;
    for (int n = 0; n < std::min(denPh, 5); ++n) maxDen *= 10;
    maxDen = std::max(maxDen - 1, 1LL);
    // Keep every product below 2^53 so that the rounding to integers stays exact and in range.
    const double limit = 9e15 / static_cast<double>(fixedDen > 0 ? fixedDen : maxDen);
    if (v >= (whole ? 9e15 : limit)) return FormatGeneral(v, fs);
    long long w = 0;
    double f = v;
    if (whole) {
        w = static_cast<long long>(std::floor(v));
        f = v - static_cast<double>(w);
    }
    long long num = 0, den = 1;
    if (fixedDen > 0) {
        den = fixedDen;
        num = std::llround(f * static_cast<double>(den));
    } else {
        double best = 2;
        for (long long q = 1; q <= maxDen; ++q) {
            const long long p = std::llround(f * static_cast<double>(q));
            const double err = std::fabs(f - static_cast<double>(p) / static_cast<double>(q));
            if (err < best) {
                best = err;
                num = p;
                den = q;
            }
        }
    }
    if (whole && num >= den) {
        w += num / den;
        num %= den;
    }
    nonZero = w != 0 || num != 0;
    std::string out = prefix;
    if (num == 0) {
        out += (w != 0 || wholeZero || !whole) ? std::to_string(w) : "0";
        if (!whole) out += "/" + std::to_string(den);
    } else {
        if (whole && (w != 0 || wholeZero)) out += std::to_string(w) + middle;
        out += std::to_string(num) + "/" + std::to_string(den);
    }
    return out + suffix;
}

std::string NumberSection(std::string_view section, double v, double original,
                          const TFormatSettings& fs, bool& nonZero) {
    std::vector<Token> toks = TokenizeNumber(section);
    nonZero = v != 0;
    const auto has = [&](Tok kind) {
        return std::any_of(toks.begin(), toks.end(),
                           [&](const Token& t) { return t.kind == kind; });
    };
    const auto slash =
        std::find_if(toks.begin(), toks.end(), [](const Token& t) { return t.kind == Tok::Slash; });
    if (slash != toks.end() && slash != toks.begin() && (slash - 1)->kind == Tok::Digit) {
        return FractionSection(toks, v, fs, nonZero);
    }
    if (has(Tok::Exponent) && has(Tok::Digit))
        return ScientificSection(toks, v, original, fs, nonZero);
    return FixedSection(toks, v, original, fs, nonZero);
}

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

}  // namespace

std::string FormatGeneral(double value, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    const Decimal d = ToDecimal(std::fabs(value));
    if (d.digits.empty()) return "0";
    std::string out = value < 0 ? "-" : "";
    const long n = static_cast<long>(d.digits.size());
    if (d.exp > 15 || d.exp < -4) {
        out += d.digits.substr(0, 1);
        if (n > 1) out += fs.DecimalSeparator + d.digits.substr(1);
        out += "E" + std::to_string(d.exp - 1);
    } else if (d.exp <= 0) {
        out += "0" + fs.DecimalSeparator + std::string(static_cast<std::size_t>(-d.exp), '0') +
               d.digits;
    } else {
        out += IntegerDigits(d);
        if (n > d.exp)
            out += fs.DecimalSeparator + d.digits.substr(static_cast<std::size_t>(d.exp));
    }
    return out;
}

std::string FormatNumber(std::string_view pattern, double value, const TFormatSettings& fs) {
    if (!std::isfinite(value)) return FormatGeneral(value, fs);
    const std::vector<std::string_view> sections = SplitSections(pattern);
    std::string_view section = sections[0];
    bool sign = true;
    if (sections.size() >= 3 && value == 0) {
        section = sections[2];
        sign = false;
    } else if (sections.size() >= 2 && value < 0) {
        section = sections[1];
        sign = false;
    }
    if (section.empty() || section == "General" || section == "general" || section == "GENERAL") {
        if (sections.size() > 1 && section.empty()) return {};
        return FormatGeneral(sign ? value : std::fabs(value), fs);
    }
    if (IsDateSection(section)) return DateSection(section, value, fs);
    bool nonZero = false;
    std::string out = NumberSection(section, std::fabs(value), std::fabs(value), fs, nonZero);
    if (sign && value < 0 && nonZero) out.insert(0, "-");
    return out;
}

std::string FormatDateTime(std::string_view pattern, double value, const TFormatSettings& fs) {
    if (!std::isfinite(value)) return FormatGeneral(value, fs);
    const std::string_view section = SplitSections(pattern)[0];
    if (section.empty()) {
        DateParts p;
        if (!DecodeSerial(value, 0, p)) return FormatGeneral(value, fs);
        std::string out = DateSection(fs.ShortDateFormat, value, fs);
        if (p.units != 0) out += " " + DateSection(fs.LongTimeFormat, value, fs);
        return out;
    }
    if (!IsDateSection(section) && section.find_first_of("0#?") != std::string_view::npos) {
        return FormatNumber(pattern, value, fs);
    }
    return DateSection(section, value, fs);
}

}  // namespace morvik::xls
