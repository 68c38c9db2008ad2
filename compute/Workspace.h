// The measurement workspace: the six text tables every part of the program exchanges
// measurements through, the use flags, the result labels and the verdict.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvik {

// The text with its first '.' replaced by ',': the decimal point of files and pastes, read
// the same by the tables' number conversion.
std::string FirstPointToComma(std::string text);

// A table of UTF-8 text cells addressed (column, row), both from 0. Reading outside the
// table gives the empty text; only the row count may change after construction.
//
// A cell written from a number keeps the number, and writes its text only when the text is
// first asked for: an imported cloud of thousands of points is then read by value and its
// texts are made only if shown. Reading a cell may therefore write its text: a table is not
// for concurrent readers.
class TextTable {
  public:
    TextTable(int colCount, int rowCount);

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }

    const std::string& Cell(int col, int row) const;
    // Cell(col, row).empty(), without writing a number's text.
    bool IsEmpty(int col, int row) const;
    // Writing outside the table is ignored, as reading outside it yields the empty text.
    void SetCell(int col, int row, std::string_view text);
    void ClearCell(int col, int row) { SetCell(col, row, {}); }
    // The number's general text (GeneralNumberText), with the number kept beside it.
    void SetNumber(int col, int row, double value);
    // The number a cell was written from by SetNumber, when its text reads back as exactly
    // that number; any other write forgets it.
    bool Number(int col, int row, double& value) const;
    // The first decimal point of the cell's text becomes a comma (morvik::FirstPointToComma),
    // which reads the same: a number kept beside the text stays.
    void FirstPointToComma(int col, int row);

    // Grows or shrinks the table; new rows are empty.
    void SetRowCount(int rowCount);

  private:
    std::size_t Index(int col, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount_) +
               static_cast<std::size_t>(col);
    }
    bool Inside(int col, int row) const {
        return col >= 0 && row >= 0 && col < colCount_ && row < rowCount_;
    }
    void WriteNumberText(std::size_t i) const;

    // What a cell written from a number has beside its text (flags).
    enum : std::uint8_t { kExact = 1, kTextPending = 2, kComma = 4 };

    int colCount_;
    int rowCount_;
    mutable std::vector<std::string> cells_;  // row-major: a cloud is read row by row
    // Beside cells_ once a number is written.
    std::vector<double> numbers_;
    mutable std::vector<std::uint8_t> numberState_;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kGrey{128, 128, 128};

struct LabelState {
    std::string text;
    Rgb color = kBlack;
};

inline constexpr int kEquationCount = 7;
inline constexpr int kDimensionCount = 17;
inline constexpr int kLandmarkCount = 22;
inline constexpr int kConstantRow = 18;  // row of sg holding each equation's constant
inline constexpr int kEuryonDefaultRows = 1000;

struct ReferenceModel;  // Evidence.h
struct EvidenceResult;  // Compute.h

// The tables carry the names of the window's grids (see the glossary in app/fMain.h):
// sgImput the landmarks, sgImput2/3 the right/left euryon clouds, sg the coefficients,
// sgRozmery the dimensions ("rozměry"), pom the products ("pomocná", auxiliary); Label1 is
// the verdict, result the seven scores, cb the check boxes of the equations in use.
struct Workspace {
    TextTable sgImput{5, 23};                   // landmarks: name, abbrev, X, Y, Z
    TextTable sgImput2{3, kEuryonDefaultRows};  // right euryon cloud
    TextTable sgImput3{3, kEuryonDefaultRows};  // left euryon cloud
    TextTable sg{8, 19};                        // coefficients and constants
    TextTable sgRozmery{2, 18};                 // dimensions
    TextTable pom{8, 18};                       // products (read-only for the user)

    std::array<bool, kEquationCount> cb{true, true, true, true, true, true, true};
    std::array<LabelState, kEquationCount> result{
        LabelState{"..."}, LabelState{"..."}, LabelState{"..."}, LabelState{"..."},
        LabelState{"..."}, LabelState{"..."}, LabelState{"..."}};
    LabelState Label1;
    // The labels and the verdict were computed from the tables as they stand: cleared by
    // every change of the data, coefficients or use flags, set by a finished calculation.
    bool resultCurrent = false;
    std::string lang = "cz";  // "cz" or "en"

    // The chosen set's reference model, when it has a usable one: the scores then carry
    // posteriors and typicalities, and an equation missing a dimension is refitted.
    std::shared_ptr<const ReferenceModel> model;
    // What the model added to the current result; none without a model.
    std::shared_ptr<const EvidenceResult> evidence;
};

}  // namespace morvik
