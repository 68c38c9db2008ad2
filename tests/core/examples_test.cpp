// The shipped sample skull and demonstration settings give a clear verdict in every set.
#include <gtest/gtest.h>

#include "compute/Compute.h"
#include "core/DataExchange.h"
#include "core/EquationSets.h"

namespace morvik::core {
namespace {

TEST(Examples, SampleSkullIsMaleInEverySet) {
    const IniFile ini(MORVIK_EXAMPLES_DIR "/Settings.ini");
    ASSERT_EQ(ReadLanguage(ini, "?"), "cz");
    for (int set = 0; set < 4; ++set) {
        SCOPED_TRACE(set);
        Workspace ws;
        if (set == kUniversalSet) {
            LoadStartupSet(ws, ini);
        } else {
            LoadEquationSet(ws, ini, set);
        }
        LoadFileCommand(ws, MORVIK_EXAMPLES_DIR "/skull.txt", nullptr);
        EXPECT_EQ(ws.sgImput.Cell(2, 12), "-11,3");
        Calculate(ws);
        EXPECT_EQ(ws.Label1.text, "Muž");
        EXPECT_EQ(ws.Label1.color, kBlue);
        int negative = 0;
        for (const auto& result : ws.result) negative += result.text.front() == '-';
        EXPECT_LE(negative, 1);
    }
}

}  // namespace
}  // namespace morvik::core
