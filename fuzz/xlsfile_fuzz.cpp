// Whole-workbook load from arbitrary bytes: compound file, record stream, record reader,
// names and formula passes, then every cell's display text and formula text. Any exception derived
// from std::exception is a clean refusal; crashes, hangs and sanitizer reports are findings.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>

#include "xls/XLSFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        morvik::xls::TXLSFile file;
        file.LoadFromMemory(std::span<const std::uint8_t>(data, size));
        const auto& sheets = file.Workbook().Sheets();
        for (int s = 0; s < sheets.Count(); ++s) {
            const auto& cells = sheets.Items(s).Cells();
            for (int i = 0; i < cells.Count(); ++i) {
                (void)cells.Items(i).DisplayText();
                (void)cells.Items(i).Formula();
            }
        }
    } catch (const std::exception&) {
    }
    return 0;
}
