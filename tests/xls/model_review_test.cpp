// Display text under number formats as files write them, and cells whose format entries point
// at fonts the font table does not hold.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "XLSFormatStr.h"
#include "XLSWorkbook.h"

namespace morvik::xls {
namespace {

TEST(CleanFormat, GeneralStaysWhereItMarksTheNumber) {
    struct Case {
        std::string_view pattern;
        std::string_view clean;
    };
    const Case cases[] = {
        {"General", ""},
        {"_(General_)", ""},
        {"General;[Red]-General", ""},
        {"[Red]General", "[Red]General"},
        {"[$-405]General", "[$-405]General"},
        {R"(General" kg")", R"(General" kg")"},
        {R"("Total: "GENERAL)", R"("Total: "GENERAL)"},
        {R"(0.00" general")", R"(0.00" general")"},
        {R"(0.0\%)", R"(0.0"%")"},
        {R"(0\%\%)", R"(0"%""%")"},
        {R"("a\%"0)", R"("a%"0)"},
        {R"(0\\%)", R"(0%)"},
        {"0.0%", "0.0%"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanFormat(c.pattern), c.clean) << c.pattern;
}

TEST(DisplayText, FileFormatsKeepTheNumber) {
    struct Case {
        std::string pattern;
        double value;
        std::string text;
    };
    const Case cases[] = {
        {"[Red]General", 5.25, "5.25"},
        {"[$-405]General", -2.5, "-2.5"},
        {R"(General" kg")", 5.25, "5.25 kg"},
        {R"("Total: "General)", 3, "Total: 3"},
        {R"(0.0\%)", 5.25, "5.3%"},
        {"0.0%", 0.0525, "5.3%"},
        {"General", 0.5, "0.5"},
    };
    TWorkbook wb;
    TCells& cells = wb.Sheets().Items(0).Cells();
    std::uint16_t code = 164;
    for (const Case& c : cases) {
        const int position = wb.FormatStrings().SetFormat(code++, c.pattern);
        TCell& cell = cells.Cell(0, 0);
        cell.SetValue(c.value);
        cell.SetNumberFormat(static_cast<std::uint16_t>(position));
        EXPECT_EQ(cell.DisplayText(), c.text) << c.pattern;
    }
}

}  // namespace
}  // namespace morvik::xls
