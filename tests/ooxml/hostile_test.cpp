// Crafted packages whose cost once grew far faster than their size. Each case asserts what the
// load keeps or how it is refused, and how much heap it takes at its peak or churns through,
// measured by counting this program's allocations; never how long it takes. A load is held to
// 64 MB and 40 bytes per byte of the file at its peak.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "ods/OdsReader.h"
#include "tests/ooxml/cell_text.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"
#include "zip/XmlReader.h"
#include "zip/ZipArchive.h"

// ---- allocation meter: every operator new of this program passes here ----------------------

#include "tests/AllocationMeter.h"

namespace morvik {
namespace {

using testing::BuildXlsx;
using testing::BuildZip;
using testing::Bytes;
using testing::kMainNs;
using testing::kRelNs;

constexpr std::size_t kMiB = std::size_t{1} << 20;

// What one load costs: the message it was refused with ("" when it loaded), the heap's peak
// above what was live before it, and all it allocated.
struct Cost {
    std::string refusal;
    std::size_t peak = 0;
    std::size_t churn = 0;
};

template <typename Load>
Cost Measure(Load load) {
    Cost cost;
    const std::size_t before = gLive, total = gTotal;
    gPeak = before;
    try {
        load();
    } catch (const Error& e) {
        cost.refusal = e.what();
    }
    cost.peak = gPeak - before;
    cost.churn = gTotal - total;
    return cost;
}

Cost LoadXlsx(const std::string& package) {
    const auto bytes = Bytes(package);
    return Measure([&] {
        xls::TWorkbook book;
        xlsx::ReadXlsx(bytes, book);
    });
}

Cost LoadOds(const std::string& package) {
    const auto bytes = Bytes(package);
    return Measure([&] {
        xls::TWorkbook book;
        ods::ReadOds(bytes, book);
    });
}

std::size_t Bound(std::size_t fileSize) { return 64 * kMiB + 40 * fileSize; }

// Text deflate cannot shrink: keeps a part of highly repetitive XML under the ratio rule, as
// a crafted file would.
std::string Noise(std::size_t size) {
    std::mt19937 random(23);
    std::string out = "<!--";
    for (std::size_t i = 0; i < size; ++i) out += static_cast<char>('a' + random() % 26);
    return out + "-->";
}

std::string Worksheet(const std::string& cells, const std::string& before = "") {
    return std::string("<worksheet xmlns='") + kMainNs + "'>" + before + "<sheetData>" + cells +
           "</sheetData></worksheet>";
}

TEST(HostilePackages, SmallPartsReadManyTimesCountAgainstOneLimit) {
    // 300 parts of 1 MB of empty rows, each under the size the ratio rule exempts, each a sheet
    // of its own: all of them together inflate to 300 MB from a few hundred kilobytes.
    const std::string rows = Worksheet(std::string(1000 * 1000, ' '));
    std::vector<std::pair<std::string, std::string>> sheets;
    for (int i = 0; i < 300; ++i) sheets.emplace_back("S" + std::to_string(i), "");
    std::map<std::string, std::string> parts;
    for (int i = 1; i <= 300; ++i) parts["xl/worksheets/sheet" + std::to_string(i) + ".xml"] = rows;
    const std::string package = BuildXlsx(sheets, parts);
    ASSERT_LT(package.size(), 400'000u);
    const zip::TZipArchive archive(Bytes(package));
    const Cost cost = LoadXlsx(package);
    EXPECT_EQ(cost.refusal, "The zip archive inflates to more than can be read (a zip bomb?).");
    EXPECT_LT(cost.peak, 8 * kMiB);

    // A thousand names for one entry's data.
    std::string zip = BuildZip({{"a", rows}});
    const std::size_t directory = zip.find("PK\x01\x02");
    const std::string entry = zip.substr(directory, zip.find("PK\x05\x06") - directory);
    std::string names;
    for (int i = 0; i < 1000; ++i) names += entry;
    zip = zip.substr(0, directory) + names + zip.substr(directory + entry.size());
    const std::size_t end = zip.find("PK\x05\x06");
    zip[end + 8] = zip[end + 10] = static_cast<char>(1000 & 0xFF);
    zip[end + 9] = zip[end + 11] = static_cast<char>(1000 >> 8);
    const std::uint32_t size = static_cast<std::uint32_t>(names.size());
    for (int k = 0; k < 4; ++k) zip[end + 12 + k] = static_cast<char>(size >> (8 * k));
    EXPECT_THROW(zip::TZipArchive(Bytes(zip)), zip::EZipError);
}

TEST(HostilePackages, PartsReadWholeAreRefusedBeforeTheirDeclaredSizeIsAllocated) {
    // The workbook part claims a gigabyte; its data holds a few bytes.
    std::map<std::string, std::string> parts;
    const std::string workbook = std::string("<workbook xmlns='") + kMainNs + "' xmlns:r='" +
                                 kRelNs + "'><sheets/></workbook>";
    std::vector<testing::ZipItem> items = {
        {"xl/workbook.xml", workbook, true, 0, 0xFFFF, std::int64_t{1} << 30}};
    const Cost declared = LoadXlsx(BuildZip(items));
    EXPECT_EQ(declared.refusal, "The zip archive inflates to more than can be read (a zip bomb?).");
    EXPECT_LT(declared.peak, kMiB);

    // A 40 MB attribute on the workbook's root: the token limit holds for parts read whole.
    const std::string longRoot = std::string("<workbook xmlns='") + kMainNs + "' a='" +
                                 std::string(40 * kMiB, 'x') + "'>" + Noise(400'000) +
                                 "<sheets/></workbook>";
    const Cost attribute = LoadXlsx(BuildXlsx({{"S", ""}}, {{"xl/workbook.xml", longRoot}}));
    EXPECT_EQ(attribute.refusal, "XML part: an element or a text is too long");
    EXPECT_LT(attribute.peak, 2 * zip::TXmlReader::kDefaultMaxToken + 4 * kMiB);

    // The same in an OpenDocument manifest.
    const std::string manifest = "<manifest:manifest a='" + std::string(40 * kMiB, 'x') + "'>" +
                                 Noise(400'000) + "</manifest:manifest>";
    const Cost ods =
        LoadOds(BuildZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
                          {"content.xml", "<a/>"},
                          {"META-INF/manifest.xml", manifest}}));
    EXPECT_EQ(ods.refusal, "XML part: an element or a text is too long");
    EXPECT_LT(ods.peak, 2 * zip::TXmlReader::kDefaultMaxToken + 4 * kMiB);
}

TEST(HostilePackages, AttributesPerElementAreBounded) {
    std::string attributes;
    for (int i = 0; i < 200'000; ++i) attributes += " a" + std::to_string(i) + "='1'";
    const Cost cost = LoadXlsx(BuildXlsx({{"S", "<row><c" + attributes + "><v>1</v></c></row>"}}));
    EXPECT_EQ(cost.refusal, "Sheet \"S\": XML part: an element has too many attributes");
    EXPECT_LT(cost.peak, 8 * kMiB);  // 200,000 attributes took some 28 MB
}

TEST(HostilePackages, TextsCostTheirBudgetAndAreRefusedAsTheyGrow) {
    // Spaces by "<text:s text:c='65535'/>": 128 kB of model from 40 bytes of XML, a hundred
    // thousand times over in a few kilobytes.
    std::string row = "<table:table-row>";
    for (int i = 0; i < 100; ++i)
        row +=
            "<table:table-cell office:value-type='string'><text:p><text:s text:c='65535'/>"
            "</text:p></table:table-cell>";
    row += "</table:table-row>";
    std::string rows;  // under a megabyte: no ratio holds it
    for (int i = 0; i < 80; ++i) rows += row;
    const std::string content =
        "<office:document-content xmlns:office='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
        "xmlns:table='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
        "xmlns:text='urn:oasis:names:tc:opendocument:xmlns:text:1.0'><office:body>"
        "<office:spreadsheet><table:table table:name='S'>" +
        rows + "</table:table></office:spreadsheet></office:body></office:document-content>";
    const std::string ods =
        BuildZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
                  {"content.xml", content}});
    const Cost spaces = LoadOds(ods);
    EXPECT_EQ(spaces.refusal,
              "The spreadsheet holds more than a file of its size can: it is damaged or crafted.");
    EXPECT_LT(spaces.peak, Bound(ods.size()));

    // 24 MB of runs in one inline string: refused before they are joined and converted.
    std::string runs;
    while (runs.size() < 24 * kMiB) runs += "<r><t>0123456789</t></r>";
    const std::string sheet = Worksheet("<row><c t='inlineStr'><is>" + runs + "</is></c></row>");
    const Cost inlined = LoadXlsx(BuildZip(
        {{"[Content_Types].xml", "<Types/>"},
         {"xl/workbook.xml", std::string("<workbook xmlns='") + kMainNs + "' xmlns:r='" + kRelNs +
                                 "'><sheets><sheet name='S' "
                                 "r:id='a'/></sheets></workbook>"},
         {"xl/_rels/workbook.xml.rels",
          "<Relationships xmlns='http://schemas.openxmlformats.org/"
          "package/2006/relationships'><Relationship Id='a' "
          "Type='x/worksheet' Target='s.xml'/></Relationships>"},
         {"xl/s.xml", Noise(300'000) + sheet}}));
    EXPECT_EQ(inlined.refusal, "Sheet \"S\", cell A1: its text is longer than 65535 characters.");
    EXPECT_LT(inlined.peak, 4 * kMiB);
}

TEST(HostilePackages, CellsAndSharedStringsCostWithinTheBoundWhateverTheCompression) {
    // Cells without references, a whole sheet's worth, lifted under the ratio rule: the model
    // is held to the file's size, not to the XML's.
    std::string row = "<row>";
    for (int c = 0; c < 256; ++c) row += "<c><v>1</v></c>";
    row += "</row>";
    std::string rows;
    for (int r = 0; r < 8000; ++r) rows += row;  // two million cells
    const std::string sheet = Worksheet(rows, Noise(200'000));
    const std::string full = BuildXlsx({{"S", ""}}, {{"xl/worksheets/sheet1.xml", sheet}});
    const Cost cells = LoadXlsx(full);
    EXPECT_EQ(cells.refusal,
              "The workbook holds more than a file of its size can: it is damaged or crafted.");
    EXPECT_LT(cells.peak, Bound(full.size()));

    // Four million empty shared strings.
    std::string sst = std::string("<sst xmlns='") + kMainNs + "'>" + Noise(100'000);
    for (int i = 0; i < 4'000'000; ++i) sst += "<si/>";
    sst += "</sst>";
    const std::string strings = BuildXlsx({{"S", ""}}, {{"xl/sharedStrings.xml", sst}});
    const Cost shared = LoadXlsx(strings);
    EXPECT_EQ(shared.refusal,
              "The workbook holds more than a file of its size can: it is damaged or crafted.");
    EXPECT_LT(shared.peak, Bound(strings.size()));

    // What a sound sheet of the same shape keeps: every cell.
    std::string some;
    for (int r = 0; r < 100; ++r) some += row;
    const auto bytes = Bytes(BuildXlsx({{"S", some}}));
    xls::TWorkbook book;
    xlsx::ReadXlsx(bytes, book);
    EXPECT_EQ(book.Sheets().Items(0).Cells().Count(), 25600);
}

TEST(HostilePackages, ManyStylesOnOneLongFormatScanItOnce) {
    const std::string format = "0" + std::string(100'000, '_');
    std::string xfs;
    for (int i = 0; i < 3000; ++i) xfs += "<xf numFmtId='200'/>";
    const std::string styles = std::string("<styleSheet xmlns='") + kMainNs +
                               "'><numFmts><numFmt numFmtId='200' formatCode='" + format +
                               "'/></numFmts><cellXfs>" + xfs + "</cellXfs></styleSheet>";
    const Cost cost = LoadXlsx(
        BuildXlsx({{"S", "<row><c s='2999'><v>1</v></c></row>"}}, {{"xl/styles.xml", styles}}));
    EXPECT_EQ(cost.refusal, "");
    EXPECT_LT(cost.churn, 16 * kMiB);  // a copy of the format per style churned 300 MB

    // What a format's class is known once must follow the format when its code is given anew.
    const std::string redefined =
        std::string("<styleSheet xmlns='") + kMainNs +
        "'><numFmts><numFmt numFmtId='200' formatCode='0.00'/></numFmts><cellXfs>"
        "<xf numFmtId='200'/></cellXfs><numFmts><numFmt numFmtId='200' "
        "formatCode='yyyy-mm-dd'/></numFmts><cellXfs><xf numFmtId='200'/></cellXfs></styleSheet>";
    const auto bytes =
        Bytes(BuildXlsx({{"S", "<row><c s='0'><v>2</v></c><c s='1'><v>2</v></c></row>"}},
                        {{"xl/styles.xml", redefined}}));
    xls::TWorkbook book;
    xlsx::ReadXlsx(bytes, book);
    // (Shown by the code as it stands at the end; its class as it stood for the entry.)
    EXPECT_EQ(testing::CellText(book, 0, 0, 0).substr(0, 4), "num:");
    EXPECT_EQ(testing::CellText(book, 0, 0, 1).substr(0, 5), "date:");
}

}  // namespace
}  // namespace morvik
