// Rows and columns: their sizes, outline levels and the formats their cells inherit.
#pragma once

#include <cstdint>
#include <string>

#include "BlockStorage.h"
#include "Items.h"

namespace morvik::xls {

class TCell;

// ---------------------------------------------------------------------------------------------
// Screen metrics: sizes of rows and columns depend on the screen resolution.

struct TScreenMetrics {
    int PixelsPerInch = 96;
    int DefaultColumnWidth = 64;   // pixels
    int DefaultRowHeight = 17;     // pixels
    int CharWidth = 7;             // pixels per character of column width
    double PointsPerPixel = 0.75;  // row heights
};

// The metrics of a screen of `pixelsPerInch` (0 or less: 96). A workbook keeps those of its
// settings; its rows and columns take their sizes from them.
TScreenMetrics ScreenMetricsFor(int pixelsPerInch);

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
    // The metrics of the workbook this row or column belongs to.
    const TScreenMetrics& Metrics() const;

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
double ColumnWidthFromFile(double width256, const TScreenMetrics& metrics);

}  // namespace morvik::xls
