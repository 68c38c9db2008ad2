#include "Commands.h"

#include <algorithm>
#include <filesystem>

#include "Captions.h"
#include "EquationSets.h"
#include "Export.h"
#include "Loaders.h"
#include "Messages.h"
#include "compute/Compute.h"

namespace morvik::core {
namespace {

std::string ExtensionList() {
    std::string list;
    for (const Loader& loader : Loaders()) {
        if (!list.empty()) list += ", ";
        list += loader.extension;
    }
    return list;
}

bool SetHasCoefficients(const IniFile& ini, int setIndex) {
    const std::string_view section = SetSection(setIndex);
    for (int r = 1; r <= kConstantRow; ++r) {
        for (int k = 1; k <= kEquationCount; ++k) {
            if (!ini.ReadString(section, SgKey(k, r), "").empty()) return true;
        }
    }
    return false;
}

}  // namespace

void LoadMeasurementFile(Workspace& ws, const std::optional<std::string>& path,
                         const WorkbookImporter& importWorkbook) {
    if (!path) {
        LoadFileCommand(ws, path, importWorkbook);
        return;
    }
    const std::string name = FileNameOf(*path);
    std::error_code ec;
    if (!std::filesystem::exists(*path, ec)) throw EUserError(Msg::FileMissing, {name});
    if (FindLoader(*path) == nullptr) {
        try {
            LoadFileCommand(ws, path, importWorkbook);
        } catch (const std::exception&) {
            throw EUserError(Msg::FileNotLoadable, {name, ExtensionList()}, {}, 0,
                             std::current_exception());
        }
        return;
    }
    ClearResult(ws);
    try {
        LoadFileCommand(ws, path, importWorkbook);
    } catch (const EUserError& e) {
        // A sentence that names the file already says it all; one about a cell of it does not.
        if (!e.Args().empty() && e.Args().front() == name) throw;
        throw EUserError(Msg::CannotReadFile, {name}, e.what(), e.Code(), std::current_exception());
    } catch (const Error& e) {
        throw EUserError(Msg::CannotReadFile, {name}, e.what(), e.Code(), std::current_exception());
    } catch (const std::exception& e) {
        throw EUserError(Msg::CannotReadFile, {name}, e.what(), 0, std::current_exception());
    }
}

TableLabels LabelsOf(const Workspace& ws, const TextTable& table) {
    if (&table == &ws.sgImput) return {2, 1};  // name, abbreviation; "X Y Z"
    if (&table == &ws.sgImput2 || &table == &ws.sgImput3) return {0, 1};
    if (&table == &ws.sg || &table == &ws.sgRozmery || &table == &ws.pom) return {1, 1};
    return {};
}

void PasteCommand(Workspace& ws, TextTable& table, int col, int row, std::string_view text) {
    ClearResult(ws);
    const TableLabels labels = LabelsOf(ws, table);
    const bool cloud = &table == &ws.sgImput2 || &table == &ws.sgImput3;
    const PasteOutcome outcome =
        PasteText(table, std::max(col, labels.cols), std::max(row, labels.rows), text,
                  cloud ? kMaxCloudRows : 0);
    if (outcome.unplaced > 0) {
        throw EUserError(Msg::PasteNotPlaced, {std::to_string(outcome.unplaced)});
    }
}

void ClearCommand(Workspace& ws, TextTable& table, int fixedCols, int fixedRows) {
    ClearResult(ws);
    const TableLabels labels = LabelsOf(ws, table);
    ClearTable(table, std::max(fixedCols, labels.cols), std::max(fixedRows, labels.rows));
}

void ClearCommand(Workspace& ws, TextTable& table) { ClearCommand(ws, table, 0, 0); }

void RequireCurrentResult(const Workspace& ws) {
    if (!ws.resultCurrent) throw EUserError(Msg::NoCurrentResult, {});
}

void ExportCommand(const Workspace& ws, int setIndex, const std::string& path) {
    RequireCurrentResult(ws);
    try {
        ExportReport(ws, setIndex, ws.lang, path);
    } catch (const Error& e) {
        // The system's errno stays on the error.
        throw EUserError(Msg::CannotWriteReport, {FileNameOf(path)}, e.what(), e.Code(),
                         std::current_exception());
    } catch (const std::exception& e) {
        throw EUserError(Msg::CannotWriteReport, {FileNameOf(path)}, e.what(), 0,
                         std::current_exception());
    }
}

std::vector<Notice> SettingsNotices(const IniFile& ini, int setIndex, bool atStart,
                                    std::string_view lang) {
    const std::string name = FileNameOf(ini.Path());
    if (!ini.Found()) return {{MessageText(Msg::SettingsMissing, lang, {name})}};
    std::vector<Notice> notices;
    if (atStart && ini.IsUtf8())
        notices.push_back({MessageText(Msg::SettingsUtf8, lang, {name}), true});
    if (!SetHasCoefficients(ini, setIndex)) {
        const CaptionSet& set = lang == "en" ? kEnglishCaptions : kCzechCaptions;
        notices.push_back({MessageText(
            Msg::SetWithoutCoefficients, lang,
            {std::string(set.setNames.at(static_cast<std::size_t>(setIndex))), name})});
    }
    return notices;
}

}  // namespace morvik::core
