// The in-memory workbook: sheets, sparse cells with their values, rows, columns, ranges and
// page setup. The record reader fills it; the import reads it.
//
// Ownership: TWorkbook owns TSheets and the three style tables; a TSheet owns its TCells,
// TColumns, TRows, TRanges, TPageSetup, TCellCoords and TXLSImages; a collection owns its
// registered items and at most one pending item.
//
// Pending items: TCells::Cell, TRows::Row and TColumns::Column never fail for an absent key and
// never grow the collection. They hand out a detached ("pending") item that joins the collection
// only when something is stored into it. A pending item is destroyed by the next lookup of an
// absent key in the same collection, so a reference to it is valid only until then.
//
// Addresses are row first, then column, both from 0 (row 1, col 2 is C2). Texts returned to
// callers are UTF-8 unless the name says otherwise.
//
// Typical use by the reader:
//   TSheet& s = wb.Sheets().Add(u"Data");
//   TCell& c = s.Cells().Cell(row, col);
//   c.SetValue(TCellValue(2.5)); c.SetXFIndex(xf); c.SetFormula("12");
// and by the import:
//   wb.Sheets().Items(0).Cells().Cell(1, 2).DisplayText();
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "VDataTable.h"
#include "XLSFormatStr.h"
#include "XLSRects.h"

namespace morvik::xls {

class TWorkbook;
class TSheet;
class TCells;
class TCell;
class TRow;
class TRows;
class TColumns;
class TCustomXLSItems;

// ---------------------------------------------------------------------------------------------
// Screen metrics: sizes of rows and columns depend on the screen resolution, read once at start.

struct TScreenMetrics {
    int PixelsPerInch = 96;
    int DefaultColumnWidth = 64;   // pixels
    int DefaultRowHeight = 17;     // pixels
    int CharWidth = 7;             // pixels per character of column width
    double PointsPerPixel = 0.75;  // row heights
};

// The metrics in force; 96 pixels per inch until SetScreenPixelsPerInch is called.
const TScreenMetrics& ScreenMetrics();
// The window calls this once at start with the screen's resolution; without a screen the
// default of 96 stays. Rows and columns made afterwards use the new metrics.
void SetScreenPixelsPerInch(int pixelsPerInch);

// ---------------------------------------------------------------------------------------------
// Cell values

// Standard variant type codes of the kinds a cell can hold.
enum class TVarType : std::uint16_t {
    Empty = 0,
    Smallint = 2,  // 16-bit integer
    Integer = 3,   // 32-bit integer
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    OleStr = 8,  // UTF-16 string
    Boolean = 11,
    Byte = 17,
    String = 256,  // 8-bit string
};

// Fixed-point currency: the amount times 10000.
struct TCurrency {
    std::int64_t Scaled = 0;
    double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }
    friend bool operator==(const TCurrency&, const TCurrency&) = default;
};

// Days since 30 December 1899; the fraction is the time of day.
struct TDateTime {
    double Days = 0;
    friend bool operator==(const TDateTime&, const TDateTime&) = default;
};

// A cell value: exactly one of the kinds of TVarType. 8-bit strings hold the bytes as stored
// (each byte one character U+0000..U+00FF, as the file's compressed strings are); UTF-16
// strings hold 16-bit code units.
class TCellValue {
  public:
    // Alternatives in the order of their type codes; see KindOf.
    using Data = std::variant<std::monostate, std::int16_t, std::int32_t, float, double, TCurrency,
                              TDateTime, std::u16string, bool, std::uint8_t, std::string>;

    TCellValue() = default;  // Empty
    TCellValue(std::int16_t v) : data_(v) {}
    TCellValue(std::int32_t v) : data_(v) {}
    TCellValue(float v) : data_(v) {}
    TCellValue(double v) : data_(v) {}
    TCellValue(TCurrency v) : data_(v) {}
    TCellValue(TDateTime v) : data_(v) {}
    TCellValue(std::u16string v) : data_(std::move(v)) {}
    TCellValue(const char16_t* v) : data_(std::u16string(v)) {}
    TCellValue(bool v) : data_(v) {}
    TCellValue(std::uint8_t v) : data_(v) {}
    // 8-bit string; spelled out so a char pointer cannot silently turn into a boolean.
    static TCellValue String8(std::string bytes);
    TCellValue(const char*) = delete;

    TVarType Kind() const;
    const Data& Get() const { return data_; }
    template <class T>
    const T* As() const {
        return std::get_if<T>(&data_);
    }

    bool IsEmpty() const { return Kind() == TVarType::Empty; }
    // Kinds 2 to 7 and 17.
    bool IsNumber() const;
    // Numeric kinds as a double (currency unscaled, dates as days), booleans as 0/1, else 0.
    double AsDouble() const;

    friend bool operator==(const TCellValue&, const TCellValue&) = default;

  private:
    Data data_;
};

// ---------------------------------------------------------------------------------------------
// Storage for the model's large arrays

namespace detail {
// Blocks of 2 MiB and more are aligned to 2 MiB and, where the system offers it, marked for
// huge pages: a sheet of a few hundred thousand cells would otherwise spend a good part of its
// load taking page faults on fresh memory. Smaller blocks come from operator new.
void* AllocateBlock(std::size_t bytes);
void FreeBlock(void* block, std::size_t bytes) noexcept;

template <class T>
struct TBlockAllocator {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    using value_type = T;
    TBlockAllocator() = default;
    template <class U>
    TBlockAllocator(const TBlockAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(AllocateBlock(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeBlock(p, n * sizeof(T)); }
    template <class U>
    friend bool operator==(const TBlockAllocator&, const TBlockAllocator<U>&) {
        return true;
    }
};

// Fixed-size slots carved from blocks that grow geometrically; freed slots are reused first.
// Without it every cell is a heap allocation of its own.
class TSlotPool {
  public:
    explicit TSlotPool(std::size_t slotSize, std::size_t alignment = alignof(std::max_align_t));
    ~TSlotPool();
    TSlotPool(const TSlotPool&) = delete;
    TSlotPool& operator=(const TSlotPool&) = delete;
    void* Allocate();
    void Free(void* slot) noexcept;

  private:
    struct Block {
        void* data;
        std::size_t bytes;
    };
    std::size_t slotSize_;
    std::vector<Block> blocks_;
    void* free_ = nullptr;  // freed slots, each holding the next one's address
    std::byte* next_ = nullptr;
    std::byte* end_ = nullptr;
};
}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Items and their collections

// The three style tables as the workbook currently holds them. Every item points at this one
// record, so replacing a table (TWorkbook::Clear) is seen by all of them at once.
struct TStyleContext {
    TVirtualFontTable* Fonts = nullptr;
    TVirtualXFTable* XFs = nullptr;
    TFormatStrings* FormatStrings = nullptr;
};

// Border sides of SetBorderColor/SetBorderStyle.
enum : std::uint8_t { kSideLeft = 0, kSideRight = 1, kSideTop = 2, kSideBottom = 3, kSideAll = 4 };

// Only the collections make items.
class TItemToken {
    friend class TCells;
    friend class TRows;
    friend class TColumns;
    TItemToken() = default;
};

// Base of TCell, TRow and TColumn: an index into the XF table and the style operations.
// A style operation changes the item's XF entry copy-on-write, so items with equal formatting
// share one entry and a change never alters another item's format. Whether an operation makes
// a pending item join its collection is noted per group below.
class TCustomXLSItem {
  public:
    virtual ~TCustomXLSItem();
    TCustomXLSItem(const TCustomXLSItem&) = delete;
    TCustomXLSItem& operator=(const TCustomXLSItem&) = delete;

    bool Registered() const { return registered_; }
    TCustomXLSItems& Owner() const { return *owner_; }
    std::int32_t XFIndex() const { return xfIndex_; }
    // Replaces the XF index without touching any table; registers when it changes. The caller
    // checks that `i` is below XFs.Count().
    void SetXFIndex(std::int32_t i);

    // Register only when the value changes to something other than the neutral value
    // (58 fill colour, 57 pattern colour, 0 for the rest).
    virtual void SetFillColor(std::uint8_t paletteIndex);
    virtual void SetPatternColor(std::uint8_t paletteIndex);
    virtual void SetFillColorRGB(TColor color);
    virtual void SetPatternColorRGB(TColor color);
    virtual void SetFillPattern(std::uint8_t pattern);
    virtual void SetHorizAlign(std::uint8_t align);
    virtual void SetVertAlign(std::uint8_t align);
    virtual void SetMerged(bool merged);
    virtual void SetWrapText(bool wrap);
    virtual void SetRotation(std::uint8_t rotation);
    virtual void SetIndent(std::uint8_t indent);  // above 15 stored as 15
    // Borders: side 0..3 or kSideAll; they store and register even when nothing changes.
    virtual void SetBorderColor(std::uint8_t side, std::uint8_t paletteIndex);
    virtual void SetBorderColorRGB(std::uint8_t side, TColor color);
    virtual void SetBorderStyle(std::uint8_t side, std::uint8_t style);
    // From here on: register whenever the stored value changes.
    virtual void SetNumberFormat(std::uint16_t formatPosition);  // position in FormatStrings
    virtual void SetFontBold(bool on);
    virtual void SetFontItalic(bool on);
    virtual void SetFontUnderline(bool on);
    virtual void SetFontStrikeOut(bool on);
    virtual void SetFontUnderlineStyle(std::uint8_t style);
    virtual void SetFontScript(std::uint8_t script);
    virtual void SetFontName(const std::u16string& name);
    virtual void SetFontColor(std::uint8_t paletteIndex);
    virtual void SetFontColorRGB(TColor color);  // always registers
    virtual void SetFontHeight(std::uint16_t points);

    std::uint8_t FillColor() const;
    std::uint8_t PatternColor() const;
    std::uint8_t FillPattern() const;
    std::uint8_t HorizAlign() const;
    std::uint8_t VertAlign() const;
    bool Merged() const;
    bool WrapText() const;
    std::uint8_t Rotation() const;
    std::uint8_t Indent() const;
    std::uint8_t BorderColor(std::uint8_t side) const;  // 58 for a side outside 0..3
    std::uint8_t BorderStyle(std::uint8_t side) const;  // 0 for a side outside 0..3
    std::uint16_t NumberFormat() const;
    std::uint16_t FontIndex() const;
    bool FontBold() const;
    bool FontItalic() const;
    bool FontUnderline() const;
    bool FontStrikeOut() const;
    std::uint8_t FontUnderlineStyle() const;
    std::uint8_t FontScript() const;
    std::u16string FontName() const;
    std::uint8_t FontColor() const;
    std::uint16_t FontHeight() const;

  protected:
    explicit TCustomXLSItem(TCustomXLSItems& owner);
    // The workbook's style context, reached through the owner to keep items small.
    const TStyleContext& Styles() const;
    void Changed();

  private:
    friend class TCustomXLSItems;
    friend class TCells;  // a new cell takes its row's or column's XF index without registering
    template <class Apply>
    bool ChangeXF(Apply apply);
    template <class Apply>
    bool ChangeFont(Apply apply);

    TCustomXLSItems* owner_;
    std::int32_t xfIndex_ = 0;
    bool registered_ = false;
};

// Hash index over a collection's items: ordinals in buckets, each bucket newest first, so that
// adding touches only the bucket and the new entry, never an older entry elsewhere in memory.
// It starts with 16383 buckets like every item collection and doubles them as the collection
// grows, so that a lookup stays one short bucket walk however large the sheet gets. The bucket
// is the key's row-major address (row * 256 + col, or the row/column index) modulo the count:
// a sheet filled or read row by row then walks the buckets in order instead of jumping about,
// and no choice of addresses can put more than (address range / buckets) + 1 items into one
// bucket, a bound that falls as the index grows.
// Keys are at most 4 bytes, all of one length per index.
class TItemIndex {
  public:
    // `growing` false keeps the bucket count fixed (for comparison in benchmarks).
    explicit TItemIndex(std::uint32_t bucketCount = 16383, bool growing = true);
    // Indexes `key` as the next ordinal (Count()); the owner keeps the items by ordinal.
    void Add(std::string_view key);
    // The first ordinal added under `key`, or -1.
    int Search(std::string_view key) const;
    // Makes room for `count` entries at once: the bucket count growth would reach for them,
    // and the entries' storage. Callers bound `count`; a growing index only.
    void Reserve(std::size_t count);
    int Count() const { return static_cast<int>(entries_.size()); }
    std::uint32_t BucketCount() const { return static_cast<std::uint32_t>(buckets_.size()); }

  private:
    struct Bucket {
        std::int32_t head = -1;  // newest ordinal, -1 when empty
    };
    // Key and chain link side by side: a lookup touches one line per step. The item itself is
    // the owner's, under the same ordinal.
    struct Entry {
        std::uint32_t key;
        std::int32_t next;
    };
    static std::uint32_t Pack(std::string_view key);
    std::size_t BucketOf(std::uint32_t packed) const;
    const Entry* Lookup(std::string_view key) const;
    void Link(std::int32_t ordinal, std::size_t bucket);
    void Grow();

    std::vector<Bucket, detail::TBlockAllocator<Bucket>> buckets_;  // made on the first Add
    std::vector<Entry, detail::TBlockAllocator<Entry>> entries_;    // per ordinal
    // 2^64 / BucketCount(), rounded up: the remainder by multiplication instead of a division,
    // which would be a good part of each addition and lookup.
    std::uint64_t bucketMagic_ = 0;
    std::uint32_t initialBuckets_;
    std::size_t keyLength_ = 0;
    bool growing_;
};

// Keyed collection of items (cells, rows or columns) with one pending item.
class TCustomXLSItems {
  public:
    virtual ~TCustomXLSItems();
    TCustomXLSItems(const TCustomXLSItems&) = delete;
    TCustomXLSItems& operator=(const TCustomXLSItems&) = delete;

    TSheet& Sheet() const { return *sheet_; }
    // Number of registered items.
    int Count() const { return static_cast<int>(items_.size()); }
    // Registered items in registration order; std::range_error
    // "List index (<i>) out of bounds" outside 0..Count()-1.
    TCustomXLSItem& Items(int ordinal) const {
        if (ordinal < 0 || ordinal >= Count()) RaiseListIndexError(ordinal);
        return *items_[static_cast<std::size_t>(ordinal)];
    }
    TCustomXLSItem* Pending() const { return pending_.get(); }

    // Makes `item` join the collection unless Updating is set or it already has.
    virtual void ItemChanged(TCustomXLSItem& item);
    // The item's key: 4 bytes row lo/hi, col lo/hi for a cell; 2 bytes index lo/hi otherwise.
    virtual std::string KeyOf(const TCustomXLSItem& item) const = 0;
    // Ordinal of the registered item with the same key as `item`, or -1.
    virtual int IndexOf(const TCustomXLSItem& item) const;

    // While set, changes do not register items (used while a new cell inherits its style).
    bool Updating() const { return updating_; }
    void SetUpdating(bool on) { updating_ = on; }

    const TStyleContext& Styles() const { return *styles_; }

  protected:
    // Hands every item back to the collection that made it.
    struct TItemDeleter {
        void operator()(TCustomXLSItem* item) const noexcept;
    };
    using TItemPtr = std::unique_ptr<TCustomXLSItem, TItemDeleter>;

    TCustomXLSItems(TSheet& sheet, const TStyleContext& styles, bool growingIndex);
    // Destroys an item this collection made; the default is delete.
    virtual void Dispose(TCustomXLSItem* item) noexcept;
    // Destroys the pending and every registered item; for a derived collection's destructor,
    // while its Dispose still applies.
    void DestroyItems() noexcept;
    // The registered item under `key`, or null.
    TCustomXLSItem* FindKey(std::string_view key) const;
    // Destroys the current pending item; done before a new one is made, so that at most one
    // detached item exists at a time.
    void DropPending() { pending_.reset(); }
    // Makes `item` (not null) the pending one.
    TCustomXLSItem& SetPending(TItemPtr item);
    // Makes the pending `item` join the collection under `key`.
    void Register(TCustomXLSItem& item, std::string_view key);
    // Room for `count` registered items without regrowing the index or the list.
    void ReserveItems(std::size_t count);

  private:
    TSheet* sheet_;
    TItemPtr pending_;
    TItemIndex index_;
    std::vector<TItemPtr, detail::TBlockAllocator<TItemPtr>> items_;  // owned, by ordinal
    bool updating_ = false;
    const TStyleContext* styles_;
};

// ---------------------------------------------------------------------------------------------
// Cells

class TCell final : public TCustomXLSItem {
  public:
    TCell(TItemToken, TCells& owner, std::uint16_t row, std::uint16_t col);
    std::uint16_t Row() const { return row_; }
    std::uint16_t Col() const { return col_; }
    const TCellValue& Value() const { return value_; }

    // Stores `v` and registers the cell. Empty, or a string longer than 65535 characters,
    // raises EXLSError 3 and leaves the cell as it was. A date stored into a cell that holds no
    // date and has number format 0 first gets number format 13 ("mm/dd/yy").
    void SetValue(const TCellValue& v);
    void SetValue(TCellValue&& v);

    // Formula text ("F" attribute), bytes as given (the formula renderer writes UTF-8).
    std::string Formula() const {
        return attributes_ ? std::string(AttributeView("F")) : std::string();
    }
    void SetFormula(std::string_view text);
    // Hyperlink ("H" attribute). Setting a new one also makes the font blue and underlined and
    // fills an empty value with the link text.
    std::u16string Hyperlink() const;
    void SetHyperlink(std::u16string_view text);

    // The value as text under the cell's number format, UTF-8; empty for an empty cell.
    std::string DisplayText() const;

    // Keyed attribute store. Entries are kept as separate (key, value) pairs in the order first
    // set, so any byte of a value (0xFF included) is safe; an entry exists only while its value
    // is non-empty.
    std::string Attribute(std::string_view key) const;
    void SetAttribute(std::string_view key, std::string_view value);

  private:
    // Refuses what SetValue refuses and gives a new date its format.
    void CheckValue(const TCellValue& v);

    // The stored value of `key`; empty when there is none. Valid until the next change.
    std::string_view AttributeView(std::string_view key) const;

    // Declared first, so that they sit in the padding at the end of the base class: a cell
    // takes 72 bytes instead of 80, and a large sheet holds hundreds of thousands.
    std::uint8_t col_;
    std::uint16_t row_;
    TCellValue value_;
    // Most cells have no attributes; those that do (formulas, links) keep them all in one heap
    // block: capacity and used bytes (4 each), then per entry key and value lengths (4 each),
    // key bytes, value bytes. One allocation instead of a list and its strings.
    std::unique_ptr<char[]> attributes_;
};

class TCells final : public TCustomXLSItems {
  public:
    TCells(TSheet& sheet, const TStyleContext& styles, bool growingIndex = true);
    ~TCells() override;

    // The cell at (row, col): the registered one, or a new pending one (see the top of this
    // file). `row` must be 0..65535 and `col` 0..255, else EXLSError 5.
    TCell& Cell(int row, int col);
    // The registered cell at (row, col), or null; never creates a pending cell.
    TCell* Find(int row, int col) const;
    TCell& Items(int ordinal) const { return static_cast<TCell&>(TCustomXLSItems::Items(ordinal)); }
    std::string KeyOf(const TCustomXLSItem& item) const override;
    void ItemChanged(TCustomXLSItem& item) override;
    // Room for `count` cells, for a reader that knows the sheet's size up front; changes
    // nothing else. The caller bounds `count`.
    void Reserve(std::size_t count) { ReserveItems(count); }

  private:
    void InheritStyle(TCell& cell);
    void Dispose(TCustomXLSItem* item) noexcept override;

    static_assert(alignof(TCell) <= alignof(std::max_align_t));
    detail::TSlotPool pool_{sizeof(TCell), alignof(TCell)};

    // The row last looked up for a new cell's style, good while the rows' count is unchanged:
    // registered rows are never removed, so neither a hit nor a miss goes stale before then.
    // Cells of one row come one after another, and each would otherwise search the rows.
    int styleRow_ = -1;
    int styleRowCount_ = -1;
    const TRow* styleRowItem_ = nullptr;

    // One past the highest row-major address (row * 256 + col) registered so far, 0 when none.
    // Files list cells in address order, so most lookups while reading are for addresses above
    // it and can answer "absent" without touching the index.
    std::uint32_t addressLimit_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Rows and columns

// Base of TRow and TColumn. Every style operation but SetMerged is applied to the object and
// then to every registered cell of its row/column; cells made later inherit it.
class TCustomRowCol : public TCustomXLSItem {
  public:
    std::uint8_t OutlineLevel() const { return outlineLevel_; }
    double Size() const { return size_; }  // row points or column characters
    std::int32_t SizePixels() const { return sizePixels_; }
    std::uint16_t Index() const { return index_; }
    bool Modified() const { return modified_; }
    bool CustomSize() const { return customSize_; }

    // Raises the outline level by one, up to 7.
    void Group();

    void SetFillColor(std::uint8_t paletteIndex) override;
    void SetPatternColor(std::uint8_t paletteIndex) override;
    void SetFillPattern(std::uint8_t pattern) override;
    void SetHorizAlign(std::uint8_t align) override;
    void SetVertAlign(std::uint8_t align) override;
    void SetWrapText(bool wrap) override;
    void SetRotation(std::uint8_t rotation) override;
    void SetIndent(std::uint8_t indent) override;
    void SetBorderColor(std::uint8_t side, std::uint8_t paletteIndex) override;
    void SetBorderStyle(std::uint8_t side, std::uint8_t style) override;
    void SetNumberFormat(std::uint16_t formatPosition) override;
    void SetFontBold(bool on) override;
    void SetFontItalic(bool on) override;
    void SetFontUnderline(bool on) override;
    void SetFontStrikeOut(bool on) override;
    void SetFontUnderlineStyle(std::uint8_t style) override;
    void SetFontScript(std::uint8_t script) override;
    void SetFontName(const std::u16string& name) override;
    void SetFontColor(std::uint8_t paletteIndex) override;
    void SetFontHeight(std::uint16_t points) override;
    // The RGB operations go through the palette-index ones above and so reach the cells too.

  protected:
    TCustomRowCol(TCustomXLSItems& owner, std::uint16_t index, double size,
                  std::int32_t sizePixels);
    // Stores a new size pair and registers; nothing happens when `sizeOrPixels` is unchanged.
    void Resize(double size, std::int32_t sizePixels);
    virtual bool Covers(const TCell& cell) const = 0;

    double size_;
    std::int32_t sizePixels_;

  private:
    template <class Op>
    void ForEachCell(Op op);

    std::uint8_t outlineLevel_ = 0;
    std::uint16_t index_;
    bool modified_ = false;
    bool customSize_ = false;
    friend class TRow;
};

class TRow final : public TCustomRowCol {
  public:
    TRow(TItemToken, TRows& owner, std::uint16_t index);
    void SetHeightPoints(double points);
    void SetHeightPixels(std::int32_t pixels);
    // Turns CustomSize off, nothing else (a row whose file record says the height is default).
    void ClearCustomHeight();

  private:
    bool Covers(const TCell& cell) const override;
};

class TColumn final : public TCustomRowCol {
  public:
    TColumn(TItemToken, TColumns& owner, std::uint16_t index);
    void SetWidthChars(double chars);
    void SetWidthPixels(std::int32_t pixels);

  private:
    bool Covers(const TCell& cell) const override;
};

// Keys of rows and columns are 2 bytes: index low, index high.
class TCustomRowCols : public TCustomXLSItems {
  public:
    std::string KeyOf(const TCustomXLSItem& item) const override;

  protected:
    using TCustomXLSItems::TCustomXLSItems;
    TCustomRowCol* FindIndex(int index) const;
};

class TRows final : public TCustomRowCols {
  public:
    TRows(TSheet& sheet, const TStyleContext& styles);
    ~TRows() override;
    // The registered row, or a new pending one; `index` 0..65535, else EXLSError 5.
    TRow& Row(int index);
    // The registered row, or null; never creates a pending row.
    TRow* Find(int index) const;
    TRow& Items(int ordinal) const { return static_cast<TRow&>(TCustomXLSItems::Items(ordinal)); }

  private:
    void Dispose(TCustomXLSItem* item) noexcept override;

    // Every ROW record of a file makes a pending row at least once.
    detail::TSlotPool pool_{sizeof(TRow), alignof(TRow)};
};

class TColumns final : public TCustomRowCols {
  public:
    TColumns(TSheet& sheet, const TStyleContext& styles);
    // The registered column, or a new pending one; `index` 0..65535, else EXLSError 5.
    TColumn& Column(int index);
    TColumn* Find(int index) const;
    TColumn& Items(int ordinal) const {
        return static_cast<TColumn&>(TCustomXLSItems::Items(ordinal));
    }
};

// A column width as files store it (1/256 of a character) in characters of Size.
double ColumnWidthFromFile(double width256);

// ---------------------------------------------------------------------------------------------
// Ranges, page setup, sheet-level lists

class TRange : public TRangeRects {
  public:
    explicit TRange(TSheet& sheet) : sheet_(&sheet) {}

    TSheet& Sheet() const { return *sheet_; }
    // 8-bit name bytes as given; empty at creation.
    const std::string& Name() const { return name_; }
    // A name with a blank raises EXLSError 11 "Invalid range name: <name>"; the name stays.
    void SetName(std::string_view name);
    bool Merged() const { return merged_; }
    // Sets Merged and the merged flag of every cell of every rectangle (registering them).
    void Merge();

  private:
    TSheet* sheet_;
    std::string name_;
    bool merged_ = false;
};

class TRanges {
  public:
    explicit TRanges(TSheet& sheet) : sheet_(&sheet) {}
    // Appends a new empty range of the sheet and answers it.
    TRange& Add();
    int Count() const { return static_cast<int>(ranges_.size()); }
    // std::range_error "List index (<i>) out of bounds" outside the list.
    TRange& Items(int i) const;

  private:
    TSheet* sheet_;
    std::vector<std::unique_ptr<TRange>> ranges_;
};

// Page setup of a sheet: plain settings the reader stores as the file gives them.
class TPageSetup {
  public:
    explicit TPageSetup(TSheet& sheet) : PrintArea(sheet), sheet_(&sheet) {}
    TSheet& Sheet() const { return *sheet_; }

    TRange PrintArea;
    std::uint8_t PaperSize = 0;
    bool UseScale = true;  // false: fit to FitWidth x FitHeight pages
    std::uint16_t Scale = 100;
    std::int16_t StartPage = -1;  // -1 automatic
    std::uint16_t FitWidth = 1;
    std::uint16_t FitHeight = 1;
    bool OverThenDown = false;
    bool Portrait = true;
    double HeaderMargin = 0.5;  // inches
    double FooterMargin = 0.5;
    double TopMargin = 1.0;
    double BottomMargin = 1.0;
    double LeftMargin = 0.8;
    double RightMargin = 0.8;
    bool BlackAndWhite = false;
    bool Draft = false;
    bool PrintGridlines = false;
    bool PrintHeadings = false;
    bool CenterHorizontally = false;
    bool CenterVertically = false;
    std::string CenterHeader, RightHeader, LeftHeader;  // 8-bit
    std::string CenterFooter, RightFooter, LeftFooter;
    bool SummaryRowsAbove = false;
    bool SummaryColumnsLeft = false;

  private:
    TSheet* sheet_;
};

struct TCellCoord {
    std::uint16_t Row = 0;
    std::uint16_t Col = 0;
};
// Lists every sheet owns; nothing in the reader fills them yet.
struct TCellCoords {
    std::vector<TCellCoord> Items;
    int Count() const { return static_cast<int>(Items.size()); }
};
struct TXLSImage {
    std::string Data;
};
struct TXLSImages {
    std::vector<TXLSImage> Items;
    int Count() const { return static_cast<int>(Items.size()); }
};

// ---------------------------------------------------------------------------------------------
// Sheets and workbook

class TSheet {
  public:
    TSheet(TWorkbook& workbook, const TStyleContext& styles);
    ~TSheet();
    TSheet(const TSheet&) = delete;
    TSheet& operator=(const TSheet&) = delete;

    TWorkbook& Workbook() const { return *workbook_; }
    TCells& Cells() { return *cells_; }
    const TCells& Cells() const { return *cells_; }
    TColumns& Columns() { return *columns_; }
    TRows& Rows() { return *rows_; }
    TRanges& Ranges() { return ranges_; }
    TPageSetup& PageSetup() { return pageSetup_; }
    TCellCoords& CellCoords() { return cellCoords_; }
    TXLSImages& Images() { return images_; }

    std::int32_t Index() const { return index_; }
    const std::u16string& Name() const { return name_; }
    std::string NameUtf8() const;
    // Validated by TSheets::ValidateName first, so renaming a sheet to its own name fails
    // with code 6; a refused name raises EXLSError 6 or 7 and the name stays.
    void SetName(const std::u16string& name);

    // Calls Group on every row (column) from `first` to `last`; nothing when last < first.
    // Bounds are clipped to 0..65535.
    void GroupRows(int first, int last);
    void GroupColumns(int first, int last);

    // View settings, as the file gives them.
    bool ShowGridlines = true;
    bool ShowHeadings = true;
    bool ShowZeros = true;
    std::uint16_t PaneRows = 0;
    std::uint16_t PaneColumns = 0;
    // 16 bits rather than 8: zooms up to 400 percent must survive.
    std::uint16_t Zoom = 100;
    bool PageBreakPreview = false;

  private:
    friend class TSheets;
    TWorkbook* workbook_;
    std::unique_ptr<TCells> cells_;
    std::unique_ptr<TColumns> columns_;
    std::unique_ptr<TRows> rows_;
    TRanges ranges_;
    std::int32_t index_ = -1;
    std::u16string name_;
    TPageSetup pageSetup_;
    TCellCoords cellCoords_;
    TXLSImages images_;
};

class TSheets {
  public:
    explicit TSheets(TWorkbook& workbook) : workbook_(&workbook) {}

    TWorkbook& Workbook() const { return *workbook_; }
    int Count() const { return static_cast<int>(sheets_.size()); }
    // std::range_error "List index (<i>) out of bounds !" outside 0..Count()-1.
    TSheet& Items(int index) const {
        if (index < 0 || index >= Count()) RaiseListIndexError(index, " !");
        return *sheets_[static_cast<std::size_t>(index)];
    }
    // Validates `name`, appends a new sheet with it and answers the sheet.
    TSheet& Add(const std::u16string& name);
    // First sheet whose name equals `name` exactly (case-sensitive), or null.
    TSheet* FindByName(std::u16string_view name) const;
    // 0 when acceptable; 7 for a length of 0 or above 255 code units; 6 when only characters
    // <= 32 remain after trimming or when a sheet of that exact name exists.
    std::uint8_t ValidateName(std::u16string_view name) const;
    void Clear();

  private:
    TWorkbook* workbook_;
    std::vector<std::unique_ptr<TSheet>> sheets_;
};

class TWorkbook {
  public:
    // Creates the style tables and `sheetCount` sheets named "Sheet1", "Sheet2", ...
    explicit TWorkbook(int sheetCount = 1);
    ~TWorkbook();
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // Deletes every sheet and resets the number formats (built-ins only) and fonts (default
    // font only). The XF table stays; the reader restarts it itself.
    void Clear();

    TSheets& Sheets() { return sheets_; }
    const TSheets& Sheets() const { return sheets_; }
    TFormatStrings& FormatStrings() { return *formatStrings_; }
    TVirtualFontTable& Fonts() { return *fonts_; }
    TVirtualXFTable& XFs() { return *xfs_; }
    const TStyleContext& Styles() const { return styles_; }

  private:
    TSheets sheets_;
    std::unique_ptr<TFormatStrings> formatStrings_;
    std::unique_ptr<TVirtualFontTable> fonts_;
    std::unique_ptr<TVirtualXFTable> xfs_;
    TStyleContext styles_;
};

}  // namespace morvik::xls
