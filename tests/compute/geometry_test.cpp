#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "compute/Compute.h"
#include "text/Decimal.h"

namespace morvik {
namespace {

using test::Num;
using test::SetCloudPoint;
using test::SetLandmark;
using test::UseAllDimensions;

// Right orbit rows 12-15 and left orbit rows 16-19 of the orientation example.
void SetOrientationExample(Workspace& ws) {
    SetLandmark(ws, 12, {0, 0, 0});
    SetLandmark(ws, 13, {1, 1, 0});
    SetLandmark(ws, 14, {2, 0, 0});
    SetLandmark(ws, 15, {1, -1, 1});
    SetLandmark(ws, 16, {10, 0, 0});
    SetLandmark(ws, 17, {11, 1, 0});
    SetLandmark(ws, 18, {12, 0, 0});
    SetLandmark(ws, 19, {11, -1, -1});
}

TEST(ComputeDimensions, OrientationExample) {
    Workspace ws;
    SetOrientationExample(ws);
    UseAllDimensions(ws, 1);
    ComputeDimensions(ws);
    const std::map<int, std::string> expected = {
        {9, "-0,707107"}, {10, "-0,707107"}, {11, "-0,666667"}, {12, "-0,666667"}, {13, "0,333333"},
        {14, "1"},        {15, "0,333333"},  {16, "2,179449"},  {17, "2,179449"}};
    for (const auto& [row, text] : expected) {
        EXPECT_EQ(ws.sgRozmery.Cell(1, row), text) << "row " << row;
        EXPECT_EQ(ws.pom.Cell(1, row), text) << "row " << row;  // coefficient 1
    }
}

// Zero-length normals and directions read as a cosine of 0, never minus zero.
TEST(ComputeDimensions, DegenerateGeometryGivesZeros) {
    Workspace empty;
    UseAllDimensions(empty, 1);
    UseAllDimensions(empty, 7, "-2,5");
    ComputeDimensions(empty);
    for (int r = 1; r <= kDimensionCount; ++r) {
        EXPECT_EQ(empty.sgRozmery.Cell(1, r), "0") << r;
        EXPECT_EQ(empty.pom.Cell(7, r), "0") << r;
        EXPECT_EQ(empty.pom.Cell(4, r), "") << r;
    }
    Workspace collinear;
    SetOrientationExample(collinear);
    for (int i : {13, 14, 15}) SetLandmark(collinear, i, {i * 1.0, i * 2.0, i * 3.0});
    UseAllDimensions(collinear, 1);
    ComputeDimensions(collinear);
    EXPECT_EQ(collinear.sgRozmery.Cell(1, 13), "0");  // lateral flexure
    EXPECT_EQ(collinear.sgRozmery.Cell(1, 11), "0");  // vertical flexure dx
}

struct EuryonCase {
    const char* name;
    std::vector<std::pair<int, Point3>> right;  // (row, point)
    std::vector<std::pair<int, Point3>> left;
    double expected;
    int rightPoints, leftPoints;
};

TEST(ComputeDimensions, EuryonPoints) {
    const std::vector<EuryonCase> cases = {
        {"two points against one", {{1, {0, 0, 0}}, {2, {2, 0, 0}}}, {{1, {1, 10, 0}}}, 10, 2, 1},
        {"empty right cloud is the origin", {}, {{1, {3, 4, 0}}, {2, {3, 4, 0}}}, 5, 0, 2},
        {"both empty", {}, {}, 0, 0, 0},
        {"single points", {{1, {1, 2, 3}}}, {{1, {1, 2, 13}}}, 10, 1, 1},
        // Rows 5 and on follow a gap in row 4 and are not part of the cloud.
        {"cloud ends at the first gap",
         {{1, {-1, 0, 0}}, {2, {-2, 0, 0}}, {3, {-3, 0, 0}}, {5, {-100, 9, 9}}, {9, {7, 7, 7}}},
         {{1, {2, 0, 0}}},
         4,
         3,
         1},
    };
    for (const EuryonCase& c : cases) {
        Workspace ws;
        for (const auto& [row, p] : c.right) SetCloudPoint(ws.sgImput2, row, p);
        for (const auto& [row, p] : c.left) SetCloudPoint(ws.sgImput3, row, p);
        for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
            int gap = 1;  // X and Z of the row that ends a cloud are never read
            while (!cloud->Cell(1, gap).empty()) ++gap;
            cloud->SetCell(0, gap, "junk");
            cloud->SetCell(2, gap, "junk");
        }
        ws.sg.SetCell(3, 2, "1");
        ComputeDimensions(ws);
        EXPECT_EQ(ParseDecimal(ws.sgRozmery.Cell(1, 2)), c.expected) << c.name;
        // The length the batch reports is the run the mean was taken over: the X and Z of the
        // row that ends it do not lengthen it, and an empty cloud has no point (not 1).
        EXPECT_EQ(CloudPointCount(ws.sgImput2), c.rightPoints) << c.name;
        EXPECT_EQ(CloudPointCount(ws.sgImput3), c.leftPoints) << c.name;
        EXPECT_EQ(CloudIsMissing(ws.sgImput2), c.rightPoints == 0) << c.name;
        EXPECT_EQ(CloudIsMissing(ws.sgImput3), c.leftPoints == 0) << c.name;
    }
}

TEST(ComputeDimensions, AptAptShowsTwoDecimalsButMultipliesFullValue) {
    Workspace ws;
    SetLandmark(ws, 6, {0, 0, 0});
    SetLandmark(ws, 7, {25.456, 0, 0});
    ws.sg.SetCell(2, 7, "2");
    ws.sgRozmery.SetCell(1, 5, "typed");  // no equation uses RH-NS
    ComputeDimensions(ws);
    EXPECT_EQ(ws.sgRozmery.Cell(1, 7), "25,46");
    EXPECT_EQ(ws.pom.Cell(2, 7), "50,912");
    EXPECT_EQ(ws.sgRozmery.Cell(1, 5), "typed");
    for (int k = 1; k <= kEquationCount; ++k) EXPECT_EQ(ws.pom.Cell(k, 5), "");
}

// What a failing run leaves behind: rows before the failure, and within the failing row
// the equation columns before the failing one.
TEST(ComputeDimensions, BadCoordinateStopsBeforeItsRow) {
    Workspace ws;
    UseAllDimensions(ws, 1);
    UseAllDimensions(ws, 5, "2");
    SetLandmark(ws, 1, {0, 0, 0});
    SetLandmark(ws, 21, {3, 4, 0});
    ws.sgImput.SetCell(3, 9, "1,2,3");  // ZYGsin Y, first read by row 3
    ws.sgRozmery.SetCell(1, 3, "old");
    try {
        ComputeDimensions(ws);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot read the Y coordinate of landmark ZYGsin ('1.2,3' is not a valid "
                     "floating point value).");
    }
    EXPECT_EQ(ws.sgRozmery.Cell(1, 1), "5");
    EXPECT_EQ(ws.pom.Cell(5, 1), "10");
    EXPECT_EQ(ws.sgRozmery.Cell(1, 2), "0");
    EXPECT_EQ(ws.sgRozmery.Cell(1, 3), "old");
    EXPECT_EQ(ws.pom.Cell(1, 3), "");
}

TEST(ComputeDimensions, BadCoefficientStopsWithinItsRow) {
    Workspace ws;
    SetLandmark(ws, 2, {0, 0, 0});
    SetLandmark(ws, 5, {0, 6, 8});
    for (int k = 1; k <= kEquationCount; ++k) ws.sg.SetCell(k, 4, "1");
    ws.sg.SetCell(3, 4, "   ");  // blanks only: the equation uses N-P, but with no value
    ws.sg.SetCell(1, 6, "1");
    try {
        ComputeDimensions(ws);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot read the coefficient of N-P in equation 7 ('' is not a valid floating "
                     "point value).");
    }
    EXPECT_EQ(ws.sgRozmery.Cell(1, 4), "10");
    EXPECT_EQ(ws.pom.Cell(1, 4), "10");
    EXPECT_EQ(ws.pom.Cell(2, 4), "10");
    for (int k = 3; k <= kEquationCount; ++k) EXPECT_EQ(ws.pom.Cell(k, 4), "") << k;
    EXPECT_EQ(ws.sgRozmery.Cell(1, 6), "");
}

// A realistic skull in millimetres, and every dimension recomputed here by other means:
// plane normals from the three-point determinants of the plane equation, centroid sizes
// from pairwise distances.
struct Vec {
    double x, y, z;
};

double Det3(double a, double b, double c, double d, double e, double f, double g, double h,
            double i) {
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

// Normal (a, b, c) of the plane a x + b y + c z + d = 0 through p, q, r, oriented as the
// right-hand rule over p -> q -> r.
Vec PlaneNormal(const Vec& p, const Vec& q, const Vec& r) {
    return {Det3(1, p.y, p.z, 1, q.y, q.z, 1, r.y, r.z),
            Det3(p.x, 1, p.z, q.x, 1, q.z, r.x, 1, r.z),
            Det3(p.x, p.y, 1, q.x, q.y, 1, r.x, r.y, 1)};
}

double CosineOf(const Vec& a, const Vec& b) {
    const double dot = a.x * b.x + a.y * b.y + a.z * b.z;
    return dot /
           std::sqrt((a.x * a.x + a.y * a.y + a.z * a.z) * (b.x * b.x + b.y * b.y + b.z * b.z));
}

double Dist(const Vec& a, const Vec& b) {
    return std::hypot(a.x - b.x, std::hypot(a.y - b.y, a.z - b.z));
}

Vec Sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

double PairwiseCentroidSize(const Vec& a, const Vec& b, const Vec& c, const Vec& d) {
    const Vec p[4] = {a, b, c, d};
    double sum = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) sum += Dist(p[i], p[j]) * Dist(p[i], p[j]);
    return std::sqrt(sum / 4);
}

TEST(ComputeDimensions, RealisticSkullAgainstIndependentFormulas) {
    // x to the left, y forward, z up; rows 1..22 in landmark order.
    const Vec L[23] = {
        {0, 0, 0},           {0.0, 95.2, 45.1},   {0.2, 93.4, 30.3},    {0.1, 104.8, 9.7},
        {0.0, 98.1, -15.4},  {0.3, 97.6, -37.2},  {-12.4, 92.1, -8.0},  {12.7, 92.3, -8.2},
        {-65.1, 55.3, -5.2}, {65.4, 54.1, -4.6},  {-30.2, 75.1, -32.0}, {30.5, 75.6, -31.4},
        {-11.0, 88.0, 22.0}, {-22.3, 90.1, 40.2}, {-45.2, 78.3, 32.1},  {-38.1, 82.4, 10.3},
        {11.3, 88.2, 21.8},  {22.5, 89.6, 40.4},  {45.5, 77.8, 31.6},   {38.4, 81.7, 9.6},
        {0.4, 15.2, 120.3},  {0.1, -90.4, 40.6},  {0.0, 5.3, -15.1}};
    Workspace ws;
    for (int row = 1; row <= 22; ++row) SetLandmark(ws, row, {L[row].x, L[row].y, L[row].z});
    Vec right{0, 0, 0}, left{0, 0, 0};
    const int n = 40;
    for (int i = 1; i <= n; ++i) {
        const Vec pr{-70.5 + 0.03 * (i % 7), -4.0 + 0.5 * (i % 9), 58.0 + 0.4 * (i % 11)};
        const Vec pl{71.2 - 0.02 * (i % 5), -3.0 + 0.45 * (i % 8), 57.5 + 0.35 * (i % 13)};
        SetCloudPoint(ws.sgImput2, i, {pr.x, pr.y, pr.z});
        SetCloudPoint(ws.sgImput3, i, {pl.x, pl.y, pl.z});
        right = {right.x + pr.x / n, right.y + pr.y / n, right.z + pr.z / n};
        left = {left.x + pl.x / n, left.y + pl.y / n, left.z + pl.z / n};
    }

    const double expected[18] = {
        0,
        Dist(L[1], L[21]),
        Dist(right, left),
        Dist(L[8], L[9]),
        Dist(L[2], L[5]),
        Dist(L[3], L[4]),
        Dist(L[20], L[22]),
        Dist(L[6], L[7]),
        Dist(L[10], L[11]),
        CosineOf(PlaneNormal(L[12], L[13], L[14]), PlaneNormal(L[12], L[15], L[14])),
        CosineOf(PlaneNormal(L[16], L[17], L[18]), PlaneNormal(L[16], L[19], L[18])),
        -CosineOf(PlaneNormal(L[13], L[14], L[15]), PlaneNormal(L[12], L[13], L[15])),
        -CosineOf(PlaneNormal(L[17], L[18], L[19]), PlaneNormal(L[16], L[17], L[19])),
        CosineOf(PlaneNormal(L[13], L[14], L[15]), PlaneNormal(L[17], L[18], L[19])),
        CosineOf(Sub(L[12], L[14]), Sub(L[16], L[18])),
        CosineOf(Sub(L[12], L[15]), Sub(L[16], L[19])),
        PairwiseCentroidSize(L[12], L[13], L[14], L[15]),
        PairwiseCentroidSize(L[16], L[17], L[18], L[19]),
    };
    UseAllDimensions(ws, 4);
    ComputeDimensions(ws);
    for (int r = 1; r <= kDimensionCount; ++r) {
        EXPECT_NEAR(DimensionValue(ws, r), expected[r], 1e-9) << "row " << r;
        const int decimals = kDimensionRows[static_cast<std::size_t>(r - 1)].decimals;
        EXPECT_EQ(ws.sgRozmery.Cell(1, r), FormatDecimal(expected[r], decimals, false, ','))
            << "row " << r;
        EXPECT_NEAR(ParseDecimal(ws.pom.Cell(4, r)), expected[r], 5e-7) << "row " << r;
    }
    // Plausible magnitudes guard against a test frame that is itself wrong.
    EXPECT_NEAR(expected[1], 185.7, 1.0);
    EXPECT_NEAR(expected[2], 141.2, 2.0);
    EXPECT_NEAR(expected[7], 25.1, 0.5);
}

}  // namespace
}  // namespace morvik
