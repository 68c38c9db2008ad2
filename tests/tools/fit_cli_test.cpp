// morvik-batch --fit as users run it: its options, its table and the settings it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/core/TempDir.h"
#include "tests/tools/RunProgram.h"

namespace morvik {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

using test::Outcome;

Outcome RunFitBatch(const TempDir& dir, const std::vector<std::string>& args) {
    return test::RunProgram(dir, MORVIK_BATCH, args);
}

const std::string kSettings = MORVIK_EXAMPLES_DIR "/Settings.ini";

// The sample skull's 66 coordinates, each moved by up to 3 mm, the females' shrunk by 5 %.
void WriteCollection(const TempDir& dir, int perSex) {
    const std::string sample = ReadBytes(MORVIK_EXAMPLES_DIR "/skull.txt");
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> move(-3, 3);
    std::string truth = "file,sex\n";
    std::filesystem::create_directories(dir.File("skulls"));
    for (int i = 0; i < 2 * perSex; ++i) {
        const bool male = i < perSex;
        std::string skull;
        std::size_t at = 0;
        while (at < sample.size()) {
            const std::size_t end = sample.find_first_of("\t\r\n", at);
            std::string field = sample.substr(at, end - at);
            for (char& c : field)
                if (c == ',') c = '.';
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.3f",
                          std::stod(field) * (male ? 1 : 0.95) + move(rng));
            skull += buffer;
            if (end == std::string::npos) break;
            skull += sample[end];
            at = end + 1;
            if (sample[end] == '\r' && at < sample.size() && sample[at] == '\n')
                skull += sample[at++];
        }
        const std::string name = "s" + std::to_string(i) + ".txt";
        WriteBytes(dir.File("skulls/" + name), skull);
        truth += name + "," + (male ? "M" : "F") + "\n";
    }
    WriteBytes(dir.File("truth.csv"), truth);
}

TEST(FitCli, RefusesOptionsThatCannotGoTogetherOrCannotBeRead) {
    TempDir dir;
    const std::string out = dir.File("out.ini");
    const std::vector<std::vector<std::string>> wrong{
        {"--fit", out, "x"},                                             // no truth
        {"--fit", out, "--truth", "t.csv", "--equation", "8=1,2", "x"},  // no equation 8
        {"--fit", out, "--truth", "t.csv", "--equation", "3=1,18", "x"},
        {"--fit", out, "--truth", "t.csv", "--equation", "3", "x"},
        {"--fit", out, "--truth", "t.csv", "--threshold", "1.2", "x"},
        {"--fit", out, "--truth", "t.csv", "--priors", "0.5", "x"},
        {"--fit", out, "--truth", "t.csv", "--priors", "0.5,0", "x"},
        {"--fit", out, "--truth", "t.csv", "-o", "rows.csv", "x"},
        {"--threshold", "0.9", "x"},  // without --fit
    };
    for (const auto& args : wrong) {
        const Outcome o = RunFitBatch(dir, args);
        EXPECT_EQ(o.status, 2) << args[args.size() - 2];
        EXPECT_NE(o.err.find("Usage:"), std::string::npos) << o.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST(FitCli, PrintsTheTableWritesTheSettingsAndTheBatchReadsThem) {
    TempDir dir;
    WriteCollection(dir, 20);
    const std::string out = dir.File("fitted.ini");
    Outcome o =
        RunFitBatch(dir, {"--settings", kSettings, "--fit", out, "--truth", dir.File("truth.csv"),
                          "--equation", "3=1,3,4", "--priors", "0.6,0.4", "--lang", "cz",
                          "--summary", dir.File("fit.json"), dir.File("skulls")});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Přizpůsobení sady Univerzální: 40 lebek"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("zapsáno: " + out), std::string::npos) << o.err;
    const std::string json = ReadBytes(dir.File("fit.json"));
    EXPECT_NE(json.find("{\"equation\": 3, \"column\": 4, \"dimensions\": [1,3,4]"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"prior_male\": 0.6"), std::string::npos);

    // The fitted settings in use: its model is taken without a notice.
    o = RunFitBatch(dir, {"--settings", out, "--truth", dir.File("truth.csv"), "-o",
                          dir.File("rows.csv"), dir.File("skulls")});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err.find("morvik-batch:"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Validation: 40 skulls"), std::string::npos) << o.err;

    // Fitting into the settings read is refused, and they stay as they were.
    const std::string before = ReadBytes(out);
    o = RunFitBatch(dir, {"--settings", out, "--fit", out, "--truth", dir.File("truth.csv"),
                          dir.File("skulls")});
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("would replace the settings file read"), std::string::npos) << o.err;
    EXPECT_EQ(ReadBytes(out), before);
}

}  // namespace
}  // namespace morvik
