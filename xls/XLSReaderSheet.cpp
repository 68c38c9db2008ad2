// A sheet's own records besides its cells: rows, columns and merged areas, page setup, headers
// and footers, the view, and the room its cell list is given up front.

#include <algorithm>
#include <array>
#include <string>

#include "Streams.h"
#include "XLSReaderLoader.h"
#include "text/Cp1250.h"

namespace morvik::xls {

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

// UTF-16LE bytes of a marked text (or its 8-bit characters) as Windows-1250 bytes, the
// narrow text of this program's code page.
std::string MarkedToCp1250(std::string_view marked) {
    if (marked.empty()) return {};
    if (marked[0] == kMarkWide) return Utf8ToCp1250(MarkedTextToUtf8(marked));
    return std::string(marked.substr(1));
}

}  // namespace

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

}  // namespace morvik::xls
