// Packages that hold something other than what they claim: a value that is not of its type, a
// cell reference that names no cell, a sheet link that leads nowhere, text in another encoding.
// Each once loaded as an empty or a displaced cell; each must be refused, naming where.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ods/OdsReader.h"
#include "tests/ooxml/cell_text.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"
#include "zip/ZipArchive.h"

namespace morvik {
namespace {

using testing::BuildXlsx;
using testing::BuildZip;
using testing::Bytes;
using testing::CellText;
using testing::kMainNs;
using testing::kRelNs;

const std::string kSst =
    std::string("<sst xmlns='") + kMainNs + "'><si><t>a</t></si><si><t>b</t></si></sst>";

// The message a package is refused with; "" when it loads.
std::string XlsxOutcome(const std::string& package) {
    xls::TWorkbook book;
    try {
        xlsx::ReadXlsx(Bytes(package), book);
        return "";
    } catch (const Error& e) {
        return e.what();
    }
}

std::string Sheet(const std::string& cells) {
    return BuildXlsx({{"Skull", "<row r='3'>" + cells + "</row>"}},
                     {{"xl/sharedStrings.xml", kSst}});
}

TEST(InvalidValues, XlsxCellsThatAreNotTheirTypeAreRefusedNamingSheetAndCell) {
    const struct {
        std::string cells, message;
    } cases[] = {
        {"<c r='B3'><v>inf</v></c>", "Sheet \"Skull\", cell B3: \"inf\" is not a finite number."},
        {"<c r='B3'><v>NaN</v></c>", "Sheet \"Skull\", cell B3: \"NaN\" is not a finite number."},
        {"<c r='C3'><v>1e400</v></c>",
         "Sheet \"Skull\", cell C3: \"1e400\" is not a finite number."},
        {"<c r='B3'><v>0.4abc</v></c>",
         "Sheet \"Skull\", cell B3: \"0.4abc\" is not a finite number."},
        {"<c r='B3' t='n'><v>1,5</v></c>",
         "Sheet \"Skull\", cell B3: \"1,5\" is not a finite number."},
        {"<c r='B3' t='s'><v>-1</v></c>",
         "Sheet \"Skull\", cell B3: its shared string \"-1\" is no index."},
        {"<c r='B3' t='s'><v>0.5</v></c>",
         "Sheet \"Skull\", cell B3: its shared string \"0.5\" is no index."},
        {"<c r='B3' t='s'><v>one</v></c>",
         "Sheet \"Skull\", cell B3: its shared string \"one\" is no index."},
        {"<c r='B3' t='s'><v>99999999999</v></c>",
         "Sheet \"Skull\", cell B3: its shared string \"99999999999\" is no index."},
        // Exactly the table's size is one past its last entry.
        {"<c r='B3' t='s'><v>2</v></c>",
         "A cell refers to a shared string the workbook does not have."},
        {"<c r='B3' t='b'><v>yes</v></c>", "Sheet \"Skull\", cell B3: \"yes\" is no truth value."},
        {"<c r='B3' t='d'><v>2020-13-45</v></c>",
         "Sheet \"Skull\", cell B3: \"2020-13-45\" is no date."},
        {"<c r='B3' t='q'><v>1</v></c>", "Sheet \"Skull\", cell B3: its type \"q\" is unknown."},
        {"<c r='B3' s='x'><v>1</v></c>", "Sheet \"Skull\", cell B3: its style \"x\" is no index."},
        // Damage beyond the model's 256 columns is still damage.
        {"<c r='XFD3'><v>nan</v></c>",
         "Sheet \"Skull\", cell XFD3: \"nan\" is not a finite number."},
        // Text that is not UTF-8: the sheet (and the last cell read before it, in a part
        // large enough to be read in pieces).
        {"<c r='B3'><v>1</v></c><c r='C3' t='str'><v>\xE9</v></c>",
         "Sheet \"Skull\": XML part: its text is not valid UTF-8"},
    };
    for (const auto& c : cases) EXPECT_EQ(XlsxOutcome(Sheet(c.cells)), c.message) << c.cells;

    // What stays readable: blank values, the last shared string, every type's sound value.
    xls::TWorkbook book;
    xlsx::ReadXlsx(Bytes(Sheet("<c r='A3' t='s'><v>1</v></c><c r='B3'><v> 185.9 </v></c>"
                               "<c r='C3' t='s'><v/></c><c r='D3'><v></v></c>"
                               "<c r='E3' t='b'><v>0</v></c><c r='F3' t='n'><v>-1E-3</v></c>")),
                   book);
    EXPECT_EQ(CellText(book, 0, 2, 0), "text:b");
    EXPECT_EQ(CellText(book, 0, 2, 1), "num:185.9");
    EXPECT_EQ(CellText(book, 0, 2, 2), "none");
    EXPECT_EQ(CellText(book, 0, 2, 3), "none");
    EXPECT_EQ(CellText(book, 0, 2, 4), "bool:0");
    EXPECT_EQ(CellText(book, 0, 2, 5), "num:-0.001");
}

TEST(InvalidValues, XlsxReferencesThatNameNoCellAreNeverTakenAsTheNextColumn) {
    for (const std::string ref : {"A0", "XFD1048577", "ZZZZZ1", "XFE1", "", "A-1", "1A", "B 3"}) {
        EXPECT_EQ(XlsxOutcome(Sheet("<c r='A3'><v>1</v></c><c r='" + ref + "'><v>765.2</v></c>")),
                  "Sheet \"Skull\": a cell's reference \"" + ref + "\" names no cell.")
            << ref;
    }
    EXPECT_EQ(XlsxOutcome(Sheet("<c r='B3' r='Z99'><v>1</v></c>")),
              "Sheet \"Skull\": XML part: an element repeats an attribute");
    EXPECT_EQ(XlsxOutcome(BuildXlsx({{"Skull", "<row r='0'><c><v>1</v></c></row>"}})),
              "Sheet \"Skull\": a row's number \"0\" is invalid.");
    EXPECT_EQ(XlsxOutcome(BuildXlsx({{"Skull", "<row r='1048577'><c><v>1</v></c></row>"}})),
              "Sheet \"Skull\": a row's number \"1048577\" is invalid.");
    // The last cell of the format is a cell, though past the model's columns.
    EXPECT_EQ(XlsxOutcome(Sheet("<c r='XFD1048576'><v>1</v></c>")), "");
}

TEST(InvalidValues, XlsxBrokenSheetLinksAreRefusedNamingTheSheet) {
    const std::string workbookHead =
        std::string("<workbook xmlns='") + kMainNs + "' xmlns:r='" + kRelNs + "'><sheets>";
    const auto withSheets = [&](const std::string& sheets, const std::string& rels) {
        return BuildXlsx({},
                         {{"xl/workbook.xml", workbookHead + sheets + "</sheets></workbook>"},
                          {"xl/_rels/workbook.xml.rels",
                           "<Relationships xmlns='http://schemas.openxmlformats.org/package/2006/"
                           "relationships'>" +
                               rels + "</Relationships>"},
                          {"xl/worksheets/s.xml", std::string("<worksheet xmlns='") + kMainNs +
                                                      "'><sheetData><row><c><v>1</v></c></row>"
                                                      "</sheetData></worksheet>"},
                          {"xl/styles.xml", std::string("<styleSheet xmlns='") + kMainNs + "'/>"}});
    };
    const std::string ws =
        "<Relationship Id='w' Type='http://x/worksheet' Target='worksheets/s.xml'/>";
    const struct {
        std::string name, sheets, rels, message;
    } cases[] = {
        {"no r:id", "<sheet name='Skull'/>", ws,
         "The workbook's sheet \"Skull\" names no part of the file."},
        {"unknown id", "<sheet name='Skull' r:id='nope'/>", ws,
         "The workbook's sheet \"Skull\" names a part the workbook does not list."},
        {"styles as a sheet", "<sheet name='Skull' r:id='y'/>",
         "<Relationship Id='y' Type='http://x/worksheet' Target='styles.xml'/>",
         "Sheet \"Skull\": its part \"xl/styles.xml\" is no worksheet."},
        {"other type", "<sheet name='Skull' r:id='y'/>",
         "<Relationship Id='y' Type='http://x/styles' Target='worksheets/s.xml'/>",
         "The workbook's sheet \"Skull\" names a part that is no sheet."},
        {"external", "<sheet name='Skull' r:id='y'/>",
         "<Relationship Id='y' Type='http://x/worksheet' Target='file:///s.xml' "
         "TargetMode='External'/>",
         "The workbook's sheet \"Skull\" lies outside the file."},
        {"one part, two sheets", "<sheet name='Skull' r:id='w'/><sheet name='Copy' r:id='v'/>",
         ws + "<Relationship Id='v' Type='http://x/worksheet' Target='/xl/worksheets/s.xml'/>",
         "The workbook's sheet \"Copy\" shares its part with another sheet."},
        {"repeated id", "<sheet name='Skull' r:id='w'/>", ws + ws,
         "The workbook's relationships give the id \"w\" twice."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XlsxOutcome(withSheets(c.sheets, c.rels)), c.message) << c.name;
    // An empty id is how some writers mark a sheet without a part: it stays, empty.
    EXPECT_EQ(
        XlsxOutcome(withSheets("<sheet name='Skull' r:id='w'/><sheet name='Hidden' r:id=''/>", ws)),
        "");

    // Cells in another vocabulary, or under a prefix nothing declares.
    const std::string other = std::string("<worksheet xmlns='") + kMainNs +
                              "' xmlns:o='urn:other'><sheetData><row><o:c><v>1</v></o:c></row>"
                              "</sheetData></worksheet>";
    EXPECT_EQ(XlsxOutcome(BuildXlsx({{"Skull", ""}}, {{"xl/worksheets/sheet1.xml", other}})),
              "Sheet \"Skull\": an element of another namespace stands among its cells.");
    const std::string undeclared = std::string("<worksheet xmlns='") + kMainNs +
                                   "'><sheetData><row><x:c><v>1</v></x:c></row></sheetData>"
                                   "</worksheet>";
    EXPECT_EQ(
        XlsxOutcome(BuildXlsx({{"Skull", ""}}, {{"xl/worksheets/sheet1.xml", undeclared}})),
        "Sheet \"Skull\": XML part: a name uses a prefix that no namespace declaration binds");
}

TEST(InvalidValues, XlsxEncodingDeclarationsAreReadOrRefused) {
    const std::string cells =
        "<sheetData><row><c t='inlineStr'><is><t>\x9A</t></is></c></row></sheetData>";
    const std::string declared =
        std::string("<?xml version='1.0' encoding='windows-1250'?><worksheet xmlns='") + kMainNs +
        "'>" + cells + "</worksheet>";
    EXPECT_NE(XlsxOutcome(BuildXlsx({{"Skull", ""}}, {{"xl/worksheets/sheet1.xml", declared}})),
              "");
    const std::string ascii =
        std::string("<?xml version='1.0' encoding='ISO-8859-2'?><worksheet xmlns='") + kMainNs +
        "'><sheetData/></worksheet>";
    EXPECT_EQ(
        XlsxOutcome(BuildXlsx({{"Skull", ""}}, {{"xl/worksheets/sheet1.xml", ascii}})),
        "Sheet \"Skull\": XML part: it is written in the encoding \"iso-8859-2\", which is not "
        "read (only UTF-8 and UTF-16)");
    const std::string utf8 =
        std::string("<?xml version='1.0' encoding='UTF-8'?><worksheet xmlns='") + kMainNs +
        "'><sheetData><row><c t='inlineStr'><is><t>\xC5\xA1</t></is></c>"
        "</row></sheetData></worksheet>";
    xls::TWorkbook book;
    xlsx::ReadXlsx(Bytes(BuildXlsx({{"Skull", ""}}, {{"xl/worksheets/sheet1.xml", utf8}})), book);
    EXPECT_EQ(CellText(book, 0, 0, 0), "text:\xC5\xA1");
}

// ---- OpenDocument ----------------------------------------------------------------------------

std::string Ods(const std::string& cells,
                const std::string& mimetype = "application/vnd.oasis.opendocument.spreadsheet") {
    const std::string content =
        "<office:document-content xmlns:office='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
        "xmlns:table='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
        "xmlns:text='urn:oasis:names:tc:opendocument:xmlns:text:1.0'><office:body>"
        "<office:spreadsheet><table:table table:name='Skull'><table:table-row/><table:table-row>"
        "<table:table-cell/>" +
        cells +
        "</table:table-row></table:table></office:spreadsheet></office:body>"
        "</office:document-content>";
    return BuildZip({{"mimetype", mimetype, false}, {"content.xml", content}});
}

std::string OdsOutcome(const std::string& package) {
    xls::TWorkbook book;
    try {
        ods::ReadOds(Bytes(package), book);
        return "";
    } catch (const Error& e) {
        return e.what();
    }
}

TEST(InvalidValues, OdsCellsThatAreNotTheirTypeAreRefusedNamingSheetAndCell) {
    const struct {
        std::string cell, message;
    } cases[] = {
        {"<table:table-cell office:value-type='float' office:value='inf'/>",
         "Sheet \"Skull\", cell B2: \"inf\" is not a finite number."},
        {"<table:table-cell office:value-type='float' office:value='1e400'/>",
         "Sheet \"Skull\", cell B2: \"1e400\" is not a finite number."},
        {"<table:table-cell office:value-type='percentage' office:value='0.4abc'/>",
         "Sheet \"Skull\", cell B2: \"0.4abc\" is not a finite number."},
        {"<table:table-cell office:value-type='currency'/>",
         "Sheet \"Skull\", cell B2: \"\" is not a finite number."},
        {"<table:table-cell office:value-type='date' office:date-value='yesterday'/>",
         "Sheet \"Skull\", cell B2: \"yesterday\" is no date."},
        {"<table:table-cell office:value-type='time' office:time-value='noon'/>",
         "Sheet \"Skull\", cell B2: \"noon\" is no time."},
        {"<table:table-cell office:value-type='boolean' office:boolean-value='yes'/>",
         "Sheet \"Skull\", cell B2: \"yes\" is no truth value."},
        {"<table:table-cell table:number-columns-repeated='300'/>"
         "<table:table-cell office:value-type='float' office:value='NaN'/>",
         "Sheet \"Skull\", cell KP2: \"NaN\" is not a finite number."},
        {"<table:table-cell office:value-type='string'><text:p>\xFF</text:p></table:table-cell>",
         "XML part: its text is not valid UTF-8"},
    };
    for (const auto& c : cases) EXPECT_EQ(OdsOutcome(Ods(c.cell)), c.message) << c.cell;
}

// ---- Both formats ----------------------------------------------------------------------------

// The same number text reads alike in both formats: XML's whitespace around it (space, tab,
// CR, LF, here as character references, which survive the parser's line-end and attribute
// normalisation) is no part of it, and any other character is.
TEST(InvalidValues, NumberTextReadsAlikeInBothFormats) {
    const auto xlsx = [](const std::string& text) {
        const std::string package = Sheet("<c r='B3'><v>" + text + "</v></c>");
        const std::string outcome = XlsxOutcome(package);
        if (!outcome.empty()) return outcome;
        xls::TWorkbook book;
        xlsx::ReadXlsx(Bytes(package), book);
        return CellText(book, 0, 2, 1);
    };
    const auto ods = [](const std::string& text) {
        const std::string package =
            Ods("<table:table-cell office:value-type='float' office:value='" + text + "'/>");
        const std::string outcome = OdsOutcome(package);
        if (!outcome.empty()) return outcome;
        xls::TWorkbook book;
        ods::ReadOds(Bytes(package), book);
        return CellText(book, 0, 1, 1);
    };
    for (const std::string space : {"&#32;", "&#9;", "&#10;", "&#13;", "&#13;&#10;&#9; "}) {
        const std::string text = space + "-185.9" + space;
        EXPECT_EQ(xlsx(text), "num:-185.9") << text;
        EXPECT_EQ(ods(text), "num:-185.9") << text;
    }
    // Not XML's whitespace: a no-break space, an em space.
    for (const std::string other : {"&#160;", "&#x2003;"}) {
        const std::string text = "185.9" + other;
        EXPECT_NE(xlsx(text).find("is not a finite number."), std::string::npos) << text;
        EXPECT_NE(ods(text).find("is not a finite number."), std::string::npos) << text;
    }
    // A value of whitespace alone is an empty cell in .xlsx (some writers' "<v> </v>"); in
    // .ods a number cell must hold a number.
    EXPECT_EQ(xlsx("&#13;&#10;"), "none");
    EXPECT_EQ(ods("&#13;&#10;"), "Sheet \"Skull\", cell B2: \"??\" is not a finite number.");
}

TEST(InvalidValues, OdsMimetypeDecidesAloneWhatThePackageIs) {
    const std::string cell = "<table:table-cell office:value-type='float' office:value='1'/>";
    EXPECT_EQ(OdsOutcome(Ods(cell)), "");
    const std::string text = Ods(cell, "application/vnd.oasis.opendocument.text");
    EXPECT_EQ(OdsOutcome(text),
              "The file is no OpenDocument spreadsheet: its mimetype says "
              "\"application/vnd.oasis.opendocument.text\".");
    EXPECT_FALSE(ods::LooksLikeOds(Bytes(text)));
    const std::string longType = Ods(cell, std::string(300, 'x'));
    EXPECT_NE(OdsOutcome(longType), "");
    EXPECT_FALSE(ods::LooksLikeOds(Bytes(longType)));
}

// ---- the zip layer ---------------------------------------------------------------------------

TEST(InvalidValues, ZipEntryCountComesFromTheDirectoryItself) {
    // 65,537 entries with the 16-bit count wrapped to 1 and no 64-bit record.
    std::vector<testing::ZipItem> items;
    for (int i = 0; i < 65537; ++i) items.push_back({"e" + std::to_string(i), "", false});
    std::string zip = BuildZip(items);
    const std::size_t end = zip.size() - 22;
    ASSERT_EQ(static_cast<unsigned char>(zip[end + 8]), 1);  // the writer's wrapped count
    const zip::TZipArchive archive(Bytes(zip));
    EXPECT_EQ(archive.Entries().size(), 65537u);
    EXPECT_NE(archive.Find("e65536"), nullptr);

    // A count that disagrees with the directory in its low bits is damage.
    zip[end + 8] = zip[end + 10] = 2;
    EXPECT_THROW(zip::TZipArchive(Bytes(zip)), zip::EZipError);
}

}  // namespace
}  // namespace morvik
