#include "Items.h"

#include <algorithm>

#include "XLSError.h"

namespace morvik::xls {

namespace detail {

void RaiseInvalidItemIndex() { throw EXLSError(kErrInvalidRowOrColumn); }

TFontEntry FontAt(const TVirtualFontTable& fonts, int index) {
    return index < fonts.Count() ? fonts.Get(index) : TFontEntry{};
}

}  // namespace detail

using detail::FontAt;

// ---------------------------------------------------------------------------------------------
// TCustomXLSItems

TCustomXLSItems::TCustomXLSItems(TSheet& sheet, const TStyleContext& styles, bool growingIndex)
    : sheet_(&sheet), index_(16383, growingIndex), growingIndex_(growingIndex), styles_(&styles) {}

TCustomXLSItems::~TCustomXLSItems() = default;

void TCustomXLSItems::TItemDeleter::operator()(TCustomXLSItem* item) const noexcept {
    if (item != nullptr) item->Owner().Dispose(item);
}

void TCustomXLSItems::Dispose(TCustomXLSItem* item) noexcept { delete item; }

void TCustomXLSItems::DestroyItems() noexcept {
    pending_.reset();
    items_.clear();
}

void TCustomXLSItems::ItemChanged(TCustomXLSItem& item) {
    if (updating_ || item.registered_) return;
    // Only the pending item can be unregistered here; anything else is not ours to own.
    if (&item != pending_.get()) return;
    Register(item, KeyOf(item));
}

void TCustomXLSItems::GrowItems() {
    items_.reserve(std::max<std::size_t>(16, items_.capacity() * 2));
}

void TCustomXLSItems::ReserveItems(std::size_t count) {
    if (count <= items_.size()) return;
    items_.reserve(count);
    if (indexed_) index_.Reserve(count);
}

void TCustomXLSItems::EnsureIndex() const {
    if (indexed_) return;
    // Built aside, so that a failure leaves the collection as it was.
    TItemIndex built(16383, growingIndex_);
    built.Reserve(items_.size());
    for (const TItemPtr& item : items_) built.Add(KeyOf(*item));
    index_ = std::move(built);
    indexed_ = true;
}

int TCustomXLSItems::IndexOf(const TCustomXLSItem& item) const {
    EnsureIndex();
    return index_.Search(KeyOf(item));
}

TCustomXLSItem* TCustomXLSItems::FindKey(std::string_view key) const {
    EnsureIndex();
    const int ordinal = index_.Search(key);
    return ordinal < 0 ? nullptr : items_[static_cast<std::size_t>(ordinal)].get();
}

// ---------------------------------------------------------------------------------------------
// TCustomXLSItem

TCustomXLSItem::TCustomXLSItem(TCustomXLSItems& owner) : owner_(&owner) {
    // Every item starts on font 0 and XF 0 and counts as one of their users.
    Styles().Fonts->AddRef(0);
    Styles().XFs->AddRef(0);
}

const TStyleContext& TCustomXLSItem::Styles() const { return owner_->Styles(); }

TCustomXLSItem::~TCustomXLSItem() = default;

void TCustomXLSItem::Changed() { owner_->ItemChanged(*this); }

void TCustomXLSItem::SetXFIndex(std::int32_t i) {
    if (i == xfIndex_) return;
    xfIndex_ = i;
    // Every collection ignores a change to a registered item; the reader formats each of its
    // cells after storing the value, so this skips a call per cell.
    if (!registered_) Changed();
}

// Copy-on-write of the item's XF entry: `apply` edits the scratch and answers whether it changed
// anything; only then is the scratch committed.
template <class Apply>
bool TCustomXLSItem::ChangeXF(Apply apply) {
    TVirtualXFTable& xfs = *Styles().XFs;
    if (!apply(xfs.Entry(xfIndex_))) return false;
    xfIndex_ = xfs.Commit();
    return true;
}

// The same one level down: the font entry of the item's XF, then the XF's font index.
template <class Apply>
bool TCustomXLSItem::ChangeFont(Apply apply) {
    TVirtualFontTable& fonts = *Styles().Fonts;
    const std::uint16_t oldFont = Styles().XFs->Get(xfIndex_).FontIndex;
    if (!apply(oldFont < fonts.Count() ? fonts.Entry(oldFont) : fonts.Scratch())) return false;
    const int newFont = fonts.Commit();
    ChangeXF([newFont](TXFEntry& e) {
        if (e.FontIndex == newFont) return false;
        e.FontIndex = static_cast<std::uint16_t>(newFont);
        return true;
    });
    return true;
}

namespace {
// Setter body for one plain field: answers whether the field changed.
template <class Entry, class Field, class Value>
auto SetField(Field Entry::*field, Value value) {
    return [field, value](Entry& e) {
        if (e.*field == value) return false;
        e.*field = value;
        return true;
    };
}
}  // namespace

void TCustomXLSItem::SetFillColor(std::uint8_t paletteIndex) {
    if (ChangeXF(SetField(&TXFEntry::FillColor, paletteIndex)) && paletteIndex != kAutoBackground)
        Changed();
}
void TCustomXLSItem::SetPatternColor(std::uint8_t paletteIndex) {
    if (ChangeXF(SetField(&TXFEntry::PatternColor, paletteIndex)) &&
        paletteIndex != kAutoForeground)
        Changed();
}
void TCustomXLSItem::SetFillColorRGB(TColor color) { SetFillColor(NearestColor(color)); }
void TCustomXLSItem::SetPatternColorRGB(TColor color) { SetPatternColor(NearestColor(color)); }
void TCustomXLSItem::SetFillPattern(std::uint8_t pattern) {
    if (ChangeXF(SetField(&TXFEntry::FillPattern, pattern)) && pattern != 0) Changed();
}
void TCustomXLSItem::SetHorizAlign(std::uint8_t align) {
    if (ChangeXF(SetField(&TXFEntry::HorizAlign, align)) && align != 0) Changed();
}
void TCustomXLSItem::SetVertAlign(std::uint8_t align) {
    if (ChangeXF(SetField(&TXFEntry::VertAlign, align)) && align != 0) Changed();
}
void TCustomXLSItem::SetMerged(bool merged) {
    if (ChangeXF(SetField(&TXFEntry::Merged, std::uint8_t{merged})) && merged) Changed();
}
void TCustomXLSItem::SetWrapText(bool wrap) {
    if (ChangeXF(SetField(&TXFEntry::WrapText, std::uint8_t{wrap})) && wrap) Changed();
}
void TCustomXLSItem::SetRotation(std::uint8_t rotation) {
    if (ChangeXF(SetField(&TXFEntry::Rotation, rotation)) && rotation != 0) Changed();
}
void TCustomXLSItem::SetIndent(std::uint8_t indent) {
    indent = std::min<std::uint8_t>(indent, 15);
    if (ChangeXF(SetField(&TXFEntry::Indent, indent)) && indent != 0) Changed();
}

void TCustomXLSItem::SetBorderColor(std::uint8_t side, std::uint8_t paletteIndex) {
    if (side > kSideAll) return;
    // Borders always commit and register, even when the colour is already there.
    ChangeXF([&](TXFEntry& e) {
        for (std::uint8_t s = 0; s < 4; ++s) {
            if (side == kSideAll || side == s) e.BorderColor[s] = paletteIndex;
        }
        return true;
    });
    Changed();
}
void TCustomXLSItem::SetBorderColorRGB(std::uint8_t side, TColor color) {
    SetBorderColor(side, NearestColor(color));
}
void TCustomXLSItem::SetBorderStyle(std::uint8_t side, std::uint8_t style) {
    if (side > kSideAll) return;
    ChangeXF([&](TXFEntry& e) {
        for (std::uint8_t s = 0; s < 4; ++s) {
            if (side == kSideAll || side == s) e.BorderStyle[s] = style;
        }
        return true;
    });
    Changed();
}

void TCustomXLSItem::SetNumberFormat(std::uint16_t formatPosition) {
    if (ChangeXF(SetField(&TXFEntry::NumberFormat, formatPosition))) Changed();
}
void TCustomXLSItem::SetFontBold(bool on) {
    if (ChangeFont(SetField(&TFontEntry::Bold, std::uint8_t{on}))) Changed();
}
void TCustomXLSItem::SetFontItalic(bool on) {
    if (ChangeFont(SetField(&TFontEntry::Italic, std::uint8_t{on}))) Changed();
}
void TCustomXLSItem::SetFontUnderline(bool on) {
    if (ChangeFont(SetField(&TFontEntry::Underline, std::uint8_t{on}))) Changed();
}
void TCustomXLSItem::SetFontStrikeOut(bool on) {
    if (ChangeFont(SetField(&TFontEntry::StrikeOut, std::uint8_t{on}))) Changed();
}
void TCustomXLSItem::SetFontUnderlineStyle(std::uint8_t style) {
    if (ChangeFont(SetField(&TFontEntry::UnderlineStyle, style))) Changed();
}
void TCustomXLSItem::SetFontScript(std::uint8_t script) {
    if (ChangeFont(SetField(&TFontEntry::Script, script))) Changed();
}
void TCustomXLSItem::SetFontName(const std::u16string& name) {
    const bool changed = ChangeFont([&name](TFontEntry& e) {
        // Compare what would be stored: the entry cuts over-long names.
        TFontEntry probe = e;
        probe.SetName(name);
        if (probe.Name == e.Name) return false;
        e.Name = probe.Name;
        return true;
    });
    if (changed) Changed();
}
void TCustomXLSItem::SetFontColor(std::uint8_t paletteIndex) {
    if (ChangeFont(SetField(&TFontEntry::Color, paletteIndex))) Changed();
}
void TCustomXLSItem::SetFontColorRGB(TColor color) {
    SetFontColor(NearestColor(color));
    Changed();
}
void TCustomXLSItem::SetFontHeight(std::uint16_t points) {
    if (ChangeFont(SetField(&TFontEntry::Height, points))) Changed();
}

namespace {
TXFEntry XFOf(const TStyleContext& s, std::int32_t xf) { return s.XFs->Get(xf); }
TFontEntry FontOf(const TStyleContext& s, std::int32_t xf) {
    return FontAt(*s.Fonts, s.XFs->Get(xf).FontIndex);
}
}  // namespace

std::uint8_t TCustomXLSItem::FillColor() const { return XFOf(Styles(), xfIndex_).FillColor; }
std::uint8_t TCustomXLSItem::PatternColor() const { return XFOf(Styles(), xfIndex_).PatternColor; }
std::uint8_t TCustomXLSItem::FillPattern() const { return XFOf(Styles(), xfIndex_).FillPattern; }
std::uint8_t TCustomXLSItem::HorizAlign() const { return XFOf(Styles(), xfIndex_).HorizAlign; }
std::uint8_t TCustomXLSItem::VertAlign() const { return XFOf(Styles(), xfIndex_).VertAlign; }
bool TCustomXLSItem::Merged() const { return XFOf(Styles(), xfIndex_).Merged != 0; }
bool TCustomXLSItem::WrapText() const { return XFOf(Styles(), xfIndex_).WrapText != 0; }
std::uint8_t TCustomXLSItem::Rotation() const { return XFOf(Styles(), xfIndex_).Rotation; }
std::uint8_t TCustomXLSItem::Indent() const { return XFOf(Styles(), xfIndex_).Indent; }
std::uint8_t TCustomXLSItem::BorderColor(std::uint8_t side) const {
    return side < 4 ? XFOf(Styles(), xfIndex_).BorderColor[side] : kAutoBackground;
}
std::uint8_t TCustomXLSItem::BorderStyle(std::uint8_t side) const {
    return side < 4 ? XFOf(Styles(), xfIndex_).BorderStyle[side] : std::uint8_t{0};
}
std::uint16_t TCustomXLSItem::NumberFormat() const { return XFOf(Styles(), xfIndex_).NumberFormat; }
std::uint16_t TCustomXLSItem::FontIndex() const { return XFOf(Styles(), xfIndex_).FontIndex; }
bool TCustomXLSItem::FontBold() const { return FontOf(Styles(), xfIndex_).Bold != 0; }
bool TCustomXLSItem::FontItalic() const { return FontOf(Styles(), xfIndex_).Italic != 0; }
bool TCustomXLSItem::FontUnderline() const { return FontOf(Styles(), xfIndex_).Underline != 0; }
bool TCustomXLSItem::FontStrikeOut() const { return FontOf(Styles(), xfIndex_).StrikeOut != 0; }
std::uint8_t TCustomXLSItem::FontUnderlineStyle() const {
    return FontOf(Styles(), xfIndex_).UnderlineStyle;
}
std::uint8_t TCustomXLSItem::FontScript() const { return FontOf(Styles(), xfIndex_).Script; }
std::u16string TCustomXLSItem::FontName() const { return FontOf(Styles(), xfIndex_).GetName(); }
std::uint8_t TCustomXLSItem::FontColor() const { return FontOf(Styles(), xfIndex_).Color; }
std::uint16_t TCustomXLSItem::FontHeight() const { return FontOf(Styles(), xfIndex_).Height; }

}  // namespace morvik::xls
