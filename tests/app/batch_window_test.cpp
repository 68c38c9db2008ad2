// The batch against the window itself, on the same files and settings: a user picks the set,
// the language and the equations, opens the file, presses Calculate and exports. The batch
// must show the same votes, the scores the labels round, the same verdict, the window's
// message for a file that fails, and a report of the same bytes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/fMain.h"
#include "compute/Compute.h"
#include "core/Batch.h"
#include "core/Export.h"
#include "core/IniFile.h"
#include "tests/core/SkullFiles.h"
#include "text/Decimal.h"

namespace morvik::app {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct Choice {
    std::optional<int> set;  // list position; none: the set the window starts with
    std::string lang = "en";
    std::array<bool, kEquationCount> use{true, true, true, true, true, true, true};
};

struct WindowOutcome {
    QStringList messages;
    std::array<std::string, kEquationCount> labels;
    std::array<std::optional<double>, kEquationCount> scores;  // by column, where a label votes
    std::string verdict;
    std::string report;
};

WindowOutcome RunWindow(const TempDir& programDir, const std::string& file, const Choice& choice) {
    WindowOutcome outcome;
    TForm1 form(QString::fromStdString(programDir.Path().string()));
    form.setMessageSink([&](const QString& text) { outcome.messages << text; });
    form.show();
    const auto pick = [&](const char* name, int index) {
        auto* box = form.findChild<QComboBox*>(name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    };
    if (choice.set) pick("ComboBox1", *choice.set);
    pick("ComboBox2", choice.lang == "cz" ? 0 : 1);
    for (std::size_t i = 0; i < kEquationCount; ++i) {
        auto* box = form.findChild<QAbstractButton*>(("cb" + std::to_string(i + 1)).c_str());
        if (box->isChecked() != choice.use[i]) box->click();
    }
    const auto click = [&](const char* name) { form.findChild<QAbstractButton*>(name)->click(); };
    form.setNextFileName(QString::fromStdString(file));
    click("Button1");
    click("Button2");

    const Workspace& ws = form.workspace();
    for (std::size_t i = 0; i < kEquationCount; ++i) {
        outcome.labels[i] = ws.result[i].text;
        if (!outcome.labels[i].empty() && outcome.labels[i].front() != '.')
            outcome.scores[i] = EquationScore(ws, static_cast<int>(i) + 1);
    }
    outcome.verdict = ws.Label1.text;
    if (outcome.messages.isEmpty()) {
        const std::string report = programDir.File("window-report.txt");
        form.setNextFileName(QString::fromStdString(report));
        click("Button3");
        outcome.report = ReadBytes(report);
    }
    return outcome;
}

void ExpectSameAsWindow(const TempDir& dir, const std::string& file, const Choice& choice) {
    SCOPED_TRACE(file + " set " + std::to_string(choice.set.value_or(-1)) + " " + choice.lang);
    const WindowOutcome window = RunWindow(dir, file, choice);

    core::BatchSettings settings;
    settings.set = choice.set;
    settings.lang = choice.lang;
    settings.use = choice.use;
    settings.reports = true;
    const core::IniFile ini(dir.File("Settings.ini"));
    core::Session session;
    const auto skulls =
        core::ProcessFile(session, core::StartWorkspace(ini, settings), file, settings);
    ASSERT_EQ(skulls.size(), 1u);
    const core::SkullResult& skull = skulls[0];

    if (!window.messages.isEmpty()) {
        ASSERT_EQ(window.messages.size(), 1);
        EXPECT_FALSE(skull.ok);
        EXPECT_EQ(skull.message, window.messages[0].toStdString());
        return;
    }
    ASSERT_TRUE(skull.ok) << skull.message;
    int male = 0, female = 0;
    for (int k = 1; k <= kEquationCount; ++k) {
        SCOPED_TRACE("column " + std::to_string(k));
        const auto column = static_cast<std::size_t>(k - 1);
        const auto number = static_cast<std::size_t>(core::EquationOfColumn(k) - 1);
        const std::string& label = window.labels[column];
        ASSERT_EQ(skull.scores[number].has_value(), window.scores[column].has_value()) << label;
        if (!skull.scores[number]) {
            EXPECT_EQ(skull.votes[number], 0);
            continue;
        }
        EXPECT_EQ(*skull.scores[number], *window.scores[column]);
        EXPECT_EQ(FormatDecimal(*skull.scores[number], 2, false, ','), label);
        EXPECT_EQ(skull.votes[number], label.front() == '-' ? 'F' : 'M') << label;
        (label.front() == '-' ? female : male) += 1;
    }
    const VerdictWords words = VerdictWordsFor(choice.lang);
    const std::string expected = male + female == 0 ? std::string(words.indeterminate)
                                 : male == female
                                     ? std::string(words.male) + "/" + std::string(words.female)
                                 : male > female ? std::string(words.male)
                                                 : std::string(words.female);
    EXPECT_EQ(window.verdict, expected);
    const std::string_view name = core::VerdictName(skull.verdict);
    EXPECT_EQ(name, male + female == 0 ? "indeterminate"
                    : male == female   ? "tie"
                    : male > female    ? "male"
                                       : "female");

    core::WriteReport(dir.File("batch-report.txt"), skull.reportLines);
    EXPECT_EQ(ReadBytes(dir.File("batch-report.txt")), window.report);
}

TEST(BatchAgainstWindow, ExamplesInEveryLanguageSetAndChoiceOfEquations) {
    TempDir dir;
    WriteBytes(dir.File("Settings.ini"), ReadBytes(MORVIK_EXAMPLES_DIR "/Settings.ini"));
    Choice someEquations;
    someEquations.use = {false, true, true, false, true, false, true};
    for (const char* file : {"skull.txt", "skull.xls"}) {
        const std::string path = std::string(MORVIK_EXAMPLES_DIR "/") + file;
        ExpectSameAsWindow(dir, path, {});
        ExpectSameAsWindow(dir, path, {.set = 1, .lang = "cz"});
        ExpectSameAsWindow(dir, path, {.set = 3, .lang = "en"});
        ExpectSameAsWindow(dir, path, someEquations);
    }
}

TEST(BatchAgainstWindow, GeneratedSkullsEmptyCellsAndFailures) {
    std::mt19937 rng(20261207);
    TempDir dir;
    WriteBytes(dir.File("Settings.ini"), test::RandomSettings(rng));
    for (int i = 0; i < 12; ++i) {
        // Every third skull has empty cells; clouds only come with workbooks.
        const double emptyShare = i % 3 == 0 ? 0.05 : 0.0;
        const test::SkullSpec skull = test::RandomSkull(rng, i % 2 ? 0 : 40, emptyShare);
        const std::string path = dir.File("skull" + std::to_string(i) + (i % 2 ? ".txt" : ".xls"));
        if (i % 2)
            test::WriteSkullText(path, skull, i % 4 == 1 ? ',' : '.');
        else
            test::WriteSkullWorkbook(path, {skull});
        Choice choice;
        choice.set = i % 4 == 0 ? std::nullopt : std::optional<int>(i % 4 - 1);
        choice.lang = i % 3 == 0 ? "cz" : "en";
        for (std::size_t k = 0; k < kEquationCount; ++k) choice.use[k] = (i + k) % 5 != 0;
        ExpectSameAsWindow(dir, path, choice);
    }

    // A score of -0.004 shows as 0 and votes male; -0.006 shows as -0,01 and votes female.
    WriteBytes(dir.File("Settings.ini"),
               "[Univerz\xE1ln\xED]\r\nsg_1_1=0,01\r\nsg_1_18=-1,004\r\nsg_2_1=0,01\r\n"
               "sg_2_18=-1,006\r\n");
    WriteBytes(dir.File("edge.txt"), std::string(20, '\n') + "0\t100\t0\r\n");
    ExpectSameAsWindow(dir, dir.File("edge.txt"), {});

    // Failures carry the window's own message.
    WriteBytes(dir.File("letters.txt"), "1\t2\tthree\r\n");
    WriteBytes(dir.File("damaged.xls"), "\xD0\xCF\x11\xE0 not a compound file");
    for (const char* name :
         {"letters.txt", "damaged.xls", "missing.txt", "missing.xls", "notes.doc"})
        ExpectSameAsWindow(dir, dir.File(name), {});
}

}  // namespace
}  // namespace morvik::app
