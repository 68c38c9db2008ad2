// A batch run over many files: the files a list of paths names, workers that compute them in
// parallel, and the rows handed on in the files' order as soon as each is ready.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "Batch.h"

namespace morvik::core {

struct BatchInput {
    std::string path;        // as the table shows it: the path given, or folder / relative
    std::string relative;    // within the folder it was found in; the path itself if given
    std::string reportName;  // file name of its report, unique within the run
    std::string error;       // set when the path names nothing to load
};

// The files the paths name, sorted by path, each once. A folder is walked, not following
// links to folders, for the extensions of the loader table; a folder holding none of them or
// one that cannot be read becomes an input with an error.
std::vector<BatchInput> CollectInputs(const std::vector<std::string>& paths);

// The report file of a skull: reportName, with the sheet's name when every sheet counts.
std::string ReportFileName(const BatchInput& input, const SkullResult& skull, bool allSheets);

// The CSV's header record and the records of one file's skulls.
std::string BatchCsvHeader();
std::string BatchCsvRecords(const BatchInput& input, const std::vector<SkullResult>& skulls,
                            const BatchSettings& settings);

struct BatchRunOptions {
    int jobs = 1;
    std::string reportsDir;  // empty: no reports
    std::string pdfDir;      // empty: no case reports (settings.pdf makes them)
};

// Computes every input on `jobs` worker threads, each with its own session, and calls
// `deliver` on the calling thread for input 0, 1, 2... as each becomes ready. At most a few
// inputs per worker are held at a time, however many there are. `progress` is called on the
// calling thread with the number delivered so far, after each delivery and while waiting.
// Reports are written by the workers; a report that cannot be written turns its skull into
// an error. An exception from `deliver` stops the workers and is rethrown.
void RunBatch(const std::vector<BatchInput>& inputs, const Workspace& start,
              const BatchSettings& settings, const BatchRunOptions& options,
              const std::function<void(const BatchInput&, std::vector<SkullResult>&)>& deliver,
              const std::function<void(std::size_t delivered)>& progress);

}  // namespace morvik::core
