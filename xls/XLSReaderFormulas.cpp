// Formula cells: their cached results, the tokens kept for the formula pass, and the pass that
// gives each cell its formula once the whole stream is read.

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <vector>

#include "PtgParser.h"
#include "Streams.h"
#include "XLSError.h"
#include "XLSReaderLoader.h"

namespace morvik::xls {

bool TLoadedFormulas::Render(std::uint32_t id, std::uint16_t row, std::uint8_t col,
                             std::string& text) const {
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

std::string TLoadedFormulas::Text(std::uint32_t id, const TCell& cell) const {
    std::string text;
    Render(id, cell.Row(), static_cast<std::uint8_t>(cell.Col()), text);
    return text;
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

}  // namespace morvik::xls
