#include "XLSWorkbook.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "text/Cp1250.h"
#include "NumberFormat.h"
#include "XLSError.h"

namespace morvik::xls {
namespace {

constexpr std::uint8_t kHyperlinkColor = 5;  // blue
constexpr std::size_t kMaxStringLength = 65535;

TScreenMetrics MetricsFor(int pixelsPerInch) {
    TScreenMetrics m;
    m.PixelsPerInch = pixelsPerInch;
    if (pixelsPerInch != 96) {
        m.DefaultColumnWidth = 80;
        m.DefaultRowHeight = 22;
        m.CharWidth = 9;
        m.PointsPerPixel = 0.6;
    }
    return m;
}

TScreenMetrics& MutableMetrics() {
    static TScreenMetrics metrics = MetricsFor(96);
    return metrics;
}

// Round half to even, clamped to the 32-bit range (sizes from files can be anything).
std::int32_t RoundPixels(double v) {
    if (std::isnan(v)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    v = std::clamp(v, lo, hi);
    const double r = std::nearbyint(v);
    return static_cast<std::int32_t>(std::clamp(r, lo, hi));
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

void CheckIndex(int index, int max) {
    if (index < 0 || index > max) throw EXLSError(5);
}

// A cell format can name a font the table does not hold: a file's own index, or an entry kept
// from the previous file when this one brings no cell formats. It reads as the default font
// instead of failing the whole read.
TFontEntry FontAt(const TVirtualFontTable& fonts, int index) {
    return index < fonts.Count() ? fonts.Get(index) : TFontEntry{};
}

}  // namespace

// ---------------------------------------------------------------------------------------------

const TScreenMetrics& ScreenMetrics() { return MutableMetrics(); }

void SetScreenPixelsPerInch(int pixelsPerInch) {
    MutableMetrics() = MetricsFor(pixelsPerInch > 0 ? pixelsPerInch : 96);
}

// ---------------------------------------------------------------------------------------------
// TCellValue

namespace {
constexpr TVarType kKindOfAlternative[] = {
    TVarType::Empty,   TVarType::Smallint, TVarType::Integer, TVarType::Single,
    TVarType::Double,  TVarType::Currency, TVarType::Date,    TVarType::OleStr,
    TVarType::Boolean, TVarType::Byte,     TVarType::String,
};
static_assert(std::size(kKindOfAlternative) == std::variant_size_v<TCellValue::Data>);
}  // namespace

TCellValue TCellValue::String8(std::string bytes) {
    TCellValue v;
    v.data_ = std::move(bytes);
    return v;
}

TVarType TCellValue::Kind() const { return kKindOfAlternative[data_.index()]; }

bool TCellValue::IsNumber() const {
    switch (Kind()) {
        case TVarType::Smallint:
        case TVarType::Integer:
        case TVarType::Single:
        case TVarType::Double:
        case TVarType::Currency:
        case TVarType::Date:
        case TVarType::Byte:
            return true;
        default:
            return false;
    }
}

double TCellValue::AsDouble() const {
    struct Visitor {
        double operator()(std::monostate) const { return 0; }
        double operator()(std::int16_t v) const { return v; }
        double operator()(std::int32_t v) const { return v; }
        double operator()(float v) const { return v; }
        double operator()(double v) const { return v; }
        double operator()(TCurrency v) const { return v.ToDouble(); }
        double operator()(TDateTime v) const { return v.Days; }
        double operator()(const std::u16string&) const { return 0; }
        double operator()(bool v) const { return v ? 1 : 0; }
        double operator()(std::uint8_t v) const { return v; }
        double operator()(const std::string&) const { return 0; }
    };
    return std::visit(Visitor{}, data_);
}

// ---------------------------------------------------------------------------------------------
// Block storage

namespace detail {
namespace {

constexpr std::size_t kHugeBlock = std::size_t{2} << 20;

// Address sanitizer builds give every cell a heap block of its own, so that a use after free
// of a cell is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolSlots = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolSlots = false;
#else
constexpr bool kPoolSlots = true;
#endif
#else
constexpr bool kPoolSlots = true;
#endif

}  // namespace

void* AllocateBlock(std::size_t bytes) {
    if (bytes < kHugeBlock) return ::operator new(bytes);
    if (bytes > static_cast<std::size_t>(-1) - kHugeBlock) throw std::bad_alloc();
    const std::size_t rounded = (bytes + kHugeBlock - 1) / kHugeBlock * kHugeBlock;
    void* block = std::aligned_alloc(kHugeBlock, rounded);
    if (block == nullptr) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off or short, the block is served in small pages.
    madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

void FreeBlock(void* block, std::size_t bytes) noexcept {
    if (bytes < kHugeBlock) {
        ::operator delete(block);
    } else {
        std::free(block);
    }
}

namespace {
// A slot holds the object or, while free, the next free slot's address.
std::size_t SlotSize(std::size_t size, std::size_t alignment) {
    const std::size_t align = std::max(alignment, alignof(void*));
    return (std::max(size, sizeof(void*)) + align - 1) / align * align;
}
}  // namespace

// Slots are carved at multiples of the slot size from blocks aligned for any object, so an
// alignment up to that of max_align_t holds for each.
TSlotPool::TSlotPool(std::size_t slotSize, std::size_t alignment)
    : slotSize_(SlotSize(slotSize, alignment)) {}

TSlotPool::~TSlotPool() {
    for (const Block& b : blocks_) FreeBlock(b.data, b.bytes);
}

void* TSlotPool::Allocate() {
    if (!kPoolSlots) return ::operator new(slotSize_);
    if (free_ != nullptr) {
        void* slot = free_;
        free_ = *static_cast<void**>(slot);
        return slot;
    }
    if (next_ == end_) {
        // 64 slots first, then twice the last block, up to the huge-page size: a sheet of a
        // few cells stays small and a large one takes few blocks.
        const std::size_t bytes = std::max(
            blocks_.empty() ? 64 * slotSize_ : std::min(blocks_.back().bytes * 2, kHugeBlock),
            slotSize_);
        blocks_.reserve(blocks_.size() + 1);
        void* data = AllocateBlock(bytes);
        blocks_.push_back({data, bytes});
        next_ = static_cast<std::byte*>(data);
        end_ = next_ + bytes / slotSize_ * slotSize_;
    }
    void* slot = next_;
    next_ += slotSize_;
    return slot;
}

void TSlotPool::Free(void* slot) noexcept {
    if (slot == nullptr) return;
    if (!kPoolSlots) {
        ::operator delete(slot);
        return;
    }
    *static_cast<void**>(slot) = free_;
    free_ = slot;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// TItemIndex

TItemIndex::TItemIndex(std::uint32_t bucketCount, bool growing)
    : initialBuckets_(bucketCount == 0 ? 1 : bucketCount), growing_(growing) {}

std::uint32_t TItemIndex::Pack(std::string_view key) {
    if (key.size() == 4) {  // every cell key: one load instead of a loop
        const auto* b = reinterpret_cast<const unsigned char*>(key.data());
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
               std::uint32_t{b[3]} << 24;
    }
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < key.size(); ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(key[i])) << (8 * i);
    }
    return v;
}

void TItemIndex::Add(std::string_view key) {
    if (key.size() > 4) throw std::invalid_argument("TItemIndex: key longer than 4 bytes");
    if (buckets_.empty()) {
        keyLength_ = key.size();
        buckets_.resize(initialBuckets_);
        bucketMagic_ = ~std::uint64_t{0} / buckets_.size() + 1;
    } else if (key.size() != keyLength_) {
        throw std::invalid_argument("TItemIndex: keys of one index have one length");
    }
    if (entries_.size() >= 0x7FFFFFFEu) throw std::length_error("TItemIndex: too many items");
    const auto ordinal = static_cast<std::int32_t>(entries_.size());
    const std::uint32_t packed = Pack(key);
    entries_.push_back(Entry{packed, -1});
    if (growing_ && entries_.size() > buckets_.size()) {
        Grow();  // relinks every ordinal, this one included
    } else {
        Link(ordinal, BucketOf(packed));
    }
}

std::size_t TItemIndex::BucketOf(std::uint32_t packed) const {
    // Cell keys pack as row | col << 16; the address puts the column next to the row instead.
    const std::uint32_t linear =
        keyLength_ == 4 ? ((packed & 0xFFFF) << 8 | (packed >> 16)) : packed;
    // Exact for 32-bit dividends and divisors (Lemire, Kaser and Kurz, "Faster remainder by
    // direct computation"); a count of 1 gives magic 0 and remainder 0 as it should.
    __extension__ using Wide = unsigned __int128;
    const std::uint64_t low = bucketMagic_ * linear;
    return static_cast<std::size_t>((static_cast<Wide>(low) * buckets_.size()) >> 64);
}

void TItemIndex::Link(std::int32_t ordinal, std::size_t bucket) {
    Bucket& b = buckets_[bucket];
    entries_[static_cast<std::size_t>(ordinal)].next = b.head;
    b.head = ordinal;
}

void TItemIndex::Grow() {
    buckets_.assign(buckets_.size() * 2 + 1, Bucket{});
    bucketMagic_ = ~std::uint64_t{0} / buckets_.size() + 1;
    // Relinking in ordinal order keeps every bucket newest first.
    for (std::size_t o = 0; o < entries_.size(); ++o)
        Link(static_cast<std::int32_t>(o), BucketOf(entries_[o].key));
}

void TItemIndex::Reserve(std::size_t count) {
    if (!growing_ || count <= entries_.size()) return;
    std::size_t target = buckets_.empty() ? initialBuckets_ : buckets_.size();
    while (target < count && target <= 0x3FFFFFFFu) target = target * 2 + 1;
    entries_.reserve(count);
    if (buckets_.empty()) {
        // The first Add makes the buckets, and learns the key length then.
        initialBuckets_ = static_cast<std::uint32_t>(target);
    } else if (target > buckets_.size()) {
        buckets_.assign(target, Bucket{});
        bucketMagic_ = ~std::uint64_t{0} / buckets_.size() + 1;
        for (std::size_t o = 0; o < entries_.size(); ++o)
            Link(static_cast<std::int32_t>(o), BucketOf(entries_[o].key));
    }
}

const TItemIndex::Entry* TItemIndex::Lookup(std::string_view key) const {
    if (buckets_.empty() || key.size() != keyLength_) return nullptr;
    const std::uint32_t packed = Pack(key);
    // Collections add a key once, but the index answers for the first of equal keys: the
    // last match of the newest-first walk.
    const Entry* found = nullptr;
    for (std::int32_t o = buckets_[BucketOf(packed)].head; o >= 0;) {
        const Entry& e = entries_[static_cast<std::size_t>(o)];
        if (e.key == packed) found = &e;
        o = e.next;
    }
    return found;
}

int TItemIndex::Search(std::string_view key) const {
    const Entry* e = Lookup(key);
    return e == nullptr ? -1 : static_cast<int>(e - entries_.data());
}

// ---------------------------------------------------------------------------------------------
// TCustomXLSItems

TCustomXLSItems::TCustomXLSItems(TSheet& sheet, const TStyleContext& styles, bool growingIndex)
    : sheet_(&sheet), index_(16383, growingIndex), styles_(&styles) {}

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

void TCustomXLSItems::Register(TCustomXLSItem& item, std::string_view key) {
    // Room first, so that the push below cannot fail after the index took the item.
    if (items_.size() == items_.capacity())
        items_.reserve(std::max<std::size_t>(16, items_.capacity() * 2));
    index_.Add(key);
    item.registered_ = true;
    items_.push_back(std::move(pending_));
}

void TCustomXLSItems::ReserveItems(std::size_t count) {
    if (count <= items_.size()) return;
    items_.reserve(count);
    index_.Reserve(count);
}

int TCustomXLSItems::IndexOf(const TCustomXLSItem& item) const {
    return index_.Search(KeyOf(item));
}

TCustomXLSItem* TCustomXLSItems::FindKey(std::string_view key) const {
    const int ordinal = index_.Search(key);
    return ordinal < 0 ? nullptr : items_[static_cast<std::size_t>(ordinal)].get();
}

TCustomXLSItem& TCustomXLSItems::SetPending(TItemPtr item) {
    pending_ = std::move(item);
    return *pending_;
}

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
struct IndexKey {
    char bytes[2];
    explicit IndexKey(std::uint16_t index)
        : bytes{static_cast<char>(index & 0xFF), static_cast<char>(index >> 8)} {}
    std::string_view view() const { return {bytes, 2}; }
};
}  // namespace

TCells::TCells(TSheet& sheet, const TStyleContext& styles, bool growingIndex)
    : TCustomXLSItems(sheet, styles, growingIndex) {}

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

// The same rule as for every collection, with the key made on the stack.
void TCells::ItemChanged(TCustomXLSItem& item) {
    if (Updating() || item.Registered() || &item != Pending()) return;
    const auto& cell = static_cast<const TCell&>(item);
    Register(item, CellKey(cell.Row(), cell.Col()).view());
    addressLimit_ = std::max(addressLimit_, AddressOf(cell.Row(), cell.Col()) + 1);
}

TCell* TCells::Find(int row, int col) const {
    if (row < 0 || row > 0xFFFF || col < 0 || col > 0xFF) return nullptr;
    if (AddressOf(row, col) >= addressLimit_) return nullptr;
    return static_cast<TCell*>(
        FindKey(CellKey(static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(col)).view()));
}

TCell& TCells::Cell(int row, int col) {
    // Rows outside 0..65535 are refused rather than folded onto another row.
    CheckIndex(col, 0xFF);
    CheckIndex(row, 0xFFFF);
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

void TCells::InheritStyle(TCell& cell) {
    // Only registered rows and columns count; looking them up here must not create any.
    TRows& rows = Sheet().Rows();
    if (styleRow_ != cell.Row() || styleRowCount_ != rows.Count()) {
        styleRow_ = cell.Row();
        styleRowCount_ = rows.Count();
        styleRowItem_ = rows.Find(cell.Row());
    }
    const TRow* row = styleRowItem_;
    const TColumns& columns = Sheet().Columns();
    const TColumn* col = columns.Count() == 0 ? nullptr : columns.Find(cell.Col());
    const std::int32_t rowXF = row ? row->XFIndex() : 0;
    const std::int32_t colXF = col ? col->XFIndex() : 0;
    if (rowXF == 0 || colXF == 0) {
        cell.xfIndex_ = rowXF != 0 ? rowXF : colXF;
        return;
    }
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

// ---------------------------------------------------------------------------------------------
// TCell

TCell::TCell(TItemToken, TCells& owner, std::uint16_t row, std::uint16_t col)
    : TCustomXLSItem(owner), col_(static_cast<std::uint8_t>(col)), row_(row) {}

void TCell::CheckValue(const TCellValue& v) {
    const TVarType kind = v.Kind();
    if (kind == TVarType::Empty) throw EXLSError(3);
    if (const auto* s = v.As<std::u16string>(); s && s->size() > kMaxStringLength)
        throw EXLSError(3);
    if (const auto* s = v.As<std::string>(); s && s->size() > kMaxStringLength) throw EXLSError(3);
    // A date in a cell without a number format would show as a bare serial number.
    if (kind == TVarType::Date && value_.Kind() != TVarType::Date && NumberFormat() == 0) {
        SetNumberFormat(kDefaultDateFormat);
    }
}

void TCell::SetValue(const TCellValue& v) {
    CheckValue(v);
    if (!(value_ == v)) value_ = v;
    Changed();
}

// Takes the value over: the reader's strings are not copied a second time.
void TCell::SetValue(TCellValue&& v) {
    CheckValue(v);
    // A new cell is empty and `v` never is (CheckValue): no comparison needed.
    if (std::holds_alternative<std::monostate>(value_.Get()) || !(value_ == v))
        value_ = std::move(v);
    Changed();
}

namespace {
// Layout of a cell's attribute block (see TCell::attributes_).
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
    if (!attributes_) return {};
    const char* block = attributes_.get();
    const std::size_t at = FindAttr(block, key);
    if (at == LoadAttrU32(block + 4)) return {};
    const std::size_t keyLength = LoadAttrU32(block + at);
    return {block + at + kAttrEntryHeader + keyLength, LoadAttrU32(block + at + 4)};
}

std::string TCell::Attribute(std::string_view key) const { return std::string(AttributeView(key)); }

void TCell::SetAttribute(std::string_view key, std::string_view value) {
    if (!attributes_ && value.empty()) return;
    if (attributes_) {
        // Text that lies in the block itself would move under the copy below.
        const std::less<const char*> before;
        const char* begin = attributes_.get();
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
        throw std::length_error("cell attribute too long");
    std::size_t capacity = attributes_ ? LoadAttrU32(attributes_.get()) : 0;
    std::size_t used = attributes_ ? LoadAttrU32(attributes_.get() + 4) : kAttrHeader;
    const std::size_t at = attributes_ ? FindAttr(attributes_.get(), key) : used;
    // The bytes of the entry being replaced (none when absent) and those that follow it.
    std::size_t oldEntry = 0;
    if (at < used) {
        oldEntry = kAttrEntryHeader + LoadAttrU32(attributes_.get() + at) +
                   LoadAttrU32(attributes_.get() + at + 4);
    }
    if (value.empty()) {
        if (oldEntry == 0) return;
        char* block = attributes_.get();
        std::memmove(block + at, block + at + oldEntry, used - at - oldEntry);
        StoreAttrU32(block + 4, used - oldEntry);
        return;
    }
    const std::size_t newEntry = kAttrEntryHeader + key.size() + value.size();
    const std::size_t newUsed = used - oldEntry + newEntry;
    if (newUsed > capacity) {
        // A rewritten entry keeps its place, so the block is rebuilt around it.
        const std::size_t grown = std::max({newUsed, kAttrMinCapacity, capacity + capacity / 2});
        auto fresh = std::make_unique_for_overwrite<char[]>(grown);
        if (attributes_) std::memcpy(fresh.get(), attributes_.get(), used);
        StoreAttrU32(fresh.get(), grown);
        StoreAttrU32(fresh.get() + 4, used);
        attributes_ = std::move(fresh);
        capacity = grown;
    }
    char* block = attributes_.get();
    if (oldEntry != newEntry)
        std::memmove(block + at + newEntry, block + at + oldEntry, used - at - oldEntry);
    StoreAttrU32(block + at, key.size());
    StoreAttrU32(block + at + 4, value.size());
    std::memcpy(block + at + kAttrEntryHeader, key.data(), key.size());
    std::memcpy(block + at + kAttrEntryHeader + key.size(), value.data(), value.size());
    StoreAttrU32(block + 4, newUsed);
}

void TCell::SetFormula(std::string_view text) {
    if (AttributeView("F") == text) return;
    SetAttribute("F", text);
    Changed();
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
        // failing the whole read.
        if (position < Styles().FormatStrings->Count())
            pattern = CleanFormat(Styles().FormatStrings->Get(position).Pattern);
    }
    bool percent = false;
    TCellValue v = value_;
    if (value_.IsNumber() && !pattern.empty() && pattern.back() == '%') {
        pattern.pop_back();
        percent = true;
    }
    const char* suffix = percent ? "%" : "";
    struct Visitor {
        const std::string& pattern;
        bool percent;
        const char* suffix;
        std::string Integer(std::int64_t i) const {
            return std::to_string(percent ? i * 100 : i) + suffix;
        }
        std::string Number(double d) const {
            return FormatNumber(pattern, percent ? d * 100 : d) + suffix;
        }
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(std::int16_t i) const { return Integer(i); }
        std::string operator()(std::int32_t i) const { return Integer(i); }
        std::string operator()(std::uint8_t i) const { return Integer(i); }
        std::string operator()(float f) const { return Number(f); }
        std::string operator()(double d) const { return Number(d); }
        std::string operator()(TCurrency c) const { return Number(c.ToDouble()); }
        // The "%" of a date pattern multiplies but is not shown, as dates never carry one.
        std::string operator()(TDateTime t) const {
            return FormatDateTime(pattern, percent ? t.Days * 100 : t.Days);
        }
        std::string operator()(const std::u16string& s) const { return Utf16ToUtf8(s); }
        std::string operator()(const std::string& s) const { return Latin1ToUtf8(s); }
        std::string operator()(bool b) const { return b ? "TRUE" : "FALSE"; }
    };
    return std::visit(Visitor{pattern, percent, suffix}, v.Get());
}

// ---------------------------------------------------------------------------------------------
// Rows and columns

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

TRow::TRow(TItemToken, TRows& owner, std::uint16_t index)
    : TCustomRowCol(owner, index, ScreenMetrics().DefaultRowHeight * ScreenMetrics().PointsPerPixel,
                    ScreenMetrics().DefaultRowHeight) {}

bool TRow::Covers(const TCell& cell) const { return cell.Row() == Index(); }

void TRow::SetHeightPoints(double points) {
    if (points == size_) return;
    Resize(points, RoundPixels(points / ScreenMetrics().PointsPerPixel));
}

void TRow::SetHeightPixels(std::int32_t pixels) {
    if (pixels == sizePixels_) return;
    Resize(pixels * ScreenMetrics().PointsPerPixel, pixels);
}

void TRow::ClearCustomHeight() { customSize_ = false; }

namespace {
double CharsOfPixels(std::int32_t pixels) {
    return (pixels - 5) / static_cast<double>(ScreenMetrics().CharWidth);
}
}  // namespace

TColumn::TColumn(TItemToken, TColumns& owner, std::uint16_t index)
    : TCustomRowCol(owner, index, CharsOfPixels(ScreenMetrics().DefaultColumnWidth),
                    ScreenMetrics().DefaultColumnWidth) {}

bool TColumn::Covers(const TCell& cell) const { return cell.Col() == Index(); }

void TColumn::SetWidthChars(double chars) {
    if (chars == size_) return;
    Resize(chars, RoundPixels(ScreenMetrics().CharWidth * chars + 5));
}

void TColumn::SetWidthPixels(std::int32_t pixels) {
    if (pixels == sizePixels_) return;
    Resize(CharsOfPixels(pixels), pixels);
}

double ColumnWidthFromFile(double width256) {
    const double cw = ScreenMetrics().CharWidth;
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
    CheckIndex(index, 0xFFFF);
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
    CheckIndex(index, 0xFFFF);
    if (TColumn* found = Find(index)) return *found;
    DropPending();
    return static_cast<TColumn&>(
        SetPending(TItemPtr(new TColumn(TItemToken{}, *this, static_cast<std::uint16_t>(index)))));
}

// ---------------------------------------------------------------------------------------------
// Ranges

void TRange::SetName(std::string_view name) {
    if (name.find(' ') != std::string_view::npos) throw EXLSError(11, name);
    if (name != name_) name_.assign(name);
}

void TRange::Merge() {
    merged_ = true;
    for (int i = 0; i < Count(); ++i) {
        const TRangeRect r = Get(i);
        for (int row = r.FirstRow; row <= r.LastRow; ++row) {
            for (int col = r.FirstCol; col <= r.LastCol; ++col)
                sheet_->Cells().Cell(row, col).SetMerged(true);
        }
    }
}

TRange& TRanges::Add() {
    ranges_.push_back(std::make_unique<TRange>(*sheet_));
    return *ranges_.back();
}

TRange& TRanges::Items(int i) const {
    if (i < 0 || i >= Count()) RaiseListIndexError(i);
    return *ranges_[static_cast<std::size_t>(i)];
}

// ---------------------------------------------------------------------------------------------
// Sheets

TSheet::TSheet(TWorkbook& workbook, const TStyleContext& styles)
    : workbook_(&workbook),
      cells_(std::make_unique<TCells>(*this, styles)),
      columns_(std::make_unique<TColumns>(*this, styles)),
      rows_(std::make_unique<TRows>(*this, styles)),
      ranges_(*this),
      pageSetup_(*this) {}

TSheet::~TSheet() = default;

std::string TSheet::NameUtf8() const { return Utf16ToUtf8(name_); }

void TSheet::SetName(const std::u16string& name) {
    if (const std::uint8_t code = workbook_->Sheets().ValidateName(name)) throw EXLSError(code);
    if (name != name_) name_ = name;
}

void TSheet::GroupRows(int first, int last) {
    if (last < first) return;
    for (int i = std::max(first, 0); i <= std::min(last, 0xFFFF); ++i) Rows().Row(i).Group();
}

void TSheet::GroupColumns(int first, int last) {
    if (last < first) return;
    for (int i = std::max(first, 0); i <= std::min(last, 0xFFFF); ++i) Columns().Column(i).Group();
}

TSheet& TSheets::Add(const std::u16string& name) {
    if (const std::uint8_t code = ValidateName(name)) throw EXLSError(code);
    auto sheet = std::make_unique<TSheet>(*workbook_, workbook_->Styles());
    sheet->name_ = name;
    sheet->index_ = Count();
    sheets_.push_back(std::move(sheet));
    return *sheets_.back();
}

TSheet* TSheets::FindByName(std::u16string_view name) const {
    for (const auto& sheet : sheets_) {
        if (sheet->Name() == name) return sheet.get();
    }
    return nullptr;
}

std::uint8_t TSheets::ValidateName(std::u16string_view name) const {
    if (name.empty() || name.size() > 255) return 7;
    const bool blank = std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 32; });
    if (blank || FindByName(name) != nullptr) return 6;
    return 0;
}

void TSheets::Clear() { sheets_.clear(); }

// ---------------------------------------------------------------------------------------------
// Workbook

TWorkbook::TWorkbook(int sheetCount)
    : sheets_(*this),
      formatStrings_(std::make_unique<TFormatStrings>()),
      fonts_(std::make_unique<TVirtualFontTable>()),
      xfs_(std::make_unique<TVirtualXFTable>()),
      styles_{fonts_.get(), xfs_.get(), formatStrings_.get()} {
    for (int i = 1; i <= sheetCount; ++i) {
        const std::string n = std::to_string(i);
        sheets_.Add(u"Sheet" + std::u16string(n.begin(), n.end()));
    }
}

TWorkbook::~TWorkbook() {
    // Sheets first, then the tables their items point into.
    sheets_.Clear();
    formatStrings_.reset();
    fonts_.reset();
    xfs_.reset();
}

void TWorkbook::Clear() {
    sheets_.Clear();
    formatStrings_ = std::make_unique<TFormatStrings>();
    fonts_ = std::make_unique<TVirtualFontTable>();
    styles_.FormatStrings = formatStrings_.get();
    styles_.Fonts = fonts_.get();
}

}  // namespace morvik::xls
