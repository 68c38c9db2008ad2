// For the package readers' fuzz targets: a read with threads and one without must agree.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/Error.h"
#include "xls/XLSWorkbook.h"

namespace morvik::fuzzing {

// The error, if any, then sheet names and every cell's address and display text: what was read
// before an error stays in the workbook.
template <class ReadFn>
std::string ReadAsText(ReadFn read, const std::vector<std::uint8_t>& bytes,
                       std::uint64_t threadedFrom) {
    std::string out;
    xls::TWorkbook book;
    try {
        read(bytes, book, threadedFrom);
    } catch (const Error& e) {
        out += std::string("error: ") + e.what() + "\n";
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

// Reads on threads from the first byte and never on threads; stops the run on any difference.
template <class ReadFn>
void ReadBothWays(ReadFn read, const std::vector<std::uint8_t>& bytes) {
    const std::string threaded = ReadAsText(read, bytes, 0);
    const std::string serial = ReadAsText(read, bytes, UINT64_MAX);
    if (threaded != serial) {
        std::fprintf(stderr, "threaded:\n%s\none by one:\n%s\n", threaded.c_str(), serial.c_str());
        std::abort();
    }
}

}  // namespace morvik::fuzzing
