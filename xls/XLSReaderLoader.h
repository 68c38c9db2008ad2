// The state of one load of the workbook record reader, shared by its units: the record loop
// and substreams (XLSReader.cpp), workbook globals and defined names (XLSReaderGlobals.cpp),
// cell values (XLSReaderCells.cpp), formula cells (XLSReaderFormulas.cpp), and rows, columns,
// page setup and view (XLSReaderSheet.cpp). Not for use outside xls/XLSReader*.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "BiffStream.h"
#include "FormulaSource.h"
#include "Lists.h"
#include "XLSReader.h"
#include "XLSWorkbook.h"
#include "text/ByteReader.h"

namespace morvik::xls {

// Record identifiers the reader acts on.
namespace rid {
inline constexpr std::uint16_t kFormula = 0x0006, kEof = 0x000A, kProtect = 0x0012,
                               kHeader = 0x0014, kFooter = 0x0015, kExternSheet = 0x0017,
                               kName = 0x0018, kLeftMargin = 0x0026, kRightMargin = 0x0027,
                               kTopMargin = 0x0028, kBottomMargin = 0x0029, kPrintHeaders = 0x002A,
                               kPrintGridlines = 0x002B, kFilePass = 0x002F, kFont = 0x0031,
                               kPane = 0x0041, kColInfo = 0x007D, kWsBool = 0x0081,
                               kHCenter = 0x0083, kVCenter = 0x0084, kBoundSheet = 0x0085,
                               kScl = 0x00A0, kSetup = 0x00A1, kMulRk = 0x00BD, kMulBlank = 0x00BE,
                               kXf = 0x00E0, kMergedCells = 0x00E5, kSst = 0x00FC,
                               kLabelSst = 0x00FD, kBlank = 0x0201, kNumber = 0x0203,
                               kLabel = 0x0204, kBoolErr = 0x0205, kString = 0x0207, kRow = 0x0208,
                               kDimensions = 0x0200, kWindow2 = 0x023E, kRk = 0x027E,
                               kFormat = 0x041E, kShrFmla = 0x04BC, kBof = 0x0809;
}  // namespace rid

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
    bool Render(std::uint32_t id, std::uint16_t row, std::uint8_t col, std::string& text) const;
    std::string Text(std::uint32_t id, const TCell& cell) const override;

    std::vector<std::string> sheetNames;
    std::vector<std::vector<std::uint8_t>> references;
    TXLSSharedFormulas shared;
    std::vector<std::uint8_t> tokens;
    std::vector<Entry> entries;
    char decimalSeparator = '.';
};

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

}  // namespace morvik::xls
