// Windows-1250, the program's 8-bit code page, to and from UTF-8 (all text inside the
// program). The Unicode forms themselves are in Utf8.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Code-page text goes through UTF-8, so its callers use those functions as well.
#include "Utf8.h"

namespace morvik {

// The code point of one Windows-1250 byte. The five bytes the code page leaves unassigned
// (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control of the same value, as the platform's
// own conversion does, so that no byte is lost on the way in.
char32_t Cp1250ToCodePoint(std::uint8_t byte);

// Windows-1250 bytes to UTF-8.
std::string Cp1250ToUtf8(std::string_view bytes);
std::string Cp1250ToUtf8(std::span<const std::uint8_t> bytes);

// A text file's bytes as UTF-8: a UTF-8 byte order mark dropped; bytes that are no valid UTF-8
// taken as Windows-1250, the encoding of the lab machines files come from.
std::string TextAsUtf8(std::string_view bytes);

// UTF-8 to Windows-1250. A character the code page lacks, or a byte that starts no
// well-formed UTF-8 sequence, becomes '?', the platform's default character.
std::string Utf8ToCp1250(std::string_view utf8);

// Lower case of one Windows-1250 byte, for names that compare without regard to case.
char FoldCp1250(char c);

}  // namespace morvik
