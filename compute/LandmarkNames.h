// Which of the 22 landmarks (or which euryon cloud) a label written in a digitizing program
// names: one table of the Czech and English names, the abbreviations the window shows and
// the usual anatomical names and abbreviations. Letter case, accents, blanks, hyphens,
// underscores and dots do not count; a paired landmark's side may stand before or after its
// name as dx/sin, R/L, right/left, pravý/levý.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace morvik {

enum class Euryon { None, Right, Left };

struct LabelTarget {
    int row = 0;  // landmark 1..22 (the row of sgImput); 0 for none
    Euryon euryon = Euryon::None;
    bool Matched() const { return row != 0 || euryon != Euryon::None; }
    friend bool operator==(const LabelTarget&, const LabelTarget&) = default;
};

// The label as it is compared: lower case, accents dropped, blanks, quotes and the marks
// -_.,;:/()[] gone.
std::string FoldLabel(std::string_view utf8);

// The built-in table's answer for a label.
LabelTarget MatchLandmarkLabel(std::string_view utf8);

// A lab's own names beside the built-in table: each label to one of the window's
// abbreviations ("G", "APTdx", ... or "EUdx"/"EUsin" for a euryon cloud). Its names are
// folded like the built-in ones and win over them.
class LandmarkNameTable {
  public:
    // False when `target` names no landmark by the built-in table.
    bool Add(std::string_view label, std::string_view target);
    LabelTarget Match(std::string_view utf8) const;
    bool Empty() const { return names_.empty(); }

  private:
    std::map<std::string, LabelTarget> names_;
};

}  // namespace morvik
