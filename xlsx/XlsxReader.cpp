#include "XlsxReader.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "text/Cp1250.h"
#include "text/Decimal.h"
#include "text/IsoDate.h"
#include "xls/XLSFormatStr.h"
#include "xls/XLSReader.h"
#include "xls/XLSWorkbook.h"
#include "zip/BatchChannel.h"
#include "zip/XmlReader.h"
#include "zip/ZipArchive.h"

namespace morvik::xlsx {
namespace {

using xls::TCell;
using xls::TCellValue;
using xls::TDateTime;
using xls::TSheet;
using xls::TWorkbook;
using zip::TXmlReader;
using Token = TXmlReader::TToken;

// Namespace ids: the transitional and the strict spelling of each vocabulary share one.
enum : int { kMain = 1, kDocRel = 2, kPackageRel = 3 };
constexpr zip::TNamespace kNamespaces[] = {
    {"http://schemas.openxmlformats.org/spreadsheetml/2006/main", kMain},
    {"http://purl.oclc.org/ooxml/spreadsheetml/main", kMain},
    {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", kDocRel},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships", kDocRel},
    {"http://schemas.openxmlformats.org/package/2006/relationships", kPackageRel},
};

constexpr int kMaxRows = 65536;  // the model's sheet
constexpr int kMaxCols = 256;
// The format's own sheet: references beyond it are damage, not cells we merely cannot hold.
constexpr std::int64_t kFormatRows = 1'048'576;
constexpr std::int64_t kFormatCols = 16'384;
constexpr std::size_t kMaxText = 65535;
// Each sheet's name is checked against all before it; no real workbook comes near.
constexpr std::size_t kMaxSheets = 4096;
// Each entry costs a cell value however few bytes of XML it took ("<si/>"), so the table is
// bounded; real workbooks hold thousands of distinct texts, rarely a million.
constexpr std::size_t kMaxSharedStrings = std::size_t{1} << 22;
// What the model may cost, shared strings and all sheets together. The ratio rule lets a
// megabyte inflate to the XML of a whole 65,536 x 256 sheet; the budget grows with the file's
// own size, so memory stays in proportion to it whatever the compression. A cell costs about
// kCellCost bytes, a text of its own two bytes a character more.
constexpr std::int64_t kCellCost = 48;
constexpr std::int64_t kModelBudget = std::int64_t{32} << 20;
constexpr std::int64_t kModelBudgetPerByte = 24;
// 1904-01-01 in days since 1899-12-30: serial 0 of the 1904 date system.
constexpr double k1904Offset = 1462.0;

[[noreturn]] void Fail(const std::string& message) { throw EXlsxError(message); }

// Elements of the spreadsheet vocabulary; a part written without its namespace is read too.
bool IsMain(const TXmlReader& r, std::string_view name) {
    return (r.Ns() == kMain || r.Ns() == zip::kNoNamespace) && r.Name() == name;
}

struct Relationship {
    std::string id, type, target;
    bool external = false;
};

bool TypeIs(const Relationship& rel, std::string_view kind) {
    // Transitional and strict types differ before the last '/' only.
    const auto slash = rel.type.rfind('/');
    return slash != std::string::npos && std::string_view(rel.type).substr(slash + 1) == kind;
}

// The folder of a part name, with its trailing '/'; empty for a part at the root.
std::string FolderOf(std::string_view part) {
    const auto slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship target resolved against the folder of its source part, "." and ".." taken out.
// Only ever compared with entry names; nothing is opened by it.
std::string ResolveTarget(std::string_view folder, std::string_view target) {
    std::string joined = !target.empty() && target[0] == '/'
                             ? std::string(target.substr(1))
                             : std::string(folder) + std::string(target);
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view piece = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (piece.empty() || piece == ".") continue;
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(piece);
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

std::string RelsPartOf(std::string_view part) {
    const auto slash = part.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? "" : part.substr(0, slash + 1);
    const std::string_view name = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(name) + ".rels";
}

// "AB12" to a 0-based row and column; false for anything else.
bool ParseReference(std::string_view ref, std::int64_t& row, std::int64_t& col) {
    std::size_t i = 0;
    std::int64_t c = 0;
    while (i < ref.size() && i < 3) {
        char ch = ref[i];
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        if (ch < 'A' || ch > 'Z') break;
        c = c * 26 + (ch - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == ref.size()) return false;
    std::int64_t r = 0;
    const std::size_t digits = ref.size() - i;
    if (digits > 7) return false;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        r = r * 10 + (ref[i] - '0');
    }
    if (r < 1 || r > kFormatRows || c > kFormatCols) return false;
    row = r - 1;
    col = c - 1;
    return true;
}

// "B3" for messages.
std::string CellName(std::int64_t row, std::int64_t col) {
    std::string letters;
    for (std::int64_t c = col + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

// A text from the file for a message: short, and without control characters that would end
// or garble it.
std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text.substr(0, 40)) out.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    return out + (text.size() > 40 ? "...\"" : "\"");
}

bool ParseNumber(std::string_view text, double& out) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (ParseShortDecimal(text, out)) return true;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() &&
           std::isfinite(out);
}

bool ParseIndex(std::string_view text, std::int64_t& out) {
    double v;
    if (!ParseNumber(text, v) || v < 0 || v > 4e9 || v != std::floor(v)) return false;
    out = static_cast<std::int64_t>(v);
    return true;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Characters XML cannot carry are written "_xHHHH_" in a cell's text, and a literal "_x" that
// would read as such is written "_x005F_x"; both read back in one pass from the left.
std::u16string UnescapeText(std::u16string units) {
    if (units.find(u"_x") == std::u16string::npos) return units;
    std::u16string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] == u'_' && i + 6 < units.size() && units[i + 1] == u'x' &&
            units[i + 6] == u'_') {
            int value = 0;
            bool hex = true;
            for (std::size_t k = 2; k < 6 && hex; ++k) {
                const int d = HexDigit(units[i + k]);
                hex = d >= 0;
                value = value * 16 + d;
            }
            if (hex) {
                out.push_back(static_cast<char16_t>(value));
                i += 6;
                continue;
            }
        }
        out.push_back(units[i]);
    }
    return out;
}

TCellValue TextValue(std::string_view utf8, bool escaped = false) {
    std::u16string units = Utf8ToUtf16(utf8);
    if (escaped) units = UnescapeText(std::move(units));
    if (units.size() > kMaxText) Fail("A cell's text is longer than 65535 characters.");
    return TCellValue::CompactText(std::move(units));
}

// A name the model refuses (blank, too long, a duplicate) gives way to "SheetN": the sheet
// and its cells still load.
// `next`: where the search for a free "SheetN" goes on. A name taken stays taken, so each
// search starts past the last one found and all of them together try each N once.
TSheet& AddSheet(TWorkbook& workbook, const std::u16string& name, int& next) {
    auto& sheets = workbook.Sheets();
    if (sheets.ValidateName(name) == 0) return sheets.Add(name);
    for (int n = std::max(sheets.Count() + 1, next);; ++n) {
        std::u16string substitute = u"Sheet";
        for (char c : std::to_string(n)) substitute.push_back(static_cast<char16_t>(c));
        if (sheets.ValidateName(substitute) == 0) {
            next = n + 1;
            return sheets.Add(substitute);
        }
    }
}

// Takes `cost` from the model's budget, shared by the threads that parse sheets.
void Spend(std::atomic<std::int64_t>& budget, std::int64_t cost) {
    if (cost > 0 && budget.fetch_sub(cost) < cost)
        Fail("The workbook holds more than a file of its size can: it is damaged or crafted.");
}

// All character data of the element whose start tag was read last, appended to `out`, up to
// and including its end tag. False when it comes to more than `limit` bytes: the rest is
// skipped as it comes, so a text far too long for a cell never costs its length.
bool ReadBoundedText(TXmlReader& r, std::string& out, std::size_t limit) {
    const int depth = r.Depth();
    bool fits = true;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::Text && fits) {
            fits = r.Text().size() <= limit - out.size();
            if (fits) out.append(r.Text());
        }
        if (t == Token::EndTag && r.Depth() < depth) break;
    }
    return fits;
}

// The most bytes a text of a cell can take in the file: a character written "_xHHHH_".
constexpr std::size_t kMaxTextBytes = 7 * kMaxText;

// False for a text longer than any cell may hold; `skipRest`: the rest of the element is then
// read past, else reading stops there (the caller refuses the file).
bool ReadInlineString(TXmlReader& r, std::string& out, bool skipRest) {
    // Text runs are joined; phonetic runs are a reading aid, not part of the text.
    const int depth = r.Depth();
    bool fits = true;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag && r.Depth() < depth) break;
        if (t != Token::StartTag) continue;
        if (IsMain(r, "t")) {
            if (fits) {
                fits = ReadBoundedText(r, out, kMaxTextBytes);
                if (!fits && !skipRest) return false;
            } else {
                r.SkipElement();
            }
        } else if (IsMain(r, "rPh") || IsMain(r, "phoneticPr") || IsMain(r, "rPr")) {
            r.SkipElement();
        }
    }
    return fits;
}

// What reading a worksheet does to its sheet, step by step: the worksheet's parser hands these
// to whoever owns the model, which may be another thread. The parser itself touches nothing but
// its own part and what the workbook's other parts left fixed (shared strings, style flags).
struct CellStep {
    enum Kind : std::uint8_t { kValue, kSharedString, kFormat, kReserve };
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::int32_t style = 0;  // the cell's format; for kSharedString also the string's index
    std::uint32_t index = 0;
    Kind kind = kValue;
    TCellValue value;
};

// What the worksheets' parsers share; fixed before the first of them starts.
struct SheetContext {
    std::shared_ptr<const std::vector<TCellValue>> sharedStrings;  // empty values: texts too long
    std::vector<bool> xfIsDate;
    std::vector<bool> xfIsPlain;
    bool date1904 = false;
    std::atomic<std::int64_t>* budget = nullptr;  // the model's, in bytes
};

// Steps are handed over in batches, so that a thread waits once for thousands of cells.
constexpr std::size_t kBatchSteps = 2048;
// Batches a parser may be ahead of the model, per sheet: bounds the memory of a sheet that
// waits for the sheets before it (about 20 MB). Room for a large part of a sheet lets the
// second parser work on the next sheet while the model is filled from the first.
constexpr std::size_t kBatchesAhead = 256;

using Batch = std::vector<CellStep>;

// Takes the batches of one worksheet's parser.
class StepSink {
  public:
    virtual ~StepSink() = default;
    // Takes the steps out of `batch`, leaving it empty.
    virtual void Deliver(Batch& batch) = 0;
};

// Applies steps to the sheet's cells; the model's own errors come from here.
void ApplySteps(const SheetContext& context,
                const std::shared_ptr<const std::vector<TCellValue>>& keeper, TSheet& sheet,
                Batch& batch) {
    xls::TCells& cells = sheet.Cells();
    for (CellStep& step : batch) {
        switch (step.kind) {
            case CellStep::kReserve:
                cells.Reserve(step.index);
                break;
            case CellStep::kFormat:
                // A formatted empty cell joins the sheet as the Excel 97 reader's blanks do.
                cells.Cell(step.row, step.col).SetXFIndex(step.style);
                break;
            case CellStep::kSharedString: {
                TCell& cell = cells.Cell(step.row, step.col);
                if (cell.XFIndex() != step.style) cell.SetXFIndex(step.style);
                // The table outlives the cells: no count per cell for a text many of them show.
                cells.SetBorrowedValue(cell, (*context.sharedStrings)[step.index], keeper);
                break;
            }
            case CellStep::kValue: {
                TCell& cell = cells.Cell(step.row, step.col);
                if (cell.XFIndex() != step.style) cell.SetXFIndex(step.style);
                cell.SetValue(std::move(step.value));
                break;
            }
        }
    }
    batch.clear();
}

// The serial way: steps go to the model as they come.
class DirectSink final : public StepSink {
  public:
    DirectSink(const SheetContext& context, TSheet& sheet) : context_(context), sheet_(sheet) {}
    void Deliver(Batch& batch) override {
        // Taken out first: a step the model refuses ends the sheet, and what followed it in
        // the batch must not be applied by the caller's clean-up.
        Batch steps = std::move(batch);
        batch.clear();
        ApplySteps(context_, context_.sharedStrings, sheet_, steps);
    }

  private:
    const SheetContext& context_;
    TSheet& sheet_;
};

// One worksheet's batches on their way from its parser's thread to the model's.
class SheetChannel final : public StepSink {
  public:
    void Deliver(Batch& batch) override {
        if (!batch.empty()) channel.Put(batch);
    }
    zip::TBatchChannel<Batch> channel{kBatchesAhead};
};

// A worksheet to read: its part, and how much the archive has inflated before it when the
// sheets are read in order.
struct SheetJob {
    std::string part;
    std::uint64_t inflatedBefore = 0;
    std::string sheet;  // its name, for messages
};

// Reads one worksheet part into steps. Works on its own stream of the archive, so that two
// worksheets can be read at once.
class WorksheetParser {
  public:
    WorksheetParser(zip::TZipArchive& archive, const SheetContext& context, StepSink& sink)
        : archive_(archive), context_(context), sink_(sink) {
        batch_.reserve(kBatchSteps);
    }
    // Everything read before an error has been delivered when it propagates.
    void Run(const SheetJob& job) {
        sheet_ = job.sheet;
        try {
            Read(job);
        } catch (const zip::EXmlError& e) {
            DeliverAfterFault();
            // Where in the workbook the damage is: the sheet, and the last cell read.
            Fail("Sheet \"" + sheet_ + "\"" +
                 (row_ >= 0 && col_ >= 0 ? ", after cell " + CellName(row_, col_) : "") + ": " +
                 e.what());
        } catch (...) {
            DeliverAfterFault();
            throw;
        }
        Deliver();
    }

  private:
    void Read(const SheetJob& job);
    // What was read before a fault, as far as the budget pays for it; the fault is the one
    // that propagates.
    void DeliverAfterFault() {
        try {
            Deliver();
        } catch (const EXlsxError&) {
        }
    }
    [[noreturn]] void CellFault(const std::string& what) const {
        Fail("Sheet \"" + sheet_ + "\", cell " + CellName(row_, col_) + ": " + what);
    }
    [[noreturn]] void SheetFault(const std::string& what) const {
        Fail("Sheet \"" + sheet_ + "\": " + what);
    }
    void StoreCell(std::int64_t row, std::int64_t col, std::string_view type, std::int64_t style,
                   bool hasValue, bool hasInline);
    void Emit(CellStep&& step) {
        pendingCost_ += kCellCost;
        if (const std::u16string* text = step.value.As<std::u16string>())
            pendingCost_ += 2 * static_cast<std::int64_t>(text->size());
        batch_.push_back(std::move(step));
        if (batch_.size() >= kBatchSteps) {
            Deliver();
            batch_.reserve(kBatchSteps);
        }
    }
    // Steps reach the model only once the budget has paid for them.
    void Deliver() {
        Spend(*context_.budget, pendingCost_);
        pendingCost_ = 0;
        sink_.Deliver(batch_);
    }

    zip::TZipArchive& archive_;
    const SheetContext& context_;
    StepSink& sink_;
    Batch batch_;
    std::string value_, inlineText_;
    std::string sheet_;
    std::int64_t row_ = -1, col_ = -1;  // the cell being read
    std::int64_t pendingCost_ = 0;      // of the steps in batch_
};

// A part's XML read as it inflates: neither its declared size nor one huge token costs
// memory before the part is refused.
class PartXml {
  public:
    explicit PartXml(std::unique_ptr<zip::TZipStream> stream)
        : stream_(std::move(stream)), utf8_(*stream_), xml_(utf8_, kNamespaces) {}
    TXmlReader& Xml() { return xml_; }

  private:
    std::unique_ptr<zip::TZipStream> stream_;
    zip::TXmlTextSource utf8_;
    TXmlReader xml_;
};

class Reader {
  public:
    Reader(std::span<const std::uint8_t> bytes, TWorkbook& workbook, std::uint64_t threadedFrom)
        : archive_(bytes),
          workbook_(workbook),
          threadedFrom_(threadedFrom),
          budget_(kModelBudget + kModelBudgetPerByte * static_cast<std::int64_t>(bytes.size())) {
        context_.budget = &budget_;
    }

    void Run();

  private:
    std::vector<Relationship> ReadRelationships(const std::string& part);
    // Null for a part that is missing (when not `required`) or empty.
    std::unique_ptr<PartXml> OpenPart(const std::string& name, bool required);
    void ReadWorkbookPart(const std::string& part);
    void ReadStyles(const std::string& part);
    void ReadSharedStrings(const std::string& part);
    void ReadSheets(const std::vector<std::string>& parts);

    zip::TZipArchive archive_;
    TWorkbook& workbook_;
    std::uint64_t threadedFrom_;
    struct SheetEntry {
        std::u16string name;
        std::string relId;
        bool hasRelId = false;
    };
    std::vector<SheetEntry> sheets_;
    SheetContext context_;
    std::vector<TCellValue> sharedStrings_;
    std::atomic<std::int64_t> budget_;
    int nextSubstitute_ = 0;  // see AddSheet
};

std::unique_ptr<PartXml> Reader::OpenPart(const std::string& name, bool required) {
    const zip::TZipEntry* entry = archive_.Find(name);
    if (entry == nullptr) {
        if (required) Fail("The workbook's part \"" + name + "\" is missing from the file.");
        return nullptr;
    }
    if (entry->Size == 0 && !required) return nullptr;
    return std::make_unique<PartXml>(archive_.Open(*entry));
}

std::vector<Relationship> Reader::ReadRelationships(const std::string& part) {
    std::vector<Relationship> out;
    const auto xml = OpenPart(RelsPartOf(part), false);
    if (xml == nullptr) return out;
    TXmlReader& r = xml->Xml();
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t != Token::StartTag || r.Name() != "Relationship" || r.Depth() != 2) continue;
        Relationship rel;
        rel.id = r.Attribute(zip::kNoNamespace, "Id");
        rel.type = r.Attribute(zip::kNoNamespace, "Type");
        rel.target = r.Attribute(zip::kNoNamespace, "Target");
        rel.external = r.Attribute(zip::kNoNamespace, "TargetMode") == "External";
        out.push_back(std::move(rel));
    }
    return out;
}

void Reader::Run() {
    // The workbook part is where the package's own relationships say; the usual name when
    // they are missing or unreadable.
    std::string workbookPart;
    std::vector<Relationship> packageRels;
    try {
        packageRels = ReadRelationships("");
    } catch (const zip::EXmlError&) {
        // Damaged package relationships only hide where the workbook is; look where it
        // usually is.
    }
    for (const Relationship& rel : packageRels) {
        if (TypeIs(rel, "officeDocument") && !rel.external) {
            workbookPart = ResolveTarget("", rel.target);
            break;
        }
    }
    if (workbookPart.empty() || archive_.Find(workbookPart) == nullptr) {
        if (archive_.Find("xl/workbook.xml") == nullptr)
            Fail("The file is a zip archive but no Excel workbook: it has no workbook part.");
        workbookPart = "xl/workbook.xml";
    }
    ReadWorkbookPart(workbookPart);
    const std::vector<Relationship> rels = ReadRelationships(workbookPart);
    const std::string folder = FolderOf(workbookPart);

    workbook_.Clear();
    workbook_.XFs().BeginLoad();
    for (const Relationship& rel : rels) {
        if (!rel.external && TypeIs(rel, "styles")) {
            ReadStyles(ResolveTarget(folder, rel.target));
            break;
        }
    }
    // Every cell's style index must name an entry; a workbook without styles has one.
    if (workbook_.XFs().Count() == 0) {
        workbook_.XFs().Scratch();
        workbook_.XFs().AppendScratch();
        context_.xfIsDate.assign(1, false);
    }
    // Entries the sheets add later (a date's default format) are new ones: these stay as read.
    for (std::size_t i = 0; i < context_.xfIsDate.size(); ++i)
        context_.xfIsPlain.push_back(xls::IsPlain(workbook_.XFs().Get(static_cast<int>(i))));
    for (const Relationship& rel : rels) {
        if (!rel.external && TypeIs(rel, "sharedStrings")) {
            ReadSharedStrings(ResolveTarget(folder, rel.target));
            break;
        }
    }
    context_.sharedStrings =
        std::make_shared<const std::vector<TCellValue>>(std::move(sharedStrings_));

    if (sheets_.empty()) Fail("There are no sheets in the workbook.");
    std::unordered_map<std::string_view, const Relationship*> byId;
    for (const Relationship& r : rels) {
        if (!byId.emplace(r.id, &r).second)
            Fail("The workbook's relationships give the id " + Quoted(r.id) + " twice.");
    }
    // Per sheet its worksheet part; empty for chart and dialog sheets, which keep their place
    // in the order without cells. A sheet whose link is broken would read as an empty sheet
    // and its landmarks as missing: it is refused.
    std::vector<std::string> parts;
    std::unordered_map<std::string, std::size_t> sheetOfPart;
    for (const SheetEntry& entry : sheets_) {
        const std::string sheet = "The workbook's sheet \"" + Utf16ToUtf8(entry.name) + "\" ";
        // An empty id is a writer's way to say the sheet has no part (a hidden sheet of
        // nothing); without the attribute the link is broken.
        if (!entry.hasRelId) Fail(sheet + "names no part of the file.");
        if (entry.relId.empty()) {
            parts.emplace_back();
            continue;
        }
        const auto found = byId.find(entry.relId);
        if (found == byId.end()) Fail(sheet + "names a part the workbook does not list.");
        const Relationship& rel = *found->second;
        if (rel.external) Fail(sheet + "lies outside the file.");
        if (TypeIs(rel, "worksheet")) {
            parts.push_back(ResolveTarget(folder, rel.target));
            // One part read for many sheets would cost its size as many times.
            if (!sheetOfPart.emplace(parts.back(), parts.size()).second)
                Fail(sheet + "shares its part with another sheet.");
        } else if (TypeIs(rel, "chartsheet") || TypeIs(rel, "dialogsheet") ||
                   TypeIs(rel, "macrosheet") || TypeIs(rel, "xlMacrosheet") ||
                   TypeIs(rel, "xlIntlMacrosheet")) {
            parts.emplace_back();
        } else {
            Fail(sheet + "names a part that is no sheet.");
        }
    }
    ReadSheets(parts);
}

void Reader::ReadSheets(const std::vector<std::string>& parts) {
    std::vector<SheetJob> jobs;
    std::vector<int> jobOf(parts.size(), -1);
    std::uint64_t inflated = archive_.Inflated();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        jobOf[i] = static_cast<int>(jobs.size());
        jobs.push_back({parts[i], inflated, Utf16ToUtf8(sheets_[i].name)});
        // A sheet read whole inflates its declared size; one that is not ends the reading
        // there, and the sheets after it never count.
        try {
            if (const zip::TZipEntry* e = archive_.Find(parts[i])) inflated += e->Size;
        } catch (const zip::EZipError&) {
            // Its parser meets the same error in its turn.
        }
    }
    const std::uint64_t xmlBytes = inflated - archive_.Inflated();

    const auto oneByOne = [&] {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            TSheet& sheet = AddSheet(workbook_, sheets_[i].name, nextSubstitute_);
            if (jobOf[i] < 0) continue;
            DirectSink sink(context_, sheet);
            WorksheetParser(archive_, context_, sink).Run(jobs[static_cast<std::size_t>(jobOf[i])]);
        }
    };
    if (jobs.empty() || xmlBytes < threadedFrom_ || std::thread::hardware_concurrency() < 2)
        return oneByOne();

    // The parsers run ahead on two threads, a sheet each, the next free one taking the next
    // sheet; this thread fills the model in sheet order. The model is touched here only, and
    // the first sheet in order that fails decides the error, as when read one by one.
    std::vector<std::unique_ptr<SheetChannel>> channels;
    for (std::size_t j = 0; j < jobs.size(); ++j)
        channels.push_back(std::make_unique<SheetChannel>());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    const auto work = [&] {
        for (;;) {
            const std::size_t j = next.fetch_add(1);
            if (j >= jobs.size() || stop.load()) return;
            SheetChannel& channel = *channels[j];
            try {
                WorksheetParser(archive_, context_, channel).Run(jobs[j]);
                channel.channel.Finish(nullptr);
            } catch (const zip::TChannelCancelled&) {
                return;
            } catch (...) {
                channel.channel.Finish(std::current_exception());
            }
        }
    };
    std::vector<std::thread> threads;
    struct Joiner {
        std::vector<std::thread>& threads;
        std::vector<std::unique_ptr<SheetChannel>>& channels;
        std::atomic<bool>& stop;
        ~Joiner() {
            stop.store(true);
            for (auto& c : channels) c->channel.Cancel();
            for (auto& t : threads) t.join();
        }
    } joiner{threads, channels, stop};
    const std::size_t workers = std::min<std::size_t>(2, jobs.size());
    try {
        for (std::size_t w = 0; w < workers; ++w) threads.emplace_back(work);
    } catch (const std::system_error&) {
        // One thread parses all sheets in turn; with none, they are read here.
        if (threads.empty()) return oneByOne();
    }

    Batch batch;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        TSheet& sheet = AddSheet(workbook_, sheets_[i].name, nextSubstitute_);
        if (jobOf[i] < 0) continue;
        SheetChannel& channel = *channels[static_cast<std::size_t>(jobOf[i])];
        while (channel.channel.Take(batch))
            ApplySteps(context_, context_.sharedStrings, sheet, batch);
        channel.channel.RethrowError();
    }
}

void Reader::ReadWorkbookPart(const std::string& part) {
    const auto xml = OpenPart(part, true);
    TXmlReader& r = xml->Xml();
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t != Token::StartTag) continue;
        if (IsMain(r, "workbookPr")) {
            const std::string_view v = r.Attribute(zip::kNoNamespace, "date1904");
            context_.date1904 = v == "1" || v == "true";
        } else if (IsMain(r, "sheet")) {
            if (sheets_.size() >= kMaxSheets)
                Fail("The workbook has more sheets than can be read.");
            const std::string_view name = r.Attribute(zip::kNoNamespace, "name");
            bool hasRelId = false;
            const std::string_view relId = r.Attribute(kDocRel, "id", &hasRelId);
            sheets_.push_back({Utf8ToUtf16(name), std::string(relId), hasRelId});
        } else if (IsMain(r, "definedNames") || IsMain(r, "extLst")) {
            r.SkipElement();
        }
    }
}

void Reader::ReadStyles(const std::string& part) {
    const auto xml = OpenPart(part, false);
    if (xml == nullptr) return;
    auto& formats = workbook_.FormatStrings();
    auto& xfs = workbook_.XFs();
    TXmlReader& r = xml->Xml();
    bool inCellXfs = false;
    std::unordered_map<int, bool> dateByPosition;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag) {
            if (IsMain(r, "cellXfs")) inCellXfs = false;
            continue;
        }
        if (t != Token::StartTag) continue;
        if (IsMain(r, "numFmt")) {
            std::int64_t id;
            if (!ParseIndex(r.Attribute(zip::kNoNamespace, "numFmtId"), id) || id > 0xFFFF)
                continue;
            dateByPosition.clear();  // a code given anew may change its class
            formats.SetFormat(static_cast<std::uint16_t>(id),
                              std::string(r.Attribute(zip::kNoNamespace, "formatCode")));
        } else if (IsMain(r, "cellXfs")) {
            inCellXfs = true;
        } else if (inCellXfs && IsMain(r, "xf")) {
            std::int64_t id = 0;
            ParseIndex(r.Attribute(zip::kNoNamespace, "numFmtId"), id);
            xls::TXFEntry& entry = xfs.Scratch();
            const int position =
                id <= 0xFFFF ? formats.IndexOfCode(static_cast<std::uint16_t>(id)) : -1;
            entry.NumberFormat = static_cast<std::uint16_t>(position < 0 ? 0 : position);
            xfs.AppendScratch();
            // The same rule as the Excel 97 reader: the built-in code's class, else the pattern's.
            // Once per format: thousands of entries may share one long pattern.
            bool isDate = false;
            if (position >= 0) {
                const auto [known, added] = dateByPosition.try_emplace(position, false);
                if (added) {
                    const xls::TNumberFormat& format = formats.Get(position);
                    const std::string_view kind = xls::ClassifyBuiltinFormat(format.Code);
                    known->second = !kind.empty() ? kind == "date"
                                                  : !format.Pattern.empty() &&
                                                        xls::FormatTextIsDate(format.Pattern);
                }
                isDate = known->second;
            }
            context_.xfIsDate.push_back(isDate);
            r.SkipElement();
        } else if (IsMain(r, "cellStyleXfs") || IsMain(r, "fonts") || IsMain(r, "fills") ||
                   IsMain(r, "borders") || IsMain(r, "dxfs") || IsMain(r, "extLst")) {
            r.SkipElement();
        }
    }
}

void Reader::ReadSharedStrings(const std::string& part) {
    const zip::TZipEntry* entry = archive_.Find(part);
    if (entry == nullptr) return;
    auto stream = archive_.Open(*entry);
    zip::TXmlTextSource utf8(*stream);
    TXmlReader r(utf8, kNamespaces);
    std::string text;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t != Token::StartTag || !IsMain(r, "si")) continue;
        if (sharedStrings_.size() >= kMaxSharedStrings)
            Fail("The workbook has more shared strings than can be read.");
        text.clear();
        // Each entry costs a value however few bytes it took ("<si/>").
        Spend(budget_, kCellCost);
        if (!ReadInlineString(r, text, true)) {
            sharedStrings_.emplace_back();  // too long: refused where a cell shows it
            continue;
        }
        Spend(budget_, 2 * static_cast<std::int64_t>(text.size()));
        std::u16string units = UnescapeText(Utf8ToUtf16(text));
        sharedStrings_.push_back(
            units.size() > kMaxText ? TCellValue() : TCellValue::CompactText(std::move(units)));
    }
}

void WorksheetParser::Read(const SheetJob& job) {
    const zip::TZipEntry* entry = archive_.Find(job.part);
    if (entry == nullptr)
        Fail("The workbook's part \"" + job.part + "\" is missing from the file.");
    auto stream = archive_.OpenCounted(*entry, job.inflatedBefore);
    zip::TXmlTextSource utf8(*stream);
    TXmlReader r(utf8, kNamespaces);
    std::int64_t row = -1, col = -1;
    bool inData = false;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag) {
            if (IsMain(r, "sheetData")) inData = false;
            continue;
        }
        if (t != Token::StartTag) continue;
        if (r.Depth() == 1) {
            // A relationship that names some other part would read as an empty sheet.
            if (!IsMain(r, "worksheet"))
                SheetFault("its part \"" + job.part + "\" is no worksheet.");
            continue;
        }
        if (!inData) {
            if (IsMain(r, "sheetData")) {
                inData = true;
            } else if (IsMain(r, "dimension")) {
                // Room for the cells up front: a hint bounded by what the part could hold.
                const std::string_view ref = r.Attribute(zip::kNoNamespace, "ref");
                const auto colon = ref.find(':');
                std::int64_t r1, c1, r2, c2;
                if (colon != std::string_view::npos &&
                    ParseReference(ref.substr(0, colon), r1, c1) &&
                    ParseReference(ref.substr(colon + 1), r2, c2) && r2 >= r1 && c2 >= c1) {
                    const std::int64_t cells = (std::min<std::int64_t>(r2, kMaxRows - 1) - r1 + 1) *
                                               (std::min<std::int64_t>(c2, kMaxCols - 1) - c1 + 1);
                    const auto bound = static_cast<std::int64_t>(entry->Size / 16);
                    const std::int64_t affordable = context_.budget->load() / kCellCost;
                    const std::int64_t count =
                        std::min({cells, bound, affordable, std::int64_t{1} << 22});
                    if (count > 0) {
                        CellStep step;
                        step.kind = CellStep::kReserve;
                        step.index = static_cast<std::uint32_t>(count);
                        Emit(std::move(step));
                    }
                }
            } else if (r.Depth() == 2) {
                r.SkipElement();
            }
            continue;
        }
        // Rows and cells of another vocabulary would be left out without a word.
        if (r.Ns() != kMain && r.Ns() != zip::kNoNamespace)
            SheetFault("an element of another namespace stands among its cells.");
        if (IsMain(r, "row")) {
            bool hasIndex = false;
            const std::string_view text = r.Attribute(zip::kNoNamespace, "r", &hasIndex);
            std::int64_t index;
            if (!hasIndex) {
                ++row;
            } else if (ParseIndex(text, index) && index >= 1 && index <= kFormatRows) {
                row = index - 1;
            } else {
                SheetFault("a row's number " + Quoted(text) + " is invalid.");
            }
            col = -1;
            continue;
        }
        if (!IsMain(r, "c")) {
            r.SkipElement();
            continue;
        }
        std::int64_t cellRow, cellCol;
        // One pass over the cell's attributes: this runs for every cell of the sheet.
        std::string_view ref, typeText, styleText;
        bool hasRef = false;
        for (const zip::TXmlAttribute& a : r.Attributes()) {
            if (a.Ns != zip::kNoNamespace || a.Name.size() != 1) continue;
            if (a.Name[0] == 'r') {
                ref = a.Value;
                hasRef = true;
            }
            if (a.Name[0] == 't') typeText = a.Value;
            if (a.Name[0] == 's') styleText = a.Value;
        }
        if (hasRef) {
            // A reference that names no cell of the format must not be taken as the next
            // column: its value would land where it was never meant to be.
            if (!ParseReference(ref, cellRow, cellCol))
                SheetFault("a cell's reference " + Quoted(ref) + " names no cell.");
            row = cellRow;
            col = cellCol;
        } else {
            if (row < 0) row = 0;
            ++col;
        }
        if (row >= kFormatRows || col >= kFormatCols) SheetFault("a cell lies outside the sheet.");
        row_ = row;
        col_ = col;
        const std::string type(typeText);
        std::int64_t style = 0;
        if (!styleText.empty() && !ParseIndex(styleText, style))
            CellFault("its style " + Quoted(styleText) + " is no index.");
        value_.clear();
        inlineText_.clear();
        bool hasValue = false, hasInline = false;
        const int depth = r.Depth();
        for (Token c; (c = r.Next()) != Token::End;) {
            if (c == Token::EndTag && r.Depth() < depth) break;
            if (c != Token::StartTag) continue;
            // A value's UTF-8 takes at most three bytes a character.
            if (IsMain(r, "v")) {
                hasValue = true;
                if (!ReadBoundedText(r, value_, kMaxText * 3))
                    CellFault("its text is longer than 65535 characters.");
            } else if (IsMain(r, "is")) {
                hasInline = true;
                if (!ReadInlineString(r, inlineText_, false))
                    CellFault("its text is longer than 65535 characters.");
            } else {
                r.SkipElement();  // the formula: its cached value is what the cell shows
            }
        }
        StoreCell(row, col, type, style, hasValue, hasInline);
    }
}

void WorksheetParser::StoreCell(std::int64_t row, std::int64_t col, std::string_view type,
                                std::int64_t style, bool hasValue, bool hasInline) {
    const std::string& value = value_;
    // What is not a value of its type is refused before anything else: a cell the model
    // cannot hold may still hold damage, and a cell read as empty would go unnoticed.
    const bool blank = value.find_first_not_of(" \t\n") == std::string::npos;
    double d = 0;
    std::optional<double> days;
    if (type == "s") {
        std::int64_t index = 0;
        if (hasValue && !blank && !ParseIndex(value, index))
            CellFault("its shared string " + Quoted(value) + " is no index.");
        if (hasValue && !blank &&
            static_cast<std::uint64_t>(index) >= context_.sharedStrings->size())
            Fail("A cell refers to a shared string the workbook does not have.");
    } else if (type == "b") {
        if (hasValue && value != "true" && value != "false" && !ParseNumber(value, d))
            CellFault(Quoted(value) + " is no truth value.");
    } else if (type == "d") {
        if (hasValue) days = ParseIsoDateTime(value);
        if (hasValue && !days) CellFault(Quoted(value) + " is no date.");
    } else if (type.empty() || type == "n") {
        if (hasValue && !blank && !ParseNumber(value, d))
            CellFault(Quoted(value) + " is not a finite number.");
    } else if (type != "inlineStr" && type != "str" && type != "e") {
        CellFault("its type " + Quoted(type) + " is unknown.");
    }

    if (row >= kMaxRows || col >= kMaxCols) return;
    if (style < 0 || static_cast<std::size_t>(style) >= context_.xfIsDate.size()) style = 0;
    CellStep step;
    step.row = static_cast<std::int32_t>(row);
    step.col = static_cast<std::int32_t>(col);
    step.style = static_cast<std::int32_t>(style);
    TCellValue& v = step.value;
    if (type == "s") {
        if (!hasValue || blank) return;  // "<v/>": some writers' empty cell
        std::int64_t index = 0;
        ParseIndex(value, index);
        const auto& shared = *context_.sharedStrings;
        if (shared[static_cast<std::size_t>(index)].IsEmpty())
            Fail("A cell's text is longer than 65535 characters.");
        step.kind = CellStep::kSharedString;
        step.index = static_cast<std::uint32_t>(index);
    } else if (type == "inlineStr") {
        // Some writers add the text as a value too; the inline string is the cell's.
        v = hasInline || !hasValue ? TextValue(inlineText_, true) : TextValue(value);
    } else if (type == "str") {
        if (!hasValue) return;
        v = TextValue(value);
    } else if (type == "b") {
        if (!hasValue) return;
        v = TCellValue(value == "true" || (value != "false" && d != 0));
    } else if (type == "e") {
        return;  // error values are no values of the model, as in Excel 97 files
    } else if (type == "d") {
        if (!days) return;
        // A time alone is a serial below 1: it counts from the date system's first day.
        const bool timeOnly = value.size() < 5 || value[4] != '-';
        if (timeOnly) {
            v = TCellValue(
                TDateTime{context_.date1904 ? *days + k1904Offset : xls::DateFromSerial(*days)});
        } else {
            v = TCellValue(TDateTime{*days});
        }
    } else {
        if (!hasValue || blank) {
            if (style != 0 && !context_.xfIsPlain[static_cast<std::size_t>(style)]) {
                step.kind = CellStep::kFormat;
                Emit(std::move(step));
            }
            return;
        }
        if (context_.xfIsDate[static_cast<std::size_t>(style)]) {
            v = TCellValue(TDateTime{context_.date1904 ? d + k1904Offset : xls::DateFromSerial(d)});
        } else {
            v = TCellValue(d);
        }
    }
    Emit(std::move(step));
}

}  // namespace

bool LooksLikeXlsx(std::span<const std::uint8_t> bytes) {
    if (!zip::TZipArchive::LooksLikeZip(bytes)) return false;
    try {
        zip::TZipArchive archive(bytes);
        return archive.Find("xl/workbook.xml") != nullptr ||
               archive.Find("[Content_Types].xml") != nullptr;
    } catch (const Error&) {
        return false;
    }
}

void ReadXlsx(std::span<const std::uint8_t> bytes, TWorkbook& workbook,
              std::uint64_t threadedFrom) {
    // Excel wraps a password-protected workbook in a compound file.
    constexpr std::uint8_t kCompound[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (bytes.size() >= sizeof kCompound &&
        std::equal(std::begin(kCompound), std::end(kCompound), bytes.begin()))
        Fail(
            "The file is no Office Open XML workbook but a compound file: an Excel 97 workbook, or "
            "a password-protected workbook, which is not supported.");
    Reader reader(bytes, workbook, threadedFrom);
    reader.Run();
}

}  // namespace morvik::xlsx
