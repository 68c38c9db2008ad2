// Bytes as an .xlsx package, read on threads and one by one, then every cell's display text. Bytes
// that are no zip archive become the parts of one, split at NUL bytes (sheet, shared strings,
// styles, workbook), so the fuzzer reaches the XML without having to get through deflate and
// checksums.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"
#include "zip/ZipArchive.h"

namespace {

// Sheet names, every cell's address and display text, and the error, if any.
std::string Read(const std::vector<std::uint8_t>& bytes, std::uint64_t threadedFrom) {
    std::string out;
    morvik::xls::TWorkbook book;
    try {
        morvik::xlsx::ReadXlsx(bytes, book, threadedFrom);
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
        const std::string text(reinterpret_cast<const char*>(data), size);
        std::vector<std::string> parts;
        for (std::size_t at = 0; parts.size() < 4;) {
            const auto nul = text.find('\0', at);
            parts.push_back(
                text.substr(at, nul == std::string::npos ? std::string::npos : nul - at));
            if (nul == std::string::npos) break;
            at = nul + 1;
        }
        std::map<std::string, std::string> given{{"xl/worksheets/sheet1.xml", parts[0]}};
        const char* names[] = {"", "xl/sharedStrings.xml", "xl/styles.xml", "xl/workbook.xml"};
        for (std::size_t i = 1; i < parts.size(); ++i) given[names[i]] = parts[i];
        const std::string package = morvik::testing::BuildXlsx({{"S", ""}}, given);
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
