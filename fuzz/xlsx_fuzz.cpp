// Bytes as an .xlsx package, read on threads and one by one, then every cell's display text. Bytes
// that are no zip archive become the parts of one, split at NUL bytes (sheet, shared strings,
// styles, workbook), so the fuzzer reaches the XML without having to get through deflate and
// checksums.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/threaded_read.h"
#include "tests/ooxml/package_builder.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"
#include "zip/ZipArchive.h"

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
    morvik::fuzzing::ReadBothWays([](const auto& b, auto& book,
                                     std::uint64_t from) { morvik::xlsx::ReadXlsx(b, book, from); },
                                  bytes);
    return 0;
}
