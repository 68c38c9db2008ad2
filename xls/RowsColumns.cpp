#include "RowsColumns.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Cells.h"
#include "Sheets.h"

namespace morvik::xls {
namespace {

// Round half to even, clamped to the 32-bit range (sizes from files can be anything).
std::int32_t RoundPixels(double v) {
    if (std::isnan(v)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    v = std::clamp(v, lo, hi);
    const double r = std::nearbyint(v);
    return static_cast<std::int32_t>(std::clamp(r, lo, hi));
}

struct IndexKey {
    char bytes[2];
    explicit IndexKey(std::uint16_t index)
        : bytes{static_cast<char>(index & 0xFF), static_cast<char>(index >> 8)} {}
    std::string_view view() const { return {bytes, 2}; }
};

}  // namespace

using detail::CheckItemIndex;

TScreenMetrics ScreenMetricsFor(int pixelsPerInch) {
    TScreenMetrics m;
    m.PixelsPerInch = pixelsPerInch > 0 ? pixelsPerInch : 96;
    if (m.PixelsPerInch != 96) {
        m.DefaultColumnWidth = 80;
        m.DefaultRowHeight = 22;
        m.CharWidth = 9;
        m.PointsPerPixel = 0.6;
    }
    return m;
}

const TScreenMetrics& TCustomRowCol::Metrics() const {
    return Owner().Sheet().Workbook().Metrics();
}

TCustomRowCol::TCustomRowCol(TCustomXLSItems& owner, std::uint16_t index, double size,
                             std::int32_t sizePixels)
    : TCustomXLSItem(owner), size_(size), sizePixels_(sizePixels), index_(index) {}

void TCustomRowCol::Resize(double size, std::int32_t sizePixels) {
    size_ = size;
    sizePixels_ = sizePixels;
    modified_ = true;
    customSize_ = true;
    Changed();
}

void TCustomRowCol::Group() {
    if (outlineLevel_ >= 7) return;
    ++outlineLevel_;
    modified_ = true;
    Changed();
}

template <class Op>
void TCustomRowCol::ForEachCell(Op op) {
    TCells& cells = Owner().Sheet().Cells();
    for (int i = 0; i < cells.Count(); ++i) {
        TCell& cell = cells.Items(i);
        if (Covers(cell)) op(cell);
    }
}

void TCustomRowCol::SetFillColor(std::uint8_t v) {
    TCustomXLSItem::SetFillColor(v);
    ForEachCell([&](TCell& c) { c.SetFillColor(v); });
}
void TCustomRowCol::SetPatternColor(std::uint8_t v) {
    TCustomXLSItem::SetPatternColor(v);
    ForEachCell([&](TCell& c) { c.SetPatternColor(v); });
}
void TCustomRowCol::SetFillPattern(std::uint8_t v) {
    TCustomXLSItem::SetFillPattern(v);
    ForEachCell([&](TCell& c) { c.SetFillPattern(v); });
}
void TCustomRowCol::SetHorizAlign(std::uint8_t v) {
    TCustomXLSItem::SetHorizAlign(v);
    ForEachCell([&](TCell& c) { c.SetHorizAlign(v); });
}
void TCustomRowCol::SetVertAlign(std::uint8_t v) {
    TCustomXLSItem::SetVertAlign(v);
    ForEachCell([&](TCell& c) { c.SetVertAlign(v); });
}
void TCustomRowCol::SetWrapText(bool v) {
    TCustomXLSItem::SetWrapText(v);
    ForEachCell([&](TCell& c) { c.SetWrapText(v); });
}
void TCustomRowCol::SetRotation(std::uint8_t v) {
    TCustomXLSItem::SetRotation(v);
    ForEachCell([&](TCell& c) { c.SetRotation(v); });
}
void TCustomRowCol::SetIndent(std::uint8_t v) {
    TCustomXLSItem::SetIndent(v);
    ForEachCell([&](TCell& c) { c.SetIndent(v); });
}
void TCustomRowCol::SetBorderColor(std::uint8_t side, std::uint8_t v) {
    TCustomXLSItem::SetBorderColor(side, v);
    ForEachCell([&](TCell& c) { c.SetBorderColor(side, v); });
}
void TCustomRowCol::SetBorderStyle(std::uint8_t side, std::uint8_t v) {
    TCustomXLSItem::SetBorderStyle(side, v);
    ForEachCell([&](TCell& c) { c.SetBorderStyle(side, v); });
}
void TCustomRowCol::SetNumberFormat(std::uint16_t v) {
    TCustomXLSItem::SetNumberFormat(v);
    ForEachCell([&](TCell& c) { c.SetNumberFormat(v); });
}
void TCustomRowCol::SetFontBold(bool v) {
    TCustomXLSItem::SetFontBold(v);
    ForEachCell([&](TCell& c) { c.SetFontBold(v); });
}
void TCustomRowCol::SetFontItalic(bool v) {
    TCustomXLSItem::SetFontItalic(v);
    ForEachCell([&](TCell& c) { c.SetFontItalic(v); });
}
void TCustomRowCol::SetFontUnderline(bool v) {
    TCustomXLSItem::SetFontUnderline(v);
    ForEachCell([&](TCell& c) { c.SetFontUnderline(v); });
}
void TCustomRowCol::SetFontStrikeOut(bool v) {
    TCustomXLSItem::SetFontStrikeOut(v);
    ForEachCell([&](TCell& c) { c.SetFontStrikeOut(v); });
}
void TCustomRowCol::SetFontUnderlineStyle(std::uint8_t v) {
    TCustomXLSItem::SetFontUnderlineStyle(v);
    ForEachCell([&](TCell& c) { c.SetFontUnderlineStyle(v); });
}
void TCustomRowCol::SetFontScript(std::uint8_t v) {
    TCustomXLSItem::SetFontScript(v);
    ForEachCell([&](TCell& c) { c.SetFontScript(v); });
}
void TCustomRowCol::SetFontName(const std::u16string& v) {
    TCustomXLSItem::SetFontName(v);
    ForEachCell([&](TCell& c) { c.SetFontName(v); });
}
void TCustomRowCol::SetFontColor(std::uint8_t v) {
    TCustomXLSItem::SetFontColor(v);
    ForEachCell([&](TCell& c) { c.SetFontColor(v); });
}
void TCustomRowCol::SetFontHeight(std::uint16_t v) {
    TCustomXLSItem::SetFontHeight(v);
    ForEachCell([&](TCell& c) { c.SetFontHeight(v); });
}

TRow::TRow(TItemToken, TRows& owner, std::uint16_t index) : TCustomRowCol(owner, index, 0, 0) {
    // Not through the base's initialiser: the metrics are reached through the owner.
    size_ = Metrics().DefaultRowHeight * Metrics().PointsPerPixel;
    sizePixels_ = Metrics().DefaultRowHeight;
}

bool TRow::Covers(const TCell& cell) const { return cell.Row() == Index(); }

void TRow::SetHeightPoints(double points) {
    if (points == size_) return;
    Resize(points, RoundPixels(points / Metrics().PointsPerPixel));
}

void TRow::SetHeightPixels(std::int32_t pixels) {
    if (pixels == sizePixels_) return;
    Resize(pixels * Metrics().PointsPerPixel, pixels);
}

void TRow::ClearCustomHeight() { customSize_ = false; }

namespace {
double CharsOfPixels(std::int32_t pixels, const TScreenMetrics& metrics) {
    return (pixels - 5) / static_cast<double>(metrics.CharWidth);
}
}  // namespace

TColumn::TColumn(TItemToken, TColumns& owner, std::uint16_t index)
    : TCustomRowCol(owner, index, 0, 0) {
    size_ = CharsOfPixels(Metrics().DefaultColumnWidth, Metrics());
    sizePixels_ = Metrics().DefaultColumnWidth;
}

bool TColumn::Covers(const TCell& cell) const { return cell.Col() == Index(); }

void TColumn::SetWidthChars(double chars) {
    if (chars == size_) return;
    Resize(chars, RoundPixels(Metrics().CharWidth * chars + 5));
}

void TColumn::SetWidthPixels(std::int32_t pixels) {
    if (pixels == sizePixels_) return;
    Resize(CharsOfPixels(pixels, Metrics()), pixels);
}

double ColumnWidthFromFile(double width256, const TScreenMetrics& metrics) {
    const double cw = metrics.CharWidth;
    return (width256 / 256.0 * cw - 5) / cw;
}

std::string TCustomRowCols::KeyOf(const TCustomXLSItem& item) const {
    return std::string(IndexKey(static_cast<const TCustomRowCol&>(item).Index()).view());
}

TCustomRowCol* TCustomRowCols::FindIndex(int index) const {
    if (index < 0 || index > 0xFFFF) return nullptr;
    return static_cast<TCustomRowCol*>(FindKey(IndexKey(static_cast<std::uint16_t>(index)).view()));
}

TRows::TRows(TSheet& sheet, const TStyleContext& styles) : TCustomRowCols(sheet, styles, true) {}

// The rows live in pool_, which goes before the base class's lists would release them.
TRows::~TRows() { DestroyItems(); }

void TRows::Dispose(TCustomXLSItem* item) noexcept {
    static_cast<TRow*>(item)->~TRow();
    pool_.Free(item);
}

TRow* TRows::Find(int index) const { return static_cast<TRow*>(FindIndex(index)); }

TRow& TRows::Row(int index) {
    CheckItemIndex(index, 0xFFFF);
    if (TRow* found = Find(index)) return *found;
    DropPending();
    void* slot = pool_.Allocate();
    TRow* made = nullptr;
    try {
        made = new (slot) TRow(TItemToken{}, *this, static_cast<std::uint16_t>(index));
    } catch (...) {
        pool_.Free(slot);
        throw;
    }
    return static_cast<TRow&>(SetPending(TItemPtr(made)));
}

TColumns::TColumns(TSheet& sheet, const TStyleContext& styles)
    : TCustomRowCols(sheet, styles, true) {}

TColumn* TColumns::Find(int index) const { return static_cast<TColumn*>(FindIndex(index)); }

TColumn& TColumns::Column(int index) {
    CheckItemIndex(index, 0xFFFF);
    if (TColumn* found = Find(index)) return *found;
    DropPending();
    return static_cast<TColumn&>(
        SetPending(TItemPtr(new TColumn(TItemToken{}, *this, static_cast<std::uint16_t>(index)))));
}

}  // namespace morvik::xls
