// The record loop: the dispatch table, substreams and the sheets they belong to, and the
// entry points that open the compound file and run the passes of one load.

#include "XLSReader.h"

#include <algorithm>
#include <array>
#include <exception>

#include "CFile.h"
#include "XLSError.h"
#include "XLSReaderLoader.h"

namespace morvik::xls {

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
