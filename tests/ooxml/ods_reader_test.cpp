// The OpenDocument reader on small packages built here.
#include <gtest/gtest.h>

#include <string>

#include "ods/OdsReader.h"
#include "tests/ooxml/cell_text.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"

namespace morvik::ods {
namespace {

using morvik::testing::BuildZip;
using morvik::testing::Bytes;
using morvik::testing::CellText;

std::string Package(const std::string& tables, const std::string& manifest = "<m/>",
                    std::int64_t contentCrc = -1) {
    const std::string content =
        "<office:document-content xmlns:office='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
        "xmlns:table='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
        "xmlns:text='urn:oasis:names:tc:opendocument:xmlns:text:1.0' "
        "xmlns:calcext='urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0'>"
        "<office:automatic-styles/><office:body><office:spreadsheet>" +
        tables + "</office:spreadsheet></office:body></office:document-content>";
    return BuildZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
                     {"content.xml", content, true, 0, 0xFFFF, -1, contentCrc},
                     {"META-INF/manifest.xml", manifest}});
}

TEST(OdsReader, ValueTypesAndParagraphText) {
    const std::string tables =
        "<table:table table:name='Data'><table:table-column table:number-columns-repeated='9'/>"
        "<table:table-row>"
        "<table:table-cell office:value-type='float' "
        "office:value='1.25'><text:p>1,25</text:p></table:table-cell>"
        "<table:table-cell office:value-type='percentage' office:value='0.5'/>"
        "<table:table-cell office:value-type='currency' office:value='-3'/>"
        "<table:table-cell office:value-type='date' office:date-value='2021-01-01T06:00:00'/>"
        "<table:table-cell office:value-type='time' office:time-value='PT12H'/>"
        "<table:table-cell office:value-type='boolean' office:boolean-value='false'/>"
        "<table:table-cell office:value-type='string'><text:p>a<text:s text:c='3'/>b<text:tab/>c"
        "<text:line-break/><text:span>d</text:span></text:p><office:annotation><text:p>note"
        "</text:p></office:annotation><text:p>e</text:p></table:table-cell>"
        "<table:table-cell office:value-type='string' "
        "calcext:value-type='error'><text:p>#N/A</text:p></table:table-cell>"
        "<table:covered-table-cell office:value-type='float' office:value='8'/>"
        "<table:table-cell office:value-type='string' "
        "office:string-value='given'><text:p>shown</text:p></table:table-cell>"
        "</table:table-row></table:table>";
    xls::TWorkbook book;
    ReadOds(Bytes(Package(tables)), book);
    ASSERT_EQ(book.Sheets().Count(), 1);
    EXPECT_EQ(book.Sheets().Items(0).NameUtf8(), "Data");
    const char* expected[] = {"num:1.25",      "num:0.5",
                              "num:-3",        "date:44197.250000",
                              "date:1.500000",  // a time counts from the same day as .xls serials
                              "bool:0",        "text:a   b\tc\nd\ne",
                              "none",          "num:8",
                              "text:given"};
    for (int col = 0; col < 10; ++col) EXPECT_EQ(CellText(book, 0, 0, col), expected[col]) << col;
}

TEST(OdsReader, RepeatsExpandOnlyWhereTheyHoldValues) {
    // As LibreOffice pads a sheet: empty cells and rows repeated to the format's last row.
    const std::string tables =
        "<table:table table:name='A'>"
        "<table:table-row table:number-rows-repeated='2'>"
        "<table:table-cell table:number-columns-repeated='2'/>"
        "<table:table-cell table:number-columns-repeated='3' office:value-type='float' "
        "office:value='7'/>"
        "<table:table-cell table:number-columns-repeated='16380'/></table:table-row>"
        "<table:table-row table:number-rows-repeated='1048570'>"
        "<table:table-cell table:number-columns-repeated='1024'/></table:table-row>"
        "<table:table-row><table:table-cell office:value-type='float' "
        "office:value='1'/></table:table-row>"
        "</table:table>"
        "<table:table table:name='  '><table:table-row table:number-rows-repeated='99999999999'>"
        "<table:table-cell table:number-columns-repeated='300' office:value-type='float' "
        "office:value='2'/>"
        "</table:table-row></table:table>";
    xls::TWorkbook book;
    EXPECT_THROW(ReadOds(Bytes(Package(tables)), book), EOdsError);  // 16.7 million copies

    const std::string padded = tables.substr(0, tables.find("<table:table table:name='  '>"));
    ReadOds(Bytes(Package(padded)), book);
    const auto& cells = book.Sheets().Items(0).Cells();
    EXPECT_EQ(cells.Count(), 6);
    EXPECT_EQ(CellText(book, 0, 1, 4), "num:7");
    EXPECT_EQ(CellText(book, 0, 1, 5), "none");
    EXPECT_EQ(CellText(book, 0, 2, 2), "none");  // the row past the padding lies past the model
}

TEST(OdsReader, EncryptedAndForeignPackagesAreRefused) {
    const std::string encrypted = Package(
        "",
        "<manifest:manifest xmlns:manifest='urn:oasis:names:tc:opendocument:xmlns:manifest:1.0'>"
        "<manifest:file-entry manifest:full-path='content.xml'><manifest:encryption-data/>"
        "</manifest:file-entry></manifest:manifest>");
    const struct {
        std::string package;
        const char* message;
    } cases[] = {
        {encrypted, "The spreadsheet is password-protected, which is not supported."},
        {BuildZip({{"a", "b"}}),
         "The file is a zip archive but no OpenDocument spreadsheet: it has no content.xml."},
        {Package(""), "There are no sheets in the workbook."},
    };
    for (const auto& c : cases) {
        xls::TWorkbook book;
        try {
            ReadOds(Bytes(c.package), book);
            ADD_FAILURE() << c.message;
        } catch (const EOdsError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_TRUE(LooksLikeOds(Bytes(Package(""))));
    EXPECT_FALSE(
        LooksLikeOds(Bytes(BuildZip({{"content.xml", "x"}, {"[Content_Types].xml", "y"}}))));
}

TEST(OdsReader, LargeContentReadAsInOrderAndAFaultKeepsWhatCameBefore) {
    // Megabytes of content, parsed on another thread; repeated rows of two cells each, so a
    // row's cells are made row by row.
    const auto table = [](const std::string& name, int rows, const std::string& last) {
        std::string xml = "<table:table table:name='" + name + "'>";
        for (int i = 0; i < rows; ++i) {
            xml +=
                "<table:table-row table:number-rows-repeated='2'><table:table-cell "
                "office:value-type='float' office:value='" +
                std::to_string(i) +
                "'/><table:table-cell office:value-type='string' "
                "office:string-value='x'/></table:table-row>";
        }
        return xml + last + "</table:table>";
    };
    xls::TWorkbook book;
    ReadOds(Bytes(Package(table("A", 8000, "") + table("B", 8000, ""))), book);
    ASSERT_EQ(book.Sheets().Count(), 2);
    const auto& cells = book.Sheets().Items(1).Cells();
    ASSERT_EQ(cells.Count(), 32000);
    EXPECT_EQ(cells.Items(2).Row(), 1);  // (0,0) (0,1) (1,0) ...
    EXPECT_EQ(cells.Items(2).Col(), 0);
    EXPECT_EQ(CellText(book, 1, 15999, 0), "num:7999");
    EXPECT_EQ(CellText(book, 1, 15999, 1), "text:x");

    const std::string tooLong =
        "<table:table-row><table:table-cell><text:p><text:s text:c='70000'/>"
        "</text:p></table:table-cell></table:table-row>";
    xls::TWorkbook broken;
    try {
        ReadOds(
            Bytes(Package(table("A", 8000, "") + table("B", 8000, tooLong) + table("C", 1, ""))),
            broken);
        ADD_FAILURE() << "read";
    } catch (const EOdsError& e) {
        EXPECT_STREQ(e.what(), "A cell's text is longer than 65535 characters.");
    }
    ASSERT_EQ(broken.Sheets().Count(), 2);
    EXPECT_EQ(broken.Sheets().Items(1).Cells().Count(), 32000);

    // A checksum that fails at the end of a part inflated ahead: the read is made again
    // directly, and the fault told as that read meets it.
    try {
        ReadOds(Bytes(Package(table("A", 8000, ""), "<m/>", 12345)), broken);
        ADD_FAILURE() << "read";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     "The zip entry \"content.xml\" is damaged: its data does not inflate to what "
                     "the directory says.");
    }
}

}  // namespace
}  // namespace morvik::ods
