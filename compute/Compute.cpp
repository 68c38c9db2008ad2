#include "Compute.h"

#include <cmath>
#include <string>

#include "Landmarks.h"
#include "text/Decimal.h"

namespace morvik {

namespace {

constexpr int kLandmarkFirstCoordinateCol = 2;

// Degenerate geometry (coincident or collinear landmarks) gives a zero-length vector; that
// reads as a cosine of 0 rather than a failure.
double Cosine(const Point3& a, const Point3& b) {
    const double lengths = Length(a) * Length(b);
    if (lengths == 0.0) return 0.0;
    return Dot(a, b) / lengths;
}

double CentroidSize(const Point3& p1, const Point3& p2, const Point3& p3, const Point3& p4) {
    const Point3 q{(p1.x + p2.x + p3.x + p4.x) / 4, (p1.y + p2.y + p3.y + p4.y) / 4,
                   (p1.z + p2.z + p3.z + p4.z) / 4};
    const Point3 d1 = p1 - q, d2 = p2 - q, d3 = p3 - q, d4 = p4 - q;
    return std::sqrt(Dot(d1, d1) + Dot(d2, d2) + Dot(d3, d3) + Dot(d4, d4));
}

bool ColumnIsEmpty(const TextTable& sg, int k) {
    for (int r = 1; r <= kConstantRow; ++r)
        if (!sg.Cell(k, r).empty()) return false;
    return true;
}

double ReadNumber(const std::string& text, ValuePlace place, int col, int row) {
    try {
        return ParseDecimal(text);
    } catch (const EConvertError& e) {
        throw ECellValueError(place, col, row, e);
    }
}

// A cell imported from a workbook number holds that number already: its text would read back
// as exactly it.
double ReadCell(const TextTable& table, int col, int row, ValuePlace place) {
    double value = 0;
    if (table.Number(col, row, value)) return value;
    return ReadNumber(table.Cell(col, row), place, col, row);
}

std::string_view Axis(int col) {
    static constexpr std::array<std::string_view, 3> kAxes{"X", "Y", "Z"};
    return col >= 0 && col < 3 ? kAxes[static_cast<std::size_t>(col)] : std::string_view("?");
}

std::string_view DimensionName(int row, bool czech) {
    if (row < 1 || row > kDimensionCount) return "?";
    const DimensionRow& dim = kDimensionRows[static_cast<std::size_t>(row - 1)];
    return czech ? dim.nameCz : dim.nameEn;
}

std::string_view EquationNumber(int k) {
    return k >= 1 && k <= kEquationCount ? kEquationNumbers[static_cast<std::size_t>(k - 1)]
                                         : std::string_view("?");
}

std::string Join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) out += part;
    return out;
}

// Missing dimensions that some equation in use has a coefficient on.
DimensionSet NeededDimensions(const Workspace& ws, const DimensionSet& missing) {
    DimensionSet needed;
    for (int r = 1; r <= kDimensionCount; ++r) {
        if (!missing.test(static_cast<std::size_t>(r - 1))) continue;
        for (int k = 1; k <= kEquationCount; ++k) {
            if (ws.cb[static_cast<std::size_t>(k - 1)] && !ws.sg.Cell(k, r).empty())
                needed.set(static_cast<std::size_t>(r - 1));
        }
    }
    return needed;
}

}  // namespace

namespace {

std::string CellValueMessage(ValuePlace place, int col, int row, const std::string& conversionText,
                             const std::string* quoted, std::string_view lang) {
    const bool cz = lang == "cz";
    std::string sentence;
    switch (place) {
        case ValuePlace::Landmark: {
            const std::string_view name =
                row >= 1 && row <= kLandmarkCount
                    ? kLandmarks[static_cast<std::size_t>(row - 1)].abbreviation
                    : std::string_view("?");
            sentence =
                cz ? Join({"Nelze přečíst souřadnici ", Axis(col - 2), " bodu ", name})
                   : Join({"Cannot read the ", Axis(col - 2), " coordinate of landmark ", name});
            break;
        }
        case ValuePlace::RightCloud:
        case ValuePlace::LeftCloud: {
            const std::string_view cloud =
                place == ValuePlace::RightCloud ? "euryon dx" : "euryon sin";
            const std::string point = std::to_string(row);
            sentence = cz ? Join({"Nelze přečíst souřadnici ", Axis(col), " bodu ", point,
                                  " mračna ", cloud})
                          : Join({"Cannot read the ", Axis(col), " coordinate of point ", point,
                                  " of the ", cloud, " cloud"});
            break;
        }
        case ValuePlace::Coefficient:
            sentence = cz ? Join({"Nelze přečíst koeficient rozměru ", DimensionName(row, true),
                                  " v rovnici ", EquationNumber(col)})
                          : Join({"Cannot read the coefficient of ", DimensionName(row, false),
                                  " in equation ", EquationNumber(col)});
            break;
        case ValuePlace::Constant:
            sentence = cz ? Join({"Nelze přečíst konstantu rovnice ", EquationNumber(col)})
                          : Join({"Cannot read the constant of equation ", EquationNumber(col)});
            break;
        case ValuePlace::Dimension:
            sentence = cz ? Join({"Nelze přečíst rozměr ", DimensionName(row, true)})
                          : Join({"Cannot read the dimension ", DimensionName(row, false)});
            break;
    }
    if (cz && quoted != nullptr) return sentence + " („" + *quoted + "“ není platné číslo).";
    return sentence + " (" + conversionText + ").";
}

}  // namespace

// what() is the English text, as every other error's.
ECellValueError::ECellValueError(ValuePlace place, int col, int row,
                                 const EConvertError& conversion)
    : EConvertError(CellValueMessage(place, col, row, conversion.what(), nullptr, "en"),
                    conversion.Quoted()),
      place_(place),
      col_(col),
      row_(row),
      conversionText_(conversion.what()) {}

std::string ECellValueError::Text(std::string_view lang) const {
    return CellValueMessage(place_, col_, row_, conversionText_, Quoted() ? &*Quoted() : nullptr,
                            lang);
}

double Distance3D(const Point3& a, const Point3& b) { return Length(a - b); }

Point3 LandmarkPoint(const Workspace& ws, int row) {
    const TextTable& t = ws.sgImput;
    const auto read = [&](int col) { return ReadCell(t, col, row, ValuePlace::Landmark); };
    return {read(kLandmarkFirstCoordinateCol), read(kLandmarkFirstCoordinateCol + 1),
            read(kLandmarkFirstCoordinateCol + 2)};
}

Point3 EuryonPoint(const TextTable& cloud, ValuePlace place) {
    Point3 sum;
    const int n = CloudPointCount(cloud);
    for (int row = 1; row <= n; ++row) {
        sum.x += ReadCell(cloud, 0, row, place);
        sum.y += ReadCell(cloud, 1, row, place);
        sum.z += ReadCell(cloud, 2, row, place);
    }
    if (n == 0) return {};
    const double count = static_cast<double>(n);
    return {sum.x / count, sum.y / count, sum.z / count};
}

double DimensionValue(const Workspace& ws, int r) {
    const DimensionRow& dim = kDimensionRows.at(static_cast<std::size_t>(r - 1));
    if (dim.kind == DimensionKind::Euryon)
        return Distance3D(EuryonPoint(ws.sgImput2, ValuePlace::RightCloud),
                          EuryonPoint(ws.sgImput3, ValuePlace::LeftCloud));

    // Read each landmark the row needs once, in row order, so a bad cell fails the same
    // way whichever formula uses it.
    std::array<Point3, kLandmarkCount + 1> l{};
    std::array<bool, kLandmarkCount + 1> needed{};
    for (int row : dim.landmarks)
        if (row > 0 && row <= kLandmarkCount) needed[static_cast<std::size_t>(row)] = true;
    for (int row = 1; row <= kLandmarkCount; ++row)
        if (needed[static_cast<std::size_t>(row)])
            l[static_cast<std::size_t>(row)] = LandmarkPoint(ws, row);

    const auto L = [&](int i) -> const Point3& {
        return l[static_cast<std::size_t>(dim.landmarks[static_cast<std::size_t>(i)])];
    };
    switch (dim.kind) {
        case DimensionKind::Distance:
            return Distance3D(L(0), L(1));
        case DimensionKind::PlaneCosine: {
            const Point3 a = Cross(L(0) - L(1), L(2) - L(3));
            const Point3 b = Cross(L(4) - L(5), L(6) - L(7));
            return dim.sign * Cosine(a, b);
        }
        case DimensionKind::LineCosine:
            return dim.sign * Cosine(L(0) - L(1), L(2) - L(3));
        case DimensionKind::CentroidSize:
            return CentroidSize(L(0), L(1), L(2), L(3));
        case DimensionKind::Euryon:
            break;
    }
    return 0.0;
}

void ClearIntermediate(Workspace& ws) {
    for (int r = 1; r <= kDimensionCount; ++r)
        for (int k = 1; k <= kEquationCount; ++k) ws.pom.ClearCell(k, r);
}

EquationSet EquationsLeftOut(const Workspace& ws, const DimensionSet& missing) {
    EquationSet leftOut;
    for (int k = 1; k <= kEquationCount; ++k) {
        if (!ws.cb[static_cast<std::size_t>(k - 1)]) continue;
        for (int r = 1; r <= kDimensionCount; ++r) {
            if (missing.test(static_cast<std::size_t>(r - 1)) && !ws.sg.Cell(k, r).empty())
                leftOut.set(static_cast<std::size_t>(k - 1));
        }
    }
    return leftOut;
}

namespace {

// sgRozmery and the products of pom for every dimension row an equation has a coefficient on;
// the rows of `missing` are left empty. Every other dimension's value goes to `values`.
void WriteDimensionsAndProducts(Workspace& ws, const DimensionSet& missing,
                                DimensionValues& values) {
    for (int r = 1; r <= kDimensionCount; ++r) {
        if (missing.test(static_cast<std::size_t>(r - 1))) {
            ws.sgRozmery.ClearCell(1, r);
            continue;
        }
        const double value = DimensionValue(ws, r);
        values[static_cast<std::size_t>(r - 1)] = value;
        const int decimals = kDimensionRows[static_cast<std::size_t>(r - 1)].decimals;
        for (int k = 1; k <= kEquationCount; ++k) {
            const std::string& coefficientText = ws.sg.Cell(k, r);
            if (coefficientText.empty()) continue;
            ws.sgRozmery.SetCell(1, r, FormatDecimal(value, decimals, false, ','));
            const double coefficient = ReadNumber(coefficientText, ValuePlace::Coefficient, k, r);
            // The product uses the full-precision value, not the rounded text shown.
            ws.pom.SetCell(k, r, FormatDecimal(coefficient * value, 6, false, ','));
        }
    }
}

}  // namespace

void ComputeDimensions(Workspace& ws) {
    DimensionValues values;
    WriteDimensionsAndProducts(ws, DimensionSet{}, values);
}

double EquationScore(const Workspace& ws, int k) {
    double score = 0.0;
    for (int r = 1; r <= kDimensionCount; ++r) score += ParseDecimal(ws.pom.Cell(k, r));
    return score + ReadNumber(ws.sg.Cell(k, kConstantRow), ValuePlace::Constant, k, kConstantRow);
}

VerdictWords VerdictWordsFor(std::string_view lang) {
    if (lang == "cz") return {"Muž", "Žena", "NEURČITELNÉ"};
    return {"Male", "Female", "INDETERMINATE"};
}

std::string StartVerdictText(std::string_view lang) {
    // The window's built-in captions are Czech; only English replaces them.
    const VerdictWords words = VerdictWordsFor(lang == "en" ? "en" : "cz");
    return std::string(words.male) + " / " + std::string(words.female);
}

void ClearResult(Workspace& ws) {
    for (LabelState& label : ws.result) label = {"...", kBlack};
    ws.evidence.reset();
    ws.Label1 = {StartVerdictText(ws.lang), kBlack};
    ws.resultCurrent = false;
}

char VoteOfLabel(std::string_view text) {
    if (text.empty() || text.front() == '.') return 0;
    if (text.front() == '(') return '?';
    return text.front() == '-' ? 'F' : 'M';
}

Equation ColumnEquation(const Workspace& ws, int k) {
    Equation e;
    for (int r = 1; r <= kDimensionCount; ++r) {
        const std::string& text = ws.sg.Cell(k, r);
        if (!text.empty())
            e.c[static_cast<std::size_t>(r - 1)] = ReadNumber(text, ValuePlace::Coefficient, k, r);
    }
    e.k = ReadNumber(ws.sg.Cell(k, kConstantRow), ValuePlace::Constant, k, kConstantRow);
    return e;
}

namespace {

// With a model, the labels carry its evidence: a refitted score is marked '*', a vote below
// the threshold stands in brackets and casts no vote.
void ApplyEvidence(Workspace& ws, const DimensionValues& values) {
    auto evidence = std::make_shared<EvidenceResult>();
    for (int k = 1; k <= kEquationCount; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        if (!ws.cb[i] || ColumnIsEmpty(ws.sg, k)) continue;
        EquationEvidence& e = evidence->equations[i] =
            Evaluate(*ws.model, ColumnEquation(ws, k), values);
        LabelState& label = ws.result[i];
        if (e.problem.code != ModelProblem::None) continue;  // scored as without a model
        if (!e.scored) {
            label.text = "...";
            continue;
        }
        // A complete equation keeps the score the products give, as the report prints it.
        const double score = e.refit ? e.score : EquationScore(ws, k);
        std::string text = FormatDecimal(score, 2, false, ',');
        if (e.refit) text += '*';
        if (e.vote == '?') text = "(" + text + ")";
        label.text = text;
    }
    evidence->atypical = AtypicalMeasurements(*ws.model, values);
    evidence->typicality = OverallTypicality(*ws.model, values);
    ws.evidence = std::move(evidence);
}

// A refitted equation was not left out: it voted on the dimensions it had.
void DropRefitted(const Workspace& ws, CalculationGaps& gaps) {
    if (!ws.evidence) return;
    for (std::size_t i = 0; i < kEquationCount; ++i) {
        if (ws.evidence->equations[i].refit && ws.evidence->equations[i].scored)
            gaps.leftOut.reset(i);
    }
}

}  // namespace

void EvaluateEquations(Workspace& ws, const DimensionSet& missing, const DimensionValues* values) {
    ws.resultCurrent = false;
    ws.evidence.reset();
    const EquationSet leftOut = EquationsLeftOut(ws, missing);
    // Texts first: a failing score leaves the earlier labels' new texts and everything
    // else as the previous evaluation left it.
    for (int k = 1; k <= kEquationCount; ++k) {
        LabelState& label = ws.result[static_cast<std::size_t>(k - 1)];
        // An equation with neither coefficients nor constant has nothing to score, and one
        // with a coefficient on a dimension that was never measured would score it as 0:
        // either would cast a vote out of no data.
        if (ws.cb[static_cast<std::size_t>(k - 1)] && !ColumnIsEmpty(ws.sg, k) &&
            !leftOut.test(static_cast<std::size_t>(k - 1)))
            label.text = FormatDecimal(EquationScore(ws, k), 2, false, ',');
        else
            label.text = "...";
    }
    if (ws.model && values) ApplyEvidence(ws, *values);

    int male = 0;
    int female = 0;
    for (LabelState& label : ws.result) {
        const char vote = VoteOfLabel(label.text);
        label.color = vote == 'F' ? kRed : vote == '?' ? kGrey : kBlack;
        if (vote == 'M') ++male;
        if (vote == 'F') ++female;
    }

    const VerdictWords words = VerdictWordsFor(ws.lang);
    ws.Label1.color = kBlack;
    if (male == 0 && female == 0) {
        ws.Label1.text = words.indeterminate;
    } else if (male == female) {
        ws.Label1.text = std::string(words.male) + "/" + std::string(words.female);
    } else if (male > female) {
        ws.Label1.text = words.male;
        ws.Label1.color = kBlue;
    } else {
        ws.Label1.text = words.female;
        ws.Label1.color = kRed;
    }
    ws.resultCurrent = true;
}

CalculationGaps Calculate(Workspace& ws) {
    ws.resultCurrent = false;
    CalculationGaps gaps;
    gaps.landmarks = MissingLandmarks(ws);
    gaps.rightCloud = CloudIsMissing(ws.sgImput2);
    gaps.leftCloud = CloudIsMissing(ws.sgImput3);
    const DimensionSet missing = MissingDimensions(ws);
    ClearIntermediate(ws);
    WriteDimensionsAndProducts(ws, missing, gaps.values);
    EvaluateEquations(ws, missing, &gaps.values);
    gaps.dimensions = NeededDimensions(ws, missing);
    gaps.leftOut = EquationsLeftOut(ws, missing);
    DropRefitted(ws, gaps);
    return gaps;
}

CalculationGaps CalculateFromDimensions(Workspace& ws) {
    ws.resultCurrent = false;
    ClearIntermediate(ws);
    DimensionSet missing;
    DimensionValues values;
    for (int r = 1; r <= kDimensionCount; ++r) {
        if (ws.sgRozmery.Cell(1, r).empty()) {
            missing.set(static_cast<std::size_t>(r - 1));
            continue;
        }
        // A model's typicality reads every dimension given; without one only those an
        // equation uses are read, as ever.
        if (ws.model)
            values[static_cast<std::size_t>(r - 1)] =
                ReadNumber(ws.sgRozmery.Cell(1, r), ValuePlace::Dimension, 1, r);
        for (int k = 1; k <= kEquationCount; ++k) {
            const std::string& coefficientText = ws.sg.Cell(k, r);
            if (coefficientText.empty()) continue;
            const double dimension =
                ReadNumber(ws.sgRozmery.Cell(1, r), ValuePlace::Dimension, 1, r);
            const double coefficient = ReadNumber(coefficientText, ValuePlace::Coefficient, k, r);
            ws.pom.SetCell(k, r, FormatDecimal(dimension * coefficient, 6, false, ','));
        }
    }
    EvaluateEquations(ws, missing, &values);
    CalculationGaps gaps;
    gaps.fromMeasurements = true;
    gaps.dimensions = NeededDimensions(ws, missing);
    gaps.leftOut = EquationsLeftOut(ws, missing);
    DropRefitted(ws, gaps);
    return gaps;
}

}  // namespace morvik
