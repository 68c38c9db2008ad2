// The parser's working lists: the text stack of the renderer and the workbook's shared
// formulas (SHRFMLA records), which cells marked as shared look their tokens up in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace morvik::xls {

// Texts used as a stack. Popping an empty stack is reported to the caller, because a token
// stream from a file can ask for more operands than it pushed.
class TStringStack {
  public:
    void Push(std::string text) { items_.push_back(std::move(text)); }
    // Takes the last text into `out`; false, with `out` untouched, when the stack is empty.
    bool Pop(std::string& out);
    std::size_t Count() const { return items_.size(); }
    // The first text pushed; only meaningful when Count() > 0.
    const std::string& Bottom() const { return items_.front(); }
    void Clear() { items_.clear(); }

  private:
    std::vector<std::string> items_;
};

// One shared formula: the cells it covers (bounds inclusive) and its token bytes.
struct TXLSSharedFormula {
    std::uint16_t Sheet = 0;
    std::uint16_t FirstRow = 0;
    std::uint16_t LastRow = 0;
    std::uint8_t FirstCol = 0;
    std::uint8_t LastCol = 0;
    std::vector<std::uint8_t> Tokens;
};

class TXLSSharedFormulas {
  public:
    // Bytes before the tokens in a SHRFMLA payload: rows (2 + 2), columns (1 + 1), then a
    // reserved byte, the use count and the token length, which are not needed.
    static constexpr std::size_t kHeaderSize = 10;

    // Appends the shared formula of a SHRFMLA payload; its tokens run from the header to the
    // end of the payload. A payload too short for the header describes nothing and is ignored.
    void Add(std::uint16_t sheet, std::span<const std::uint8_t> payload);

    // Tokens of the first formula, in the order added, on `sheet` whose rows and columns cover
    // the cell; empty when none does. The span stays valid until the next Add or Clear. A walk
    // over the list: for one formula at a time; a load asks FindAll for all its cells at once.
    std::span<const std::uint8_t> Find(std::uint16_t sheet, std::uint16_t row,
                                       std::uint8_t col) const;

    struct TCellQuery {
        std::uint16_t Sheet = 0;
        std::uint16_t Row = 0;
        std::uint8_t Col = 0;
    };
    // For each cell, the index of the formula Find would answer, or -1. One sweep down the
    // rows of each sheet: O((formulas + cells) log) however the formulas overlap.
    std::vector<std::int32_t> FindAll(const std::vector<TCellQuery>& cells) const;

    std::size_t Count() const { return items_.size(); }
    const TXLSSharedFormula& Item(std::size_t i) const { return items_.at(i); }
    void Clear() { items_.clear(); }

  private:
    std::vector<TXLSSharedFormula> items_;
};

}  // namespace morvik::xls
