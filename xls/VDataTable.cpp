#include "VDataTable.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvik::xls {
namespace {

// The default BIFF8 palette, file colour indexes 8..63, as 0xRRGGBB.
constexpr std::array<std::uint32_t, 56> kDefaultPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,  //  8..15
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,  // 16..23
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,  // 24..31
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,  // 32..39
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,  // 40..47
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,  // 48..55
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,  // 56..63
};

// Usual desktop defaults of the system colours, as 0xRRGGBB; there is no desktop to ask here.
constexpr std::array<std::uint32_t, 31> kSystemColors = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0,
};

constexpr TColor FromRRGGBB(std::uint32_t rgb) {
    return RGBColor(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                    static_cast<std::uint8_t>(rgb));
}

void PutU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

std::uint16_t GetU16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

std::uint8_t GetU8(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

// Bounds-checked little-endian field reads of a record body; missing bytes are zero.
std::uint32_t BodyByte(std::span<const std::uint8_t> body, std::size_t at) {
    return at < body.size() ? body[at] : 0u;
}
std::uint32_t BodyU16(std::span<const std::uint8_t> body, std::size_t at) {
    return BodyByte(body, at) | (BodyByte(body, at + 1) << 8);
}
std::uint32_t BodyU32(std::span<const std::uint8_t> body, std::size_t at) {
    return BodyU16(body, at) | (BodyU16(body, at + 2) << 16);
}

}  // namespace

std::uint8_t MapColorIndex(std::uint32_t fileIndex) {
    return fileIndex >= 8 && fileIndex <= 65 ? static_cast<std::uint8_t>(fileIndex - 7) : 1;
}

TColor PaletteColor(std::uint8_t index) {
    if (index >= 1 && index <= 56) return FromRRGGBB(kDefaultPalette[index - 1]);
    return RGBColor(0, 0, 0);
}

TColor ColorToRGB(TColor color) {
    if ((color & 0xFF000000u) == 0x80000000u) {
        const std::uint32_t n = color & 0x00FFFFFFu;
        return n < kSystemColors.size() ? FromRRGGBB(kSystemColors[n]) : RGBColor(0, 0, 0);
    }
    return color & 0x00FFFFFFu;
}

std::uint8_t NearestColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    const int r = static_cast<int>(rgb & 0xFF), g = static_cast<int>((rgb >> 8) & 0xFF),
              b = static_cast<int>((rgb >> 16) & 0xFF);
    std::uint8_t best = 1;
    long distance = 16777215;
    for (std::uint8_t i = 1; i <= kPaletteCount; ++i) {
        const TColor p = PaletteColor(i);
        const int dr = r - static_cast<int>(p & 0xFF), dg = g - static_cast<int>((p >> 8) & 0xFF),
                  db = b - static_cast<int>((p >> 16) & 0xFF);
        const long d = std::lround(std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db)));
        // Only a strictly smaller distance wins, so black stays 1 and never becomes 57 or 58.
        if (d < distance) {
            distance = d;
            best = i;
        }
    }
    return best;
}

// ---------------------------------------------------------------------------------------------

TVirtualDataTable::TVirtualDataTable() : entries_(kStyleBuckets) {}

std::uint32_t TVirtualDataTable::UseCount(int i) const {
    return i >= 0 && i < Count() ? counts_[static_cast<std::size_t>(i)] : 0;
}

// Room for one more count before an entry is added, so that entries and counts never differ in
// length. Grown by doubling: reserving just one more would copy the counts at every entry.
void TVirtualDataTable::RoomForOneCount() {
    if (counts_.size() == counts_.capacity())
        counts_.reserve(std::max<std::size_t>(16, counts_.capacity() * 2));
}

int TVirtualDataTable::Intern(std::string_view bytes) {
    int i = entries_.IndexOf(bytes);
    if (i < 0) {
        RoomForOneCount();
        i = entries_.Add(std::string(bytes));
        counts_.push_back(0);
    }
    AddRef(i);
    return i;
}

int TVirtualDataTable::Append(std::string_view bytes) {
    RoomForOneCount();
    const int i = entries_.Add(std::string(bytes));
    counts_.push_back(1);
    return i;
}

int TVirtualDataTable::Replace(std::string_view oldBytes, std::string_view newBytes) {
    if (oldBytes == newBytes) return IndexOf(oldBytes);
    Release(IndexOf(oldBytes));
    return Intern(newBytes);
}

void TVirtualDataTable::Release(int i) {
    if (i < 0 || i >= Count()) return;
    auto& count = counts_[static_cast<std::size_t>(i)];
    if (count > 0) --count;
}

void TVirtualDataTable::Clear() {
    entries_.Clear();
    std::vector<std::uint32_t>().swap(counts_);
}

// ---------------------------------------------------------------------------------------------

std::u16string TFontEntry::GetName() const {
    std::u16string name;
    for (char16_t unit : Name) {
        if (unit == 0) break;
        name.push_back(unit);
    }
    return name;
}

void TFontEntry::SetName(std::u16string_view name) {
    std::size_t n = std::min(name.size(), kFontNameUnits);
    // Do not keep the first half of a pair whose second half was cut off.
    if (n < name.size() && n > 0 && name[n - 1] >= 0xD800 && name[n - 1] <= 0xDBFF) --n;
    Name.fill(0);
    for (std::size_t i = 0; i < n; ++i) Name[i] = name[i];
}

std::string TFontEntry::ToBytes() const {
    std::string out;
    out.reserve(kSize);
    for (std::uint8_t v : {Bold, Italic, Underline, StrikeOut, UnderlineStyle, Script, Color}) {
        out.push_back(static_cast<char>(v));
    }
    PutU16(out, Height);
    for (char16_t unit : Name) PutU16(out, unit);
    return out;
}

TFontEntry TFontEntry::FromBytes(std::string_view bytes) {
    TFontEntry e;
    if (bytes.size() != kSize) return e;
    e.Bold = GetU8(bytes, 0);
    e.Italic = GetU8(bytes, 1);
    e.Underline = GetU8(bytes, 2);
    e.StrikeOut = GetU8(bytes, 3);
    e.UnderlineStyle = GetU8(bytes, 4);
    e.Script = GetU8(bytes, 5);
    e.Color = GetU8(bytes, 6);
    e.Height = GetU16(bytes, 7);
    for (std::size_t i = 0; i < kFontNameUnits; ++i) e.Name[i] = GetU16(bytes, 9 + 2 * i);
    return e;
}

std::string TXFEntry::ToBytes() const {
    std::string out;
    out.reserve(kSize);
    PutU16(out, FontIndex);
    PutU16(out, NumberFormat);
    for (std::uint8_t v : {HorizAlign, VertAlign, Rotation, WrapText, FillPattern, PatternColor,
                           FillColor, Merged, Indent}) {
        out.push_back(static_cast<char>(v));
    }
    for (std::uint8_t v : BorderColor) out.push_back(static_cast<char>(v));
    for (std::uint8_t v : BorderStyle) out.push_back(static_cast<char>(v));
    out.push_back(static_cast<char>(IsStyleXF));
    return out;
}

TXFEntry TXFEntry::FromBytes(std::string_view bytes) {
    TXFEntry e;
    if (bytes.size() != kSize) return e;
    e.FontIndex = GetU16(bytes, 0);
    e.NumberFormat = GetU16(bytes, 2);
    e.HorizAlign = GetU8(bytes, 4);
    e.VertAlign = GetU8(bytes, 5);
    e.Rotation = GetU8(bytes, 6);
    e.WrapText = GetU8(bytes, 7);
    e.FillPattern = GetU8(bytes, 8);
    e.PatternColor = GetU8(bytes, 9);
    e.FillColor = GetU8(bytes, 10);
    e.Merged = GetU8(bytes, 11);
    e.Indent = GetU8(bytes, 12);
    for (std::size_t i = 0; i < 4; ++i) e.BorderColor[i] = GetU8(bytes, 13 + i);
    for (std::size_t i = 0; i < 4; ++i) e.BorderStyle[i] = GetU8(bytes, 17 + i);
    e.IsStyleXF = GetU8(bytes, 21);
    return e;
}

void FontFromRecord(std::span<const std::uint8_t> body, TFontEntry& entry) {
    entry = TFontEntry{};
    entry.Height = static_cast<std::uint16_t>(BodyU16(body, 0) / 20);  // twips to points
    const std::uint32_t options = BodyU16(body, 2);
    entry.Italic = (options >> 1) & 1;
    entry.StrikeOut = (options >> 3) & 1;
    entry.Color = MapColorIndex(BodyU16(body, 4));
    entry.Bold = BodyU16(body, 6) == 700 ? 1 : 0;
    entry.Script = static_cast<std::uint8_t>(BodyU16(body, 8) & 0xFF);
    entry.UnderlineStyle = static_cast<std::uint8_t>(BodyByte(body, 10));
    entry.Underline = entry.UnderlineStyle != 0 ? 1 : 0;

    const std::size_t count = BodyByte(body, 14);
    const bool wide = (BodyByte(body, 15) & 1) != 0;
    const std::size_t width = wide ? 2 : 1;
    // Take only the characters the body really holds.
    const std::size_t available = body.size() > 16 ? (body.size() - 16) / width : 0;
    std::u16string name;
    for (std::size_t i = 0; i < std::min(count, available); ++i) {
        const std::size_t at = 16 + i * width;
        name.push_back(static_cast<char16_t>(wide ? BodyU16(body, at) : BodyByte(body, at)));
    }
    entry.SetName(name);
}

void XFFromRecord(std::span<const std::uint8_t> body, TXFEntry& entry) {
    entry = TXFEntry{};
    entry.FontIndex = static_cast<std::uint16_t>(BodyU16(body, 0));
    entry.NumberFormat = static_cast<std::uint16_t>(BodyU16(body, 2));
    entry.IsStyleXF = (BodyU16(body, 4) >> 2) & 1;
    const std::uint32_t align = BodyU16(body, 6);
    entry.HorizAlign = align & 0x7;
    entry.WrapText = (align >> 3) & 1;
    entry.VertAlign = (align >> 4) & 0x7;
    entry.Rotation = static_cast<std::uint8_t>(align >> 8);
    entry.Indent = BodyByte(body, 8) & 0xF;
    const std::uint32_t styles = BodyU16(body, 10);
    for (std::size_t side = 0; side < 4; ++side) {
        entry.BorderStyle[side] = (styles >> (4 * side)) & 0xF;
    }
    const std::uint32_t sideColors = BodyU16(body, 12);
    entry.BorderColor[0] = MapColorIndex(sideColors & 0x7F);
    entry.BorderColor[1] = MapColorIndex((sideColors >> 7) & 0x7F);
    const std::uint32_t more = BodyU32(body, 14);
    entry.BorderColor[2] = MapColorIndex(more & 0x7F);
    entry.BorderColor[3] = MapColorIndex((more >> 7) & 0x7F);
    entry.FillPattern = static_cast<std::uint8_t>(more >> 26);
    const std::uint32_t fill = BodyU16(body, 18);
    const std::uint8_t foreground = MapColorIndex(fill & 0x7F);
    const std::uint8_t background = MapColorIndex((fill >> 7) & 0x7F);
    if (entry.FillPattern == 1) {
        entry.FillColor = foreground;
        entry.PatternColor = background;
    } else {
        entry.PatternColor = foreground;
        entry.FillColor = background;
    }
}

bool IsPlain(const TXFEntry& e) {
    return e.NumberFormat == 0 && e.WrapText == 0 && e.FillPattern == 0 && e.Merged == 0 &&
           e.Indent == 0 && e.BorderStyle == std::array<std::uint8_t, 4>{};
}

}  // namespace morvik::xls
