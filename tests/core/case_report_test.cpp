// The case report as a reader of PDF sees it: pdftotext must find every section's key lines
// in both languages with their diacritics, the fonts must be embedded, a missing landmark
// and typed measurements must be told, and the same skull must give the same bytes. Pages
// are kept with their PNG renderings in build/release/png/ for a look.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "compute/Compute.h"
#include "core/Batch.h"
#include "core/CaseReport.h"
#include "core/DataExchange.h"
#include "core/EquationSets.h"
#include "core/Messages.h"
#include "core/Version.h"
#include "tests/core/TempDir.h"
#include "tests/tools/RunProgram.h"

namespace morvik::core {
namespace {

using test::Output;
using test::Quoted;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const std::string kExamples = MORVIK_EXAMPLES_DIR;
const std::string kModelSettings = kExamples + "/Settings-model.ini";

struct Pdf {
    std::string text;   // pdftotext -layout, pages separated by form feeds
    std::string fonts;  // pdffonts
    int pages = 0;
};

// What poppler reads from the bytes; the pages go to build/release/png/<name>-N.png.
Pdf Read(const std::string& bytes, const std::string& name) {
    std::filesystem::create_directories(MORVIK_PNG_DIR);
    const std::string file = std::string(MORVIK_PNG_DIR) + "/" + name + ".pdf";
    WriteBytes(file, bytes);
    Pdf pdf;
    pdf.text = Output("pdftotext -layout -enc UTF-8 " + Quoted(file) + " - 2>&1");
    pdf.fonts = Output("pdffonts " + Quoted(file) + " 2>&1");
    const std::string info = Output("pdfinfo " + Quoted(file) + " 2>&1");
    std::smatch m;
    if (std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)"))) pdf.pages = std::stoi(m[1]);
    // The reader draws every page without a complaint (a damaged font or stream is said on
    // its standard error).
    const std::string complaints =
        Output("pdftoppm -r 80 -png " + Quoted(file) + " " +
               Quoted(std::string(MORVIK_PNG_DIR) + "/" + name) + " 2>&1");
    EXPECT_EQ(complaints, "") << name;
    return pdf;
}

bool Has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

// The line of the text holding `key`.
std::string LineWith(const std::string& text, const std::string& key) {
    const auto at = text.find(key);
    if (at == std::string::npos) return {};
    const auto begin = text.rfind('\n', at) + 1;
    return text.substr(begin, text.find('\n', at) - begin);
}

struct Case {
    Session session;
    CaseReportInput input;
};

// A file computed as the batch and the window compute it, with its gaps.
void Compute(Case& c, const std::string& settingsPath, const std::string& file,
             const std::string& lang) {
    BatchSettings settings;
    settings.lang = lang;
    const Workspace start = StartWorkspace(IniFile(settingsPath), settings);
    const auto results = ProcessFile(c.session, start, file, settings);
    ASSERT_TRUE(results.at(0).ok) << results.at(0).message;
    c.input.lang = lang;
    c.input.setIndex = kUniversalSet;
    c.input.settingsPath = settingsPath;
    c.input.source.files = {file};
    c.input.time = 1796683200;  // 2026-12-07 22:40:00 UTC
}

class CaseReport : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"pdftotext", "pdffonts", "pdfinfo", "pdftoppm"})
            if (Output(std::string("command -v ") + tool).empty())
                GTEST_FAIL() << tool << " is needed: poppler-utils (scripts/deps.sh installs it)";
    }
};

TEST_F(CaseReport, EnglishReportOfAWorkbookWithAModel) {
    Case c;
    const std::string skull = kExamples + "/skull.xls";
    Compute(c, kModelSettings, skull, "en");
    const std::string bytes = CaseReportPdf(c.session.ws, c.input);
    const Pdf pdf = Read(bytes, "case-report-en");
    const std::string& t = pdf.text;

    // Provenance: program, time, the files with sizes and digests checked by another program.
    EXPECT_TRUE(Has(t, "Case report: sex estimation from the skull")) << t;
    EXPECT_TRUE(Has(t, "MORVIK " + std::string(kVersion)));
    EXPECT_TRUE(Has(t, "2026-12-07 22:40:00 UTC"));
    for (const std::string& file : {skull, kModelSettings}) {
        EXPECT_TRUE(Has(t, file)) << file;
        const std::string digest = Output("sha256sum " + Quoted(file)).substr(0, 64);
        EXPECT_TRUE(Has(t, "SHA-256 " + digest)) << file;
        std::string size = std::to_string(std::filesystem::file_size(file));
        for (int at = static_cast<int>(size.size()) - 3; at > 0; at -= 3) size.insert(at, " ");
        EXPECT_TRUE(Has(t, size + " bytes")) << size;
    }
    EXPECT_TRUE(Has(LineWith(t, "Equation set"), "Universal"));
    EXPECT_TRUE(Has(t, "SYNTHETIC demonstration sample")) << "the reference population";
    EXPECT_TRUE(Has(t, "Source to cite"));

    // The landmarks, the clouds and their euryon points, the picture's views.
    for (const char* abbreviation : {"G ", "ZYGdx", "FMOsin", "BA "})
        EXPECT_TRUE(Has(t, abbreviation)) << abbreviation;
    EXPECT_TRUE(Has(LineWith(t, "Euryon cloud dx"), "euryon point (")) << t;
    EXPECT_TRUE(Has(LineWith(t, "Euryon cloud sin"), "euryon point ("));
    EXPECT_TRUE(Has(t, "left side"));
    EXPECT_FALSE(Has(t, "Missing landmarks"));

    // Units: millimetres for distances and sizes, none for cosines.
    EXPECT_TRUE(Has(LineWith(t, "ZYG-ZYG"), " mm"));
    EXPECT_TRUE(Has(LineWith(t, "Orbital size dx"), " mm"));
    const std::string flexure = LineWith(t, "Horizontal flexure dx");
    EXPECT_FALSE(Has(flexure, "mm")) << flexure;
    EXPECT_TRUE(Has(flexure, "cosine"));

    // The equations with the model's evidence, the verdict with its votes, the coefficients.
    EXPECT_TRUE(Has(t, "P(M)") && Has(t, "Typicality F"));
    EXPECT_TRUE(Has(t, "Verdict: " + c.session.ws.Label1.text));
    EXPECT_TRUE(Has(t, VoteSummary(c.session.ws))) << VoteSummary(c.session.ws);
    EXPECT_TRUE(Has(t, "6. The set's coefficients as used"));
    EXPECT_TRUE(Has(LineWith(t, "\nconstant "), c.session.ws.sg.Cell(1, kConstantRow)));

    // Every page numbered, every font embedded.
    ASSERT_GE(pdf.pages, 2);
    for (int n = 1; n <= pdf.pages; ++n)
        EXPECT_TRUE(Has(t, "page " + std::to_string(n) + " of " + std::to_string(pdf.pages)));
    EXPECT_TRUE(Has(pdf.fonts, "DejaVuSans")) << pdf.fonts;
    EXPECT_FALSE(std::regex_search(pdf.fonts, std::regex(" no  +(yes|no) +(yes|no) ")))
        << "a font not embedded:\n"
        << pdf.fonts;
}

TEST_F(CaseReport, CzechReportOfASkullWithAMissingLandmark) {
    Case c;
    TempDir dir;
    // Glabela left out: G-OP is missing, the equations using it are refitted by the model.
    std::string skull = ReadBytes(kExamples + "/skull.txt");
    skull = skull.substr(skull.find("\r\n"));
    const std::string file = dir.File("lebka bez glabely.txt");
    WriteBytes(file, skull);
    Compute(c, kModelSettings, file, "cz");
    c.input.gaps = Calculate(c.session.ws);
    c.input.source.pasted = true;
    const Pdf pdf = Read(CaseReportPdf(c.session.ws, c.input), "case-report-cz-missing");
    const std::string& t = pdf.text;

    EXPECT_TRUE(Has(t, "Protokol o odhadu pohlaví podle lebky")) << t;
    EXPECT_TRUE(Has(t, "Zdrojový soubor"));
    EXPECT_TRUE(Has(t, "lebka bez glabely.txt"));
    EXPECT_TRUE(Has(t, "vloženo ze schránky"));
    EXPECT_TRUE(Has(t, "Chybějící body (nekresleny): G,"));
    EXPECT_TRUE(Has(LineWith(t, "Glabela"), "chybí"));
    EXPECT_TRUE(Has(LineWith(t, "G-OP"), "chybí"));
    EXPECT_TRUE(Has(t, "přepočtena bez chybějících rozměrů (G-OP)")) << t;
    EXPECT_TRUE(Has(t, "Výsledek: " + c.session.ws.Label1.text));
    EXPECT_TRUE(Has(t, "Upozornění"));
    EXPECT_TRUE(Has(t, "Horizontální ohyb dx"));
    EXPECT_TRUE(Has(t, "Koeficienty souboru, jak byly použity"));
    for (int n = 1; n <= pdf.pages; ++n)
        EXPECT_TRUE(Has(t, "strana " + std::to_string(n) + " z " + std::to_string(pdf.pages)));
    // The missing landmark is said among the gaps too, as the window says it.
    EXPECT_TRUE(Has(t, GapsSentences(c.input.gaps, "cz").at(0).substr(0, 20)));
}

TEST_F(CaseReport, TypedMeasurementsHaveNoPictureAndNoLandmarks) {
    Case c;
    Compute(c, kExamples + "/Settings.ini", kExamples + "/skull.txt", "en");
    Workspace& ws = c.session.ws;
    // The dimensions page as a user fills it by hand: the landmarks emptied.
    for (int r = 1; r <= kLandmarkCount; ++r)
        for (int col = 2; col <= 4; ++col) ws.sgImput.ClearCell(col, r);
    ws.sgRozmery.ClearCell(1, 7);  // APT-APT not measured
    c.input.gaps = CalculateFromDimensions(ws);
    c.input.source = {{}, "", false, true};
    const std::string bytes = CaseReportPdf(ws, c.input);
    const Pdf pdf = Read(bytes, "case-report-typed");
    const std::string& t = pdf.text;

    EXPECT_TRUE(Has(t, "No picture: the dimensions were typed by hand")) << t;
    EXPECT_TRUE(Has(t, "no landmark coordinates were used"));
    EXPECT_TRUE(Has(LineWith(t, "Source of the data"), "typed by hand"));
    EXPECT_FALSE(Has(t, "Euryon cloud"));
    EXPECT_FALSE(Has(t, "Source file"));
    EXPECT_TRUE(Has(LineWith(t, "APT-APT"), "missing"));
    EXPECT_FALSE(Has(t, "P(M)")) << "a set without a model shows no evidence columns";
    EXPECT_TRUE(Has(t, "Verdict: " + ws.Label1.text));
}

TEST_F(CaseReport, SameSkullSameBytesAtTheSameTime) {
    Case c;
    Compute(c, kModelSettings, kExamples + "/skull.xls", "cz");
    const std::string first = CaseReportPdf(c.session.ws, c.input);
    EXPECT_EQ(CaseReportPdf(c.session.ws, c.input), first);
    // The date as a PDF reader gives it from the information dictionary.
    const auto created = [](const std::string& bytes) {
        const std::string file = std::string(MORVIK_PNG_DIR) + "/case-report-date.pdf";
        std::filesystem::create_directories(MORVIK_PNG_DIR);
        WriteBytes(file, bytes);
        return LineWith(Output("TZ=UTC pdfinfo " + Quoted(file) + " 2>&1"), "CreationDate:");
    };
    EXPECT_TRUE(Has(created(first), "Dec  7 22:40:00 2026")) << created(first);

    CaseReportInput later = c.input;
    later.time += 3600;
    const std::string other = CaseReportPdf(c.session.ws, later);
    EXPECT_NE(other, first);
    EXPECT_TRUE(Has(created(other), "Dec  7 23:40:00 2026")) << created(other);

    // SOURCE_DATE_EPOCH fixes the time a report gives; text that is no number is ignored.
    ::setenv("SOURCE_DATE_EPOCH", "1796683200", 1);
    EXPECT_EQ(ReportTime(), 1796683200);
    ::setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
    EXPECT_NE(ReportTime(), 1796683200);
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST_F(CaseReport, RefusesAStaleResultAndNamesAFileItCannotWrite) {
    Case c;
    Compute(c, kModelSettings, kExamples + "/skull.txt", "en");
    TempDir dir;
    const std::string path = dir.File("report.pdf");
    // A path that cannot be printed as it is and no longer exists: the report still comes.
    c.input.source.files.push_back("/nowhere/\xff\xfe broken name " + std::string(300, 'x') +
                                   ".txt");
    WriteCaseReport(c.session.ws, c.input, path);
    const Pdf pdf = Read(ReadBytes(path), "case-report-odd-source");
    EXPECT_TRUE(Has(pdf.text, "the file cannot be read now")) << pdf.text;
    EXPECT_TRUE(Has(pdf.text, "\xEF\xBF\xBD")) << "U+FFFD for the bytes that are no UTF-8";

    try {
        WriteCaseReport(c.session.ws, c.input, dir.File("no such folder/report.pdf"));
        ADD_FAILURE() << "written into a folder that does not exist";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Id(), Msg::CannotWriteReport);
        EXPECT_TRUE(Has(e.Text("en"), "no such folder/report.pdf"));
    }

    c.session.ws.resultCurrent = false;
    EXPECT_THROW(CaseReportPdf(c.session.ws, c.input), EUserError);
    EXPECT_EQ(CaseReportFileName("/a/skull.txt"), "/a/skull.pdf");
    EXPECT_EQ(CaseReportFileName("/a.b/skull"), "/a.b/skull.pdf");
}

}  // namespace
}  // namespace morvik::core
