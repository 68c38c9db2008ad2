#include "DataExchange.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "EquationSets.h"
#include "Loaders.h"
#include "Messages.h"
#include "compute/Landmarks.h"
#include "text/Cp1250.h"
#include "text/Decimal.h"
#include "text/Error.h"
#include "text/Platform.h"
#include "text/Utf8.h"

namespace morvik::core {
namespace {

constexpr char kCtrlZ = 26;
constexpr int kFirstCoordinateColumn = 2;
constexpr std::size_t kCsvReadLimit = 4u << 20;

using Fields = std::array<std::string, 3>;

// One line of the text file split at TAB or NUL into at most three fields.
Fields SplitCoordinates(std::string_view line) {
    Fields fields;
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

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// What a calculation will read as a number: the cell's own reader decides, so that a load
// refuses exactly what Calculate would.
bool IsNumber(const std::string& text) {
    try {
        return std::isfinite(ParseDecimal(text));
    } catch (const EConvertError&) {
        return false;
    }
}

// The lines of a text or comma-separated file as landmarks, one a line: a first line of
// words alone is a header, a field that is no number refuses the file at once, and lines past
// the 22nd must be empty. Nothing reaches the workspace before the whole file was read.
class LandmarkLines {
  public:
    explicit LandmarkLines(std::string fileName) : fileName_(std::move(fileName)) {}

    // The first three fields (UTF-8) of the file's line `line` (1-based).
    void Take(long long line, Fields fields) {
        for (std::string& field : fields) field = std::string(TrimBlanks(field));
        const bool first = first_;
        first_ = false;
        if (first && IsHeader(fields)) return;
        const bool empty = std::all_of(fields.begin(), fields.end(),
                                       [](const std::string& f) { return f.empty(); });
        if (rows_.size() == kLandmarkCount) {
            if (!empty) throw EUserError(Msg::TextTooManyLines, {fileName_, std::to_string(line)});
            return;
        }
        for (std::size_t axis = 0; axis < fields.size(); ++axis) {
            if (fields[axis].empty() || IsNumber(fields[axis])) continue;
            const LandmarkRow& landmark = kLandmarks[rows_.size()];
            throw EUserError(Msg::TextNotNumber,
                             {fileName_, std::to_string(line), std::string(landmark.abbreviation),
                              std::string(TrimBlanks(landmark.nameCz)),
                              std::string(1, static_cast<char>('X' + axis)),
                              QuoteStart(fields[axis], 40), std::string(landmark.nameEn)});
        }
        anyValue_ = anyValue_ || !empty;
        rows_.push_back(std::move(fields));
    }

    // The landmarks into rows 1..22 (rows the file does not reach emptied) and both clouds
    // emptied below their headers: the file is the whole skull.
    void Apply(Workspace& ws) const {
        if (!anyValue_) throw EUserError(Msg::TextNoLandmarks, {fileName_});
        for (int row = 1; row <= kLandmarkCount; ++row) {
            const auto i = static_cast<std::size_t>(row - 1);
            for (int f = 0; f < 3; ++f) {
                ws.sgImput.SetCell(kFirstCoordinateColumn + f, row,
                                   i < rows_.size() ? rows_[i][static_cast<std::size_t>(f)] : "");
            }
        }
        for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
            TextTable fresh(cloud->ColCount(), kEuryonDefaultRows);
            for (int c = 0; c < cloud->ColCount(); ++c) fresh.SetCell(c, 0, cloud->Cell(c, 0));
            *cloud = std::move(fresh);
        }
    }

  private:
    static bool IsHeader(const Fields& fields) {
        return std::any_of(fields.begin(), fields.end(),
                           [](const std::string& f) { return !f.empty(); }) &&
               std::none_of(fields.begin(), fields.end(),
                            [](const std::string& f) { return !f.empty() && IsNumber(f); });
    }

    std::string fileName_;
    bool first_ = true;
    bool anyValue_ = false;
    std::vector<Fields> rows_;
};

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
        throw ESystemError(FileAction::Open, path, EISDIR);
    }
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) throw ESystemError(FileAction::Open, path, errno);
    return in;
}

void LoadTextFile(Workspace& ws, const std::string& path) {
    std::ifstream in = OpenInputFile(path);
    LandmarkLines lines(FileNameOf(path));
    long long number = 0;
    std::string line;
    bool endOfFile = false;
    // Lines past the 22nd are read only while they are empty: the first that is not ends it.
    while (!endOfFile) {
        line.clear();
        int c = 0;
        while ((c = in.get()) != std::char_traits<char>::eof() && c != '\r' && c != '\n' &&
               c != kCtrlZ) {
            line += static_cast<char>(c);
        }
        if (in.bad()) throw ESystemError(FileAction::Read, path, errno);
        if (c == std::char_traits<char>::eof() || c == kCtrlZ) {
            endOfFile = true;
            if (line.empty()) break;  // no line begins at the end of the file
        } else if (c == '\r' && in.peek() == '\n') {
            in.get();  // CR LF is one line end, a lone CR another, as in a paste
        }
        Fields fields = SplitCoordinates(line);
        for (std::string& field : fields) field = Cp1250ToUtf8(field);
        lines.Take(++number, std::move(fields));
        if (in.peek() == std::char_traits<char>::eof()) endOfFile = true;
    }
    lines.Apply(ws);
}

namespace {

// Every record of comma-separated bytes in turn, as its first three fields in UTF-8 with the
// line it begins on and how many fields it has (0 for an empty line), until `take` returns
// false. The separator is decided from the first `separatorLines` lines. A NUL byte, which
// would end a message quoting the field, is kept as U+2400.
template <typename Take>
void ParseCsv(std::string_view bytes, std::size_t separatorLines, Take take) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const bool utf8 = IsValidUtf8(bytes);

    // Whether a ';' stands outside quotes in the records of interest.
    char separator = ',';
    {
        bool quoted = false;
        std::size_t lines = 0;
        for (std::size_t i = 0; i < bytes.size() && lines < separatorLines; ++i) {
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

    Fields fields;
    std::size_t field = 0;
    bool quoted = false, fieldStarted = false, pending = false, more = true;
    bool anyText = false;  // the record has more than blanks
    long long line = 1, recordLine = 1;
    const auto endField = [&]() {
        ++field;
        fieldStarted = false;
    };
    const auto endRecord = [&]() {
        for (auto& f : fields) {
            if (!utf8) f = Cp1250ToUtf8(f);
            for (std::size_t at; (at = f.find('\0')) != std::string::npos;)
                f.replace(at, 1, "\xE2\x90\x80");
        }
        const std::size_t count = anyText ? field + 1 : 0;
        anyText = false;
        more = take(recordLine, std::move(fields), count);
        fields = {};
        field = 0;
        fieldStarted = false;
        pending = false;
    };
    for (std::size_t i = 0; i < bytes.size() && more; ++i) {
        const std::size_t from = i;
        const char c = bytes[i];
        if (!pending) recordLine = line;
        pending = true;
        if (quoted || (c != '\r' && c != '\n' && c != ' ' && c != '\t')) anyText = true;
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
        // Line ends inside quotes count too: the number is the line an editor shows.
        for (std::size_t k = from; k <= i; ++k) {
            if (bytes[k] == '\r' || (bytes[k] == '\n' && (k == 0 || bytes[k - 1] != '\r'))) ++line;
        }
    }
    // The last record needs no line end; a line end at the very end starts no record.
    if (pending && more) endRecord();
}

}  // namespace

std::vector<Fields> ParseCsvRecords(std::string_view bytes, std::size_t maxRecords) {
    std::vector<Fields> records;
    if (maxRecords == 0) return records;
    ParseCsv(bytes, maxRecords, [&](long long, Fields fields, std::size_t) {
        records.push_back(std::move(fields));
        return records.size() < maxRecords;
    });
    return records;
}

void LoadCsvFile(Workspace& ws, const std::string& path) {
    std::ifstream in = OpenInputFile(path);
    // The landmark records come first; what lies past a few megabytes is never read.
    std::string bytes(kCsvReadLimit, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) throw ESystemError(FileAction::Read, path, errno);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    LandmarkLines lines(FileNameOf(path));
    // Every line that is not empty has as many fields as the one before: with ',' separating,
    // a decimal comma or a thousands separator would split a number into two fields, and one
    // line separated otherwise would be read as one field.
    std::size_t lastCount = 0;
    ParseCsv(bytes, kLandmarkCount, [&](long long line, Fields fields, std::size_t count) {
        if (count != 0 && lastCount != 0 && count != lastCount)
            throw EUserError(Msg::CsvFieldCount,
                             {FileNameOf(path), std::to_string(line), std::to_string(count),
                              std::to_string(lastCount)});
        if (count != 0) lastCount = count;
        lines.Take(line, std::move(fields));
        return true;
    });
    lines.Apply(ws);
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
        throw Error("The file \"" + FileNameOf(*path) + "\" was not loaded: only " +
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
