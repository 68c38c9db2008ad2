// Testing the equations on a collection of known sex: the truth table and the summary of how
// often each equation in use and the verdict got the sex right.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Batch.h"
#include "BatchRun.h"

namespace morvik::core {

// A CSV whose header names the columns `file` and `sex` (M or F, male or female, muž or žena,
// in any case) and optionally `sheet`; other columns are ignored. A file matches a skull by
// the path the batch table shows, by its path within the folder it was found in, or as a
// path from the table's own folder; an entry without a sheet stands for every sheet of its
// file without an entry of its own.
class TruthTable {
  public:
    // Throws Error "<name>: line N: ..." for a table that cannot be read as such. `folder` is
    // where the table lies, for paths relative to it; empty: none.
    static TruthTable Parse(std::string_view text, const std::string& name,
                            const std::string& folder = {});
    static TruthTable Read(const std::string& path);

    // The sex of a skull ('M' or 'F'), or 0 when the table does not know it.
    char Find(const BatchInput& input, const std::string& sheet);
    // The entries no skull matched, in the table's order ("file" or "file [sheet]").
    std::vector<std::string> Unmatched() const;

  private:
    struct Entry {
        std::string file, sheet;
        char sex = 0;
        bool matched = false;
    };
    std::vector<Entry> entries_;
    std::map<std::string, std::vector<std::size_t>> byFile_;
    std::map<std::string, std::vector<std::size_t>> byPlace_;  // the table's folder / file
};

struct ClassifierCounts {
    std::string name;  // "equation 3" or "verdict"
    int known = 0;     // computed skulls of known sex
    // [truth][prediction], index 0 male, 1 female.
    std::array<std::array<int, 2>, 2> table{};
    int noVote = 0;  // equations: cast no vote
    // Counted apart, not as errors of either sex: the verdict's ties and indeterminate
    // verdicts, an equation's votes below the reference model's threshold.
    int tie = 0, indeterminate = 0;

    int Decided() const { return table[0][0] + table[0][1] + table[1][0] + table[1][1]; }
    int Correct() const { return table[0][0] + table[1][1]; }
};

class ValidationSummary {
  public:
    ValidationSummary(TruthTable truth, const BatchSettings& settings);

    // Every row of the run, in order.
    void Add(const BatchInput& input, const SkullResult& skull);

    // The set's reference model has a posterior threshold: the summary then gives the share
    // of indeterminate votes of each equation.
    void SetThreshold(bool threshold) { threshold_ = threshold; }

    const std::vector<ClassifierCounts>& Classifiers() const { return classifiers_; }
    std::string Text(std::string_view lang = "en");
    std::string Json();

  private:
    TruthTable truth_;
    std::vector<int> equations_;                 // numbers in use, ascending
    std::vector<ClassifierCounts> classifiers_;  // the equations, then the verdict
    int skulls_ = 0, failedKnown_ = 0;
    bool threshold_ = false;
    std::vector<std::string> withoutTruth_;
};

}  // namespace morvik::core
