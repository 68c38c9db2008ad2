// Bytes as an .ods package, then every cell's display text. Bytes that are no zip archive
// become its content.xml, stored, so the fuzzer reaches the XML directly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
    try {
        morvik::xls::TWorkbook book;
        morvik::ods::ReadOds(bytes, book);
        const auto& sheets = book.Sheets();
        for (int s = 0; s < sheets.Count(); ++s) {
            const auto& cells = sheets.Items(s).Cells();
            for (int i = 0; i < cells.Count(); ++i) (void)cells.Items(i).DisplayText();
        }
    } catch (const morvik::Error&) {
    }
    return 0;
}
