#include "Cells.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "FormulaSource.h"
#include "NumberFormat.h"
#include "RowsColumns.h"
#include "Sheets.h"
#include "XLSError.h"
#include "text/Cp1250.h"

namespace morvik::xls {
namespace {

constexpr std::uint8_t kHyperlinkColor = 5;  // blue

// UTF-8 characters: every byte but continuation bytes starts one.
std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// 8-bit cell strings are the file's compressed strings: one byte, one code point.
std::string Latin1ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string Utf16Bytes(std::u16string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (char16_t u : s) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::u16string Utf16FromBytes(std::string_view b) {
    std::u16string out;
    out.reserve(b.size() / 2);
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(b[i]) |
                                            (static_cast<unsigned char>(b[i + 1]) << 8)));
    }
    return out;
}

// Apart, so that the check before it stays small enough to inline into every value store.
[[noreturn]] void RaiseInvalidCellValue() { throw EXLSError(kErrInvalidCellValue); }

}  // namespace

using detail::CheckItemIndex;
using detail::FontAt;

// ---------------------------------------------------------------------------------------------
// TCells

namespace {
struct CellKey {
    char bytes[4];
    CellKey(std::uint16_t row, std::uint16_t col)
        : bytes{static_cast<char>(row & 0xFF), static_cast<char>(row >> 8),
                static_cast<char>(col & 0xFF), static_cast<char>(col >> 8)} {}
    std::string_view view() const { return {bytes, 4}; }
};
}  // namespace

TCells::TCells(TSheet& sheet, const TStyleContext& styles, bool growingIndex)
    : TCustomXLSItems(sheet, styles, growingIndex) {
    IndexLazily();
}

// The cells live in pool_, which goes before the base class's lists would release them.
TCells::~TCells() { DestroyItems(); }

void TCells::Dispose(TCustomXLSItem* item) noexcept {
    static_cast<TCell*>(item)->~TCell();
    pool_.Free(item);
}

std::string TCells::KeyOf(const TCustomXLSItem& item) const {
    const auto& cell = static_cast<const TCell&>(item);
    return std::string(CellKey(cell.Row(), cell.Col()).view());
}

namespace {
std::uint32_t AddressOf(int row, int col) {
    return static_cast<std::uint32_t>(row) << 8 | static_cast<std::uint32_t>(col);
}
}  // namespace

void TCells::SetBorrowedValue(TCell& cell, const TCellValue& v,
                              const std::shared_ptr<const void>& keeper) {
    if (keepers_.empty() || keepers_.back() != keeper) {
        if (std::find(keepers_.begin(), keepers_.end(), keeper) == keepers_.end())
            keepers_.push_back(keeper);
    }
    cell.CheckValue(v);
    if (!(cell.value_ == v)) cell.value_ = TCellValue::Borrow(v);
    cell.Changed();
}

// The same rule as for every collection, with the key made on the stack.
void TCells::ItemChanged(TCustomXLSItem& item) {
    if (Updating() || item.Registered() || &item != Pending()) return;
    const auto& cell = static_cast<const TCell&>(item);
    Register(item, CellKey(cell.Row(), cell.Col()).view());
    addressLimit_ = std::max(addressLimit_, AddressOf(cell.Row(), cell.Col()) + 1);
}

TCell* TCells::Find(int row, int col) const {
    if (row < 0 || row > 0xFFFF || col < 0 || col > 0xFF) return nullptr;
    const std::uint32_t address = AddressOf(row, col);
    if (address >= addressLimit_) return nullptr;
    // The newest cell, asked for again (a formula's text result follows its formula): answered
    // without the index, which would otherwise be built for it.
    if (address + 1 == addressLimit_ && Count() > 0) {
        TCell& last = Items(Count() - 1);
        if (AddressOf(last.Row(), last.Col()) == address) return &last;
    }
    return static_cast<TCell*>(
        FindKey(CellKey(static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(col)).view()));
}

TCell& TCells::Cell(int row, int col) {
    // Rows outside 0..65535 are refused rather than folded onto another row.
    CheckItemIndex(col, 0xFF);
    CheckItemIndex(row, 0xFFFF);
    if (TCell* found = Find(row, col)) return *found;
    DropPending();
    void* slot = pool_.Allocate();
    TCell* made = nullptr;
    try {
        made = new (slot) TCell(TItemToken{}, *this, static_cast<std::uint16_t>(row),
                                static_cast<std::uint16_t>(col));
    } catch (...) {
        pool_.Free(slot);
        throw;
    }
    TItemPtr cell(made);
    InheritStyle(*made);
    return static_cast<TCell&>(SetPending(std::move(cell)));
}

// The lookups behind InheritStyle's caches, apart so that a cell served from them costs
// little more than the reads.
void TCells::FindStyleRow(int row) {
    const TRows& rows = Sheet().Rows();
    styleRow_ = row;
    styleRowCount_ = rows.Count();
    styleRowItem_ = rows.Find(row);
}

void TCells::FindStyleColumns() {
    const TColumns& columns = Sheet().Columns();
    if (!styleColumns_) styleColumns_ = std::make_unique<const TColumn*[]>(256);
    for (int c = 0; c < 256; ++c) styleColumns_[c] = columns.Find(c);
    styleColumnCount_ = columns.Count();
}

void TCells::InheritStyle(TCell& cell) {
    // Only registered rows and columns count; looking them up here must not create any.
    if (styleRow_ != cell.Row() || styleRowCount_ != Sheet().Rows().Count())
        FindStyleRow(cell.Row());
    const TRow* row = styleRowItem_;
    const TColumn* col = nullptr;
    if (const int columns = Sheet().Columns().Count(); columns != 0) {
        if (styleColumnCount_ != columns) FindStyleColumns();
        col = styleColumns_[cell.Col()];
    }
    const std::int32_t rowXF = row ? row->XFIndex() : 0;
    const std::int32_t colXF = col ? col->XFIndex() : 0;
    if (rowXF == 0 || colXF == 0) {
        cell.xfIndex_ = rowXF != 0 ? rowXF : colXF;
        return;
    }
    MergeStyles(cell, rowXF, colXF);
}

// Apart from the lookup above, which runs for every new cell and stays small for it.
void TCells::MergeStyles(TCell& cell, std::int32_t rowXF, std::int32_t colXF) {
    // Both carry a format: merge them property by property, the row winning unless its value
    // is the neutral one. Updating keeps the pending cell from registering meanwhile.
    const TXFEntry r = Styles().XFs->Get(rowXF);
    const TXFEntry c = Styles().XFs->Get(colXF);
    const TFontEntry rf = FontAt(*Styles().Fonts, r.FontIndex);
    const TFontEntry cf = FontAt(*Styles().Fonts, c.FontIndex);
    auto pick = [](auto rowValue, auto colValue, auto neutral) {
        return rowValue != neutral ? rowValue : colValue;
    };
    SetUpdating(true);
    try {
        for (std::uint8_t side = 0; side < 4; ++side) {
            cell.SetBorderColor(side,
                                pick(r.BorderColor[side], c.BorderColor[side], kAutoBackground));
        }
        for (std::uint8_t side = 0; side < 4; ++side) {
            cell.SetBorderStyle(side,
                                pick(r.BorderStyle[side], c.BorderStyle[side], std::uint8_t{0}));
        }
        cell.SetFillColor(pick(r.FillColor, c.FillColor, kAutoBackground));
        cell.SetPatternColor(pick(r.PatternColor, c.PatternColor, kAutoForeground));
        cell.SetFillPattern(pick(r.FillPattern, c.FillPattern, std::uint8_t{0}));
        cell.SetNumberFormat(pick(r.NumberFormat, c.NumberFormat, std::uint16_t{0}));
        cell.SetHorizAlign(pick(r.HorizAlign, c.HorizAlign, std::uint8_t{0}));
        cell.SetVertAlign(pick(r.VertAlign, c.VertAlign, std::uint8_t{0}));
        cell.SetWrapText(r.WrapText != 0 || c.WrapText != 0);
        cell.SetRotation(pick(r.Rotation, c.Rotation, std::uint8_t{0}));
        cell.SetIndent(pick(r.Indent, c.Indent, std::uint8_t{0}));
        cell.SetFontBold(rf.Bold != 0 || cf.Bold != 0);
        cell.SetFontItalic(rf.Italic != 0 || cf.Italic != 0);
        cell.SetFontUnderline(rf.Underline != 0 || cf.Underline != 0);
        cell.SetFontStrikeOut(rf.StrikeOut != 0 || cf.StrikeOut != 0);
        cell.SetFontUnderlineStyle(pick(rf.UnderlineStyle, cf.UnderlineStyle, std::uint8_t{0}));
        cell.SetFontScript(pick(rf.Script, cf.Script, std::uint8_t{0}));
        const std::u16string rowName = rf.GetName();
        cell.SetFontName(rowName != u"Arial" ? rowName : cf.GetName());
        cell.SetFontColor(pick(rf.Color, cf.Color, kAutoForeground));
        cell.SetFontHeight(pick(rf.Height, cf.Height, std::uint16_t{10}));
    } catch (...) {
        SetUpdating(false);
        throw;
    }
    SetUpdating(false);
}

// ---------------------------------------------------------------------------------------------
// TCell

// A sheet holds millions of cells: keep them at 40 bytes.
static_assert(sizeof(TCell) <= 40);

TCell::TCell(TItemToken, TCells& owner, std::uint16_t row, std::uint16_t col)
    : TCustomXLSItem(owner), col_(static_cast<std::uint8_t>(col)), row_(row) {}

TCell::~TCell() {
    if (attributeSlot_ != 0) static_cast<TCells&>(Owner()).FreeAttributeSlot(attributeSlot_);
}

char* TCell::AttributeBlock() const {
    if (attributeSlot_ == 0) return nullptr;
    return static_cast<const TCells&>(Owner()).attributeBlocks_[attributeSlot_].get();
}

std::uint32_t TCells::NewAttributeSlot() {
    if (!freeAttributeSlots_.empty()) {
        const std::uint32_t slot = freeAttributeSlots_.back();
        freeAttributeSlots_.pop_back();
        return slot;
    }
    if (attributeBlocks_.size() >= 0xFFFFFFFFu) throw EModelLimitError("too many cell attributes");
    if (attributeBlocks_.empty()) attributeBlocks_.emplace_back();
    attributeBlocks_.emplace_back();
    return static_cast<std::uint32_t>(attributeBlocks_.size() - 1);
}

void TCells::FreeAttributeSlot(std::uint32_t slot) noexcept {
    attributeBlocks_[slot].reset();
    try {
        freeAttributeSlots_.push_back(slot);
    } catch (...) {
        // Out of memory: the slot stays unused, which costs only its entry.
    }
}

void TCell::CheckValue(const TCellValue& v) {
    const TVarType kind = v.Kind();
    if (kind == TVarType::Empty || v.LongText()) RaiseInvalidCellValue();
    // A date in a cell without a number format would show as a bare serial number.
    if (kind == TVarType::Date && value_.Kind() != TVarType::Date && NumberFormat() == 0) {
        SetNumberFormat(kDefaultDateFormat);
    }
}

void TCell::SetValue(const TCellValue& v) {
    CheckValue(v);
    if (!(value_ == v)) value_ = v;
    // Changed(), called where the owner's type is known: a direct call instead of a virtual one
    // for every cell a reader stores.
    static_cast<TCells&>(Owner()).ItemChanged(*this);
}

// Takes the value over: the reader's strings are not copied a second time.
void TCell::SetValue(TCellValue&& v) {
    CheckValue(v);
    // A new cell is empty and `v` never is (CheckValue): no comparison needed.
    if (value_.IsEmpty() || !(value_ == v)) value_ = std::move(v);
    static_cast<TCells&>(Owner()).ItemChanged(*this);
}

namespace {
// Layout of a cell's attribute block (see TCell::attributeSlot_).
constexpr std::size_t kAttrHeader = 8;
constexpr std::size_t kAttrEntryHeader = 8;
// Room for a short formula or link without growing the block later.
constexpr std::size_t kAttrMinCapacity = 64;

std::uint32_t LoadAttrU32(const char* at) {
    std::uint32_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
void StoreAttrU32(char* at, std::size_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    std::memcpy(at, &u, sizeof u);
}

// The entry of `key` in `block`: its offset, or the used size when absent.
std::size_t FindAttr(const char* block, std::string_view key) {
    const std::size_t used = LoadAttrU32(block + 4);
    std::size_t at = kAttrHeader;
    while (at < used) {
        const std::size_t keyLength = LoadAttrU32(block + at);
        const std::size_t valueLength = LoadAttrU32(block + at + 4);
        if (std::string_view(block + at + kAttrEntryHeader, keyLength) == key) return at;
        at += kAttrEntryHeader + keyLength + valueLength;
    }
    return used;
}
}  // namespace

std::string_view TCell::AttributeView(std::string_view key) const {
    const char* block = AttributeBlock();
    if (block == nullptr) return {};
    const std::size_t at = FindAttr(block, key);
    if (at == LoadAttrU32(block + 4)) return {};
    const std::size_t keyLength = LoadAttrU32(block + at);
    return {block + at + kAttrEntryHeader + keyLength, LoadAttrU32(block + at + 4)};
}

std::string TCell::Attribute(std::string_view key) const { return std::string(AttributeView(key)); }

void TCell::SetAttribute(std::string_view key, std::string_view value) {
    char* attributes = AttributeBlock();
    if (attributes == nullptr && value.empty()) return;
    if (attributes != nullptr) {
        // Text that lies in the block itself would move under the copy below.
        const std::less<const char*> before;
        const char* begin = attributes;
        const char* end = begin + LoadAttrU32(begin);
        auto inside = [&](std::string_view v) {
            return !v.empty() && !before(v.data(), begin) && before(v.data(), end);
        };
        if (inside(key) || inside(value)) {
            const std::string keyCopy(key), valueCopy(value);
            SetAttribute(keyCopy, valueCopy);
            return;
        }
    }
    // Lengths are stored in 32 bits; a block never comes near that.
    constexpr std::size_t kLimit = 0x7FFFFFFF;
    if (key.size() > kLimit / 4 || value.size() > kLimit / 4)
        throw EModelLimitError("cell attribute too long");
    std::size_t capacity = attributes ? LoadAttrU32(attributes) : 0;
    std::size_t used = attributes ? LoadAttrU32(attributes + 4) : kAttrHeader;
    const std::size_t at = attributes ? FindAttr(attributes, key) : used;
    // The bytes of the entry being replaced (none when absent) and those that follow it.
    std::size_t oldEntry = 0;
    if (at < used) {
        oldEntry =
            kAttrEntryHeader + LoadAttrU32(attributes + at) + LoadAttrU32(attributes + at + 4);
    }
    if (value.empty()) {
        if (oldEntry == 0) return;
        char* block = attributes;
        std::memmove(block + at, block + at + oldEntry, used - at - oldEntry);
        StoreAttrU32(block + 4, used - oldEntry);
        return;
    }
    const std::size_t newEntry = kAttrEntryHeader + key.size() + value.size();
    const std::size_t newUsed = used - oldEntry + newEntry;
    if (newUsed > capacity) {
        // A rewritten entry keeps its place, so the block is rebuilt around it.
        // A cell's first entry is usually its only one (the formula text): exact size then.
        const std::size_t grown =
            capacity == 0 ? newUsed
                          : std::max({newUsed, kAttrMinCapacity, capacity + capacity / 2});
        auto fresh = std::make_unique_for_overwrite<char[]>(grown);
        if (attributes != nullptr) std::memcpy(fresh.get(), attributes, used);
        StoreAttrU32(fresh.get(), grown);
        StoreAttrU32(fresh.get() + 4, used);
        if (attributeSlot_ == 0) attributeSlot_ = static_cast<TCells&>(Owner()).NewAttributeSlot();
        attributes = fresh.get();
        static_cast<TCells&>(Owner()).attributeBlocks_[attributeSlot_] = std::move(fresh);
        capacity = grown;
    }
    char* block = attributes;
    if (oldEntry != newEntry)
        std::memmove(block + at + newEntry, block + at + oldEntry, used - at - oldEntry);
    StoreAttrU32(block + at, key.size());
    StoreAttrU32(block + at + 4, value.size());
    std::memcpy(block + at + kAttrEntryHeader, key.data(), key.size());
    std::memcpy(block + at + kAttrEntryHeader + key.size(), value.data(), value.size());
    StoreAttrU32(block + 4, newUsed);
}

void TCell::SetFormula(std::string_view text) {
    SetAttribute("R", {});
    if (AttributeView("F") == text) return;
    SetAttribute("F", text);
    Changed();
}

void TCell::SetFormulaRef(std::uint32_t id) {
    SetAttribute("F", {});
    const char bytes[4] = {static_cast<char>(id), static_cast<char>(id >> 8),
                           static_cast<char>(id >> 16), static_cast<char>(id >> 24)};
    SetAttribute("R", std::string_view(bytes, 4));
    Changed();
}

std::string TCell::FormulaOfAttributes() const {
    if (const std::string_view text = AttributeView("F"); !text.empty()) return std::string(text);
    const std::string_view ref = AttributeView("R");
    const TFormulaSource* source = Owner().Sheet().Workbook().FormulaSource();
    if (ref.size() != 4 || source == nullptr) return {};
    const auto byte = [&](int i) { return std::uint32_t{static_cast<unsigned char>(ref[i])}; };
    return source->Text(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24, *this);
}

std::u16string TCell::Hyperlink() const { return Utf16FromBytes(Attribute("H")); }

void TCell::SetHyperlink(std::u16string_view text) {
    const std::string bytes = Utf16Bytes(text);
    if (AttributeView("H") == bytes) return;
    SetAttribute("H", bytes);
    SetFontColor(kHyperlinkColor);
    SetFontUnderline(true);
    if (value_.IsEmpty()) value_ = TCellValue(std::u16string(text));
    Changed();
}

std::string TCell::DisplayText() const {
    std::string pattern;
    if (value_.IsNumber()) {
        const int position = NumberFormat();
        // A format position the table lacks shows the value in the general form rather than
        // failing the whole read; so does a pattern longer than the format allows, which
        // would otherwise cost every cell of a sheet its length again.
        if (position < Styles().FormatStrings->Count()) {
            const std::string& raw = Styles().FormatStrings->At(position).Pattern;
            if (CharacterCount(raw) <= kMaxFormatPatternLength) pattern = CleanFormat(raw);
        }
    }
    bool percent = false;
    const TCellValue& v = value_;
    if (value_.IsNumber() && !pattern.empty() && pattern.back() == '%') {
        pattern.pop_back();
        percent = true;
    }
    const char* suffix = percent ? "%" : "";
    auto integer = [&](std::int64_t i) { return std::to_string(percent ? i * 100 : i) + suffix; };
    const TFormatSettings& settings = Owner().Sheet().Workbook().Settings().Format;
    auto number = [&](double d) {
        return FormatNumber(pattern, percent ? d * 100 : d, settings) + suffix;
    };
    switch (v.Kind()) {
        case TVarType::Empty:
            return {};
        case TVarType::Smallint:
            return integer(*v.As<std::int16_t>());
        case TVarType::Integer:
            return integer(*v.As<std::int32_t>());
        case TVarType::Byte:
            return integer(*v.As<std::uint8_t>());
        case TVarType::Single:
            return number(*v.As<float>());
        case TVarType::Double:
            return number(*v.As<double>());
        case TVarType::Currency:
            return number(v.As<TCurrency>()->ToDouble());
        // The "%" of a date pattern multiplies but is not shown, as dates never carry one.
        case TVarType::Date: {
            const double days = v.As<TDateTime>()->Days;
            return FormatDateTime(pattern, percent ? days * 100 : days, settings);
        }
        case TVarType::OleStr:
            return Utf16ToUtf8(*v.As<std::u16string>());
        case TVarType::String:
            return Latin1ToUtf8(*v.As<std::string>());
        case TVarType::Boolean:
            return *v.As<bool>() ? "TRUE" : "FALSE";
    }
    return {};
}

}  // namespace morvik::xls
