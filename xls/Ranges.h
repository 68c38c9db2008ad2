// Named and merged ranges, page setup, and the other lists a sheet owns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "XLSRects.h"

namespace morvik::xls {

class TSheet;

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
    // EListIndexError "List index (<i>) out of bounds" outside the list.
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

}  // namespace morvik::xls
