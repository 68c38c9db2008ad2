// The number, string and stream forms every part of a PDF is written in.
#include "Syntax.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "Error.h"
#include "text/Utf8.h"

namespace morvik::pdf {

// libdeflate rather than zlib: at its fastest level it compresses a report's pages about three
// times faster than zlib's fastest, and smaller (bench/report measures the report).
std::string Deflate(std::string_view bytes, int level) {
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    // A compressor's tables take longer to set up than a page to compress: each thread keeps
    // one per level.
    thread_local std::array<std::unique_ptr<libdeflate_compressor, Free>, 13> compressors;
    if (level < 1 || level > 12) level = 6;
    auto& compressor = compressors[static_cast<std::size_t>(level)];
    if (!compressor) compressor.reset(libdeflate_alloc_compressor(level));
    std::string out;
    if (compressor) {
        out.resize(libdeflate_zlib_compress_bound(compressor.get(), bytes.size()));
        out.resize(libdeflate_zlib_compress(compressor.get(), bytes.data(), bytes.size(),
                                            out.data(), out.size()));
    }
    if (out.empty()) throw PdfError(PdfError::Kind::NotMade, {}, "its compression failed");
    return out;
}

void Number(std::string& out, double v, int decimals) {
    if (!std::isfinite(v)) v = 0;
    char buffer[48];
    char* end =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals).ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    if (end - buffer == 2 && buffer[0] == '-' && buffer[1] == '0') {
        out += '0';
        return;
    }
    out.append(buffer, end);
}

void Hex16(std::string& out, unsigned v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 0xF];
}

std::string TextString(std::string_view utf8) {
    const bool plain = std::all_of(utf8.begin(), utf8.end(), [](char c) {
        return c >= 0x20 && c < 0x7F && c != '(' && c != ')' && c != '\\';
    });
    if (plain) return "(" + std::string(utf8) + ")";
    std::string out = "<FEFF";
    for (const char16_t unit : Utf8ToUtf16(utf8)) Hex16(out, unit);
    return out + ">";
}

// Eight bytes a step.
std::string Fingerprint(std::string_view bytes) {
    std::uint64_t a = 0x9E3779B97F4A7C15ull, b = 0xC2B2AE3D27D4EB4Full;
    std::size_t i = 0;
    const auto mix = [&](std::uint64_t word) {
        a = (a ^ word) * 0xFF51AFD7ED558CCDull;
        a ^= a >> 29;
        b = (b + word) * 0xC4CEB9FE1A85EC53ull;
        b ^= b >> 31;
    };
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        mix(word);
    }
    std::uint64_t last = bytes.size();
    for (; i < bytes.size(); ++i) last = last << 8 | static_cast<unsigned char>(bytes[i]);
    mix(last);
    char id[40];
    std::snprintf(id, sizeof id, "%016llx%016llx", static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return id;
}

}  // namespace morvik::pdf
