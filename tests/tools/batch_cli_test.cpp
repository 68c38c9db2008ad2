// morvik-batch as a user runs it: folders of files, the CSV it writes, its reports, its exit
// status and what it says on standard error.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/Batch.h"
#include "core/BatchRun.h"
#include "core/Csv.h"
#include "core/Export.h"
#include "core/IniFile.h"
#include "core/Version.h"
#include "tests/core/SkullFiles.h"
#include "tests/tools/RunProgram.h"

namespace morvik::core {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

using test::Outcome;

Outcome RunBatch(const TempDir& dir, const std::vector<std::string>& args,
                 const std::string& program = MORVIK_BATCH) {
    return test::RunProgram(dir, program, args);
}

// The rows as read back, the header dropped.
std::vector<std::vector<std::string>> Rows(const std::string& csv) {
    auto records = ParseCsv(csv);
    EXPECT_FALSE(records.empty());
    // The evidence columns (posteriors, typicalities, refits, warnings) follow the verdict,
    // the landmark files' mapping comes last.
    for (const auto& record : records)
        EXPECT_EQ(record.size(), 9u + 17 + 14 + 1 + 4 * 7 + 1 + 1) << record[0];
    records.erase(records.begin());
    return records;
}

std::string Examples(const char* name) { return std::string(MORVIK_EXAMPLES_DIR "/") + name; }

// The sample skull with glabela's Z replaced: a cell the calculation reads and cannot.
std::string SampleSkullWithBadCell(const std::string& text) {
    std::string skull = ReadBytes(Examples("skull.txt"));
    const auto tab = skull.find('\t', skull.find('\t') + 1);
    return skull.replace(tab + 1, skull.find('\r') - tab - 1, text);
}

std::string WindowMessage(const std::string& path) {
    BatchSettings settings;
    Session session;
    const auto skulls = ProcessFile(
        session, StartWorkspace(IniFile(Examples("Settings.ini")), settings), path, settings);
    return skulls.at(0).message;
}

TEST(BatchCli, ErrorRowsDoNotStopTheRun) {
    TempDir dir;
    fs::create_directories(dir.Path() / "coll" / "empty inside");
    fs::create_directories(dir.Path() / "empty");
    WriteBytes(dir.File("coll/good.txt"), ReadBytes(Examples("skull.txt")));
    // An empty coordinate is a missing landmark, not an error; a word where a number belongs is.
    WriteBytes(dir.File("coll/letters.txt"), SampleSkullWithBadCell("three"));
    WriteBytes(dir.File("coll/damaged.xls"), ReadBytes(Examples("skull.xls")).substr(0, 3000));
    WriteBytes(dir.File("coll/notes.doc"), "not looked at");
    WriteBytes(dir.File("truth.csv"), "file,sex\ngood.txt,F\nletters.txt,M\nlost.txt,M\n");

    const Outcome run =
        RunBatch(dir, {"--settings", Examples("Settings.ini"), "--truth", dir.File("truth.csv"),
                       "--summary", dir.File("summary.json"), dir.File("missing.txt"),
                       dir.File("coll"), dir.File("empty")});
    EXPECT_EQ(run.status, 1) << run.err;
    const auto rows = Rows(run.out);
    const struct {
        std::string file, status, message;
    } expected[] = {
        {dir.File("coll/damaged.xls"), "error", WindowMessage(dir.File("coll/damaged.xls"))},
        {dir.File("coll/good.txt"), "ok", ""},
        {dir.File("coll/letters.txt"), "error",
         "Cannot read \"letters.txt\": line 1, landmark G (glabela), axis Z: \"three\" is not a "
         "number."},
        {dir.File("empty"), "error",
         "The folder \"" + dir.File("empty") +
             "\" holds no .xls, .xlsx, .xlsm, .ods, .txt, .csv, .mrk.json, .fcsv, .pp, .ckpt, "
             ".pts, "
             ".dta and .tps files."},
        {dir.File("missing.txt"), "error", WindowMessage(dir.File("missing.txt"))},
    };
    ASSERT_EQ(rows.size(), std::size(expected)) << run.out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], expected[i].file);
        EXPECT_EQ(rows[i][2], expected[i].status) << rows[i][3];
        EXPECT_EQ(rows[i][3], expected[i].message);
        EXPECT_FALSE(rows[i][3].empty() && expected[i].status == "error");
        // An error row leaves everything after its message empty.
        if (rows[i][2] == "error") {
            for (std::size_t c = 4; c < rows[i].size(); ++c) EXPECT_EQ(rows[i][c], "") << c;
        }
    }
    EXPECT_EQ(rows[1][40], "male");

    // Truth matched by the path within the folder; a failed skull and an unmatched entry are
    // reported apart.
    EXPECT_NE(run.err.find("Validation: 5 skulls, 1 computed of known sex, 1 of known sex failed"),
              std::string::npos)
        << run.err;
    const std::string json = ReadBytes(dir.File("summary.json"));
    EXPECT_NE(json.find("\"truth_without_file\": [\"lost.txt\"]"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"name\": \"verdict\", \"known\": 1, \"correct\": 0,"),
              std::string::npos);
}

// Awkward file names, workbooks of several sheets, empty cells and failures, computed with one
// worker and with two: the same bytes, and reports that are the window's export.
TEST(BatchCli, SameBytesWithOneOrTwoWorkersAndReportsAsExported) {
    TempDir dir;
    std::mt19937 rng(4);
    WriteBytes(dir.File("Settings.ini"), test::RandomSettings(rng));
    const fs::path in = dir.Path() / "in";
    fs::create_directories(in / "sub");
    const std::vector<std::string> awkward{"a,b.txt", "say \"hi\".txt", "line\nend.txt",
                                           "cr\r\nlf.TXT"};
    for (const std::string& name : awkward)
        test::WriteSkullText((in / name).string(), test::RandomSkull(rng, 0, 0.0), ',');
    for (int i = 0; i < 24; ++i) {
        const std::string name = (i % 3 ? "sub/" : "") + std::string("s") + std::to_string(i);
        if (i % 2) {
            test::WriteSkullText((in / (name + ".txt")).string(), test::RandomSkull(rng, 0, 0.05),
                                 '.');
        } else {
            test::WriteSkullWorkbook(
                (in / (name + ".xls")).string(),
                {test::RandomSkull(rng, 30, 0.03), test::RandomSkull(rng, 5, 0)});
        }
    }
    WriteBytes((in / "sub/letters.txt").string(), SampleSkullWithBadCell("x"));

    std::vector<Outcome> runs;
    for (const char* jobs : {"1", "2"}) {
        runs.push_back(RunBatch(dir, {"--settings", dir.File("Settings.ini"), "--set", "1",
                                      "--lang", "cz", "--all-sheets", "--jobs", jobs, "--reports",
                                      dir.File(std::string("reports") + jobs), in.string()}));
        EXPECT_EQ(runs.back().status, 1) << runs.back().err;
        EXPECT_EQ(runs.back().err, "");
    }
    EXPECT_EQ(runs[0].out, runs[1].out);

    for (const std::string& name : awkward) {
        std::string quoted;
        AppendCsvField(quoted, (in / name).string());
        EXPECT_NE(runs[0].out.find("\r\n" + quoted + ","), std::string::npos) << quoted;
    }

    BatchSettings settings;
    settings.set = 0;
    settings.lang = "cz";
    settings.allSheets = true;
    settings.reports = true;
    const Workspace start = StartWorkspace(IniFile(dir.File("Settings.ini")), settings);
    const auto rows = Rows(runs[0].out);
    EXPECT_EQ(rows.size(), 4u + 12 + 12 * 2 + 1);
    int reports = 0, votes = 0;
    for (const BatchInput& input : CollectInputs({in.string()})) {
        Session session;
        for (const SkullResult& skull : ProcessFile(session, start, input.path, settings)) {
            if (!skull.ok) continue;
            const std::string name = ReportFileName(input, skull, true);
            WriteReport(dir.File("expected.txt"), skull.reportLines);
            const std::string expected = ReadBytes(dir.File("expected.txt"));
            EXPECT_EQ(ReadBytes(dir.File("reports1/" + name)), expected) << name;
            EXPECT_EQ(ReadBytes(dir.File("reports2/" + name)), expected) << name;
            ++reports;
            for (char vote : skull.votes) votes += vote != 0;
        }
    }
    EXPECT_EQ(reports, 4 + 12 + 12 * 2);
    EXPECT_GT(votes, 100);
}

// A lab's own labels reach the mapping column; a names file that names no landmark is a
// usage error before any file is read.
TEST(BatchCli, LandmarkNamesOfTheLab) {
    TempDir dir;
    WriteBytes(dir.File("names.csv"), "LM1,G\nLM21,OP\n");
    WriteBytes(dir.File("house.pts"), "v\n3\nLM1 0.4 96.2 41.8\nLM21 -0.2 -89.6 34.7\nx 1 2 3\n");
    const Outcome run =
        RunBatch(dir, {"--settings", Examples("Settings.ini"), "-q", "--landmark-names",
                       dir.File("names.csv"), dir.File("house.pts")});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto rows = Rows(run.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][2], "ok");
    EXPECT_EQ(rows[0].back(), "LM1 \u2192 G, LM21 \u2192 OP; labels that name no landmark: \"x\"");
    EXPECT_EQ(rows[0][3],
              "Landmark Editor points, no coordinate system stated; the file states no unit: "
              "the coordinates were taken as millimetres.");

    WriteBytes(dir.File("bad.csv"), "LM1,G\nLM2,nowhere\n");
    const Outcome bad = RunBatch(dir, {"--settings", Examples("Settings.ini"), "--landmark-names",
                                       dir.File("bad.csv"), dir.File("house.pts")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 2: \"nowhere\" is no landmark abbreviation"), std::string::npos)
        << bad.err;
}

TEST(BatchCli, ExitStatusAndMessages) {
    TempDir dir;
    WriteBytes(dir.File("bad.ini"), "[Univerz\xE1ln\xED]\r\nsg_1_1=0,1x\r\n");
    const std::string settings = Examples("Settings.ini");
    const std::string skull = Examples("skull.txt");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"--settings", settings, skull}, 0, ""},
        {{"--settings", settings, "--use", "2,6", "--set", "4", "-q", skull}, 0, ""},
        {{"--settings", settings}, 2, "morvik-batch: no file or folder given\nUsage: "},
        {{"--settings", dir.File("none.ini"), skull},
         2,
         "morvik-batch: cannot read the settings file \"" + dir.File("none.ini") + "\"\n"},
        {{"--settings", dir.File("bad.ini"), skull},
         2,
         "morvik-batch: the settings file \"" + dir.File("bad.ini") +
             "\" cannot be used: Cannot read the coefficient of G-OP in equation 6 ('0.1x' is "
             "not a valid floating point value).\n"},
        {{"--settings", settings, "--use", "1,8", skull},
         2,
         "morvik-batch: --use takes a number from 1 to 7, not \"8\"\n"},
        {{"--settings", settings, "--set", "0", skull}, 2, "--set takes a number from 1 to 4"},
        {{"--settings", settings, "--lang", "de", skull}, 2, "--lang takes cz or en"},
        {{"--settings", settings, "--summary", "s.json", skull}, 2, "--summary needs --truth"},
        {{"--frobnicate", skull}, 2, "unknown option --frobnicate"},
        // Messages follow --lang, even for a mistake before it on the line.
        {{"--frobnicate", "--lang=cz", skull}, 2, "neznámá volba --frobnicate"},
        {{"--lang", "cz", "--settings", dir.File("bad.ini"), skull},
         2,
         "morvik-batch: soubor nastavení „" + dir.File("bad.ini") + "“ nelze použít: "},
    };
    for (const auto& c : cases) {
        const Outcome run = RunBatch(dir, c.args);
        EXPECT_EQ(run.status, c.status) << c.args.back() << run.err;
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        }
    }

    const Outcome version = RunBatch(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "morvik-batch " + std::string(kVersion) + "\n");
    const Outcome help = RunBatch(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: morvik-batch [options] PATH...\n", 0), 0u);

    // A table written into the folder it reads is not read back as a skull.
    fs::create_directories(dir.Path() / "own");
    WriteBytes(dir.File("own/skull.txt"), ReadBytes(skull));
    for (int round = 0; round < 2; ++round) {
        const Outcome own = RunBatch(
            dir, {"--settings", settings, "-o", dir.File("own/table.txt"), dir.File("own")});
        EXPECT_EQ(own.status, 0) << own.err;
        EXPECT_EQ(Rows(ReadBytes(dir.File("own/table.txt"))).size(), 1u);
    }

    // Without --settings: Settings.ini beside the program, wherever it is run from.
    fs::copy_file(MORVIK_BATCH, dir.File("morvik-batch"));
    WriteBytes(dir.File("Settings.ini"), ReadBytes(settings));
    const Outcome beside = RunBatch(dir, {skull}, dir.File("morvik-batch"));
    EXPECT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out, RunBatch(dir, {"--settings", settings, skull}).out);
    fs::remove(dir.File("Settings.ini"));
    EXPECT_EQ(RunBatch(dir, {skull}, dir.File("morvik-batch")).status, 2);
}

// A truth table kept in a folder of its own names the skulls from there, with the sex in the
// words our CSV writes or in Czech, in any case, saved as UTF-8 or as Windows-1250.
TEST(BatchCli, TruthTableInAnotherFolderWithTheSexInWords) {
    TempDir dir;
    fs::create_directories(dir.Path() / "coll");
    fs::create_directories(dir.Path() / "truth");
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        WriteBytes(dir.File(std::string("coll/") + name), ReadBytes(Examples("skull.txt")));
    const std::string utf8 =
        "file,sex\r\n../coll/a.txt,male\r\n../coll/b.txt,Žena\r\n../coll/c.txt,MUŽ\r\n"
        "../coll/d.txt,FEMALE\r\n";
    std::string cp1250 = utf8;
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"Ž", "\x8E"}, {"MUŽ", "MU\x8E"}})
        cp1250.replace(cp1250.find(from), from.size(), to);
    for (const std::string& table : {utf8, cp1250}) {
        WriteBytes(dir.File("truth/truth.csv"), table);
        const Outcome run = RunBatch(
            dir, {"--settings", Examples("Settings.ini"), "--truth", dir.File("truth/truth.csv"),
                  "--summary", dir.File("summary.json"), dir.File("coll")});
        EXPECT_EQ(run.status, 0) << run.err;
        // The sample skull is male: two right, two females called male.
        const std::string json = ReadBytes(dir.File("summary.json"));
        for (const char* part :
             {"{\"name\": \"verdict\", \"known\": 4, \"correct\": 2,", "\"male_as_male\": 2",
              "\"female_as_male\": 2", "\"without_truth\": []", "\"truth_without_file\": []"})
            EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    }
}

// A folder or file the run cannot write is told with the system's reason, in the run's
// language, and without the usage line: the command line itself was right.
TEST(BatchCli, UnwritableOutputsSayWhy) {
    TempDir dir;
    WriteBytes(dir.File("plain"), "a file, where a folder is needed");
    WriteBytes(dir.File("truth.csv"), "file,sex\r\nskull.txt,M\r\n");
    const std::string skull = Examples("skull.txt");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--reports", dir.File("plain/reports")},
         "cannot write into the reports folder \"" + dir.File("plain/reports") +
             "\": Not a directory\n"},
        {{"--lang", "cz", "--reports", dir.File("plain")},
         "do složky výsledků „" + dir.File("plain") + "“ nelze zapisovat: není složka\n"},
        {{"-o", dir.File("plain/table.csv")},
         "cannot create \"" + dir.File("plain/table.csv") + "\": Not a directory\n"},
        {{"--lang=cz", "-o", dir.File("none/table.csv")},
         "soubor „" + dir.File("none/table.csv") +
             "“ nelze vytvořit: soubor nebo složka neexistuje\n"},
        {{"-q", "--truth", dir.File("truth.csv"), "--summary", dir.File("plain/s.json")},
         "cannot write the summary \"" + dir.File("plain/s.json") + "\": Not a directory\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--settings", Examples("Settings.ini")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(skull);
        const Outcome run = RunBatch(dir, args);
        EXPECT_EQ(run.status, 2) << c.err;
        const std::string err = run.err.substr(run.err.find("morvik-batch: "));
        EXPECT_EQ(err, "morvik-batch: " + c.err);
    }
}

// Sets by name in either language; a workbook's sheet by number or name, and a workbook
// whose first sheet holds no landmarks refused unless a sheet is chosen.
TEST(BatchCli, SetsByNameAndSheetsByNumberOrName) {
    TempDir dir;
    std::mt19937 rng(11);
    WriteBytes(dir.File("Settings.ini"), test::RandomSettings(rng));
    fs::create_directories(dir.Path() / "in");
    test::WriteSkullWorkbook(dir.File("in/second.xls"),
                             {test::SkullSpec{}, test::RandomSkull(rng, 20, 0)});
    test::WriteSkullWorkbook(dir.File("in/both.xls"),
                             {test::RandomSkull(rng, 0, 0), test::RandomSkull(rng, 0, 0.1)});
    test::WriteSkullText(dir.File("in/skull.txt"), test::RandomSkull(rng, 0, 0), '.');
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", dir.File("Settings.ini")});
        args.push_back(dir.File("in"));
        return RunBatch(dir, args);
    };

    for (const auto& [name, number] :
         {std::pair{"Universal", "4"}, {"univerzální", "4"}, {"PRAHA", "1"}, {"Lisbon", "2"}}) {
        const Outcome byName = run({"--set", name, "--all-sheets"});
        EXPECT_EQ(byName.err, "");
        EXPECT_EQ(byName.out, run({"--set", number, "--all-sheets"}).out) << name;
    }
    EXPECT_NE(run({"--set", "Praha"}).out, run({"--set", "Universal"}).out);

    // Rows: both.xls, second.xls, skull.txt.
    const Outcome first = run({});
    EXPECT_EQ(first.status, 1);
    auto rows = Rows(first.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][2], "ok");
    EXPECT_EQ(rows[1][1], "S1");
    EXPECT_EQ(rows[1][2], "error");
    EXPECT_EQ(rows[1][3],
              "The first sheet \"S1\" holds no landmarks; sheet \"S2\" does: choose it with "
              "--sheet.");
    EXPECT_EQ(rows[2][2], "ok");

    const Outcome all = run({"--all-sheets"});
    const auto allRows = Rows(all.out);
    ASSERT_EQ(allRows.size(), 5u);
    for (const char* sheet : {"2", "s2", "S2"}) {
        const Outcome chosen = run({"--sheet", sheet});
        EXPECT_EQ(chosen.status, 0) << chosen.err;
        rows = Rows(chosen.out);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0], allRows[1]) << sheet;  // both.xls S2
        EXPECT_EQ(rows[1], allRows[3]) << sheet;  // second.xls S2
        EXPECT_EQ(rows[2], allRows[4]) << sheet;  // the text file, as always
    }
    const Outcome missing = run({"--sheet", "3"});
    EXPECT_EQ(missing.status, 1);
    rows = Rows(missing.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][3], "The workbook has no sheet 3; its sheets: \"S1\" and \"S2\".");
    EXPECT_EQ(rows[2][2], "ok");
    EXPECT_EQ(run({"--sheet", "2", "--all-sheets"}).status, 2);
}

}  // namespace
}  // namespace morvik::core
