// GoogleTest main of every test program without a window: the run gets a home of its own
// before any test starts, and it is removed afterwards.
#include <gtest/gtest.h>

#include "tests/TestHome.h"

int main(int argc, char** argv) {
    const morvik::test::TestHome home;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
