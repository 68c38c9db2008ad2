#include "Messages.h"

#include <array>

#include "IniFile.h"
#include "compute/Landmarks.h"

namespace morvik::core {
namespace {

struct MessageRow {
    Msg id;
    std::string_view cz;
    std::string_view en;
};

// Indexed by Msg; the test walks it to see every sentence in both languages.
constexpr std::array kMessages{
    MessageRow{Msg::FileMissing, "Soubor „{0}“ nelze načíst: neexistuje",
               "Cannot read \"{0}\": the file does not exist"},
    MessageRow{Msg::FileNotLoadable, "Soubor „{0}“ nebyl načten: načíst lze jen soubory {1}",
               "The file \"{0}\" was not loaded: only {1} files can be loaded"},
    MessageRow{Msg::NotXlsWorkbook, "Soubor „{0}“ nelze načíst: není to sešit Excel 97–2003",
               "Cannot read \"{0}\": it is not an Excel 97–2003 workbook"},
    MessageRow{Msg::ProtectedWorkbook, "Soubor „{0}“ nelze načíst: sešit je chráněn heslem",
               "Cannot read \"{0}\": the workbook is protected by a password"},
    MessageRow{Msg::DamagedWorkbook, "Soubor „{0}“ nelze načíst: sešit je poškozený",
               "Cannot read \"{0}\": the workbook is damaged"},
    MessageRow{Msg::CannotReadFile, "Soubor „{0}“ nelze načíst", "Cannot read \"{0}\""},
    MessageRow{Msg::CannotWriteReport, "Výsledek nelze uložit do souboru „{0}“",
               "Cannot write the report to \"{0}\""},
    MessageRow{Msg::NoCurrentResult,
               "Není co exportovat: zobrazená data ještě nebyla spočítána, soubor nebyl zapsán",
               "Nothing to export: the data shown have not been calculated, no file was written"},
    MessageRow{Msg::SettingsNotSaved, "Do souboru nastavení nelze zapisovat",
               "Cannot write to the settings file"},
    MessageRow{Msg::SettingsMissing,
               "Soubor nastavení „{0}“ chybí: rovnice nemají žádné koeficienty",
               "The settings file \"{0}\" is missing: the equations have no coefficients"},
    MessageRow{
        Msg::SettingsUtf8,
        "Soubor nastavení „{0}“ je v kódování UTF-8, ne Windows-1250; byl přečten jako UTF-8",
        "The settings file \"{0}\" is in UTF-8, not Windows-1250; it was read as UTF-8"},
    MessageRow{Msg::SetWithoutCoefficients,
               "Soubor nastavení „{1}“ nemá pro soubor rovnic „{0}“ žádné koeficienty",
               "The settings file \"{1}\" holds no coefficients for the set \"{0}\""},
    MessageRow{Msg::PasteNotPlaced,
               "Vkládaný text se do tabulky nevešel celý; nevložené hodnoty: {0}",
               "The pasted text did not fit the table; values not pasted: {0}"},
    MessageRow{Msg::AskSaveCoefficients,
               "Koeficienty souboru rovnic „{0}“ byly změněny a nejsou uloženy. Uložit je?",
               "The coefficients of the set \"{0}\" were changed and are not saved. Save them?"},
    MessageRow{Msg::MissingLandmarks, "Chybějící body: {0}", "Missing landmarks: {0}"},
    MessageRow{Msg::MissingDimensions, "Chybějící rozměry: {0}", "Missing dimensions: {0}"},
    MessageRow{Msg::EquationsLeftOut, "Vynechané rovnice: {0}", "Equations left out: {0}"},
    MessageRow{Msg::BadNumber, "Číslo nelze přečíst", "A number cannot be read"},
    MessageRow{Msg::CommandFailed, "Příkaz se nezdařil", "The command failed"},
};

constexpr bool RowsFollowTheEnum() {
    for (std::size_t i = 0; i < kMessages.size(); ++i)
        if (static_cast<std::size_t>(kMessages[i].id) != i) return false;
    return true;
}
static_assert(RowsFollowTheEnum());

std::string Join(const std::vector<std::string_view>& items) {
    std::string out;
    for (std::string_view item : items) {
        if (!out.empty()) out += ", ";
        out += item;
    }
    return out;
}

// The detail goes inside brackets before the sentence's full stop; its own stop would
// double it.
std::string_view WithoutFinalStop(std::string_view text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string MessageText(Msg id, std::string_view lang, const std::vector<std::string>& args,
                        std::string_view detail) {
    const auto index = static_cast<std::size_t>(id);
    if (index >= kMessages.size()) return std::string(detail);
    const std::string_view pattern = lang == "cz" ? kMessages[index].cz : kMessages[index].en;
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            pattern[i + 1] >= '0' && pattern[i + 1] <= '9') {
            const auto arg = static_cast<std::size_t>(pattern[i + 1] - '0');
            if (arg < args.size()) text += args[arg];
            i += 2;
        } else {
            text += pattern[i];
        }
    }
    detail = WithoutFinalStop(detail);
    if (!detail.empty()) text += " (" + std::string(detail) + ")";
    // A question ends as it is.
    if (!text.empty() && text.back() != '?') text += '.';
    return text;
}

EUserError::EUserError(Msg id, std::vector<std::string> args, std::string detail, int code,
                       std::exception_ptr cause)
    : Error(MessageText(id, "en", args, detail), code, std::move(cause)),
      id_(id),
      args_(std::move(args)),
      detail_(std::move(detail)) {}

std::string Explain(const std::exception& e, std::string_view lang) {
    if (const auto* user = dynamic_cast<const EUserError*>(&e)) return user->Text(lang);
    if (const auto* cell = dynamic_cast<const ECellValueError*>(&e)) return cell->Text(lang);
    if (dynamic_cast<const EIniWriteError*>(&e)) {
        return MessageText(Msg::SettingsNotSaved, lang, {}, e.what());
    }
    if (dynamic_cast<const EConvertError*>(&e)) {
        return MessageText(Msg::BadNumber, lang, {}, e.what());
    }
    return MessageText(Msg::CommandFailed, lang, {}, e.what());
}

std::string Explain(std::exception_ptr e, std::string_view lang) {
    try {
        if (e) std::rethrow_exception(e);
    } catch (const std::exception& error) {
        return Explain(error, lang);
    } catch (...) {
    }
    return MessageText(Msg::CommandFailed, lang);
}

std::string FileNameOf(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::string> GapsSentences(const CalculationGaps& gaps, std::string_view lang) {
    std::vector<std::string> parts;
    std::vector<std::string_view> names;
    if (!gaps.fromMeasurements) {
        for (const LandmarkRow& landmark : kLandmarks) {
            if (gaps.landmarks.test(static_cast<std::size_t>(landmark.row - 1)))
                names.push_back(landmark.abbreviation);
        }
        if (gaps.rightCloud) names.push_back("euryon dx");
        if (gaps.leftCloud) names.push_back("euryon sin");
        if (!names.empty())
            parts.push_back(MessageText(Msg::MissingLandmarks, lang, {Join(names)}));
    } else {
        for (std::size_t d = 0; d < kDimensionRows.size(); ++d) {
            if (gaps.dimensions.test(d))
                names.push_back(lang == "cz" ? kDimensionRows[d].nameCz : kDimensionRows[d].nameEn);
        }
        if (!names.empty())
            parts.push_back(MessageText(Msg::MissingDimensions, lang, {Join(names)}));
    }
    names.clear();
    for (std::size_t k = 0; k < kEquationNumbers.size(); ++k) {
        if (gaps.leftOut.test(k)) names.push_back(kEquationNumbers[k]);
    }
    if (!names.empty()) parts.push_back(MessageText(Msg::EquationsLeftOut, lang, {Join(names)}));
    return parts;
}

std::string GapsLine(const CalculationGaps& gaps, std::string_view lang) {
    std::string line;
    for (const std::string& part : GapsSentences(gaps, lang))
        line += (line.empty() ? "" : " ") + part;
    return line;
}

}  // namespace morvik::core
