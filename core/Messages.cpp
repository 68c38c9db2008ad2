#include "Messages.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

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
    MessageRow{Msg::TextNotNumber,
               "Soubor „{0}“ nelze načíst: řádek {1}, bod {2} ({3}), osa {4}: „{5}“ není číslo",
               "Cannot read \"{0}\": line {1}, landmark {2} ({6}), axis {4}: \"{5}\" is not a "
               "number"},
    MessageRow{Msg::TextNoLandmarks, "Soubor „{0}“ nelze načíst: neobsahuje žádné body",
               "Cannot read \"{0}\": it holds no landmarks"},
    MessageRow{Msg::TextTooManyLines,
               "Soubor „{0}“ nelze načíst: řádek {1}: více řádků než 22 bodů",
               "Cannot read \"{0}\": line {1}: more lines than the 22 landmarks"},
    MessageRow{Msg::CellNotFinite, "Buňka {0} neobsahuje konečné číslo",
               "The cell {0} holds no finite number"},
    MessageRow{Msg::SettingsCreated,
               "Váš soubor nastavení {0} byl vytvořen z ukázkových koeficientů v {1}. Jsou "
               "smyšlené, ne pro skutečné případy: zadejte vlastní a uložte je",
               "Your settings file {0} was created from the demonstration coefficients in {1}. "
               "They are invented, not for casework: enter your own and save them"},
    MessageRow{Msg::SettingsNotCreated, "Soubor nastavení {0} nelze vytvořit: {1}",
               "Could not create the settings file {0}: {1}"},
    MessageRow{Msg::WorkbookTooLarge, "Soubor „{0}“ nelze načíst: je příliš velký na sešit",
               "Cannot read \"{0}\": it is too large to be read as a workbook"},
    MessageRow{Msg::ModelUnusable,
               "Referenční model souboru rovnic „{0}“ nelze použít ({1}); soubor počítá bez něj",
               "The reference model of the set \"{0}\" cannot be used ({1}); the set computes "
               "without it"},
    MessageRow{Msg::EquationInconsistent,
               "Rovnice {1} souboru „{0}“ neodpovídá svému referenčnímu vzorku: {2}",
               "Equation {1} of the set \"{0}\" does not match its reference sample: {2}"},
    MessageRow{Msg::AtypicalDimension, "{0} {1} leží {2} SD {3} — zkontrolujte body {4}",
               "{0} {1} lies {2} SD {3} — check the landmarks {4}"},
    MessageRow{Msg::UnlikeReference, "Lebka se nepodobá referenčnímu vzorku (typičnost {0})",
               "The skull is unlike the reference sample (typicality {0})"},
    MessageRow{Msg::LandmarkFileLine, "Soubor „{0}“ nelze načíst: řádek {1}: {2}",
               "Cannot read \"{0}\": line {1}: {2}"},
    MessageRow{Msg::LandmarkFileFault, "Soubor „{0}“ nelze načíst: {1}",
               "Cannot read \"{0}\": {1}"},
    MessageRow{Msg::LandmarkTooLarge, "Soubor „{0}“ nelze načíst: je příliš velký na soubor bodů",
               "Cannot read \"{0}\": it is too large to be read as a landmark file"},
    MessageRow{Msg::LandmarkDuplicate,
               "Soubor „{0}“ nelze načíst: bod {1} označují dva body souboru, „{2}“ a „{3}“",
               "Cannot read \"{0}\": two of its points, \"{2}\" and \"{3}\", both name "
               "landmark {1}"},
    MessageRow{Msg::LandmarkNoneMatched,
               "Soubor „{0}“ nelze načíst: žádný jeho popisek neoznačuje bod lebky ({1})",
               "Cannot read \"{0}\": none of its labels names a landmark ({1})"},
    MessageRow{Msg::LandmarkNoSpecimen, "Soubor „{0}“ nemá jedince č. {1}; jedinců je v něm {2}",
               "The file \"{0}\" has no specimen {1}; it holds {2}"},
    MessageRow{Msg::LandmarkUnitAssumed,
               "soubor neuvádí jednotku: souřadnice jsou brány v milimetrech",
               "the file states no unit: the coordinates were taken as millimetres"},
    MessageRow{Msg::LandmarkUnitConverted, "souřadnice převedeny z {0} na milimetry",
               "coordinates converted from {0} to millimetres"},
    MessageRow{Msg::LandmarkSystem, "{0}, souřadnicový systém {1}", "{0}, coordinate system {1}"},
    MessageRow{Msg::LandmarkNoSystem, "{0}, souřadnicový systém neuveden",
               "{0}, no coordinate system stated"},
    MessageRow{Msg::LandmarkOrderAssumed,
               "popisky bodů neoznačují body lebky: 22 bodů bylo vzato v pořadí tabulky bodů",
               "the point labels name no landmarks: the 22 points were taken in the order of "
               "the landmark table"},
    MessageRow{Msg::LandmarkUnitSuspect,
               "G–OP měří {0} mm, daleko mimo lidskou lebku (100–300 mm): nejspíš chybná "
               "jednotka",
               "G–OP measures {0} mm, far outside a human skull (100–300 mm): probably a "
               "wrong unit"},
    MessageRow{Msg::TpsNegativeMissing, "body se zápornou souřadnicí byly vzaty jako chybějící",
               "points with a negative coordinate were taken as missing"},
    MessageRow{Msg::LandmarkUnmatched, "popisky, které neoznačují žádný bod: {0}",
               "labels that name no landmark: {0}"},
    MessageRow{Msg::LandmarkPointMissing, "chybí", "missing"},
    MessageRow{Msg::LandmarkNamesBad,
               "Soubor názvů bodů „{0}“ nelze načíst: řádek {1}: „{2}“ není zkratka bodu",
               "Cannot read the landmark names \"{0}\": line {1}: \"{2}\" is no landmark "
               "abbreviation"},
    MessageRow{Msg::LandmarkSpecimen, "jedinec „{0}“ ({1} z {2})", "specimen \"{0}\" ({1} of {2})"},
    MessageRow{Msg::CsvFieldCount,
               "Soubor „{0}“ nelze načíst: řádek {1} má {2} polí, řádek před ním {3} (desetinná "
               "čárka nebo oddělovač tisíců v souboru odděleném čárkami?)",
               "Cannot read \"{0}\": line {1} has {2} fields, the line before it {3} (a decimal "
               "comma or a thousands separator in a file separated by commas?)"},
    MessageRow{Msg::ReportFontMissing,
               "Protokol PDF nelze vytvořit: písmo „{0}“ není nainstalováno (balíček "
               "fonts-dejavu-core)",
               "Cannot make the PDF report: the font \"{0}\" is not installed (package "
               "fonts-dejavu-core)"},
    MessageRow{Msg::ReportFontUnusable,
               "Protokol PDF nelze vytvořit: soubor písma „{0}“ nelze použít",
               "Cannot make the PDF report: the font file \"{0}\" cannot be used"},
    MessageRow{Msg::ReportNotMade, "Protokol PDF nelze vytvořit", "Cannot make the PDF report"},
    MessageRow{Msg::ReportUnavailable,
               "Tato verze programu protokoly PDF nevytváří (nemá fontconfig, jímž hledá písma "
               "DejaVu)",
               "This build makes no PDF reports (it has no fontconfig to find the DejaVu fonts "
               "with)"},
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

// "„abc“ není platné číslo" for the text a conversion refused, when the error kept it.
std::string ConvertText(const EConvertError& e, std::string_view lang) {
    if (lang != "cz" || !e.Quoted()) return e.what();
    return "„" + *e.Quoted() + "“ není platné číslo";
}

// The text of a failure that has words of its own in both languages; none for the others.
std::optional<std::string> OwnText(const std::exception& e, std::string_view lang) {
    if (const auto* user = dynamic_cast<const EUserError*>(&e)) return user->Text(lang);
    if (const auto* system = dynamic_cast<const ESystemError*>(&e)) return system->Text(lang);
    if (const auto* cell = dynamic_cast<const ECellValueError*>(&e)) return cell->Text(lang);
    if (const auto* convert = dynamic_cast<const EConvertError*>(&e))
        return ConvertText(*convert, lang);
    return std::nullopt;
}

}  // namespace

std::string FillPlaceholders(std::string_view pattern, const std::vector<std::string>& args) {
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
    return text;
}

std::string MessageText(Msg id, std::string_view lang, const std::vector<std::string>& args,
                        std::string_view detail) {
    const auto index = static_cast<std::size_t>(id);
    if (index >= kMessages.size()) return std::string(detail);
    std::string text =
        FillPlaceholders(lang == "cz" ? kMessages[index].cz : kMessages[index].en, args);
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

std::string EUserError::Text(std::string_view lang) const {
    // Only a detail that is the cause's own (English) text is replaced by its words in `lang`.
    if (Cause() && !detail_.empty()) {
        try {
            std::rethrow_exception(Cause());
        } catch (const std::exception& cause) {
            if (detail_ == cause.what()) {
                if (auto text = OwnText(cause, lang)) return MessageText(id_, lang, args_, *text);
            }
        } catch (...) {
        }
    }
    return MessageText(id_, lang, args_, detail_);
}

std::string SystemReason(int code, std::string_view lang) {
    if (lang == "cz") {
        switch (code) {
            case EACCES:
                return "Přístup odepřen";
            case EPERM:
                return "Operace není povolena";
            case EROFS:
                return "Systém souborů je jen pro čtení";
            case ENOENT:
                return "Soubor nebo složka neexistuje";
            case ENOTDIR:
                return "Část cesty není složka";
            case EISDIR:
                return "Je to složka";
            case ENOSPC:
                return "Na disku není volné místo";
            case EEXIST:
                return "Soubor už existuje";
            case EMFILE:
            case ENFILE:
                return "Příliš mnoho otevřených souborů";
            case EIO:
                return "Chyba vstupu/výstupu";
            case ENAMETOOLONG:
                return "Název souboru je příliš dlouhý";
            default:
                break;
        }
    }
    return std::strerror(code);
}

namespace {

std::string SystemErrorText(FileAction action, const std::string& path, int code,
                            std::string_view lang) {
    if (lang == "cz") {
        std::string_view verb = "otevřít";
        if (action == FileAction::Read) verb = "přečíst";
        if (action == FileAction::Create) verb = "vytvořit";
        if (action == FileAction::Write) verb = "zapsat";
        return "Soubor „" + path + "“ nelze " + std::string(verb) + ". " + SystemReason(code, lang);
    }
    std::string_view verb = "open";
    if (action == FileAction::Read) verb = "read";
    if (action == FileAction::Create) verb = "create";
    if (action == FileAction::Write) verb = "write";
    return "Cannot " + std::string(verb) + " file \"" + path + "\". " + SystemReason(code, lang);
}

}  // namespace

ESystemError::ESystemError(FileAction action, std::string path, int code)
    : Error(SystemErrorText(action, path, code, "en"), code),
      action_(action),
      path_(std::move(path)) {}

std::string ESystemError::Text(std::string_view lang) const {
    return SystemErrorText(action_, path_, Code(), lang);
}

std::string Explain(const std::exception& e, std::string_view lang) {
    if (const auto* user = dynamic_cast<const EUserError*>(&e)) return user->Text(lang);
    if (const auto* cell = dynamic_cast<const ECellValueError*>(&e)) return cell->Text(lang);
    if (dynamic_cast<const EIniWriteError*>(&e)) {
        return MessageText(Msg::SettingsNotSaved, lang, {}, e.what());
    }
    if (const auto* convert = dynamic_cast<const EConvertError*>(&e)) {
        return MessageText(Msg::BadNumber, lang, {}, ConvertText(*convert, lang));
    }
    if (const auto* system = dynamic_cast<const ESystemError*>(&e)) {
        return MessageText(Msg::CommandFailed, lang, {}, system->Text(lang));
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

std::string VoteSummary(const Workspace& ws) {
    if (!ws.resultCurrent) return {};
    int inUse = 0, male = 0, female = 0, undecided = 0;
    for (bool used : ws.cb) inUse += used ? 1 : 0;
    // The votes as the labels show them, read as the batch reads them.
    for (const LabelState& label : ws.result) {
        switch (VoteOfLabel(label.text)) {
            case 'M':
                ++male;
                break;
            case 'F':
                ++female;
                break;
            case '?':
                ++undecided;
                break;
            default:
                break;
        }
    }
    const std::string voted = std::to_string(male + female + undecided);
    const std::string of = std::to_string(inUse);
    if (ws.lang == "cz") {
        // "z pěti", "z jedné", but "ze sedmi", "ze dvou"...
        const std::string_view from = inUse == 1 || inUse == 5 ? " z " : " ze ";
        return voted + std::string(from) + of + ": muž " + std::to_string(male) + ", žena " +
               std::to_string(female) +
               (undecided > 0 ? ", neurčité " + std::to_string(undecided) : std::string());
    }
    return voted + " of " + of + ": male " + std::to_string(male) + ", female " +
           std::to_string(female) +
           (undecided > 0 ? ", indeterminate " + std::to_string(undecided) : std::string());
}

std::string GapsLine(const CalculationGaps& gaps, std::string_view lang) {
    std::string line;
    for (const std::string& part : GapsSentences(gaps, lang))
        line += (line.empty() ? "" : " ") + part;
    return line;
}

}  // namespace morvik::core
