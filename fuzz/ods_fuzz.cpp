// Bytes as an .ods package, read on threads and one by one, then every cell's display text. Bytes
// that are no zip archive become its content.xml, stored, so the fuzzer reaches the XML directly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/threaded_read.h"
#include "ods/OdsReader.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "zip/ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    if (!morvik::zip::TZipArchive::LooksLikeZip(bytes)) {
        const std::string package = morvik::testing::BuildZip(
            {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
             {"content.xml", std::string(reinterpret_cast<const char*>(data), size), false}});
        bytes.assign(package.begin(), package.end());
    }
    morvik::fuzzing::ReadBothWays(
        [](const auto& b, auto& book, std::uint64_t from) { morvik::ods::ReadOds(b, book, from); },
        bytes);
    return 0;
}
