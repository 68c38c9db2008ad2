// What the line-based readers share: lines of any ending, numbers as the files write them,
// labels in UTF-8 whatever the file's encoding, and the bounds every reader keeps.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "LandmarkFile.h"

namespace morvik::landmarks::scan {

// More points than any skull with its clouds has; a file past it is refused before the
// vectors grow without end.
inline constexpr std::size_t kMaxPoints = 2'000'000;
inline constexpr std::size_t kMaxSpecimens = 100'000;

// Splits text into lines at CR LF, lone LF or lone CR; `next` answers false at the end.
class Lines {
  public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line);
    long long Number() const { return number_; }  // of the line last given, from 1

  private:
    std::string_view text_;
    std::size_t at_ = 0;
    long long number_ = 0;
};

std::string_view Trim(std::string_view s);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);

// A finite decimal number written with a point ("12", "-3.5", "1e-3", "+2"); false for any
// other text, "nan" and "inf" included.
bool ParseNumber(std::string_view s, double& out);
// Like ParseNumber, refusing with the line and what was found.
double NumberAt(std::string_view s, long long line, std::string_view what);

// The three coordinates tokens[first..first+2] into the point, refusing with the line what
// is not a number.
void ReadCoordinates(const std::vector<std::string_view>& tokens, std::size_t first, long long line,
                     Point& point);

// Whitespace-separated tokens; a token that begins with '"' runs to the next '"' and is given
// without its quotes.
std::vector<std::string_view> Tokens(std::string_view line);

// The text of a label for a message: at most 40 characters, control characters as '?'.
std::string Shown(std::string_view label);

// Adds a point, refusing a file past kMaxPoints.
void AddPoint(Specimen& specimen, Point point, std::size_t& total);

}  // namespace morvik::landmarks::scan
