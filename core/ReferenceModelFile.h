// The reference model of an equation set in the settings file: a section of its own beside
// the set's coefficients, "[<set> model]", plain text a person can check against the
// publication the equations come from. A set without that section has no model and works
// exactly as it always did.
//
//   [Univerzální model]
//   population=...            the reference sample, in words
//   source=...                the publication to cite
//   n_M=120                   sample sizes
//   n_F=110
//   prior_M=0.5               optional, ½ each by default
//   prior_F=0.5
//   threshold=0.95            optional: below it a vote is indeterminate
//   mean_M=184.2; 140.1; ...  the 17 dimensions' means in the order of the dimension table,
//   mean_F=...                separated by ';', an empty place where a dimension is not given
//   S_1=...                   row 1 of the pooled within-sex covariance matrix, and so on
//   ...                       to S_17 (rows of dimensions no equation uses may stay empty)
//
// A decimal point or a decimal comma may be used.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "IniFile.h"
#include "compute/Evidence.h"

namespace morvik::core {

std::string ModelSection(int setIndex);

// What is wrong with a model section, in both languages.
struct ModelTextProblem {
    std::string en, cz;
    std::string_view In(std::string_view lang) const { return lang == "cz" ? cz : en; }
};

struct ModelRead {
    std::optional<ReferenceModel> model;      // none without a section, or when unreadable
    std::optional<ModelTextProblem> problem;  // why a section present could not be read
};

ModelRead ReadReferenceModel(const IniFile& ini, int setIndex);

// Writes the model's section in memory (the caller saves the file): numbers with a '.' that
// read back to the same double, empty places for what is not given.
void WriteReferenceModel(IniFile& ini, int setIndex, const ReferenceModel& model);

}  // namespace morvik::core
