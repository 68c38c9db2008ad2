#include "XLSFile.h"

namespace morvik::xls {

TXLSFile::TXLSFile(const TReaderSettings& settings)
    : workbook_(std::make_unique<TWorkbook>(1, settings)) {}

TXLSFile::~TXLSFile() = default;

void TXLSFile::LoadFromFile(const std::string& fileName) {
    TXLSReader reader(*workbook_);
    reader.SetOnProgress(OnProgress);
    reader.Read(fileName, ReaderOptions);
}

void TXLSFile::LoadFromMemory(std::span<const std::uint8_t> bytes) {
    TXLSReader reader(*workbook_);
    reader.SetOnProgress(OnProgress);
    reader.Read(bytes, ReaderOptions);
}

void TXLSFile::Clear() { workbook_->Clear(); }

}  // namespace morvik::xls
