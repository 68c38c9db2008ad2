// Rectangles of cells (range areas, merged areas, print areas) and column letters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvik::xls {

// One rectangle of cells, bounds inclusive; the widths are the file's.
struct TRangeRect {
    std::uint16_t FirstRow = 0;
    std::uint16_t LastRow = 0;
    std::uint8_t FirstCol = 0;
    std::uint8_t LastCol = 0;

    friend bool operator==(const TRangeRect&, const TRangeRect&) = default;
};

// Ordered list of rectangles; entries are only appended.
class TRangeRects {
  public:
    TRangeRects() = default;
    virtual ~TRangeRects() = default;
    TRangeRects(const TRangeRects&) = default;
    TRangeRects& operator=(const TRangeRects&) = default;

    // Appends a rectangle and answers its position.
    int AddRect(std::uint16_t firstRow, std::uint16_t lastRow, std::uint8_t firstCol,
                std::uint8_t lastCol);
    int Count() const { return static_cast<int>(rects_.size()); }
    // Copy of rectangle `i`; EListIndexError "List index (i) out of bounds" outside the list.
    TRangeRect Get(int i) const;
    // Appends copies of all of `other`'s rectangles; the existing ones stay.
    void Assign(const TRangeRects& other);

  private:
    std::vector<TRangeRect> rects_;
};

// Column letters as the sheet shows them: 0 "A", 25 "Z", 26 "AA", 255 "IV".
// Meant for columns 0..255; beyond that the first letter leaves A..Z.
std::string ColumnName(int col);

}  // namespace morvik::xls
