// The pieces of PDF syntax the writer and its fonts share.
#pragma once

#include <string>
#include <string_view>

namespace morvik::pdf {

// A number as PDF writes it: at most `decimals` places, no trailing zeros, never "-0"; a value
// that is not finite as 0.
void Number(std::string& out, double v, int decimals);
// Four hexadecimal digits.
void Hex16(std::string& out, unsigned v);
// A PDF text string: plain ASCII as it is, anything else as UTF-16 with its byte order mark.
std::string TextString(std::string_view utf8);
// 32 hexadecimal digits that tell contents apart (not for security): the same bytes, the same
// digits.
std::string Fingerprint(std::string_view bytes);
// The bytes as a zlib stream (FlateDecode) at libdeflate's `level` (1 fastest … 12 smallest).
std::string Deflate(std::string_view bytes, int level);

}  // namespace morvik::pdf
