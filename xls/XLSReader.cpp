#include "XLSReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "CFile.h"
#include "FormulaSource.h"
#include "PtgParser.h"
#include "Streams.h"
#include "XLSError.h"
#include "XLSWorkbook.h"
#include "text/ByteReader.h"
#include "text/Cp1250.h"

namespace morvik::xls {

double DecodeRK(std::uint32_t rk) {
    double value;
    if (rk & 0x02u) {
        // Arithmetic shift keeps the sign of the 30-bit integer.
        value = static_cast<double>(static_cast<std::int32_t>(rk & ~3u) / 4);
    } else {
        value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & ~3u) << 32);
    }
    if (rk & 0x01u) value /= 100.0;
    return value;
}

double DateFromSerial(double serial) {
    // Day 2 is 1900-01-01; serials from 61 on already skip the 1900-02-29 that never was.
    constexpr double kJan1st1900 = 2.0;
    constexpr double kMar1st1900 = 61.0;
    double days = kJan1st1900 + serial - 1.0;
    if (days > kMar1st1900) days -= 1.0;
    return days;
}

bool FormatTextIsDate(std::string_view pattern) {
    // Literal parts hold letters that are no date codes: quoted text, escaped characters,
    // padding and fill characters, and bracketed colours and locales. A bracketed elapsed
    // time ([h], [mm], [ss]) is a time code.
    int dateCodes = 0, digitCodes = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '"') {
            const auto close = pattern.find('"', i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const auto close = pattern.find(']', i + 1);
            if (close == std::string_view::npos) break;
            const std::string_view inside = pattern.substr(i + 1, close - i - 1);
            if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos)
                ++dateCodes;
            i = close;
        } else if (c == 'G' || c == 'g') {
            // "General" in any letter case is the general number form.
            if (pattern.size() - i >= 7) {
                std::string word(pattern.substr(i, 7));
                for (char& w : word) w = static_cast<char>(w | 0x20);
                if (word == "general") i += 6;
            }
        } else if (std::string_view("yYmMdDhHsS").find(c) != std::string_view::npos) {
            ++dateCodes;
        } else if (c == '0' || c == '#' || c == '?') {
            ++digitCodes;
        }
    }
    // "mm:ss.0" has both; the date codes outnumber the digit placeholders.
    return dateCodes > digitCodes;
}

THeaderSections SplitHeaderSections(std::string_view text) {
    THeaderSections out;
    struct Section {
        std::string_view code, others;
        bool THeaderSections::*has;
        std::string THeaderSections::*value;
    };
    static constexpr std::array<Section, 3> kSections{{
        {"&L", "&C&R", &THeaderSections::HasLeft, &THeaderSections::Left},
        {"&C", "&L&R", &THeaderSections::HasCenter, &THeaderSections::Center},
        {"&R", "&L&C", &THeaderSections::HasRight, &THeaderSections::Right},
    }};
    for (const auto& s : kSections) {
        const auto at = text.find(s.code);
        if (at == std::string_view::npos) continue;
        // The other two codes are appended so that the section always ends at one of them.
        std::string rest(text.substr(at + 2));
        rest += s.others;
        const auto end =
            std::min(rest.find(s.others.substr(0, 2)), rest.find(s.others.substr(2, 2)));
        out.*(s.has) = true;
        out.*(s.value) = rest.substr(0, end);
    }
    return out;
}

namespace {

// Record identifiers the reader acts on.
namespace rid {
constexpr std::uint16_t kFormula = 0x0006, kEof = 0x000A, kProtect = 0x0012, kHeader = 0x0014,
                        kFooter = 0x0015, kExternSheet = 0x0017, kName = 0x0018,
                        kLeftMargin = 0x0026, kRightMargin = 0x0027, kTopMargin = 0x0028,
                        kBottomMargin = 0x0029, kPrintHeaders = 0x002A, kPrintGridlines = 0x002B,
                        kFilePass = 0x002F, kFont = 0x0031, kPane = 0x0041, kColInfo = 0x007D,
                        kWsBool = 0x0081, kHCenter = 0x0083, kVCenter = 0x0084,
                        kBoundSheet = 0x0085, kScl = 0x00A0, kSetup = 0x00A1, kMulRk = 0x00BD,
                        kMulBlank = 0x00BE, kXf = 0x00E0, kMergedCells = 0x00E5, kSst = 0x00FC,
                        kLabelSst = 0x00FD, kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204,
                        kBoolErr = 0x0205, kString = 0x0207, kRow = 0x0208, kDimensions = 0x0200,
                        kWindow2 = 0x023E, kRk = 0x027E, kFormat = 0x041E, kShrFmla = 0x04BC,
                        kBof = 0x0809;
}  // namespace rid

// tArea3d in its reference, value and array classes.
constexpr bool IsArea3dToken(std::uint8_t token) {
    return token == 0x3B || token == 0x5B || token == 0x7B;
}

// UTF-16LE bytes of a marked text (or its 8-bit characters) as Windows-1250 bytes, the
// narrow text of this program's code page.
std::string MarkedToCp1250(std::string_view marked) {
    if (marked.empty()) return {};
    if (marked[0] == kMarkWide) return Utf8ToCp1250(MarkedTextToUtf8(marked));
    return std::string(marked.substr(1));
}

// The formulas of one load: their tokens, end to end, the shared formulas and the lists 3-D
// references name sheets through. Cells hold a formula's number; its text is rendered when
// asked for, so what a load keeps is in proportion to the file.
class TLoadedFormulas final : public TFormulaSource {
  public:
    static constexpr std::int32_t kOwnTokens = -1;
    static constexpr std::int32_t kNoTokens = -2;  // a shared formula's cell that none covers
    struct Entry {
        std::size_t offset;  // into tokens
        std::uint32_t length;
        std::int32_t shared;  // index into shared, or kOwnTokens, kNoTokens
    };

    // The text of formula `id` for the cell at (row, col); false when it cannot be rendered.
    bool Render(std::uint32_t id, std::uint16_t row, std::uint8_t col, std::string& text) const {
        text.clear();
        if (id >= entries.size()) return false;
        const Entry& e = entries[id];
        std::span<const std::uint8_t> bytes;
        if (e.shared >= 0)
            bytes = shared.Item(static_cast<std::size_t>(e.shared)).Tokens;
        else if (e.shared == kOwnTokens)
            bytes = std::span<const std::uint8_t>(tokens).subspan(e.offset, e.length);
        const TPtgListLookup lookup(sheetNames, references);
        const TPtgContext context{row, col, &lookup, decimalSeparator};
        std::vector<TPtgToken> decoded;
        if (DecodePtgs(bytes, context, decoded) && RenderPtgs(decoded, text)) return true;
        text.clear();
        return false;
    }
    std::string Text(std::uint32_t id, const TCell& cell) const override {
        std::string text;
        Render(id, cell.Row(), static_cast<std::uint8_t>(cell.Col()), text);
        return text;
    }

    std::vector<std::string> sheetNames;
    std::vector<std::vector<std::uint8_t>> references;
    TXLSSharedFormulas shared;
    std::vector<std::uint8_t> tokens;
    std::vector<Entry> entries;
    char decimalSeparator = '.';
};

}  // namespace

// All state of one load.
class TXLSReader::Loader {
  public:
    Loader(TWorkbook& workbook, const TReaderOptions& options, TRecordCursor& cursor)
        : workbook_(workbook), options_(options), cursor_(cursor) {}

    void RecordLoop();
    // Refuses the file when a sheet's BOUNDSHEET offset named no substream: its cells would
    // be missing without a word.
    void CheckSheetsFound();
    void NamesPass();
    void FormulaPass();

    // Handlers, one per record identifier of the dispatch table.
    void OnBof(ByteReader&);
    void OnEof(ByteReader&);
    void OnProtect(ByteReader&);
    void OnFilePass(ByteReader&);
    void OnBoundSheet(ByteReader&);
    void OnExternSheet(ByteReader&);
    void OnName(ByteReader&);
    void OnSst(ByteReader&);
    void OnFont(ByteReader&);
    void OnXf(ByteReader&);
    void OnFormat(ByteReader&);
    void OnNumber(ByteReader&);
    void OnRk(ByteReader&);
    void OnMulRk(ByteReader&);
    void OnLabel(ByteReader&);
    void OnLabelSst(ByteReader&);
    void OnBoolErr(ByteReader&);
    void OnBlank(ByteReader&);
    void OnMulBlank(ByteReader&);
    void OnFormula(ByteReader&);
    void OnString(ByteReader&);
    void OnShrFmla(ByteReader&);
    void OnRow(ByteReader&);
    void OnColInfo(ByteReader&);
    void OnMergedCells(ByteReader&);
    void OnSetup(ByteReader&);
    void OnWsBool(ByteReader&);
    void OnHeader(ByteReader&);
    void OnFooter(ByteReader&);
    void OnPane(ByteReader&);
    void OnScl(ByteReader&);
    void OnWindow2(ByteReader&);
    void OnDimensions(ByteReader&);
    void OnLeftMargin(ByteReader& r) { Sheet().PageSetup().LeftMargin = r.F64(); }
    void OnRightMargin(ByteReader& r) { Sheet().PageSetup().RightMargin = r.F64(); }
    void OnTopMargin(ByteReader& r) { Sheet().PageSetup().TopMargin = r.F64(); }
    void OnBottomMargin(ByteReader& r) { Sheet().PageSetup().BottomMargin = r.F64(); }
    void OnPrintHeaders(ByteReader& r) { Sheet().PageSetup().PrintHeadings = r.U16() == 1; }
    void OnPrintGridlines(ByteReader& r) { Sheet().PageSetup().PrintGridlines = r.U16() == 1; }
    void OnHCenter(ByteReader& r) { Sheet().PageSetup().CenterHorizontally = r.U16() == 1; }
    void OnVCenter(ByteReader& r) { Sheet().PageSetup().CenterVertically = r.U16() == 1; }

  private:
    TSheet& Sheet() { return workbook_.Sheets().Items(sheetIndex_); }
    TCell& CellAt(std::uint16_t row, std::uint16_t col) { return Sheet().Cells().Cell(row, col); }
    void ApplyFormat(TCell& cell, std::uint32_t xf);
    void ApplyBlank(std::uint16_t row, std::uint16_t col, std::uint32_t xf);
    bool XfIsDate(std::uint32_t xf);
    const TCellValue& SharedString(std::uint32_t index);
    void HeaderFooter(ByteReader& r, bool footer);
    std::optional<int> SheetOfReference(std::uint16_t reference) const;

    TWorkbook& workbook_;
    TReaderOptions options_;
    TRecordCursor& cursor_;

    int bofDepth_ = 0;
    bool globalsDone_ = false;
    // The sheet whose substream is being read, or -1 (the globals, or a substream no
    // BOUNDSHEET names, whose records are not read).
    int sheetIndex_ = -1;
    // Where the current record starts in the stream.
    std::uint64_t recordStart_ = 0;
    // Per sheet, the stream offset its BOUNDSHEET gives and whether a substream began there.
    std::vector<std::uint32_t> sheetOffsets_;
    std::vector<bool> sheetFound_;
    std::unordered_map<std::uint32_t, int> sheetAtOffset_;
    bool fontTableStarted_ = false;
    bool xfTableStarted_ = false;
    struct PendingString {
        int row = -1, col = -1, xf = -1;
    } pendingString_;
    std::vector<std::string> sharedStrings_;  // marked, as read
    // By the same index, once a cell used it; entries are filled once and never replaced.
    std::shared_ptr<std::vector<TCellValue>> sharedValues_ =
        std::make_shared<std::vector<TCellValue>>();
    std::shared_ptr<const void> sharedKeeper_ = sharedValues_;
    std::vector<std::vector<std::uint8_t>> names_;
    std::vector<std::vector<std::uint8_t>> references_;
    // Where each FORMULA record's tokens lie in the store. The formula pass goes through this
    // list instead of visiting every cell of the workbook.
    struct FormulaEntry {
        std::size_t offset;  // into formulaStore_->tokens
        std::uint32_t length;
        std::int32_t sheet;
        std::int32_t ordinal;  // the cell's place in its sheet's cells
        std::uint8_t options;  // low byte of the record's option flags
    };
    std::vector<std::uint8_t> formulaTokens_;
    std::unique_ptr<TLoadedFormulas> formulaStore_ = std::make_unique<TLoadedFormulas>();
    std::vector<FormulaEntry> formulas_;
    std::int64_t mergedBudget_ = -1;  // see kMergedCellBudget; set on first use
    // Columns COLINFO records may still set, widths and outline levels each counted per
    // column: a record names up to 256 columns in 16 bytes.
    std::int64_t columnBudget_ = -1;
    // Whether a cell format shows dates, in two steps that each change rarely: the number
    // format of each XF index (-1 not yet looked up; XF entries do not change once read), and
    // whether each number format shows dates (-1 not yet known; a FORMAT record forgets only
    // its own position). Forgetting more would make every cell after a FORMAT or XF record
    // scan its pattern again.
    std::vector<std::int32_t> xfFormat_;
    std::vector<std::int8_t> formatIsDate_;
    // Per XF index, 1 once it is known to lie in the table and not to show dates: the answer
    // for nearly every cell in one look. Forgotten with the tables it was drawn from.
    std::vector<std::uint8_t> xfPlain_;
    void MarkPlain(std::uint32_t xf);
    bool FormatIsDate(std::int32_t position);
    // Cells the DIMENSIONS records may still reserve room for, all sheets together; set from
    // the stream size on first use so that the room reserved stays in proportion to the file.
    std::int64_t reserveBudget_ = -1;
    // What cells may take beyond their own records, in proportion to the stream (set on first
    // use): formatted blank cells, two bytes of file each in a MULBLANK but a whole cell in
    // memory, are skipped once the budget is spent; shared strings, copied into every cell
    // that names them, refuse the file once their copies pass it.
    std::int64_t blankBudget_ = -1;
    std::int64_t textBudget_ = -1;
    std::int64_t StreamSize() { return static_cast<std::int64_t>(cursor_.Stream().Size()); }
};

namespace {

using Handler = void (TXLSReader::Loader::*)(ByteReader&);

// Where a record is read: anywhere, or only in the substream of a sheet a BOUNDSHEET names
// (cells, rows, columns, page setup and view). Elsewhere such a record is skipped: cells in
// the globals or in an unnamed substream belong to no sheet.
enum Where : bool { kAnywhere = false, kSheetOnly = true };

struct RecordEntry {
    std::uint16_t id;
    Handler handler;
    Where where;
};

// Every record the reader acts on; any other identifier (CONTINUE outside the string table,
// CODEPAGE, DATEMODE, ...) is consumed unread.
constexpr RecordEntry kRecordTable[] = {
    {rid::kFormula, &TXLSReader::Loader::OnFormula, kSheetOnly},
    {rid::kEof, &TXLSReader::Loader::OnEof, kAnywhere},
    {rid::kProtect, &TXLSReader::Loader::OnProtect, kAnywhere},
    {rid::kHeader, &TXLSReader::Loader::OnHeader, kSheetOnly},
    {rid::kFooter, &TXLSReader::Loader::OnFooter, kSheetOnly},
    {rid::kExternSheet, &TXLSReader::Loader::OnExternSheet, kAnywhere},
    {rid::kName, &TXLSReader::Loader::OnName, kAnywhere},
    {rid::kLeftMargin, &TXLSReader::Loader::OnLeftMargin, kSheetOnly},
    {rid::kRightMargin, &TXLSReader::Loader::OnRightMargin, kSheetOnly},
    {rid::kTopMargin, &TXLSReader::Loader::OnTopMargin, kSheetOnly},
    {rid::kBottomMargin, &TXLSReader::Loader::OnBottomMargin, kSheetOnly},
    {rid::kPrintHeaders, &TXLSReader::Loader::OnPrintHeaders, kSheetOnly},
    {rid::kPrintGridlines, &TXLSReader::Loader::OnPrintGridlines, kSheetOnly},
    {rid::kFilePass, &TXLSReader::Loader::OnFilePass, kAnywhere},
    {rid::kFont, &TXLSReader::Loader::OnFont, kAnywhere},
    {rid::kPane, &TXLSReader::Loader::OnPane, kSheetOnly},
    {rid::kColInfo, &TXLSReader::Loader::OnColInfo, kSheetOnly},
    {rid::kWsBool, &TXLSReader::Loader::OnWsBool, kSheetOnly},
    {rid::kHCenter, &TXLSReader::Loader::OnHCenter, kSheetOnly},
    {rid::kVCenter, &TXLSReader::Loader::OnVCenter, kSheetOnly},
    {rid::kBoundSheet, &TXLSReader::Loader::OnBoundSheet, kAnywhere},
    {rid::kScl, &TXLSReader::Loader::OnScl, kSheetOnly},
    {rid::kSetup, &TXLSReader::Loader::OnSetup, kSheetOnly},
    {rid::kMulRk, &TXLSReader::Loader::OnMulRk, kSheetOnly},
    {rid::kMulBlank, &TXLSReader::Loader::OnMulBlank, kSheetOnly},
    {rid::kXf, &TXLSReader::Loader::OnXf, kAnywhere},
    {rid::kMergedCells, &TXLSReader::Loader::OnMergedCells, kSheetOnly},
    {rid::kSst, &TXLSReader::Loader::OnSst, kAnywhere},
    {rid::kLabelSst, &TXLSReader::Loader::OnLabelSst, kSheetOnly},
    {rid::kBlank, &TXLSReader::Loader::OnBlank, kSheetOnly},
    {rid::kNumber, &TXLSReader::Loader::OnNumber, kSheetOnly},
    {rid::kLabel, &TXLSReader::Loader::OnLabel, kSheetOnly},
    {rid::kBoolErr, &TXLSReader::Loader::OnBoolErr, kSheetOnly},
    {rid::kString, &TXLSReader::Loader::OnString, kSheetOnly},
    {rid::kRow, &TXLSReader::Loader::OnRow, kSheetOnly},
    {rid::kWindow2, &TXLSReader::Loader::OnWindow2, kSheetOnly},
    {rid::kDimensions, &TXLSReader::Loader::OnDimensions, kSheetOnly},
    {rid::kRk, &TXLSReader::Loader::OnRk, kSheetOnly},
    {rid::kFormat, &TXLSReader::Loader::OnFormat, kAnywhere},
    {rid::kShrFmla, &TXLSReader::Loader::OnShrFmla, kSheetOnly},
    {rid::kBof, &TXLSReader::Loader::OnBof, kAnywhere},
};

// Direct lookup by identifier: every identifier of the table is below this bound.
constexpr std::size_t kDispatchSize = 0x0810;

constexpr std::array<Handler, kDispatchSize> MakeDispatch() {
    std::array<Handler, kDispatchSize> out{};
    for (const auto& e : kRecordTable) out[e.id] = e.handler;
    return out;
}
constexpr auto kDispatch = MakeDispatch();

constexpr std::array<bool, kDispatchSize> MakeSheetOnly() {
    std::array<bool, kDispatchSize> out{};
    for (const auto& e : kRecordTable) out[e.id] = e.where == kSheetOnly;
    return out;
}
constexpr auto kSheetOnlyRecord = MakeSheetOnly();

// Records that may stand between a FORMULA and the STRING holding its text result.
constexpr bool MayPrecedeString(std::uint32_t id) {
    return id == rid::kFormula || id == rid::kString || id == rid::kShrFmla || id == 0x0221 ||
           id == 0x0236;  // ARRAY, TABLE
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The record loop and substreams

void TXLSReader::Loader::RecordLoop() {
    while (cursor_.NextRecord()) {
        const std::uint32_t id = cursor_.RecordId();
        // Consumed before the handler runs: the string table handler reads ahead and leaves
        // the record after the table unconsumed for the next turn.
        cursor_.Consume();
        // A STRING belongs to the FORMULA just before it; after anything else it is ignored,
        // not written into a cell of whatever sheet is being read by then.
        if (pendingString_.row >= 0 && !MayPrecedeString(id)) pendingString_ = {};
        if (id >= kDispatchSize || kDispatch[id] == nullptr) continue;
        // A substream inside a sheet (an embedded chart) carries its own cached series values
        // as NUMBER and LABEL records; they are no cells of the sheet around it.
        if (bofDepth_ > 1 && id != rid::kBof && id != rid::kEof) continue;
        if (kSheetOnlyRecord[id] && (bofDepth_ != 1 || sheetIndex_ < 0)) continue;
        const auto bytes = cursor_.Data().Bytes();
        // Only a BOF asks where its record starts.
        if (id == rid::kBof) {
            recordStart_ = cursor_.Stream().Position() -
                           std::min<std::uint64_t>(cursor_.Stream().Position(), 4 + bytes.size());
        }
        ByteReader r(bytes);
        (this->*kDispatch[id])(r);
    }
}

// The first substream is the globals; every later one is the sheet whose BOUNDSHEET gives the
// offset it starts at. Taking them in order instead would show one sheet's cells under
// another's name as soon as a file lists them in a different order.
void TXLSReader::Loader::CheckSheetsFound() {
    for (std::size_t i = 0; i < sheetFound_.size(); ++i) {
        if (!sheetFound_[i])
            throw EXLSError(kErrSheetDataMissing,
                            workbook_.Sheets().Items(static_cast<int>(i)).NameUtf8());
    }
}

void TXLSReader::Loader::OnBof(ByteReader&) {
    ++bofDepth_;
    if (bofDepth_ != 1 || !globalsDone_) return;
    sheetIndex_ = -1;
    if (recordStart_ > 0xFFFFFFFFu) return;
    const auto found = sheetAtOffset_.find(static_cast<std::uint32_t>(recordStart_));
    if (found == sheetAtOffset_.end() || sheetFound_[static_cast<std::size_t>(found->second)])
        return;
    sheetIndex_ = found->second;
    sheetFound_[static_cast<std::size_t>(sheetIndex_)] = true;
}

void TXLSReader::Loader::OnEof(ByteReader&) {
    // An EOF without its BOF ends nothing.
    if (bofDepth_ == 0) return;
    --bofDepth_;
    if (bofDepth_ != 0) return;
    globalsDone_ = true;
    sheetIndex_ = -1;
}

void TXLSReader::Loader::OnProtect(ByteReader& r) {
    if (r.U16() != 0 && !globalsDone_) throw EXLSError(kErrPasswordProtected);
}

void TXLSReader::Loader::OnFilePass(ByteReader&) {
    // Everything after FILEPASS is encrypted: reading on would turn cipher text into cells.
    if (!globalsDone_) throw EXLSError(kErrPasswordProtected);
}

// ---------------------------------------------------------------------------------------------
// Workbook globals

void TXLSReader::Loader::OnBoundSheet(ByteReader& r) {
    // Sheets come from the globals only: one named in a sheet's substream would have no data.
    if (globalsDone_) return;
    const std::uint32_t offset = r.U32();
    r.U16();  // visibility and type: hidden and chart sheets are sheets like any other
    const std::size_t count = r.U8();
    const bool wide = (r.U8() & 0x01) != 0;
    std::u16string name;
    if (wide) {
        const auto bytes = r.Bytes(2 * count);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            name.push_back(static_cast<char16_t>(LoadU16(&bytes[i])));
    } else {
        // Compressed characters are the low bytes of UTF-16 code units.
        for (std::uint8_t b : r.Bytes(count)) name.push_back(static_cast<char16_t>(b));
    }
    const TSheet& sheet = workbook_.Sheets().Add(name);
    sheetOffsets_.push_back(offset);
    sheetFound_.push_back(false);
    // Two sheets at one offset: the first has the data, the second is reported missing.
    sheetAtOffset_.try_emplace(offset, sheet.Index());
}

void TXLSReader::Loader::OnExternSheet(ByteReader& r) {
    r.Skip(2);
    while (r.Remaining() >= 6) {
        const auto entry = r.Bytes(6);
        references_.emplace_back(entry.begin(), entry.end());
    }
}

void TXLSReader::Loader::OnName(ByteReader& r) {
    const auto bytes = r.Bytes(r.Remaining());
    names_.emplace_back(bytes.begin(), bytes.end());
}

void TXLSReader::Loader::OnSst(ByteReader&) { ReadSharedStringTable(cursor_, sharedStrings_); }

void TXLSReader::Loader::OnFont(ByteReader& r) {
    auto& fonts = workbook_.Fonts();
    if (!fontTableStarted_) {
        fonts.BeginLoad();
        fontTableStarted_ = true;
    }
    FontFromRecord(r.Bytes(r.Remaining()), fonts.Scratch());
    fonts.AppendScratch();
}

void TXLSReader::Loader::OnXf(ByteReader& r) {
    auto& xfs = workbook_.XFs();
    if (!xfTableStarted_) {
        xfs.BeginLoad();
        xfTableStarted_ = true;
        xfFormat_.clear();  // entries of the table before this file's
        xfPlain_.clear();
    }
    TXFEntry& entry = xfs.Scratch();
    XFFromRecord(r.Bytes(r.Remaining()), entry);
    // The file's font numbering skips font 4.
    if (entry.FontIndex >= 4) --entry.FontIndex;
    const int position = workbook_.FormatStrings().IndexOfCode(entry.NumberFormat);
    entry.NumberFormat = static_cast<std::uint16_t>(position < 0 ? 0 : position);
    xfs.AppendScratch();
}

void TXLSReader::Loader::OnFormat(ByteReader& r) {
    const std::uint16_t code = r.U16();
    TEasyStream rest(r.Bytes(r.Remaining()));
    std::string marked;
    ReadCountedString(rest, 2, marked);
    // Kept as UTF-8: the number formatter copies a pattern's literal text ("Kč", "€") into
    // the cells' display text, which is UTF-8.
    const int position = workbook_.FormatStrings().SetFormat(code, MarkedTextToUtf8(marked));
    if (static_cast<std::size_t>(position) < formatIsDate_.size())
        formatIsDate_[static_cast<std::size_t>(position)] = -1;
    xfPlain_.clear();
}

// ---------------------------------------------------------------------------------------------
// Cell values

bool TXLSReader::Loader::FormatIsDate(std::int32_t position) {
    const auto& formats = workbook_.FormatStrings();
    if (position < 0 || position >= formats.Count()) return false;
    const auto p = static_cast<std::size_t>(position);
    if (p >= formatIsDate_.size())
        formatIsDate_.resize(static_cast<std::size_t>(formats.Count()), -1);
    std::int8_t& known = formatIsDate_[p];
    if (known < 0) {
        known = 0;
        const TNumberFormat& format = formats.At(position);
        const std::string_view kind = ClassifyBuiltinFormat(format.Code);
        if (!kind.empty()) {
            known = kind == "date" ? 1 : 0;
        } else if (!format.Pattern.empty()) {
            known = FormatTextIsDate(format.Pattern) ? 1 : 0;
        }
    }
    return known == 1;
}

bool TXLSReader::Loader::XfIsDate(std::uint32_t xf) {
    if (xf >= xfFormat_.size())
        xfFormat_.resize(static_cast<std::size_t>(workbook_.XFs().Count()), -1);
    std::int32_t& format = xfFormat_[xf];
    if (format < 0) format = workbook_.XFs().Get(static_cast<int>(xf)).NumberFormat;
    return FormatIsDate(format);
}

void TXLSReader::Loader::MarkPlain(std::uint32_t xf) {
    if (xf >= xfPlain_.size()) xfPlain_.resize(xf + 1, 0);
    xfPlain_[xf] = 1;
}

void TXLSReader::Loader::ApplyFormat(TCell& cell, std::uint32_t xf) {
    if (xf < xfPlain_.size() && xfPlain_[xf] != 0) {
        // Most cells already carry their XF (inherited from the row).
        if (cell.XFIndex() != static_cast<std::int32_t>(xf))
            cell.SetXFIndex(static_cast<std::int32_t>(xf));
        return;
    }
    if (xf >= static_cast<std::uint32_t>(workbook_.XFs().Count())) return;
    if (cell.XFIndex() != static_cast<std::int32_t>(xf))
        cell.SetXFIndex(static_cast<std::int32_t>(xf));
    if (!XfIsDate(xf)) {
        MarkPlain(xf);
        return;
    }
    const TCellValue& value = cell.Value();
    if (value.IsNumber() && value.Kind() != TVarType::Date) {
        cell.SetValue(TCellValue(TDateTime{DateFromSerial(value.AsDouble())}));
    }
}

void TXLSReader::Loader::OnNumber(ByteReader& r) {
    std::uint16_t row = 0, col = 0, xf = 0;
    double value = 0;
    // A whole record, the usual case, is checked once instead of field by field.
    if (const auto fields = r.Bytes(14); !fields.empty()) {
        row = LoadU16(&fields[0]);
        col = LoadU16(&fields[2]);
        xf = LoadU16(&fields[4]);
        value = std::bit_cast<double>(LoadU64(&fields[6]));
    } else {
        row = r.U16(), col = r.U16(), xf = r.U16();
        value = r.F64();
    }
    TCell& cell = CellAt(row, col);
    cell.SetValue(TCellValue(value));
    ApplyFormat(cell, xf);
}

void TXLSReader::Loader::OnRk(ByteReader& r) {
    std::uint16_t row = 0, col = 0, xf = 0;
    std::uint32_t rk = 0;
    if (const auto fields = r.Bytes(10); !fields.empty()) {
        row = LoadU16(&fields[0]);
        col = LoadU16(&fields[2]);
        xf = LoadU16(&fields[4]);
        rk = LoadU32(&fields[6]);
    } else {
        row = r.U16(), col = r.U16(), xf = r.U16();
        rk = r.U32();
    }
    TCell& cell = CellAt(row, col);
    cell.SetValue(TCellValue(DecodeRK(rk)));
    ApplyFormat(cell, xf);
}

void TXLSReader::Loader::OnMulRk(ByteReader& r) {
    const std::uint16_t row = r.U16();
    int col = r.U16();
    // The trailing last-column field is not trusted; the entries say how many there are.
    while (r.Remaining() > 6) {
        const std::uint16_t xf = r.U16();
        const double value = DecodeRK(r.U32());
        TCell& cell = CellAt(row, static_cast<std::uint16_t>(std::min(col, 0xFFFF)));
        cell.SetValue(TCellValue(value));
        ApplyFormat(cell, xf);
        ++col;
    }
}

void TXLSReader::Loader::OnLabel(ByteReader& r) {
    const std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
    const std::uint16_t count = r.U16();
    TCell& cell = CellAt(row, col);
    if (count == 0) {
        cell.SetValue(TCellValue::String8({}));
    } else {
        const bool wide = (r.U8() & 0x01) != 0;
        // Characters beyond the record give an empty text, as every other counted string
        // of a record does, rather than a torn one.
        const auto bytes = r.Bytes(wide ? 2u * count : count);
        if (wide) {
            std::u16string text;
            text.reserve(bytes.size() / 2);
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
                text.push_back(static_cast<char16_t>(LoadU16(&bytes[i])));
            cell.SetValue(TCellValue(std::move(text)));
        } else {
            cell.SetValue(TCellValue::String8(std::string(bytes.begin(), bytes.end())));
        }
    }
    ApplyFormat(cell, xf);
}

void TXLSReader::Loader::OnLabelSst(ByteReader& r) {
    const std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
    const std::uint32_t index = r.U32();
    if (index >= sharedStrings_.size()) RaiseListIndexError(index);
    const std::string& marked = sharedStrings_[index];
    if (textBudget_ < 0) textBudget_ = (std::int64_t{16} << 20) + 16 * StreamSize();
    textBudget_ -= static_cast<std::int64_t>(marked.size());
    if (textBudget_ < 0) throw EXLSError(kErrTooMuchText);
    TCells& cells = Sheet().Cells();
    TCell& cell = cells.Cell(row, col);
    cells.SetBorrowedValue(cell, SharedString(index), sharedKeeper_);
    ApplyFormat(cell, xf);
}

// Made on first use and then shared by every cell that shows the string: one text per shared
// string instead of one per cell, and the cells' collections keep the table.
const TCellValue& TXLSReader::Loader::SharedString(std::uint32_t index) {
    auto& values = *sharedValues_;
    // Growing moves the values, not their texts, which the cells borrow.
    if (index >= values.size()) values.resize(sharedStrings_.size());
    TCellValue& value = values[index];
    if (value.IsEmpty()) {
        std::string& marked = sharedStrings_[index];
        if (!marked.empty() && marked[0] == kMarkWide) {
            value = TCellValue(MarkedTextToWide(marked));
        } else {
            value = TCellValue::String8(marked.empty() ? std::string() : marked.substr(1));
        }
    }
    return value;
}

void TXLSReader::Loader::OnBoolErr(ByteReader& r) {
    const std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
    const std::uint16_t value = r.U16();
    // Error codes are not values of the model: such a cell is left out.
    if (value > 1) return;
    TCell& cell = CellAt(row, col);
    cell.SetValue(TCellValue(value == 1));
    ApplyFormat(cell, xf);
}

void TXLSReader::Loader::ApplyBlank(std::uint16_t row, std::uint16_t col, std::uint32_t xf) {
    if (!options_.ReadBlankCells) return;
    auto& xfs = workbook_.XFs();
    if (xf >= static_cast<std::uint32_t>(xfs.Count()) || IsPlain(xfs.Get(static_cast<int>(xf))))
        return;
    if (blankBudget_ < 0) blankBudget_ = 65536 + StreamSize() / 4;
    if (blankBudget_ == 0) return;
    --blankBudget_;
    ApplyFormat(CellAt(row, col), xf);
}

void TXLSReader::Loader::OnBlank(ByteReader& r) {
    const std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
    ApplyBlank(row, col, xf);
}

void TXLSReader::Loader::OnMulBlank(ByteReader& r) {
    const std::uint16_t row = r.U16();
    int col = r.U16();
    while (r.Remaining() > 2) {
        ApplyBlank(row, static_cast<std::uint16_t>(std::min(col, 0xFFFF)), r.U16());
        ++col;
    }
}

// ---------------------------------------------------------------------------------------------
// Formula cells

void TXLSReader::Loader::OnFormula(ByteReader& r) {
    const std::uint16_t row = r.U16(), col = r.U16(), xf = r.U16();
    std::array<std::uint8_t, 8> result{};
    const auto resultBytes = r.Bytes(8);
    std::copy(resultBytes.begin(), resultBytes.end(), result.begin());
    TCell& cell = CellAt(row, col);
    if (result[6] == 0xFF && result[7] == 0xFF) {
        switch (result[0]) {
            case 0:  // text, in the STRING record that follows
                pendingString_ = {row, col, xf};
                break;
            case 1:
                cell.SetValue(TCellValue(result[2] == 1));
                break;
            default:  // error or empty text: no value
                break;
        }
    } else {
        cell.SetValue(TCellValue(std::bit_cast<double>(LoadU64(result.data()))));
    }
    ApplyFormat(cell, xf);
    if (!options_.ReadFormulas) return;
    const auto options = r.Bytes(2);
    r.Skip(4);
    const std::uint16_t length = r.U16();
    const auto tokens = r.Bytes(std::min<std::size_t>(length, r.Remaining()));
    // A formula cell joins its sheet even when it holds no value and the default format.
    if (!cell.Registered()) cell.SetFormula("0");
    TCells& cells = Sheet().Cells();
    const int last = cells.Count() - 1;
    const int ordinal = last >= 0 && &cells.Items(last) == &cell ? last : cells.IndexOf(cell);
    formulas_.push_back({formulaTokens_.size(), static_cast<std::uint32_t>(tokens.size()),
                         sheetIndex_, ordinal, options.empty() ? std::uint8_t{0} : options[0]});
    formulaTokens_.insert(formulaTokens_.end(), tokens.begin(), tokens.end());
}

void TXLSReader::Loader::OnString(ByteReader&) {
    if (pendingString_.row < 0 || pendingString_.col < 0 || pendingString_.xf < 0) return;
    // A long result runs on into CONTINUE records, laid out like a shared string; cutting it
    // at the record's end would leave the cell without its text.
    cursor_.Data().SetPosition(0);
    std::vector<std::string> read;
    ReadContinuedString(cursor_, read);
    const std::string marked = read.empty() ? std::string(1, kMarkNarrow) : std::move(read.front());
    TCell& cell = CellAt(static_cast<std::uint16_t>(pendingString_.row),
                         static_cast<std::uint16_t>(pendingString_.col));
    // 16-bit text stays 16-bit: squeezing it through an 8-bit code page would lose every
    // character the code page lacks.
    if (marked[0] == kMarkWide) {
        cell.SetValue(TCellValue(MarkedTextToWide(marked)));
    } else {
        cell.SetValue(TCellValue::String8(marked.substr(1)));
    }
    ApplyFormat(cell, static_cast<std::uint32_t>(pendingString_.xf));
    pendingString_ = {};
}

void TXLSReader::Loader::OnShrFmla(ByteReader& r) {
    if (!options_.ReadFormulas) return;
    formulaStore_->shared.Add(static_cast<std::uint16_t>(sheetIndex_), r.Bytes(r.Remaining()));
}

void TXLSReader::Loader::FormulaPass() {
    if (formulas_.empty()) return;
    TLoadedFormulas& store = *formulaStore_;
    auto& sheets = workbook_.Sheets();
    for (int i = 0; i < sheets.Count(); ++i) store.sheetNames.push_back(sheets.Items(i).NameUtf8());
    store.decimalSeparator = LocaleDecimalSeparator();
    store.references = references_;
    store.tokens = std::move(formulaTokens_);
    // Set per cell below: a cell given more than one formula keeps the last, so the cells are
    // visited sheet by sheet in the order of each sheet's cells.
    const auto before = [](const FormulaEntry& a, const FormulaEntry& b) {
        return a.sheet != b.sheet ? a.sheet < b.sheet : a.ordinal < b.ordinal;
    };
    if (!std::is_sorted(formulas_.begin(), formulas_.end(), before))
        std::stable_sort(formulas_.begin(), formulas_.end(), before);
    // The cells that keep their formula, and the shared formula of each that has one.
    std::vector<std::size_t> kept;
    std::vector<TXLSSharedFormulas::TCellQuery> queries;
    for (std::size_t i = 0; i < formulas_.size(); ++i) {
        const FormulaEntry& entry = formulas_[i];
        if (i + 1 < formulas_.size() && formulas_[i + 1].sheet == entry.sheet &&
            formulas_[i + 1].ordinal == entry.ordinal)
            continue;
        kept.push_back(i);
        if (entry.options & TPtgParser::kSharedFlag) {
            const TCell& cell = sheets.Items(entry.sheet).Cells().Items(entry.ordinal);
            queries.push_back({static_cast<std::uint16_t>(entry.sheet), cell.Row(),
                               static_cast<std::uint8_t>(cell.Col())});
        }
    }
    const std::vector<std::int32_t> sharedOf = store.shared.FindAll(queries);
    store.entries.reserve(kept.size());
    std::size_t query = 0;
    std::string text;
    for (const std::size_t i : kept) {
        const FormulaEntry& entry = formulas_[i];
        TCell& cell = sheets.Items(entry.sheet).Cells().Items(entry.ordinal);
        std::int32_t shared = TLoadedFormulas::kOwnTokens;
        if (entry.options & TPtgParser::kSharedFlag) {
            shared = sharedOf[query++];
            if (shared < 0) shared = TLoadedFormulas::kNoTokens;
        }
        const auto id = static_cast<std::uint32_t>(store.entries.size());
        store.entries.push_back({entry.offset, entry.length, shared});
        cell.SetFormulaRef(id);
        if (options_.StrictFormulas &&
            !store.Render(id, cell.Row(), static_cast<std::uint8_t>(cell.Col()), text))
            throw EXLSError(kErrFormulaNotRecognized);
    }
    workbook_.SetFormulaSource(std::move(formulaStore_));
}

// ---------------------------------------------------------------------------------------------
// Rows, columns, merged areas

void TXLSReader::Loader::OnRow(ByteReader& r) {
    if (!options_.ReadRowInfo) return;
    const std::uint16_t index = r.U16();
    r.Skip(4);
    const std::uint16_t height = r.U16();
    r.Skip(4);
    const std::uint16_t flags = r.U16();
    // The XF index is the low 12 bits; above it stand the thick-border and phonetic flags,
    // which would push a bordered row's index beyond the table and lose its format.
    const std::uint16_t xf = r.U16() & 0x0FFF;
    TSheet& sheet = Sheet();
    TRow* row = &sheet.Rows().Row(index);
    if (flags & 0x20)
        row->SetHeightPixels(0);
    else
        row->SetHeightPoints(height / 20.0);
    if (flags & 0x07) {
        for (int level = flags & 0x07; level > 0; --level) sheet.GroupRows(index, index);
        // Looked up again: grouping may have replaced a row that was still pending.
        row = &sheet.Rows().Row(index);
    }
    if (!(flags & 0x40)) row->ClearCustomHeight();
    if ((flags & 0x80) && xf < workbook_.XFs().Count()) row->SetXFIndex(xf);
}

void TXLSReader::Loader::OnColInfo(ByteReader& r) {
    if (!options_.ReadColumnInfo) return;
    const std::uint16_t first = r.U16();
    const std::uint16_t last = std::min<std::uint16_t>(r.U16(), 255);
    const std::uint16_t width = r.U16();
    const std::uint16_t xf = r.U16();
    const std::uint16_t flags = r.U16();
    TSheet& sheet = Sheet();
    const int levels = (flags >> 8) & 0x07;
    const std::int64_t work = std::int64_t{last >= first ? last - first + 1 : 0} * (1 + levels);
    if (columnBudget_ < 0) columnBudget_ = 65536 + 2 * StreamSize();
    if (work > columnBudget_) return;
    columnBudget_ -= work;
    for (int c = first; c <= last; ++c) {
        TColumn& column = sheet.Columns().Column(c);
        if (flags & 0x0001)
            column.SetWidthPixels(0);
        else
            column.SetWidthChars(ColumnWidthFromFile(width, workbook_.Metrics()));
        column.SetXFIndex(xf);
    }
    for (int level = levels; level > 0; --level) sheet.GroupColumns(first, last);
}

void TXLSReader::Loader::OnMergedCells(ByteReader& r) {
    r.Skip(2);
    TSheet& sheet = Sheet();
    while (r.Remaining() >= 8) {
        const std::uint16_t firstRow = r.U16(), lastRow = r.U16();
        const std::uint16_t firstCol = r.U16(), lastCol = r.U16();
        TRange& range = sheet.Ranges().Add();
        range.AddRect(firstRow, lastRow, static_cast<std::uint8_t>(firstCol),
                      static_cast<std::uint8_t>(lastCol));
        const std::int64_t rows = static_cast<std::int64_t>(lastRow) - firstRow + 1;
        const std::int64_t cols = static_cast<std::int64_t>(lastCol & 0xFF) - (firstCol & 0xFF) + 1;
        const std::int64_t cells = rows > 0 && cols > 0 ? rows * cols : 0;
        if (mergedBudget_ < 0) mergedBudget_ = kMergedCellBudget + StreamSize() / 4;
        if (cells > mergedBudget_) continue;
        mergedBudget_ -= cells;
        range.Merge();
    }
}

// ---------------------------------------------------------------------------------------------
// Page setup and view

void TXLSReader::Loader::OnSetup(ByteReader& r) {
    TPageSetup& page = Sheet().PageSetup();
    page.PaperSize = static_cast<std::uint8_t>(r.U16());
    page.Scale = r.U16();
    page.StartPage = r.I16();
    page.FitWidth = r.U16();
    page.FitHeight = r.U16();
    const std::uint16_t flags = r.U16();
    page.OverThenDown = flags & 0x01;
    page.Portrait = flags & 0x02;
    page.BlackAndWhite = flags & 0x08;
    page.Draft = flags & 0x10;
    if (!(flags & 0x80)) page.StartPage = -1;
    r.Skip(4);
    page.HeaderMargin = r.F64();
    page.FooterMargin = r.F64();
}

void TXLSReader::Loader::OnWsBool(ByteReader& r) {
    const std::uint16_t flags = r.U16();
    TPageSetup& page = Sheet().PageSetup();
    page.SummaryRowsAbove = !(flags & 0x0040);
    page.SummaryColumnsLeft = !(flags & 0x0080);
    page.UseScale = !(flags & 0x0100);
}

void TXLSReader::Loader::HeaderFooter(ByteReader& r, bool footer) {
    if (r.Remaining() == 0) return;
    TEasyStream data(r.Bytes(r.Remaining()));
    std::string marked;
    ReadCountedString(data, 2, marked);
    const THeaderSections s = SplitHeaderSections(MarkedToCp1250(marked));
    TPageSetup& page = Sheet().PageSetup();
    if (s.HasLeft) (footer ? page.LeftFooter : page.LeftHeader) = s.Left;
    if (s.HasCenter) (footer ? page.CenterFooter : page.CenterHeader) = s.Center;
    if (s.HasRight) (footer ? page.RightFooter : page.RightHeader) = s.Right;
}

void TXLSReader::Loader::OnHeader(ByteReader& r) { HeaderFooter(r, false); }
void TXLSReader::Loader::OnFooter(ByteReader& r) { HeaderFooter(r, true); }

void TXLSReader::Loader::OnPane(ByteReader& r) {
    TSheet& sheet = Sheet();
    sheet.PaneColumns = static_cast<std::uint8_t>(r.U16());
    sheet.PaneRows = r.U16();
}

void TXLSReader::Loader::OnScl(ByteReader& r) {
    const std::uint32_t numerator = r.U16(), denominator = r.U16();
    if (denominator == 0) return;
    Sheet().Zoom =
        static_cast<std::uint16_t>(std::min<std::uint32_t>(numerator * 100 / denominator, 0xFFFF));
}

void TXLSReader::Loader::OnWindow2(ByteReader& r) {
    const std::uint16_t flags = r.U16();
    TSheet& sheet = Sheet();
    sheet.ShowGridlines = flags & 0x0002;
    sheet.ShowHeadings = flags & 0x0004;
    sheet.ShowZeros = flags & 0x0010;
    sheet.PageBreakPreview = flags & 0x0800;
}

// Sizes the sheet's cell list up front, sparing the index its regrowth. Only a hint: the
// figures are the file's word, so the room is bounded by what the rest of the stream could
// hold (every cell takes at least two bytes) and by a budget for the whole file.
void TXLSReader::Loader::OnDimensions(ByteReader& r) {
    if (bofDepth_ != 1 || !globalsDone_ || sheetIndex_ >= workbook_.Sheets().Count()) return;
    if (r.Remaining() < 12) return;
    const std::uint32_t firstRow = r.U32(), lastRow = r.U32();
    const std::uint16_t firstCol = r.U16(), lastCol = r.U16();
    const std::int64_t rows =
        std::max<std::int64_t>(0, std::int64_t{std::min<std::uint32_t>(lastRow, 65536)} -
                                      std::int64_t{std::min<std::uint32_t>(firstRow, 65536)});
    const std::int64_t cols =
        std::max<std::int64_t>(0, std::int64_t{std::min<std::uint16_t>(lastCol, 256)} -
                                      std::int64_t{std::min<std::uint16_t>(firstCol, 256)});
    TBIFFStream& stream = cursor_.Stream();
    const std::int64_t left =
        static_cast<std::int64_t>(stream.Size() - std::min(stream.Size(), stream.Position()));
    if (reserveBudget_ < 0) reserveBudget_ = static_cast<std::int64_t>(stream.Size() / 2);
    const std::int64_t count =
        std::min({rows * cols, left / 2, reserveBudget_, std::int64_t{1} << 22});
    if (count <= 0) return;
    reserveBudget_ -= count;
    Sheet().Cells().Reserve(static_cast<std::size_t>(count));
}

// ---------------------------------------------------------------------------------------------
// Defined names: ranges and print areas

std::optional<int> TXLSReader::Loader::SheetOfReference(std::uint16_t reference) const {
    // A stream without EXTERNSHEET has nothing to look the index up in; it is taken as the
    // sheet position itself.
    if (references_.empty()) return reference;
    // The EXTERNSHEET list is in order of first use, not in sheet order: the entry names the
    // sheet (its first sheet; 0xFFFE and 0xFFFF, no sheet, fall beyond any sheet count).
    if (reference >= references_.size()) return std::nullopt;
    return LoadU16(references_[reference].data() + 2);
}

void TXLSReader::Loader::NamesPass() {
    for (const auto& payload : names_) {
        ByteReader r(payload);
        const std::uint16_t flags = r.U16();
        if (flags != 0 && flags != 0x0020) continue;
        const bool builtIn = flags == 0x0020;
        r.Seek(3);
        const std::size_t nameLength = r.U8();
        const std::size_t formulaLength = r.U16();
        r.Seek(14);
        const bool wide = r.U8() == 1;
        std::string name;
        if (wide) {
            const auto bytes =
                r.Bytes(std::min<std::size_t>(2 * nameLength, r.Remaining() & ~std::size_t{1}));
            name = Utf8ToCp1250(Utf16LeToUtf8(bytes));
        } else {
            const auto bytes = r.Bytes(std::min(nameLength, r.Remaining()));
            name.assign(bytes.begin(), bytes.end());
        }
        const auto formula = r.Bytes(std::min(formulaLength, r.Remaining()));
        if (formula.empty()) continue;

        TRangeRects rects;
        std::optional<std::uint16_t> reference;
        std::size_t at = formula[0] == 0x29 ? 4 : 1;
        // Areas stand 11 bytes apart after the first (the next token's code byte) and 12 after
        // each later one (a list operator in between). Only a 3-D area token is read as one:
        // the bytes of a cell reference or an expression would make a rect of nonsense rows.
        for (std::size_t step = 11; at <= formula.size() && formula.size() - at >= 10;
             at += step, step = 12) {
            if (!IsArea3dToken(formula[at - 1])) break;
            const std::uint8_t* p = formula.data() + at;
            const std::uint16_t ref = LoadU16(p);
            if (!reference) reference = ref;
            if (ref == *reference) {
                rects.AddRect(LoadU16(p + 2), LoadU16(p + 4), p[6], p[8]);
            }
        }
        if (!reference) continue;
        const std::optional<int> sheetIndex = SheetOfReference(*reference);
        if (!sheetIndex || *sheetIndex >= workbook_.Sheets().Count()) continue;
        TSheet& sheet = workbook_.Sheets().Items(*sheetIndex);
        if (!builtIn) {
            TRange& range = sheet.Ranges().Add();
            range.Assign(rects);
            range.SetName(name);
        } else if (name == std::string(1, '\x06')) {
            sheet.PageSetup().PrintArea.Assign(rects);
        }
    }
}

// ---------------------------------------------------------------------------------------------

TXLSReader::TXLSReader(TWorkbook& workbook) : workbook_(workbook) {}

TXLSReader::~TXLSReader() = default;

namespace {
// The compound file's failures reach callers as the reader's error, with the same message and
// the compound file's error as the cause.
template <class Open>
void WithCompoundErrors(Open open) {
    try {
        open();
    } catch (const ECFileError& e) {
        throw EXLSError(kErrCompoundFile, e.what(), std::current_exception());
    }
}
}  // namespace

void TXLSReader::Read(const std::string& fileName, const TReaderOptions& options) {
    workbook_.Clear();
    WithCompoundErrors([&] {
        TCFile compound(fileName, cfOpen);
        ReadCompound(compound, options);
    });
}

void TXLSReader::Read(std::span<const std::uint8_t> bytes, const TReaderOptions& options) {
    workbook_.Clear();
    WithCompoundErrors([&] {
        TCFile compound(bytes);
        ReadCompound(compound, options);
    });
}

void TXLSReader::ReadCompound(TCFile& compound, const TReaderOptions& options) {
    TCFileItem* item = compound.Root().FindItem("Workbook");
    auto* stream = dynamic_cast<TCFileStream*>(item);
    if (stream == nullptr) throw EXLSError(kErrStreamNotFound, "Workbook");
    TBIFFStream biff(*stream);
    biff.Rewind();
    TRecordCursor cursor(biff, onProgress_);
    Loader loader(workbook_, options, cursor);
    loader.RecordLoop();
    loader.CheckSheetsFound();
    loader.NamesPass();
    loader.FormulaPass();
}

}  // namespace morvik::xls
