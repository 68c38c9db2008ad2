// Reading one worksheet part into steps for the model, and reading the cell texts that the
// worksheets and the shared strings write alike. Inside the .xlsx reader only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "XlsxCommon.h"
#include "xls/CellValue.h"
#include "zip/XmlReader.h"
#include "zip/ZipArchive.h"

namespace morvik::xlsx {

// What reading a worksheet does to its sheet, step by step: the worksheet's parser hands these
// to whoever owns the model, which may be another thread. The parser itself touches nothing but
// its own part and what the workbook's other parts left fixed (shared strings, style flags).
struct CellStep {
    enum Kind : std::uint8_t { kValue, kSharedString, kFormat, kReserve };
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::int32_t style = 0;  // the cell's format; for kSharedString also the string's index
    std::uint32_t index = 0;
    Kind kind = kValue;
    xls::TCellValue value;
};

// What the worksheets' parsers share; fixed before the first of them starts.
struct SheetContext {
    std::shared_ptr<const std::vector<xls::TCellValue>>
        sharedStrings;  // empty values: texts too long
    std::vector<bool> xfIsDate;
    std::vector<bool> xfIsPlain;
    bool date1904 = false;
    std::atomic<std::int64_t>* budget = nullptr;  // the model's, in bytes
};

// Steps are handed over in batches, so that a thread waits once for thousands of cells.
constexpr std::size_t kBatchSteps = 2048;

using Batch = std::vector<CellStep>;

// Takes the batches of one worksheet's parser.
class StepSink {
  public:
    virtual ~StepSink() = default;
    // Takes the steps out of `batch`, leaving it empty.
    virtual void Deliver(Batch& batch) = 0;
};

// A worksheet to read: its part, and how much the archive has inflated before it when the
// sheets are read in order.
struct SheetJob {
    std::string part;
    std::uint64_t inflatedBefore = 0;
    std::string sheet;  // its name, for messages
};

// Reads one worksheet part into steps. Works on its own stream of the archive, so that two
// worksheets can be read at once.
class WorksheetParser {
  public:
    WorksheetParser(zip::TZipArchive& archive, const SheetContext& context, StepSink& sink)
        : archive_(archive), context_(context), sink_(sink) {
        batch_.reserve(kBatchSteps);
    }
    // Everything read before an error has been delivered when it propagates.
    void Run(const SheetJob& job) {
        sheet_ = job.sheet;
        try {
            Read(job);
        } catch (const zip::EXmlError& e) {
            DeliverAfterFault();
            // Where in the workbook the damage is: the sheet, and the last cell read.
            Fail("Sheet \"" + sheet_ + "\"" +
                 (row_ >= 0 && col_ >= 0 ? ", after cell " + zip::CellName(row_, col_) : "") +
                 ": " + e.what());
        } catch (...) {
            DeliverAfterFault();
            throw;
        }
        Deliver();
    }

  private:
    void Read(const SheetJob& job);
    // What was read before a fault, as far as the budget pays for it; the fault is the one
    // that propagates.
    void DeliverAfterFault() {
        try {
            Deliver();
        } catch (const EXlsxError&) {
        }
    }
    [[noreturn]] void CellFault(const std::string& what) const {
        Fail(zip::CellMessage(sheet_, row_, col_, what));
    }
    [[noreturn]] void SheetFault(const std::string& what) const {
        Fail("Sheet \"" + sheet_ + "\": " + what);
    }
    void StoreCell(std::int64_t row, std::int64_t col, std::string_view type, std::int64_t style,
                   bool hasValue, bool hasInline);
    void Emit(CellStep&& step) {
        pendingCost_ += kCellCost;
        if (const std::u16string* text = step.value.As<std::u16string>())
            pendingCost_ += 2 * static_cast<std::int64_t>(text->size());
        batch_.push_back(std::move(step));
        if (batch_.size() >= kBatchSteps) {
            Deliver();
            batch_.reserve(kBatchSteps);
        }
    }
    // Steps reach the model only once the budget has paid for them.
    void Deliver() {
        Spend(*context_.budget, pendingCost_);
        pendingCost_ = 0;
        sink_.Deliver(batch_);
    }

    zip::TZipArchive& archive_;
    const SheetContext& context_;
    StepSink& sink_;
    Batch batch_;
    std::string value_, inlineText_;
    std::string sheet_;
    std::int64_t row_ = -1, col_ = -1;  // the cell being read
    std::int64_t pendingCost_ = 0;      // of the steps in batch_
};

// A cell's text with its "_xHHHH_" escapes read back.
std::u16string UnescapeText(std::u16string units);

// The text of a rich text element (a shared string's <si>, a cell's <is>) appended to `out`.
// False for a text longer than any cell may hold; `skipRest`: the rest of the element is then
// read past, else reading stops there (the caller refuses the file).
bool ReadInlineString(zip::TXmlReader& r, std::string& out, bool skipRest);

}  // namespace morvik::xlsx
