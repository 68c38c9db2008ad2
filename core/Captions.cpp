#include "Captions.h"

#include <string>

#include "compute/Landmarks.h"
#include "text/Decimal.h"

namespace morvik::core {

const CaptionSet kCzechCaptions{
    .code = "cz",
    .buttons = {"Načíst soubor", "Spočítat", "Export", "Konec", "Spočítat z rozměrů >>"},
    .checkBoxes = {"Použít 6", "Použít 5", "Použít 7", "Použít 3", "Použít 1", "Použít 4",
                   "Použít 2"},
    .tabSheets = {"Souřadnice bodů", "Rovnice", "Mezivýsledek", "O programu", "Rozměry"},
    .equationType = "Typ rovnice",
    .setNames = {"Praha", "Lisabon", "Coimbra", "Univerzální"},
    .openFilter =
        "Všechny podporované soubory|*.xls;*.xlsx;*.xlsm;*.ods;*.txt;*.csv;*.mrk.json;*.fcsv;*.pp;"
        "*.ckpt;*.pts;*.dta;*.tps|"
        "Sešity Excel a OpenDocument|*.xls;*.xlsx;*.xlsm;*.ods|"
        "Textové soubory|*.txt;*.csv|"
        "Soubory bodů z digitalizačních programů|*.mrk.json;*.fcsv;*.pp;*.ckpt;*.pts;*.dta;*.tps;"
        "*.txt|Všechny soubory|*.*",
    .saveFilter = "Textové soubory|*.txt|Všechny soubory|*.*",
    .maleWord = "Muž",
    .femaleWord = "Žena",
    .about =
        "MORVIK počítá diskriminační funkce pro odhad pohlaví podle lidské lebky, sestavené na "
        "čtyřech kosterních souborech. Vstupem jsou trojrozměrné souřadnice až 24 "
        "antropometrických bodů (22 bodů a dvě mračna bodů, z nichž se určí body euryon) nebo "
        "17 standardních rozměrů. Uživatel může sestavovat a upravovat sedm typů "
        "diskriminačních rovnic ze tří moderních referenčních souborů (Praha, Lisabon, Coimbra) "
        "nebo použít univerzální rovnici. Výstupem jsou vypočtené rozměry, mezivýsledky, "
        "diskriminační skóre a určení pohlaví.",
    .thanks =
        "Koeficienty rovnic nejsou součástí programu: pocházejí ze souboru Settings.ini a "
        "s každým výsledkem je třeba uvést jejich původ.",
    .rowLabels = {"G-OP", "EU-EU", "ZYG-ZYG", "N-P", "RH-NS", "B-BA", "APT-APT", "EKT-EKT",
                  "Horizontální ohyb dx", "Horizontální ohyb sin", "Vertikální ohyb dx",
                  "Vertikální ohyb sin", "Laterální ohyb", "FMO-D/D-FMO", "ZOR-D/D-ZOR",
                  "Velikost orbity dx", "Velikost orbity sin", "Konstanta"},
    .equationWord = "Rovnice",
    .verdictWord = "VÝSLEDEK",
    .menuItems = {"Editovat", "Uložit", "Vložit", "Vymazat tabulku"},
};

const CaptionSet kEnglishCaptions{
    .code = "en",
    .buttons = {"Open file", "Calculate", "Export", "End", "Calculate from measurements >>"},
    .checkBoxes = {"Equation 6", "Equation 5", "Equation 7", "Equation 3", "Equation 1",
                   "Equation 4", "Equation 2"},
    .tabSheets = {"Coordinates", "Equation", "Preliminary results", "About", "Measurements"},
    .equationType = "Equation type",
    .setNames = {"Prague", "Lisbon", "Coimbra", "Universal"},
    .openFilter =
        "All supported files|*.xls;*.xlsx;*.xlsm;*.ods;*.txt;*.csv;*.mrk.json;*.fcsv;*.pp;*.ckpt;"
        "*.pts;*.dta;*.tps|"
        "Excel and OpenDocument workbooks|*.xls;*.xlsx;*.xlsm;*.ods|"
        "Text files|*.txt;*.csv|"
        "Landmark files of digitizing programs|*.mrk.json;*.fcsv;*.pp;*.ckpt;*.pts;*.dta;*.tps;"
        "*.txt|All files|*.*",
    .saveFilter = "Text files|*.txt|All files|*.*",
    .maleWord = "Male",
    .femaleWord = "Female",
    .about =
        "MORVIK computes discriminant functions for estimating the sex of a human skull, built "
        "on four skeletal samples. It takes the three-dimensional coordinates of up to 24 "
        "anthropometric points (22 landmarks and two point clouds from which the euryon points "
        "are found) or 17 standard measurements. The user can build and modify seven types of "
        "discriminant equations from three modern reference samples (Praha, Lisbon, Coimbra) "
        "or apply a universal equation. The output is the computed measurements, intermediate "
        "results, discriminant scores and the sex diagnosis.",
    .thanks =
        "The equation coefficients are not part of the program: they come from the file "
        "Settings.ini, and their source should be cited with every result.",
    .rowLabels = {"G-OP", "EU-EU", "ZYG-ZYG", "N-P", "RH-NS", "B-BA", "APT-APT", "EKT-EKT",
                  "Horizontal flexure dx", "Horizontal flexure sin", "Vertical flexure dx",
                  "Vertical flexure sin", "Lateral flexure", "FMO-D/D-FMO", "ZOR-D/D-ZOR",
                  "Orbital size dx", "Orbital size sin", "Constant"},
    .equationWord = "Equation",
    .verdictWord = "OUTPUT",
    .menuItems = {"Edit", "Save", "Paste", "Clear table"},
};

const WindowWords kCzechWindowWords{
    .pasted = "vloženo",
    .typed = "upraveno",
    .recentFiles = "Naposledy otevřené soubory",
    .noRecentFiles = "Žádné soubory",
    .clearRecent = "Vymazat seznam",
    .coefficients = "Koeficienty",
    .coefficientsTip = "Upravit nebo uložit koeficienty zvolené sady rovnic",
    .sheetTitle = "Výběr listu",
    .sheetOne = "První list sešitu „{0}“ neobsahuje žádné body; list „{1}“ ano. Načíst list „{1}“?",
    .sheetMany = "První list sešitu „{0}“ neobsahuje žádné body. Který list načíst?",
    .specimenTitle = "Výběr jedince",
    .specimenMany = "Soubor „{0}“ obsahuje více jedinců ({1}). Kterého načíst?",
    .undo = "Zpět",
    .redo = "Znovu",
};

const WindowWords kEnglishWindowWords{
    .pasted = "pasted",
    .typed = "typed",
    .recentFiles = "Recent files",
    .noRecentFiles = "No files",
    .clearRecent = "Clear list",
    .coefficients = "Coefficients",
    .coefficientsTip = "Edit or save the coefficients of the chosen equation set",
    .sheetTitle = "Choose a sheet",
    .sheetOne =
        "The first sheet of \"{0}\" holds no landmarks; sheet \"{1}\" does. Load sheet "
        "\"{1}\"?",
    .sheetMany = "The first sheet of \"{0}\" holds no landmarks. Which sheet shall be loaded?",
    .specimenTitle = "Choose a specimen",
    .specimenMany = "The file \"{0}\" holds {1} specimens. Which one shall be loaded?",
    .undo = "Undo",
    .redo = "Redo",
};

const WindowWords& WindowWordsFor(std::string_view code) {
    return code == "cz" ? kCzechWindowWords : kEnglishWindowWords;
}

namespace {

void ReplaceFirst(std::string& text, std::string_view from, std::string_view to) {
    if (const auto p = text.find(from); p != std::string::npos) {
        text.replace(p, from.size(), to);
    }
}

}  // namespace

const CaptionSet* FindCaptionSet(std::string_view code) {
    if (code == kCzechCaptions.code) return &kCzechCaptions;
    if (code == kEnglishCaptions.code) return &kEnglishCaptions;
    return nullptr;
}

void WriteEquationHeader(Workspace& ws) {
    ws.sg.SetCell(0, 0, kCzechCaptions.equationType);
    for (int k = 1; k <= kEquationCount; ++k) {
        ws.sg.SetCell(k, 0, kEquationNumbers[static_cast<std::size_t>(k - 1)]);
    }
}

void ApplyCaptionCells(Workspace& ws, const CaptionSet& set) {
    ws.sg.SetCell(0, 0, set.equationType);
    ws.sgRozmery.SetCell(0, 0, set.equationType);
    ws.pom.SetCell(0, 0, set.equationType);

    // The verdict words are translated; an indeterminate verdict keeps its wording.
    const CaptionSet& other = &set == &kCzechCaptions ? kEnglishCaptions : kCzechCaptions;
    ReplaceFirst(ws.Label1.text, other.maleWord, set.maleWord);
    ReplaceFirst(ws.Label1.text, other.femaleWord, set.femaleWord);

    for (int r = 1; r <= kLandmarkCount; ++r) {
        const LandmarkRow& landmark = kLandmarks[static_cast<std::size_t>(r - 1)];
        ws.sgImput.SetCell(0, r, set.code == "cz" ? landmark.nameCz : landmark.nameEn);
        ws.sgImput.SetCell(1, r, landmark.abbreviation);
    }
    ws.sgImput.SetCell(2, 0, "X");
    ws.sgImput.SetCell(3, 0, "Y");
    ws.sgImput.SetCell(4, 0, "Z");

    for (int r = 1; r <= kConstantRow; ++r) {
        ws.sg.SetCell(0, r, set.rowLabels[static_cast<std::size_t>(r - 1)]);
    }
    for (int r = 1; r < ws.pom.RowCount(); ++r) ws.pom.SetCell(0, r, ws.sg.Cell(0, r));
    for (int k = 0; k < ws.pom.ColCount(); ++k) ws.pom.SetCell(k, 0, ws.sg.Cell(k, 0));
    for (int r = 1; r < ws.sgRozmery.RowCount(); ++r) {
        ws.sgRozmery.SetCell(0, r, ws.sg.Cell(0, r));
    }
    ws.sgRozmery.SetCell(0, 0, ws.sg.Cell(0, 0));
}

bool IsCzech(std::string_view lang) { return lang == "cz"; }

std::string Tr(std::string_view lang, std::string_view cz, std::string_view en) {
    return std::string(IsCzech(lang) ? cz : en);
}

std::string LocalNumber(double value, int decimals, std::string_view lang) {
    return FormatDecimal(value, decimals, true, IsCzech(lang) ? ',' : '.');
}

std::string LocalPercent(double ratio, std::string_view lang) {
    return LocalNumber(100 * ratio, 1, lang) + " %";
}

std::string SetNameIn(int setIndex, std::string_view lang) {
    const CaptionSet& set = IsCzech(lang) ? kCzechCaptions : kEnglishCaptions;
    if (setIndex < 0 || setIndex >= static_cast<int>(set.setNames.size())) return "?";
    return std::string(set.setNames[static_cast<std::size_t>(setIndex)]);
}

std::string DimensionNameIn(int dimension, std::string_view lang) {
    const DimensionRow& row = kDimensionRows.at(static_cast<std::size_t>(dimension));
    return std::string(IsCzech(lang) ? row.nameCz : row.nameEn);
}

std::string DimensionNamesIn(const DimensionSet& dimensions, std::string_view lang) {
    std::string names;
    for (int d = 0; d < kDimensionCount; ++d)
        if (dimensions.test(static_cast<std::size_t>(d)))
            names += (names.empty() ? "" : ", ") + DimensionNameIn(d, lang);
    return names;
}

}  // namespace morvik::core
