// Formula text from the token bytes of FORMULA and SHRFMLA records.
//
// Two steps: DecodePtgs turns the bytes (reverse Polish order) into tokens, RenderPtgs runs
// them over a text stack. Sheet names for 3-D references come through TPtgSheetLookup, so
// neither step needs a workbook. Only a fixed set of tokens and the 71 functions below are
// understood; anything else makes the formula unrecognized, which is a status, not an error.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Lists.h"

namespace morvik::xls {

// One built-in function: its number in the file and, for the fixed-argument token, how many
// arguments it takes (-1: the function is only ever stored with an explicit count).
struct TXLSFunctionRec {
    std::string_view Name;
    std::int32_t Number;
    std::int32_t FixedCount;
};

inline constexpr std::int32_t kVariableArgs = -1;

inline constexpr std::array<TXLSFunctionRec, 71> kXLSFunctions = {{
    {"IF", 1, 3},
    {"ISERROR", 3, 1},
    {"AND", 36, kVariableArgs},
    {"OR", 37, kVariableArgs},
    {"NOT", 38, 1},
    {"COUNT", 0, 1},
    {"SUM", 4, kVariableArgs},
    {"AVERAGE", 5, kVariableArgs},
    {"MIN", 6, kVariableArgs},
    {"MAX", 7, kVariableArgs},
    {"ROW", 8, kVariableArgs},
    {"COLUMN", 9, kVariableArgs},
    {"NPV", 11, kVariableArgs},
    {"STDEV", 12, kVariableArgs},
    {"SUMPRODUCT", 228, kVariableArgs},
    {"SUMSQ", 321, kVariableArgs},
    {"SUMX2MY2", 304, 2},
    {"SUMX2PY2", 305, 2},
    {"SUMXMY2", 303, 2},
    {"SUMIF", 345, kVariableArgs},
    {"SIN", 15, 1},
    {"COS", 16, 1},
    {"TAN", 17, 1},
    {"ATAN", 18, 1},
    {"SQRT", 20, 1},
    {"EXP", 21, 1},
    {"LN", 22, 1},
    {"LOG10", 23, 1},
    {"ABS", 24, 1},
    {"INT", 25, 1},
    {"SIGN", 26, 1},
    {"ROUND", 27, 2},
    {"LOOKUP", 28, kVariableArgs},
    {"INDEX", 29, kVariableArgs},
    {"REPT", 30, 2},
    {"MID", 31, 3},
    {"LEN", 32, 1},
    {"VALUE", 33, 1},
    {"MOD", 39, 2},
    {"DSUM", 41, 3},
    {"VAR", 46, kVariableArgs},
    {"DATE", 65, 3},
    {"TIME", 66, 3},
    {"DAY", 67, 1},
    {"MONTH", 68, 1},
    {"YEAR", 69, 1},
    {"WEEKDAY", 70, 1},
    {"HOUR", 71, 1},
    {"MINUTE", 72, 1},
    {"SECOND", 73, 1},
    {"NOW", 74, 0},
    {"HLOOKUP", 101, 4},
    {"VLOOKUP", 102, 4},
    {"LOWER", 112, 1},
    {"UPPER", 113, 1},
    {"PROPER", 114, 1},
    {"LEFT", 115, 2},
    {"RIGHT", 116, 2},
    {"TRIM", 118, 1},
    {"REPLACE", 119, 4},
    {"SUBSTITUTE", 120, 4},
    {"COUNTA", 169, kVariableArgs},
    {"TRUNC", 197, 1},
    {"ROUNDUP", 212, 2},
    {"ROUNDDOWN", 213, 2},
    {"TODAY", 221, 0},
    {"FLOOR", 285, 2},
    {"CEILING", 288, 2},
    {"CONCATENATE", 336, kVariableArgs},
    {"SUBTOTAL", 344, 2},
    {"COUNTBLANK", 347, 1},
}};

// The first row with that number, or nullptr.
constexpr const TXLSFunctionRec* FindXLSFunction(std::int32_t number) {
    for (const auto& f : kXLSFunctions) {
        if (f.Number == number) return &f;
    }
    return nullptr;
}

enum class TPtgKind : std::uint8_t { Operator = 0, Function = 1, Operand = 2 };

// The longest formula text the format allows; a formula whose text would be longer counts as
// unrecognized, like any other formula that cannot be rendered.
inline constexpr std::size_t kMaxFormulaText = 8192;

// One decoded token. Operators carry their sign (empty for parentheses, code 0x15), functions
// their name and how many operands they take, operands their finished text.
struct TPtgToken {
    TPtgKind Kind = TPtgKind::Operator;
    std::uint8_t Code = 0;
    std::vector<std::uint8_t> Raw;  // bytes after the code that belong to the token
    std::string Text;
    std::int32_t ArgumentCount = 0;
    bool Drop = false;  // read and discarded (space, if, goto, volatile attributes)
};

// Sheet names for 3-D references, answered by whoever holds the workbook's lists.
class TPtgSheetLookup {
  public:
    virtual ~TPtgSheetLookup() = default;
    // Name (UTF-8) of the first sheet of EXTERNSHEET entry `referenceIndex`; nullopt when the
    // entry or that sheet does not exist.
    virtual std::optional<std::string> SheetOfReference(std::uint16_t referenceIndex) const = 0;
};

// The lookup over the reader's two lists: sheet names in workbook order and the 6-byte
// EXTERNSHEET entries (supporting workbook, first sheet, last sheet; 2 bytes each). Only the
// first sheet is looked at. The lists are not copied and must outlive the lookup.
class TPtgListLookup final : public TPtgSheetLookup {
  public:
    TPtgListLookup(const std::vector<std::string>& sheetNames,
                   const std::vector<std::vector<std::uint8_t>>& references)
        : sheetNames_(sheetNames), references_(references) {}
    std::optional<std::string> SheetOfReference(std::uint16_t referenceIndex) const override;

  private:
    const std::vector<std::string>& sheetNames_;
    const std::vector<std::vector<std::uint8_t>>& references_;
};

// What decoding needs besides the bytes: the cell whose formula is read (relative references
// of shared formulas are offsets from it), the sheet lookup and the decimal separator.
struct TPtgContext {
    std::uint16_t BaseRow = 0;
    std::uint8_t BaseCol = 0;
    const TPtgSheetLookup* Sheets = nullptr;  // no lookup: every 3-D reference is unrecognized
    char DecimalSeparator = '.';
};

// Decodes `bytes` into `tokens` (appended, dropped ones left out). False when the formula is
// unrecognized: an unknown token, function or attribute, a truncated token, an unknown sheet,
// or token texts that together pass kMaxFormulaText (the formula's text holds them all).
bool DecodePtgs(std::span<const std::uint8_t> bytes, const TPtgContext& context,
                std::vector<TPtgToken>& tokens);

// Renders decoded tokens as formula text (no leading '='). False when an operator or function
// finds too few operands, the tokens leave more than one text, or the text would be longer
// than kMaxFormulaText; `text` is then not meaningful. Time is linear in the tokens.
bool RenderPtgs(const std::vector<TPtgToken>& tokens, std::string& text);

// A number constant as formula text: up to 15 significant digits, trailing zeros dropped,
// exponent form ("1E15", "1,5E-6") only at 1E15 and above or below 0.00001.
std::string FormatPtgNumber(double value, char decimalSeparator);
// The decimal separator of the C locale, which the program sets from the user's regional
// settings; number constants use it unless told otherwise.
char LocaleDecimalSeparator();
// FormatPtgNumber appended to `out`.
void AppendPtgNumber(std::string& out, double value, char decimalSeparator);

namespace detail {
// Working lists of the renderer, kept by a parser from one formula to the next.
struct TRenderBuffers {
    struct Node {
        std::uint32_t token, first, count;  // children are children[first .. first + count)
    };
    struct Step {
        std::uint32_t node, done;
    };
    std::vector<Node> nodes;
    std::vector<std::uint32_t> children;
    std::vector<std::uint32_t> stack;
    std::vector<Step> walk;
};
}  // namespace detail

class TPtgParser {
  public:
    static constexpr std::int32_t kOk = 0;
    static constexpr std::int32_t kUnrecognized = -1;
    // Bit of the FORMULA option byte that marks a cell of a shared formula.
    static constexpr std::uint8_t kSharedFlag = 0x08;

    // Over the reader's lists, which stay owned by the reader and must outlive the parser.
    TPtgParser(const std::vector<std::string>& sheetNames,
               const std::vector<std::vector<std::uint8_t>>& references);
    // Over any lookup, which must outlive the parser.
    explicit TPtgParser(const TPtgSheetLookup& sheets);
    TPtgParser(const TPtgParser&) = delete;
    TPtgParser& operator=(const TPtgParser&) = delete;

    // Turns the formula of cell (row, col) on `sheet` into text. With kSharedFlag in `option`
    // the tokens come from the shared formula covering the cell and `tokens` is ignored.
    // Returns kOk (Result() holds the text; empty when no shared formula covers the cell) or
    // kUnrecognized (Result() is empty). Nothing carries over from a previous call.
    std::int32_t Parse(std::uint16_t sheet, std::uint16_t row, std::span<const std::uint8_t> tokens,
                       std::uint8_t option, std::uint8_t col);

    std::int32_t Status() const { return status_; }
    const std::string& Result() const { return result_; }
    // Tokens of the last Parse (up to the failing one when it failed).
    const std::vector<TPtgToken>& Tokens() const { return tokens_; }

    TXLSSharedFormulas& SharedFormulas() { return shared_; }
    const TXLSSharedFormulas& SharedFormulas() const { return shared_; }

    // Number constants use the decimal separator of the C locale at construction time, which
    // the program sets from the user's regional settings; this overrides it.
    void SetDecimalSeparator(char separator) { decimalSeparator_ = separator; }
    char DecimalSeparator() const { return decimalSeparator_; }

  private:
    std::unique_ptr<TPtgListLookup> ownLookup_;
    const TPtgSheetLookup* sheets_;
    char decimalSeparator_;
    std::int32_t status_ = kOk;
    std::vector<std::uint8_t> bytes_;
    std::string result_;
    std::vector<TPtgToken> tokens_;
    std::vector<TPtgToken> spareTokens_;  // buffers kept from longer earlier formulas
    detail::TRenderBuffers render_;
    TXLSSharedFormulas shared_;
};

}  // namespace morvik::xls
