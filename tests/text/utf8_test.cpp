#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace morvik {
namespace {

// Whether the check, fed one byte at a time, accepts the text: a character split between two
// pieces of an archive's part must read as it does whole.
bool ValidInPieces(std::string_view text) {
    Utf8Check check;
    for (char c : text) {
        if (!check.Feed(std::string_view(&c, 1))) return false;
    }
    return check.AtBoundary();
}

// Whether the text is a row of sequences as Utf8SequenceLength finds them.
bool SplitsIntoSequences(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, at);
        if (n == 0) return false;
        at += n;
    }
    return true;
}

// Over every byte string of one to three bytes (four bytes: every lead and second byte, with
// the continuation bytes' two ends after them) the sequences accepted must number exactly the
// scalar values that take that many bytes, and every scalar value must encode to one that
// decodes back to it. Together these pin the accepted set to the well-formed one at both edges
// of every range (overlong forms, surrogates, past U+10FFFF) without restating a table. The
// three ways of asking (whole text, in pieces, sequence by sequence) must agree on all of them.
TEST(Utf8, AcceptsExactlyTheEncodingsOfScalarValues) {
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp == 0xD800) cp = 0xE000;
        std::string bytes;
        AppendUtf8(bytes, cp);
        std::size_t at = 0;
        ASSERT_EQ(DecodeUtf8(bytes, at), cp) << std::hex << std::uint32_t{cp};
        ASSERT_EQ(at, bytes.size()) << std::hex << std::uint32_t{cp};
    }

    const auto countSequences = [](std::size_t length, auto&& bytesOf, std::uint32_t strings) {
        std::size_t count = 0;
        std::string s(length, '\0');
        for (std::uint32_t v = 0; v < strings; ++v) {
            bytesOf(s, v);
            if (Utf8SequenceLength(s, 0) == length) ++count;
            const bool valid = IsValidUtf8(s);
            if (valid != SplitsIntoSequences(s) || valid != ValidInPieces(s)) {
                ADD_FAILURE() << "the checks disagree on " << std::hex << v;
                break;
            }
        }
        return count;
    };
    const auto bigEndian = [](std::string& s, std::uint32_t v) {
        for (std::size_t k = 0; k < s.size(); ++k)
            s[k] = static_cast<char>(v >> (8 * (s.size() - 1 - k)));
    };
    const auto leadSecondAndEnds = [](std::string& s, std::uint32_t v) {
        s[0] = static_cast<char>(v >> 10);
        s[1] = static_cast<char>(v >> 2);
        s[2] = static_cast<char>(v & 2 ? 0xBF : 0x80);
        s[3] = static_cast<char>(v & 1 ? 0xBF : 0x80);
    };
    EXPECT_EQ(countSequences(1, bigEndian, 0x100), 0x80u);
    EXPECT_EQ(countSequences(2, bigEndian, 0x10000), 0x800u - 0x80);
    EXPECT_EQ(countSequences(3, bigEndian, 0x1000000), 0x10000u - 0x800 - 0x800);
    // 0x100000 values, 64 * 64 of them behind each valid lead and second byte, four sampled.
    EXPECT_EQ(countSequences(4, leadSecondAndEnds, 0x40000), 0x100000u / (64 * 64) * 4);
}

// Where text is repaired, each byte that starts no well-formed sequence becomes one U+FFFD and
// reading goes on at the next byte, the same for every conversion; what is well-formed stays,
// noncharacters included. The ASCII run before a fault is long enough to take the check's
// eight-byte stride.
TEST(Utf8, RepairsAndRefusesByteByByte) {
    const std::string kBad = "\xEF\xBF\xBD";
    struct Case {
        std::string in, repaired;
    };
    const Case cases[] = {
        {"a\xE2\x82"
         "b",
         "a" + kBad + kBad + "b"},  // cut short: lead and continuation each replaced
        {"\xF0\x9F\x98\xF0\x9F\x98\x80", kBad + kBad + kBad + "\xF0\x9F\x98\x80"},
        {"\xC0\x80", kBad + kBad},                                              // overlong NUL
        {"\xED\xA0\x80\xED\xB0\x80", kBad + kBad + kBad + kBad + kBad + kBad},  // a pair
        {"\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBE\xEF\xBF\xBF"},  // U+FFFE, U+FFFF stand
        {"\xF4\x8F\xBF\xBF\xF4\x90\x80\x80", "\xF4\x8F\xBF\xBF" + kBad + kBad + kBad + kBad},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValidUtf8(c.in), c.repaired);
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.in)), c.repaired);
        EXPECT_EQ(IsValidUtf8(c.in), c.in == c.repaired);
    }

    const std::string ascii(16, 'x');
    for (std::size_t at = 0; at <= ascii.size(); ++at) {
        for (std::string_view bad : {"\x80", "\xFF", "\xE2\x82"}) {
            std::string text = ascii;
            text.insert(at, bad);
            EXPECT_FALSE(IsValidUtf8(text)) << at;
            EXPECT_TRUE(IsValidUtf8(ascii.substr(0, at) + "\xE2\x82\xAC" + ascii));
        }
    }
    // After a refusal the check stays refused: a reader that kept going would take later
    // pieces for text.
    Utf8Check check;
    EXPECT_FALSE(check.Feed("\xC3("));
    EXPECT_FALSE(check.Feed("a"));
    EXPECT_FALSE(check.AtBoundary());
}

}  // namespace
}  // namespace morvik
