// The help page and the fill-in templates against the program's own tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "TempDir.h"
#include "compute/Compute.h"
#include "compute/Landmarks.h"
#include "compute/Missing.h"
#include "core/Captions.h"
#include "core/DataExchange.h"
#include "core/Help.h"
#include "core/Loaders.h"
#include "core/WorkbookImport.h"

namespace morvik::core {
namespace {

const std::string kExamples = MORVIK_EXAMPLES_DIR;

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Every tag the rich-text browser is given is one it knows, and each closes in order: a
// missing </td> or </table> swallows the rest of the page in the browser.
void ExpectWellFormed(const std::string& html) {
    const std::vector<std::string> known{"html", "body", "h1", "h2", "h3", "p", "table", "tr",
                                         "td",   "th",   "ul", "li", "b",  "i", "code"};
    std::vector<std::string> open;
    for (std::size_t p = html.find('<'); p != std::string::npos; p = html.find('<', p + 1)) {
        const std::size_t end = html.find('>', p);
        ASSERT_NE(end, std::string::npos) << "unclosed tag at " << p;
        std::string tag = html.substr(p + 1, end - p - 1);
        const bool closing = tag.starts_with('/');
        if (closing) tag.erase(0, 1);
        tag = tag.substr(0, tag.find(' '));
        ASSERT_NE(std::find(known.begin(), known.end(), tag), known.end()) << "<" << tag << ">";
        if (!closing) {
            open.push_back(tag);
        } else {
            ASSERT_FALSE(open.empty()) << "</" << tag << "> closes nothing";
            ASSERT_EQ(open.back(), tag) << "at " << p;
            open.pop_back();
        }
    }
    EXPECT_TRUE(open.empty()) << open.size() << " tags left open";
    // A bare ampersand would be read as the start of an entity.
    for (std::size_t p = html.find('&'); p != std::string::npos; p = html.find('&', p + 1)) {
        EXPECT_NE(html.find(';', p), std::string::npos);
        EXPECT_LT(html.find(';', p) - p, 8u) << html.substr(p, 12);
    }
}

TEST(Help, EachLanguageNamesEveryFormatLandmarkDimensionAndTemplate) {
    for (const char* lang : {"cz", "en"}) {
        SCOPED_TRACE(lang);
        const bool cz = std::string_view(lang) == "cz";
        const std::string html = HelpHtml(lang);
        ExpectWellFormed(html);
        for (const Loader& loader : Loaders()) {
            EXPECT_NE(html.find("<code>" + std::string(loader.extension) + "</code>"),
                      std::string::npos)
                << loader.extension;
        }
        for (const LandmarkRow& l : kLandmarks) {
            EXPECT_NE(html.find(std::string(Trimmed(cz ? l.nameCz : l.nameEn))), std::string::npos)
                << l.abbreviation;
            EXPECT_NE(html.find("<b>" + std::string(l.abbreviation) + "</b>"), std::string::npos);
        }
        for (const DimensionRow& d : kDimensionRows) {
            EXPECT_NE(html.find("<b>" + std::string(cz ? d.nameCz : d.nameEn) + "</b>"),
                      std::string::npos)
                << d.nameEn;
        }
        EXPECT_NE(html.find(TemplatePath(".xlsx")), std::string::npos);
        EXPECT_NE(html.find(TemplatePath(".csv")), std::string::npos);
        for (const char* key :
             {"Ctrl+O", "F5", "Ctrl+E", "Ctrl+P", "Ctrl+Q", "Ctrl+Shift+Z", "F1"}) {
            EXPECT_NE(html.find(key), std::string::npos) << key;
        }
    }
    EXPECT_NE(HelpHtml("cz").find("nápověda"), std::string::npos);
    EXPECT_EQ(HelpHtml("de"), HelpHtml("en"));
}

// The workbook template holds no number: it loads as a skull of 22 missing landmarks and
// no clouds, replacing the previous skull, and leaves the landmark names of the grid alone.
TEST(Templates, WorkbookLoadsAsAnEmptySkullInTheLandmarkOrder) {
    Workspace ws;
    ApplyCaptionCells(ws, kEnglishCaptions);
    const Workspace labelled = ws;
    ws.sgImput.SetCell(2, 1, "12,5");
    ws.sgImput2.SetCell(1, 1, "3");
    ws.sgImput3.SetCell(1, 1, "4");

    ASSERT_NO_THROW(ImportWorkbook(ws, kExamples + "/template.xlsx"));
    EXPECT_TRUE(MissingLandmarks(ws).all());
    EXPECT_TRUE(CloudIsMissing(ws.sgImput2));
    EXPECT_TRUE(CloudIsMissing(ws.sgImput3));
    for (int r = 0; r < ws.sgImput.RowCount(); ++r) {
        for (int c = 0; c < 2; ++c) EXPECT_EQ(ws.sgImput.Cell(c, r), labelled.sgImput.Cell(c, r));
    }
    EXPECT_NO_THROW(Calculate(ws));

    // What the user reads beside each row is the landmark the program takes from it.
    const auto cells = FindLoader(".xlsx")->openWorkbook(kExamples + "/template.xlsx", {});
    for (const LandmarkRow& l : kLandmarks) {
        EXPECT_EQ(cells->Cell(0, l.row, 1).text, l.abbreviation);
        EXPECT_TRUE(cells->Cell(0, l.row, 0).text.starts_with(Trimmed(l.nameCz)));
    }
    EXPECT_EQ(cells->Cell(0, 0, 7).text, "euryon dx X");
    EXPECT_EQ(cells->Cell(0, 0, 12).text, "euryon sin X");
}

// The text template: a header of text only, then line n empty for landmark n.
TEST(Templates, CsvHasAHeaderThenOneEmptyRecordPerLandmark) {
    const std::string bytes = test::ReadBytes(kExamples + "/template.csv");
    const auto records = ParseCsvRecords(bytes, 100);
    ASSERT_EQ(records.size(), kLandmarks.size() + 1);
    EXPECT_EQ(records[0], (std::array<std::string, 3>{"X", "Y", "Z"}));
    for (std::size_t r = 1; r < records.size(); ++r) {
        EXPECT_EQ(records[r], (std::array<std::string, 3>{})) << r;
    }
    std::size_t from = 0;
    for (const LandmarkRow& l : kLandmarks) {
        from = bytes.find("(" + std::string(l.abbreviation) + ")\r\n", from);
        EXPECT_NE(from, std::string::npos) << l.abbreviation << " out of order";
    }
}

}  // namespace
}  // namespace morvik::core
