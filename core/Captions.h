// The two caption sets: every language-dependent text of the window.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "compute/Compute.h"
#include "compute/Workspace.h"

namespace morvik::core {

struct CaptionSet {
    std::string_view code;                                 // "cz" or "en"
    std::array<std::string_view, 5> buttons;               // Button1 .. Button5
    std::array<std::string_view, 7> checkBoxes;            // cb1 .. cb7
    std::array<std::string_view, 5> tabSheets;             // TabSheet1 .. TabSheet5 (by name)
    std::string_view equationType;                         // cell (0, 0) of sg, sgRozmery, pom
    std::array<std::string_view, 4> setNames;              // ComboBox1 items
    std::string_view openFilter;                           // OpenDialog1, "text|pattern|..."
    std::string_view saveFilter;                           // SaveDialog1
    std::string_view maleWord, femaleWord;                 // written into Label1 by this set
    std::string_view about;                                // Label4
    std::string_view thanks;                               // Label5
    std::array<std::string_view, kConstantRow> rowLabels;  // sg column 0, rows 1..18
    std::string_view equationWord;                         // export: "Rovnice 6 = ..."
    std::string_view verdictWord;                          // export: "VÝSLEDEK ..."
    std::array<std::string_view, 4> menuItems;             // Editovat1, Uloit1, Vloit1,
                                                           // Vymazattabulku1
};

// Texts of the window's newer controls and questions, kept apart from the caption sets
// above, which mirror the stored form.
struct WindowWords {
    std::string_view pasted, typed;  // the title's note on data changed since it was loaded
    std::string_view recentFiles, noRecentFiles, clearRecent;
    std::string_view coefficients, coefficientsTip;
    // {0} the file's name, {1} the sheet's name.
    std::string_view sheetTitle, sheetOne, sheetMany;
    // {0} the file's name, {1} how many specimens it holds.
    std::string_view specimenTitle, specimenMany;
    std::string_view undo, redo;
};
const WindowWords& WindowWordsFor(std::string_view code);

extern const CaptionSet kCzechCaptions;
extern const CaptionSet kEnglishCaptions;

// Row 0 of sg, columns 1..7.
using morvik::kEquationNumbers;

// The set of a language code, or nullptr for a code that is neither "cz" nor "en".
const CaptionSet* FindCaptionSet(std::string_view code);

// Words of the interface language for the texts core writes itself (reports, notices):
// "cz" is Czech, any other code English.
bool IsCzech(std::string_view lang);
// The text in the language: Czech first, as the message table has it.
std::string Tr(std::string_view lang, std::string_view cz, std::string_view en);
// A number with `decimals` places and the language's decimal mark; a ratio as a percentage.
std::string LocalNumber(double value, int decimals, std::string_view lang);
std::string LocalPercent(double ratio, std::string_view lang);
// The name of the set at a list position ("?" for none) and of a dimension (0-based).
std::string SetNameIn(int setIndex, std::string_view lang);
std::string DimensionNameIn(int dimension, std::string_view lang);
// The names of a set of dimensions, in table order, joined by ", ".
std::string DimensionNamesIn(const DimensionSet& dimensions, std::string_view lang);

// The table part of applying a set: header cells, the verdict words on Label1, the
// landmark and dimension labels, and the copies that pom and sgRozmery take from sg.
// The window applies the rest (captions of controls, column widths).
void ApplyCaptionCells(Workspace& ws, const CaptionSet& set);

// The equation grid's fixed header row written at start-up.
void WriteEquationHeader(Workspace& ws);

}  // namespace morvik::core
