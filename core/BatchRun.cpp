#include "BatchRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "Captions.h"
#include "CaseReport.h"
#include "Csv.h"
#include "EquationSets.h"
#include "Export.h"
#include "Loaders.h"
#include "Messages.h"
#include "compute/Compute.h"
#include "compute/Landmarks.h"
#include "text/Error.h"

namespace morvik::core {
namespace fs = std::filesystem;

namespace {

// Walks one folder without recursion on the stack and without following links to folders,
// which could lead back up the tree.
void WalkFolder(const std::string& root, std::vector<BatchInput>& out) {
    const std::size_t before = out.size();
    std::vector<fs::path> pending{fs::path(root)};
    while (!pending.empty()) {
        const fs::path folder = std::move(pending.back());
        pending.pop_back();
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
            std::error_code statusError;
            const fs::file_status status = it->symlink_status(statusError);
            if (fs::is_directory(status)) {
                pending.push_back(it->path());
            } else if (FindLoader(it->path().filename().string()) != nullptr) {
                if (fs::is_symlink(status) && fs::is_directory(it->path(), statusError)) continue;
                BatchInput input;
                input.path = it->path().string();
                input.relative = it->path().lexically_relative(root).generic_string();
                input.reportName = input.relative;
                out.push_back(std::move(input));
            }
        }
        if (ec) {
            BatchInput input;
            input.path = folder.string();
            input.relative = folder.lexically_relative(root).generic_string();
            input.error = "Cannot read folder \"" + folder.string() + "\". " + ec.message();
            out.push_back(std::move(input));
        }
    }
    if (out.size() == before) {
        BatchInput input;
        input.path = root;
        input.relative = root;
        input.error =
            "The folder \"" + root + "\" holds no " + LoadableExtensionsText() + " files.";
        out.push_back(std::move(input));
    }
}

std::string SafeFileNamePart(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '/' || c == '\\' || (static_cast<unsigned char>(c) < 0x20)) c = '_';
    }
    return out;
}

void AddField(std::string& out, std::string_view text) {
    out += ',';
    AppendCsvField(out, text);
}

void AddNumber(std::string& out, const std::optional<double>& value) {
    out += ',';
    if (value) out += CsvNumber(*value);
}

std::string EquationsInUse(const BatchSettings& settings) {
    std::string text;
    for (int number = 1; number <= kEquationCount; ++number) {
        if (!settings.use[static_cast<std::size_t>(ColumnOfEquation(number) - 1)]) continue;
        if (!text.empty()) text += ';';
        text += std::to_string(number);
    }
    return text;
}

void WriteReportOf(const std::string& folder, const BatchInput& input, SkullResult& skull,
                   bool allSheets) {
    try {
        const fs::path path = fs::path(folder) / ReportFileName(input, skull, allSheets);
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);  // a failure shows in the write below
        WriteReport(path.string(), skull.reportLines);
        WriteEvidence(path.string(), skull.evidenceLines);
    } catch (const std::exception& e) {
        SkullResult failed;
        failed.sheet = std::move(skull.sheet);
        failed.message = e.what();
        skull = std::move(failed);
    }
}

// The case report, named as the text report with ".pdf".
void WritePdfOf(const std::string& folder, const BatchInput& input, SkullResult& skull,
                bool allSheets) {
    try {
        const fs::path path =
            fs::path(folder) / CaseReportFileName(ReportFileName(input, skull, allSheets));
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);  // a failure shows in the write below
        WriteFileBytes(path.string(), skull.pdf);
    } catch (const std::exception& e) {
        SkullResult failed;
        failed.sheet = std::move(skull.sheet);
        failed.message = e.what();
        skull = std::move(failed);
    }
}

}  // namespace

std::vector<BatchInput> CollectInputs(const std::vector<std::string>& paths) {
    std::vector<BatchInput> inputs;
    for (const std::string& path : paths) {
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (fs::is_directory(status)) {
            WalkFolder(path, inputs);
            continue;
        }
        BatchInput input;
        input.path = path;
        input.relative = path;
        input.reportName = fs::path(path).filename().string();
        // A name with a loadable extension goes to the load command even when it does not
        // exist, so its row carries the window's own message.
        if (!fs::exists(status) && FindLoader(path) == nullptr)
            input.error = "Cannot open \"" + path + "\": there is no such file or folder.";
        inputs.push_back(std::move(input));
    }
    std::sort(inputs.begin(), inputs.end(),
              [](const BatchInput& a, const BatchInput& b) { return a.path < b.path; });
    inputs.erase(
        std::unique(inputs.begin(), inputs.end(),
                    [](const BatchInput& a, const BatchInput& b) { return a.path == b.path; }),
        inputs.end());

    // Files of the same name from different places must not overwrite each other's report.
    std::set<std::string> taken;
    for (BatchInput& input : inputs) {
        if (input.reportName.empty()) input.reportName = "report";
        std::string name = input.reportName;
        for (int n = 2; !taken.insert(name).second; ++n)
            name = input.reportName + " (" + std::to_string(n) + ")";
        input.reportName = std::move(name);
    }
    return inputs;
}

std::string ReportFileName(const BatchInput& input, const SkullResult& skull, bool allSheets) {
    std::string name = input.reportName;
    if ((allSheets || skull.specimen) && !skull.sheet.empty())
        name += "." + SafeFileNamePart(skull.sheet);
    return name + ".txt";
}

std::string BatchCsvHeader() {
    std::vector<std::string> names{"file",          "sheet",     "status",  "message",
                                   "set",           "equations", "missing", "eu_right_points",
                                   "eu_left_points"};
    for (const DimensionRow& row : kDimensionRows) names.emplace_back(row.nameEn);
    for (int e = 1; e <= kEquationCount; ++e) names.push_back("score_" + std::to_string(e));
    for (int e = 1; e <= kEquationCount; ++e) names.push_back("vote_" + std::to_string(e));
    names.emplace_back("verdict");
    // With a reference model: P(male), the typicality of each sex, the dimensions a refit
    // did without; empty without a model.
    for (const char* what : {"posterior_", "typicality_M_", "typicality_F_", "refit_"}) {
        for (int e = 1; e <= kEquationCount; ++e) names.push_back(what + std::to_string(e));
    }
    names.emplace_back("warnings");
    names.emplace_back("mapping");
    return CsvRecord(names);
}

std::string BatchCsvRecords(const BatchInput& input, const std::vector<SkullResult>& skulls,
                            const BatchSettings& settings) {
    const std::string setName(
        kEnglishCaptions.setNames[static_cast<std::size_t>(settings.set.value_or(kUniversalSet))]);
    const std::string equations = EquationsInUse(settings);
    std::string out;
    for (const SkullResult& skull : skulls) {
        AppendCsvField(out, input.path);
        AddField(out, skull.sheet);
        AddField(out, skull.ok ? "ok" : "error");
        AddField(out, skull.message);
        if (!skull.ok) {
            // The set, the equations and every measured value stay empty.
            out.append(5 + kDimensionCount + 2 * kEquationCount + 1 + 4 * kEquationCount + 1, ',');
            AddField(out, skull.mapping);
            out += "\r\n";
            continue;
        }
        AddField(out, setName);
        AddField(out, equations);
        std::string missing;
        for (const LandmarkRow& landmark : kLandmarks) {
            if (!skull.missing.test(static_cast<std::size_t>(landmark.row - 1))) continue;
            if (!missing.empty()) missing += ';';
            missing += landmark.abbreviation;
        }
        AddField(out, missing);
        AddField(out, std::to_string(skull.euRightPoints));
        AddField(out, std::to_string(skull.euLeftPoints));
        for (const auto& value : skull.dimensions) AddNumber(out, value);
        for (const auto& score : skull.scores) AddNumber(out, score);
        for (char vote : skull.votes) AddField(out, vote ? std::string(1, vote) : std::string());
        AddField(out, VerdictName(skull.verdict));
        for (const auto& p : skull.posteriorMale) AddNumber(out, p);
        for (const auto& t : skull.typicalityMale) AddNumber(out, t);
        for (const auto& t : skull.typicalityFemale) AddNumber(out, t);
        for (const auto& lost : skull.refitLost) {
            std::string names;
            for (std::size_t d = 0; lost && d < kDimensionRows.size(); ++d) {
                if (!lost->test(d)) continue;
                if (!names.empty()) names += ';';
                names += kDimensionRows[d].nameEn;
            }
            AddField(out, names);
        }
        std::string warnings;
        for (const std::string& w : skull.warnings) warnings += (warnings.empty() ? "" : " | ") + w;
        AddField(out, warnings);
        AddField(out, skull.mapping);
        out += "\r\n";
    }
    return out;
}

void RunBatch(const std::vector<BatchInput>& inputs, const Workspace& start,
              const BatchSettings& settings, const BatchRunOptions& options,
              const std::function<void(const BatchInput&, std::vector<SkullResult>&)>& deliver,
              const std::function<void(std::size_t delivered)>& progress) {
    const int jobs = std::max(1, options.jobs);
    // Enough finished files to keep every worker busy while the writer catches up, and no
    // more: memory stays the same for ten files or a million.
    const std::size_t window = 4 * static_cast<std::size_t>(jobs);
    const std::size_t count = inputs.size();

    std::mutex mutex;
    std::condition_variable ready;  // a slot was filled
    std::condition_variable room;   // a slot was emptied, or the run stops
    std::vector<std::optional<std::vector<SkullResult>>> slots(window);
    std::size_t claimed = 0, delivered = 0;
    bool stop = false;

    const auto work = [&] {
        Session session;
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex);
                room.wait(lock,
                          [&] { return stop || claimed >= count || claimed < delivered + window; });
                if (stop || claimed >= count) return;
                index = claimed++;
            }
            const BatchInput& input = inputs[index];
            std::vector<SkullResult> skulls;
            try {
                if (!input.error.empty()) throw Error(input.error);
                skulls = ProcessFile(session, start, input.path, settings);
                if (!options.reportsDir.empty()) {
                    for (SkullResult& skull : skulls)
                        if (skull.ok)
                            WriteReportOf(options.reportsDir, input, skull, settings.allSheets);
                }
                if (!options.pdfDir.empty()) {
                    for (SkullResult& skull : skulls)
                        if (skull.ok) WritePdfOf(options.pdfDir, input, skull, settings.allSheets);
                }
                for (SkullResult& skull : skulls) {
                    skull.reportLines = {};
                    skull.evidenceLines = {};
                    skull.pdf = {};
                }
            } catch (const std::exception& e) {
                skulls.assign(1, SkullResult{});
                skulls[0].message = e.what();
            }
            {
                std::lock_guard lock(mutex);
                slots[index % window] = std::move(skulls);
            }
            ready.notify_one();
        }
    };

    std::vector<std::thread> workers;
    const auto finish = [&] {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        room.notify_all();
        for (std::thread& worker : workers) worker.join();
    };
    try {
        for (int i = 0; i < jobs; ++i) workers.emplace_back(work);
        for (std::size_t index = 0; index < count; ++index) {
            std::vector<SkullResult> skulls;
            {
                std::unique_lock lock(mutex);
                auto& slot = slots[index % window];
                while (!ready.wait_for(lock, std::chrono::milliseconds(100),
                                       [&] { return slot.has_value(); })) {
                    lock.unlock();
                    if (progress) progress(delivered);
                    lock.lock();
                }
                skulls = std::move(*slot);
                slot.reset();
                ++delivered;
            }
            room.notify_all();
            deliver(inputs[index], skulls);
            if (progress) progress(index + 1);
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace morvik::core
