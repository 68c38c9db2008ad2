// The fonts a document draws with, read once per process, and the subsets of them a
// document embeds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Document.h"
#include "TrueType.h"
#include "text/Utf8.h"

namespace morvik::pdf {

inline constexpr std::size_t kFaces = 2;

// Throws PdfError when the fonts are not installed or cannot be read.
void RequireFonts();
// The face's font; RequireFonts must have succeeded.
const TrueTypeFont& FontOf(Face face);

// Calls `f` with each character of the text; bytes that are no UTF-8 give U+FFFD, control
// characters a blank.
template <class F>
void ForEachCharacter(std::string_view utf8, F&& f) {
    for (std::size_t at = 0; at < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        char32_t c = byte < 0x80 ? (++at, byte) : DecodeUtf8(utf8, at);
        if (c < 0x20 || c == 0x7F) c = ' ';
        f(c);
    }
}

struct Embedded {
    std::vector<std::uint16_t> glyphs;  // the font's glyph numbers, in the subset's order
    std::vector<std::uint16_t> code;    // per glyph of the font, its number in the subset
    std::string baseFont;               // "ABCDEF+DejaVuSans"
    std::string program;                // the subset, compressed
    std::size_t programLength = 0;
    std::string widths;     // the W array
    std::string toUnicode;  // the character map for extracting text, compressed

    std::uint16_t Code(std::uint16_t glyph) const { return glyph < code.size() ? code[glyph] : 0; }
};

// A font as a document embeds it: the subset and the objects that describe it. Every
// document embeds at least the glyphs of a fixed repertoire (ASCII, the Czech letters, the
// report's punctuation), so reports of a collection share one subset, made and compressed
// once per process; a character beyond it gives a subset of its own. `used`: per glyph of the
// face's font.
std::shared_ptr<const Embedded> Embed(Face face, const std::vector<bool>& used);

}  // namespace morvik::pdf
