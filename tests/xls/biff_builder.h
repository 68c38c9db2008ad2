// Test-side writer of BIFF8 records: builds a workbook stream byte by byte so that each
// test states exactly which records, in which order, with which fields a load sees.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvik::xls::testing {

// A little-endian payload under construction.
class Payload {
  public:
    Payload() = default;
    Payload(std::initializer_list<std::uint8_t> bytes) : bytes_(bytes) {}

    Payload& U8(std::uint32_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Payload& U16(std::uint32_t v) { return U8(v).U8(v >> 8); }
    Payload& U32(std::uint32_t v) { return U16(v).U16(v >> 16); }
    Payload& F64(double d) {
        const auto bits = std::bit_cast<std::uint64_t>(d);
        return U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
    }
    Payload& Raw(std::string_view bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Payload& Raw(const std::vector<std::uint8_t>& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Payload& Zeros(std::size_t n) {
        bytes_.insert(bytes_.end(), n, 0);
        return *this;
    }
    // 8-bit characters as stored (no conversion): option byte 0.
    Payload& Narrow(std::string_view chars) { return U8(0).Raw(chars); }
    // UTF-16LE characters: option byte 1, then the code units.
    Payload& Wide(std::u16string_view units) {
        U8(1);
        for (char16_t u : units) U16(u);
        return *this;
    }
    // A short counted string: 16-bit count, option byte, characters.
    Payload& Counted(std::string_view chars) { return U16(chars.size()).Narrow(chars); }
    Payload& Counted(std::u16string_view units) { return U16(units.size()).Wide(units); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }

  private:
    std::vector<std::uint8_t> bytes_;
};

namespace rec {
inline constexpr std::uint16_t kFormula = 0x0006, kEof = 0x000A, kProtect = 0x0012,
                               kHeader = 0x0014, kFooter = 0x0015, kExternSheet = 0x0017,
                               kName = 0x0018, kLeftMargin = 0x0026, kRightMargin = 0x0027,
                               kTopMargin = 0x0028, kBottomMargin = 0x0029, kPrintHeaders = 0x002A,
                               kPrintGridlines = 0x002B, kFilePass = 0x002F, kFont = 0x0031,
                               kContinue = 0x003C, kPane = 0x0041, kColInfo = 0x007D,
                               kWsBool = 0x0081, kHCenter = 0x0083, kVCenter = 0x0084,
                               kBoundSheet = 0x0085, kScl = 0x00A0, kSetup = 0x00A1,
                               kMulRk = 0x00BD, kMulBlank = 0x00BE, kXf = 0x00E0,
                               kMergedCells = 0x00E5, kSst = 0x00FC, kLabelSst = 0x00FD,
                               kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204,
                               kBoolErr = 0x0205, kString = 0x0207, kRow = 0x0208,
                               kWindow2 = 0x023E, kRk = 0x027E, kFormat = 0x041E, kShrFmla = 0x04BC,
                               kBof = 0x0809;
}  // namespace rec

inline constexpr std::uint16_t kBofGlobals = 0x0005, kBofSheet = 0x0010, kBofChart = 0x0020;

// The records of one workbook stream, in order.
class BiffBuilder {
  public:
    BiffBuilder& Record(std::uint16_t id, const Payload& payload) {
        return RecordBytes(id, payload.Bytes());
    }
    BiffBuilder& RecordBytes(std::uint16_t id, const std::vector<std::uint8_t>& payload) {
        Payload header;
        header.U16(id).U16(payload.size());
        out_.insert(out_.end(), header.Bytes().begin(), header.Bytes().end());
        out_.insert(out_.end(), payload.begin(), payload.end());
        return *this;
    }
    // Appends bytes that are not a whole record (a torn header, a short payload).
    BiffBuilder& Tail(const Payload& bytes) {
        out_.insert(out_.end(), bytes.Bytes().begin(), bytes.Bytes().end());
        return *this;
    }

    // A BOF at the outermost level after the first starts a sheet's substream: the next
    // BOUNDSHEET written without an offset gets this one's position.
    BiffBuilder& Bof(std::uint16_t type) {
        if (depth_ == 0 && bofs_++ > 0 && !pendingOffsets_.empty()) {
            const std::size_t at = pendingOffsets_.front();
            pendingOffsets_.erase(pendingOffsets_.begin());
            const auto pos = static_cast<std::uint32_t>(out_.size());
            for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<std::uint8_t>(pos >> (8 * i));
        }
        ++depth_;
        return Record(rec::kBof,
                      Payload{}.U16(0x0600).U16(type).U16(0x0DBB).U16(0x07CC).U32(0).U32(6));
    }
    BiffBuilder& Eof() {
        if (depth_ > 0) --depth_;
        return Record(rec::kEof, {});
    }
    // Without an offset, the BOUNDSHEET names the next sheet substream written (see Bof).
    BiffBuilder& BoundSheet(std::string_view name, std::optional<std::uint32_t> offset = {}) {
        if (!offset) pendingOffsets_.push_back(out_.size() + 4);
        return Record(rec::kBoundSheet,
                      Payload{}.U32(offset.value_or(0)).U16(0).U8(name.size()).Narrow(name));
    }
    BiffBuilder& BoundSheet(std::u16string_view name) {
        pendingOffsets_.push_back(out_.size() + 4);
        return Record(rec::kBoundSheet, Payload{}.U32(0).U16(0).U8(name.size()).Wide(name));
    }
    // Where the next record will start.
    std::uint32_t Position() const { return static_cast<std::uint32_t>(out_.size()); }
    BiffBuilder& Number(int row, int col, int xf, double v) {
        return Record(rec::kNumber, Cell(row, col, xf).F64(v));
    }
    BiffBuilder& Rk(int row, int col, int xf, std::uint32_t rk) {
        return Record(rec::kRk, Cell(row, col, xf).U32(rk));
    }
    // Entries are (XF index, RK value) for consecutive columns from `firstCol`.
    BiffBuilder& MulRk(int row, int firstCol,
                       const std::vector<std::pair<int, std::uint32_t>>& entries) {
        Payload p;
        p.U16(row).U16(firstCol);
        for (const auto& [xf, rk] : entries) p.U16(xf).U32(rk);
        p.U16(firstCol + entries.size() - 1);
        return Record(rec::kMulRk, p);
    }
    BiffBuilder& MulBlank(int row, int firstCol, const std::vector<int>& xfs) {
        Payload p;
        p.U16(row).U16(firstCol);
        for (int xf : xfs) p.U16(xf);
        p.U16(firstCol + xfs.size() - 1);
        return Record(rec::kMulBlank, p);
    }
    BiffBuilder& Blank(int row, int col, int xf) { return Record(rec::kBlank, Cell(row, col, xf)); }
    BiffBuilder& LabelSst(int row, int col, int xf, std::uint32_t index) {
        return Record(rec::kLabelSst, Cell(row, col, xf).U32(index));
    }
    BiffBuilder& Label(int row, int col, int xf, std::string_view text) {
        return Record(rec::kLabel, Cell(row, col, xf).Counted(text));
    }
    BiffBuilder& Label(int row, int col, int xf, std::u16string_view text) {
        return Record(rec::kLabel, Cell(row, col, xf).Counted(text));
    }
    BiffBuilder& BoolErr(int row, int col, int xf, std::uint8_t value, std::uint8_t isError) {
        return Record(rec::kBoolErr, Cell(row, col, xf).U8(value).U8(isError));
    }
    // `result` is the 8-byte cached result; see NumberResult / SpecialResult.
    BiffBuilder& Formula(int row, int col, int xf, const Payload& result, std::uint16_t options,
                         const Payload& tokens) {
        Payload p = Cell(row, col, xf);
        p.Raw(result.Bytes()).U16(options).U32(0).U16(tokens.Size()).Raw(tokens.Bytes());
        return Record(rec::kFormula, p);
    }
    BiffBuilder& String(std::string_view text) {
        return Record(rec::kString, Payload{}.Counted(text));
    }
    BiffBuilder& String(std::u16string_view text) {
        return Record(rec::kString, Payload{}.Counted(text));
    }
    // A cell XF without borders; `fillPattern` 0 keeps it plain, 1 is a solid fill.
    BiffBuilder& Xf(int font, int formatCode, std::uint32_t fillPattern = 0) {
        return Record(rec::kXf, Payload{}
                                    .U16(font)
                                    .U16(formatCode)
                                    .U16(0x0001)
                                    .U16(0x0020)
                                    .U16(0)
                                    .U16(0)
                                    .U16(0)
                                    .U32(fillPattern << 26)
                                    .U16(0x20C0));
    }
    BiffBuilder& Format(int code, std::string_view pattern) {
        return Record(rec::kFormat, Payload{}.U16(code).Counted(pattern));
    }
    BiffBuilder& Font(std::string_view name) {
        return Record(rec::kFont, Payload{}
                                      .U16(200)
                                      .U16(0)
                                      .U16(0x7FFF)
                                      .U16(400)
                                      .U16(0)
                                      .U8(0)
                                      .U8(0)
                                      .U8(0)
                                      .U8(0)
                                      .U8(name.size())
                                      .Narrow(name));
    }

    const std::vector<std::uint8_t>& Bytes() const { return out_; }

    static Payload Cell(int row, int col, int xf) { return Payload{}.U16(row).U16(col).U16(xf); }
    static Payload NumberResult(double v) { return Payload{}.F64(v); }
    // Special result: kind 0 text (in a STRING record), 1 boolean, 2 error, 3 empty text.
    static Payload SpecialResult(std::uint8_t kind, std::uint8_t value = 0) {
        return Payload{}.U8(kind).U8(0).U8(value).U8(0).U8(0).U8(0).U8(0xFF).U8(0xFF);
    }

  private:
    std::vector<std::uint8_t> out_;
    int depth_ = 0;
    int bofs_ = 0;
    std::vector<std::size_t> pendingOffsets_;  // offset fields of BOUNDSHEETs still to fill
};

// RK encodings for tests.
inline std::uint32_t RkInteger(std::int32_t v, bool div100 = false) {
    return (static_cast<std::uint32_t>(v) << 2) | 2u | (div100 ? 1u : 0u);
}
inline std::uint32_t RkDouble(double d, bool div100 = false) {
    return (static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(d) >> 32) & ~3u) |
           (div100 ? 1u : 0u);
}

}  // namespace morvik::xls::testing
