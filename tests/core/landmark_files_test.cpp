// Landmark files of digitizing programs through the load command and the batch: the same
// skull as the sample text file, units, clouds, the mapping told back, and refusals that
// leave the workspace as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "TempDir.h"
#include "compute/Compute.h"
#include "core/Batch.h"
#include "core/BatchRun.h"
#include "core/Captions.h"
#include "core/Commands.h"
#include "core/DataExchange.h"
#include "core/EquationSets.h"
#include "core/Export.h"
#include "core/IniFile.h"
#include "core/LandmarkFileLoader.h"
#include "core/Loaders.h"
#include "core/Messages.h"

namespace morvik::core {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;

const std::string kFixtures = MORVIK_LANDMARK_FIXTURES;

Workspace Start() {
    const IniFile ini(MORVIK_EXAMPLES_DIR "/Settings.ini");
    return StartWorkspace(ini, BatchSettings{});
}

// The workspace after the load command and Calculate: what the window shows and exports.
std::vector<std::string> ReportOf(Workspace ws, const std::string& path) {
    LoadFileCommand(ws, path, nullptr);
    Calculate(ws);
    return ReportLines(ws, kUniversalSet, "en");
}

std::vector<std::string> Coordinates(const Workspace& ws) {
    std::vector<std::string> cells;
    for (int r = 1; r <= 22; ++r)
        for (int c = 2; c <= 4; ++c) cells.push_back(ws.sgImput.Cell(c, r));
    return cells;
}

TEST(LandmarkFiles, MarkupsOfTheSampleSkullGiveTheSampleTextsReport) {
    const Workspace start = Start();
    const auto fromText = ReportOf(start, MORVIK_EXAMPLES_DIR "/skull.txt");
    // Labelled in a lab's own mix of names, in another order than the table's.
    const auto fromMarkups = ReportOf(start, kFixtures + "/skull.mrk.json");
    EXPECT_EQ(fromMarkups, fromText);
    ASSERT_EQ(fromText.size(), 29u);

    // A TPS file has no labels: its 22 points are the table's order; the second skull is
    // written in micrometres with SCALE=0.001.
    Workspace tps = start;
    const LandmarkLoadReport report = LoadLandmarkFile(tps, kFixtures + "/skulls.tps", 1);
    EXPECT_TRUE(report.orderAssumed);
    EXPECT_EQ(report.specimen, "2");
    EXPECT_EQ(LandmarkLoadNotes(report, "en"),
              "TPS landmarks, no coordinate system stated; specimen \"2\" (2 of 2); the file "
              "states no unit: the coordinates were taken as millimetres; the point labels name "
              "no landmarks: the 22 points were taken in the order of the landmark table.");
    ConvertDecimalPoints(tps);
    Calculate(tps);
    EXPECT_EQ(ReportLines(tps, kUniversalSet, "en"), fromText);
}

TEST(LandmarkFiles, UnitsCloudsMissingPointsAndTheMappingTold) {
    Workspace ws = Start();
    const LandmarkLoadReport r = LoadLandmarkFile(ws, kFixtures + "/features_ras.mrk.json");
    // Micrometres became millimetres; the point not placed is an empty landmark.
    EXPECT_EQ(ws.sgImput.Cell(3, 1), "96.2");
    EXPECT_EQ(ws.sgImput.Cell(4, 21), "34.7");
    for (int c = 2; c <= 4; ++c) EXPECT_EQ(ws.sgImput.Cell(c, 22), "");
    EXPECT_EQ(r.euRightPoints, 3);
    EXPECT_EQ(r.euLeftPoints, 1);
    EXPECT_EQ(ws.sgImput2.Cell(0, 3), "-72");
    EXPECT_EQ(ws.sgImput2.Cell(0, 4), "");
    EXPECT_EQ(ws.sgImput3.Cell(2, 1), "60");
    EXPECT_EQ(ws.sgImput2.Cell(0, 0), "X");  // the headers stay

    const std::string mapping = LandmarkMappingText(r, "en");
    for (const char* part :
         {"Ba \u2192 BA (missing)", "Zygion prav\u00fd \u2192 ZYGdx", "\"Nasion\" \u2192 N",
          "Euryon dx \u2192 EUdx (3 points)", "eu_L \u2192 EUsin (1 point)",
          "labels that name no landmark: \"Porion R\""})
        EXPECT_NE(mapping.find(part), std::string::npos) << part << "\n" << mapping;
    const std::string notes = LandmarkLoadNotes(r, "en");
    EXPECT_NE(notes.find("coordinate system RAS"), std::string::npos) << notes;
    EXPECT_NE(notes.find("converted from um to millimetres"), std::string::npos) << notes;
    EXPECT_EQ(notes.find("probably"), std::string::npos) << notes;
    const std::string cz = LandmarkLoadNotes(r, "cz") + LandmarkMappingText(r, "cz");
    EXPECT_NE(cz.find("souřadnicový systém RAS"), std::string::npos) << cz;
    EXPECT_NE(cz.find("Ba \u2192 BA (chybí)"), std::string::npos) << cz;

    // A file with no unit is taken as millimetres, and says so; default labels are taken in
    // the table's order only when there are 22 of them, and that is said too.
    Workspace other = Start();
    const LandmarkLoadReport fcsv = LoadLandmarkFile(other, kFixtures + "/default_labels_ras.fcsv");
    EXPECT_TRUE(fcsv.unitAssumed);
    EXPECT_TRUE(fcsv.orderAssumed);
    EXPECT_EQ(other.sgImput.Cell(4, 22), "-8.3");
    const std::string fcsvNotes = LandmarkLoadNotes(fcsv, "en");
    EXPECT_NE(fcsvNotes.find("states no unit"), std::string::npos) << fcsvNotes;
    EXPECT_NE(fcsvNotes.find("order of the landmark table"), std::string::npos) << fcsvNotes;
    EXPECT_NE(LandmarkMappingText(fcsv, "en").find("F-22 \u2192 BA"), std::string::npos);
}

TEST(LandmarkFiles, ProbableUnitErrorIsToldNotRefused) {
    TempDir dir;
    // The sample skull written in centimetres without saying so: G–OP is 18.6 "mm".
    std::string pts = "Version 1.0\n2\n";
    pts += "glabella 0.04 9.62 4.18\nop -0.02 -8.96 3.47\n";
    WriteBytes(dir.File("cm.pts"), pts);
    Workspace ws = Start();
    const LandmarkLoadReport r = LoadLandmarkFile(ws, dir.File("cm.pts"));
    EXPECT_TRUE(r.unitSuspect);
    ASSERT_TRUE(r.glabellaOpisthocranion);
    EXPECT_NEAR(*r.glabellaOpisthocranion, 18.6, 0.05);
    EXPECT_NE(LandmarkLoadNotes(r, "en").find("G\u2013OP measures 18.6 mm"), std::string::npos)
        << LandmarkLoadNotes(r, "en");
    EXPECT_NE(LandmarkLoadNotes(r, "cz").find("18,6 mm"), std::string::npos);
    EXPECT_EQ(ws.sgImput.Cell(2, 21), "-0.02");
}

// A file of a great many points of distinct labels: each label is matched and listed once,
// in time that grows with the file, not with its square.
TEST(LandmarkFiles, ManyStrayLabelsLoadInLinearTime) {
    TempDir dir;
    constexpr int kStray = 200'000;
    std::string pts = "v\n" + std::to_string(kStray + 1) + "\nglabella 0 0 0\n";
    for (int i = 0; i < kStray; ++i) pts += "x" + std::to_string(i) + " 1 2 3\n";
    WriteBytes(dir.File("many.pts"), pts);
    Workspace ws = Start();
    const auto start = std::chrono::steady_clock::now();
    const LandmarkLoadReport r = LoadLandmarkFile(ws, dir.File("many.pts"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(r.unmatched.size(), static_cast<std::size_t>(kStray));
    EXPECT_EQ(r.unmatched.back(), "x199999");
}

TEST(LandmarkFiles, RefusedFilesNameThemselvesAndLeaveTheWorkspace) {
    TempDir dir;
    const struct {
        std::string name, bytes, message;
    } cases[] = {
        {"twice.pts", "v\n3\nGlabella 1 2 3\ng 4 5 6\nnasion 7 8 9\n",
         "Cannot read \"twice.pts\": two of its points, \"Glabella\" and \"g\", both name "
         "landmark G."},
        {"none.pp", "<PickedPoints><point x=\"1\" y=\"2\" z=\"3\" name=\"porion\"/></PickedPoints>",
         "Cannot read \"none.pp\": none of its labels names a landmark (\"porion\")."},
        {"few.tps", "LM3=2\n1 2 3\n4 5 6\n",
         "Cannot read \"few.tps\": none of its labels names a landmark (\"#1\", \"#2\")."},
        {"bad.mrk.json", "{\"markups\": [\n{\"controlPoints\": [\n{\"position\": [1]}]}]}",
         "Cannot read \"bad.mrk.json\": line 3: a position is not three numbers."},
        {"um.ckpt", "[Landmarks]\nUnits: furlong\n",
         "Cannot read \"um.ckpt\": line 2: unknown unit \"furlong\"."},
    };
    const Workspace start = Start();
    Workspace loaded = start;
    LoadFileCommand(loaded, MORVIK_EXAMPLES_DIR "/skull.txt", nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File(c.name), c.bytes);
        Workspace ws = loaded;
        try {
            LoadMeasurementFile(ws, dir.File(c.name), nullptr);
            ADD_FAILURE() << "loaded";
        } catch (const EUserError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(Coordinates(ws), Coordinates(loaded));
    }
}

TEST(LandmarkFiles, LoaderTableTxtByContentAndOwnNames) {
    for (const char* name : {"a.MRK.JSON", "a.fcsv", "a.pp", "a.ckpt", "a.pts", "a.dta", "a.tps"}) {
        const Loader* loader = FindLoader(name);
        ASSERT_NE(loader, nullptr) << name;
        EXPECT_NE(loader->loadText, nullptr) << name;
    }
    EXPECT_EQ(FindLoader("a.json"), nullptr);
    // The open dialog's first filter offers every format of the table, in both languages.
    for (const CaptionSet* set : {&kCzechCaptions, &kEnglishCaptions}) {
        const std::string_view filter = set->openFilter;
        const std::size_t from = filter.find('|') + 1;
        const std::string first(filter.substr(from, filter.find('|', from) - from));
        for (const Loader& loader : Loaders()) {
            const std::string pattern = "*" + std::string(loader.extension);
            EXPECT_TRUE((";" + first + ";").find(";" + pattern + ";") != std::string::npos)
                << set->code << " " << pattern << " in " << first;
        }
    }
    EXPECT_EQ(FindLoader("a.mrk.json")->extension, ".mrk.json");

    // A Morphologika .txt loads its first skull; a tab-separated one stays what it was.
    Workspace ws = Start();
    LoadFileCommand(ws, kFixtures + "/skulls_morphologika.txt", nullptr);
    EXPECT_EQ(ws.sgImput.Cell(3, 3), "103,5");
    EXPECT_TRUE(IsLandmarkFile(kFixtures + "/skulls_morphologika.txt"));
    EXPECT_FALSE(IsLandmarkFile(MORVIK_EXAMPLES_DIR "/skull.txt"));
    EXPECT_EQ(LandmarkFileSpecimens(kFixtures + "/skulls_morphologika.txt"),
              (std::vector<std::string>{"skull a", "skull b"}));

    // A lab's house names, from a two-column file with a header.
    TempDir dir;
    WriteBytes(dir.File("names.csv"), "label;landmark\nLM1;G\n\"LM 2\";N\n");
    WriteBytes(dir.File("house.pts"), "v\n3\nLM1 1 2 3\nLM2 4 5 6\nbasion 7 8 9\n");
    const LandmarkNameTable names = ReadLandmarkNames(dir.File("names.csv"));
    Workspace own = Start();
    const LandmarkLoadReport r = LoadLandmarkFile(own, dir.File("house.pts"), 0, {&names});
    EXPECT_EQ(LandmarkMappingText(r, "en"), "LM1 \u2192 G, LM2 \u2192 N, basion \u2192 BA");
    WriteBytes(dir.File("wrong.csv"), "LM1,G\nLM2,zygion\n");
    try {
        ReadLandmarkNames(dir.File("wrong.csv"));
        ADD_FAILURE() << "read";
    } catch (const EUserError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot read the landmark names \"wrong.csv\": line 2: \"zygion\" is no "
                  "landmark abbreviation.");
    }
}

TEST(LandmarkFiles, BatchOverAFolderOfEveryFormat) {
    TempDir dir;
    for (const auto& entry : fs::directory_iterator(kFixtures))
        fs::copy_file(entry.path(), dir.Path() / entry.path().filename());
    fs::copy_file(MORVIK_EXAMPLES_DIR "/skull.txt", dir.Path() / "skull.txt");
    WriteBytes(dir.File("broken.tps"), "LM3=5\n1 2 3\n");

    const Workspace start = Start();
    BatchSettings settings;
    Session session;
    std::map<std::string, std::vector<SkullResult>> results;
    std::string csv = BatchCsvHeader();
    for (const BatchInput& input : CollectInputs({dir.Path().string()})) {
        ASSERT_EQ(input.error, "");
        auto skulls = ProcessFile(session, start, input.path, settings);
        csv += BatchCsvRecords(input, skulls, settings);
        results[fs::path(input.path).filename().string()] = std::move(skulls);
    }
    EXPECT_EQ(results.size(), 12u);
    EXPECT_TRUE(csv.starts_with("file,") &&
                csv.find(",verdict,posterior_1,") != std::string::npos &&
                csv.find(",warnings,mapping\r\n") != std::string::npos);

    // Several skulls in one file are a row each, named by the file's specimen names.
    ASSERT_EQ(results["skulls.dta"].size(), 2u);
    EXPECT_EQ(results["skulls.dta"][1].sheet, "skull_b");
    ASSERT_EQ(results["skulls_morphologika.txt"].size(), 2u);
    ASSERT_EQ(results["skulls.tps"].size(), 2u);
    EXPECT_EQ(results["skull.txt"].size(), 1u);
    for (auto& [name, skulls] : results) {
        for (const SkullResult& skull : skulls) {
            SCOPED_TRACE(name + " " + skull.sheet);
            EXPECT_EQ(skull.ok, name != "broken.tps") << skull.message;
        }
    }
    EXPECT_EQ(results["broken.tps"][0].message,
              "Cannot read \"broken.tps\": line 1: the file ends 4 point(s) before this "
              "block's end.");

    // The same skull by every route scores the same.
    const SkullResult& text = results["skull.txt"][0];
    for (const char* name : {"skull.mrk.json", "skulls.tps", "skulls_morphologika.txt"}) {
        EXPECT_EQ(results[name][0].scores, text.scores) << name;
        EXPECT_EQ(results[name][0].dimensions, text.dimensions) << name;
    }
    EXPECT_EQ(results["skull.pp"][0].euRightPoints, 3);
    EXPECT_TRUE(results["skull.pp"][0].missing.test(11));    // Ddx, not active
    EXPECT_TRUE(results["skull.ckpt"][0].missing.test(19));  // B, marked M

    // The mapping column and the labels that named nothing.
    EXPECT_NE(csv.find("Supraorbital notch, right \u2192 SORdx"), std::string::npos);
    EXPECT_NE(csv.find("labels that name no landmark: \"\"Porion R\"\""), std::string::npos);
    EXPECT_NE(csv.find("Zygion \"\"dx\"\" \u2192 ZYGdx"), std::string::npos);

    // Reports of a file's several skulls do not overwrite each other.
    const BatchInput input{dir.File("skulls.tps"), "skulls.tps", "skulls.tps", ""};
    EXPECT_NE(ReportFileName(input, results["skulls.tps"][0], false),
              ReportFileName(input, results["skulls.tps"][1], false));

    // A landmark file's skulls get what a workbook's get: the case report, the text report
    // and, with a reference model, the evidence.
    BatchSettings full;
    full.pdf = full.reports = true;
    const Workspace modelStart =
        StartWorkspace(IniFile(MORVIK_EXAMPLES_DIR "/Settings-model.ini"), full);
    for (const SkullResult& skull :
         ProcessFile(session, modelStart, dir.File("skulls.tps"), full)) {
        ASSERT_TRUE(skull.ok) << skull.message;
        EXPECT_TRUE(skull.pdf.starts_with("%PDF-")) << skull.sheet;
        EXPECT_FALSE(skull.reportLines.empty());
        EXPECT_FALSE(skull.evidenceLines.empty());
        EXPECT_TRUE(skull.specimen);
    }
    EXPECT_EQ(SpecimenLabels({"a", "", "b", "a"}),
              (std::vector<std::string>{"a (#1)", "#2", "b", "a (#4)"}));
}

}  // namespace
}  // namespace morvik::core
