#include "DataExchange.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "EquationSets.h"
#include "Loaders.h"
#include "text/Cp1250.h"
#include "text/Error.h"
#include "text/Platform.h"

namespace morvik::core {
namespace {

constexpr char kCtrlZ = 26;
constexpr int kFirstCoordinateColumn = 2;

std::string FileName(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// One line of the text file split at TAB or NUL into at most three fields.
std::array<std::string, 3> SplitCoordinates(std::string_view line) {
    std::array<std::string, 3> fields;
    std::size_t field = 0;
    for (char c : line) {
        if (c == '\t' || c == '\0') {
            ++field;
        } else if (field < fields.size()) {
            fields[field] += c;
        }
    }
    return fields;
}

void ConvertColumns(TextTable& table, int firstCol, int lastCol) {
    for (int r = 1; r < table.RowCount(); ++r) {
        for (int c = firstCol; c <= lastCol; ++c) {
            const std::string& text = table.Cell(c, r);
            if (text.find('.') != std::string::npos) table.SetCell(c, r, FirstPointToComma(text));
        }
    }
}

}  // namespace

void LoadTextFile(Workspace& ws, const std::string& path) {
    std::error_code ec;
    // A folder opens like a file here but reads as empty; say what it is instead.
    if (std::filesystem::is_directory(platform::PathFromUtf8(path), ec)) {
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(EISDIR));
    }
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) {
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    }
    TextTable& table = ws.sgImput;
    int row = 1;
    std::string line;
    bool endOfFile = false;
    // Read only as far as the table reaches: later lines would change nothing.
    while (!endOfFile && row < table.RowCount()) {
        line.clear();
        int c = 0;
        while ((c = in.get()) != std::char_traits<char>::eof() && c != '\r' && c != '\n' &&
               c != kCtrlZ) {
            line += static_cast<char>(c);
        }
        if (c == std::char_traits<char>::eof() || c == kCtrlZ) {
            endOfFile = true;
            if (line.empty()) break;  // no line begins at the end of the file
        } else if (c == '\r' && in.peek() == '\n') {
            in.get();  // CR LF is one line end, a lone CR another, as in a paste
        }
        if (in.bad()) {
            throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
        }
        const auto fields = SplitCoordinates(line);
        for (std::size_t f = 0; f < fields.size(); ++f) {
            table.SetCell(kFirstCoordinateColumn + static_cast<int>(f), row,
                          Cp1250ToUtf8(fields[f]));
        }
        ++row;
        if (in.peek() == std::char_traits<char>::eof()) endOfFile = true;
    }
    // The file is one skull: rows it does not reach must not keep the previous one's values.
    for (; row < table.RowCount(); ++row) {
        for (std::size_t f = 0; f < 3; ++f) {
            table.ClearCell(kFirstCoordinateColumn + static_cast<int>(f), row);
        }
    }
}

void ConvertDecimalPoints(Workspace& ws) {
    ConvertColumns(ws.sgImput, 2, 4);
    ConvertColumns(ws.sgImput2, 0, 2);
    ConvertColumns(ws.sgImput3, 0, 2);
}

FileKind KindOfFile(std::string_view path) {
    const Loader* loader = FindLoader(path);
    if (loader == nullptr) return FileKind::Other;
    return loader->openWorkbook != nullptr ? FileKind::Workbook : FileKind::Text;
}

void LoadFileCommand(Workspace& ws, const std::optional<std::string>& path,
                     const WorkbookImporter& importWorkbook) {
    const Loader* loader = path ? FindLoader(*path) : nullptr;
    if (loader != nullptr) {
        if (loader->openWorkbook != nullptr) {
            importWorkbook(ws, *path);
        } else {
            loader->loadText(ws, *path);
        }
    }
    ConvertDecimalPoints(ws);
    if (path && loader == nullptr) {
        throw Error("The file \"" + FileName(*path) + "\" was not loaded: only " +
                    LoadableExtensionsText() + " files can be loaded.");
    }
}

namespace {

// The next line of `text`, which loses it and its line end.
std::string_view NextLine(std::string_view& text) {
    const auto lineEnd = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, lineEnd);
    if (lineEnd == std::string_view::npos) {
        text = {};
    } else {
        const bool crlf =
            text[lineEnd] == '\r' && lineEnd + 1 < text.size() && text[lineEnd + 1] == '\n';
        text.remove_prefix(lineEnd + (crlf ? 2 : 1));
    }
    return line;
}

}  // namespace

PasteOutcome PasteText(TextTable& table, int anchorCol, int anchorRow, std::string_view text,
                       int maxRows) {
    if (maxRows > table.RowCount()) {
        long long lines = 0;
        for (std::string_view rest = text; !rest.empty(); NextLine(rest)) ++lines;
        const long long needed = std::min<long long>(anchorRow + lines, maxRows);
        if (needed > table.RowCount()) table.SetRowCount(static_cast<int>(needed));
    }
    PasteOutcome outcome;
    const int lastCol = table.ColCount() - 1;
    const int lastRow = table.RowCount() - 1;
    long long row = anchorRow - 1LL;
    while (!text.empty()) {
        ++row;
        std::string_view line = NextLine(text);
        long long col = anchorCol - 1LL;
        for (;;) {
            ++col;
            const auto tab = line.find('\t');
            const std::string_view field = line.substr(0, tab);
            if (col <= lastCol && row <= lastRow) {
                table.SetCell(static_cast<int>(col), static_cast<int>(row), field);
            } else if (!field.empty()) {
                ++outcome.unplaced;
            }
            if (tab == std::string_view::npos) break;
            line.remove_prefix(tab + 1);
        }
    }
    return outcome;
}

std::string CopyText(const TextTable& table, int left, int top, int right, int bottom) {
    std::string text;
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c) {
            if (c > left) text += '\t';
            text += table.Cell(c, r);
        }
        text += "\r\n";
    }
    return text;
}

void ClearTable(TextTable& table, int fixedCols, int fixedRows) {
    for (int r = fixedRows; r < table.RowCount(); ++r) {
        for (int c = fixedCols; c < table.ColCount(); ++c) table.ClearCell(c, r);
    }
}

}  // namespace morvik::core
