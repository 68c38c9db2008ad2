// A set fitted to a collection of skull files: what is written, what is listed, and the
// collections that are refused with nothing written.
#include "core/Fit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "SkullFiles.h"
#include "TempDir.h"
#include "core/EquationSets.h"
#include "core/ReferenceModelFile.h"
#include "text/Cp1250.h"
#include "text/Decimal.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const std::string kSettings = std::string(MORVIK_EXAMPLES_DIR) + "/Settings.ini";

std::vector<std::array<double, 3>> Template() {
    std::vector<std::array<double, 3>> points;
    const std::string text = ReadBytes(std::string(MORVIK_EXAMPLES_DIR) + "/skull.txt");
    std::size_t begin = 0;
    while (begin < text.size() && points.size() < 22) {
        const std::size_t end = text.find('\n', begin);
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::array<double, 3> p{};
        std::size_t at = 0;
        for (double& v : p) {
            const std::size_t tab = std::min(line.find('\t', at), line.size());
            v = ParseDecimal(line.substr(at, tab - at));
            at = tab + 1;
        }
        points.push_back(p);
        begin = end == std::string::npos ? text.size() : end + 1;
    }
    return points;
}

// Skulls around the sample skull, the females smaller; each sex's skulls differ in size and
// in every landmark. `sameApertions` puts both apertion points of every skull at one place:
// APT-APT is then 0 throughout the collection.
struct Collection {
    TempDir dir;
    std::string truth = "file,sex\n";

    void Add(const std::string& name, char sex, std::mt19937& rng, bool sameApertions = false) {
        static const std::vector<std::array<double, 3>> base = Template();
        std::normal_distribution<double> noise(0, 1.5), size(1, 0.035);
        const double scale = size(rng) * (sex == 'F' ? 0.96 : 1);
        test::SkullSpec skull;
        for (std::size_t l = 0; l < 22; ++l)
            for (std::size_t a = 0; a < 3; ++a)
                skull.landmarks[l][a] = scale * base[l][a] + noise(rng);
        if (sameApertions) skull.landmarks[6] = skull.landmarks[5];
        test::WriteSkullText(dir.File(name), skull, ',');
        truth += name + "," + sex + "\n";
    }
    void Fill(int males, int females, unsigned seed, bool sameApertions = false) {
        std::mt19937 rng(seed);
        for (int i = 0; i < males + females; ++i)
            Add("skull" + std::to_string(100 + i) + ".txt", i < males ? 'M' : 'F', rng,
                sameApertions);
    }
    FitCommand Command(const std::string& settings = kSettings) {
        WriteBytes(dir.File("truth.csv"), truth);
        FitCommand command;
        command.settingsPath = settings;
        command.outPath = dir.File("fitted.ini");
        command.truthPath = dir.File("truth.csv");
        command.paths = {dir.Path().string()};
        return command;
    }
};

TEST(FitCommand, WritesTheFittedSetWhichLoadsWithItsModelAndListsWhatItLeftOut) {
    Collection c;
    c.Fill(30, 28, 5);
    // The same skull twice under two names, a copy with the other sex, and entries for files
    // that are not there.
    std::filesystem::copy_file(c.dir.File("skull100.txt"), c.dir.File("copy-of-100.txt"));
    std::filesystem::copy_file(c.dir.File("skull101.txt"), c.dir.File("copy-of-101.txt"));
    c.truth += "copy-of-100.txt,M\ncopy-of-101.txt,F\ngone.txt,F\nalso-gone.txt,M\n";
    FitCommand command = c.Command();
    command.name = "Test collection, Brno";
    command.threshold = 0.9;

    const FitReport report = FitCollection(command, IniFile(kSettings));
    EXPECT_TRUE(report.fit.Ok());
    EXPECT_EQ(report.computed, 60);
    EXPECT_EQ(report.skulls.size(), 57u);  // 101 and its copy of the other sex are out
    ASSERT_EQ(report.duplicates.size(), 1u);
    EXPECT_NE(report.duplicates[0].find("copy-of-100.txt"), std::string::npos);
    ASSERT_EQ(report.conflicting.size(), 1u);
    EXPECT_EQ(report.unmatchedTruth, (std::vector<std::string>{"gone.txt", "also-gone.txt"}));
    const std::string text = FitText(report, "en");
    EXPECT_NE(text.find("gone.txt"), std::string::npos);
    EXPECT_NE(text.find("Duplicated skulls, counted once (1)"), std::string::npos);

    std::string table, log;
    ASSERT_EQ(RunFit(command, &table, &log), 0) << log;
    const IniFile in(kSettings), out(command.outPath);
    EXPECT_FALSE(out.IsUtf8());  // Windows-1250 in, Windows-1250 out
    // The other three sets as they were; the universal set holds the fitted equations.
    for (int set = 0; set < 3; ++set)
        for (int k = 1; k <= kEquationCount; ++k)
            for (int r = 1; r <= kConstantRow; ++r)
                EXPECT_EQ(out.ReadString(SetSection(set), SgKey(k, r), "?"),
                          in.ReadString(SetSection(set), SgKey(k, r), "?"));
    for (int k = 1; k <= kEquationCount; ++k) {
        const FittedEquation& eq = report.fit.equations[static_cast<std::size_t>(k - 1)];
        for (int r = 1; r <= kDimensionCount; ++r) {
            const std::string cell = out.ReadString(SetSection(kUniversalSet), SgKey(k, r), "?");
            const double c = eq.equation.c[static_cast<std::size_t>(r - 1)];
            EXPECT_EQ(cell.empty(), c == 0) << k << " " << r;
            if (!cell.empty()) {
                EXPECT_EQ(ParseDecimal(cell), c) << "read back exactly";
            }
            EXPECT_EQ(cell.find('.'), std::string::npos) << "a decimal comma, as the window writes";
        }
    }
    // The window and the batch take the model without a word: usable and consistent.
    const ModelRead model = ReadReferenceModel(out, kUniversalSet);
    ASSERT_TRUE(model.model);
    EXPECT_EQ(model.model->nMale + model.model->nFemale, 57);
    EXPECT_EQ(model.model->threshold, 0.9);
    EXPECT_EQ(model.model->population, "Test collection, Brno");
    EXPECT_NE(model.model->source.find("from 57 skulls"), std::string::npos);
    std::vector<std::string> notices;
    const Workspace ws = StartWorkspace(out, {}, &notices);
    EXPECT_TRUE(ws.model);
    EXPECT_TRUE(notices.empty()) << notices.front();
}

TEST(FitCommand, RefusesASexAbsentOrAlone) {
    for (const auto& [males, females] : {std::pair{12, 0}, std::pair{12, 1}}) {
        Collection c;
        c.Fill(males, females, 9);
        FitCommand command = c.Command();
        std::string table, log;
        EXPECT_EQ(RunFit(command, &table, &log), 2);
        EXPECT_NE(log.find("too few skulls: 12 male and " + std::to_string(females) + " female"),
                  std::string::npos)
            << log;
        EXPECT_FALSE(std::filesystem::exists(command.outPath));
    }
}

TEST(FitCommand, RefusesADimensionConstantAcrossTheCollectionNamingIt) {
    Collection c;
    c.Fill(25, 25, 13, /*sameApertions=*/true);
    FitCommand command = c.Command();
    command.summaryPath = c.dir.File("summary.json");
    command.batch.lang = "cz";
    std::string table, log;
    EXPECT_EQ(RunFit(command, &table, &log), 2);
    // APT-APT (dimension 7) is in equations 4 and 5 of the universal set, and in its model.
    EXPECT_NE(log.find("rovnice 4"), std::string::npos) << log;
    EXPECT_NE(log.find("rovnice 5"), std::string::npos) << log;
    EXPECT_NE(log.find("nemění rozměr APT-APT"), std::string::npos) << log;
    EXPECT_EQ(log.find("rovnice 1 "), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(command.outPath));
    // Leaving the dimension out of both equations fits.
    command.dimensions[static_cast<std::size_t>(ColumnOfEquation(4) - 1)] = DimensionSet(0b1101);
    command.dimensions[static_cast<std::size_t>(ColumnOfEquation(5) - 1)] =
        DimensionSet(0b10011000);
    log.clear();
    EXPECT_EQ(RunFit(command, &table, &log), 0) << log;
    EXPECT_NE(ReadBytes(command.summaryPath).find("\"fitted\": true"), std::string::npos);
}

TEST(FitCommand, KeepsAUtf8SettingsFileUtf8AndNeverReplacesTheSettingsRead) {
    Collection c;
    c.Fill(20, 20, 17);
    const std::string utf8 = c.dir.File("Settings-utf8.ini");
    WriteBytes(utf8, Cp1250ToUtf8(ReadBytes(kSettings)));
    FitCommand command = c.Command(utf8);
    std::string table, log;
    ASSERT_EQ(RunFit(command, &table, &log), 0) << log;
    EXPECT_TRUE(IniFile(command.outPath).IsUtf8());
    EXPECT_NE(ReadBytes(command.outPath).find("[Univerzální model]"), std::string::npos);

    const std::string before = ReadBytes(utf8);
    command.outPath = c.dir.File("./Settings-utf8.ini");
    EXPECT_THROW(RunFit(command, &table, &log), Error);
    EXPECT_EQ(ReadBytes(utf8), before);
}

}  // namespace
}  // namespace morvik::core
