// The Office Open XML reader on small packages built here, one feature or one fault each.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "tests/ooxml/cell_text.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"

namespace morvik::xlsx {
namespace {

using morvik::testing::BuildXlsx;
using morvik::testing::BuildZip;
using morvik::testing::Bytes;
using morvik::testing::CellText;

const char* kStyles =
    "<styleSheet xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'>"
    "<numFmts count='1'><numFmt numFmtId='170' formatCode='yyyy\\-mm\\-dd'/></numFmts>"
    "<cellXfs count='4'><xf numFmtId='0'/><xf numFmtId='14'/><xf numFmtId='170'/>"
    "<xf numFmtId='4'/></cellXfs></styleSheet>";

const char* kSharedStrings =
    "<sst xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'>"
    "<si><t>plain</t></si>"
    "<si><r><t>ri</t></r><r><rPr><b/></rPr><t xml:space='preserve'>ch </t></r>"
    "<rPh><t>PHONETIC</t></rPh></si>"
    "<si><t>a_x000D_b_x005F_x0041_</t></si><si><t>x_x0041_</t></si><si><t>_x0041</t></si>"
    "</sst>";

std::unique_ptr<xls::TWorkbook> Read(const std::string& package) {
    auto book = std::make_unique<xls::TWorkbook>();
    ReadXlsx(Bytes(package), *book);
    return book;
}

TEST(XlsxReader, CellValuesByType) {
    const std::string sheet =
        "<row r='1'><c r='A1'><v>1.5</v></c><c r='B1' t='s'><v>1</v></c>"
        "<c r='C1' t='inlineStr'><is><r><t>in</t></r><r><t>line</t></r></is></c>"
        "<c r='D1' t='b'><v>1</v></c><c r='E1' t='e'><v>#DIV/0!</v></c>"
        "<c r='F1' t='str'><f>A1&amp;\"x\"</f><v>1.5x</v></c><c r='G1'><f>A1*2</f><v>3</v></c>"
        "<c r='H1' s='1'><v>45000.5</v></c><c r='I1' s='2'><v>61</v></c><c r='J1' "
        "s='3'><v>2</v></c>"
        "<c r='K1' t='d'><v>2016-10-20T12:00:00</v></c><c r='L1' t='s'><v>2</v></c>"
        "<c r='M1' t='s'><v>0</v></c><c r='N1' t='s'><v>3</v></c><c r='O1' t='s'><v>4</v></c>"
        "</row>";
    const auto owned = Read(BuildXlsx(
        {{"S", sheet}}, {{"xl/styles.xml", kStyles}, {"xl/sharedStrings.xml", kSharedStrings}}));
    const xls::TWorkbook& book = *owned;
    const struct {
        int col;
        const char* expected;
    } cases[] = {
        {0, "num:1.5"},
        {1, "text:rich "},
        {2, "text:inline"},
        {3, "bool:1"},
        {4, "none"},  // error values are left out
        {5, "text:1.5x"},
        {6, "num:3"},
        {7, "date:45000.500000"},
        {8, "date:61.000000"},  // built-in 14, custom yyyy-mm-dd
        {9, "num:2.00"},        // built-in 4 is a number format
        {10, "date:42663.500000"},
        {11, "text:a\rb_x0041_"},
        {12, "text:plain"},
        {13, "text:xA"},      // an escape that ends the text
        {14, "text:_x0041"},  // one cut short is text
    };
    for (const auto& c : cases) EXPECT_EQ(CellText(book, 0, 0, c.col), c.expected) << c.col;
}

TEST(XlsxReader, SheetsInWorkbookOrderWithCellsPlacedWithOrWithoutReferences) {
    // The relationships name the parts in the opposite order to the sheets' list.
    const std::string workbook =
        "<workbook xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main' "
        "xmlns:r='http://schemas.openxmlformats.org/officeDocument/2006/relationships'>"
        "<workbookPr date1904='1'/><sheets><sheet name='First' r:id='rB'/>"
        "<sheet name='Chart' r:id='rC'/><sheet name='Second' r:id='rA'/></sheets></workbook>";
    const std::string rels =
        "<Relationships xmlns='http://schemas.openxmlformats.org/package/2006/relationships'>"
        "<Relationship Id='rA' Type='http://x/worksheet' Target='worksheets/a.xml'/>"
        "<Relationship Id='rB' Type='http://x/worksheet' "
        "Target='/xl/worksheets/../worksheets/b.xml'/>"
        "<Relationship Id='rC' Type='http://x/chartsheet' Target='charts/c.xml'/>"
        "<Relationship Id='rS' Type='http://x/styles' Target='styles.xml'/></Relationships>";
    const std::string first =
        "<worksheet xmlns='http://schemas.openxmlformats.org/spreadsheetml/2006/main'><sheetData>"
        "<row><c><v>1</v></c><c><v>2</v></c><c r='E1'><v>5</v></c><c><v>6</v></c></row>"
        "<row r='4'><c s='1'><v>0</v></c></row><row><c r='IV65536'><v>9</v></c>"
        "<c r='IW65536'><v>9</v></c></row><row r='70000'><c><v>9</v></c></row>"
        "</sheetData></worksheet>";
    const std::string second =
        "<x:worksheet xmlns:x='http://purl.oclc.org/ooxml/spreadsheetml/main'><x:sheetData>"
        "<x:row r='2'><x:c r='B2'><x:v>7</x:v></x:c></x:row></x:sheetData></x:worksheet>";
    const auto owned = Read(BuildXlsx({}, {{"xl/workbook.xml", workbook},
                                           {"xl/_rels/workbook.xml.rels", rels},
                                           {"xl/worksheets/a.xml", second},
                                           {"xl/worksheets/b.xml", first},
                                           {"xl/styles.xml", kStyles}}));
    const xls::TWorkbook& book = *owned;
    ASSERT_EQ(book.Sheets().Count(), 3);
    EXPECT_EQ(book.Sheets().Items(0).NameUtf8(), "First");
    EXPECT_EQ(book.Sheets().Items(1).NameUtf8(), "Chart");
    EXPECT_EQ(book.Sheets().Items(2).NameUtf8(), "Second");
    EXPECT_EQ(CellText(book, 0, 0, 1), "num:2");
    EXPECT_EQ(CellText(book, 0, 0, 4), "num:5");
    EXPECT_EQ(CellText(book, 0, 0, 5), "num:6");
    EXPECT_EQ(CellText(book, 0, 3, 0), "date:1462.000000");  // serial 0 of the 1904 system
    EXPECT_EQ(CellText(book, 0, 65535, 255), "num:9");       // the model's last cell
    EXPECT_EQ(book.Sheets().Items(0).Cells().Count(), 6);    // beyond it, nothing
    EXPECT_EQ(book.Sheets().Items(1).Cells().Count(), 0);
    EXPECT_EQ(CellText(book, 2, 1, 1), "num:7");  // strict namespace, prefixed elements
}

TEST(XlsxReader, FaultsAreRefusedWithTheirMessage) {
    const struct {
        const char* name;
        std::string package;
        std::string message;
    } cases[] = {
        {"no workbook part", BuildZip({{"a.xml", "<a/>"}}),
         "The file is a zip archive but no Excel workbook: it has no workbook part."},
        {"no sheets", BuildXlsx({}), "There are no sheets in the workbook."},
        {"shared string out of range", BuildXlsx({{"S", "<row><c t='s'><v>9</v></c></row>"}}),
         "A cell refers to a shared string the workbook does not have."},
        {"compound file",
         std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'),
         "The file is no Office Open XML workbook but a compound file: an Excel 97 workbook, or a "
         "password-protected workbook, which is not supported."},
        {"entity bomb",
         BuildXlsx({{"S", ""}},
                   {{"xl/sharedStrings.xml",
                     "<!DOCTYPE s [<!ENTITY a 'aaaa'>]><sst><si><t>&a;</t></si></sst>"}}),
         "XML part: DOCTYPE declarations are not accepted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        xls::TWorkbook book;
        try {
            ReadXlsx(Bytes(c.package), book);
            if (!c.message.empty()) ADD_FAILURE() << "read";
        } catch (const Error& e) {
            if (!c.message.empty()) {
                EXPECT_EQ(e.what(), c.message);
            }
        }
    }
}

TEST(XlsxReader, SheetCountIsBounded) {
    // Sheet names are checked against each other: millions of <sheet/> would take hours.
    std::string sheets;
    for (int i = 0; i < 4097; ++i) sheets += "<sheet name='S" + std::to_string(i) + "' r:id='x'/>";
    const auto package = BuildXlsx(
        {}, {{"xl/workbook.xml", std::string("<workbook xmlns='") + morvik::testing::kMainNs +
                                     "' xmlns:r='" + morvik::testing::kRelNs + "'><sheets>" +
                                     sheets + "</sheets></workbook>"}});
    xls::TWorkbook book;
    try {
        ReadXlsx(Bytes(package), book);
        ADD_FAILURE() << "read";
    } catch (const EXlsxError& e) {
        EXPECT_STREQ(e.what(), "The workbook has more sheets than can be read.");
    }
}

TEST(XlsxReader, SheetPartListedButAbsentIsNamed) {
    auto package = BuildXlsx({{"S", ""}});
    const auto at = package.find("xl/worksheets/sheet1.xml");  // the local header's name
    package[at] = 'q';
    const auto dir = package.find("xl/worksheets/sheet1.xml");  // the directory's
    package[dir] = 'q';
    xls::TWorkbook book;
    try {
        ReadXlsx(Bytes(package), book);
        ADD_FAILURE() << "read";
    } catch (const EXlsxError& e) {
        EXPECT_STREQ(e.what(),
                     "The workbook's part \"xl/worksheets/sheet1.xml\" is missing from the file.");
    }
}

TEST(XlsxReader, LargeSheetsReadAsInOrderAndTheFirstFaultInOrderCounts) {
    // Megabytes of worksheets, parsed on other threads; rows of a shared string and a number.
    const auto rows = [](int count, const std::string& last) {
        std::string xml;
        for (int i = 0; i < count; ++i)
            xml += "<row><c t='s'><v>0</v></c><c><v>" + std::to_string(i) + "</v></c></row>";
        return xml + last;
    };
    const std::map<std::string, std::string> parts{{"xl/sharedStrings.xml", kSharedStrings}};
    const auto whole = Read(
        BuildXlsx({{"A", rows(20000, "")}, {"B", rows(20000, "")}, {"C", rows(20000, "")}}, parts));
    ASSERT_EQ(whole->Sheets().Count(), 3);
    for (int s = 0; s < 3; ++s) {
        const auto& cells = whole->Sheets().Items(s).Cells();
        ASSERT_EQ(cells.Count(), 40000);
        EXPECT_EQ(cells.Items(39999).Row(), 19999);  // in the order of the file
        EXPECT_EQ(CellText(*whole, s, 19999, 0), "text:plain");
        EXPECT_EQ(CellText(*whole, s, 19999, 1), "num:19999");
    }

    // B fails late, C at once: B's fault is the one told, and B holds what came before it.
    xls::TWorkbook book;
    try {
        ReadXlsx(Bytes(BuildXlsx({{"A", rows(20000, "")},
                                  {"B", rows(20000, "<row><c t='s'><v>9</v></c></row>")},
                                  {"C", "<row><c t='s'><v>7</v></c></row>"}},
                                 parts)),
                 book);
        ADD_FAILURE() << "read";
    } catch (const EXlsxError& e) {
        EXPECT_STREQ(e.what(), "A cell refers to a shared string the workbook does not have.");
    }
    ASSERT_EQ(book.Sheets().Count(), 2);
    EXPECT_EQ(book.Sheets().Items(1).Cells().Count(), 40000);
}

}  // namespace
}  // namespace morvik::xlsx
