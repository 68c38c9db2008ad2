#include "PtgParser.h"

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "text/ByteReader.h"
#include "text/Cp1250.h"
#include "text/Decimal.h"

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
    {0x03, Shape::Binary, 0, "+"},   {0x04, Shape::Binary, 0, "-"},
    {0x05, Shape::Binary, 0, "*"},   {0x06, Shape::Binary, 0, "/"},
    {0x09, Shape::Binary, 0, "<"},   {0x0A, Shape::Binary, 0, "<="},
    {0x0B, Shape::Binary, 0, "="},   {0x0C, Shape::Binary, 0, ">="},
    {0x0D, Shape::Binary, 0, ">"},   {0x0E, Shape::Binary, 0, "<>"},
    {0x15, Shape::Parens, 0, ""},    {0x17, Shape::String, 2, ""},
    {0x19, Shape::Attribute, 3, ""}, {0x1D, Shape::Boolean, 1, ""},
    {0x1E, Shape::Integer, 2, ""},   {0x1F, Shape::Number, 8, ""},
    {0x21, Shape::FuncFixed, 2, ""}, {0x22, Shape::FuncVar, 3, ""},
    {0x24, Shape::Ref, 4, ""},       {0x25, Shape::Area, 8, ""},
    {0x2C, Shape::RefN, 4, ""},      {0x2D, Shape::AreaN, 8, ""},
    {0x3A, Shape::Ref3d, 6, ""},     {0x3B, Shape::Area3d, 10, ""},
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

// Position in kPtgs of each code below 0x80, or -1: one look-up per token.
constexpr std::array<std::int8_t, 0x80> kPtgByCode = [] {
    std::array<std::int8_t, 0x80> table{};
    for (auto& t : table) t = -1;
    for (std::size_t code = 0; code < table.size(); ++code) {
        const auto base = static_cast<std::uint8_t>(code >= 0x20 ? ((code & 0x1F) | 0x20) : code);
        for (std::size_t i = 0; i < std::size(kPtgs); ++i) {
            if (kPtgs[i].code == base) {
                table[code] = static_cast<std::int8_t>(i);
                break;
            }
        }
    }
    return table;
}();

const PtgInfo* FindPtg(std::uint8_t code) {
    if (code >= 0x80 || kPtgByCode[code] < 0) return nullptr;
    return &kPtgs[static_cast<std::size_t>(kPtgByCode[code])];
}

std::uint16_t U16(std::span<const std::uint8_t> raw, std::size_t at) {
    return LoadU16(raw.data() + at);
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

void AppendUnsigned(std::string& out, unsigned value) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void AppendCell(std::string& out, const CellRef& ref) {
    if (!(ref.flags & kColRelative)) out.push_back('$');
    if (ref.col > 25) out.push_back(static_cast<char>(64 + ref.col / 26));
    out.push_back(static_cast<char>(65 + ref.col % 26));
    if (!(ref.flags & kRowRelative)) out.push_back('$');
    AppendUnsigned(out, static_cast<unsigned>(ref.row) + 1);
}

// Cell: row (2), column (1), flags (1).
void AppendCellText(std::string& out, std::span<const std::uint8_t> raw,
                    const TPtgContext* resolveAgainst) {
    CellRef ref{U16(raw, 0), raw[2], raw[3]};
    if (resolveAgainst) ref = Resolve(ref, *resolveAgainst);
    AppendCell(out, ref);
}

// Area: first row, last row (2 each), first column, its flags, last column, its flags (1 each).
void AppendAreaText(std::string& out, std::span<const std::uint8_t> raw,
                    const TPtgContext* resolveAgainst) {
    CellRef first{U16(raw, 0), raw[4], raw[5]};
    CellRef last{U16(raw, 2), raw[6], raw[7]};
    if (resolveAgainst) {
        first = Resolve(first, *resolveAgainst);
        last = Resolve(last, *resolveAgainst);
    }
    AppendCell(out, first);
    out.push_back(':');
    AppendCell(out, last);
}

// 3-D references name the sheet through the EXTERNSHEET entry; the sheet name is always quoted.
bool AppendSheetPrefix(std::string& out, std::span<const std::uint8_t> raw,
                       const TPtgContext& context) {
    if (!context.Sheets) return false;
    auto name = context.Sheets->SheetOfReference(U16(raw, 0));
    if (!name) return false;
    out.push_back('\'');
    out += *name;
    out += "'!";
    return true;
}

// Fills kind, text and argument count of a token whose raw bytes are already in place and
// whose text is empty. Text is appended in place so that a reused token keeps its buffer.
bool Fill(const PtgInfo& info, const TPtgContext& context, TPtgToken& token) {
    const std::span<const std::uint8_t> raw = token.Raw;
    switch (info.shape) {
        case Shape::Binary:
        case Shape::Parens:
            token.Kind = TPtgKind::Operator;
            token.Text.assign(info.sign);
            return true;
        case Shape::String: {
            const auto chars = raw.subspan(2);
            token.Kind = TPtgKind::Operand;
            token.Text.push_back('"');
            token.Text += (raw[1] & 0x01) ? Utf16LeToUtf8(chars) : Cp1250ToUtf8(chars);
            token.Text.push_back('"');
            return true;
        }
        case Shape::Attribute:
            if (raw[0] & kAttrDropped) {
                token.Drop = true;
                return true;
            }
            if (raw[0] & kAttrSum) {
                token.Kind = TPtgKind::Function;
                token.Text.assign("SUM");
                token.ArgumentCount = 1;
                return true;
            }
            return false;  // choose and the rest carry jump tables or need evaluation
        case Shape::Boolean:
            token.Kind = TPtgKind::Operand;
            token.Text.assign(raw[0] == 1 ? "TRUE" : "FALSE");
            return true;
        case Shape::Integer:
            token.Kind = TPtgKind::Operand;
            AppendUnsigned(token.Text, U16(raw, 0));
            return true;
        case Shape::Number: {
            const double value = std::bit_cast<double>(LoadU64(raw.data()));
            // A file cannot mean an infinite or undefined constant; do not invent text for it.
            if (!std::isfinite(value)) return false;
            token.Kind = TPtgKind::Operand;
            AppendPtgNumber(token.Text, value, context.DecimalSeparator);
            return true;
        }
        case Shape::FuncFixed: {
            const TXLSFunctionRec* f = FindXLSFunction(U16(raw, 0));
            if (!f || f->FixedCount == kVariableArgs) return false;
            token.Kind = TPtgKind::Function;
            token.Text.assign(f->Name);
            token.ArgumentCount = f->FixedCount;
            return true;
        }
        case Shape::FuncVar: {
            const TXLSFunctionRec* f = FindXLSFunction(U16(raw, 1));
            if (!f) return false;
            token.Kind = TPtgKind::Function;
            token.Text.assign(f->Name);
            token.ArgumentCount = raw[0];
            return true;
        }
        case Shape::Ref:
        case Shape::RefN:
            token.Kind = TPtgKind::Operand;
            AppendCellText(token.Text, raw, info.shape == Shape::RefN ? &context : nullptr);
            return true;
        case Shape::Area:
        case Shape::AreaN:
            token.Kind = TPtgKind::Operand;
            AppendAreaText(token.Text, raw, info.shape == Shape::AreaN ? &context : nullptr);
            return true;
        case Shape::Ref3d:
        case Shape::Area3d: {
            if (!AppendSheetPrefix(token.Text, raw, context)) return false;
            token.Kind = TPtgKind::Operand;
            if (info.shape == Shape::Ref3d)
                AppendCellText(token.Text, raw.subspan(2), nullptr);
            else
                AppendAreaText(token.Text, raw.subspan(2), nullptr);
            return true;
        }
    }
    return false;
}

// Decodes into `tokens` from index `used` on, reusing the elements already there (their
// buffers stay allocated); `used` ends one past the last token kept. Elements from `used`
// on are left over and hold nothing meaningful.
bool DecodeInto(std::span<const std::uint8_t> bytes, const TPtgContext& context,
                std::vector<TPtgToken>& tokens, std::size_t& used) {
    std::size_t p = 0;
    std::size_t textSize = 0;
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
        if (used == tokens.size()) tokens.emplace_back();
        TPtgToken& token = tokens[used];
        token.Kind = TPtgKind::Operator;
        token.Code = code;
        token.Raw.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(size));
        token.Text.clear();
        token.ArgumentCount = 0;
        token.Drop = false;
        if (!Fill(*info, context, token)) return false;
        // Checked per token: a 3-D reference to a long sheet name renders a hundred times its
        // bytes, and a formula that cannot be shown is not worth decoding to its end.
        textSize += token.Text.size();
        if (textSize > kMaxFormulaText) return false;
        if (!token.Drop) ++used;
        p += 1 + size;
    }
    return true;
}

// Runs the tokens as a tree: each operator or function takes the nodes of its operands, and
// the text is written once, walking the tree. Wrapping a growing text in parentheses or a
// function call on a stack of texts would copy it at every level, quadratic in the formula.
// `nodes`, `children` and `walk` only lend their buffers.
using detail::TRenderBuffers;
using Node = TRenderBuffers::Node;

bool RenderInto(const std::vector<TPtgToken>& tokens, std::size_t count, TRenderBuffers& buffers,
                std::string& text) {
    text.clear();
    auto& nodes = buffers.nodes;  // per node: token index, first child, child count
    auto& children = buffers.children;
    auto& stack = buffers.stack;  // nodes not yet taken as an operand
    nodes.clear();
    children.clear();
    stack.clear();
    for (std::size_t t = 0; t < count; ++t) {
        const TPtgToken& token = tokens[t];
        std::size_t take = 0;
        switch (token.Kind) {
            case TPtgKind::Operand:
                take = 0;
                break;
            case TPtgKind::Operator:
                take = token.Code == kParensCode ? 1 : 2;
                break;
            case TPtgKind::Function:
                if (token.ArgumentCount < 0) return false;
                take = static_cast<std::size_t>(token.ArgumentCount);
                break;
        }
        if (stack.size() < take) return false;
        const auto first = static_cast<std::uint32_t>(children.size());
        children.insert(children.end(), stack.end() - static_cast<std::ptrdiff_t>(take),
                        stack.end());
        stack.resize(stack.size() - take);
        nodes.push_back({static_cast<std::uint32_t>(t), first, static_cast<std::uint32_t>(take)});
        stack.push_back(static_cast<std::uint32_t>(nodes.size() - 1));
    }
    // Operands left over mean the tokens were not one formula; showing the first of them
    // would pass off a fragment as the cell's formula.
    if (stack.size() > 1) return false;
    if (stack.empty()) return true;
    // Depth first without recursion: a formula can nest thousands deep. A step is a node and
    // how many of its children are written so far.
    auto& walk = buffers.walk;
    walk.clear();
    walk.push_back({stack[0], 0});
    while (!walk.empty()) {
        if (text.size() > kMaxFormulaText) return false;
        auto& [node, done] = walk.back();
        const Node& n = nodes[node];
        const TPtgToken& token = tokens[n.token];
        if (n.count == 0 && token.Kind == TPtgKind::Operand) {
            text += token.Text;
            walk.pop_back();
            continue;
        }
        const bool parens = token.Kind == TPtgKind::Operator && token.Code == kParensCode;
        const bool binary = token.Kind == TPtgKind::Operator && !parens;
        if (done == 0) {
            if (parens) text.push_back('(');
            if (token.Kind == TPtgKind::Function) {
                text += token.Text;
                text.push_back('(');
            }
        } else if (done < n.count) {
            if (binary) text += token.Text;
            if (token.Kind == TPtgKind::Function) text.push_back(';');
        }
        if (done == n.count) {
            if (!binary) text.push_back(')');
            walk.pop_back();
            continue;
        }
        const std::uint32_t child = children[n.first + done];
        ++done;
        walk.push_back({child, 0});
    }
    return text.size() <= kMaxFormulaText;
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

char LocaleDecimalSeparator() {
    const std::lconv* conv = std::localeconv();
    const char* point = conv ? conv->decimal_point : nullptr;
    return point && point[0] != '\0' && point[1] == '\0' ? point[0] : '.';
}

void AppendPtgNumber(std::string& out, double value, char decimalSeparator) {
    AppendGeneralNumber(out, value, decimalSeparator);
}

std::string FormatPtgNumber(double value, char decimalSeparator) {
    std::string out;
    AppendPtgNumber(out, value, decimalSeparator);
    return out;
}

bool DecodePtgs(std::span<const std::uint8_t> bytes, const TPtgContext& context,
                std::vector<TPtgToken>& tokens) {
    std::size_t used = tokens.size();
    const bool ok = DecodeInto(bytes, context, tokens, used);
    tokens.resize(used);
    return ok;
}

bool RenderPtgs(const std::vector<TPtgToken>& tokens, std::string& text) {
    TRenderBuffers buffers;
    return RenderInto(tokens, tokens.size(), buffers, text);
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
    // Tokens and texts of earlier formulas lend their buffers: most formulas of a sheet have
    // the same shape, so a load makes no allocation per formula here.
    while (!spareTokens_.empty()) {
        tokens_.push_back(std::move(spareTokens_.back()));
        spareTokens_.pop_back();
    }
    std::size_t used = 0;
    const TPtgContext context{row, col, sheets_, decimalSeparator_};
    const bool ok =
        DecodeInto(bytes_, context, tokens_, used) && RenderInto(tokens_, used, render_, result_);
    while (tokens_.size() > used) {
        spareTokens_.push_back(std::move(tokens_.back()));
        tokens_.pop_back();
    }
    if (!ok) {
        status_ = kUnrecognized;
        result_.clear();
    }
    return status_;
}

}  // namespace morvik::xls
