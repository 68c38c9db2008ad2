#include "ReferenceModelFile.h"

#include <cmath>

#include "Csv.h"
#include "EquationSets.h"
#include "text/Decimal.h"

namespace morvik::core {
namespace {

constexpr std::size_t kDims = kDimensionCount;

// "Praha model": the set's own section name, so the two stand together in the file.
std::string Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

struct Reader {
    const IniFile& ini;
    std::string section;
    std::optional<ModelTextProblem> problem;

    void Fail(const std::string& key, const std::string& en, const std::string& cz) {
        if (!problem) problem = ModelTextProblem{key + ": " + en, key + ": " + cz};
    }

    std::optional<double> Number(const std::string& key, std::string_view text) {
        const std::string value = Trim(text);
        if (value.empty()) return std::nullopt;
        try {
            const double number = ParseDecimal(value);
            if (std::isfinite(number)) return number;
        } catch (const EConvertError&) {
        }
        Fail(key, "\"" + value + "\" is not a number", "„" + value + "“ není číslo");
        return std::nullopt;
    }

    std::optional<double> Single(const std::string& key, bool required) {
        const std::string text = ini.ReadString(section, key, "");
        if (text.empty()) {
            if (required) Fail(key, "missing", "chybí");
            return std::nullopt;
        }
        return Number(key, text);
    }

    // Up to 17 places separated by ';'; a row with more is refused rather than shifted.
    std::array<std::optional<double>, kDims> Row(const std::string& key) {
        std::array<std::optional<double>, kDims> values;
        const std::string text = ini.ReadString(section, key, "");
        if (Trim(text).empty()) return values;
        std::size_t begin = 0, place = 0;
        for (;;) {
            const std::size_t end = std::min(text.find(';', begin), text.size());
            if (place == kDims) {
                Fail(key, "more than 17 values", "víc než 17 hodnot");
                return values;
            }
            values[place++] = Number(key, std::string_view(text).substr(begin, end - begin));
            if (end == text.size()) break;
            begin = end + 1;
        }
        return values;
    }
};

std::string Write(double value) { return CsvNumber(value); }

std::string WriteRow(const std::array<std::optional<double>, kDims>& values) {
    std::string text;
    for (std::size_t d = 0; d < kDims; ++d) {
        if (d > 0) text += "; ";
        if (values[d]) text += Write(*values[d]);
    }
    return text;
}

}  // namespace

std::string ModelSection(int setIndex) { return std::string(SetSection(setIndex)) + " model"; }

ModelRead ReadReferenceModel(const IniFile& ini, int setIndex) {
    Reader read{ini, ModelSection(setIndex), std::nullopt};
    if (!ini.ValueExists(read.section, "n_M") && !ini.ValueExists(read.section, "n_F") &&
        !ini.ValueExists(read.section, "mean_M"))
        return {};
    ReferenceModel model;
    model.population = ini.ReadString(read.section, "population", "");
    model.source = ini.ReadString(read.section, "source", "");
    model.nMale = read.Single("n_M", true).value_or(0);
    model.nFemale = read.Single("n_F", true).value_or(0);
    model.priorMale = read.Single("prior_M", false).value_or(0.5);
    model.priorFemale = read.Single("prior_F", false).value_or(0.5);
    model.threshold = read.Single("threshold", false);
    if (model.threshold && !(*model.threshold > 0.5 && *model.threshold < 1))
        read.Fail("threshold", "must lie between 0.5 and 1", "musí ležet mezi 0,5 a 1");
    model.meanMale = read.Row("mean_M");
    model.meanFemale = read.Row("mean_F");
    for (std::size_t r = 0; r < kDims; ++r)
        model.covariance[r] = read.Row("S_" + std::to_string(r + 1));
    if (read.problem) return {std::nullopt, read.problem};
    return {std::move(model), std::nullopt};
}

void WriteReferenceModel(IniFile& ini, int setIndex, const ReferenceModel& model) {
    const std::string section = ModelSection(setIndex);
    ini.SetString(section, "population", model.population);
    ini.SetString(section, "source", model.source);
    ini.SetString(section, "n_M", Write(model.nMale));
    ini.SetString(section, "n_F", Write(model.nFemale));
    ini.SetString(section, "prior_M", Write(model.priorMale));
    ini.SetString(section, "prior_F", Write(model.priorFemale));
    ini.SetString(section, "threshold", model.threshold ? Write(*model.threshold) : "");
    ini.SetString(section, "mean_M", WriteRow(model.meanMale));
    ini.SetString(section, "mean_F", WriteRow(model.meanFemale));
    for (std::size_t r = 0; r < kDims; ++r)
        ini.SetString(section, "S_" + std::to_string(r + 1), WriteRow(model.covariance[r]));
}

}  // namespace morvik::core
