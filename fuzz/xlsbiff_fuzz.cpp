// Structure-aware workbook load: the fuzzer's bytes are read as a small program that writes a
// valid compound file holding a well-formed BIFF8 record stream (globals, sheet substreams,
// cells, formulas, shared formulas, formats, styles), so that mutation works on records and
// fields instead of breaking the container first. Each cell's display text and formula text
// is asked for after the load. A refusal with our own error is clean; crashes, hangs,
// sanitizer reports and memory beyond libFuzzer's limit are findings.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>
#include <string>
#include <vector>

#include "tests/xls/biff_builder.h"
#include "tests/xls/cfb_builder.h"
#include "text/Error.h"
#include "xls/XLSFile.h"

namespace {

using morvik::xls::testing::BiffBuilder;
using morvik::xls::testing::Payload;
namespace rec = morvik::xls::testing::rec;

// Reads the input front to back; past its end every read is 0.
class Input {
  public:
    explicit Input(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool Done() const { return at_ >= bytes_.size(); }
    std::uint32_t U8() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    std::uint32_t U16() { return U8() | U8() << 8; }
    std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : U16() % n; }
    // Up to `max` bytes as they stand.
    std::string Text(std::size_t max) {
        const std::size_t n =
            std::min<std::size_t>(U8() % (max + 1), bytes_.size() - std::min(at_, bytes_.size()));
        std::string out(reinterpret_cast<const char*>(bytes_.data() + at_), n);
        at_ += n;
        return out;
    }
    double Number() {
        static constexpr double kValues[] = {0, 1, -1, 0.5, 45000, 1e300, -1e-300, 12.5, 65535};
        return kValues[U8() % std::size(kValues)] + U8();
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// Formula tokens from a menu of the ones the renderer knows, in a valid order more often than
// not; now and then a raw byte.
Payload Tokens(Input& in, int sheets) {
    Payload p;
    const std::uint32_t count = 1 + in.Below(40);
    for (std::uint32_t i = 0; i < count; ++i) {
        switch (in.U8() % 12) {
            case 0:
                p.U8(0x1E).U16(in.U16());
                break;  // tInt
            case 1:
                p.U8(0x1F).F64(in.Number());
                break;  // tNum
            case 2: {   // tStr: 8-bit count, option byte, characters
                const std::string text = in.Text(40);
                p.U8(0x17).U8(static_cast<std::uint32_t>(text.size())).U8(0).Raw(text);
                break;
            }
            case 3:
                p.U8(0x24 + 0x20 * (in.U8() % 3)).U16(in.U16()).U16(in.U16());
                break;  // tRef
            case 4:
                p.U8(0x25).U16(in.U16()).U16(in.U16()).U16(in.U16()).U16(in.U16());
                break;
            case 5:
                p.U8(0x2C).U16(in.U16()).U16(in.U16());
                break;  // tRefN
            case 6:
                p.U8(0x3A).U16(in.Below(sheets + 2)).U16(in.U16()).U16(in.U16());
                break;
            case 7:
                p.U8(0x3B)
                    .U16(in.Below(sheets + 2))
                    .U16(in.U16())
                    .U16(in.U16())
                    .U16(in.U16())
                    .U16(in.U16());
                break;
            case 8:
                p.U8(0x03 + in.U8() % 12);
                break;  // operators
            case 9:
                p.U8(0x15);
                break;  // parentheses
            case 10:
                p.U8(0x22).U8(in.U8() % 8).U16(in.U8() % 2 ? 4 : in.U16() % 400);
                break;
            default:
                p.U8(in.U8());
                break;
        }
    }
    return p;
}

void SheetRecords(Input& in, BiffBuilder& b, int sheets, int xfs) {
    const std::uint32_t count = in.Below(64);
    for (std::uint32_t i = 0; i < count && !in.Done(); ++i) {
        const int row = static_cast<int>(in.U8() % 2 ? in.U8() : in.U16());
        const int col = static_cast<int>(in.U8());
        const int xf = static_cast<int>(in.Below(xfs + 2));
        switch (in.U8() % 16) {
            case 0:
                b.Number(row, col, xf, in.Number());
                break;
            case 1:
                b.Rk(row, col, xf, in.U16() | in.U16() << 16);
                break;
            case 2:
                b.MulRk(row, col, {{xf, in.U16()}, {xf, in.U16() << 2 | 2}});
                break;
            case 3:
                b.Label(row, col, xf, in.Text(60));
                break;
            case 4:
                b.LabelSst(row, col, xf, in.Below(4));
                break;
            case 5:
                b.BoolErr(row, col, xf, static_cast<std::uint8_t>(in.U8() % 3),
                          static_cast<std::uint8_t>(in.U8() % 2));
                break;
            case 6:
                b.MulBlank(row, col, {xf, xf, xf});
                break;
            case 7:
                b.Formula(row, col, xf, BiffBuilder::NumberResult(in.Number()),
                          in.U8() % 2 ? 0x08 : 0,
                          in.U8() % 2 ? Payload{}.U8(0x01).U16(in.U8()).U16(in.U8() % 4)
                                      : Tokens(in, sheets));
                break;
            case 8: {
                const Payload tokens = Tokens(in, sheets);
                b.Record(rec::kShrFmla, Payload{}
                                            .U16(row)
                                            .U16(row + in.U8())
                                            .U8(col)
                                            .U8(col + in.U8() % 8)
                                            .U8(0)
                                            .U8(1)
                                            .U16(tokens.Size())
                                            .Raw(tokens.Bytes()));
                break;
            }
            case 9:
                b.Formula(row, col, xf, BiffBuilder::SpecialResult(0), 0, Tokens(in, sheets));
                if (in.U8() % 4) b.String(in.Text(100));
                break;
            case 10:
                b.Record(
                    rec::kRow,
                    Payload{}.U16(row).U16(0).U16(col).U16(in.U16()).U32(0).U16(in.U16()).U16(xf));
                break;
            case 11:
                b.Record(rec::kColInfo, Payload{}
                                            .U16(col)
                                            .U16(col + in.U8() % 4)
                                            .U16(in.U16())
                                            .U16(xf)
                                            .U16(in.U16())
                                            .U16(0));
                break;
            case 12:
                b.Record(rec::kMergedCells, Payload{}
                                                .U16(1)
                                                .U16(row)
                                                .U16(row + in.U8() % 8)
                                                .U16(col)
                                                .U16(col + in.U8() % 8));
                break;
            case 13:
                b.Xf(0, static_cast<int>(in.U8() % 2 ? in.U8() : 200 + in.U8() % 8));
                break;
            case 14:
                b.Format(static_cast<int>(200 + in.U8() % 8), in.Text(120));
                break;
            default:
                b.Record(static_cast<std::uint16_t>(in.U16() % 0x0900), Payload{}.Raw(in.Text(40)));
                break;
        }
    }
}

std::vector<std::uint8_t> Workbook(Input& in) {
    BiffBuilder b;
    b.Bof(morvik::xls::testing::kBofGlobals).Font("Arial");
    const int xfs = 1 + static_cast<int>(in.Below(8));
    for (int i = 0; i < xfs; ++i)
        b.Xf(0, static_cast<int>(in.U8() % 2 ? in.U8() % 50 : 200 + in.U8() % 8), in.U8() % 2);
    const std::uint32_t formats = in.Below(4);
    for (std::uint32_t i = 0; i < formats; ++i)
        b.Format(static_cast<int>(200 + in.U8() % 8), in.Text(200));
    // A string table of a few strings.
    Payload sst;
    sst.U32(4).U32(4);
    for (int i = 0; i < 4; ++i) sst.Counted(in.Text(30));
    b.Record(rec::kSst, sst);
    const int sheets = 1 + static_cast<int>(in.Below(4));
    for (int s = 0; s < sheets; ++s) {
        std::string name = in.Text(255);
        if (name.empty() || in.U8() % 2) name = "S" + std::to_string(s) + name.substr(0, 10);
        b.BoundSheet(name);
    }
    Payload refs;
    refs.U16(static_cast<std::uint32_t>(sheets));
    for (int s = 0; s < sheets; ++s)
        refs.U16(0).U16(static_cast<std::uint32_t>(s)).U16(static_cast<std::uint32_t>(s));
    b.Record(rec::kExternSheet, refs);
    b.Eof();
    for (int s = 0; s < sheets; ++s) {
        b.Bof(morvik::xls::testing::kBofSheet);
        SheetRecords(in, b, sheets, xfs);
        if (in.U8() % 8 == 0) b.Bof(morvik::xls::testing::kBofChart).Number(0, 0, 0, 1).Eof();
        b.Eof();
    }
    std::vector<std::uint8_t> stream = b.Bytes();
    // Now and then one byte of the stream changed, a BOUNDSHEET offset among them.
    if (in.U8() % 4 == 0 && !stream.empty())
        stream[in.U16() % stream.size()] ^= static_cast<std::uint8_t>(in.U8());
    return morvik::xls::testing::BuildWorkbookFile(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(std::span<const std::uint8_t>(data, size));
    const std::vector<std::uint8_t> file = Workbook(in);
    for (const bool strict : {false, true}) {
        try {
            morvik::xls::TXLSFile book;
            book.ReaderOptions.StrictFormulas = strict;
            book.LoadFromMemory(file);
            const auto& sheets = book.Workbook().Sheets();
            for (int s = 0; s < sheets.Count(); ++s) {
                const auto& cells = sheets.Items(s).Cells();
                for (int i = 0; i < cells.Count(); ++i) {
                    (void)cells.Items(i).DisplayText();
                    (void)cells.Items(i).Formula();
                }
            }
        } catch (const morvik::Error&) {
        }
    }
    return 0;
}
