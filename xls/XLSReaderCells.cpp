// Cell values: numbers, texts, booleans and formatted blanks, and the dates their formats
// make of numbers.

#include <algorithm>
#include <bit>
#include <string>

#include "Streams.h"
#include "XLSError.h"
#include "XLSFormatStr.h"
#include "XLSReaderLoader.h"

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

}  // namespace morvik::xls
