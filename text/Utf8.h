// UTF-8 and UTF-16, the two Unicode forms the program meets. One rule for what well-formed
// UTF-8 is, used by every reader that must tell UTF-8 from Windows-1250 or refuse a part:
// Unicode's table of well-formed byte sequences, so no overlong form, no encoded surrogate and
// nothing past U+10FFFF. Noncharacters (U+FFFE, U+FFFF…) are well-formed and pass. Wherever
// text is repaired rather than refused, each byte that starts no well-formed sequence becomes
// one U+FFFD, and decoding goes on at the next byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace morvik {

// The check over text that arrives in pieces (a part read from an archive); a character may be
// split between two pieces.
class Utf8Check {
  public:
    // False from the first byte that cannot stand where it does; the check is then spent.
    bool Feed(std::string_view bytes);
    // True when no character is left cut short by the bytes fed so far.
    bool AtBoundary() const { return need_ == 0; }

  private:
    // Continuation bytes still due, and the range the next of them must lie in.
    std::uint8_t need_ = 0, low_ = 0x80, high_ = 0xBF;
};

// Whether the whole text is well-formed UTF-8 (plain ASCII is, and so is empty text).
bool IsValidUtf8(std::string_view text);

// Length of the well-formed sequence starting at text[at], or 0 when none starts there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

// Decodes the sequence at text[at] and moves `at` past it; where none is well-formed, gives
// U+FFFD and moves one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& at);

// The text with every byte that starts no well-formed sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// The first `count` characters of UTF-8 text, never cutting one in two (a byte that continues
// a character goes with the one before it).
std::string_view Utf8Prefix(std::string_view utf8, std::size_t count);

// Utf8Prefix with an ellipsis when something was left out: a field quoted in a message, which a
// long one would fill.
std::string QuoteStart(std::string_view utf8, std::size_t count);

// Appends the UTF-8 form of one code point; values that are no scalar value give U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16 code units to UTF-8, unit by unit, so that a surrogate pair may be split between two
// pieces of input. Pairs are joined; a surrogate without its partner becomes U+FFFD.
class Utf16Decoder {
  public:
    void Append(char16_t unit, std::string& out);
    // The input is over: a high surrogate still waiting becomes U+FFFD.
    void Finish(std::string& out);

  private:
    char16_t high_ = 0;  // a high surrogate waiting for its low half, 0 when none
};

// UTF-16 to UTF-8, from code units or from little-endian bytes, as Utf16Decoder converts; an
// odd trailing byte is ignored.
std::string Utf16ToUtf8(std::u16string_view units);
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes);

// UTF-8 to UTF-16; a byte that starts no well-formed sequence becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

}  // namespace morvik
