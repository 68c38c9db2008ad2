#include "EquationSets.h"

#include "text/Error.h"

namespace morvik::core {
namespace {

constexpr int kFirstCoefficientColumn = 1;
constexpr int kLastCoefficientRow = kConstantRow;

}  // namespace

std::string_view SetSection(int index) {
    if (index < 0 || index >= static_cast<int>(kSetSections.size())) {
        throw Error("List index (" + std::to_string(index) + ") out of bounds");
    }
    return kSetSections[static_cast<std::size_t>(index)];
}

std::string SgKey(int column, int row) {
    return "sg_" + std::to_string(column) + "_" + std::to_string(row);
}

void LoadStartupSet(Workspace& ws, const IniFile& ini) {
    const std::string_view section = kSetSections[kUniversalSet];
    for (int r = 1; r <= kLastCoefficientRow; ++r) {
        for (int k = kFirstCoefficientColumn; k <= kEquationCount; ++k) {
            ws.sg.SetCell(
                k, r, FirstPointToComma(ini.ReadString(section, SgKey(k, r), ws.sg.Cell(k, r))));
        }
    }
}

void LoadEquationSet(Workspace& ws, const IniFile& ini, int index) {
    const std::string_view section = SetSection(index);
    for (int r = 1; r <= kLastCoefficientRow; ++r) {
        for (int k = kFirstCoefficientColumn; k <= kEquationCount; ++k) {
            const std::string key = SgKey(k, r);
            ws.sg.SetCell(
                k, r,
                ini.ValueExists(section, key) ? ini.ReadString(section, key, "") : std::string());
        }
    }
}

void SaveEquationSet(const Workspace& ws, IniFile& ini, int index) {
    const std::string_view section = SetSection(index);
    // One replacement of the file for the whole set: a save cut short by a crash or a kill
    // leaves the old set or the new one, never a mix.
    IniFile staged = ini;
    for (int r = 1; r <= kLastCoefficientRow; ++r) {
        for (int k = kFirstCoefficientColumn; k <= kEquationCount; ++k) {
            staged.SetString(section, SgKey(k, r), ws.sg.Cell(k, r));
        }
    }
    staged.Save();
    ini = std::move(staged);
}

void CoefficientSnapshot::Take(const Workspace& ws) {
    std::size_t i = 0;
    for (int r = 1; r <= kLastCoefficientRow; ++r) {
        for (int k = kFirstCoefficientColumn; k <= kEquationCount; ++k)
            cells_[i++] = ws.sg.Cell(k, r);
    }
}

bool CoefficientSnapshot::Differs(const Workspace& ws) const {
    std::size_t i = 0;
    for (int r = 1; r <= kLastCoefficientRow; ++r) {
        for (int k = kFirstCoefficientColumn; k <= kEquationCount; ++k) {
            if (cells_[i++] != ws.sg.Cell(k, r)) return true;
        }
    }
    return false;
}

std::string ReadLanguage(const IniFile& ini, std::string_view current) {
    return ini.ReadString(kGlobalSection, kLangKey, current);
}

void WriteLanguage(IniFile& ini, std::string_view code) {
    ini.WriteString(kGlobalSection, kLangKey, code);
}

}  // namespace morvik::core
