// Formula texts rendered when asked for. A load keeps each formula's tokens, not its text:
// the text of one cell of a shared formula can be hundreds of times the bytes that name it,
// and a sheet of such cells would hold far more text than the file holds bytes.
#pragma once

#include <cstdint>
#include <string>

namespace morvik::xls {

class TCell;

class TFormulaSource {
  public:
    virtual ~TFormulaSource() = default;
    // The text of formula `id` as `cell` shows it; empty when it cannot be rendered.
    virtual std::string Text(std::uint32_t id, const TCell& cell) const = 0;
};

}  // namespace morvik::xls
