#include "SheetFill.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "text/Cp1250.h"
#include "xls/XLSWorkbook.h"
#include "zip/BatchChannel.h"

namespace morvik::xlsx {
namespace {

using xls::TCell;
using xls::TCellValue;
using xls::TSheet;
using xls::TWorkbook;

// Batches a parser may be ahead of the model, per sheet: bounds the memory of a sheet that
// waits for the sheets before it (about 20 MB). Room for a large part of a sheet lets the
// second parser work on the next sheet while the model is filled from the first.
constexpr std::size_t kBatchesAhead = 256;

// Applies steps to the sheet's cells; the model's own errors come from here.
void ApplySteps(const SheetContext& context,
                const std::shared_ptr<const std::vector<TCellValue>>& keeper, TSheet& sheet,
                Batch& batch) {
    xls::TCells& cells = sheet.Cells();
    for (CellStep& step : batch) {
        switch (step.kind) {
            case CellStep::kReserve:
                cells.Reserve(step.index);
                break;
            case CellStep::kFormat:
                // A formatted empty cell joins the sheet as the Excel 97 reader's blanks do.
                cells.Cell(step.row, step.col).SetXFIndex(step.style);
                break;
            case CellStep::kSharedString: {
                TCell& cell = cells.Cell(step.row, step.col);
                if (cell.XFIndex() != step.style) cell.SetXFIndex(step.style);
                // The table outlives the cells: no count per cell for a text many of them show.
                cells.SetBorrowedValue(cell, (*context.sharedStrings)[step.index], keeper);
                break;
            }
            case CellStep::kValue: {
                TCell& cell = cells.Cell(step.row, step.col);
                if (cell.XFIndex() != step.style) cell.SetXFIndex(step.style);
                cell.SetValue(std::move(step.value));
                break;
            }
        }
    }
    batch.clear();
}

// The serial way: steps go to the model as they come.
class DirectSink final : public StepSink {
  public:
    DirectSink(const SheetContext& context, TSheet& sheet) : context_(context), sheet_(sheet) {}
    void Deliver(Batch& batch) override {
        // Taken out first: a step the model refuses ends the sheet, and what followed it in
        // the batch must not be applied by the caller's clean-up.
        Batch steps = std::move(batch);
        batch.clear();
        ApplySteps(context_, context_.sharedStrings, sheet_, steps);
    }

  private:
    const SheetContext& context_;
    TSheet& sheet_;
};

// One worksheet's batches on their way from its parser's thread to the model's.
class SheetChannel final : public StepSink {
  public:
    void Deliver(Batch& batch) override {
        if (!batch.empty()) channel.Put(batch);
    }
    zip::TBatchChannel<Batch> channel{kBatchesAhead};
};

}  // namespace

void FillSheets(zip::TZipArchive& archive, const SheetContext& context, TWorkbook& workbook,
                const std::vector<std::u16string>& names, const std::vector<std::string>& parts,
                std::uint64_t threadedFrom) {
    int nextSubstitute = 0;  // see zip::AddSheet
    std::vector<SheetJob> jobs;
    std::vector<int> jobOf(parts.size(), -1);
    std::uint64_t inflated = archive.Inflated();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        jobOf[i] = static_cast<int>(jobs.size());
        jobs.push_back({parts[i], inflated, Utf16ToUtf8(names[i])});
        // A sheet read whole inflates its declared size; one that is not ends the reading
        // there, and the sheets after it never count.
        try {
            if (const zip::TZipEntry* e = archive.Find(parts[i])) inflated += e->Size;
        } catch (const zip::EZipError&) {
            // Its parser meets the same error in its turn.
        }
    }
    const std::uint64_t xmlBytes = inflated - archive.Inflated();

    const auto oneByOne = [&] {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            TSheet& sheet = zip::AddSheet(workbook.Sheets(), names[i], nextSubstitute);
            if (jobOf[i] < 0) continue;
            DirectSink sink(context, sheet);
            WorksheetParser(archive, context, sink).Run(jobs[static_cast<std::size_t>(jobOf[i])]);
        }
    };
    if (jobs.empty() || xmlBytes < threadedFrom || std::thread::hardware_concurrency() < 2)
        return oneByOne();

    // The parsers run ahead on two threads, a sheet each, the next free one taking the next
    // sheet; this thread fills the model in sheet order. The model is touched here only, and
    // the first sheet in order that fails decides the error, as when read one by one.
    std::vector<std::unique_ptr<SheetChannel>> channels;
    for (std::size_t j = 0; j < jobs.size(); ++j)
        channels.push_back(std::make_unique<SheetChannel>());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    const auto work = [&] {
        for (;;) {
            const std::size_t j = next.fetch_add(1);
            if (j >= jobs.size() || stop.load()) return;
            SheetChannel& channel = *channels[j];
            try {
                WorksheetParser(archive, context, channel).Run(jobs[j]);
                channel.channel.Finish(nullptr);
            } catch (const zip::TChannelCancelled&) {
                return;
            } catch (...) {
                channel.channel.Finish(std::current_exception());
            }
        }
    };
    std::vector<std::thread> threads;
    struct Joiner {
        std::vector<std::thread>& threads;
        std::vector<std::unique_ptr<SheetChannel>>& channels;
        std::atomic<bool>& stop;
        ~Joiner() {
            stop.store(true);
            for (auto& c : channels) c->channel.Cancel();
            for (auto& t : threads) t.join();
        }
    } joiner{threads, channels, stop};
    const std::size_t workers = std::min<std::size_t>(2, jobs.size());
    try {
        for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work);
    } catch (const std::system_error&) {
        // One thread parses all sheets in turn; with none, they are read here.
        if (threads.empty()) return oneByOne();
    }

    Batch batch;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        TSheet& sheet = zip::AddSheet(workbook.Sheets(), names[i], nextSubstitute);
        if (jobOf[i] < 0) continue;
        SheetChannel& channel = *channels[static_cast<std::size_t>(jobOf[i])];
        while (channel.channel.Take(batch))
            ApplySteps(context, context.sharedStrings, sheet, batch);
        channel.channel.RethrowError();
    }
}

}  // namespace morvik::xlsx
