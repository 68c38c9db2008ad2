// Workbook globals: the sheet list, the string table, fonts, cell formats and number
// formats; and the defined names, read once the sheets are known.

#include <optional>
#include <string>

#include "Streams.h"
#include "XLSReaderLoader.h"
#include "text/Cp1250.h"

namespace morvik::xls {

namespace {

// tArea3d in its reference, value and array classes.
constexpr bool IsArea3dToken(std::uint8_t token) {
    return token == 0x3B || token == 0x5B || token == 0x7B;
}

}  // namespace

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

}  // namespace morvik::xls
