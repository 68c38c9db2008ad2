// The workbook record reader: one pass over the records of a workbook stream into the
// workbook model, then the defined names and the formula texts.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "BiffStream.h"

namespace morvik::xls {

class TWorkbook;

struct TReaderOptions {
    bool ReadBlankCells = true;   // BLANK and MULBLANK make formatted empty cells
    bool ReadRowInfo = true;      // ROW records size, hide, group and format rows
    bool ReadColumnInfo = true;   // COLINFO records do the same for columns
    bool ReadFormulas = true;     // formula tokens are kept and rendered as text
    bool StrictFormulas = false;  // a formula that cannot be rendered fails the load (code 13)
};

// A 32-bit RK number: a 30-bit integer or the upper half of a double, optionally / 100.
double DecodeRK(std::uint32_t rk);

// A date serial as files store it (1 = 1900-01-01, with the phantom 1900-02-29 as 60) to
// days since 1899-12-30. Serials 60 and 61 both land on 1900-03-01.
double DateFromSerial(double serial);

// Whether a number format text shows dates or times: it holds date or time codes (y, m, d,
// h, s) outside its literal parts, more of them than digit placeholders (0, #, ?).
bool FormatTextIsDate(std::string_view pattern);

// The left, centre and right sections of a page header or footer text ("&L..&C..&R..").
// A section whose code does not occur stays unset.
struct THeaderSections {
    bool HasLeft = false, HasCenter = false, HasRight = false;
    std::string Left, Center, Right;
};
THeaderSections SplitHeaderSections(std::string_view text);

// Most cells that merged areas of one load may mark: this many, plus one per four bytes of
// the workbook stream (real workbooks merge a few thousand cells at most). A merged area of
// a whole sheet would otherwise create 16 million cells, and even a fixed budget would cost
// a tiny file a good part of a second; areas beyond the budget are kept as ranges unmerged.
inline constexpr std::int64_t kMergedCellBudget = 65'536;

class TXLSReader {
  public:
    // Loads into `workbook`, which must outlive the reader.
    explicit TXLSReader(TWorkbook& workbook);
    ~TXLSReader();
    TXLSReader(const TXLSReader&) = delete;
    TXLSReader& operator=(const TXLSReader&) = delete;

    void SetOnProgress(TProgressEvent onProgress) { onProgress_ = std::move(onProgress); }

    // Clears the workbook and loads the compound file `fileName` into it. A compound file
    // that cannot be read raises EXLSError kErrCompoundFile with that layer's message.
    void Read(const std::string& fileName, const TReaderOptions& options);
    // The same for a compound file held in memory.
    void Read(std::span<const std::uint8_t> bytes, const TReaderOptions& options);

    // The state of one load; public only so that its dispatch table can name the handlers.
    class Loader;

  private:
    void ReadCompound(class TCFile& file, const TReaderOptions& options);

    TWorkbook& workbook_;
    TProgressEvent onProgress_;
};

}  // namespace morvik::xls
