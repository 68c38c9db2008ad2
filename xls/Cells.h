// Cells: a cell's value, formula and link attributes, and its display text; the sparse
// collection of a sheet's cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BlockStorage.h"
#include "CellValue.h"
#include "Items.h"

namespace morvik::xls {

class TRow;
class TColumn;

class TCell final : public TCustomXLSItem {
  public:
    TCell(TItemToken, TCells& owner, std::uint16_t row, std::uint16_t col);
    ~TCell() override;
    std::uint16_t Row() const { return row_; }
    std::uint16_t Col() const { return col_; }
    const TCellValue& Value() const { return value_; }

    // Stores `v` and registers the cell. Empty, or a string longer than 65535 characters,
    // raises EXLSError 3 and leaves the cell as it was. A date stored into a cell that holds no
    // date and has number format 0 first gets number format 13 ("mm/dd/yy").
    void SetValue(const TCellValue& v);
    void SetValue(TCellValue&& v);

    // Formula text, UTF-8: the text set by SetFormula ("F" attribute, bytes as given), or the
    // text the workbook's formula source renders for the formula set by SetFormulaRef.
    std::string Formula() const {
        if (attributeSlot_ != 0) return FormulaOfAttributes();
        return {};
    }
    // Either replaces the other.
    void SetFormula(std::string_view text);
    // Formula `id` of the workbook's formula source ("R" attribute, 4 bytes).
    void SetFormulaRef(std::uint32_t id);
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
    std::string FormulaOfAttributes() const;
    friend class TCells;
    // Refuses what SetValue refuses and gives a new date its format.
    void CheckValue(const TCellValue& v);

    // The stored value of `key`; empty when there is none. Valid until the next change.
    std::string_view AttributeView(std::string_view key) const;

    // The block of this cell's attributes, or null.
    char* AttributeBlock() const;

    // Declared first, so that they sit in the padding at the end of the base class; the
    // attribute slot sits in the value's. A large sheet holds millions of cells: 40 bytes each.
    std::uint8_t col_;
    std::uint16_t row_;
    [[no_unique_address]] TCellValue value_;
    // Most cells have no attributes; those that do (formulas, links) keep them all in one heap
    // block, held by the collection under this slot (0: none): capacity and used bytes
    // (4 each), then per entry key and value lengths (4 each), key bytes, value bytes. One
    // allocation instead of a list and its strings, and no pointer in every cell.
    std::uint32_t attributeSlot_ = 0;
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
    // SetValue(v) on `cell` (one of these cells), except that the cell borrows v's text
    // instead of counting a reference to it: `keeper` owns v's text, and the collection keeps
    // it alive for as long as its cells. For a reader's table of shared strings.
    void SetBorrowedValue(TCell& cell, const TCellValue& v,
                          const std::shared_ptr<const void>& keeper);
    // Room for `count` cells, for a reader that knows the sheet's size up front; changes
    // nothing else. The caller bounds `count`.
    void Reserve(std::size_t count) { ReserveItems(count); }

  private:
    friend class TCell;
    void InheritStyle(TCell& cell);
    void FindStyleRow(int row);
    void FindStyleColumns();
    void MergeStyles(TCell& cell, std::int32_t rowXF, std::int32_t colXF);
    // A free attribute slot (never 0), and handing one back with its block.
    std::uint32_t NewAttributeSlot();
    void FreeAttributeSlot(std::uint32_t slot) noexcept;

    std::vector<std::unique_ptr<char[]>> attributeBlocks_;  // by slot; slot 0 is never used
    std::vector<std::uint32_t> freeAttributeSlots_;
    // Owners of texts the cells borrow (SetBorrowedValue); released after the cells.
    std::vector<std::shared_ptr<const void>> keepers_;
    void Dispose(TCustomXLSItem* item) noexcept override;

    static_assert(alignof(TCell) <= alignof(std::max_align_t));
    detail::TSlotPool pool_{sizeof(TCell), alignof(TCell)};

    // The row last looked up for a new cell's style, good while the rows' count is unchanged:
    // registered rows are never removed, so neither a hit nor a miss goes stale before then.
    // Cells of one row come one after another, and each would otherwise search the rows.
    int styleRow_ = -1;
    int styleRowCount_ = -1;
    const TRow* styleRowItem_ = nullptr;
    // The same for columns, all 256 at once (made when the sheet has any): a row's cells each
    // ask for another column.
    int styleColumnCount_ = -1;
    std::unique_ptr<const TColumn*[]> styleColumns_;

    // One past the highest row-major address (row * 256 + col) registered so far, 0 when none.
    // Files list cells in address order, so most lookups while reading are for addresses above
    // it and can answer "absent" without touching the index.
    std::uint32_t addressLimit_ = 0;
};

}  // namespace morvik::xls
