// morvik-batch --pdf: one case report per skull, named as the text reports, made on several
// workers at once, and the same bytes from two runs under SOURCE_DATE_EPOCH.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/core/TempDir.h"
#include "tests/tools/RunProgram.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;
using test::Output;
using test::ReadBytes;
using test::Shell;
using test::TempDir;
using test::WriteBytes;

TEST(BatchPdf, OneReportPerSkullTheSameBytesTwice) {
    TempDir dir;
    const std::string examples = MORVIK_EXAMPLES_DIR;
    fs::create_directories(dir.Path() / "in" / "sub");
    WriteBytes(dir.File("in/skull.xls"), ReadBytes(examples + "/skull.xls"));
    WriteBytes(dir.File("in/sub/skull.xls"), ReadBytes(examples + "/skull.xls"));
    WriteBytes(dir.File("in/lebka.txt"), ReadBytes(examples + "/skull.txt"));
    const std::string settings = examples + "/Settings-model.ini";
    const auto batch = [&](const std::string& pdf, const std::string& reports) {
        return Shell("cd '" + dir.Path().string() + "' && SOURCE_DATE_EPOCH=1796683200 '" +
                     MORVIK_BATCH + "' -q -j2 --lang cz --settings '" + settings + "' --reports " +
                     reports + " --pdf " + pdf + " in >out.csv 2>err.txt");
    };
    ASSERT_EQ(batch("pdf1", "txt"), 0) << ReadBytes(dir.File("err.txt"));
    ASSERT_EQ(batch("pdf2", "txt"), 0) << ReadBytes(dir.File("err.txt"));

    // Named as the text reports, with .pdf for .txt.
    for (const char* name : {"skull.xls", "sub/skull.xls", "lebka.txt"}) {
        ASSERT_TRUE(fs::exists(dir.Path() / "txt" / (std::string(name) + ".txt"))) << name;
        const std::string first = ReadBytes(dir.File("pdf1/" + std::string(name) + ".pdf"));
        ASSERT_EQ(first.rfind("%PDF-", 0), 0u) << name;
        EXPECT_EQ(ReadBytes(dir.File("pdf2/" + std::string(name) + ".pdf")), first) << name;
    }
    // The full paths of the skull and of the settings, though both were given relative or
    // as they stood; the sheet of the workbook; the Czech page numbers.
    const std::string text =
        Output("pdftotext -layout '" + dir.File("pdf1/sub/skull.xls.pdf") + "' -");
    EXPECT_NE(text.find(dir.File("in/sub/skull.xls")), std::string::npos) << text;
    EXPECT_NE(text.find(fs::absolute(settings).lexically_normal().string()), std::string::npos);
    EXPECT_NE(text.find("List"), std::string::npos);
    EXPECT_NE(text.find("2026-12-07 22:40:00 UTC"), std::string::npos);
    EXPECT_NE(text.find("strana 1 z "), std::string::npos);

    // A folder that cannot take the reports is said before any skull is computed.
    WriteBytes(dir.File("file"), "x");
    EXPECT_EQ(batch("file", "txt"), 2);
    EXPECT_NE(ReadBytes(dir.File("err.txt")).find("file"), std::string::npos);
}

// Without the fonts (a fontconfig that knows no folder) the run stops before any skull, and
// says why in its language.
TEST(BatchPdf, WithoutTheFontsTheRunSaysWhyBeforeItStarts) {
    TempDir dir;
    WriteBytes(dir.File("fonts.conf"), "<?xml version=\"1.0\"?><fontconfig></fontconfig>");
    const std::string examples = MORVIK_EXAMPLES_DIR;
    const int status =
        Shell("cd '" + dir.Path().string() + "' && FONTCONFIG_FILE='" + dir.File("fonts.conf") +
              "' '" + MORVIK_BATCH + "' -q --lang cz --settings '" + examples +
              "/Settings-model.ini' --pdf pdf '" + examples + "/skull.xls' >out.csv 2>err.txt");
    EXPECT_EQ(status, 2);
    const std::string said = ReadBytes(dir.File("err.txt"));
    EXPECT_NE(said.find("Protokol PDF nelze vytvořit: písmo „DejaVu Sans Book“ není nainstalováno"),
              std::string::npos)
        << said;
    EXPECT_EQ(ReadBytes(dir.File("out.csv")), "");
}

}  // namespace
}  // namespace morvik
