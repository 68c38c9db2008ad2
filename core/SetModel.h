// The chosen set's reference model in use: read from the settings file, checked against the
// set's equations, and what it adds to a result in words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "IniFile.h"
#include "compute/Evidence.h"
#include "compute/Workspace.h"

namespace morvik::core {

// Puts the set's model in the workspace when it is usable for the set's equations, and none
// otherwise. Returns what the user is told once, when the set is chosen: a model that cannot
// be read or used (the set then computes as if it had none), and each equation whose
// constant or sign does not match its reference sample.
std::vector<Notice> UseSetModel(Workspace& ws, const IniFile& ini, int setIndex);

// The warnings of the current result: measurements far from both sexes' means and a skull
// unlike the reference sample. None without a model.
std::vector<std::string> EvidenceWarnings(const Workspace& ws, std::string_view lang);

// Equation k's evidence (1..7) when the current result has it for that equation, else nullptr.
const EquationEvidence* EvidenceOf(const Workspace& ws, int k);

// What the model says about equation column k (1..7) of the current result, for a tooltip or
// a report: posterior, typicality, refit and its expected accuracy; empty when nothing.
std::string EquationEvidenceText(const Workspace& ws, int k, std::string_view lang);

// The short line under a score: the posterior for the sex it votes for and the typicality of
// that sex, e.g. "M 97 % · 0,42"; empty when nothing.
std::string EquationEvidenceLine(const Workspace& ws, int k, std::string_view lang);

// The evidence section the export writes beside the report when a model is present: the
// model's source, each equation's evidence, the warnings. Empty without evidence.
std::vector<std::string> EvidenceReportLines(const Workspace& ws, int setIndex,
                                             std::string_view lang);

}  // namespace morvik::core
