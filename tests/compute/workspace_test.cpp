#include "Workspace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "Compute.h"
#include "Decimal.h"
#include "TestSupport.h"

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
    EXPECT_EQ(t.Cell(1, 999), "5");
    EXPECT_EQ(t.Cell(1, 1000), "");  // one past the last row
    EXPECT_EQ(t.Cell(3, 1), "");
    EXPECT_EQ(t.Cell(-1, 1), "");
    t.SetCell(1, 1000, "x");
    t.SetCell(-1, 0, "x");
    EXPECT_EQ(t.Cell(1, 1000), "");
    EXPECT_EQ(t.RowCount(), kEuryonDefaultRows);
}

TEST(TextTable, GrowingKeepsCellsAndAddsEmptyRows) {
    TextTable t(3, 2);
    t.SetCell(2, 1, "a");
    t.SetRowCount(70000);
    EXPECT_EQ(t.Cell(2, 1), "a");
    EXPECT_EQ(t.Cell(2, 69999), "");
    t.SetCell(2, 69999, "b");
    EXPECT_EQ(t.Cell(2, 69999), "b");
    t.SetRowCount(1);
    EXPECT_EQ(t.Cell(2, 1), "");
    t.SetRowCount(2);
    EXPECT_EQ(t.Cell(2, 1), "");
}

TEST(Workspace, StartsWithEveryEquationInUseAndNoResults) {
    const Workspace ws;
    for (bool used : ws.cb) EXPECT_TRUE(used);
    for (const LabelState& label : ws.result) EXPECT_EQ(label.text, "...");
    EXPECT_EQ(ws.sgImput.ColCount(), 5);
    EXPECT_EQ(ws.sgImput.RowCount(), 23);
    EXPECT_EQ(ws.sg.RowCount(), 19);
    EXPECT_EQ(ws.pom.ColCount(), 8);
}

TEST(ClearIntermediate, EmptiesOnlyTheProductCells) {
    Workspace ws;
    for (int k = 0; k <= kEquationCount; ++k)
        for (int r = 0; r <= kDimensionCount; ++r) ws.pom.SetCell(k, r, "x");
    ws.sgRozmery.SetCell(1, 1, "7");
    ClearIntermediate(ws);
    for (int k = 0; k <= kEquationCount; ++k) {
        for (int r = 0; r <= kDimensionCount; ++r) {
            const bool product = k >= 1 && r >= 1;
            EXPECT_EQ(ws.pom.Cell(k, r), product ? "" : "x") << k << "," << r;
        }
    }
    EXPECT_EQ(ws.sgRozmery.Cell(1, 1), "7");
}

TEST(ParseDecimal, AllocatesNothingForCellTexts) {
    const std::string texts[] = {"", "-3,25", "1 234,5", "182,34567890123456789", "2,5e1"};
    const long before = gAllocations.load();
    double sum = 0;
    for (const std::string& t : texts) sum += ParseDecimal(t);
    EXPECT_EQ(gAllocations.load(), before);
    EXPECT_GT(sum, 0);
}

TEST(EuryonPoint, LargeCloudIsReadWithoutAllocating) {
    TextTable cloud(3, 65536);
    for (int row = 1; row <= 65535; ++row)
        test::SetCloudPoint(cloud, row, {row % 2 ? 1.0 : 3.0, -0.5, 70.25});
    const long before = gAllocations.load();
    const Point3 p = EuryonPoint(cloud);
    EXPECT_EQ(gAllocations.load(), before);
    EXPECT_NEAR(p.x, 2.0, 1e-4);  // 32768 ones and 32767 threes
    EXPECT_DOUBLE_EQ(p.y, -0.5);
    EXPECT_DOUBLE_EQ(p.z, 70.25);
}

}  // namespace
}  // namespace morvik
