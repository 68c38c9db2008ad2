#include "OdsReader.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "text/Cp1250.h"
#include "text/IsoDate.h"
#include "xls/XLSReader.h"
#include "xls/XLSWorkbook.h"
#include "zip/BatchChannel.h"
#include "zip/ReadAhead.h"
#include "zip/SpreadsheetXml.h"
#include "zip/XmlReader.h"
#include "zip/ZipArchive.h"

namespace morvik::ods {
namespace {

using xls::TCellValue;
using xls::TDateTime;
using xls::TSheet;
using xls::TWorkbook;
using zip::kCellCost;
using zip::kModelBudget;
using zip::kModelBudgetPerByte;
using zip::ParseXmlNumber;
using zip::Quoted;
using zip::TXmlReader;
using Token = TXmlReader::TToken;

enum : int { kOffice = 1, kTable = 2, kText = 3, kCalcExt = 4, kManifest = 5 };
constexpr zip::TNamespace kNamespaces[] = {
    {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", kOffice},
    {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", kTable},
    {"urn:oasis:names:tc:opendocument:xmlns:text:1.0", kText},
    {"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0", kCalcExt},
    {"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0", kManifest},
};

constexpr std::string_view kMimeType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::int64_t kMaxRows = 65536;  // the model's sheet
constexpr std::int64_t kMaxCols = 256;
constexpr std::size_t kMaxText = zip::kMaxCellText;
constexpr int kMaxSheets = 4096;
// The model's budget (zip::kModelBudget): "<text:s text:c='65535'/>" makes a long text too;
// each text read (copies share it) costs two bytes a character.

[[noreturn]] void Fail(const std::string& message) { throw EOdsError(message); }

// A repeat count: at least 1; anything past the sheet's size is as good as the sheet's size.
std::int64_t RepeatCount(std::string_view text) {
    if (text.empty()) return 1;
    std::int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 1;
        n = std::min<std::int64_t>(n * 10 + (c - '0'), std::int64_t{1} << 40);
    }
    return std::max<std::int64_t>(n, 1);
}

struct PendingCell {
    std::int64_t col;
    std::int64_t repeat;
    TCellValue value;
};

// What reading content.xml does to the workbook, step by step: the parser hands these to
// whoever owns the model, which may be another thread.
struct Step {
    enum Kind : std::uint8_t { kSheet, kRow, kCell };
    Kind kind = kCell;
    std::int32_t first = 0;  // kRow: the row; kCell: the column
    std::int32_t count = 0;  // kRow: rows the cells repeat over; kCell: columns
    std::int32_t cells = 0;  // kRow: the kCell steps that follow it
    TCellValue value;        // kSheet: the name; kCell: the value
};
using Batch = std::vector<Step>;

// A row's steps travel in one batch: a row holds at most one step per column.
constexpr std::size_t kBatchSteps = 4096;
static_assert(kBatchSteps > kMaxCols + 1);
// Batches the parser may be ahead of the model.
constexpr std::size_t kBatchesAhead = 16;

class StepSink {
  public:
    virtual ~StepSink() = default;
    // Takes the steps out of `batch`, leaving it empty.
    virtual void Deliver(Batch& batch) = 0;
};

// Reads content.xml into steps; touches no part of the model.
class Parser {
  public:
    // `readAhead`: the part is inflated on another thread as it is parsed. `fileSize`: the
    // whole file's, which the model's budget grows with.
    Parser(zip::TZipArchive& archive, const zip::TZipEntry& content, StepSink& sink, bool readAhead,
           std::uint64_t fileSize)
        : archive_(archive),
          content_(content),
          sink_(sink),
          readAhead_(readAhead),
          budget_(kModelBudget + kModelBudgetPerByte * static_cast<std::int64_t>(fileSize)) {
        batch_.reserve(kBatchSteps);
    }
    // Everything read before an error has been delivered when it propagates.
    void Run() {
        try {
            Read();
        } catch (...) {
            sink_.Deliver(batch_);
            throw;
        }
        sink_.Deliver(batch_);
    }

  private:
    void Read();
    void ReadTable(TXmlReader& r);
    void ReadRow(TXmlReader& r, std::vector<PendingCell>& cells);
    // The cell's value, or an empty value for an empty, error or unreadable cell.
    TCellValue ReadCell(TXmlReader& r);
    void ReadParagraphs(TXmlReader& r, std::string& out);
    void FlushRow(std::int64_t row, std::int64_t repeat, std::vector<PendingCell>& cells);
    void Spend(std::int64_t cost);
    void Emit(Step&& step) { batch_.push_back(std::move(step)); }
    [[noreturn]] void CellFault(const std::string& what) const {
        Fail(zip::CellMessage(sheet_, row_, col_, what));
    }

    zip::TZipArchive& archive_;
    const zip::TZipEntry& content_;
    StepSink& sink_;
    bool readAhead_;
    Batch batch_;
    std::int64_t budget_;
    std::string text_;
    std::string sheet_;               // the table being read, for messages
    std::int64_t row_ = 0, col_ = 0;  // the cell being read
};

// Applies steps to the workbook, in order.
class Builder {
  public:
    explicit Builder(TWorkbook& workbook) : workbook_(workbook) {}
    void Apply(Batch& batch);

  private:
    TSheet& AddSheet(const std::u16string& name);
    TWorkbook& workbook_;
    TSheet* sheet_ = nullptr;
    int nextSubstitute_ = 0;  // see zip::AddSheet
};

// The serial way: steps go to the model as they come.
class DirectSink final : public StepSink {
  public:
    explicit DirectSink(Builder& builder) : builder_(builder) {}
    void Deliver(Batch& batch) override {
        // Taken out first: a step the model refuses ends the reading, and what followed it
        // must not be applied by the caller's clean-up.
        Batch steps = std::move(batch);
        batch.clear();
        builder_.Apply(steps);
    }

  private:
    Builder& builder_;
};

class ChannelSink final : public StepSink {
  public:
    void Deliver(Batch& batch) override {
        if (!batch.empty()) channel.Put(batch);
    }
    zip::TBatchChannel<Batch> channel{kBatchesAhead};
};

class Reader {
  public:
    // `readAhead`: a large content.xml is inflated on a thread of its own while it is parsed.
    Reader(std::span<const std::uint8_t> bytes, TWorkbook& workbook, bool readAhead,
           std::uint64_t threadedFrom)
        : archive_(bytes),
          workbook_(workbook),
          readAhead_(readAhead),
          threadedFrom_(threadedFrom),
          fileSize_(bytes.size()) {}
    void Run();

  private:
    void CheckNotEncrypted();

    zip::TZipArchive archive_;
    TWorkbook& workbook_;
    bool readAhead_;
    std::uint64_t threadedFrom_;
    std::uint64_t fileSize_;
};

void Reader::CheckNotEncrypted() {
    const zip::TZipEntry* manifest = archive_.Find("META-INF/manifest.xml");
    if (manifest == nullptr) return;
    // Read as it inflates, under the token limit: its declared size is only a claim.
    auto stream = archive_.Open(*manifest);
    zip::TXmlTextSource utf8(*stream);
    TXmlReader r(utf8, kNamespaces);
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::StartTag && r.Is(kManifest, "encryption-data"))
            Fail("The spreadsheet is password-protected, which is not supported.");
    }
}

void Parser::Spend(std::int64_t cost) {
    budget_ -= cost;
    if (budget_ < 0)
        Fail("The spreadsheet holds more than a file of its size can: it is damaged or crafted.");
}

// What the package's mimetype entry says it is: nothing when it has none, the text when it
// is short enough to be one (the longest OpenDocument type has 60 bytes), else a mark that
// matches no type.
std::optional<std::string> MimeTypeOf(zip::TZipArchive& archive) {
    const zip::TZipEntry* mime = archive.Find("mimetype");
    if (mime == nullptr) return std::nullopt;
    if (mime->Size > 256) return std::string("(too long)");
    return archive.ReadAll(*mime);
}

void Reader::Run() {
    // The same rule as LooksLikeOds: a package that says it is another kind of file is refused,
    // whatever its content.xml holds.
    if (const auto mime = MimeTypeOf(archive_); mime && *mime != kMimeType)
        Fail("The file is no OpenDocument spreadsheet: its mimetype says " + Quoted(*mime) + ".");
    const zip::TZipEntry* content = archive_.Find("content.xml");
    if (content == nullptr)
        Fail("The file is a zip archive but no OpenDocument spreadsheet: it has no content.xml.");
    CheckNotEncrypted();
    workbook_.Clear();
    workbook_.XFs().BeginLoad();
    workbook_.XFs().Scratch();
    workbook_.XFs().AppendScratch();

    Builder builder(workbook_);
    const auto serially = [&] {
        DirectSink sink(builder);
        Parser(archive_, *content, sink, false, fileSize_).Run();
    };
    if (content->Size < threadedFrom_ || std::thread::hardware_concurrency() < 2) {
        serially();
    } else {
        // The parser runs on a thread of its own, the part's inflating read ahead on another;
        // this one fills the model. Only this thread touches the model, in the parser's order.
        ChannelSink sink;
        std::thread parser;
        try {
            parser = std::thread([&] {
                try {
                    Parser(archive_, *content, sink, readAhead_, fileSize_).Run();
                    sink.channel.Finish(nullptr);
                } catch (const zip::TChannelCancelled&) {
                } catch (...) {
                    sink.channel.Finish(std::current_exception());
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: the steps are taken here as they come.
        }
        if (!parser.joinable()) {
            serially();
        } else {
            struct Joiner {
                std::thread& thread;
                ChannelSink& sink;
                ~Joiner() {
                    sink.channel.Cancel();
                    thread.join();
                }
            } joiner{parser, sink};
            Batch batch;
            while (sink.channel.Take(batch)) builder.Apply(batch);
            sink.channel.RethrowError();
        }
    }
    if (workbook_.Sheets().Count() == 0) Fail("There are no sheets in the workbook.");
}

void Parser::Read() {
    auto stream = archive_.Open(content_);
    std::unique_ptr<zip::TReadAheadSource> ahead;
    if (readAhead_) {
        try {
            ahead = std::make_unique<zip::TReadAheadSource>(*stream);
        } catch (const std::system_error&) {
            // Without a thread for it, the part is inflated as it is read.
        }
    }
    zip::TXmlTextSource utf8(ahead ? static_cast<zip::TByteSource&>(*ahead) : *stream);
    TXmlReader r(utf8, kNamespaces);
    bool spreadsheet = false;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag) {
            if (r.Is(kOffice, "spreadsheet")) spreadsheet = false;
            continue;
        }
        if (t != Token::StartTag) continue;
        if (r.Is(kOffice, "spreadsheet")) {
            spreadsheet = true;
        } else if (spreadsheet && r.Is(kTable, "table")) {
            ReadTable(r);
        } else if (r.Is(kOffice, "automatic-styles") || r.Is(kOffice, "font-face-decls") ||
                   r.Is(kOffice, "scripts") || (spreadsheet && r.Depth() > 3)) {
            r.SkipElement();
        }
    }
}

TSheet& Builder::AddSheet(const std::u16string& name) {
    // Each name is checked against all before it; no real spreadsheet comes near.
    if (workbook_.Sheets().Count() >= kMaxSheets)
        Fail("The spreadsheet has more sheets than can be read.");
    return zip::AddSheet(workbook_.Sheets(), name, nextSubstitute_);
}

void Builder::Apply(Batch& batch) {
    for (std::size_t i = 0; i < batch.size(); ++i) {
        Step& step = batch[i];
        if (step.kind == Step::kSheet) {
            sheet_ = &AddSheet(*step.value.As<std::u16string>());
            continue;
        }
        // A row and its cells: each row of the repeat gets every cell, in order.
        auto& target = sheet_->Cells();
        const std::size_t begin = i + 1, end = begin + static_cast<std::size_t>(step.cells);
        const std::int64_t row = step.first, rows = step.count;
        for (std::int64_t r = row; r < row + rows; ++r) {
            for (std::size_t c = begin; c < end; ++c) {
                Step& cellStep = batch[c];
                for (std::int64_t k = 0; k < cellStep.count; ++k) {
                    auto& cell =
                        target.Cell(static_cast<int>(r), cellStep.first + static_cast<int>(k));
                    const bool last = r + 1 == row + rows && k + 1 == cellStep.count;
                    if (last) {
                        cell.SetValue(std::move(cellStep.value));
                    } else {
                        cell.SetValue(cellStep.value);
                    }
                }
            }
        }
        i = end - 1;
    }
    batch.clear();
}

void Parser::ReadTable(TXmlReader& r) {
    Step sheet;
    sheet.kind = Step::kSheet;
    sheet_ = std::string(r.Attribute(kTable, "name"));
    sheet.value = TCellValue(Utf8ToUtf16(sheet_));
    if (batch_.size() >= kBatchSteps) sink_.Deliver(batch_);
    Emit(std::move(sheet));
    const int depth = r.Depth();
    std::int64_t row = 0;
    std::vector<PendingCell> cells;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag && r.Depth() < depth) return;
        if (t != Token::StartTag) continue;
        if (r.Is(kTable, "table-row")) {
            const std::int64_t repeat = RepeatCount(r.Attribute(kTable, "number-rows-repeated"));
            cells.clear();
            row_ = row;
            ReadRow(r, cells);
            if (row < kMaxRows && !cells.empty()) FlushRow(row, repeat, cells);
            row = std::min(row + repeat, kMaxRows);
        } else if (r.Is(kTable, "table-row-group") || r.Is(kTable, "table-header-rows") ||
                   r.Is(kTable, "table-rows")) {
            // Groups only gather rows; their rows are read as they come.
        } else {
            r.SkipElement();  // columns, shapes, named ranges, filters
        }
    }
}

void Parser::ReadRow(TXmlReader& r, std::vector<PendingCell>& cells) {
    const int depth = r.Depth();
    std::int64_t col = 0;
    std::int64_t named = 0;  // the column as the file counts it, for messages
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag && r.Depth() < depth) return;
        if (t != Token::StartTag) continue;
        if (!r.Is(kTable, "table-cell") && !r.Is(kTable, "covered-table-cell")) {
            r.SkipElement();
            continue;
        }
        const std::int64_t repeat = RepeatCount(r.Attribute(kTable, "number-columns-repeated"));
        col_ = named;
        TCellValue value = ReadCell(r);
        if (!value.IsEmpty() && col < kMaxCols)
            cells.push_back({col, std::min(repeat, kMaxCols - col), std::move(value)});
        col = std::min(col + repeat, kMaxCols);
        named = std::min(named + repeat, std::int64_t{1} << 40);
    }
}

TCellValue Parser::ReadCell(TXmlReader& r) {
    const std::string_view type = r.Attribute(kOffice, "value-type");
    if (r.Attribute(kCalcExt, "value-type") == "error") {
        r.SkipElement();
        return {};
    }
    // A value that is not what its type says is refused: read as an empty cell, it would
    // pass for a missing landmark.
    TCellValue value;
    if (type == "float" || type == "percentage" || type == "currency") {
        double d;
        const std::string_view text = r.Attribute(kOffice, "value");
        if (!ParseXmlNumber(text, d)) CellFault(Quoted(text) + " is not a finite number.");
        value = TCellValue(d);
    } else if (type == "date") {
        const std::string_view text = r.Attribute(kOffice, "date-value");
        const auto days = ParseIsoDateTime(text);
        if (!days) CellFault(Quoted(text) + " is no date.");
        value = TCellValue(TDateTime{*days});
    } else if (type == "time") {
        // A time is a number of days like any other; as a date it counts from the same day
        // the Excel 97 reader's serials do, so a sheet reads alike in both formats.
        const std::string_view text = r.Attribute(kOffice, "time-value");
        const auto days = ParseIsoDateTime(text);
        if (!days) CellFault(Quoted(text) + " is no time.");
        value = TCellValue(TDateTime{xls::DateFromSerial(*days)});
    } else if (type == "boolean") {
        const std::string_view b = r.Attribute(kOffice, "boolean-value");
        if (b == "true" || b == "1") {
            value = TCellValue(true);
        } else if (b == "false" || b == "0") {
            value = TCellValue(false);
        } else {
            CellFault(Quoted(b) + " is no truth value.");
        }
    } else {
        // A string cell, or an old one without a type that still holds text.
        bool hasStringValue = false;
        const std::string_view stringValue = r.Attribute(kOffice, "string-value", &hasStringValue);
        text_.assign(stringValue);
        if (hasStringValue) {
            r.SkipElement();
        } else {
            ReadParagraphs(r, text_);
        }
        if (text_.empty() && type != "string") return {};
        Spend(2 * static_cast<std::int64_t>(text_.size()));
        std::u16string units = Utf8ToUtf16(text_);
        if (units.size() > kMaxText) Fail("A cell's text is longer than 65535 characters.");
        return TCellValue::CompactText(std::move(units));
    }
    r.SkipElement();
    return value;
}

void Parser::ReadParagraphs(TXmlReader& r, std::string& out) {
    const int cellDepth = r.Depth();
    bool firstParagraph = true;
    int paragraphDepth = 0;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag) {
            if (r.Depth() < cellDepth) return;
            if (r.Depth() < paragraphDepth) paragraphDepth = 0;
            continue;
        }
        if (t == Token::Text) {
            // Refused as it grows: a text joined first and measured after would cost its
            // whole length. A character takes at most three bytes of UTF-8.
            if (paragraphDepth > 0 &&
                r.Text().size() > 3 * kMaxText - std::min(out.size(), 3 * kMaxText))
                Fail("A cell's text is longer than 65535 characters.");
            if (paragraphDepth > 0) out.append(r.Text());
            continue;
        }
        if (paragraphDepth == 0) {
            if (r.Is(kText, "p") || r.Is(kText, "h")) {
                if (!firstParagraph) out.push_back('\n');
                firstParagraph = false;
                paragraphDepth = r.Depth();
            } else {
                r.SkipElement();  // annotations, shapes, anything not a paragraph
            }
            continue;
        }
        if (r.Is(kText, "s")) {
            const std::int64_t n = RepeatCount(r.Attribute(kText, "c"));
            if (static_cast<std::int64_t>(out.size()) + n > static_cast<std::int64_t>(kMaxText))
                Fail("A cell's text is longer than 65535 characters.");
            out.append(static_cast<std::size_t>(n), ' ');
            r.SkipElement();
        } else if (r.Is(kText, "tab")) {
            out.push_back('\t');
            r.SkipElement();
        } else if (r.Is(kText, "line-break")) {
            out.push_back('\n');
            r.SkipElement();
        } else if (r.Is(kOffice, "annotation") || r.Is(kText, "note") || r.Is(kText, "ruby-text")) {
            r.SkipElement();
        }
        // Spans, links and other inline elements: their text counts, read as it comes.
    }
}

void Parser::FlushRow(std::int64_t row, std::int64_t repeat, std::vector<PendingCell>& cells) {
    const std::int64_t rows = std::min(repeat, kMaxRows - row);
    std::int64_t copies = 0;
    for (const PendingCell& c : cells) copies += c.repeat;
    Spend(rows * copies * kCellCost);
    if (batch_.size() + cells.size() + 1 > kBatchSteps) {
        sink_.Deliver(batch_);
        batch_.reserve(kBatchSteps);
    }
    Step head;
    head.kind = Step::kRow;
    head.first = static_cast<std::int32_t>(row);
    head.count = static_cast<std::int32_t>(rows);
    head.cells = static_cast<std::int32_t>(cells.size());
    Emit(std::move(head));
    for (PendingCell& c : cells) {
        Step step;
        step.first = static_cast<std::int32_t>(c.col);
        step.count = static_cast<std::int32_t>(c.repeat);
        step.value = std::move(c.value);
        Emit(std::move(step));
    }
}

}  // namespace

bool LooksLikeOds(std::span<const std::uint8_t> bytes) {
    if (!zip::TZipArchive::LooksLikeZip(bytes)) return false;
    try {
        zip::TZipArchive archive(bytes);
        if (const auto mime = MimeTypeOf(archive)) return *mime == kMimeType;
        return archive.Find("content.xml") != nullptr &&
               archive.Find("[Content_Types].xml") == nullptr;
    } catch (const Error&) {
        return false;
    }
}

void ReadOds(std::span<const std::uint8_t> bytes, TWorkbook& workbook, std::uint64_t threadedFrom) {
    try {
        Reader(bytes, workbook, true, threadedFrom).Run();
    } catch (const zip::EReadAheadRetry&) {
        // The part is damaged somewhere: read again directly, so that the fault is told
        // where and as reading it directly meets it.
        Reader(bytes, workbook, false, threadedFrom).Run();
    }
}

}  // namespace morvik::ods
