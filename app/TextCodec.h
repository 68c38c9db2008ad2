// Windows-1250 at the file boundary: the program holds UTF-8, its files hold 8-bit text.
#pragma once

#include <string>
#include <string_view>

namespace morvik::app {

// Characters the code page cannot hold become '?'; malformed UTF-8 bytes do too.
std::string Utf8ToCp1250(std::string_view utf8);
std::string Cp1250ToUtf8(std::string_view bytes);

// Lower case of one Windows-1250 byte, for names that compare without regard to case.
char FoldCp1250(char c);

}  // namespace morvik::app
