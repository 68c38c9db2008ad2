// Feeds bytes as a measurement text file to the load command and as clipboard text to paste,
// then runs the decimal-point pass and the calculation over what arrived. Checks what must
// hold for any input: loaded cells are valid UTF-8 without separators or line ends, loading
// touches only the coordinate columns of the landmark rows, and paste writes nothing above or
// left of its anchor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compute/Compute.h"
#include "compute/Workspace.h"
#include "core/DataExchange.h"
#include "core/Messages.h"
#include "fuzz_workdir.h"
#include "text/Decimal.h"

namespace {

using morvik::TextTable;
using morvik::fuzz::Check;

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t length = lead < 0x80             ? 1
                             : (lead & 0xE0) == 0xC0 ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 0;
        if (length == 0 || length > s.size() - i) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// The calculation over whatever text arrived: a cell that is no number ends it with the
// conversion message, anything else must finish.
void CalculateTolerant(morvik::Workspace& ws) {
    try {
        morvik::Calculate(ws);
    } catch (const morvik::EConvertError&) {
    }
}

void FuzzLoad(std::string_view bytes) {
    static const morvik::fuzz::WorkDir dir;
    const std::string path = dir.Put("skull.txt", bytes);
    morvik::Workspace ws;
    const morvik::Workspace before;
    try {
        morvik::core::LoadTextFile(ws, path);
    } catch (const morvik::core::EUserError&) {
        // A refused file changes nothing.
        for (int r = 0; r < ws.sgImput.RowCount(); ++r)
            for (int c = 0; c < ws.sgImput.ColCount(); ++c)
                Check(ws.sgImput.Cell(c, r) == before.sgImput.Cell(c, r));
        return;
    }
    const TextTable& t = ws.sgImput;
    for (int r = 0; r < t.RowCount(); ++r) {
        for (int c = 0; c < t.ColCount(); ++c) {
            const std::string& cell = t.Cell(c, r);
            if (r == 0 || c < 2) {
                Check(cell == before.sgImput.Cell(c, r));
                continue;
            }
            Check(IsUtf8(cell));
            Check(cell.find_first_of(std::string_view("\t\r\n\x1A\0", 5)) == std::string::npos);
        }
    }
    morvik::core::ConvertDecimalPoints(ws);
    CalculateTolerant(ws);
}

void FuzzPaste(std::string_view text, int anchorCol, int anchorRow) {
    morvik::Workspace ws;
    TextTable& t = ws.sgImput2;
    t.SetRowCount(40);  // a short cloud keeps every input cheap; rows past it are dropped
    const TextTable before = t;
    morvik::core::PasteText(t, anchorCol, anchorRow, text);
    for (int r = 0; r < t.RowCount(); ++r) {
        for (int c = 0; c < t.ColCount(); ++c) {
            const std::string& cell = t.Cell(c, r);
            if (r < anchorRow || c < anchorCol) Check(cell == before.Cell(c, r));
            Check(cell.find_first_of("\t\r\n") == std::string::npos);
        }
    }
    morvik::core::ConvertDecimalPoints(ws);
    CalculateTolerant(ws);
    morvik::core::ClearTable(t, 0, 1);
    for (int r = 1; r < t.RowCount(); ++r) {
        for (int c = 0; c < t.ColCount(); ++c) Check(t.Cell(c, r).empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    FuzzLoad(bytes);
    // The first byte, when there is one, places the paste anchor (row 0 is the header).
    const int anchor = size == 0 ? 0 : data[0];
    FuzzPaste(bytes, anchor % 4, anchor / 4 % 42);
    return 0;
}
