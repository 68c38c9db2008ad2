// A set's reference model as the settings file holds it: read, used, refused when it cannot
// serve, and what it changes in a result, the vote line, the export and the batch.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "compute/Compute.h"
#include "core/Batch.h"
#include "core/DataExchange.h"
#include "core/EquationSets.h"
#include "core/Export.h"
#include "core/Messages.h"
#include "core/ReferenceModelFile.h"
#include "core/SetModel.h"
#include "tests/core/TempDir.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr const char* kModelSettings = MORVIK_EXAMPLES_DIR "/Settings-model.ini";
constexpr const char* kSkull = MORVIK_EXAMPLES_DIR "/skull.txt";

// The settings file with one line of the model section replaced (or the section dropped).
std::string WithModelLine(const std::string& key, const std::string& line) {
    std::string bytes = ReadBytes(kModelSettings);
    const std::string section = "\r\n[Univerz\xE1ln\xED model]";
    const auto start = bytes.find(section);
    if (key.empty()) return bytes.substr(0, start + 2);
    const auto at = bytes.find("\r\n" + key + "=", start);
    const auto end = bytes.find("\r\n", at + 2);
    return bytes.substr(0, at + 2) + line + bytes.substr(end);
}

struct Computed {
    Workspace ws;
    std::vector<Notice> notices;
};

Computed Compute(const std::string& settingsBytes, const std::string& lang = "en",
                 bool withoutGlabella = false) {
    TempDir dir;
    WriteBytes(dir.File("Settings.ini"), settingsBytes);
    const IniFile ini(dir.File("Settings.ini"));
    BatchSettings settings;
    settings.lang = lang;
    std::vector<std::string> notices;
    Computed c{StartWorkspace(ini, settings, &notices), {}};
    for (std::string& text : notices) c.notices.push_back({std::move(text), false});
    LoadTextFile(c.ws, kSkull);
    ConvertDecimalPoints(c.ws);
    if (withoutGlabella)
        for (int col = 2; col <= 4; ++col) c.ws.sgImput.ClearCell(col, 1);
    Calculate(c.ws);
    return c;
}

TEST(ReferenceModelFile, WritesWhatItReadsAndRefusesWhatIsNotANumber) {
    TempDir dir;
    WriteBytes(dir.File("Settings.ini"), ReadBytes(kModelSettings));
    IniFile ini(dir.File("Settings.ini"));
    const ModelRead read = ReadReferenceModel(ini, kUniversalSet);
    ASSERT_TRUE(read.model) << read.problem->en;
    EXPECT_EQ(read.model->nMale, 120);
    EXPECT_EQ(read.model->threshold, 0.9);
    EXPECT_FALSE(ReadReferenceModel(ini, 0).model);  // Praha has no model
    EXPECT_FALSE(ReadReferenceModel(ini, 0).problem);

    WriteReferenceModel(ini, 0, *read.model);
    const ModelRead back = ReadReferenceModel(ini, 0);
    ASSERT_TRUE(back.model);
    EXPECT_EQ(back.model->meanMale, read.model->meanMale);
    EXPECT_EQ(back.model->covariance, read.model->covariance);
    EXPECT_EQ(back.model->population, read.model->population);

    for (const auto& [key, line, named] :
         {std::tuple{"mean_M", "mean_M=1; 2; x", "\"x\" is not a number"},
          std::tuple{"S_3", "S_3=1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18", "more than 17"},
          std::tuple{"n_F", "n_F=", "n_F: missing"},
          std::tuple{"threshold", "threshold=1,5", "between 0.5 and 1"}}) {
        WriteBytes(dir.File("Bad.ini"), WithModelLine(key, line));
        const ModelRead bad = ReadReferenceModel(IniFile(dir.File("Bad.ini")), kUniversalSet);
        EXPECT_FALSE(bad.model) << key;
        ASSERT_TRUE(bad.problem) << key;
        EXPECT_NE(bad.problem->en.find(named), std::string::npos) << bad.problem->en;
        EXPECT_FALSE(bad.problem->cz.empty());
    }
}

// A model that cannot be read or used is said once, naming what is wrong, and the set then
// computes exactly as without one; an equation that does not match its sample is named.
TEST(SetModel, UnusableModelsAreSaidAndLeftAside) {
    const Computed without = Compute(WithModelLine("", ""));
    EXPECT_TRUE(without.notices.empty());
    EXPECT_FALSE(without.ws.evidence);
    struct Case {
        std::string key, line, said;
    };
    const Case cases[] = {
        {"mean_F", "mean_F=1; 2; abc", "\"abc\" is not a number"},
        {"n_M", "n_M=3", "n"},
        // Row 3 (ZYG-ZYG, which equations use) a copy of row 1: no longer a covariance.
        {"S_3", "", "given twice"},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        if (c.key == "S_3") {
            const std::string bytes = ReadBytes(kModelSettings);
            const auto at = bytes.find("\r\nS_1=") + 2;
            line = "S_3=" + bytes.substr(at + 4, bytes.find("\r\n", at) - at - 4);
        }
        const Computed c2 = Compute(WithModelLine(c.key, line));
        ASSERT_EQ(c2.notices.size(), 1u) << c.key;
        EXPECT_NE(c2.notices[0].text.find("cannot be used"), std::string::npos)
            << c2.notices[0].text;
        EXPECT_NE(c2.notices[0].text.find(c.said), std::string::npos) << c2.notices[0].text;
        EXPECT_FALSE(c2.ws.model) << c.key;
        for (int i = 0; i < kEquationCount; ++i)
            EXPECT_EQ(c2.ws.result[i].text, without.ws.result[i].text) << c.key << i;
        EXPECT_EQ(c2.ws.Label1.text, without.ws.Label1.text);
    }
    // A constant moved by a whole unit: the score of even odds is far from 0.
    std::string shifted = ReadBytes(kModelSettings);
    const auto at = shifted.find("sg_1_18=", shifted.find("[Univerz\xE1ln\xED]"));
    shifted.replace(at, shifted.find("\r\n", at) - at, "sg_1_18=-30,5");
    const Computed inconsistent = Compute(shifted);
    ASSERT_EQ(inconsistent.notices.size(), 1u);
    EXPECT_NE(inconsistent.notices[0].text.find("Equation 6"), std::string::npos)
        << inconsistent.notices[0].text;
    EXPECT_TRUE(inconsistent.ws.model);  // still used: the user was told
}

// With the model: votes below the threshold stand in brackets and count apart; a missing
// landmark refits the equations that needed it; the report keeps plain numbers and the
// evidence goes beside it; the batch reads the same votes.
TEST(SetModel, ThresholdRefitsReportAndBatchAgree) {
    const Computed whole = Compute(ReadBytes(kModelSettings));
    ASSERT_TRUE(whole.notices.empty()) << whole.notices[0].text;
    ASSERT_TRUE(whole.ws.evidence);
    int decided = 0, undecided = 0;
    for (int k = 1; k <= kEquationCount; ++k) {
        const EquationEvidence& e = whole.ws.evidence->equations[k - 1];
        const std::string& label = whole.ws.result[k - 1].text;
        const double posterior = e.score >= 0 ? e.posteriorMale : 1 - e.posteriorMale;
        EXPECT_EQ(VoteOfLabel(label) == '?', posterior < 0.9) << label;
        (VoteOfLabel(label) == '?' ? undecided : decided) += 1;
    }
    EXPECT_GT(decided, 0);
    EXPECT_GT(undecided, 0);
    const SkullResult read = ReadResult(whole.ws);
    EXPECT_EQ(VoteSummary(whole.ws), std::to_string(decided + undecided) + " of 7: male " +
                                         std::to_string(decided) + ", female 0, indeterminate " +
                                         std::to_string(undecided));
    for (int e = 0; e < kEquationCount; ++e)
        EXPECT_EQ(read.votes[e] == '?', read.posteriorMale[e] < 0.9) << e;

    // G is missing: G-OP goes, and the equations on it are refitted on what is left.
    const Computed noG = Compute(ReadBytes(kModelSettings), "cz", true);
    int refits = 0;
    for (int k = 1; k <= kEquationCount; ++k) {
        const EquationEvidence& e = noG.ws.evidence->equations[k - 1];
        if (!e.refit) continue;
        ++refits;
        EXPECT_TRUE(e.lost.test(0));
        EXPECT_LT(e.accuracyRefit, e.accuracyFull);
        EXPECT_NE(noG.ws.result[k - 1].text.find('*'), std::string::npos);
        EXPECT_NE(EquationEvidenceText(noG.ws, k, "cz").find("Přepočteno bez"), std::string::npos);
    }
    EXPECT_GT(refits, 0);

    TempDir dir;
    const std::string report = dir.File("lebka.txt");
    ExportReport(noG.ws, kUniversalSet, "cz", report);
    const std::string lines = ReadBytes(report);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 29);
    EXPECT_EQ(lines.find('*'), std::string::npos);
    EXPECT_EQ(lines.find('('), std::string::npos);
    const std::string evidence = ReadBytes(EvidenceFileName(report));
    EXPECT_NE(evidence.find("SYNTHETIC"), std::string::npos);
    EXPECT_NE(evidence.find("Aposteriorní pravděpodobnost"), std::string::npos);

    // Without a model nothing is written beside the report.
    const Computed plain = Compute(WithModelLine("", ""));
    ExportReport(plain.ws, kUniversalSet, "en", dir.File("plain.txt"));
    EXPECT_FALSE(std::filesystem::exists(EvidenceFileName(dir.File("plain.txt"))));
}

// G moved 60 mm forward: G-OP lies far beyond both sexes' means and is named with the
// landmarks to check.
TEST(SetModel, AtypicalMeasurementsAreNamed) {
    TempDir dir;
    WriteBytes(dir.File("Settings.ini"), ReadBytes(kModelSettings));
    Workspace ws = StartWorkspace(IniFile(dir.File("Settings.ini")), BatchSettings{});
    LoadTextFile(ws, kSkull);
    ConvertDecimalPoints(ws);
    ws.sgImput.SetCell(3, 1, "156,2");
    Calculate(ws);
    const std::vector<std::string> warnings = EvidenceWarnings(ws, "en");
    ASSERT_FALSE(warnings.empty());
    EXPECT_NE(warnings[0].find("G-OP"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("above the male mean"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("G, OP"), std::string::npos) << warnings[0];
}

}  // namespace
}  // namespace morvik::core
