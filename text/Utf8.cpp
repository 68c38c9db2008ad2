#include "Utf8.h"

#include <cstring>

#include "ByteReader.h"

namespace morvik {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::uint8_t kNone = 0xFF;

// What a byte asks of the bytes after it when it starts a sequence: how many (0 for ASCII)
// and the range of the first of them; the other continuation bytes lie in 80..BF. The narrowed
// ranges are what keeps out overlong forms, surrogates and code points past U+10FFFF. A byte
// that starts nothing (a continuation byte, C0, C1, F5..FF) asks kNone.
struct Lead {
    std::uint8_t need, low, high;
};

constexpr Lead LeadOf(unsigned char b) {
    if (b < 0x80) return {0, 0x80, 0xBF};
    if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    return {kNone, 0, 0};
}

}  // namespace

bool Utf8Check::Feed(std::string_view bytes) {
    if (need_ == kNone) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p != end) {
        if (need_ == 0) {
            // Most text is ASCII: eight bytes at a time.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull) break;
                p += 8;
            }
            if (p == end) break;
            const Lead lead = LeadOf(*p++);
            need_ = lead.need, low_ = lead.low, high_ = lead.high;
            if (need_ == kNone) return false;
            continue;
        }
        const unsigned char b = *p++;
        if (b < low_ || b > high_) {
            need_ = kNone;
            return false;
        }
        low_ = 0x80, high_ = 0xBF;
        --need_;
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    Utf8Check check;
    return check.Feed(text) && check.AtBoundary();
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const Lead lead = LeadOf(byte(0));
    if (lead.need == 0) return 1;
    if (lead.need == kNone || lead.need >= text.size() - at) return 0;
    if (byte(1) < lead.low || byte(1) > lead.high) return 0;
    for (std::size_t k = 2; k <= lead.need; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return std::size_t{lead.need} + 1;
}

char32_t DecodeUtf8(std::string_view text, std::size_t& at) {
    const std::size_t n = Utf8SequenceLength(text, at);
    if (n == 0) {
        ++at;
        return kReplacement;
    }
    const auto lead = static_cast<unsigned char>(text[at]);
    char32_t cp = n == 1 ? lead : lead & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3Fu);
    at += n;
    return cp;
}

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, i);
        out.append(n == 0 ? std::string_view("\xEF\xBF\xBD") : text.substr(i, n));
        i += n == 0 ? 1 : n;
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void Utf16Decoder::Append(char16_t unit, std::string& out) {
    if (high_ != 0) {
        const char32_t high = high_;
        high_ = 0;
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00u));
            return;
        }
        AppendUtf8(out, kReplacement);  // the unit after a lone high surrogate still counts
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        high_ = unit;
    } else {
        AppendUtf8(out, unit);  // a lone low surrogate: AppendUtf8 replaces it
    }
}

void Utf16Decoder::Finish(std::string& out) {
    if (high_ != 0) AppendUtf8(out, kReplacement);
    high_ = 0;
}

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    Utf16Decoder decoder;
    for (char16_t unit : units) decoder.Append(unit, out);
    decoder.Finish(out);
    return out;
}

std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    Utf16Decoder decoder;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        decoder.Append(static_cast<char16_t>(LoadU16(bytes.data() + i)), out);
    }
    decoder.Finish(out);
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t cp = DecodeUtf8(utf8, at);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string_view Utf8Prefix(std::string_view utf8, std::size_t count) {
    std::size_t cut = 0;
    for (std::size_t characters = 0; cut < utf8.size(); ++cut) {
        const bool continuation = (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80;
        if (!continuation && characters++ == count) break;
    }
    return utf8.substr(0, cut);
}

std::string QuoteStart(std::string_view utf8, std::size_t count) {
    const std::string_view shown = Utf8Prefix(utf8, count);
    return std::string(shown) + (shown.size() < utf8.size() ? "\u2026" : "");
}

}  // namespace morvik
