// Number formats: the table of format codes and patterns, and the rules that classify them.
//
//   TFormatStrings             ordered (code, pattern) entries; starts with the 36 built-ins.
//                              Cells store positions in it, not codes.
//   ClassifyBuiltinFormat(c)   "general", "double", "date" or "" (not a built-in number/date)
//   ClassifyFormatText(p)      "general", "text", "date", "double" or "Integer"
//   CleanFormat(p)             the first section, without padding/fill characters; General
//                              goes only when nothing else is left, \% becomes "%"
//
// Formatting values by a pattern is in NumberFormat.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvik::xls {

struct TNumberFormat {
    std::uint16_t Code = 0;
    std::string Pattern;  // 8-bit text

    bool operator==(const TNumberFormat&) const = default;
};

// Position of "mm/dd/yy" among the built-ins: what a date stored into a General cell gets.
inline constexpr int kDefaultDateFormat = 13;
inline constexpr int kBuiltinFormatCount = 36;

// The longest number format pattern the file format allows, in characters.
inline constexpr std::size_t kMaxFormatPatternLength = 255;

class TFormatStrings {
  public:
    TFormatStrings();  // the 36 built-in entries, MaxCode 49

    int Count() const { return static_cast<int>(entries_.size()); }
    // A copy of entry i; throws EListIndexError ("List index (<i>) out of bounds").
    TNumberFormat Get(int i) const;
    // Entry i without a copy, valid until the next SetFormat; the same error as Get.
    const TNumberFormat& At(int i) const;
    // Position of the entry with `code`, or -1 (a code has one entry: SetFormat replaces).
    int IndexOfCode(std::uint16_t code) const {
        const auto found = positions_.find(code);
        return found == positions_.end() ? -1 : found->second;
    }
    // Replaces the pattern of `code` or appends a new entry; answers the position.
    int SetFormat(std::uint16_t code, std::string pattern);
    std::uint16_t MaxCode() const { return maxCode_; }

  private:
    std::vector<TNumberFormat> entries_;
    // Code -> position: a reader looks a code up for every cell format it reads.
    std::unordered_map<std::uint16_t, int> positions_;
    std::uint16_t maxCode_ = 49;
};

std::string_view ClassifyBuiltinFormat(std::uint16_t code);
std::string_view ClassifyFormatText(std::string_view pattern);
std::string CleanFormat(std::string_view pattern);

}  // namespace morvik::xls
