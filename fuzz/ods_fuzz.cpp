// Bytes as an .ods package, read on threads and one by one, then every cell's display text. Bytes
// that are no zip archive become its content.xml, stored, so the fuzzer reaches the XML directly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ods/OdsReader.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "zip/ZipArchive.h"

namespace {

// Sheet names, every cell's address and display text, and the error, if any.
std::string Read(const std::vector<std::uint8_t>& bytes, std::uint64_t threadedFrom) {
    std::string out;
    morvik::xls::TWorkbook book;
    try {
        morvik::ods::ReadOds(bytes, book, threadedFrom);
    } catch (const morvik::Error& e) {
        out += std::string("error: ") + e.what() + "\n";  // what was read before it stays
    }
    const auto& sheets = book.Sheets();
    for (int s = 0; s < sheets.Count(); ++s) {
        const auto& name = sheets.Items(s).Name();
        out.append(reinterpret_cast<const char*>(name.data()), name.size() * 2).push_back('\n');
        const auto& cells = sheets.Items(s).Cells();
        for (int i = 0; i < cells.Count(); ++i) {
            const auto& cell = cells.Items(i);
            out += std::to_string(cell.Row()) + "," + std::to_string(cell.Col()) + " " +
                   cell.DisplayText() + "\n";
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    if (!morvik::zip::TZipArchive::LooksLikeZip(bytes)) {
        const std::string package = morvik::testing::BuildZip(
            {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
             {"content.xml", std::string(reinterpret_cast<const char*>(data), size), false}});
        bytes.assign(package.begin(), package.end());
    }
    // Read on threads and one by one: the two must give the same workbook or the same error.
    const std::string threaded = Read(bytes, 0);
    const std::string serial = Read(bytes, UINT64_MAX);
    if (threaded != serial) {
        std::fprintf(stderr, "threaded:\n%s\none by one:\n%s\n", threaded.c_str(), serial.c_str());
        std::abort();
    }
    return 0;
}
