// Items (cells, rows, columns) and their keyed collections: the XF index every item carries,
// the copy-on-write style operations on it, and the one pending item of a collection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BlockStorage.h"
#include "ItemIndex.h"
#include "VDataTable.h"
#include "XLSError.h"
#include "XLSFormatStr.h"
#include "XLSRects.h"

namespace morvik::xls {

class TSheet;
class TCells;
class TRows;
class TColumns;
class TCustomXLSItems;

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

// Keyed collection of items (cells, rows or columns) with one pending item.
class TCustomXLSItems {
  public:
    virtual ~TCustomXLSItems();
    TCustomXLSItems(const TCustomXLSItems&) = delete;
    TCustomXLSItems& operator=(const TCustomXLSItems&) = delete;

    TSheet& Sheet() const { return *sheet_; }
    // Number of registered items.
    int Count() const { return static_cast<int>(items_.size()); }
    // Registered items in registration order; EListIndexError
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
    TCustomXLSItem& SetPending(TItemPtr item) {
        pending_ = std::move(item);
        return *pending_;
    }
    // Makes the pending `item` join the collection under `key`. Inline: every value a reader
    // stores registers a cell.
    void Register(TCustomXLSItem& item, std::string_view key) {
        // Room first, so that the push below cannot fail after the index took the item.
        if (items_.size() == items_.capacity()) GrowItems();
        if (indexed_) index_.Add(key);
        item.registered_ = true;
        items_.push_back(std::move(pending_));
    }
    // Room for `count` registered items without regrowing the index or the list.
    void ReserveItems(std::size_t count);
    // Leaves the index unbuilt until the first lookup by key (FindKey, IndexOf), for a
    // collection whose items mostly arrive in key order and are then read by ordinal: a sheet
    // read from a file never pays for an index nobody asks. Set before the first item.
    void IndexLazily() { indexed_ = false; }

  private:
    // Builds the index over every registered item when it was left unbuilt. Not safe to call
    // from two threads at once, like any other use of a collection.
    void EnsureIndex() const;
    void GrowItems();

    TSheet* sheet_;
    TItemPtr pending_;
    mutable TItemIndex index_;
    mutable bool indexed_ = true;
    bool growingIndex_;
    std::vector<TItemPtr, detail::TBlockAllocator<TItemPtr>> items_;  // owned, by ordinal
    bool updating_ = false;
    const TStyleContext* styles_;
};

namespace detail {
[[noreturn]] void RaiseInvalidItemIndex();
// `index` in 0..max, else EXLSError 5. Inline: every cell lookup checks twice.
inline void CheckItemIndex(int index, int max) {
    if (index < 0 || index > max) RaiseInvalidItemIndex();
}
// A cell format can name a font the table does not hold: a file's own index, or an entry kept
// from the previous file when this one brings no cell formats. It reads as the default font
// instead of failing the whole read.
TFontEntry FontAt(const TVirtualFontTable& fonts, int index);
}  // namespace detail

}  // namespace morvik::xls
