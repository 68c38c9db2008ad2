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

// Without an argument the message is the table text as it stands, placeholder included.
EXLSError::EXLSError(std::uint8_t code) : morvik::Error(std::string(MessageOf(code)), code) {}

EXLSError::EXLSError(std::uint8_t code, std::string_view argument, std::exception_ptr cause)
    : morvik::Error(Format(MessageOf(code), argument), code, std::move(cause)) {}

EListIndexError::EListIndexError(long long index, std::string_view suffix)
    : morvik::Error("List index (" + std::to_string(index) + ") out of bounds" +
                    std::string(suffix)) {}

void RaiseListIndexError(long long index, const char* suffix) {
    throw EListIndexError(index, suffix);
}

}  // namespace morvik::xls
