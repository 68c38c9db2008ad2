#include "Validation.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "Csv.h"
#include "text/Cp1250.h"
#include "text/Error.h"

namespace morvik::core {
namespace {

std::string Key(std::string_view path) {
    return std::filesystem::path(path).lexically_normal().generic_string();
}

// Where a file is, whatever path leads to it: links resolved as far as the path exists.
std::string Place(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path place = std::filesystem::weakly_canonical(path, ec);
    if (ec) place = std::filesystem::absolute(path, ec).lexically_normal();
    return place.generic_string();
}

// 'M' or 'F' for the words the table may use: our own CSV's, the letters, the Czech ones.
char SexOf(std::string_view text) {
    const std::string folded = FoldCase(text);
    for (const char* word : {"m", "male", "muž"})
        if (folded == word) return 'M';
    for (const char* word : {"f", "female", "žena"})
        if (folded == word) return 'F';
    return 0;
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string Named(const std::string& file, const std::string& sheet) {
    return sheet.empty() ? file : file + " [" + sheet + "]";
}

std::optional<double> Ratio(int part, int whole) {
    if (whole == 0) return std::nullopt;
    return static_cast<double>(part) / whole;
}

std::string Percent(std::optional<double> ratio) {
    if (!ratio) return "-";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f%%", *ratio * 100);
    return buffer;
}

std::string JsonNumber(std::optional<double> value) { return value ? CsvNumber(*value) : "null"; }

// Widths count characters, not bytes: names and headings may hold letters with accents.
std::size_t Width(const std::string& text) {
    std::size_t chars = 0;
    for (char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return chars;
}

std::string Padded(std::string text, std::size_t width, bool left = false) {
    const std::size_t chars = Width(text);
    if (chars >= width) return text;
    const std::string pad(width - chars, ' ');
    return left ? text + pad : pad + text;
}

}  // namespace

TruthTable TruthTable::Parse(std::string_view text, const std::string& name,
                             const std::string& folder) {
    // What a spreadsheet saves: UTF-8 with or without its byte order mark, or the system's
    // Windows-1250.
    const std::string utf8 = TextAsUtf8(text);
    std::vector<std::vector<std::string>> records;
    try {
        records = ParseCsv(utf8);
    } catch (const ECsvError& e) {
        throw Error(name + ": " + e.what());
    }
    if (records.empty()) throw Error(name + ": the table is empty.");
    int fileCol = -1, sexCol = -1, sheetCol = -1;
    for (std::size_t c = 0; c < records[0].size(); ++c) {
        const std::string header = FoldCase(Trim(records[0][c]));
        if (header == "file") fileCol = static_cast<int>(c);
        if (header == "sex") sexCol = static_cast<int>(c);
        if (header == "sheet") sheetCol = static_cast<int>(c);
    }
    if (fileCol < 0 || sexCol < 0)
        throw Error(name + ": line 1 must name the columns file and sex.");

    TruthTable table;
    std::map<std::pair<std::string, std::string>, std::size_t> seen;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& record = records[i];
        const auto field = [&](int col) {
            return col >= 0 && static_cast<std::size_t>(col) < record.size()
                       ? Trim(record[static_cast<std::size_t>(col)])
                       : std::string();
        };
        const std::string where = name + ": record " + std::to_string(i + 1) + ": ";
        Entry entry;
        entry.file = field(fileCol);
        entry.sheet = field(sheetCol);
        if (entry.file.empty()) throw Error(where + "the file is empty.");
        entry.sex = SexOf(field(sexCol));
        if (entry.sex == 0)
            throw Error(where + "the sex must be M or F (male, female, muž, žena), not \"" +
                        field(sexCol) + "\".");
        if (!seen.emplace(std::pair(Key(entry.file), entry.sheet), i).second)
            throw Error(where + "\"" + Named(entry.file, entry.sheet) + "\" is listed twice.");
        table.byFile_[Key(entry.file)].push_back(table.entries_.size());
        if (!folder.empty())
            table.byPlace_[Place(std::filesystem::path(folder) / entry.file)].push_back(
                table.entries_.size());
        table.entries_.push_back(std::move(entry));
    }
    return table;
}

TruthTable TruthTable::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Cannot open the truth table \"" + path + "\".");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw Error("Cannot read the truth table \"" + path + "\".");
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return Parse(text, path, folder.empty() ? "." : folder.string());
}

char TruthTable::Find(const BatchInput& input, const std::string& sheet) {
    std::vector<const std::vector<std::size_t>*> candidates;
    for (const std::string& key : {Key(input.path), Key(input.relative)})
        if (const auto hit = byFile_.find(key); hit != byFile_.end())
            candidates.push_back(&hit->second);
    if (!byPlace_.empty())
        if (const auto hit = byPlace_.find(Place(input.path)); hit != byPlace_.end())
            candidates.push_back(&hit->second);
    // An entry for the skull's own sheet before one for every sheet of its file.
    Entry* any = nullptr;
    for (const auto* indices : candidates) {
        for (std::size_t index : *indices) {
            Entry& entry = entries_[index];
            if (entry.sheet == sheet && !sheet.empty()) {
                entry.matched = true;
                return entry.sex;
            }
            if (entry.sheet.empty() && any == nullptr) any = &entry;
        }
    }
    if (any == nullptr) return 0;
    any->matched = true;
    return any->sex;
}

std::vector<std::string> TruthTable::Unmatched() const {
    std::vector<std::string> names;
    for (const Entry& entry : entries_)
        if (!entry.matched) names.push_back(Named(entry.file, entry.sheet));
    return names;
}

ValidationSummary::ValidationSummary(TruthTable truth, const BatchSettings& settings)
    : truth_(std::move(truth)) {
    for (int number = 1; number <= kEquationCount; ++number) {
        if (!settings.use[static_cast<std::size_t>(ColumnOfEquation(number) - 1)]) continue;
        equations_.push_back(number);
        classifiers_.push_back({.name = "equation " + std::to_string(number)});
    }
    classifiers_.push_back({.name = "verdict"});
}

void ValidationSummary::Add(const BatchInput& input, const SkullResult& skull) {
    ++skulls_;
    const char sex = truth_.Find(input, skull.sheet);
    if (sex == 0) {
        withoutTruth_.push_back(Named(input.path, skull.sheet));
        return;
    }
    if (!skull.ok) {
        ++failedKnown_;
        return;
    }
    const std::size_t truth = sex == 'M' ? 0 : 1;
    for (std::size_t i = 0; i < equations_.size(); ++i) {
        ClassifierCounts& counts = classifiers_[i];
        ++counts.known;
        const char vote = skull.votes[static_cast<std::size_t>(equations_[i] - 1)];
        if (vote == 0)
            ++counts.noVote;
        else if (vote == '?')
            ++counts.indeterminate;  // below the model's threshold: neither sex's error
        else
            ++counts.table[truth][vote == 'M' ? 0 : 1];
    }
    ClassifierCounts& verdict = classifiers_.back();
    ++verdict.known;
    switch (skull.verdict) {
        case Verdict::Male:
            ++verdict.table[truth][0];
            break;
        case Verdict::Female:
            ++verdict.table[truth][1];
            break;
        case Verdict::Tie:
            ++verdict.tie;
            break;
        case Verdict::Indeterminate:
            ++verdict.indeterminate;
            break;
    }
}

std::string ValidationSummary::Text(std::string_view lang) {
    const bool cz = lang == "cz";
    const auto tr = [cz](std::string_view en, std::string_view czech) {
        return std::string(cz ? czech : en);
    };
    const int known = classifiers_.back().known;
    // Czech puts the count after a label, which spares the noun its forms by number.
    std::string out = cz ? "Ověření – lebky: " + std::to_string(skulls_) +
                               "; spočítané se známým pohlavím: " + std::to_string(known)
                         : "Validation: " + std::to_string(skulls_) + " skulls, " +
                               std::to_string(known) + " computed of known sex";
    if (failedKnown_ > 0)
        out += cz ? "; se známým pohlavím selhaly: " + std::to_string(failedKnown_)
                  : ", " + std::to_string(failedKnown_) + " of known sex failed";
    out += "\n";
    // Rows of the 2x2 table are the true sex, columns the prediction: "M>F" is a male skull
    // called female.
    const std::vector<std::string> headings{"",
                                            tr("known", "známé"),
                                            tr("correct", "správně"),
                                            tr("accuracy", "přesnost"),
                                            tr("sens M", "senz. M"),
                                            tr("sens F", "senz. F"),
                                            "M>M",
                                            "M>F",
                                            "F>M",
                                            "F>F",
                                            tr("no vote", "bez hlasu"),
                                            tr("tie", "nerozh."),
                                            tr("indet.", "neurč.")};
    std::vector<std::string> header = headings;
    if (threshold_) header.push_back(tr("indet. %", "neurč. %"));
    std::vector<std::vector<std::string>> rows{header};
    for (std::size_t i = 0; i < classifiers_.size(); ++i) {
        const ClassifierCounts& c = classifiers_[i];
        const bool isVerdict = i + 1 == classifiers_.size();
        std::string name = c.name;
        if (cz) name = isVerdict ? "verdikt" : "rovnice" + c.name.substr(c.name.find(' '));
        rows.push_back({name, std::to_string(c.known), std::to_string(c.Correct()),
                        Percent(Ratio(c.Correct(), c.Decided())),
                        Percent(Ratio(c.table[0][0], c.table[0][0] + c.table[0][1])),
                        Percent(Ratio(c.table[1][1], c.table[1][0] + c.table[1][1])),
                        std::to_string(c.table[0][0]), std::to_string(c.table[0][1]),
                        std::to_string(c.table[1][0]), std::to_string(c.table[1][1]),
                        isVerdict ? "-" : std::to_string(c.noVote),
                        isVerdict ? std::to_string(c.tie) : "-",
                        isVerdict || threshold_ ? std::to_string(c.indeterminate) : "-"});
        if (threshold_) rows.back().push_back(Percent(Ratio(c.indeterminate, c.known)));
    }
    std::vector<std::size_t> widths(header.size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += (c ? "  " : "") + Padded(row[c], widths[c], c == 0);
        out += line + "\n";
    }
    out +=
        tr("Accuracy counts the skulls given a sex; sens M and sens F are the share of male "
           "and female skulls called so.\n",
           "Přesnost počítá lebky, jimž bylo pohlaví určeno; senz. M a senz. F jsou podíly "
           "mužských a ženských lebek určených správně.\n");
    if (threshold_)
        out +=
            tr("Below the reference model's threshold a vote is indeterminate (indet.): it "
               "counts for neither sex, and accuracy is among the decided.\n",
               "Pod prahem referenčního modelu je hlas neurčitý (neurč.): nepočítá se "
               "k žádnému pohlaví a přesnost je mezi rozhodnutými.\n");
    const auto list = [&](const std::string& title, const std::vector<std::string>& names) {
        if (names.empty()) return;
        out += title + " (" + std::to_string(names.size()) + "):\n";
        for (const std::string& name : names) out += "  " + name + "\n";
    };
    list(tr("Skulls without a truth entry", "Lebky bez zadaného pohlaví"), withoutTruth_);
    list(tr("Truth entries without a file", "Zadaná pohlaví bez souboru"), truth_.Unmatched());
    return out;
}

std::string ValidationSummary::Json() {
    std::string out = "{\n  \"skulls\": " + std::to_string(skulls_) +
                      ",\n  \"known_failed\": " + std::to_string(failedKnown_) +
                      ",\n  \"classifiers\": [\n";
    for (std::size_t i = 0; i < classifiers_.size(); ++i) {
        const ClassifierCounts& c = classifiers_[i];
        const bool isVerdict = i + 1 == classifiers_.size();
        out += "    {\"name\": " + JsonString(c.name) + ", \"known\": " + std::to_string(c.known) +
               ", \"correct\": " + std::to_string(c.Correct()) +
               ", \"accuracy\": " + JsonNumber(Ratio(c.Correct(), c.Decided())) +
               ", \"sensitivity_male\": " +
               JsonNumber(Ratio(c.table[0][0], c.table[0][0] + c.table[0][1])) +
               ", \"sensitivity_female\": " +
               JsonNumber(Ratio(c.table[1][1], c.table[1][0] + c.table[1][1])) +
               ", \"male_as_male\": " + std::to_string(c.table[0][0]) +
               ", \"male_as_female\": " + std::to_string(c.table[0][1]) +
               ", \"female_as_male\": " + std::to_string(c.table[1][0]) +
               ", \"female_as_female\": " + std::to_string(c.table[1][1]);
        if (isVerdict)
            out += ", \"tie\": " + std::to_string(c.tie) +
                   ", \"indeterminate\": " + std::to_string(c.indeterminate);
        else
            out += ", \"no_vote\": " + std::to_string(c.noVote) +
                   ", \"indeterminate\": " + std::to_string(c.indeterminate);
        if (threshold_)
            out += ", \"indeterminate_share\": " + JsonNumber(Ratio(c.indeterminate, c.known));
        out += std::string("}") + (isVerdict ? "\n" : ",\n");
    }
    out += "  ],\n  \"without_truth\": " + JsonList(withoutTruth_) +
           ",\n  \"truth_without_file\": " + JsonList(truth_.Unmatched()) + "\n}\n";
    return out;
}

}  // namespace morvik::core
