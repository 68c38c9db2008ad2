// Text conversions at the edges of the reader: Windows-1250 (the program's 8-bit code page)
// and UTF-16LE on one side, UTF-8 (all text inside the program) on the other.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace morvik {

// The code point of one Windows-1250 byte. The five bytes the code page leaves unassigned
// (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control of the same value, as the platform's
// own conversion does, so that no byte is lost on the way in.
char32_t Cp1250ToCodePoint(std::uint8_t byte);

// Windows-1250 bytes to UTF-8.
std::string Cp1250ToUtf8(std::string_view bytes);
std::string Cp1250ToUtf8(std::span<const std::uint8_t> bytes);

// UTF-16 to UTF-8, from code units or from little-endian bytes. Surrogate pairs are joined;
// an unpaired surrogate becomes U+FFFD; an odd trailing byte is ignored.
std::string Utf16ToUtf8(std::u16string_view units);
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes);

// UTF-8 to UTF-16. A malformed sequence (a stray or missing continuation byte, an overlong
// form, a surrogate, a value past U+10FFFF) becomes one U+FFFD per byte it spoils.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-8 to Windows-1250. A character the code page lacks, or a malformed UTF-8 sequence,
// becomes '?', the platform's default character.
std::string Utf8ToCp1250(std::string_view utf8);

// Appends the UTF-8 form of one code point; values that are no scalar value give U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// Lower case of one Windows-1250 byte, for names that compare without regard to case.
char FoldCp1250(char c);

}  // namespace morvik
