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
constexpr std::size_t kCsvReadLimit = 4u << 20;

// Whether the bytes are well-formed UTF-8 (plain ASCII is).
bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        if (n == 0 || b > 0xF4 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        // Overlong three- and four-byte forms and surrogates.
        const auto c = static_cast<unsigned char>(s[i + 1]);
        if ((b == 0xE0 && c < 0xA0) || (b == 0xED && c >= 0xA0) || (b == 0xF0 && c < 0x90) ||
            (b == 0xF4 && c >= 0x90))
            return false;
        i += n;
    }
    return true;
}

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
            table.FirstPointToComma(c, r);
        }
    }
}

}  // namespace

std::ifstream OpenInputFile(const std::string& path) {
    std::error_code ec;
    // A folder opens like a file here but reads as empty; say what it is instead.
    if (std::filesystem::is_directory(platform::PathFromUtf8(path), ec)) {
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(EISDIR));
    }
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) {
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    }
    return in;
}

void LoadTextFile(Workspace& ws, const std::string& path) {
    std::ifstream in = OpenInputFile(path);
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

std::vector<std::array<std::string, 3>> ParseCsvRecords(std::string_view bytes,
                                                        std::size_t maxRecords) {
    std::vector<std::array<std::string, 3>> records;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const bool utf8 = IsValidUtf8(bytes);

    // Where the records of interest end, and whether a ';' stands outside quotes there.
    char separator = ',';
    {
        bool quoted = false;
        std::size_t lines = 0;
        for (std::size_t i = 0; i < bytes.size() && lines < maxRecords; ++i) {
            const char c = bytes[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && c == ';') {
                separator = ';';
                break;
            } else if (!quoted && c == '\n') {
                ++lines;
            }
        }
    }

    std::array<std::string, 3> fields;
    std::size_t field = 0;
    bool quoted = false, fieldStarted = false, pending = false;
    const auto endField = [&]() {
        ++field;
        fieldStarted = false;
    };
    const auto endRecord = [&]() {
        for (auto& f : fields) f = utf8 ? f : Cp1250ToUtf8(f);
        records.push_back(std::move(fields));
        fields = {};
        field = 0;
        fieldStarted = false;
        pending = false;
    };
    for (std::size_t i = 0; i < bytes.size() && records.size() < maxRecords; ++i) {
        const char c = bytes[i];
        pending = true;
        if (quoted) {
            if (c != '"') {
                if (field < fields.size()) fields[field] += c;
            } else if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                if (field < fields.size()) fields[field] += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            endRecord();
        } else {
            // A quote inside an unquoted field is taken as it stands.
            if (field < fields.size()) fields[field] += c;
            fieldStarted = true;
        }
    }
    // The last record needs no line end; a line end at the very end starts no record.
    if (pending && records.size() < maxRecords) endRecord();
    return records;
}

void LoadCsvFile(Workspace& ws, const std::string& path) {
    std::ifstream in = OpenInputFile(path);
    // The landmark table's records come first; what lies past a few megabytes is never
    // read into it, whatever the file's size.
    std::string bytes(kCsvReadLimit, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    TextTable& table = ws.sgImput;
    const auto rows = static_cast<std::size_t>(std::max(table.RowCount() - 1, 0));
    const auto records = ParseCsvRecords(bytes, rows);
    for (std::size_t r = 0; r < records.size(); ++r) {
        for (std::size_t f = 0; f < records[r].size(); ++f) {
            table.SetCell(kFirstCoordinateColumn + static_cast<int>(f), static_cast<int>(r) + 1,
                          records[r][f]);
        }
    }
    // As for the text file: rows the file does not reach keep nothing of the last skull.
    for (int row = static_cast<int>(records.size()) + 1; row < table.RowCount(); ++row) {
        for (int f = 0; f < 3; ++f) table.ClearCell(kFirstCoordinateColumn + f, row);
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
