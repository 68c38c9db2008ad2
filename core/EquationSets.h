// The four coefficient sets and the language code in the settings file.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "IniFile.h"
#include "compute/Workspace.h"

namespace morvik::core {

inline constexpr std::string_view kSettingsFileName = "Settings.ini";
inline constexpr std::string_view kGlobalSection = "Global";
inline constexpr std::string_view kLangKey = "Lang";

// Sections are always the Czech set names, whatever the interface language: the list
// position is what maps a shown name to its section.
inline constexpr std::array<std::string_view, 4> kSetSections{"Praha", "Lisabon", "Coimbra",
                                                              "Univerzální"};
inline constexpr int kUniversalSet = 3;

// Section of list position `index`; throws Error "List index (<i>) out of bounds" for a position
// outside 0..3.
std::string_view SetSection(int index);

// "sg_<column>_<row>", column 1..7, row 1..18.
std::string SgKey(int column, int row);

// Start-up load of the universal set: a missing key keeps the cell's text and the first
// '.' of each value becomes ','.
void LoadStartupSet(Workspace& ws, const IniFile& ini);

// Loads the set of list position `index` exactly as stored; a missing key empties its cell.
void LoadEquationSet(Workspace& ws, const IniFile& ini, int index);

// Writes all 126 cells of sg, empty ones as empty values, in one replacement of the file;
// when it fails, neither the file nor `ini` changes.
void SaveEquationSet(const Workspace& ws, IniFile& ini, int index);

std::string ReadLanguage(const IniFile& ini, std::string_view current);
void WriteLanguage(IniFile& ini, std::string_view code);

// The coefficient cells as last loaded or saved: edits in the grid since then are unsaved.
class CoefficientSnapshot {
  public:
    void Take(const Workspace& ws);
    bool Differs(const Workspace& ws) const;

  private:
    std::array<std::string, kEquationCount * kConstantRow> cells_;
};

}  // namespace morvik::core
