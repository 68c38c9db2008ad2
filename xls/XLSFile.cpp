#include "XLSFile.h"

namespace morvik::xls {

TXLSFile::TXLSFile() : workbook_(std::make_unique<TWorkbook>(1)) {}

TXLSFile::~TXLSFile() = default;

void TXLSFile::LoadFromFile(const std::string& fileName) {
    TXLSReader reader(*this);
    reader.SetOnProgress(OnProgress);
    reader.Read(fileName, ReaderOptions);
}

void TXLSFile::LoadFromMemory(std::span<const std::uint8_t> bytes) {
    TXLSReader reader(*this);
    reader.SetOnProgress(OnProgress);
    reader.Read(bytes, ReaderOptions);
}

void TXLSFile::Clear() { workbook_->Clear(); }

}  // namespace morvik::xls
