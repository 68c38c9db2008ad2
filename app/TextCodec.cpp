#include "TextCodec.h"

#include <array>
#include <cstdint>
#include <utility>

namespace morvik::app {
namespace {

// Upper and lower case pairs outside the regular block 0xC0-0xDE / 0xE0-0xFE.
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 10> kCasePairs{{
    {0x8A, 0x9A},
    {0x8C, 0x9C},
    {0x8D, 0x9D},
    {0x8E, 0x9E},
    {0x8F, 0x9F},
    {0xA3, 0xB3},
    {0xA5, 0xB9},
    {0xAA, 0xBA},
    {0xAF, 0xBF},
    {0xBC, 0xBE},
}};

}  // namespace

char FoldCp1250(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 0x20);
    if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 0x20);
    for (const auto& [upper, lower] : kCasePairs) {
        if (b == upper) return static_cast<char>(lower);
    }
    return c;
}

}  // namespace morvik::app
