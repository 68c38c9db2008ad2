#include "Commands.h"

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
    } catch (const EUserError&) {
        throw;
    } catch (const Error& e) {
        throw EUserError(Msg::CannotReadFile, {name}, e.what(), e.Code(), std::current_exception());
    } catch (const std::exception& e) {
        throw EUserError(Msg::CannotReadFile, {name}, e.what(), 0, std::current_exception());
    }
}

void PasteCommand(Workspace& ws, TextTable& table, int col, int row, std::string_view text) {
    ClearResult(ws);
    const bool cloud = &table == &ws.sgImput2 || &table == &ws.sgImput3;
    const PasteOutcome outcome = PasteText(table, col, row, text, cloud ? kMaxCloudRows : 0);
    if (outcome.unplaced > 0) {
        throw EUserError(Msg::PasteNotPlaced, {std::to_string(outcome.unplaced)});
    }
}

void ClearCommand(Workspace& ws, TextTable& table, int fixedCols, int fixedRows) {
    ClearResult(ws);
    ClearTable(table, fixedCols, fixedRows);
}

void RequireCurrentResult(const Workspace& ws) {
    if (!ws.resultCurrent) throw EUserError(Msg::NoCurrentResult, {});
}

void ExportCommand(const Workspace& ws, int setIndex, const std::string& path) {
    RequireCurrentResult(ws);
    try {
        ExportReport(ws, setIndex, ws.lang, path);
    } catch (const std::exception& e) {
        throw EUserError(Msg::CannotWriteReport, {FileNameOf(path)}, e.what(), 0,
                         std::current_exception());
    }
}

std::vector<std::string> SettingsNotices(const IniFile& ini, int setIndex, bool atStart,
                                         std::string_view lang) {
    const std::string name = FileNameOf(ini.Path());
    if (!ini.Found()) return {MessageText(Msg::SettingsMissing, lang, {name})};
    std::vector<std::string> notices;
    if (atStart && ini.IsUtf8()) notices.push_back(MessageText(Msg::SettingsUtf8, lang, {name}));
    if (!SetHasCoefficients(ini, setIndex)) {
        const CaptionSet& set = lang == "en" ? kEnglishCaptions : kCzechCaptions;
        notices.push_back(
            MessageText(Msg::SetWithoutCoefficients, lang,
                        {std::string(set.setNames.at(static_cast<std::size_t>(setIndex))), name}));
    }
    return notices;
}

}  // namespace morvik::core
