// Each reader on a file written the way its program writes it, and on files built to hurt.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "landmarks/LandmarkFile.h"

namespace morvik::landmarks {
namespace {

std::string Fixture(const std::string& name) {
    std::ifstream in(std::string(MORVIK_LANDMARK_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

LandmarkFile Read(const std::string& name, const ReadOptions& options = {}) {
    const auto format = FormatOfFileName(name);
    return ReadLandmarkFile(format.value_or(Format::Morphologika), Fixture(name), options);
}

// The point of that label; a missing one fails the test without a crash.
const Point* Find(const Specimen& s, std::string_view label) {
    for (const Point& p : s.points)
        if (p.label == label) return &p;
    throw std::runtime_error("no point labelled \"" + std::string(label) + "\"");
}

TEST(LandmarkReaders, EachFormatsFixtureWithItsMissingMarkOddLabelAndFrame) {
    {
        const LandmarkFile f = Read("features_ras.mrk.json");
        EXPECT_EQ(f.coordinateSystem, "RAS");
        EXPECT_EQ(f.unit, "um");
        ASSERT_EQ(f.specimens.size(), 1u);
        const Specimen& s = f.specimens[0];
        ASSERT_EQ(s.points.size(), 27u);  // 22 + a stray one + a curve of 3 + a single point
        ASSERT_NE(Find(s, "\"Nasion\""), nullptr);
        ASSERT_NE(Find(s, "Zygion prav\u00fd"), nullptr);
        EXPECT_TRUE(Find(s, "Ba")->missing);
        EXPECT_FALSE(Find(s, "Glabella")->missing);
        EXPECT_DOUBLE_EQ(Find(s, "Glabella")->y, 96200);
        EXPECT_EQ(Find(s, "Euryon dx-2")->group, "Euryon dx");
    }
    {
        const LandmarkFile f = Read("skull.mrk.json");
        EXPECT_EQ(f.coordinateSystem, "LPS");
        EXPECT_EQ(f.unit, "mm");
    }
    {
        const LandmarkFile f = Read("skull_lps.fcsv");
        EXPECT_EQ(f.coordinateSystem, "LPS");
        EXPECT_EQ(f.unit, "");
        const Specimen& s = f.specimens.at(0);
        ASSERT_EQ(s.points.size(), 22u);
        ASSERT_NE(Find(s, "Zygion \"dx\""), nullptr);
        ASSERT_NE(Find(s, "Frontomalare orbitale, dx"), nullptr);
        EXPECT_DOUBLE_EQ(Find(s, "Frontomalare orbitale, dx")->x, -46.1);
        EXPECT_TRUE(Find(s, "RHI")->missing);
    }
    {
        const LandmarkFile f = Read("default_labels_ras.fcsv");
        EXPECT_EQ(f.coordinateSystem, "RAS");  // no coordinate line
        EXPECT_EQ(f.specimens.at(0).points.at(21).label, "F-22");
        EXPECT_DOUBLE_EQ(f.specimens.at(0).points.at(21).z, -8.3);
    }
    {
        const LandmarkFile f = Read("skull.pp");
        const Specimen& s = f.specimens.at(0);
        ASSERT_EQ(s.points.size(), 25u);
        EXPECT_TRUE(Find(s, "d_R")->missing);
        ASSERT_NE(Find(s, "Zygion\u00a0sin"), nullptr);
        ASSERT_NE(Find(s, "Prosthion & (pr)"), nullptr);
        EXPECT_DOUBLE_EQ(Find(s, "ns")->x, 0.1);  // attributes written z, y, x
        EXPECT_DOUBLE_EQ(Find(s, "ns")->z, -21.7);
    }
    {
        const LandmarkFile f = Read("skull.ckpt");
        EXPECT_EQ(f.unit, "mm");
        const Specimen& s = f.specimens.at(0);
        ASSERT_EQ(s.points.size(), 22u);
        EXPECT_TRUE(Find(s, "bregma")->missing);
        EXPECT_DOUBLE_EQ(Find(s, "Supraorbital notch, right")->z, 36.2);
    }
    {
        const LandmarkFile f = Read("skull.pts");
        const Specimen& s = f.specimens.at(0);
        ASSERT_EQ(s.points.size(), 22u);
        EXPECT_TRUE(Find(s, "supraorbitale L")->missing);
        EXPECT_DOUBLE_EQ(Find(s, "Frontomalare orbitale dx")->y, 75.8);
        EXPECT_DOUBLE_EQ(Find(s, "zygion (L)")->x, 66.1);
    }
    {
        const LandmarkFile f = Read("skulls.dta");
        ASSERT_EQ(f.specimens.size(), 2u);
        EXPECT_EQ(f.specimens[1].name, "skull_b");
        EXPECT_EQ(f.specimens[1].points.at(13).label, "FMOdx");
        EXPECT_DOUBLE_EQ(f.specimens[1].points.at(0).x, 1.4);
        EXPECT_TRUE(f.specimens[1].points.at(21).missing);
        EXPECT_FALSE(f.specimens[0].points.at(21).missing);
    }
    {
        const LandmarkFile f = Read("skulls.tps");
        ASSERT_EQ(f.specimens.size(), 2u);
        EXPECT_EQ(f.specimens[0].name, "1");
        // SCALE= takes the second skull from micrometres back to the first one's numbers.
        EXPECT_NEAR(f.specimens[1].points.at(20).y, -89.6, 1e-9);
        EXPECT_FALSE(f.negativeMeansMissing);
        const LandmarkFile negative = Read("skulls.tps", {.tpsNegativeIsMissing = true});
        EXPECT_TRUE(negative.negativeMeansMissing);
        EXPECT_TRUE(negative.specimens[0].points.at(20).missing);  // OP: x = -0.2
        EXPECT_FALSE(negative.specimens[0].points.at(0).missing);
    }
    {
        const std::string bytes = Fixture("skulls_morphologika.txt");
        ASSERT_TRUE(IsMorphologika(bytes));
        const LandmarkFile f = ReadMorphologika(bytes);
        ASSERT_EQ(f.specimens.size(), 2u);
        EXPECT_EQ(f.specimens[1].name, "skull b");
        EXPECT_TRUE(f.specimens[1].points.at(2).missing);
        EXPECT_DOUBLE_EQ(f.specimens[0].points.at(2).y, 103.5);
    }
}

TEST(LandmarkReaders, FormatsByNameAndMorphologikaByContent) {
    EXPECT_EQ(FormatOfFileName("/a.b/Skull 7.MRK.JSON"), Format::MarkupsJson);
    EXPECT_EQ(FormatOfFileName("x.json"), std::nullopt);
    EXPECT_EQ(FormatOfFileName("x.pp"), Format::PickedPoints);
    EXPECT_EQ(FormatOfFileName("x.app"), std::nullopt);
    EXPECT_EQ(FormatOfFileName("x.txt"), std::nullopt);
    EXPECT_FALSE(IsMorphologika("0,4\t96,2\t41,8\r\n"));
    EXPECT_FALSE(IsMorphologika("x\n[individuals]\n"));
    EXPECT_TRUE(IsMorphologika("\xEF\xBB\xBF'comment\r\n\r\n[Individuals]\r\n1\r\n"));
}

// What each reader must refuse, with the line where there is one.
TEST(LandmarkReaders, DamagedFilesAreRefusedWithTheirLine) {
    const struct {
        Format format;
        std::string bytes;
        long long line;
        std::string reason;
    } cases[] = {
        {Format::MarkupsJson, "{\"markups\": [\n{\"controlPoints\": [\n{\"position\": [1, 2]}]}]}",
         3, "three numbers"},
        {Format::MarkupsJson, "{\"markups\": [{\"coordinateSystem\": \"XYZ\"}]}", 1,
         "coordinate system"},
        {Format::MarkupsJson, "{\"markups\": [{\"coordinateUnits\": \"furlong\"}]}", 1, "unit"},
        {Format::MarkupsJson,
         "{\"markups\": [{\"coordinateSystem\": \"LPS\"},\n{\"coordinateSystem\": \"RAS\"}]}", 2,
         "both"},
        {Format::MarkupsJson, "{\"markups\": [{\"controlPoints\": [{\"label\": \"a\n\"}]}]}", 1,
         "string"},
        {Format::MarkupsJson, "{\"markups\": []} x", 1, "after the end"},
        {Format::MarkupsJson, "{\"points\": []}", 1, "no \"markups\""},
        {Format::MarkupsJson,
         "{\"markups\": [{\"controlPoints\": [{\"position\": [1e999, 0, 0]}]}]}", 1,
         "no JSON value"},
        {Format::Fcsv, "# CoordinateSystem = 2\n", 1, "coordinate system"},
        {Format::Fcsv, "id,1,2,3,0,0,0,1,1,1,0,\"G\n", 1, "not closed"},
        {Format::Fcsv, "\nid,1,nan,3,0,0,0,1,1,1,0,G\n", 2, "\"nan\" is not a number"},
        {Format::Fcsv, "# columns = id,a,b,c,label\n", 1, "x, y and z"},
        {Format::PickedPoints, "<!DOCTYPE PickedPoints [<!ENTITY a \"b\">]><PickedPoints/>", 0,
         "declares entities"},
        {Format::PickedPoints, "<PickedPoints><point x=\"1\" y=\"2\" name=\"G\"/></PickedPoints>",
         0, "point 1 has no z"},
        {Format::PickedPoints, "<Points/>", 0, "root element"},
        {Format::PickedPoints, "<PickedPoints><point x=\"1\"", 0, "XML"},
        {Format::Checkpoint, "[Landmarks]\nNumberOfPoints: 2\n0: N 1 2 3 \"G\"\n", 2,
         "NumberOfPoints says 2"},
        {Format::Checkpoint, "[Landmarks]\n0: 1 2 3 \"G\"\n", 2, "neither N"},
        {Format::Checkpoint, "[Landmarks]\nUnits: inch\n", 2, "unit"},
        {Format::Checkpoint, "0: N 1 2 3\n", 0, "no [Landmarks]"},
        {Format::Pts, "Version 1.0\n3\nG 1 2 3\n", 2, "count says 3"},
        {Format::Pts, "Version 1.0\n1\nG 1 2\n", 3, "name x y z"},
        {Format::Dta, "1 1L 6 0 DIM=3\na\n1 2 3 4 5\n", 3, "ends before all its values"},
        {Format::Dta, "1 1 6 0 DIM=2\n1 2 3 4 5 6\n", 1, "needs three"},
        {Format::Dta, "1 1 4 0\n1 2 3 4\n", 1, "no whole number"},
        {Format::Dta, "1 1 3 0\n1 2 3 4\n", 2, "more values"},
        {Format::Tps, "LM3=3\n1 2 3\n", 1, "ends 2 point(s)"},
        {Format::Tps, "LM=2\n1 2\n3 4\n", 1, "two-dimensional"},
        {Format::Tps, "ID=a\n", 1, "before any LM3="},
        {Format::Tps, "LM3=1\n1 2 3\nSCALE=-1\n", 3, "SCALE"},
        {Format::Morphologika, "[individuals]\n2\n[landmarks]\n2\n[rawpoints]\n1 2 3\n", 5,
         "holds 1"},
        {Format::Morphologika, "[individuals]\n1\n[landmarks]\n1\n", 0, "needs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        try {
            ReadLandmarkFile(c.format, c.bytes);
            ADD_FAILURE() << "read";
        } catch (const ELandmarkFileError& e) {
            EXPECT_EQ(e.Line(), c.line) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

// Counts a header states are never trusted for memory, nesting stays bounded, and a large
// hostile file is read in time that grows with its size.
TEST(LandmarkReaders, HostileCountsNestingAndSizeStayBounded) {
    const Format formats[] = {Format::MarkupsJson, Format::Fcsv,        Format::PickedPoints,
                              Format::Checkpoint,  Format::Pts,         Format::Dta,
                              Format::Tps,         Format::Morphologika};
    const std::string hostile[] = {
        std::string(100000, '[') + std::string(100000, ']'),
        "LM3=999999999\n1 2 3\n",
        "[individuals]\n999999999\n[landmarks]\n0\n[rawpoints]\n",
        "[individuals]\n100000\n[landmarks]\n999999999\n[rawpoints]\n1 2 3\n",
        "1 999999999L 999999999 0\n",
        "Version\n999999999\n",
        "[Landmarks]\nNumberOfPoints: 1e300\n",
        std::string("<PickedPoints>") + std::string(300, '<') + "a>",
        "{\"markups\":[" + std::string(50000, '{') + "]}",
    };
    for (Format format : formats) {
        for (const std::string& bytes : hostile) {
            try {
                ReadLandmarkFile(format, bytes);
            } catch (const ELandmarkFileError&) {
            }
        }
    }
    // Three million blanks and digits of a JSON array: refused past the value bound or read,
    // either way in well under the test's patience.
    std::string wide = "{\"markups\": [{\"controlPoints\": [{\"position\": [";
    for (int i = 0; i < 1'500'000; ++i) wide += "0,";
    wide += "0]}]}]}";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(ReadMarkupsJson(wide), ELandmarkFileError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace morvik::landmarks
