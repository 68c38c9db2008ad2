#include "Fit.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>

#include "BatchRun.h"
#include "Captions.h"
#include "Csv.h"
#include "EquationSets.h"
#include "ReferenceModelFile.h"
#include "SettingsPath.h"
#include "Validation.h"
#include "compute/Compute.h"
#include "core/Version.h"
#include "text/Error.h"
#include "text/Platform.h"

namespace morvik::core {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string DimensionNumbers(DimensionSet dims) {
    std::string out;
    for (int j = 0; j < kDimensionCount; ++j)
        if (dims.test(static_cast<std::size_t>(j)))
            out += (out.empty() ? "" : ",") + std::to_string(j + 1);
    return out;
}

std::string Percent(double ratio, std::string_view lang) {
    if (!std::isfinite(ratio)) return "-";
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%.1f", ratio * 100);
    std::string text = buffer;
    if (lang == "cz")
        for (char& c : text)
            if (c == '.') c = ',';
    return text;
}

std::string JsonNumber(double value) { return std::isfinite(value) ? CsvNumber(value) : "null"; }

std::size_t Width(const std::string& text) {
    std::size_t chars = 0;
    for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return chars;
}

std::string Padded(const std::string& text, std::size_t width, bool left) {
    const std::size_t chars = Width(text);
    if (chars >= width) return text;
    const std::string pad(width - chars, ' ');
    return left ? text + pad : pad + text;
}

std::string Table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += (c ? "  " : "") + Padded(row[c], widths[c], c == 0);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

// Two skulls are one when every dimension is measured on both or neither, to the same value.
std::string DimensionKey(const DimensionValues& x) {
    std::string key;
    for (const auto& v : x) {
        key += v ? 'v' : '-';
        if (v) key.append(reinterpret_cast<const char*>(&*v), sizeof(double));
    }
    return key;
}

DimensionSet Missing(const DimensionValues& x, DimensionSet among) {
    DimensionSet missing;
    for (int j = 0; j < kDimensionCount; ++j) {
        const auto& v = x[static_cast<std::size_t>(j)];
        if (among.test(static_cast<std::size_t>(j)) && !(v && std::isfinite(*v)))
            missing.set(static_cast<std::size_t>(j));
    }
    return missing;
}

char VerdictCall(Verdict verdict) {
    return verdict == Verdict::Male ? 'M' : verdict == Verdict::Female ? 'F' : '?';
}

std::vector<std::string> FiguresRow(const ClassifierFigures& f, std::string_view lang) {
    return {Percent(f.Accuracy(0), lang), Percent(f.Accuracy(1), lang), Percent(f.Overall(), lang),
            Percent(f.Bias(), lang), Percent(f.UndecidedShare(), lang)};
}

std::string FiguresJson(const ClassifierFigures& f) {
    return "{\"n_male\": " + std::to_string(f.n[0]) + ", \"n_female\": " + std::to_string(f.n[1]) +
           ", \"correct_male\": " + std::to_string(f.correct[0]) +
           ", \"correct_female\": " + std::to_string(f.correct[1]) +
           ", \"undecided_male\": " + std::to_string(f.undecided[0]) +
           ", \"undecided_female\": " + std::to_string(f.undecided[1]) +
           ", \"accuracy_male\": " + JsonNumber(f.Accuracy(0)) +
           ", \"accuracy_female\": " + JsonNumber(f.Accuracy(1)) +
           ", \"accuracy\": " + JsonNumber(f.Overall()) +
           ", \"sex_bias\": " + JsonNumber(f.Bias()) +
           ", \"undecided_share\": " + JsonNumber(f.UndecidedShare()) + "}";
}

std::string ProblemText(const FitProblem& p, std::string_view lang) {
    switch (p.code) {
        case FitProblem::None:
            return {};
        case FitProblem::TooFewSkulls:
            return Tr(lang, "příliš málo lebek: ", "too few skulls: ") + std::to_string(p.nMale) +
                   Tr(lang, " mužských a ", " male and ") + std::to_string(p.nFemale) +
                   Tr(lang, " ženských, každé pohlaví jich potřebuje víc, než má ",
                      " female, each sex needs more than its ") +
                   Tr(lang, "rozměrů", "dimensions");
        case FitProblem::Constant:
            return Tr(lang, "v celé sbírce se nemění rozměr ",
                      "no variation across the collection in ") +
                   DimensionNamesIn(p.dimensions, lang);
        case FitProblem::Collinear: {
            char kappa[32];
            std::snprintf(kappa, sizeof kappa, "%.3g", p.condition);
            return Tr(lang, "rozměry ", "the dimensions ") + DimensionNamesIn(p.dimensions, lang) +
                   Tr(lang, " jsou kolineární (číslo podmíněnosti jejich korelací ",
                      " are collinear (condition number of their correlations ") +
                   kappa +
                   Tr(lang, ", nad 1e6): jeden vynechte volbou --equation",
                      ", above 1e6): leave one out with --equation");
        }
    }
    return {};
}

// "2026-12-07", UTC.
std::string Today() {
    const auto days = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
    const std::chrono::year_month_day ymd{days};
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
    return buffer;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const auto ca = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto cb = std::filesystem::weakly_canonical(b, ec);
    return !ec && ca == cb;
}

}  // namespace

std::array<DimensionSet, kEquationCount> SetDimensions(const Workspace& ws) {
    std::array<DimensionSet, kEquationCount> dims;
    for (int k = 1; k <= kEquationCount; ++k) {
        for (int r = 1; r <= kDimensionCount; ++r) {
            const std::string& cell = ws.sg.Cell(k, r);
            if (cell.empty()) continue;
            try {
                if (ParseDecimal(cell) == 0) continue;
            } catch (const EConvertError&) {
            }
            dims[static_cast<std::size_t>(k - 1)].set(static_cast<std::size_t>(r - 1));
        }
    }
    return dims;
}

FitReport FitCollection(const FitCommand& command, const IniFile& ini) {
    FitReport report;
    report.set = command.batch.set.value_or(kUniversalSet);
    for (const std::string& path : command.paths)
        report.paths += (report.paths.empty() ? "" : ", ") + path;

    const Workspace start = StartWorkspace(ini, command.batch);
    CheckCoefficients(start);
    TruthTable truth = TruthTable::Read(command.truthPath);

    FitSettings settings;
    settings.equations = SetDimensions(start);
    for (std::size_t k = 0; k < kEquationCount; ++k)
        if (command.dimensions[k]) settings.equations[k] = *command.dimensions[k];
    settings.priorMale = command.priorMale;
    settings.priorFemale = command.priorFemale;
    settings.threshold = command.threshold;

    std::vector<BatchInput> inputs = CollectInputs(command.paths);
    std::erase_if(inputs, [&](const BatchInput& input) {
        for (const std::string& own : {command.outPath, command.truthPath, command.summaryPath})
            if (!own.empty() && SameFile(input.path, own)) return true;
        return false;
    });
    std::map<std::string, std::size_t> seen;
    RunBatch(
        inputs, start, command.batch,
        {.jobs = std::max(1, command.jobs), .reportsDir = {}, .pdfDir = {}},
        [&](const BatchInput& input, std::vector<SkullResult>& results) {
            for (const SkullResult& result : results) {
                const std::string name =
                    result.sheet.empty() ? input.path : input.path + " [" + result.sheet + "]";
                if (!result.ok) {
                    report.failed.push_back(name + ": " + result.message);
                    continue;
                }
                ++report.computed;
                const char sex = truth.Find(input, result.sheet);
                if (sex == 0) {
                    report.withoutTruth.push_back(name);
                    continue;
                }
                FitSkull skull;
                skull.name = name;
                skull.sample.x = result.dimensions;
                skull.sample.sex = sex;
                for (std::size_t e = 0; e < kEquationCount; ++e) skull.votes[e] = result.votes[e];
                skull.verdict = result.verdict;
                const auto [at, fresh] =
                    seen.emplace(DimensionKey(skull.sample.x), report.skulls.size());
                if (!fresh) {
                    FitSkull& first = report.skulls[at->second];
                    if (first.sample.sex != sex && first.sample.sex != 0) {
                        report.conflicting.push_back(name + " = " + first.name);
                        first.sample.sex = 0;  // left out: which of the two is right?
                    } else if (first.sample.sex == 0) {
                        report.conflicting.push_back(name + " = " + first.name);
                    } else {
                        report.duplicates.push_back(name + " = " + first.name);
                    }
                    continue;
                }
                report.skulls.push_back(std::move(skull));
            }
        },
        [](std::size_t) {});
    report.unmatchedTruth = truth.Unmatched();
    std::erase_if(report.skulls, [](const FitSkull& s) { return s.sample.sex == 0; });

    std::vector<FitSample> samples;
    samples.reserve(report.skulls.size());
    for (const FitSkull& skull : report.skulls) samples.push_back(skull.sample);
    report.fit = Fit(samples, settings);

    for (const FitSkull& skull : report.skulls) {
        for (int k = 1; k <= kEquationCount; ++k) {
            const char vote = skull.votes[static_cast<std::size_t>(EquationOfColumn(k) - 1)];
            if (vote != 0)
                report.current[static_cast<std::size_t>(k - 1)].Add(skull.sample.sex, vote);
        }
        report.currentVerdict.Add(skull.sample.sex, VerdictCall(skull.verdict));
    }
    return report;
}

std::vector<std::string> FitProblems(const FitReport& report, std::string_view lang) {
    std::vector<std::string> lines;
    const FitResult& fit = report.fit;
    if (fit.modelDimensions.none())
        lines.push_back(Tr(lang,
                           "sada nemá žádnou rovnici k přizpůsobení: zadejte její rozměry volbou "
                           "--equation",
                           "the set has no equation to fit: give its dimensions with --equation"));
    for (int number = 1; number <= kEquationCount; ++number) {
        const FittedEquation& eq =
            fit.equations[static_cast<std::size_t>(ColumnOfEquation(number) - 1)];
        if (eq.dimensions.any() && eq.problem.code != FitProblem::None)
            lines.push_back(Tr(lang, "rovnice ", "equation ") + std::to_string(number) + " (" +
                            DimensionNamesIn(eq.dimensions, lang) +
                            "): " + ProblemText(eq.problem, lang));
    }
    if (fit.modelDimensions.any() && fit.modelProblem.code != FitProblem::None)
        lines.push_back(Tr(lang, "referenční model (lebky úplné ve ",
                           "reference model (the skulls complete on ") +
                        DimensionNamesIn(fit.modelDimensions, lang) +
                        "): " + ProblemText(fit.modelProblem, lang));
    return lines;
}

std::string FitText(const FitReport& report, std::string_view lang) {
    const FitResult& fit = report.fit;
    int males = 0;
    for (const FitSkull& s : report.skulls) males += s.sample.sex == 'M';
    const int females = static_cast<int>(report.skulls.size()) - males;
    std::string out = Tr(lang, "Přizpůsobení sady ", "Fit of the set ") +
                      SetNameIn(report.set, lang) + ": " + std::to_string(report.skulls.size()) +
                      Tr(lang, " lebek známého pohlaví (", " skulls of known sex (") +
                      std::to_string(males) + Tr(lang, " mužských, ", " male, ") +
                      std::to_string(females) + Tr(lang, " ženských) z ", " female) of ") +
                      std::to_string(report.computed) + Tr(lang, " spočítaných\n", " computed\n");
    if (fit.model)
        out += Tr(lang, "Referenční model: ", "Reference model: ") +
               std::to_string(static_cast<int>(fit.model->nMale + fit.model->nFemale)) +
               Tr(lang, " lebek úplných ve ", " skulls complete on ") +
               std::to_string(fit.modelDimensions.count()) +
               Tr(lang, " rozměrech\n", " dimensions\n");

    // The leave-one-out figures of the fitted equations, then the set's own on the same
    // skulls: these were not fitted on the collection, so they need no cross-validation.
    out += Tr(lang,
              "V %, vlevo od | každá lebka určená rovnicemi přizpůsobenými bez ní, vpravo od | "
              "sadou, jak je:\n",
              "In %, left of | each skull classified by the equations fitted without it, right "
              "of | by the set as it stands:\n");
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::string> figures{
        Tr(lang, "přesn. M", "acc M"), Tr(lang, "přesn. F", "acc F"), Tr(lang, "celkem", "overall"),
        Tr(lang, "rozdíl M−F", "bias"), Tr(lang, "nerozh.", "undecided")};
    std::vector<std::string> header{Tr(lang, "rovnice", "equation"),
                                    Tr(lang, "rozměry", "dimensions"), "n M", "n F", "Δ"};
    for (const std::string& f : figures) header.push_back(f);
    header.push_back("|");
    for (const std::string& f : figures) header.push_back(f);
    rows.push_back(header);
    for (int number = 1; number <= kEquationCount; ++number) {
        const std::size_t k = static_cast<std::size_t>(ColumnOfEquation(number) - 1);
        const FittedEquation& eq = fit.equations[k];
        if (eq.dimensions.none()) continue;
        std::string distance = "-";
        if (eq.problem.code == FitProblem::None) {
            char buffer[24];
            std::snprintf(buffer, sizeof buffer, "%.2f", eq.distance);
            distance = buffer;
            if (lang == "cz") distance = FirstPointToComma(distance);
        }
        std::vector<std::string> row{std::to_string(number), DimensionNumbers(eq.dimensions),
                                     std::to_string(eq.nMale), std::to_string(eq.nFemale),
                                     distance};
        for (const std::string& f : FiguresRow(eq.loo, lang)) row.push_back(f);
        row.push_back("|");
        for (const std::string& f : FiguresRow(report.current[k], lang)) row.push_back(f);
        rows.push_back(row);
    }
    std::vector<std::string> verdict{Tr(lang, "verdikt", "verdict"), "", "", "", ""};
    for (const std::string& f : FiguresRow(fit.looVerdictFigures, lang)) verdict.push_back(f);
    verdict.push_back("|");
    for (const std::string& f : FiguresRow(report.currentVerdict, lang)) verdict.push_back(f);
    rows.push_back(verdict);
    out += Table(rows);
    out += Tr(lang,
              "Přesnost mezi lebkami, jimž bylo určeno pohlaví; rozdíl = přesnost u mužů − u žen; "
              "nerozh. = neurčité (pod prahem) nebo nerozhodné. Rozměry číslované jako na "
              "stránce rozměrů.\n",
              "Accuracy among the skulls given a sex; bias = male − female accuracy; undecided = "
              "indeterminate (below the threshold) or a tie. Dimensions by their number on the "
              "dimensions page.\n");

    const auto list = [&](std::string_view en, std::string_view cz,
                          const std::vector<std::string>& items) {
        if (items.empty()) return;
        out += Tr(lang, cz, en) + " (" + std::to_string(items.size()) + "):\n";
        for (const std::string& item : items) out += "  " + item + "\n";
    };
    std::vector<std::string> excluded;
    for (const FitSkull& skull : report.skulls) {
        const DimensionSet missing = Missing(skull.sample.x, fit.modelDimensions);
        if (missing.none()) continue;
        std::string parts;
        for (int number = 1; number <= kEquationCount; ++number) {
            const FittedEquation& eq =
                fit.equations[static_cast<std::size_t>(ColumnOfEquation(number) - 1)];
            if ((eq.dimensions & missing).any())
                parts += (parts.empty() ? "" : ", ") + std::to_string(number);
        }
        excluded.push_back(skull.name + ": " + Tr(lang, "chybí ", "missing ") +
                           DimensionNamesIn(missing, lang) +
                           Tr(lang, "; vynechána z rovnic ", "; left out of equations ") + parts +
                           Tr(lang, " a z modelu", " and the model"));
    }
    list("Skulls left out for missing dimensions", "Lebky vynechané pro chybějící rozměry",
         excluded);
    list("Duplicated skulls, counted once", "Zdvojené lebky, počítané jednou", report.duplicates);
    list("Duplicated skulls of different sex, left out",
         "Zdvojené lebky různého pohlaví, vynechané", report.conflicting);
    list("Truth entries naming no skull found", "Záznamy pohlaví bez nalezené lebky",
         report.unmatchedTruth);
    list("Skulls without a truth entry", "Lebky bez zadaného pohlaví", report.withoutTruth);
    list("Skulls that could not be computed", "Lebky, které nešlo spočítat", report.failed);
    return out;
}

std::string FitJson(const FitReport& report) {
    const FitResult& fit = report.fit;
    std::string out = "{\n  \"set\": " + JsonString(SetNameIn(report.set, "en")) +
                      ",\n  \"paths\": " + JsonString(report.paths) +
                      ",\n  \"computed\": " + std::to_string(report.computed) +
                      ",\n  \"skulls\": " + std::to_string(report.skulls.size()) +
                      ",\n  \"fitted\": " + (fit.Ok() ? "true" : "false") +
                      ",\n  \"problems\": " + JsonList(FitProblems(report, "en"));
    out += ",\n  \"model\": {\"dimensions\": [";
    bool first = true;
    for (int j = 0; j < kDimensionCount; ++j)
        if (fit.modelDimensions.test(static_cast<std::size_t>(j))) {
            out += (first ? "" : ", ") + std::to_string(j + 1);
            first = false;
        }
    out += "], \"n_male\": " + std::to_string(fit.modelProblem.nMale) +
           ", \"n_female\": " + std::to_string(fit.modelProblem.nFemale) +
           ", \"prior_male\": " + JsonNumber(fit.model ? fit.model->priorMale : kNaN) +
           ", \"prior_female\": " + JsonNumber(fit.model ? fit.model->priorFemale : kNaN) +
           ", \"threshold\": " +
           JsonNumber(fit.model && fit.model->threshold ? *fit.model->threshold : kNaN) + "}";
    out += ",\n  \"equations\": [\n";
    first = true;
    for (int number = 1; number <= kEquationCount; ++number) {
        const std::size_t k = static_cast<std::size_t>(ColumnOfEquation(number) - 1);
        const FittedEquation& eq = fit.equations[k];
        if (eq.dimensions.none()) continue;
        const bool ok = eq.problem.code == FitProblem::None;
        out += std::string(first ? "" : ",\n") + "    {\"equation\": " + std::to_string(number) +
               ", \"column\": " + std::to_string(k + 1) + ", \"dimensions\": [" +
               DimensionNumbers(eq.dimensions) + "], \"n_male\": " + std::to_string(eq.nMale) +
               ", \"n_female\": " + std::to_string(eq.nFemale) +
               ", \"problem\": " + (ok ? "null" : JsonString(ProblemText(eq.problem, "en")));
        if (ok) {
            out += ", \"coefficients\": {";
            bool firstC = true;
            for (int j = 0; j < kDimensionCount; ++j)
                if (eq.dimensions.test(static_cast<std::size_t>(j))) {
                    out += (firstC ? "" : ", ") + JsonString(std::to_string(j + 1)) + ": " +
                           JsonNumber(eq.equation.c[static_cast<std::size_t>(j)]);
                    firstC = false;
                }
            out += "}, \"constant\": " + JsonNumber(eq.equation.k) +
                   ", \"mahalanobis_distance\": " + JsonNumber(eq.distance) +
                   ", \"leave_one_out\": " + FiguresJson(eq.loo);
        }
        out += ", \"as_it_stands\": " + FiguresJson(report.current[k]) + "}";
        first = false;
    }
    out += "\n  ],\n  \"verdict\": {\"leave_one_out\": " + FiguresJson(fit.looVerdictFigures) +
           ", \"as_it_stands\": " + FiguresJson(report.currentVerdict) + "}";
    out += ",\n  \"excluded\": [";
    first = true;
    for (const FitSkull& skull : report.skulls) {
        const DimensionSet missing = Missing(skull.sample.x, fit.modelDimensions);
        if (missing.none()) continue;
        out += std::string(first ? "\n" : ",\n") + "    {\"skull\": " + JsonString(skull.name) +
               ", \"missing\": [" + DimensionNumbers(missing) + "], \"equations\": [";
        std::string numbers;
        for (int number = 1; number <= kEquationCount; ++number)
            if ((fit.equations[static_cast<std::size_t>(ColumnOfEquation(number) - 1)].dimensions &
                 missing)
                    .any())
                numbers += (numbers.empty() ? "" : ", ") + std::to_string(number);
        out += numbers + "]}";
        first = false;
    }
    out += std::string(first ? "" : "\n  ") + "]";
    out += ",\n  \"duplicates\": " + JsonList(report.duplicates) +
           ",\n  \"conflicting_duplicates\": " + JsonList(report.conflicting) +
           ",\n  \"unmatched_truth\": " + JsonList(report.unmatchedTruth) +
           ",\n  \"without_truth\": " + JsonList(report.withoutTruth) +
           ",\n  \"failed\": " + JsonList(report.failed) + "\n}\n";
    return out;
}

void PutFit(IniFile& ini, const FitReport& report, const FitCommand& command,
            std::string_view date) {
    const std::string section(SetSection(report.set));
    for (std::size_t k = 0; k < kEquationCount; ++k) {
        const FittedEquation& eq = report.fit.equations[k];
        if (eq.dimensions.none()) continue;
        const int column = static_cast<int>(k) + 1;
        for (int r = 1; r <= kDimensionCount; ++r) {
            const double c = eq.equation.c[static_cast<std::size_t>(r - 1)];
            ini.SetString(section, SgKey(column, r), c != 0 ? FirstPointToComma(CsvNumber(c)) : "");
        }
        ini.SetString(section, SgKey(column, kConstantRow),
                      FirstPointToComma(CsvNumber(eq.equation.k)));
    }
    ReferenceModel model = *report.fit.model;
    const int n = static_cast<int>(model.nMale + model.nFemale);
    model.population = command.name ? *command.name : "the skulls of " + report.paths;
    model.source = "fitted by morvik-batch " + std::string(kVersion) + " from " +
                   std::to_string(n) + " skulls of " + report.paths + " on " + std::string(date);
    WriteReferenceModel(ini, report.set, model);
}

int RunFit(const FitCommand& command, std::string* table, std::string* log) {
    const std::string settingsPath =
        command.settingsPath.empty() ? DefaultSettingsPath() : command.settingsPath;
    if (SameFile(command.outPath, settingsPath))
        throw Error(Tr(command.batch.lang, "přizpůsobené nastavení „", "the fitted settings \"") +
                    command.outPath +
                    Tr(command.batch.lang, "“ by nahradilo čtený soubor nastavení",
                       "\" would replace the settings file read"));
    const IniFile ini(settingsPath);
    if (!ini.Found())
        throw Error(
            Tr(command.batch.lang, "soubor nastavení „", "cannot read the settings file \"") +
            settingsPath + Tr(command.batch.lang, "“ nelze přečíst", "\""));
    const FitReport report = FitCollection(command, ini);
    const std::string_view lang = command.batch.lang;
    *table = FitText(report, lang);
    if (!command.summaryPath.empty()) {
        std::string reason;
        if (!platform::ReplaceFileAtomically(command.summaryPath, FitJson(report), &reason))
            throw Error(Tr(lang, "souhrn „", "cannot write the summary \"") + command.summaryPath +
                        Tr(lang, "“ nelze zapsat: ", "\": ") + reason);
    }
    const std::vector<std::string> problems = FitProblems(report, lang);
    if (!problems.empty() || !report.fit.Ok()) {
        for (const std::string& line : problems) *log += line + "\n";
        *log += Tr(lang, "nic nezapsáno: sadu nelze této sbírce přizpůsobit\n",
                   "nothing written: the set cannot be fitted to this collection\n");
        return 2;
    }
    IniFile out = ini;
    PutFit(out, report, command, Today());
    std::string reason;
    if (!platform::ReplaceFileAtomically(command.outPath, out.Bytes(), &reason))
        throw Error(Tr(lang, "soubor „", "cannot write \"") + command.outPath +
                    Tr(lang, "“ nelze zapsat: ", "\": ") + reason);
    *log += Tr(lang, "zapsáno: ", "written: ") + command.outPath + "\n";
    return report.failed.empty() ? 0 : 1;
}

}  // namespace morvik::core
