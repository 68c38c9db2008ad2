#include "SetModel.h"

#include <algorithm>
#include <cmath>

#include "Captions.h"
#include "EquationSets.h"
#include "Messages.h"
#include "ReferenceModelFile.h"
#include "compute/Compute.h"
#include "compute/Landmarks.h"
#include "text/Decimal.h"

namespace morvik::core {
namespace {

// The dimensions any equation of the set has a coefficient on.
DimensionSet SetDimensions(const Workspace& ws) {
    DimensionSet used;
    for (int k = 1; k <= kEquationCount; ++k)
        for (int r = 1; r <= kDimensionCount; ++r)
            if (!ws.sg.Cell(k, r).empty()) used.set(static_cast<std::size_t>(r - 1));
    return used;
}

std::string ProblemText(const ModelProblem& p, std::string_view lang) {
    if (!IsCzech(lang)) return p.text;
    const std::string at = p.dimension >= 0 ? " " + DimensionNameIn(p.dimension, lang) : "";
    switch (p.code) {
        case ModelProblem::SampleTooSmall:
            return "vzorek pohlaví není větší než počet rozměrů";
        case ModelProblem::MeanMissing:
            return "chybí průměr rozměru" + at;
        case ModelProblem::CovarianceMissing:
            return "chybí kovariance rozměru" + at;
        case ModelProblem::NotSymmetric:
            return "kovarianční matice není u rozměru" + at + " symetrická";
        case ModelProblem::NotFinite:
            return "hodnota u rozměru" + at + " není číslo";
        case ModelProblem::NotPositiveDefinite:
            return "kovarianční matice není pozitivně definitní";
        case ModelProblem::IllConditioned:
            return "kovarianční matice je téměř singulární";
        case ModelProblem::BadPriors:
            return "apriorní pravděpodobnosti nejsou kladné";
        case ModelProblem::None:
            break;
    }
    return p.text;
}

// The landmarks a dimension is measured between, for a warning to name.
std::string LandmarksOf(int d) {
    const DimensionRow& row = kDimensionRows.at(static_cast<std::size_t>(d));
    if (row.kind == DimensionKind::Euryon) return "euryon dx, euryon sin";
    std::string names;
    std::vector<int> seen;
    for (int landmark : row.landmarks) {
        if (landmark == 0 || std::find(seen.begin(), seen.end(), landmark) != seen.end()) continue;
        seen.push_back(landmark);
        if (!names.empty()) names += ", ";
        names += kLandmarks.at(static_cast<std::size_t>(landmark - 1)).abbreviation;
    }
    return names;
}

int DecimalsOf(int d) {
    const DimensionKind kind = kDimensionRows.at(static_cast<std::size_t>(d)).kind;
    return kind == DimensionKind::PlaneCosine || kind == DimensionKind::LineCosine ? 3 : 1;
}

}  // namespace

const EquationEvidence* EvidenceOf(const Workspace& ws, int k) {
    if (!ws.evidence || !ws.resultCurrent) return nullptr;
    const EquationEvidence& e = ws.evidence->equations.at(static_cast<std::size_t>(k - 1));
    if (!e.scored || e.problem.code != ModelProblem::None) return nullptr;
    return &e;
}

namespace {}  // namespace

std::vector<Notice> UseSetModel(Workspace& ws, const IniFile& ini, int setIndex) {
    ws.model.reset();
    ws.evidence.reset();
    std::vector<Notice> notices;
    const ModelRead read = ReadReferenceModel(ini, setIndex);
    const std::string set = SetNameIn(setIndex, ws.lang);
    if (read.problem) {
        notices.push_back({MessageText(Msg::ModelUnusable, ws.lang,
                                       {set, std::string(read.problem->In(ws.lang))}),
                           false});
        return notices;
    }
    if (!read.model) return notices;
    const ModelProblem problem = CheckModel(*read.model, SetDimensions(ws));
    if (problem.code != ModelProblem::None) {
        notices.push_back(
            {MessageText(Msg::ModelUnusable, ws.lang, {set, ProblemText(problem, ws.lang)}),
             false});
        return notices;
    }
    ws.model = std::make_shared<const ReferenceModel>(*read.model);
    for (int k = 1; k <= kEquationCount; ++k) {
        Equation equation;
        try {
            equation = ColumnEquation(ws, k);
        } catch (const std::exception&) {
            continue;  // a coefficient that is not a number is told by Calculate
        }
        if (EquationDimensions(equation).none()) continue;
        const Consistency c = CheckConsistency(*ws.model, equation);
        if (c.ok) continue;
        std::string what;
        if (!(c.centroidMale > c.centroidFemale)) {
            what = IsCzech(ws.lang) ? "mužský centroid leží pod ženským (znaménko)"
                                    : "its male centroid lies below the female one (its sign)";
        } else {
            const double off = c.evenOddsScore / c.sigma;
            what = IsCzech(ws.lang) ? "skóre vyrovnaných šancí leží " +
                                          LocalNumber(off, 2, ws.lang) + " σ od nuly (konstanta)"
                                    : "its score of even odds lies " +
                                          LocalNumber(off, 2, ws.lang) + " σ from 0 (its constant)";
        }
        notices.push_back(
            {MessageText(
                 Msg::EquationInconsistent, ws.lang,
                 {set, std::string(kEquationNumbers[static_cast<std::size_t>(k - 1)]), what}),
             false});
    }
    return notices;
}

std::vector<std::string> EvidenceWarnings(const Workspace& ws, std::string_view lang) {
    std::vector<std::string> warnings;
    if (!ws.evidence || !ws.resultCurrent) return warnings;
    for (const Atypical& a : ws.evidence->atypical) {
        // Measured from the nearer of the two means.
        const bool male = std::fabs(a.sdFromMale) <= std::fabs(a.sdFromFemale);
        const double sd = male ? a.sdFromMale : a.sdFromFemale;
        std::string where;
        if (IsCzech(lang)) {
            where = std::string(sd > 0 ? "nad" : "pod") + " průměrem " + (male ? "mužů" : "žen");
        } else {
            where = std::string(sd > 0 ? "above" : "below") + " the " + (male ? "male" : "female") +
                    " mean";
        }
        const bool distance = DecimalsOf(a.dimension) == 1;
        warnings.push_back(MessageText(
            Msg::AtypicalDimension, lang,
            {DimensionNameIn(a.dimension, lang),
             LocalNumber(a.value, DecimalsOf(a.dimension), lang) + (distance ? " mm" : ""),
             LocalNumber(std::fabs(sd), 1, lang), where, LandmarksOf(a.dimension)}));
    }
    if (ws.evidence->typicality && ws.evidence->typicality->first < 0.01 &&
        ws.evidence->typicality->second < 0.01) {
        const std::string t = (IsCzech(lang) ? "M " : "M ") +
                              LocalNumber(ws.evidence->typicality->first, 4, lang) +
                              (IsCzech(lang) ? ", Ž " : ", F ") +
                              LocalNumber(ws.evidence->typicality->second, 4, lang);
        warnings.push_back(MessageText(Msg::UnlikeReference, lang, {t}));
    }
    return warnings;
}

std::string EquationEvidenceLine(const Workspace& ws, int k, std::string_view lang) {
    const EquationEvidence* e = EvidenceOf(ws, k);
    if (e == nullptr) return {};
    const bool male = e->score >= 0;
    const double posterior = male ? e->posteriorMale : 1 - e->posteriorMale;
    const double typicality = male ? e->typicalityMale : e->typicalityFemale;
    const std::string sex = male ? "M" : (IsCzech(lang) ? "Ž" : "F");
    return sex + " " + LocalNumber(100 * posterior, 0, lang) + " % · " +
           LocalNumber(typicality, 2, lang);
}

std::string EquationEvidenceText(const Workspace& ws, int k, std::string_view lang) {
    const EquationEvidence* e = EvidenceOf(ws, k);
    if (e == nullptr) return {};
    const bool cz = IsCzech(lang);
    std::string text =
        (cz ? "Aposteriorní pravděpodobnost: muž " : "Posterior probability: male ") +
        LocalPercent(e->posteriorMale, lang) + (cz ? ", žena " : ", female ") +
        LocalPercent(1 - e->posteriorMale, lang) + ".\n";
    text += (cz ? "Typičnost (jak obvyklá je lebka tak daleko od průměru): muži "
                : "Typicality (how usual a skull this far from the mean is): males ") +
            LocalNumber(e->typicalityMale, 3, lang) + (cz ? ", ženy " : ", females ") +
            LocalNumber(e->typicalityFemale, 3, lang) + ".";
    if (e->vote == '?') {
        text += cz ? "\nPod prahem " : "\nBelow the threshold ";
        text += LocalPercent(ws.model && ws.model->threshold ? *ws.model->threshold : 0, lang);
        text += cz ? ": hlas je neurčitý a nepočítá se."
                   : ": the vote is indeterminate and not counted.";
    }
    if (e->refit) {
        const std::string lost = DimensionNamesIn(e->lost, lang);
        text += cz ? "\n* Přepočteno bez chybějících rozměrů ("
                   : "\n* Refitted without the missing dimensions (";
        text += lost + (cz ? "); očekávaná správnost " : "); expected accuracy ") +
                LocalPercent(e->accuracyRefit, lang) + (cz ? " místo " : " instead of ") +
                LocalPercent(e->accuracyFull, lang) +
                (cz ? " celé rovnice." : " of the full equation.");
    }
    return text;
}

std::vector<std::string> EvidenceReportLines(const Workspace& ws, int setIndex,
                                             std::string_view lang) {
    std::vector<std::string> lines;
    if (!ws.evidence || !ws.resultCurrent || !ws.model) return lines;
    const bool cz = IsCzech(lang);
    lines.push_back(cz ? "DŮKAZNÍ ČÁST – referenční model souboru " + SetNameIn(setIndex, lang)
                       : "EVIDENCE – reference model of the set " + SetNameIn(setIndex, lang));
    lines.push_back((cz ? "Referenční vzorek: " : "Reference sample: ") + ws.model->population);
    lines.push_back((cz ? "Zdroj: " : "Source: ") + ws.model->source);
    lines.push_back((cz ? "Velikost vzorku: muži " : "Sample size: males ") +
                    LocalNumber(ws.model->nMale, 0, lang) + (cz ? ", ženy " : ", females ") +
                    LocalNumber(ws.model->nFemale, 0, lang) +
                    (cz ? "; apriorní pravděpodobnosti " : "; priors ") +
                    LocalNumber(ws.model->priorMale, 3, lang) + " / " +
                    LocalNumber(ws.model->priorFemale, 3, lang) +
                    (ws.model->threshold ? (cz ? "; práh " : "; threshold ") +
                                               LocalNumber(*ws.model->threshold, 3, lang)
                                         : std::string()));
    lines.emplace_back();
    for (int k = 1; k <= kEquationCount; ++k) {
        const std::string number(kEquationNumbers[static_cast<std::size_t>(k - 1)]);
        const std::string& label = ws.result[static_cast<std::size_t>(k - 1)].text;
        std::string line = (cz ? "Rovnice " : "Equation ") + number + ": " + label;
        const std::string text = EquationEvidenceText(ws, k, lang);
        if (text.empty()) {
            lines.push_back(line);
            continue;
        }
        lines.push_back(line);
        std::size_t begin = 0;
        while (begin <= text.size()) {
            const std::size_t end = std::min(text.find('\n', begin), text.size());
            lines.push_back("    " + text.substr(begin, end - begin));
            begin = end + 1;
        }
    }
    const std::vector<std::string> warnings = EvidenceWarnings(ws, lang);
    if (!warnings.empty()) {
        lines.emplace_back();
        lines.push_back(cz ? "Upozornění:" : "Warnings:");
        for (const std::string& w : warnings) lines.push_back("    " + w);
    }
    lines.emplace_back();
    lines.push_back((cz ? "Výrok: " : "Verdict: ") + ws.Label1.text + " (" + VoteSummary(ws) + ")");
    return lines;
}

}  // namespace morvik::core
