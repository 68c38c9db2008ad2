// A TrueType font read from its file: what a PDF needs to measure text with it and to embed
// the part of it that a document uses.
//
// The bytes are treated as hostile (a damaged or foreign file found in the font's place):
// every read is bounds-checked, every table walk is bounded by the table's size, and what
// cannot be used is refused once, when the font is read. A glyph whose outline is damaged is
// embedded empty rather than refused, so one bad glyph never stops a report.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morvik::pdf {

class TrueTypeFont {
  public:
    // Throws PdfError naming `name` when the bytes are not a TrueType font with outlines, a
    // Unicode character map and horizontal metrics.
    TrueTypeFont(std::string bytes, std::string name);

    // The glyph of a character; 0 (the font's "missing" glyph) when it has none.
    std::uint16_t Glyph(char32_t c) const;
    // The smallest character mapped to a glyph, 0 when none is: what a reader extracts.
    char32_t CharacterOf(std::uint16_t glyph) const;
    // A glyph's advance in units of the em.
    double Advance(std::uint16_t glyph) const {
        return glyph < advance_.size() ? advance_[glyph] : advance_.back();
    }
    std::uint16_t GlyphCount() const { return glyphCount_; }

    // Metrics in thousandths of the em, as a PDF font descriptor gives them.
    struct Metrics {
        double ascent = 0, descent = 0, capHeight = 0, italicAngle = 0;
        std::array<double, 4> box{};  // x min, y min, x max, y max
        bool fixedPitch = false;
    };
    const Metrics& FontMetrics() const { return metrics_; }
    const std::string& PostScriptName() const { return postScriptName_; }

    // A font program of the given glyphs and of the glyphs they are built from, numbered in
    // ascending order of their numbers here (glyph 0 always first). `glyphs` receives that
    // order: a glyph's number in the subset is its place in it. Hinting instructions are left
    // out: a PDF viewer draws at any size.
    std::string Subset(std::vector<std::uint16_t>& glyphs) const;

  private:
    struct Table {
        std::uint32_t offset = 0, length = 0;
    };
    Table Find(const char* tag) const;
    void ReadCharacterMap();
    std::string Outline(std::uint16_t glyph) const;

    std::string bytes_;
    std::string name_;
    std::vector<std::pair<std::uint32_t, Table>> tables_;
    std::uint16_t glyphCount_ = 0;
    std::uint16_t unitsPerEm_ = 0;
    bool longOffsets_ = false;
    std::vector<double> advance_;
    std::vector<std::array<std::int16_t, 2>> horizontal_;  // advance and left side bearing
    std::vector<std::uint32_t> glyphStart_;                // glyphCount_ + 1 offsets into glyf
    Table glyf_;
    std::vector<std::uint16_t> basic_;  // U+0000..U+FFFF
    struct Group {
        char32_t first, last;
        std::uint32_t glyph;
    };
    std::vector<Group> supplementary_;  // above U+FFFF, sorted
    std::vector<char32_t> character_;   // per glyph
    Metrics metrics_;
    std::string postScriptName_;
};

}  // namespace morvik::pdf
