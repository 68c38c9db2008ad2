// morvik-batch: the window's Calculate over a whole collection, one CSV row per skull.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "compute/Evidence.h"
#include "core/Batch.h"
#include "core/BatchRun.h"
#include "core/Captions.h"
#include "core/CaseReport.h"
#include "core/Fit.h"
#include "core/IniFile.h"
#include "core/LandmarkFileLoader.h"
#include "core/Messages.h"
#include "core/SettingsPath.h"
#include "core/Validation.h"
#include "core/Version.h"
#include "text/Error.h"
#include "text/Platform.h"

namespace {

using namespace morvik;
using namespace morvik::core;

constexpr int kExitOk = 0, kExitSomeErrors = 1, kExitUsage = 2;

#ifdef _WIN32
constexpr int kWritableFolder = 2;  // write, the only mode Windows' access checks
#else
constexpr int kWritableFolder = W_OK | X_OK;
#endif

constexpr const char* kUsage = "Usage: morvik-batch [options] PATH...";

constexpr const char* kHelp =
    "Computes every skull in the files and folders given as the window's Calculate does and\n"
    "writes one CSV row per skull. Folders are searched, with their subfolders, for the file\n"
    "kinds the window loads.\n"
    "\n"
    "  --settings FILE    coefficient sets (default: the window's, Settings.ini beside this\n"
    "                     program, else ~/.config/morvik/Settings.ini)\n"
    "  --set N|NAME       equation set 1-4 or its name: Prague, Lisbon, Coimbra, Universal\n"
    "                     (or Praha, Lisabon, Coimbra, Univerzální; default: the set the\n"
    "                     window starts with)\n"
    "  --use LIST         equations in use by number, e.g. 1,2,5 (default: all seven)\n"
    "  --lang cz|en       language of the reports and messages (default: en)\n"
    "  --all-sheets       one skull per sheet of a workbook (default: the first sheet; a\n"
    "                     workbook whose first sheet holds no landmarks while another\n"
    "                     does is an error row naming them)\n"
    "  --sheet N|NAME     the sheet to compute in every workbook: its number from 1, or\n"
    "                     its name (exactly, else in any letter case)\n"
    "  --landmark-names FILE\n"
    "                     a lab's own landmark labels for landmark files: a two-column CSV,\n"
    "                     label then the window's abbreviation (G, APTdx, ..., EUdx, EUsin)\n"
    "  --tps-negative-missing\n"
    "                     a TPS point with a negative coordinate is a missing landmark\n"
    "  -o, --output FILE  the CSV (default: standard output)\n"
    "  --reports DIR      also write each skull's report, as the window's Export does\n"
    "  --pdf DIR          also write each skull's case report (PDF), named as --reports\n"
    "                     names the text reports\n"
    "  --truth FILE       CSV with columns file,sex (M/F, male/female, muž/žena) and\n"
    "                     optionally sheet; paths as given here or from the table's folder:\n"
    "                     print a validation summary\n"
    "  --summary FILE     with --truth: also write the summary as JSON\n"
    "  -j, --jobs N       worker threads (default: the number of cores)\n"
    "  -q, --quiet        no progress line\n"
    "  --version, -h, --help\n"
    "\n"
    "Exit status: 0 every row ok, 1 some rows are errors, 2 usage or settings error or an\n"
    "output that cannot be written.\n";

// --fit: a set fitted to the collection instead of the table.
constexpr const char* kFitHelp =
    "\n"
    "Fitting a set to a collection of known sex (no CSV; --truth required):\n"
    "  --fit OUT.ini      fit the set's seven equations and its reference model to the\n"
    "                     skulls whose sex the truth table gives, print their leave-one-out\n"
    "                     accuracy beside the set's own, and write the settings with the\n"
    "                     fitted set to OUT.ini (never the settings file read)\n"
    "  --equation K=DIMS  fit equation K on these dimensions (numbers 1-17 as the\n"
    "                     dimensions page has them, e.g. 3=1,3,4,8) instead of those the\n"
    "                     set has coefficients on; may be repeated\n"
    "  --threshold T      posterior threshold of the model (0.5 < T < 1): calls below it\n"
    "                     are indeterminate\n"
    "  --priors PM,PF     prior probabilities of male and female (default 0.5,0.5)\n"
    "  --name TEXT        the reference population, in words, for the model\n"
    "  --summary FILE     also write every figure as JSON\n"
    "Exit status with --fit: 0 written, 1 written but some skulls could not be computed,\n"
    "2 refused (nothing written) or a usage error.\n";

// Messages follow --lang; it is looked for before the rest of the command line is read, so
// that a mistake anywhere in it is told in that language.
bool gCzech = false;

std::string Tr(std::string_view en, std::string_view cz) { return std::string(gCzech ? cz : en); }

void PickLanguage(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "--lang=cz" ||
            (arg == "--lang" && i + 1 < argc && argv[i + 1] == std::string_view("cz")))
            gCzech = true;
    }
}

// A command line or settings the run cannot start with: exit status 2 and the usage line.
class UsageError : public Error {
  public:
    using Error::Error;
};

// A file or folder the run cannot write: exit status 2, without the usage line, since the
// command line was right.
class OutputError : public Error {
  public:
    using Error::Error;
};

// The system's reason for a failed file operation, in the run's language.
std::string Reason(int error) {
    if (gCzech) {
        switch (error) {
            case EACCES:
                return "přístup odepřen";
            case EPERM:
                return "operace není povolena";
            case EROFS:
                return "systém souborů je jen pro čtení";
            case ENOENT:
                return "soubor nebo složka neexistuje";
            case ENOTDIR:
                return "není složka";
            case EISDIR:
                return "je to složka";
            case ENOSPC:
                return "na zařízení není místo";
            case EEXIST:
                return "soubor již existuje";
            default:
                break;
        }
    }
    return std::generic_category().message(error);
}

std::string Reason(const std::error_code& ec) {
    const std::error_condition condition = ec.default_error_condition();
    if (condition.category() == std::generic_category()) return Reason(condition.value());
    return ec.message();
}

// ---- --fit and its options ----------------------------------------------------------------

struct FitOptions {
    std::string out, name;
    bool named = false;
    std::array<std::optional<DimensionSet>, kEquationCount> dimensions;  // by column
    std::optional<double> threshold;
    double priorMale = 0.5, priorFemale = 0.5;
};

struct Options {
    std::string settings;
    BatchSettings batch;
    std::string output, reports, truth, summary;
    std::string pdf;  // folder of the case reports
    int jobs = 0;
    bool quiet = false;
    std::vector<std::string> paths;
    bool useGiven = false;
    FitOptions fit;
};

int ParseNumber(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    std::size_t used = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high)
        throw UsageError(option + Tr(" takes a number from ", " potřebuje číslo od ") +
                         std::to_string(low) + Tr(" to ", " do ") + std::to_string(high) +
                         Tr(", not \"", ", ne „") + text + Tr("\"", "“"));
    return value;
}

std::array<bool, kEquationCount> ParseUse(const std::string& text) {
    std::array<bool, kEquationCount> use{};
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        const int number =
            ParseNumber("--use", text.substr(begin, comma - begin), 1, kEquationCount);
        use[static_cast<std::size_t>(ColumnOfEquation(number) - 1)] = true;
        begin = comma + 1;
    }
    return use;
}

double ParseReal(const std::string& option, const std::string& text) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value))
        throw UsageError(option + Tr(" takes a number, not \"", " potřebuje číslo, ne „") + text +
                         Tr("\"", "“"));
    return value;
}

// Returns false for an option that is not one of --fit's.
bool ParseFitOption(const std::string& arg, const std::function<std::string()>& value,
                    FitOptions& fit) {
    if (arg == "--fit") {
        fit.out = value();
        if (fit.out.empty()) throw UsageError(Tr("--fit needs a file", "--fit potřebuje soubor"));
    } else if (arg == "--name") {
        fit.name = value();
        fit.named = true;
    } else if (arg == "--equation") {
        const std::string text = value();
        const std::size_t eq = text.find('=');
        if (eq == std::string::npos)
            throw UsageError(Tr("--equation takes K=DIMS, e.g. 3=1,2,5,8, not \"",
                                "--equation potřebuje K=ROZMĚRY, např. 3=1,2,5,8, ne „") +
                             text + Tr("\"", "“"));
        const int column =
            ColumnOfEquation(ParseNumber("--equation", text.substr(0, eq), 1, kEquationCount));
        DimensionSet dims;
        std::size_t begin = eq + 1;
        while (begin <= text.size()) {
            const std::size_t comma = std::min(text.find(',', begin), text.size());
            dims.set(static_cast<std::size_t>(
                ParseNumber("--equation", text.substr(begin, comma - begin), 1, kDimensionCount) -
                1));
            begin = comma + 1;
        }
        fit.dimensions[static_cast<std::size_t>(column - 1)] = dims;
    } else if (arg == "--threshold") {
        const double t = ParseReal(arg, value());
        if (!(t > 0.5 && t < 1))
            throw UsageError(Tr("--threshold must lie between 0.5 and 1",
                                "--threshold musí ležet mezi 0,5 a 1"));
        fit.threshold = t;
    } else if (arg == "--priors") {
        const std::string text = value();
        const std::size_t comma = text.find(',');
        if (comma == std::string::npos)
            throw UsageError(Tr("--priors takes PM,PF, e.g. 0.5,0.5",
                                "--priors potřebuje PM,PF, např. 0.5,0.5"));
        fit.priorMale = ParseReal(arg, text.substr(0, comma));
        fit.priorFemale = ParseReal(arg, text.substr(comma + 1));
        if (!(fit.priorMale > 0) || !(fit.priorFemale > 0))
            throw UsageError(Tr("--priors must both be positive", "--priors musí být obě kladné"));
    } else {
        return false;
    }
    return true;
}

// ---- end of --fit ---------------------------------------------------------------------------

// Returns nullopt when the run is over already (--help, --version).
std::optional<Options> ParseArguments(int argc, char** argv) {
    Options options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--")) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg.resize(eq);
            }
        } else if (arg.size() > 2 && (arg[1] == 'j' || arg[1] == 'o')) {
            inlineValue = arg.substr(2);  // -j2, -oFILE
            arg.resize(2);
        }
        const auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= argc) throw UsageError(arg + Tr(" needs a value", " potřebuje hodnotu"));
            return argv[++i];
        };
        const auto flag = [&] {
            if (inlineValue) throw UsageError(arg + Tr(" takes no value", " nemá hodnotu"));
        };
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage << "\n" << kHelp << kFitHelp;
            return std::nullopt;
        } else if (arg == "--version") {
            std::cout << "morvik-batch " << kVersion << "\n";
            return std::nullopt;
        } else if (arg == "--settings") {
            options.settings = value();
        } else if (arg == "--set") {
            const std::string set = value();
            if (!set.empty() && set.find_first_not_of("0123456789") == std::string::npos) {
                options.batch.set = ParseNumber(arg, set, 1, 4) - 1;
            } else {
                options.batch.set = FindSetByName(set);
                if (!options.batch.set)
                    throw UsageError(
                        Tr("--set takes a number from 1 to 4 or a set's name (Prague, Lisbon, "
                           "Coimbra, Universal), not \"",
                           "--set potřebuje číslo od 1 do 4 nebo název sady (Praha, Lisabon, "
                           "Coimbra, Univerzální), ne „") +
                        set + Tr("\"", "“"));
            }
        } else if (arg == "--use") {
            options.batch.use = ParseUse(value());
            options.useGiven = true;
        } else if (arg == "--lang") {
            options.batch.lang = value();
            if (FindCaptionSet(options.batch.lang) == nullptr)
                throw UsageError(Tr("--lang takes cz or en, not \"", "--lang je cz nebo en, ne „") +
                                 options.batch.lang + Tr("\"", "“"));
        } else if (arg == "--all-sheets") {
            flag();
            options.batch.allSheets = true;
        } else if (arg == "--sheet") {
            options.batch.sheet = value();
            if (options.batch.sheet.empty() ||
                options.batch.sheet.find_first_not_of('0') == std::string::npos)
                throw UsageError(Tr("--sheet takes a sheet's number from 1 or its name, not \"",
                                    "--sheet potřebuje číslo listu od 1 nebo jeho název, ne „") +
                                 options.batch.sheet + Tr("\"", "“"));
        } else if (arg == "--landmark-names") {
            const std::string file = value();
            try {
                options.batch.landmarkNames =
                    std::make_shared<const LandmarkNameTable>(ReadLandmarkNames(file));
            } catch (const std::exception& e) {
                throw UsageError(e.what());
            }
        } else if (arg == "--tps-negative-missing") {
            flag();
            options.batch.tpsNegativeIsMissing = true;
        } else if (arg == "-o" || arg == "--output") {
            options.output = value();
        } else if (arg == "--reports") {
            options.reports = value();
        } else if (arg == "--pdf") {
            options.pdf = value();
        } else if (arg == "--truth") {
            options.truth = value();
        } else if (arg == "--summary") {
            options.summary = value();
        } else if (arg == "-j" || arg == "--jobs") {
            options.jobs = ParseNumber(arg, value(), 1, 1024);
        } else if (arg == "-q" || arg == "--quiet") {
            flag();
            options.quiet = true;
        } else if (ParseFitOption(arg, value, options.fit)) {
        } else {
            throw UsageError(Tr("unknown option ", "neznámá volba ") + arg);
        }
    }
    if (options.paths.empty())
        throw UsageError(Tr("no file or folder given", "není zadán žádný soubor ani složka"));
    if (!options.batch.sheet.empty() && options.batch.allSheets)
        throw UsageError(Tr("--sheet and --all-sheets exclude each other",
                            "--sheet a --all-sheets se navzájem vylučují"));
    if (!options.summary.empty() && options.truth.empty())
        throw UsageError(Tr("--summary needs --truth", "--summary potřebuje --truth"));
    if (!options.fit.out.empty()) {
        if (options.truth.empty())
            throw UsageError(Tr("--fit needs --truth", "--fit potřebuje --truth"));
        if (options.useGiven || !options.output.empty() || !options.reports.empty())
            throw UsageError(Tr("--fit writes no table: --use, --output and --reports do not apply",
                                "--fit nepíše tabulku: --use, --output a --reports se nepoužijí"));
    } else if (options.fit.named || options.fit.threshold ||
               std::any_of(options.fit.dimensions.begin(), options.fit.dimensions.end(),
                           [](const auto& d) { return d.has_value(); }) ||
               options.fit.priorMale != 0.5 || options.fit.priorFemale != 0.5) {
        throw UsageError(Tr("--name, --equation, --threshold and --priors need --fit",
                            "--name, --equation, --threshold a --priors potřebují --fit"));
    }
    options.batch.reports = !options.reports.empty();
    options.batch.pdf = !options.pdf.empty();
    if (options.jobs == 0)
        options.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return options;
}

// "done/total  N files/s  M:SS left" on one line of the terminal, redrawn at most ten times a
// second and only once the run has lasted half a second.
class ProgressLine {
  public:
    ProgressLine(bool enabled, std::size_t total) : enabled_(enabled), total_(total) {}
    ~ProgressLine() { Clear(); }

    void Update(std::size_t done) {
        if (!enabled_) return;
        const auto now = Clock::now();
        if (now - start_ < std::chrono::milliseconds(500) ||
            now - lastDraw_ < std::chrono::milliseconds(100))
            return;
        lastDraw_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double rate = done / seconds;
        char line[160];
        if (done > 0) {
            const long left = static_cast<long>((total_ - done) / rate + 0.5);
            std::snprintf(line, sizeof line, "\r\x1b[K%zu/%zu files  %.0f files/s  %ld:%02ld left",
                          done, total_, rate, left / 60, left % 60);
        } else {
            std::snprintf(line, sizeof line, "\r\x1b[K0/%zu files", total_);
        }
        std::fputs(line, stderr);
        std::fflush(stderr);
        shown_ = true;
    }

    void Clear() {
        if (!shown_) return;
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }

  private:
    using Clock = std::chrono::steady_clock;
    bool enabled_;
    std::size_t total_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDraw_{};
    bool shown_ = false;
};

// ---- the run with --fit: the fitted set's table on standard output, the rest on the error
// stream ----------------------------------------------------------------------------------------
int RunFitMode(const Options& options) {
    FitCommand command;
    command.settingsPath = options.settings;
    command.outPath = options.fit.out;
    command.truthPath = options.truth;
    command.summaryPath = options.summary;
    command.batch = options.batch;
    if (options.fit.named) command.name = options.fit.name;
    command.dimensions = options.fit.dimensions;
    command.threshold = options.fit.threshold;
    command.priorMale = options.fit.priorMale;
    command.priorFemale = options.fit.priorFemale;
    command.jobs = options.jobs;
    command.paths = options.paths;
    std::string table, log;
    const int status = RunFit(command, &table, &log);
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
    for (std::size_t begin = 0; begin < log.size();) {
        const std::size_t end = log.find('\n', begin);
        std::cerr << "morvik-batch: " << log.substr(begin, end - begin) << "\n";
        begin = end == std::string::npos ? log.size() : end + 1;
    }
    return status;
}

int Run(const Options& options) {
    if (!options.fit.out.empty()) return RunFitMode(options);
    const std::string settingsPath =
        options.settings.empty() ? DefaultSettingsPath() : options.settings;
    {
        std::error_code ec;
        std::ifstream probe(settingsPath, std::ios::binary);
        if (!std::filesystem::is_regular_file(settingsPath, ec) || !probe)
            throw UsageError(Tr("cannot read the settings file \"", "soubor nastavení „") +
                             settingsPath + Tr("\"", "“ nelze přečíst"));
    }
    const IniFile ini(settingsPath);
    Workspace start;
    std::vector<std::string> modelNotices;
    try {
        start = StartWorkspace(ini, options.batch, &modelNotices);
        CheckCoefficients(start);
    } catch (...) {
        throw UsageError(Tr("the settings file \"", "soubor nastavení „") + settingsPath +
                         Tr("\" cannot be used: ", "“ nelze použít: ") +
                         Explain(std::current_exception(), options.batch.lang));
    }

    // Said once, before the rows: the set's model could not be used, or an equation does
    // not match its reference sample.
    for (const std::string& notice : modelNotices) std::cerr << "morvik-batch: " << notice << "\n";
    std::optional<ValidationSummary> summary;
    if (!options.truth.empty()) {
        try {
            summary.emplace(TruthTable::Read(options.truth), options.batch);
        } catch (const std::exception& e) {
            throw UsageError(e.what());
        }
        summary->SetThreshold(start.model && start.model->threshold);
    }
    for (const std::string* folder : {&options.reports, &options.pdf}) {
        if (folder->empty()) continue;
        // Found now rather than as an error row for every skull.
        std::error_code ec;
        std::filesystem::create_directories(*folder, ec);
        if (!ec && !std::filesystem::is_directory(*folder, ec) && !ec)
            ec = std::make_error_code(std::errc::not_a_directory);
        if (!ec && ::access(folder->c_str(), kWritableFolder) != 0)
            ec = std::error_code(errno, std::generic_category());
        if (ec)
            throw OutputError(
                Tr("cannot write into the reports folder \"", "do složky výsledků „") + *folder +
                Tr("\": ", "“ nelze zapisovat: ") + Reason(ec));
    }
    if (options.batch.pdf) {
        try {
            RequireCaseReportFonts();
        } catch (const EUserError& e) {
            throw OutputError(e.Text(gCzech ? "cz" : "en"));
        }
    }
    // The case reports name the settings file by its full path.
    BatchSettings batch = options.batch;
    if (batch.pdf) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(settingsPath, ec);
        batch.settingsPath = ec ? settingsPath : absolute.lexically_normal().string();
    }

    std::FILE* out = stdout;
    if (!options.output.empty()) {
        out = std::fopen(options.output.c_str(), "wb");
        if (out == nullptr)
            throw OutputError(Tr("cannot create \"", "soubor „") + options.output +
                              Tr("\": ", "“ nelze vytvořit: ") + Reason(errno));
    }
    const auto write = [&](const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), out) != text.size())
            throw OutputError(Tr("cannot write the table: ", "tabulku nelze zapsat: ") +
                              Reason(errno));
    };

    std::vector<BatchInput> inputs = CollectInputs(options.paths);
    // The run's own files are never its input, whatever the loader table comes to accept.
    std::erase_if(inputs, [&](const BatchInput& input) {
        for (const std::string& own : {options.output, options.truth, options.summary}) {
            std::error_code ec;
            if (!own.empty() && std::filesystem::equivalent(input.path, own, ec)) return true;
        }
        return false;
    });
    // Rows on the terminal would be torn by the progress line; they show the progress there.
    const bool terminal = isatty(STDERR_FILENO) && (out != stdout || !isatty(STDOUT_FILENO));
    ProgressLine progress(terminal && !options.quiet, inputs.size());
    bool anyError = false;
    write(BatchCsvHeader());
    RunBatch(
        inputs, start, batch,
        {.jobs = options.jobs, .reportsDir = options.reports, .pdfDir = options.pdf},
        [&](const BatchInput& input, std::vector<SkullResult>& skulls) {
            write(BatchCsvRecords(input, skulls, options.batch));
            for (const SkullResult& skull : skulls) {
                anyError |= !skull.ok;
                if (summary) summary->Add(input, skull);
            }
        },
        [&](std::size_t done) { progress.Update(done); });
    progress.Clear();
    if (std::fflush(out) != 0 || (out != stdout && std::fclose(out) != 0))
        throw OutputError(Tr("cannot write the table: ", "tabulku nelze zapsat: ") + Reason(errno));

    if (summary) {
        std::fputs(summary->Text(options.batch.lang).c_str(), stderr);
        if (!options.summary.empty()) {
            const std::string json = summary->Json();
            std::FILE* file = std::fopen(options.summary.c_str(), "wb");
            int error = file == nullptr ? errno : 0;
            if (file != nullptr) {
                errno = 0;
                if (std::fwrite(json.data(), 1, json.size(), file) != json.size())
                    error = errno ? errno : EIO;
                if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
            }
            if (error != 0)
                throw OutputError(Tr("cannot write the summary \"", "souhrn „") + options.summary +
                                  Tr("\": ", "“ nelze zapsat: ") + Reason(error));
        }
    }
    return anyError ? kExitSomeErrors : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    // Every file's workbook model is built and freed in turn. Kept in the heap rather than
    // handed back to the system, the same pages serve the next file without faulting in anew.
    morvik::platform::KeepFreedMemoryForReuse();
    PickLanguage(argc, argv);
    try {
        const std::optional<Options> options = ParseArguments(argc, argv);
        if (!options) return kExitOk;
        return Run(*options);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "morvik-batch: %s\n%s\n", e.what(), kUsage);
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "morvik-batch: %s\n", e.what());
        return kExitUsage;
    }
}
