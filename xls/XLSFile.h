// The reader's entry object: owns a workbook and loads a workbook file into it.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "ReaderSettings.h"
#include "XLSReader.h"
#include "XLSWorkbook.h"

namespace morvik::xls {

class TXLSFile {
  public:
    // A workbook with one sheet, "Sheet1", the default reader options and `settings` for its
    // display texts and sizes.
    explicit TXLSFile(const TReaderSettings& settings = TReaderSettings{});
    ~TXLSFile();
    TXLSFile(const TXLSFile&) = delete;
    TXLSFile& operator=(const TXLSFile&) = delete;

    TWorkbook& Workbook() { return *workbook_; }
    const TWorkbook& Workbook() const { return *workbook_; }

    // Loads the file; on failure the exception reaches the caller and the workbook keeps
    // what was read before it (at least the clearing).
    void LoadFromFile(const std::string& fileName);
    // Loads a compound file held in memory.
    void LoadFromMemory(std::span<const std::uint8_t> bytes);
    // Empties the workbook: no sheets, built-in formats, default font.
    void Clear();

    TReaderOptions ReaderOptions;
    TProgressEvent OnProgress;  // unset by default

  private:
    std::unique_ptr<TWorkbook> workbook_;
};

}  // namespace morvik::xls
