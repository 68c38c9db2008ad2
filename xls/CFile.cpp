#include "CFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CfbVolume.h"
#include "text/Platform.h"

namespace morvik::xls {

namespace {

std::string_view CFileMessage(std::uint8_t code) {
    return code < std::size(kCFileErrorMessages) ? kCFileErrorMessages[code] : std::string_view{};
}

}  // namespace

ECFileError::ECFileError(std::uint8_t code)
    : morvik::Error(std::string(CFileMessage(code)), code) {}

// ---- TCFile ----

TCFile::TCFile(const std::string& fileName, TCFileMode /*mode*/) : fileName_(fileName) {
    std::error_code ec;
    const std::filesystem::path path = platform::PathFromUtf8(fileName);
    if (!std::filesystem::is_regular_file(path, ec) || ec)
        throw ECFileError(kCFileCannotOpenDocfile);
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw ECFileError(kCFileCannotOpenDocfile);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ECFileError(kCFileCannotOpenDocfile);
    Build(std::make_shared<cfb::Volume>(cfb::FileSource(std::move(in), size)));
}

TCFile::TCFile(std::span<const std::uint8_t> bytes) {
    Build(std::make_shared<cfb::Volume>(cfb::MemorySource(bytes)));
}

TCFile::~TCFile() = default;

void TCFile::Build(std::shared_ptr<cfb::Volume> volume) {
    root_ = std::make_unique<TCFileStorage>("Root Entry");
    cfb::BuildTree(*volume, *root_);
}

}  // namespace morvik::xls
