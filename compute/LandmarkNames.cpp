#include "LandmarkNames.h"

#include <array>
#include <unordered_map>
#include <vector>

#include "Landmarks.h"

namespace morvik {
namespace {

// The letter without its accent, in lower case, for U+00C0..U+017F; '?' keeps the character.
constexpr std::string_view kBaseLetters =
    "aaaaaa?ceeeeiiii?nooooo??uuuuy??aaaaaa?ceeeeiiii?nooooo??uuuuy?yaaaaaaccccccccdd??eeeeeeeeeeg"
    "gggggggh"
    "h??iiiiiiiii???jjkk?llllll????nnnnnn???oooooo??rrrrrrsssssssstttt??uuuuuuuuuuuuwwyyyzzzzzz?";
static_assert(kBaseLetters.size() == 0x180 - 0xC0);

bool IsSeparator(char32_t c) {
    return c == ' ' || c == '\t' || c == '-' || c == '_' || c == '.' || c == ',' || c == ';' ||
           c == ':' || c == '/' || c == '"' || c == '\'' || c == '(' || c == ')' || c == '[' ||
           c == ']' || c == 0xA0;
}

// Case and accents folded, separators kept as single blanks: the words of the label.
std::vector<std::string> FoldedWords(std::string_view utf8) {
    std::vector<std::string> words(1);
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = b;
        std::size_t length = 1;
        if (b >= 0xC0 && b < 0xE0 && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            c = static_cast<char32_t>(((b & 0x1F) << 6) |
                                      (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            length = 2;
        }
        if (IsSeparator(c)) {
            if (!words.back().empty()) words.emplace_back();
        } else if (c >= 'A' && c <= 'Z') {
            words.back() += static_cast<char>(c - 'A' + 'a');
        } else if (c >= 0xC0 && c < 0x180 && kBaseLetters[c - 0xC0] != '?') {
            words.back() += kBaseLetters[c - 0xC0];
        } else {
            words.back().append(utf8.substr(i, length));
        }
        i += length;
    }
    if (words.back().empty()) words.pop_back();
    return words;
}

std::string Join(const std::vector<std::string>& words, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) out += words[i];
    return out;
}

// One landmark or a pair of them (right, left), and every name it goes by without its side.
struct NameRow {
    int right;  // the row; 0 with euryon
    int left;   // the left row of a pair; equal to right for a landmark on the midline
    std::vector<std::string_view> names;
};

// The window's abbreviations and names (compute/Landmarks.h) are here too, by base: a test
// checks that each of them finds its own row.
const std::array<NameRow, 16> kNameRows{{
    {1, 1, {"G", "gl", "glabella", "glabela", "glabellion"}},
    {2, 2, {"N", "nasion"}},
    {3, 3, {"RH", "rhi", "rhinion"}},
    {4, 4, {"NS", "nasospinale", "nasospinal"}},
    {5, 5, {"P", "pr", "prosthion", "prostion"}},
    {20, 20, {"B", "br", "bregma"}},
    {21, 21, {"OP", "opisthocranion", "opisthocranium", "opistokranion", "opistokranium"}},
    {22, 22, {"BA", "basion"}},
    {6, 7, {"APT", "apertion", "aperthion", "al", "alare"}},
    {8, 9, {"ZYG", "zy", "zygion"}},
    {10, 11, {"EKT", "ekm", "ecm", "ectomolare", "ektomolare"}},
    {12, 16, {"D", "dacryon", "dakryon"}},
    {13,
     17,
     {"SOR", "so", "supraorbitale", "supraorbitalní bod", "supraorbital notch",
      "supraorbital point"}},
    {14,
     18,
     {"FMO", "fmo", "frontomalare orbitale", "frotomalare orbitale", "frontomalare orbitalis"}},
    {15, 19, {"ZOR", "zo", "zygoorbitale", "zygo-orbitale"}},
    {0, 0, {"EU", "euryon", "eurion"}},
}};

constexpr std::array<std::string_view, 9> kRightWords{"dx",    "r",     "right",  "rt",    "pravy",
                                                      "prava", "prave", "dexter", "dextra"};
constexpr std::array<std::string_view, 9> kLeftWords{"sin",  "l",    "left",     "lt",      "levy",
                                                     "leva", "leve", "sinister", "sinistra"};

Euryon SideOf(std::string_view word) {
    for (std::string_view w : kRightWords)
        if (word == w) return Euryon::Right;
    for (std::string_view w : kLeftWords)
        if (word == w) return Euryon::Left;
    return Euryon::None;
}

// The row whose folded name is `base`; null for none.
const NameRow* RowOf(const std::string& base) {
    // Hashed: a file may hold millions of labels, each tried with every side spelling.
    static const std::unordered_map<std::string, const NameRow*> folded = [] {
        std::unordered_map<std::string, const NameRow*> out;
        for (const NameRow& row : kNameRows)
            for (std::string_view name : row.names) out.emplace(FoldLabel(name), &row);
        return out;
    }();
    const auto it = folded.find(base);
    return it != folded.end() ? it->second : nullptr;
}

LabelTarget Sided(const NameRow& row, Euryon side) {
    if (row.right == 0) return {0, side};
    return {side == Euryon::Right ? row.right : row.left, Euryon::None};
}

}  // namespace

std::string FoldLabel(std::string_view utf8) {
    const std::vector<std::string> words = FoldedWords(utf8);
    return Join(words, 0, words.size());
}

LabelTarget MatchLandmarkLabel(std::string_view utf8) {
    const std::vector<std::string> words = FoldedWords(utf8);
    if (words.empty()) return {};
    // A side written as a word of its own, after the name or before it.
    if (words.size() >= 2) {
        for (const bool last : {true, false}) {
            const Euryon side = SideOf(last ? words.back() : words.front());
            if (side == Euryon::None) continue;
            const std::string base =
                last ? Join(words, 0, words.size() - 1) : Join(words, 1, words.size());
            const NameRow* row = RowOf(base);
            if (row != nullptr && row->right != row->left) return Sided(*row, side);
            if (row != nullptr && row->right == 0) return Sided(*row, side);
        }
    }
    const std::string whole = Join(words, 0, words.size());
    if (const NameRow* row = RowOf(whole)) {
        // A paired name without its side names no one landmark.
        return row->right == row->left && row->right != 0 ? LabelTarget{row->right, Euryon::None}
                                                          : LabelTarget{};
    }
    // The side written into the name: "ZYGdx", "Dsin", "eur", "rzy".
    for (const bool suffix : {true, false}) {
        for (const auto* words : {&kRightWords, &kLeftWords}) {
            for (std::string_view side : *words) {
                if (whole.size() <= side.size()) continue;
                const bool at = suffix ? whole.ends_with(side) : whole.starts_with(side);
                if (!at) continue;
                const std::string base = suffix ? whole.substr(0, whole.size() - side.size())
                                                : whole.substr(side.size());
                const NameRow* row = RowOf(base);
                if (row != nullptr && (row->right != row->left || row->right == 0))
                    return Sided(*row, words == &kRightWords ? Euryon::Right : Euryon::Left);
            }
        }
    }
    return {};
}

bool LandmarkNameTable::Add(std::string_view label, std::string_view target) {
    LabelTarget found;
    const std::string folded = FoldLabel(target);
    for (const LandmarkRow& row : kLandmarks)
        if (FoldLabel(row.abbreviation) == folded) found = {row.row, Euryon::None};
    if (!found.Matched()) found = MatchLandmarkLabel(target);
    if (!found.Matched()) return false;
    names_[FoldLabel(label)] = found;
    return true;
}

LabelTarget LandmarkNameTable::Match(std::string_view utf8) const {
    const auto it = names_.find(FoldLabel(utf8));
    return it != names_.end() ? it->second : MatchLandmarkLabel(utf8);
}

}  // namespace morvik
