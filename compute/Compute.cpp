#include "Compute.h"

#include <cmath>
#include <string>

#include "text/Decimal.h"

namespace morvik {

namespace {

constexpr int kLandmarkFirstCoordinateCol = 2;
constexpr int kCloudYCol = 1;

Point3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

double Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Point3 Cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Length(const Point3& a) { return std::sqrt(Dot(a, a)); }

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

}  // namespace

double Distance3D(const Point3& a, const Point3& b) { return Length(a - b); }

Point3 LandmarkPoint(const Workspace& ws, int row) {
    const TextTable& t = ws.sgImput;
    return {ParseDecimal(t.Cell(kLandmarkFirstCoordinateCol, row)),
            ParseDecimal(t.Cell(kLandmarkFirstCoordinateCol + 1, row)),
            ParseDecimal(t.Cell(kLandmarkFirstCoordinateCol + 2, row))};
}

Point3 EuryonPoint(const TextTable& cloud) {
    Point3 sum;
    long long n = 0;
    for (int row = 1; !cloud.Cell(kCloudYCol, row).empty(); ++row) {
        sum.x += ParseDecimal(cloud.Cell(0, row));
        sum.y += ParseDecimal(cloud.Cell(1, row));
        sum.z += ParseDecimal(cloud.Cell(2, row));
        ++n;
    }
    if (n == 0) return {};
    const double count = static_cast<double>(n);
    return {sum.x / count, sum.y / count, sum.z / count};
}

double DimensionValue(const Workspace& ws, int r) {
    const DimensionRow& dim = kDimensionRows.at(static_cast<std::size_t>(r - 1));
    if (dim.kind == DimensionKind::Euryon)
        return Distance3D(EuryonPoint(ws.sgImput2), EuryonPoint(ws.sgImput3));

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

void ComputeDimensions(Workspace& ws) {
    for (int r = 1; r <= kDimensionCount; ++r) {
        const double value = DimensionValue(ws, r);
        const int decimals = kDimensionRows[static_cast<std::size_t>(r - 1)].decimals;
        for (int k = 1; k <= kEquationCount; ++k) {
            const std::string& coefficientText = ws.sg.Cell(k, r);
            if (coefficientText.empty()) continue;
            ws.sgRozmery.SetCell(1, r, FormatDecimal(value, decimals, false, ','));
            const double coefficient = ParseDecimal(coefficientText);
            // The product uses the full-precision value, not the rounded text shown.
            ws.pom.SetCell(k, r, FormatDecimal(coefficient * value, 6, false, ','));
        }
    }
}

double EquationScore(const Workspace& ws, int k) {
    double score = 0.0;
    for (int r = 1; r <= kDimensionCount; ++r) score += ParseDecimal(ws.pom.Cell(k, r));
    return score + ParseDecimal(ws.sg.Cell(k, kConstantRow));
}

VerdictWords VerdictWordsFor(std::string_view lang) {
    if (lang == "cz") return {"Muž", "Žena", "NEURČITELNÉ"};
    return {"Male", "Female", "INDETERMINATE"};
}

void EvaluateEquations(Workspace& ws) {
    // Texts first: a failing score leaves the earlier labels' new texts and everything
    // else as the previous evaluation left it.
    for (int k = 1; k <= kEquationCount; ++k) {
        LabelState& label = ws.result[static_cast<std::size_t>(k - 1)];
        // An equation with neither coefficients nor constant has nothing to score; showing
        // 0 would cast a male vote out of no data.
        if (ws.cb[static_cast<std::size_t>(k - 1)] && !ColumnIsEmpty(ws.sg, k))
            label.text = FormatDecimal(EquationScore(ws, k), 2, false, ',');
        else
            label.text = "...";
    }

    int male = 0;
    int female = 0;
    for (LabelState& label : ws.result) {
        label.color = kBlack;
        if (!label.text.empty() && label.text.front() == '-') label.color = kRed;
        if (label.text.empty() || label.text.front() == '.') continue;
        if (label.text.front() == '-')
            ++female;
        else
            ++male;
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
}

void Calculate(Workspace& ws) {
    ClearIntermediate(ws);
    ComputeDimensions(ws);
    EvaluateEquations(ws);
}

void CalculateFromDimensions(Workspace& ws) {
    ClearIntermediate(ws);
    for (int r = 1; r <= kDimensionCount; ++r) {
        for (int k = 1; k <= kEquationCount; ++k) {
            const std::string& coefficientText = ws.sg.Cell(k, r);
            if (coefficientText.empty()) continue;
            const double dimension = ParseDecimal(ws.sgRozmery.Cell(1, r));
            const double coefficient = ParseDecimal(coefficientText);
            ws.pom.SetCell(k, r, FormatDecimal(dimension * coefficient, 6, false, ','));
        }
    }
    EvaluateEquations(ws);
}

}  // namespace morvik
