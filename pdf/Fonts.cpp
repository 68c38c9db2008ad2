#include "Fonts.h"

#include <fontconfig/fontconfig.h>

#include <array>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "Syntax.h"

namespace morvik::pdf {
namespace {

// The fonts: found once per process through fontconfig and read once. They must be DejaVu:
// another family chosen in its place could lack Czech letters or change every width.

struct Fonts {
    std::array<std::unique_ptr<TrueTypeFont>, kFaces> face;
    std::optional<PdfError> error;
};

std::unique_ptr<TrueTypeFont> Load(const char* family, const char* style) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* found = nullptr;
    FcChar8* file = nullptr;
    const bool ours = match != nullptr &&
                      FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch &&
                      std::string_view(reinterpret_cast<const char*>(found)) == family &&
                      FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    const std::string path = ours ? reinterpret_cast<const char*>(file) : "";
    if (match) FcPatternDestroy(match);
    if (!ours) throw PdfError(PdfError::Kind::FontMissing, std::string(family) + " " + style);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) throw PdfError(PdfError::Kind::FontUnusable, path, "it cannot be read");
    return std::make_unique<TrueTypeFont>(std::move(bytes).str(), path);
}

const Fonts& TheFonts() {
    static const Fonts fonts = [] {
        Fonts f;
        const char* names[kFaces][2] = {{"DejaVu Sans", "Book"}, {"DejaVu Sans", "Bold"}};
        try {
            for (std::size_t i = 0; i < kFaces; ++i) f.face[i] = Load(names[i][0], names[i][1]);
        } catch (const PdfError& e) {
            f.error = e;
        }
        return f;
    }();
    if (fonts.error) throw *fonts.error;
    return fonts;
}

constexpr std::string_view kRepertoire = "ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž·×–—‘’“”„•…°±≈µσ²³";

// Once per subset: worth the smallest.
constexpr int kFontCompression = 12;

std::shared_ptr<const Embedded> MakeEmbedded(const TrueTypeFont& font,
                                             std::vector<std::uint16_t> glyphs) {
    auto e = std::make_shared<Embedded>();
    const std::string program = font.Subset(glyphs);
    e->glyphs = std::move(glyphs);
    e->code.assign(font.GlyphCount(), 0);
    for (std::size_t i = 0; i < e->glyphs.size(); ++i)
        e->code[e->glyphs[i]] = static_cast<std::uint16_t>(i);
    e->programLength = program.size();
    e->program = Deflate(program, kFontCompression);

    // The subset's tag: six letters from its glyphs, so the same subset has the same name.
    const std::string digest = Fingerprint(
        font.PostScriptName() +
        std::string(reinterpret_cast<const char*>(e->glyphs.data()), 2 * e->glyphs.size()));
    for (int i = 0; i < 6; ++i)
        e->baseFont +=
            static_cast<char>('A' + std::stoi(digest.substr(2 * i, 2), nullptr, 16) % 26);
    e->baseFont += "+" + font.PostScriptName();

    e->widths = "[0[";
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<unsigned, char32_t>> mapped;
    for (std::size_t code = 0; code < e->glyphs.size(); ++code) {
        if (code > 0) e->widths += ' ';
        Number(e->widths, font.Advance(e->glyphs[code]) * 1000, 3);
        if (const char32_t c = font.CharacterOf(e->glyphs[code]); c != 0)
            mapped.emplace_back(static_cast<unsigned>(code), c);
    }
    e->widths += "]]";
    for (std::size_t i = 0; i < mapped.size(); i += 100) {
        const std::size_t n = std::min<std::size_t>(100, mapped.size() - i);
        cmap += std::to_string(n) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            cmap += '<';
            Hex16(cmap, mapped[k].first);
            cmap += "> <";
            const char32_t c = mapped[k].second;
            if (c < 0x10000) {
                Hex16(cmap, c);
            } else {
                Hex16(cmap, 0xD800 + ((c - 0x10000) >> 10));
                Hex16(cmap, 0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    e->toUnicode = Deflate(cmap, kFontCompression);
    return e;
}

}  // namespace

void RequireFonts() { TheFonts(); }

const TrueTypeFont& FontOf(Face face) { return *TheFonts().face[static_cast<std::size_t>(face)]; }

std::shared_ptr<const Embedded> Embed(Face face, const std::vector<bool>& used) {
    const TrueTypeFont& font = FontOf(face);
    static const std::array<std::vector<bool>, kFaces> repertoire = [] {
        std::array<std::vector<bool>, kFaces> r;
        for (std::size_t f = 0; f < kFaces; ++f) {
            const TrueTypeFont& font = *TheFonts().face[f];
            r[f].assign(font.GlyphCount(), false);
            for (char32_t c = 0x20; c < 0x7F; ++c) r[f][font.Glyph(c)] = true;
            ForEachCharacter(kRepertoire, [&](char32_t c) { r[f][font.Glyph(c)] = true; });
        }
        return r;
    }();
    std::vector<std::uint16_t> glyphs;
    const std::vector<bool>& base = repertoire[static_cast<std::size_t>(face)];
    for (std::size_t g = 0; g < base.size(); ++g)
        if (base[g] || used[g]) glyphs.push_back(static_cast<std::uint16_t>(g));

    static std::mutex mutex;
    static std::map<std::pair<Face, std::vector<std::uint16_t>>, std::shared_ptr<const Embedded>>
        made;
    std::pair<Face, std::vector<std::uint16_t>> key{face, glyphs};
    {
        const std::lock_guard lock(mutex);
        if (const auto it = made.find(key); it != made.end()) return it->second;
    }
    auto e = MakeEmbedded(font, std::move(glyphs));
    const std::lock_guard lock(mutex);
    if (made.size() >= 64) made.clear();  // a bound for a long run of exotic file names
    return made.emplace(std::move(key), std::move(e)).first->second;
}

}  // namespace morvik::pdf
