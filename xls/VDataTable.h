// Style tables: interning tables of font and cell-format (XF) entries, and the colour palette.
//
// Palette. Colours are palette indexes 1..58: 1..56 are the 56 colours of the default BIFF8
// palette (file colour indexes 8..63), 57 is the file's 64 (automatic foreground) and 58 its 65
// (automatic background); both automatic entries hold black.
//   MapColorIndex(fileIndex)   8..65 -> fileIndex - 7, anything else -> 1
//   PaletteColor(i)            the TColor of palette index i (black outside 1..58)
//   ColorToRGB(c)              resolves system colours (0x80000000 | n), keeps plain ones
//   NearestColor(c)            the first palette index at the smallest rounded distance
//
// TVirtualDataTable interns byte strings and keeps one use count per entry.
// TVirtualFontTable / TVirtualXFTable wrap one each, with a scratch entry for copy-on-write:
//   auto& xf = XFs.Entry(item.XFIndex);      // scratch = copy of the item's entry
//   if (xf.FillPattern == v) return;          // nothing to change
//   xf.FillPattern = v;
//   item.XFIndex = XFs.Commit();              // shared equal entry, or a new one
// Entry/GetEntry with a bad position throw EListIndexError ("List index (<i>) out of bounds").
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "HList.h"

namespace morvik::xls {

// A platform colour: 0x00BBGGRR, or 0x80000000 | n for system colour n.
using TColor = std::uint32_t;

inline constexpr std::uint8_t kPaletteCount = 58;
inline constexpr std::uint8_t kAutoForeground = 57;  // the file's colour index 64
inline constexpr std::uint8_t kAutoBackground = 58;  // the file's colour index 65

constexpr TColor RGBColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}

std::uint8_t MapColorIndex(std::uint32_t fileIndex);
TColor PaletteColor(std::uint8_t index);
TColor ColorToRGB(TColor color);
std::uint8_t NearestColor(TColor color);

// ---------------------------------------------------------------------------------------------

class TVirtualDataTable {
  public:
    TVirtualDataTable();

    int Count() const { return entries_.Count(); }
    const std::string& GetEntry(int i) const { return entries_.Get(i); }
    // Use count of entry i (0 for a position outside the table).
    std::uint32_t UseCount(int i) const;

    int IndexOf(std::string_view bytes) const { return entries_.IndexOf(bytes); }
    // Position of an equal entry (appended when none); its count rises by one.
    int Intern(std::string_view bytes);
    // Appends even when an equal entry exists; the new entry's count is 1.
    int Append(std::string_view bytes);
    // Equal bytes: IndexOf(oldBytes), no count changes. Otherwise Release(IndexOf(oldBytes))
    // when present, then Intern(newBytes).
    int Replace(std::string_view oldBytes, std::string_view newBytes);
    // Positions outside the table are ignored; counts saturate at 0 and at 2^32-1.
    // Inline: every new cell counts itself as a user of font 0 and XF 0.
    void AddRef(int i) {
        if (i < 0 || i >= Count()) return;
        auto& count = counts_[static_cast<std::size_t>(i)];
        if (count < std::numeric_limits<std::uint32_t>::max()) ++count;
    }
    void Release(int i);
    void Clear();

  private:
    void RoomForOneCount();
    THashedStringList entries_;
    std::vector<std::uint32_t> counts_;
};

// ---------------------------------------------------------------------------------------------

inline constexpr std::size_t kFontNameUnits = 100;

struct TFontEntry {
    std::uint8_t Bold = 0;
    std::uint8_t Italic = 0;
    std::uint8_t Underline = 0;
    std::uint8_t StrikeOut = 0;
    std::uint8_t UnderlineStyle = 0;
    std::uint8_t Script = 0;  // 0 none, 1 superscript, 2 subscript
    std::uint8_t Color = kAutoForeground;
    std::uint16_t Height = 10;                                                // points
    std::array<char16_t, kFontNameUnits> Name{u'A', u'r', u'i', u'a', u'l'};  // zero-padded

    // The name up to the first zero unit.
    std::u16string GetName() const;
    // Longer names are cut to 100 units, never between the two halves of a surrogate pair.
    void SetName(std::u16string_view name);

    // Packed bytes: the seven flags, Height (little-endian), Name (little-endian units).
    static constexpr std::size_t kSize = 7 + 2 + 2 * kFontNameUnits;
    std::string ToBytes() const;
    // Bytes of another length give the default entry.
    static TFontEntry FromBytes(std::string_view bytes);

    bool operator==(const TFontEntry&) const = default;
};

struct TXFEntry {
    std::uint16_t FontIndex = 0;
    std::uint16_t NumberFormat = 0;  // position in TFormatStrings, not the file's code
    std::uint8_t HorizAlign = 0;
    std::uint8_t VertAlign = 2;
    std::uint8_t Rotation = 0;
    std::uint8_t WrapText = 0;
    std::uint8_t FillPattern = 0;  // 0 none, 1 solid
    std::uint8_t PatternColor = kAutoForeground;
    std::uint8_t FillColor = kAutoBackground;
    std::uint8_t Merged = 0;
    std::uint8_t Indent = 0;
    std::array<std::uint8_t, 4> BorderColor{kAutoBackground, kAutoBackground, kAutoBackground,
                                            kAutoBackground};  // left, right, top, bottom
    std::array<std::uint8_t, 4> BorderStyle{};                 // left, right, top, bottom
    std::uint8_t IsStyleXF = 0;

    static constexpr std::size_t kSize = 2 + 2 + 9 + 4 + 4 + 1;
    std::string ToBytes() const;
    static TXFEntry FromBytes(std::string_view bytes);

    bool operator==(const TXFEntry&) const = default;
};

// Entries from FONT and XF record bodies. Missing bytes of a short body read as zero.
void FontFromRecord(std::span<const std::uint8_t> body, TFontEntry& entry);
void XFFromRecord(std::span<const std::uint8_t> body, TXFEntry& entry);
// True when NumberFormat, WrapText, FillPattern, Merged, Indent and the four border styles are 0.
bool IsPlain(const TXFEntry& entry);

// ---------------------------------------------------------------------------------------------

template <class E>
class TVirtualStyleTable {
  public:
    // Holds exactly one entry, the default, with use count 1.
    TVirtualStyleTable() {
        Scratch();
        Commit();
    }

    // Loads entry i into the scratch and answers the scratch.
    E& Entry(int i) {
        current_ = data_.GetEntry(i);
        scratch_ = E::FromBytes(current_);
        return scratch_;
    }
    // Replace(Current, scratch); answers the resulting position.
    int Commit() { return data_.Replace(current_, scratch_.ToBytes()); }
    // Current empty, scratch = the default entry.
    E& Scratch() {
        current_.clear();
        scratch_ = E{};
        return scratch_;
    }
    int AppendScratch() { return data_.Append(scratch_.ToBytes()); }
    void BeginLoad() {
        data_.Clear();
        Scratch();
    }

    // A decoded copy of entry i; leaves the scratch alone.
    E Get(int i) const { return E::FromBytes(data_.GetEntry(i)); }
    int Count() const { return data_.Count(); }
    void AddRef(int i) { data_.AddRef(i); }
    void Release(int i) { data_.Release(i); }
    std::uint32_t UseCount(int i) const { return data_.UseCount(i); }
    const TVirtualDataTable& Data() const { return data_; }

  private:
    TVirtualDataTable data_;
    E scratch_;
    std::string current_;
};

class TVirtualFontTable : public TVirtualStyleTable<TFontEntry> {};
class TVirtualXFTable : public TVirtualStyleTable<TXFEntry> {};

}  // namespace morvik::xls
