#include "Lists.h"

#include <utility>

#include "text/ByteReader.h"

namespace morvik::xls {

bool TStringStack::Pop(std::string& out) {
    if (items_.empty()) return false;
    out = std::move(items_.back());
    items_.pop_back();
    return true;
}

void TXLSSharedFormulas::Add(std::uint16_t sheet, std::span<const std::uint8_t> payload) {
    if (payload.size() < kHeaderSize) return;
    TXLSSharedFormula f;
    f.Sheet = sheet;
    f.FirstRow = LoadU16(payload.data());
    f.LastRow = LoadU16(payload.data() + 2);
    f.FirstCol = payload[4];
    f.LastCol = payload[5];
    f.Tokens.assign(payload.begin() + kHeaderSize, payload.end());
    items_.push_back(std::move(f));
}

std::span<const std::uint8_t> TXLSSharedFormulas::Find(std::uint16_t sheet, std::uint16_t row,
                                                       std::uint8_t col) const {
    for (const auto& f : items_) {
        if (f.Sheet == sheet && f.FirstRow <= row && row <= f.LastRow && f.FirstCol <= col &&
            col <= f.LastCol) {
            return f.Tokens;
        }
    }
    return {};
}

}  // namespace morvik::xls
