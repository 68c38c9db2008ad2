#include "compute/Workspace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>

#include "TestSupport.h"
#include "compute/Compute.h"
#include "text/Decimal.h"

// Counts every allocation of this test program, so a test can show that a stretch of
// code allocates nothing.
namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace morvik {
namespace {

TEST(TextTable, OutsideReadsEmptyAndWritesAreIgnored) {
    TextTable t(3, kEuryonDefaultRows);
    t.SetCell(1, 999, "5");
    t.SetCell(1, 1000, "x");
    t.SetCell(-1, 0, "x");
    EXPECT_EQ(t.Cell(1, 999), "5");
    EXPECT_EQ(t.Cell(1, 1000), "");
    EXPECT_EQ(t.Cell(-1, 0), "");
    t.SetRowCount(70000);
    EXPECT_EQ(t.Cell(1, 999), "5");
    EXPECT_EQ(t.Cell(1, 69999), "");
}

TEST(EuryonPoint, LargeCloudIsReadWithoutAllocating) {
    TextTable cloud(3, 65536);
    for (int row = 1; row <= 65535; ++row)
        test::SetCloudPoint(cloud, row, {row % 2 ? 1.0 : 3.0, -0.5, 70.25});
    cloud.SetCell(1, 7, "1 234,5");  // a blank and a comma to remove
    const long before = gAllocations.load();
    const Point3 p = EuryonPoint(cloud);
    EXPECT_EQ(gAllocations.load(), before);
    EXPECT_NEAR(p.x, 2.0, 1e-4);  // 32768 ones and 32767 threes
    EXPECT_NEAR(p.y, -0.5 + 1235.0 / 65535, 1e-12);
    EXPECT_DOUBLE_EQ(p.z, 70.25);
}

// A number kept beside a cell must be what its text reads as, whatever happened to the cell
// since: the calculation takes the kept number instead of reading the text.
TEST(TextTable, KeptNumberIsWhatTheTextReadsAs) {
    std::mt19937_64 rng(71226);
    std::uniform_real_distribution<double> unit(-500.0, 500.0);
    std::uniform_int_distribution<int> decimals(0, 17), step(0, 4);
    TextTable t(3, 4);
    int kept = 0;
    for (int i = 0; i < 20000; ++i) {
        const double scale = std::pow(10.0, decimals(rng));
        const double v = i % 7 == 0 ? 0.1 * i + 0.2 : std::round(unit(rng) * scale) / scale;
        const int col = i % 3, row = 1 + i % 3;
        t.SetNumber(col, row, v);
        std::string shown = GeneralNumberText(v);
        switch (step(rng)) {
            case 0:
                t.FirstPointToComma(col, row);
                shown = GeneralNumberText(v, ',');
                break;
            case 1:
                (void)t.Cell(col, row);  // the text written, then its point changed
                t.FirstPointToComma(col, row);
                shown = GeneralNumberText(v, ',');
                break;
            case 2:
                t.SetCell(col, row, "7,25");  // any other write forgets the number
                shown = "7,25";
                break;
            case 3:
                t.SetRowCount(2);  // the cell may be cut off, and comes back empty
                t.SetRowCount(4);
                if (row >= 2) shown.clear();
                break;
            default:
                break;
        }
        ASSERT_EQ(t.Cell(col, row), shown);
        ASSERT_EQ(t.IsEmpty(col, row), t.Cell(col, row).empty());
        double number = 0;
        if (t.Number(col, row, number)) {
            ASSERT_EQ(number, ParseDecimal(t.Cell(col, row))) << t.Cell(col, row);
            ASSERT_EQ(std::signbit(number), std::signbit(ParseDecimal(t.Cell(col, row))));
            ++kept;
        }
    }
    EXPECT_GT(kept, 5000);
    t.SetNumber(0, 1, -0.0);  // shown as "0", which reads as +0: not kept
    double number = 0;
    EXPECT_FALSE(t.Number(0, 1, number));
    EXPECT_EQ(t.Cell(0, 1), "0");
}

}  // namespace
}  // namespace morvik
