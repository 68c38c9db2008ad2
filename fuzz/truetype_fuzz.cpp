// Feeds bytes to the font reader in the font's place: it refuses with PdfError or reads them,
// and whatever it reads it can measure and subset. What a subset gives back is a font with
// at least the glyphs asked for, numbered in order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_workdir.h"
#include "pdf/Document.h"
#include "pdf/TrueType.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using morvik::fuzz::Check;
    try {
        const morvik::pdf::TrueTypeFont font(std::string(reinterpret_cast<const char*>(data), size),
                                             "fuzz");
        std::vector<std::uint16_t> glyphs;
        for (const char32_t c : U"Aač€\U0001F600 ") {
            const std::uint16_t g = font.Glyph(c);
            Check(g < font.GlyphCount());
            Check(font.Advance(g) >= 0);
            glyphs.push_back(g);
        }
        const std::string subset = font.Subset(glyphs);
        Check(!glyphs.empty() && glyphs[0] == 0);
        Check(std::is_sorted(glyphs.begin(), glyphs.end()));
        Check(subset.size() % 4 == 0);
    } catch (const morvik::pdf::PdfError&) {
    }
    return 0;
}
