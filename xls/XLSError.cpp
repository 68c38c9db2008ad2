#include "XLSError.h"

#include <iterator>

namespace morvik::xls {
namespace {

std::string_view MessageOf(std::uint8_t code) {
    // A code outside the table is our own bug; an empty message beats reading past the table.
    return code < std::size(kXLSErrorMessages) ? kXLSErrorMessages[code] : std::string_view{};
}

std::string Format(std::string_view pattern, std::string_view argument) {
    std::string out;
    out.reserve(pattern.size() + argument.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            out.append(argument);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

}  // namespace

EXLSError::EXLSError(std::uint8_t code)
    : std::runtime_error(std::string(MessageOf(code))), code_(code) {}

EXLSError::EXLSError(std::uint8_t code, std::string_view argument)
    : std::runtime_error(Format(MessageOf(code), argument)), code_(code) {}

}  // namespace morvik::xls
