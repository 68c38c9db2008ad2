#include "PtgParser.h"

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "Cp1250.h"
#include "XLSRects.h"

namespace morvik::xls {
namespace {

static_assert(kXLSFunctions.back().Name == "COUNTBLANK", "function table is incomplete");

enum class Shape : std::uint8_t {
    Binary,
    Parens,
    String,
    Attribute,
    Boolean,
    Integer,
    Number,
    FuncFixed,
    FuncVar,
    Ref,
    Area,
    RefN,
    AreaN,
    Ref3d,
    Area3d,
};

struct PtgInfo {
    std::uint8_t code;  // reference class (0x2X) for operand tokens
    Shape shape;
    std::uint8_t size;  // bytes after the code; for strings the two header bytes only
    std::string_view sign;
};

// Every token the parser understands. Operand and function tokens come in three classes
// (reference 0x2X, value 0x4X, array 0x6X) that read alike; only the 0x2X form is listed.
constexpr PtgInfo kPtgs[] = {
    {0x03, Shape::Binary, 0, "+"},      {0x04, Shape::Binary, 0, "-"},
    {0x05, Shape::Binary, 0, "*"},      {0x06, Shape::Binary, 0, "/"},
    {0x09, Shape::Binary, 0, "<"},      {0x0A, Shape::Binary, 0, "<="},
    {0x0B, Shape::Binary, 0, "="},      {0x0C, Shape::Binary, 0, ">="},
    {0x0D, Shape::Binary, 0, ">"},      {0x0E, Shape::Binary, 0, "<>"},
    {0x15, Shape::Parens, 0, ""},       {0x17, Shape::String, 2, ""},
    {0x19, Shape::Attribute, 3, ""},    {0x1D, Shape::Boolean, 1, ""},
    {0x1E, Shape::Integer, 2, ""},      {0x1F, Shape::Number, 8, ""},
    {0x21, Shape::FuncFixed, 2, ""},    {0x22, Shape::FuncVar, 3, ""},
    {0x24, Shape::Ref, 4, ""},          {0x25, Shape::Area, 8, ""},
    {0x2C, Shape::RefN, 4, ""},         {0x2D, Shape::AreaN, 8, ""},
    {0x3A, Shape::Ref3d, 6, ""},        {0x3B, Shape::Area3d, 10, ""},
};

constexpr std::uint8_t kParensCode = 0x15;

// Attribute flags that only steer evaluation or keep layout; the tokens around them already
// form a complete formula, so they are read and dropped.
constexpr std::uint8_t kAttrVolatile = 0x01;
constexpr std::uint8_t kAttrIf = 0x02;
constexpr std::uint8_t kAttrGoto = 0x08;
constexpr std::uint8_t kAttrSum = 0x10;
constexpr std::uint8_t kAttrSpace = 0x40;
constexpr std::uint8_t kAttrDropped = kAttrVolatile | kAttrIf | kAttrGoto | kAttrSpace;

constexpr std::uint8_t kRowRelative = 0x80;
constexpr std::uint8_t kColRelative = 0x40;

const PtgInfo* FindPtg(std::uint8_t code) {
    if (code >= 0x80) return nullptr;
    const std::uint8_t base = code >= 0x20 ? static_cast<std::uint8_t>((code & 0x1F) | 0x20) : code;
    for (const auto& info : kPtgs) {
        if (info.code == base) return &info;
    }
    return nullptr;
}

std::uint16_t U16(std::span<const std::uint8_t> raw, std::size_t at) {
    return static_cast<std::uint16_t>(raw[at] | (raw[at + 1] << 8));
}

struct CellRef {
    std::uint16_t row;
    std::uint8_t col;
    std::uint8_t flags;
};

// Relative parts of a shared formula's reference are offsets from the cell being read; the
// sums wrap, so an offset of 0xFFFF rows is one row up.
CellRef Resolve(CellRef ref, const TPtgContext& context) {
    if (ref.flags & kRowRelative) ref.row = static_cast<std::uint16_t>(ref.row + context.BaseRow);
    if (ref.flags & kColRelative) ref.col = static_cast<std::uint8_t>(ref.col + context.BaseCol);
    return ref;
}

void AppendCell(std::string& out, const CellRef& ref) {
    if (!(ref.flags & kColRelative)) out.push_back('$');
    out += ColumnName(ref.col);
    if (!(ref.flags & kRowRelative)) out.push_back('$');
    out += std::to_string(static_cast<unsigned>(ref.row) + 1);
}

// Cell: row (2), column (1), flags (1).
std::string CellText(std::span<const std::uint8_t> raw, const TPtgContext* resolveAgainst) {
    CellRef ref{U16(raw, 0), raw[2], raw[3]};
    if (resolveAgainst) ref = Resolve(ref, *resolveAgainst);
    std::string out;
    AppendCell(out, ref);
    return out;
}

// Area: first row, last row (2 each), first column, its flags, last column, its flags (1 each).
std::string AreaText(std::span<const std::uint8_t> raw, const TPtgContext* resolveAgainst) {
    CellRef first{U16(raw, 0), raw[4], raw[5]};
    CellRef last{U16(raw, 2), raw[6], raw[7]};
    if (resolveAgainst) {
        first = Resolve(first, *resolveAgainst);
        last = Resolve(last, *resolveAgainst);
    }
    std::string out;
    AppendCell(out, first);
    out.push_back(':');
    AppendCell(out, last);
    return out;
}

// 3-D references name the sheet through the EXTERNSHEET entry; the sheet name is always quoted.
bool SheetPrefix(std::span<const std::uint8_t> raw, const TPtgContext& context, std::string& out) {
    if (!context.Sheets) return false;
    auto name = context.Sheets->SheetOfReference(U16(raw, 0));
    if (!name) return false;
    out = "'" + *name + "'!";
    return true;
}

// Fills kind, text and argument count of a token whose raw bytes are already in place.
bool Fill(const PtgInfo& info, const TPtgContext& context, TPtgToken& token) {
    const std::span<const std::uint8_t> raw = token.Raw;
    switch (info.shape) {
        case Shape::Binary:
        case Shape::Parens:
            token.Kind = TPtgKind::Operator;
            token.Text = info.sign;
            return true;
        case Shape::String: {
            const auto chars = raw.subspan(2);
            const std::string text = (raw[1] & 0x01) ? Utf16LeToUtf8(chars) : Cp1250ToUtf8(chars);
            token.Kind = TPtgKind::Operand;
            token.Text = "\"" + text + "\"";
            return true;
        }
        case Shape::Attribute:
            if (raw[0] & kAttrDropped) {
                token.Drop = true;
                return true;
            }
            if (raw[0] & kAttrSum) {
                token.Kind = TPtgKind::Function;
                token.Text = "SUM";
                token.ArgumentCount = 1;
                return true;
            }
            return false;  // choose and the rest carry jump tables or need evaluation
        case Shape::Boolean:
            token.Kind = TPtgKind::Operand;
            token.Text = raw[0] == 1 ? "TRUE" : "FALSE";
            return true;
        case Shape::Integer:
            token.Kind = TPtgKind::Operand;
            token.Text = std::to_string(U16(raw, 0));
            return true;
        case Shape::Number: {
            std::uint64_t bits = 0;
            for (int i = 7; i >= 0; --i) bits = (bits << 8) | raw[static_cast<std::size_t>(i)];
            const double value = std::bit_cast<double>(bits);
            // A file cannot mean an infinite or undefined constant; do not invent text for it.
            if (!std::isfinite(value)) return false;
            token.Kind = TPtgKind::Operand;
            token.Text = FormatPtgNumber(value, context.DecimalSeparator);
            return true;
        }
        case Shape::FuncFixed: {
            const TXLSFunctionRec* f = FindXLSFunction(U16(raw, 0));
            if (!f || f->FixedCount == kVariableArgs) return false;
            token.Kind = TPtgKind::Function;
            token.Text = f->Name;
            token.ArgumentCount = f->FixedCount;
            return true;
        }
        case Shape::FuncVar: {
            const TXLSFunctionRec* f = FindXLSFunction(U16(raw, 1));
            if (!f) return false;
            token.Kind = TPtgKind::Function;
            token.Text = f->Name;
            token.ArgumentCount = raw[0];
            return true;
        }
        case Shape::Ref:
        case Shape::RefN:
            token.Kind = TPtgKind::Operand;
            token.Text = CellText(raw, info.shape == Shape::RefN ? &context : nullptr);
            return true;
        case Shape::Area:
        case Shape::AreaN:
            token.Kind = TPtgKind::Operand;
            token.Text = AreaText(raw, info.shape == Shape::AreaN ? &context : nullptr);
            return true;
        case Shape::Ref3d:
        case Shape::Area3d: {
            std::string prefix;
            if (!SheetPrefix(raw, context, prefix)) return false;
            token.Kind = TPtgKind::Operand;
            token.Text = prefix + (info.shape == Shape::Ref3d ? CellText(raw.subspan(2), nullptr)
                                                              : AreaText(raw.subspan(2), nullptr));
            return true;
        }
    }
    return false;
}

char LocaleDecimalSeparator() {
    const std::lconv* conv = std::localeconv();
    const char* point = conv ? conv->decimal_point : nullptr;
    return point && point[0] != '\0' && point[1] == '\0' ? point[0] : '.';
}

}  // namespace

std::optional<std::string> TPtgListLookup::SheetOfReference(std::uint16_t referenceIndex) const {
    if (referenceIndex >= references_.size()) return std::nullopt;
    const auto& entry = references_[referenceIndex];
    if (entry.size() < 4) return std::nullopt;
    const std::size_t sheet = U16(entry, 2);
    if (sheet >= sheetNames_.size()) return std::nullopt;
    return sheetNames_[sheet];
}

std::string FormatPtgNumber(double value, char decimalSeparator) {
    if (value == 0 || !std::isfinite(value)) return "0";
    // Scientific form with 15 significant digits, built without the C locale.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    std::string out;
    if (s.front() == '-') {
        out.push_back('-');
        s.remove_prefix(1);
    }
    const std::size_t e = s.find('e');
    std::string digits(1, s[0]);
    digits.append(s.substr(2, e - 2));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string_view expText = s.substr(e + 1);
    const bool expNegative = expText.front() == '-';
    expText.remove_prefix(1);  // the sign is always written
    int exp = 0;
    std::from_chars(expText.data(), expText.data() + expText.size(), exp);
    if (expNegative) exp = -exp;

    if (exp >= 15 || exp < -5) {
        out.push_back(digits[0]);
        if (digits.size() > 1) {
            out.push_back(decimalSeparator);
            out.append(digits, 1);
        }
        out.push_back('E');
        out += std::to_string(exp);
    } else if (exp >= 0) {
        const auto whole = static_cast<std::size_t>(exp) + 1;
        if (digits.size() <= whole) {
            out += digits;
            out.append(whole - digits.size(), '0');
        } else {
            out.append(digits, 0, whole);
            out.push_back(decimalSeparator);
            out.append(digits, whole);
        }
    } else {
        out.push_back('0');
        out.push_back(decimalSeparator);
        out.append(static_cast<std::size_t>(-exp - 1), '0');
        out += digits;
    }
    return out;
}

bool DecodePtgs(std::span<const std::uint8_t> bytes, const TPtgContext& context,
                std::vector<TPtgToken>& tokens) {
    std::size_t p = 0;
    while (p < bytes.size()) {
        const std::uint8_t code = bytes[p];
        const PtgInfo* info = FindPtg(code);
        if (!info) return false;
        const auto rest = bytes.subspan(p + 1);
        std::size_t size = info->size;
        if (rest.size() < size) return false;
        if (info->shape == Shape::String) {
            const std::size_t chars = rest[0];
            size += (rest[1] & 0x01) ? 2 * chars : chars;
            if (rest.size() < size) return false;
        }
        TPtgToken token;
        token.Code = code;
        token.Raw.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(size));
        if (!Fill(*info, context, token)) return false;
        if (!token.Drop) tokens.push_back(std::move(token));
        p += 1 + size;
    }
    return true;
}

bool RenderPtgs(const std::vector<TPtgToken>& tokens, std::string& text) {
    text.clear();
    TStringStack stack;
    std::string left;
    std::string right;
    for (const auto& token : tokens) {
        switch (token.Kind) {
            case TPtgKind::Operand:
                stack.Push(token.Text);
                break;
            case TPtgKind::Operator:
                if (token.Code == kParensCode) {
                    if (!stack.Pop(right)) return false;
                    stack.Push("(" + right + ")");
                } else {
                    if (!stack.Pop(right) || !stack.Pop(left)) return false;
                    stack.Push(left + token.Text + right);
                }
                break;
            case TPtgKind::Function: {
                if (token.ArgumentCount < 0 ||
                    stack.Count() < static_cast<std::size_t>(token.ArgumentCount)) {
                    return false;
                }
                std::vector<std::string> args(static_cast<std::size_t>(token.ArgumentCount));
                for (auto it = args.rbegin(); it != args.rend(); ++it) stack.Pop(*it);
                std::string call = token.Text + "(";
                for (std::size_t i = 0; i < args.size(); ++i) {
                    if (i > 0) call.push_back(';');
                    call += args[i];
                }
                call.push_back(')');
                stack.Push(std::move(call));
                break;
            }
        }
    }
    // Operands left over mean the tokens were not one formula; showing the first of them
    // would pass off a fragment as the cell's formula.
    if (stack.Count() > 1) return false;
    if (stack.Count() == 1) text = stack.Bottom();
    return true;
}

TPtgParser::TPtgParser(const std::vector<std::string>& sheetNames,
                       const std::vector<std::vector<std::uint8_t>>& references)
    : ownLookup_(std::make_unique<TPtgListLookup>(sheetNames, references)),
      sheets_(ownLookup_.get()),
      decimalSeparator_(LocaleDecimalSeparator()) {}

TPtgParser::TPtgParser(const TPtgSheetLookup& sheets)
    : sheets_(&sheets), decimalSeparator_(LocaleDecimalSeparator()) {}

std::int32_t TPtgParser::Parse(std::uint16_t sheet, std::uint16_t row,
                               std::span<const std::uint8_t> tokens, std::uint8_t option,
                               std::uint8_t col) {
    status_ = kOk;
    result_.clear();
    if (option & kSharedFlag) {
        const auto found = shared_.Find(sheet, row, col);
        bytes_.assign(found.begin(), found.end());
    } else {
        bytes_.assign(tokens.begin(), tokens.end());
    }
    tokens_.clear();
    const TPtgContext context{row, col, sheets_, decimalSeparator_};
    if (!DecodePtgs(bytes_, context, tokens_) || !RenderPtgs(tokens_, result_)) {
        status_ = kUnrecognized;
        result_.clear();
    }
    return status_;
}

}  // namespace morvik::xls
