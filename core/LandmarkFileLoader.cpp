#include "LandmarkFileLoader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "DataExchange.h"
#include "EquationSets.h"
#include "Export.h"
#include "Messages.h"
#include "compute/Compute.h"
#include "compute/Landmarks.h"
#include "landmarks/LandmarkFile.h"
#include "text/Decimal.h"
#include "text/Platform.h"

namespace morvik::core {
namespace {

// Far past any skull with its clouds; a larger file is no landmark file we should hold.
constexpr std::size_t kReadLimit = 64u << 20;
// Morphologika is told from tab-separated text by its first lines.
constexpr std::size_t kSniffLimit = 64u << 10;
constexpr int kFirstCoordinateColumn = 2;
constexpr int kGlabella = 1, kOpisthocranion = 21;
constexpr double kSmallestSkull = 100, kLargestSkull = 300;  // G–OP in mm

// The bytes of the file, at most `limit` of them; `whole` tells whether that was all.
std::string ReadBytes(const std::string& path, std::size_t limit, bool& whole) {
    std::ifstream in = OpenInputFile(path);
    // In blocks: most files are a few kilobytes, and the limit is not to be allocated for each.
    constexpr std::size_t kBlock = 64u << 10;
    std::string bytes;
    while (in && bytes.size() <= limit) {
        const std::size_t at = bytes.size();
        bytes.resize(at + kBlock);
        in.read(bytes.data() + at, static_cast<std::streamsize>(kBlock));
        bytes.resize(at + static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) throw ESystemError(FileAction::Read, path, errno);
    whole = bytes.size() <= limit;
    if (!whole) bytes.resize(limit);
    return bytes;
}

bool IsMorphologikaFile(const std::string& path) {
    bool whole = false;
    try {
        return landmarks::IsMorphologika(ReadBytes(path, kSniffLimit, whole));
    } catch (const std::exception&) {
        return false;  // the tab-separated reader then tells why the file cannot be read
    }
}

// Slicer's default labels ("F-1", "F_12", "MarkupsFiducial-3"), the editors' numbering
// ("1", "S0001", "LM 4") or nothing: labels that say no more than the point's place.
bool IsDefaultLabel(std::string_view label, std::string_view group) {
    std::string_view s = label;
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty()) return true;
    std::size_t digits = 0;
    while (digits < s.size() && s[s.size() - 1 - digits] >= '0' && s[s.size() - 1 - digits] <= '9')
        ++digits;
    if (digits == 0) return false;
    s.remove_suffix(digits);
    while (!s.empty() && (s.back() == '-' || s.back() == '_' || s.back() == ' ' || s.back() == '#'))
        s.remove_suffix(1);
    const std::string folded = FoldLabel(s);
    for (std::string_view prefix :
         {"", "f", "p", "l", "lm", "s", "pt", "point", "landmark", "markupsfiducial", "fiducial"}) {
        if (folded == prefix) return true;
    }
    return !group.empty() && folded == FoldLabel(group);
}

std::string LabelShown(const landmarks::Point& point, std::size_t index) {
    return point.label.empty() ? "#" + std::to_string(index + 1) : point.label;
}

std::string_view Abbreviation(int row) {
    return kLandmarks[static_cast<std::size_t>(row - 1)].abbreviation;
}

std::string QuotedLabels(const std::vector<std::string>& labels, std::size_t max) {
    std::string out;
    for (std::size_t i = 0; i < labels.size() && i < max; ++i) {
        if (i > 0) out += ", ";
        out += "\"" + labels[i] + "\"";
    }
    if (labels.size() > max) out += ", \u2026";
    return out;
}

EUserError Refusal(const std::string& name, const landmarks::ELandmarkFileError& e) {
    if (e.Line() > 0)
        return EUserError(Msg::LandmarkFileLine, {name, std::to_string(e.Line()), e.Reason()});
    return EUserError(Msg::LandmarkFileFault, {name, e.Reason()});
}

// A sentence of the message table as part of a longer one: without its full stop.
std::string Part(Msg id, std::string_view lang, const std::vector<std::string>& args = {}) {
    std::string text = MessageText(id, lang, args);
    if (text.ends_with('.')) text.pop_back();
    return text;
}

LabelTarget MatchLabel(std::string_view label, const LandmarkNameTable* names) {
    return names != nullptr ? names->Match(label) : MatchLandmarkLabel(label);
}

}  // namespace

struct LandmarkFileContents::Data {
    std::string name;
    landmarks::LandmarkFile file;
    LandmarkNameTable names;  // a copy: the contents outlive the caller's table
    bool hasNames = false;
};

LandmarkFileContents::LandmarkFileContents(std::unique_ptr<Data> data) : data_(std::move(data)) {}
LandmarkFileContents::~LandmarkFileContents() = default;
LandmarkFileContents::LandmarkFileContents(LandmarkFileContents&&) noexcept = default;
LandmarkFileContents& LandmarkFileContents::operator=(LandmarkFileContents&&) noexcept = default;

LandmarkFileContents LandmarkFileContents::Open(const std::string& path,
                                                const LandmarkLoadOptions& options) {
    auto data = std::make_unique<Data>();
    data->name = FileNameOf(path);
    if (options.names != nullptr) {
        data->names = *options.names;
        data->hasNames = true;
    }
    std::error_code ec;
    if (!std::filesystem::exists(platform::PathFromUtf8(path), ec))
        throw EUserError(Msg::FileMissing, {data->name});
    std::optional<landmarks::Format> format = landmarks::FormatOfFileName(path);
    bool whole = false;
    const std::string bytes = ReadBytes(path, kReadLimit, whole);
    if (!whole) throw EUserError(Msg::LandmarkTooLarge, {data->name});
    if (!format && landmarks::IsMorphologika(bytes)) format = landmarks::Format::Morphologika;
    if (!format) throw EUserError(Msg::LandmarkFileFault, {data->name, "not a landmark file"});
    try {
        landmarks::ReadOptions read;
        read.tpsNegativeIsMissing = options.tpsNegativeIsMissing;
        data->file = landmarks::ReadLandmarkFile(*format, bytes, read);
    } catch (const landmarks::ELandmarkFileError& e) {
        throw Refusal(data->name, e);
    }
    if (data->file.specimens.empty()) throw EUserError(Msg::TextNoLandmarks, {data->name});
    if (!landmarks::UnitToMillimetres(data->file.unit))
        throw EUserError(Msg::LandmarkFileFault,
                         {data->name, "unknown unit \"" + data->file.unit + "\""});
    return LandmarkFileContents(std::move(data));
}

int LandmarkFileContents::SpecimenCount() const {
    return static_cast<int>(data_->file.specimens.size());
}

std::vector<std::string> LandmarkFileContents::SpecimenNames() const {
    std::vector<std::string> names;
    for (const landmarks::Specimen& s : data_->file.specimens) names.push_back(s.name);
    return names;
}

LandmarkLoadReport LandmarkFileContents::Load(Workspace& ws, int index) const {
    const landmarks::LandmarkFile& file = data_->file;
    const LandmarkNameTable* names = data_->hasNames ? &data_->names : nullptr;
    if (index < 0 || index >= SpecimenCount())
        throw EUserError(Msg::LandmarkNoSpecimen,
                         {data_->name, std::to_string(index + 1), std::to_string(SpecimenCount())});
    const landmarks::Specimen& specimen = file.specimens[static_cast<std::size_t>(index)];

    LandmarkLoadReport report;
    report.file = data_->name;
    report.format = std::string(landmarks::FormatName(file.format));
    report.specimen = specimen.name;
    report.specimenIndex = index;
    report.specimenCount = SpecimenCount();
    report.coordinateSystem = file.coordinateSystem;
    report.unit = file.unit;
    report.unitAssumed = file.unit.empty();
    report.negativeMissing = file.negativeMeansMissing;
    const double factor = *landmarks::UnitToMillimetres(file.unit);
    // Dividing by 1000 gives exactly the double of the same number written in millimetres;
    // multiplying by 0.001 can miss it by a unit of the last place.
    const double divisor = factor < 1 ? std::round(1 / factor) : 1;
    const auto mm = [&](double v) { return factor < 1 ? v / divisor : v * factor; };

    // Where each point goes: a landmark row, a cloud, or nowhere.
    std::array<const landmarks::Point*, kLandmarkCount> rows{};
    std::array<std::size_t, kLandmarkCount> rowPoint{};
    std::vector<const landmarks::Point*> clouds[2];
    std::vector<std::size_t> loose;  // points matched to nothing, by index
    std::map<std::pair<std::string, int>, std::size_t> cloudEntries;  // (label, side) → mapping
    const auto toCloud = [&](const landmarks::Point& p, const std::string& label, Euryon side) {
        const int s = side == Euryon::Right ? 0 : 1;
        if (!p.missing) clouds[s].push_back(&p);
        const auto [it, fresh] = cloudEntries.try_emplace({label, s}, report.mapping.size());
        if (fresh) {
            report.mapping.push_back({label, s == 0 ? "EUdx" : "EUsin", 0, false});
        }
        if (!p.missing) ++report.mapping[it->second].points;
    };
    // Clouds are often thousands of points of one label: each label is matched once.
    std::map<std::string, LabelTarget> groupTargets, labelTargets;
    for (std::size_t i = 0; i < specimen.points.size(); ++i) {
        const landmarks::Point& p = specimen.points[i];
        // A markup named for a euryon is that cloud, whatever its points are labelled.
        if (!p.group.empty()) {
            auto [it, fresh] = groupTargets.try_emplace(p.group);
            if (fresh) it->second = MatchLabel(p.group, names);
            if (it->second.euryon != Euryon::None) {
                toCloud(p, p.group, it->second.euryon);
                continue;
            }
        }
        auto [known, fresh] = labelTargets.try_emplace(p.label);
        if (fresh) known->second = MatchLabel(p.label, names);
        const LabelTarget target = known->second;
        if (target.euryon != Euryon::None) {
            toCloud(p, LabelShown(p, i), target.euryon);
        } else if (target.row != 0) {
            const auto r = static_cast<std::size_t>(target.row - 1);
            if (rows[r] != nullptr) {
                throw EUserError(Msg::LandmarkDuplicate,
                                 {data_->name, std::string(Abbreviation(target.row)),
                                  LabelShown(*rows[r], rowPoint[r]), LabelShown(p, i)});
            }
            rows[r] = &p;
            rowPoint[r] = i;
        } else {
            loose.push_back(i);
        }
    }
    const bool anyRow = std::any_of(rows.begin(), rows.end(), [](auto* p) { return p != nullptr; });
    if (!anyRow && loose.size() == static_cast<std::size_t>(kLandmarkCount) &&
        std::all_of(loose.begin(), loose.end(), [&](std::size_t i) {
            return IsDefaultLabel(specimen.points[i].label, specimen.points[i].group);
        })) {
        report.orderAssumed = true;
        for (std::size_t r = 0; r < loose.size(); ++r) {
            rows[r] = &specimen.points[loose[r]];
            rowPoint[r] = loose[r];
        }
        loose.clear();
    }
    if (!anyRow && !report.orderAssumed && clouds[0].empty() && clouds[1].empty() &&
        cloudEntries.empty()) {
        std::vector<std::string> labels;
        for (std::size_t i : loose) labels.push_back(LabelShown(specimen.points[i], i));
        if (labels.empty()) throw EUserError(Msg::TextNoLandmarks, {data_->name});
        throw EUserError(Msg::LandmarkNoneMatched, {data_->name, QuotedLabels(labels, 8)});
    }
    // Each once, in file order; a set keeps a file of a million stray labels linear.
    std::set<std::string> seen;
    for (std::size_t i : loose) {
        const std::string label = LabelShown(specimen.points[i], i);
        if (seen.insert(label).second) report.unmatched.push_back(label);
    }

    // The mapping of the landmarks in file order, clouds where they first appeared.
    std::vector<std::pair<std::size_t, LandmarkLoadReport::Mapped>> landmarksMapped;
    for (int r = 0; r < kLandmarkCount; ++r) {
        const landmarks::Point* p = rows[static_cast<std::size_t>(r)];
        if (p == nullptr) continue;
        landmarksMapped.push_back({rowPoint[static_cast<std::size_t>(r)],
                                   {LabelShown(*p, rowPoint[static_cast<std::size_t>(r)]),
                                    std::string(Abbreviation(r + 1)), 1, p->missing}});
    }
    std::sort(landmarksMapped.begin(), landmarksMapped.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<LandmarkLoadReport::Mapped> mapping;
    for (auto& [i, m] : landmarksMapped) mapping.push_back(std::move(m));
    for (auto& m : report.mapping) mapping.push_back(std::move(m));
    report.mapping = std::move(mapping);

    const auto at = [&](int row) { return rows[static_cast<std::size_t>(row - 1)]; };
    if (at(kGlabella) != nullptr && at(kOpisthocranion) != nullptr && !at(kGlabella)->missing &&
        !at(kOpisthocranion)->missing) {
        const landmarks::Point& g = *at(kGlabella);
        const landmarks::Point& op = *at(kOpisthocranion);
        const double d =
            mm(1) * std::sqrt((g.x - op.x) * (g.x - op.x) + (g.y - op.y) * (g.y - op.y) +
                              (g.z - op.z) * (g.z - op.z));
        report.glabellaOpisthocranion = d;
        report.unitSuspect = !(d >= kSmallestSkull && d <= kLargestSkull);
    }

    // Nothing was written before here: a refused file leaves the workspace as it was.
    for (int row = 1; row <= kLandmarkCount; ++row) {
        const landmarks::Point* p = at(row);
        const double values[3] = {p ? p->x : 0, p ? p->y : 0, p ? p->z : 0};
        for (int a = 0; a < 3; ++a) {
            if (p == nullptr || p->missing) {
                ws.sgImput.ClearCell(kFirstCoordinateColumn + a, row);
            } else {
                ws.sgImput.SetNumber(kFirstCoordinateColumn + a, row, mm(values[a]));
            }
        }
    }
    TextTable* tables[2] = {&ws.sgImput2, &ws.sgImput3};
    for (int s = 0; s < 2; ++s) {
        TextTable& cloud = *tables[s];
        const auto& points = clouds[s];
        TextTable fresh(cloud.ColCount(),
                        std::max(kEuryonDefaultRows, static_cast<int>(points.size()) + 1));
        for (int c = 0; c < cloud.ColCount(); ++c) fresh.SetCell(c, 0, cloud.Cell(c, 0));
        for (std::size_t i = 0; i < points.size(); ++i) {
            const int r = static_cast<int>(i) + 1;
            fresh.SetNumber(0, r, mm(points[i]->x));
            fresh.SetNumber(1, r, mm(points[i]->y));
            fresh.SetNumber(2, r, mm(points[i]->z));
        }
        cloud = std::move(fresh);
    }
    report.euRightPoints = static_cast<int>(clouds[0].size());
    report.euLeftPoints = static_cast<int>(clouds[1].size());
    ClearResult(ws);
    return report;
}

bool IsLandmarkFile(const std::string& path) {
    if (landmarks::FormatOfFileName(path)) return true;
    const auto dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = path.substr(dot);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".txt" && IsMorphologikaFile(path);
}

std::vector<std::string> LandmarkFileSpecimens(const std::string& path,
                                               const LandmarkLoadOptions& options) {
    return LandmarkFileContents::Open(path, options).SpecimenNames();
}

LandmarkLoadReport LoadLandmarkFile(Workspace& ws, const std::string& path, int specimen,
                                    const LandmarkLoadOptions& options) {
    return LandmarkFileContents::Open(path, options).Load(ws, specimen);
}

std::string LandmarkMappingText(const LandmarkLoadReport& report, std::string_view lang) {
    const bool cz = lang == "cz";
    std::string text;
    for (const LandmarkLoadReport::Mapped& m : report.mapping) {
        if (!text.empty()) text += ", ";
        text += m.label + " \u2192 " + m.target;
        if (m.target.starts_with("EU")) {
            text += " (" + std::to_string(m.points) +
                    (cz              ? " b.)"
                     : m.points == 1 ? " point)"
                                     : " points)");
        } else if (m.missing) {
            text += " (" + Part(Msg::LandmarkPointMissing, lang) + ")";
        }
    }
    if (!report.unmatched.empty()) {
        if (!text.empty()) text += "; ";
        std::vector<std::string> labels;
        text += Part(Msg::LandmarkUnmatched, lang, {QuotedLabels(report.unmatched, 1000)});
    }
    return text;
}

std::string LandmarkLoadNotes(const LandmarkLoadReport& report, std::string_view lang) {
    std::vector<std::string> parts;
    parts.push_back(
        report.coordinateSystem.empty()
            ? Part(Msg::LandmarkNoSystem, lang, {report.format})
            : Part(Msg::LandmarkSystem, lang, {report.format, report.coordinateSystem}));
    if (report.specimenCount > 1) {
        parts.push_back(Part(
            Msg::LandmarkSpecimen, lang,
            {report.specimen.empty() ? std::to_string(report.specimenIndex + 1) : report.specimen,
             std::to_string(report.specimenIndex + 1), std::to_string(report.specimenCount)}));
    }
    if (report.unitAssumed) {
        parts.push_back(Part(Msg::LandmarkUnitAssumed, lang));
    } else if (*landmarks::UnitToMillimetres(report.unit) != 1) {
        parts.push_back(Part(Msg::LandmarkUnitConverted, lang, {report.unit}));
    }
    if (report.negativeMissing) parts.push_back(Part(Msg::TpsNegativeMissing, lang));
    if (report.orderAssumed) parts.push_back(Part(Msg::LandmarkOrderAssumed, lang));
    if (report.unitSuspect && report.glabellaOpisthocranion) {
        parts.push_back(Part(
            Msg::LandmarkUnitSuspect, lang,
            {FormatDecimal(*report.glabellaOpisthocranion, 1, true, lang == "cz" ? ',' : '.')}));
    }
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) text += "; ";
        text += part;
    }
    return text + ".";
}

void LoadFirstLandmarkSpecimen(Workspace& ws, const std::string& path) {
    LoadLandmarkFile(ws, path, 0);
}

bool IsLandmarkLoader(const Loader& loader) {
    return loader.loadText == &LoadFirstLandmarkSpecimen;
}

void LoadTxtFile(Workspace& ws, const std::string& path) {
    if (IsMorphologikaFile(path)) {
        LoadLandmarkFile(ws, path, 0);
    } else {
        LoadTextFile(ws, path);
    }
}

LandmarkNameTable ReadLandmarkNames(const std::string& path) {
    bool whole = false;
    const std::string bytes = ReadBytes(path, kReadLimit, whole);
    const std::string name = FileNameOf(path);
    if (!whole) throw EUserError(Msg::LandmarkTooLarge, {name});
    LandmarkNameTable table;
    const auto records = ParseCsvRecords(bytes, 100'000);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& [label, target, unused] = records[i];
        if (label.empty() && target.empty()) continue;
        if (!table.Add(label, target)) {
            if (i == 0) continue;  // a header: "label,landmark"
            throw EUserError(Msg::LandmarkNamesBad, {name, std::to_string(i + 1), target});
        }
    }
    return table;
}

std::vector<std::string> SpecimenLabels(const std::vector<std::string>& names) {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string number = "#" + std::to_string(i + 1);
        const bool repeated = std::count(names.begin(), names.end(), names[i]) > 1;
        labels.push_back(names[i].empty() ? number
                         : repeated       ? names[i] + " (" + number + ")"
                                          : names[i]);
    }
    return labels;
}

}  // namespace morvik::core
