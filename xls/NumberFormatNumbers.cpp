// Number sections of a pattern: digit placeholders, grouping and scaling, exponents and
// fractions; and the general form, on the same decimal digits of a double.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "NumberFormatSections.h"

namespace morvik::xls::numfmt {
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

bool IsDigitPlaceholder(char c) { return c == '0' || c == '#' || c == '?'; }

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

}  // namespace

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

}  // namespace morvik::xls::numfmt

namespace morvik::xls {

std::string FormatGeneral(double value, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    const numfmt::Decimal d = numfmt::ToDecimal(std::fabs(value));
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
        out += numfmt::IntegerDigits(d);
        if (n > d.exp)
            out += fs.DecimalSeparator + d.digits.substr(static_cast<std::size_t>(d.exp));
    }
    return out;
}

}  // namespace morvik::xls
