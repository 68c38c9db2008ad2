#include "text/Cp1250.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morvik::xls {
namespace {

TEST(Cp1250, CzechLettersToUtf8) {
    // "Příliš žluťoučký kůň" as Windows-1250 bytes.
    const std::string bytes = "P\xF8\xED\x6Ci\x9A \x9Elu\x9Do\x75\xE8k\xFD k\xF9\xF2";
    EXPECT_EQ(Cp1250ToUtf8(bytes), "Příliš žluťoučký kůň");
}

TEST(Cp1250, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(all)), all);
}

TEST(Cp1250, SpecialPositions) {
    struct Case {
        std::uint8_t byte;
        char32_t codePoint;
    };
    const Case cases[] = {
        {0x41, U'A'}, {0x80, U'€'}, {0x81, 0x81}, {0x8A, U'Š'}, {0xA0, 0xA0},
        {0xA1, U'ˇ'}, {0xC8, U'Č'}, {0xD9, U'Ů'}, {0xE8, U'č'}, {0xFF, U'˙'},
    };
    for (const auto& c : cases) EXPECT_EQ(Cp1250ToCodePoint(c.byte), c.codePoint) << int{c.byte};
}

TEST(Cp1250, Utf8WithoutCodePageCharacterBecomesQuestionMark) {
    EXPECT_EQ(Utf8ToCp1250("a\xE2\x82\xAC"
                           "b"),
              "a\x80"
              "b");                                  // euro sign is in the page
    EXPECT_EQ(Utf8ToCp1250("\xCE\xB1"), "?");        // Greek alpha is not
    EXPECT_EQ(Utf8ToCp1250("x\xC3"), "x?");          // truncated sequence
    EXPECT_EQ(Utf8ToCp1250("\xC0\x80"), "??");       // overlong NUL
    EXPECT_EQ(Utf8ToCp1250("\xED\xA0\x80"), "???");  // encoded surrogate
}

TEST(Utf16, ToUtf8) {
    const std::vector<std::uint8_t> text = {
        0x50, 0x00,              // P
        0x59, 0x01,              // ř (U+0159)
        0x3D, 0xD8, 0x00, 0xDE,  // U+1F600 as a surrogate pair
        0x00, 0xD8,              // lone high surrogate
        0x41,                    // odd trailing byte
    };
    EXPECT_EQ(Utf16LeToUtf8(text), "Př\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

// Every decoder of the reader (directory names, record strings, sheet names) goes through
// this one; the cases are where a hand-written loop tends to go wrong.
TEST(Utf16, SurrogatesFromCodeUnits) {
    struct Case {
        std::u16string units;
        std::string utf8;
    };
    const Case cases[] = {
        {u"", ""},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},                      // a pair
        {{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},              // reversed: two lone halves
        {{0xD83D, u'x'}, "\xEF\xBF\xBDx"},                           // high without low
        {{0xD83D}, "\xEF\xBF\xBD"},                                  // high at the very end
        {{0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},  // the second high pairs
        {{u'a', 0x0000, u'b'}, std::string("a\0b", 3)},              // NUL is kept, not an end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.units), c.utf8);
        std::vector<std::uint8_t> bytes;
        for (char16_t u : c.units) {
            bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        EXPECT_EQ(Utf16LeToUtf8(bytes), c.utf8);
    }
}

}  // namespace
}  // namespace morvik::xls
