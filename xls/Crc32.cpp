#include "Crc32.h"

#include <array>

namespace morvik::xls {
namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
    std::uint32_t reg = kCrc32Seed;
    for (char ch : bytes) {
        reg = kTable[(reg ^ static_cast<unsigned char>(ch)) & 0xFFu] ^ (reg >> 8);
    }
    return reg;
}

}  // namespace morvik::xls
