// Dimensions from landmarks, products, scores and the sex verdict.
#pragma once

#include <array>
#include <bitset>
#include <cmath>
#include <string>
#include <string_view>

#include "Evidence.h"
#include "Missing.h"
#include "Workspace.h"
#include "text/Decimal.h"

namespace morvik {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

inline Point3 operator-(const Point3& a, const Point3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Point3 operator+(const Point3& a, const Point3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Point3 operator*(double s, const Point3& a) { return {s * a.x, s * a.y, s * a.z}; }
inline double Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Point3 Cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Point3& a) { return std::sqrt(Dot(a, a)); }

double Distance3D(const Point3& a, const Point3& b);

// How a dimension is derived from landmark rows (the indices in DimensionRow::landmarks).
enum class DimensionKind {
    Distance,      // |L[0] - L[1]|
    Euryon,        // distance of the right and left euryon points
    PlaneCosine,   // cosine of A = (L[0]-L[1]) x (L[2]-L[3]) and B = (L[4]-L[5]) x (L[6]-L[7])
    LineCosine,    // cosine of U = L[0]-L[1] and W = L[2]-L[3]
    CentroidSize,  // centroid size of L[0..3]
};

struct DimensionRow {
    std::string_view nameEn;
    std::string_view nameCz;
    DimensionKind kind;
    std::array<int, 8> landmarks;  // rows of sgImput; 0 = unused
    int sign;                      // the vertical flexures take the opposite sign
    int decimals;                  // decimals shown in sgRozmery
};

// Rows 1..17 of sg, sgRozmery and pom, in order (index 0 is row 1). Rows 12-15 of sgImput
// are dacryon, supraorbital notch, frontomalare orbitale and zygoorbitale of the right
// orbit, 16-19 the same of the left. The order of each difference fixes a cosine's sign.
inline constexpr std::array<DimensionRow, kDimensionCount> kDimensionRows{{
    {"G-OP", "G-OP", DimensionKind::Distance, {1, 21}, 1, 6},
    {"EU-EU", "EU-EU", DimensionKind::Euryon, {}, 1, 6},
    {"ZYG-ZYG", "ZYG-ZYG", DimensionKind::Distance, {8, 9}, 1, 6},
    {"N-P", "N-P", DimensionKind::Distance, {2, 5}, 1, 6},
    {"RH-NS", "RH-NS", DimensionKind::Distance, {3, 4}, 1, 6},
    {"B-BA", "B-BA", DimensionKind::Distance, {20, 22}, 1, 6},
    {"APT-APT", "APT-APT", DimensionKind::Distance, {6, 7}, 1, 2},
    {"EKT-EKT", "EKT-EKT", DimensionKind::Distance, {10, 11}, 1, 6},
    {"Horizontal flexure dx",
     "Horizontální ohyb dx",
     DimensionKind::PlaneCosine,
     {13, 14, 13, 12, 15, 14, 15, 12},
     1,
     6},
    {"Horizontal flexure sin",
     "Horizontální ohyb sin",
     DimensionKind::PlaneCosine,
     {17, 18, 17, 16, 19, 18, 19, 16},
     1,
     6},
    {"Vertical flexure dx",
     "Vertikální ohyb dx",
     DimensionKind::PlaneCosine,
     {13, 14, 14, 15, 12, 13, 12, 15},
     -1,
     6},
    {"Vertical flexure sin",
     "Vertikální ohyb sin",
     DimensionKind::PlaneCosine,
     {17, 18, 18, 19, 16, 17, 16, 19},
     -1,
     6},
    {"Lateral flexure",
     "Laterální ohyb",
     DimensionKind::PlaneCosine,
     {13, 14, 14, 15, 17, 18, 18, 19},
     1,
     6},
    {"FMO-D/D-FMO", "FMO-D/D-FMO", DimensionKind::LineCosine, {12, 14, 16, 18}, 1, 6},
    {"ZOR-D/D-ZOR", "ZOR-D/D-ZOR", DimensionKind::LineCosine, {12, 15, 16, 19}, 1, 6},
    {"Orbital size dx", "Velikost orbity dx", DimensionKind::CentroidSize, {12, 13, 14, 15}, 1, 6},
    {"Orbital size sin",
     "Velikost orbity sin",
     DimensionKind::CentroidSize,
     {16, 17, 18, 19},
     1,
     6},
}};

// Equation columns 1..7 as the window, the report and the messages number them.
inline constexpr std::array<std::string_view, kEquationCount> kEquationNumbers{"6", "5", "7", "3",
                                                                               "1", "4", "2"};

// Where a number that cannot be read stands.
enum class ValuePlace {
    Landmark,     // sgImput: row = landmark row, col = 2..4 (X, Y, Z)
    RightCloud,   // sgImput2: row = point row, col = 0..2
    LeftCloud,    // sgImput3
    Coefficient,  // sg: col = equation column, row = dimension row
    Constant,     // sg row 18: col = equation column
    Dimension,    // sgRozmery: row = dimension row
};

// A cell whose text is not a number. The conversion's own text follows a sentence that
// names the cell (the landmark or cloud point and its axis, the dimension, the coefficient),
// so a user can find it; what() is the English wording. With the conversion's own error, the
// text found is quoted in the message's language.
class ECellValueError : public EConvertError {
  public:
    ECellValueError(ValuePlace place, int col, int row, const EConvertError& conversion);

    ValuePlace Place() const { return place_; }
    int Col() const { return col_; }
    int Row() const { return row_; }
    const std::string& ConversionText() const { return conversionText_; }
    // The message in a language code: "cz" in Czech, anything else in English.
    std::string Text(std::string_view lang) const;

  private:
    ValuePlace place_;
    int col_;
    int row_;
    std::string conversionText_;
};

// Landmark row (1..22) of sgImput as a point; empty cells read as 0.
Point3 LandmarkPoint(const Workspace& ws, int row);

// Mean of the unbroken run of points from row 1 up to the first empty Y cell; the origin
// for an empty cloud. `place` names the cloud in a conversion error.
Point3 EuryonPoint(const TextTable& cloud, ValuePlace place = ValuePlace::RightCloud);

// Full-precision value of dimension row r (1..17), reading only the cells it needs.
double DimensionValue(const Workspace& ws, int r);

// Verdict words for a language code; codes other than "cz" give the English words.
struct VerdictWords {
    std::string_view male;
    std::string_view female;
    std::string_view indeterminate;
};
VerdictWords VerdictWordsFor(std::string_view lang);

// Bit k-1 for equation column k (1..7).
using EquationSet = std::bitset<kEquationCount>;

// What a calculation could not use, for the line the window shows and the batch's notes.
struct CalculationGaps {
    bool fromMeasurements = false;  // CalculateFromDimensions: the landmark fields stay empty
    LandmarkSet landmarks;          // landmarks with an empty coordinate
    bool rightCloud = false;        // euryon clouds without a point
    bool leftCloud = false;
    DimensionSet dimensions;  // missing dimensions an equation in use has a coefficient on
    EquationSet leftOut;      // equations in use that cast no vote because of those
    // Calculate: every dimension its landmarks give, at full precision; none where missing.
    DimensionValues values;
};

// Equations in use with a coefficient (a non-empty sg cell) on a missing dimension.
EquationSet EquationsLeftOut(const Workspace& ws, const DimensionSet& missing);

// Empties the product cells (1..7, 1..17) of pom.
void ClearIntermediate(Workspace& ws);

// Computes the 17 dimensions from sgImput, sgImput2 and sgImput3 and writes sgRozmery
// and the products of pom for every equation that uses a dimension. This is the geometry
// alone: every landmark is read as it stands, an empty cell as 0. Calculate is what leaves
// the missing dimensions (MissingDimensions) out.
void ComputeDimensions(Workspace& ws);

// Score of equation column k (1..7): sum of its products in pom plus its constant.
double EquationScore(const Workspace& ws, int k);

// What a reference model added to a calculation, by equation column (index k-1).
struct EvidenceResult {
    std::array<EquationEvidence, kEquationCount> equations;
    std::vector<Atypical> atypical;                       // measurements far from both sexes' means
    std::optional<std::pair<double, double>> typicality;  // over all present dimensions (M, F)
};

// The vote a result label shows: 'M', 'F', '?' for a score whose posterior is below the
// model's threshold (shown in brackets), 0 for none ("..."). The window, the vote line and
// the batch all read the labels through this.
char VoteOfLabel(std::string_view text);

// The equation of column k (1..7) as its coefficient cells stand; an empty cell is 0.
Equation ColumnEquation(const Workspace& ws, int k);

// Fills the seven result labels and the verdict from pom, sg and the use flags. An equation
// that has a coefficient on a dimension in `missing` casts no vote and shows "..." — unless
// the workspace has a reference model: it is then refitted on the dimensions present
// (`values`, the skull's dimensions) and its score is shown with a '*'.
void EvaluateEquations(Workspace& ws, const DimensionSet& missing = {},
                       const DimensionValues* values = nullptr);

// The result labels and the verdict as before any calculation: "..." and the start text.
void ClearResult(Workspace& ws);

// The verdict label's text before any calculation, in a language code.
std::string StartVerdictText(std::string_view lang);

// The Calculate action: ClearIntermediate, the dimensions and products ComputeDimensions
// writes except the missing ones (MissingDimensions), EvaluateEquations.
CalculationGaps Calculate(Workspace& ws);

// The Calculate-from-measurements action: products from the dimensions table, where an
// empty cell is a missing dimension.
CalculationGaps CalculateFromDimensions(Workspace& ws);

}  // namespace morvik
