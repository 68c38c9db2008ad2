#include "compute/Workspace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

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

}  // namespace
}  // namespace morvik
