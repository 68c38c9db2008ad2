#include "Document.h"

#include <fontconfig/fontconfig.h>
#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <variant>

#include "TrueType.h"
#include "text/Utf8.h"

namespace morvik::pdf {
namespace {

// ---------------------------------------------------------------------------------------
// The fonts: found once per process through fontconfig and read once. They must be DejaVu:
// another family chosen in its place could lack Czech letters or change every width.

constexpr std::size_t kFaces = 3;

struct Fonts {
    std::array<std::unique_ptr<TrueTypeFont>, kFaces> face;
    std::string error;
};

std::unique_ptr<TrueTypeFont> Load(const char* family, const char* style, std::string& error) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* found = nullptr;
    FcChar8* file = nullptr;
    const bool ours = match != nullptr &&
                      FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch &&
                      std::string_view(reinterpret_cast<const char*>(found)) == family &&
                      FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    const std::string path = ours ? reinterpret_cast<const char*>(file) : "";
    if (match) FcPatternDestroy(match);
    if (!ours) {
        error = std::string("The font \"") + family + " " + style +
                "\" is not installed (Debian package fonts-dejavu-core).";
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) {
        error = "The font file \"" + path + "\" cannot be read.";
        return nullptr;
    }
    try {
        return std::make_unique<TrueTypeFont>(std::move(bytes).str(), path);
    } catch (const PdfError& e) {
        error = e.what();
        return nullptr;
    }
}

const Fonts& TheFonts() {
    static const Fonts fonts = [] {
        Fonts f;
        const char* names[kFaces][2] = {
            {"DejaVu Sans", "Book"}, {"DejaVu Sans", "Bold"}, {"DejaVu Sans Mono", "Book"}};
        for (std::size_t i = 0; i < kFaces && f.error.empty(); ++i)
            f.face[i] = Load(names[i][0], names[i][1], f.error);
        return f;
    }();
    if (!fonts.error.empty()) throw PdfError(fonts.error);
    return fonts;
}

const TrueTypeFont& FontOf(Face face) { return *TheFonts().face[static_cast<std::size_t>(face)]; }

// Calls `f` with each character of the text; bytes that are no UTF-8 give U+FFFD, control
// characters a blank.
template <class F>
void ForEachCharacter(std::string_view utf8, F&& f) {
    for (std::size_t at = 0; at < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        char32_t c = byte < 0x80 ? (++at, byte) : DecodeUtf8(utf8, at);
        if (c < 0x20 || c == 0x7F) c = ' ';
        f(c);
    }
}

std::size_t Utf8Length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// ---------------------------------------------------------------------------------------
// A font as a document embeds it: the subset and the objects that describe it. Every
// document embeds at least the glyphs of a fixed repertoire (ASCII, the Czech letters, the
// report's punctuation), so reports of a collection share one subset, made and compressed
// once per process; a character beyond it gives a subset of its own.

constexpr std::string_view kRepertoire = "ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž·×–—‘’“”„•…°±≈µσ²³";

// libdeflate rather than zlib: at its fastest level it compresses a report's pages about three
// times faster than zlib's fastest, and smaller (bench/report measures the report).
std::string Deflate(std::string_view bytes, int level) {
    struct Free {
        void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    };
    const std::unique_ptr<libdeflate_compressor, Free> compressor(
        libdeflate_alloc_compressor(level));
    std::string out;
    if (compressor) {
        out.resize(libdeflate_zlib_compress_bound(compressor.get(), bytes.size()));
        out.resize(libdeflate_zlib_compress(compressor.get(), bytes.data(), bytes.size(),
                                            out.data(), out.size()));
    }
    if (out.empty()) throw PdfError("The PDF cannot be made: its compression failed.");
    return out;
}

// Fonts compress once per subset and pages once per report: each at what it is worth.
constexpr int kFontCompression = 12;
constexpr int kPageCompression = 1;

void Number(std::string& out, double v, int decimals) {
    if (!std::isfinite(v)) v = 0;
    char buffer[48];
    char* end =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals).ptr;
    if (decimals > 0) {
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
    }
    if (end - buffer == 2 && buffer[0] == '-' && buffer[1] == '0') {
        out += '0';
        return;
    }
    out.append(buffer, end);
}

void Hex16(std::string& out, unsigned v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(v >> shift) & 0xF];
}

std::uint64_t Fnv(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

// A digest for telling files apart, not for security: eight bytes a step.
std::string Identifier(std::string_view bytes) {
    std::uint64_t a = 0x9E3779B97F4A7C15ull, b = 0xC2B2AE3D27D4EB4Full;
    std::size_t i = 0;
    const auto mix = [&](std::uint64_t word) {
        a = (a ^ word) * 0xFF51AFD7ED558CCDull;
        a ^= a >> 29;
        b = (b + word) * 0xC4CEB9FE1A85EC53ull;
        b ^= b >> 31;
    };
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        mix(word);
    }
    std::uint64_t last = bytes.size();
    for (; i < bytes.size(); ++i) last = last << 8 | static_cast<unsigned char>(bytes[i]);
    mix(last);
    char id[40];
    std::snprintf(id, sizeof id, "%016llx%016llx", static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return id;
}

struct Embedded {
    std::vector<std::uint16_t> glyphs;  // the font's glyph numbers, in the subset's order
    std::vector<std::uint16_t> code;    // per glyph of the font, its number in the subset
    std::string baseFont;               // "ABCDEF+DejaVuSans"
    std::string program;                // the subset, compressed
    std::size_t programLength = 0;
    std::string widths;     // the W array
    std::string toUnicode;  // the character map for extracting text, compressed

    std::uint16_t Code(std::uint16_t glyph) const { return glyph < code.size() ? code[glyph] : 0; }
};

std::shared_ptr<const Embedded> MakeEmbedded(const TrueTypeFont& font,
                                             std::vector<std::uint16_t> glyphs) {
    auto e = std::make_shared<Embedded>();
    const std::string program = font.Subset(glyphs);
    e->glyphs = std::move(glyphs);
    e->code.assign(font.GlyphCount(), 0);
    for (std::size_t i = 0; i < e->glyphs.size(); ++i)
        e->code[e->glyphs[i]] = static_cast<std::uint16_t>(i);
    e->programLength = program.size();
    e->program = Deflate(program, kFontCompression);

    // The subset's tag: six letters from its glyphs, so the same subset has the same name.
    std::uint64_t h = Fnv(font.PostScriptName());
    for (const std::uint16_t g : e->glyphs) h = (h ^ g) * 1099511628211ull;
    for (int i = 0; i < 6; ++i, h /= 26) e->baseFont += static_cast<char>('A' + h % 26);
    e->baseFont += "+" + font.PostScriptName();

    e->widths = "[0[";
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<unsigned, char32_t>> mapped;
    for (std::size_t code = 0; code < e->glyphs.size(); ++code) {
        if (code > 0) e->widths += ' ';
        Number(e->widths, font.Advance(e->glyphs[code]) * 1000, 3);
        if (const char32_t c = font.CharacterOf(e->glyphs[code]); c != 0)
            mapped.emplace_back(static_cast<unsigned>(code), c);
    }
    e->widths += "]]";
    for (std::size_t i = 0; i < mapped.size(); i += 100) {
        const std::size_t n = std::min<std::size_t>(100, mapped.size() - i);
        cmap += std::to_string(n) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            cmap += '<';
            Hex16(cmap, mapped[k].first);
            cmap += "> <";
            const char32_t c = mapped[k].second;
            if (c < 0x10000) {
                Hex16(cmap, c);
            } else {
                Hex16(cmap, 0xD800 + ((c - 0x10000) >> 10));
                Hex16(cmap, 0xDC00 + ((c - 0x10000) & 0x3FF));
            }
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    e->toUnicode = Deflate(cmap, kFontCompression);
    return e;
}

std::shared_ptr<const Embedded> Embed(Face face, const std::vector<bool>& used) {
    const TrueTypeFont& font = FontOf(face);
    static const std::array<std::vector<bool>, kFaces> repertoire = [] {
        std::array<std::vector<bool>, kFaces> r;
        for (std::size_t f = 0; f < kFaces; ++f) {
            const TrueTypeFont& font = *TheFonts().face[f];
            r[f].assign(font.GlyphCount(), false);
            for (char32_t c = 0x20; c < 0x7F; ++c) r[f][font.Glyph(c)] = true;
            ForEachCharacter(kRepertoire, [&](char32_t c) { r[f][font.Glyph(c)] = true; });
        }
        return r;
    }();
    std::vector<std::uint16_t> glyphs;
    const std::vector<bool>& base = repertoire[static_cast<std::size_t>(face)];
    for (std::size_t g = 0; g < base.size(); ++g)
        if (base[g] || used[g]) glyphs.push_back(static_cast<std::uint16_t>(g));

    static std::mutex mutex;
    static std::map<std::pair<Face, std::vector<std::uint16_t>>, std::shared_ptr<const Embedded>>
        made;
    std::pair<Face, std::vector<std::uint16_t>> key{face, glyphs};
    {
        const std::lock_guard lock(mutex);
        if (const auto it = made.find(key); it != made.end()) return it->second;
    }
    auto e = MakeEmbedded(font, std::move(glyphs));
    const std::lock_guard lock(mutex);
    if (made.size() >= 64) made.clear();  // a bound for a long run of exotic file names
    return made.emplace(std::move(key), std::move(e)).first->second;
}

// ---------------------------------------------------------------------------------------
// The page model.

struct TextOp {
    double x, y;
    std::string text;
    Style style;
};
struct LineOp {
    double x1, y1, x2, y2, width;
    Color color;
    bool dashed;
};
struct DotOp {
    double x, y, r;
    Color color;
};
struct SpecksOp {
    std::vector<std::pair<double, double>> points;
    double size;
    Color color;
};
struct RectOp {
    double x, y, w, h;
    std::optional<Color> fill, stroke;
    double strokeWidth;
};
using Op = std::variant<TextOp, LineOp, DotOp, RectOp, SpecksOp>;

bool operator==(const Color& a, const Color& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// One page's content stream, with the graphics state it has set, so that nothing is said
// twice. y is turned from "down from the top" into PDF's "up from the bottom" here.
class Content {
  public:
    Content(const std::array<std::shared_ptr<const Embedded>, kFaces>& fonts) : fonts_(fonts) {}
    std::string& Bytes() {
        EndText();
        return s_;
    }

    void Text(const TextOp& t) {
        if (!inText_) s_ += "BT\n", inText_ = true;
        const auto face = static_cast<std::size_t>(t.style.face);
        if (face != font_ || t.style.size != size_) {
            font_ = face, size_ = t.style.size;
            s_ += "/F" + std::to_string(face) + ' ';
            Number(s_, size_, 2);
            s_ += " Tf\n";
        }
        Fill(t.style.color);
        s_ += "1 0 0 1 ";
        Point(t.x, t.y);
        s_ += " Tm(";
        const TrueTypeFont& font = FontOf(t.style.face);
        const Embedded& e = *fonts_[face];
        ForEachCharacter(t.text, [&](char32_t c) {
            const std::uint16_t code = e.Code(font.Glyph(c));
            for (const char byte : {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}) {
                // A carriage return in a string would be read as a line feed.
                if (byte == '(' || byte == ')' || byte == '\\')
                    s_ += '\\', s_ += byte;
                else if (byte == '\r')
                    s_ += "\\r";
                else
                    s_ += byte;
            }
        });
        s_ += ")Tj\n";
    }

    void Line(const LineOp& l) {
        EndText();
        Stroke(l.color);
        Width(l.width);
        Cap(0);
        Dash(l.dashed);
        Point(l.x1, l.y1);
        s_ += " m ";
        Point(l.x2, l.y2);
        s_ += " l S\n";
    }

    void Dot(const DotOp& d) {
        EndText();
        Fill(d.color);
        // A circle of four Bézier arcs.
        const double k = 0.5523 * d.r, x = d.x, y = d.y, r = d.r;
        const std::array<std::array<double, 6>, 4> arcs{{{x + r, y - k, x + k, y - r, x, y - r},
                                                         {x - k, y - r, x - r, y - k, x - r, y},
                                                         {x - r, y + k, x - k, y + r, x, y + r},
                                                         {x + k, y + r, x + r, y + k, x + r, y}}};
        Point(x + r, y);
        s_ += " m\n";
        for (const auto& a : arcs) {
            for (int i = 0; i < 6; i += 2) {
                Point(a[i], a[i + 1]);
                s_ += ' ';
            }
            s_ += "c\n";
        }
        s_ += "f\n";
    }

    void Specks(const SpecksOp& p) {
        // Zero-length strokes with round caps: a dot in two short path operators.
        EndText();
        Stroke(p.color);
        Width(p.size);
        Cap(1);
        Dash(false);
        std::string at;
        for (const auto& [x, y] : p.points) {
            at.clear();
            Number(at, x, 1);
            at += ' ';
            Number(at, kPageHeight - y, 1);
            s_ += at;
            s_ += " m ";
            s_ += at;
            s_ += " l\n";
        }
        s_ += "S\n";
    }

    void Rect(const RectOp& r) {
        EndText();
        if (r.fill) Fill(*r.fill);
        if (r.stroke) {
            Stroke(*r.stroke);
            Width(r.strokeWidth);
            Dash(false);
        }
        Point(r.x, r.y + r.h);
        s_ += ' ';
        Number(s_, r.w, 2);
        s_ += ' ';
        Number(s_, r.h, 2);
        s_ += r.fill && r.stroke ? " re B\n"
              : r.fill           ? " re f\n"
              : r.stroke         ? " re S\n"
                                 : " re n\n";
    }

  private:
    void EndText() {
        if (inText_) s_ += "ET\n", inText_ = false;
    }
    void Point(double x, double y) {
        Number(s_, x, 2);
        s_ += ' ';
        Number(s_, kPageHeight - y, 2);
    }
    void SetColor(std::optional<Color>& current, Color c, const char* op) {
        if (current && *current == c) return;
        current = c;
        for (const double v : {c.r, c.g, c.b}) {
            Number(s_, v, 3);
            s_ += ' ';
        }
        s_ += op;
        s_ += '\n';
    }
    void Fill(Color c) { SetColor(fill_, c, "rg"); }
    void Stroke(Color c) { SetColor(stroke_, c, "RG"); }
    void Width(double w) {
        if (w == width_) return;
        width_ = w;
        Number(s_, w, 2);
        s_ += " w\n";
    }
    void Cap(int cap) {
        if (cap == cap_) return;
        cap_ = cap;
        s_ += std::to_string(cap) + " J\n";
    }
    void Dash(bool dashed) {
        if (dashed == dashed_) return;
        dashed_ = dashed;
        s_ += dashed ? "[2 1.5] 0 d\n" : "[] 0 d\n";
    }

    const std::array<std::shared_ptr<const Embedded>, kFaces>& fonts_;
    std::string s_;
    bool inText_ = false;
    std::size_t font_ = kFaces;
    double size_ = 0;
    std::optional<Color> fill_ = kBlack, stroke_ = kBlack;
    double width_ = 1;
    int cap_ = 0;
    bool dashed_ = false;
};

// A PDF text string: plain ASCII as it is, anything else as UTF-16 with its byte order mark.
std::string TextString(std::string_view utf8) {
    const bool plain = std::all_of(utf8.begin(), utf8.end(), [](char c) {
        return c >= 0x20 && c < 0x7F && c != '(' && c != ')' && c != '\\';
    });
    if (plain) return "(" + std::string(utf8) + ")";
    std::string out = "<FEFF";
    for (const char16_t unit : Utf8ToUtf16(utf8)) Hex16(out, unit);
    return out + ">";
}

// The objects of a file, numbered from 1 in the order they are begun.
class Writer {
  public:
    Writer() { out_ = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n"; }
    void Begin(int n) {
        if (offsets_.size() < static_cast<std::size_t>(n)) offsets_.resize(n);
        offsets_[n - 1] = out_.size();
        out_ += std::to_string(n) + " 0 obj\n";
    }
    void Object(int n, std::string_view body) {
        Begin(n);
        out_ += body;
        out_ += "\nendobj\n";
    }
    void Stream(int n, std::string_view dictionary, std::string_view deflated) {
        Begin(n);
        out_ += "<<";
        out_ += dictionary;
        out_ += "/Filter/FlateDecode/Length " + std::to_string(deflated.size()) + ">>stream\n";
        out_ += deflated;
        out_ += "\nendstream\nendobj\n";
    }
    std::string Finish(int root, int info) {
        const std::size_t xref = out_.size();
        // The file's identifier: from a digest of what it holds, so the same content has the
        // same.
        const std::string id = Identifier(out_);
        out_ += "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
        char entry[32];
        for (const std::size_t offset : offsets_) {
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
            out_ += entry;
        }
        out_ += "trailer\n<</Size " + std::to_string(offsets_.size() + 1) + "/Root " +
                std::to_string(root) + " 0 R/Info " + std::to_string(info) + " 0 R/ID[<" + id +
                "><" + id + ">]>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return std::move(out_);
    }

  private:
    std::string out_;
    std::vector<std::size_t> offsets_;
};

}  // namespace

struct Document::Impl {
    std::vector<std::vector<Op>> pages;

    std::vector<Op>& Page() {
        if (pages.empty()) pages.emplace_back();
        return pages.back();
    }
};

Document::Document() : impl_(std::make_unique<Impl>()) { TheFonts(); }
Document::~Document() = default;

void Document::NewPage() { impl_->pages.emplace_back(); }
int Document::PageCount() const { return static_cast<int>(impl_->pages.size()); }

double Document::Width(std::string_view utf8, const Style& style) const {
    const TrueTypeFont& font = FontOf(style.face);
    double em = 0;
    ForEachCharacter(utf8, [&](char32_t c) { em += font.Advance(font.Glyph(c)); });
    return em * style.size;
}

std::vector<std::string> Document::Wrap(std::string_view utf8, const Style& style,
                                        double width) const {
    // Widths add up character by character (no kerning), so a line's width is kept as it
    // grows instead of measuring it again for every word.
    const double space = Width(" ", style);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        const std::size_t end = std::min(utf8.find('\n', start), utf8.size());
        const std::string_view paragraph = utf8.substr(start, end - start);
        std::string line;
        double lineWidth = 0;
        for (std::size_t i = 0; i <= paragraph.size();) {
            const std::size_t j = std::min(paragraph.find(' ', i), paragraph.size());
            const std::string_view word = paragraph.substr(i, j - i);
            const double wordWidth = Width(word, style);
            if (line.empty() || lineWidth + space + wordWidth <= width) {
                if (!line.empty()) line += ' ', lineWidth += space;
                line += word;
                lineWidth += wordWidth;
            } else {
                lines.push_back(std::move(line));
                line = word;
                lineWidth = wordWidth;
            }
            // A word alone wider than the line (a long path) is broken between characters.
            while (line.size() > 1 && lineWidth > width) {
                std::size_t cut = Utf8Length(static_cast<unsigned char>(line[0]));
                double head = Width(std::string_view(line).substr(0, cut), style);
                for (std::size_t next = cut; next < line.size();) {
                    const std::size_t length = Utf8Length(static_cast<unsigned char>(line[next]));
                    const double more = Width(std::string_view(line).substr(next, length), style);
                    if (head + more > width) break;
                    head += more;
                    next += length;
                    cut = next;
                }
                if (cut >= line.size()) break;
                lines.push_back(line.substr(0, cut));
                line.erase(0, cut);
                lineWidth -= head;
            }
            i = j + 1;
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

void Document::Text(double x, double y, std::string_view utf8, const Style& style, Align align) {
    if (utf8.empty()) return;
    if (align != Align::Left) {
        const double w = Width(utf8, style);
        x -= align == Align::Right ? w : w / 2;
    }
    impl_->Page().push_back(TextOp{x, y, std::string(utf8), style});
}

void Document::Line(double x1, double y1, double x2, double y2, double width, Color color,
                    bool dashed) {
    impl_->Page().push_back(LineOp{x1, y1, x2, y2, width, color, dashed});
}

void Document::Dot(double x, double y, double radius, Color color) {
    impl_->Page().push_back(DotOp{x, y, radius, color});
}

void Document::Specks(const std::vector<std::pair<double, double>>& points, double size,
                      Color color) {
    impl_->Page().push_back(SpecksOp{points, size, color});
}

void Document::Rect(double x, double y, double w, double h, std::optional<Color> fill,
                    std::optional<Color> stroke, double strokeWidth) {
    impl_->Page().push_back(RectOp{x, y, w, h, fill, stroke, strokeWidth});
}

std::string Document::Render(const Info& info,
                             const std::function<std::string(int, int)>& footer) const {
    const std::vector<std::vector<Op>> none(1);
    const auto& pages = impl_->pages.empty() ? none : impl_->pages;
    const int count = static_cast<int>(pages.size());
    std::vector<TextOp> feet;
    if (footer)
        for (int n = 1; n <= count; ++n) {
            const Style style{Face::Sans, 8, Color{0.3, 0.3, 0.3}};
            const std::string text = footer(n, count);
            feet.push_back({(kPageWidth - Width(text, style)) / 2, kPageHeight - 24, text, style});
        }

    // The glyphs each face is used for, then each face's subset.
    std::array<std::vector<bool>, kFaces> used;
    const auto use = [&](const TextOp& t) {
        const auto face = static_cast<std::size_t>(t.style.face);
        const TrueTypeFont& font = FontOf(t.style.face);
        if (used[face].empty()) used[face].assign(font.GlyphCount(), false);
        ForEachCharacter(t.text, [&](char32_t c) { used[face][font.Glyph(c)] = true; });
    };
    for (const auto& page : pages)
        for (const Op& op : page)
            if (const auto* t = std::get_if<TextOp>(&op)) use(*t);
    for (const TextOp& t : feet) use(t);
    std::array<std::shared_ptr<const Embedded>, kFaces> fonts;
    for (std::size_t f = 0; f < kFaces; ++f)
        if (!used[f].empty()) fonts[f] = Embed(static_cast<Face>(f), used[f]);

    // Objects: the catalogue, the page tree, the information, two per page, five per font.
    constexpr int kCatalog = 1, kPages = 2, kInfo = 3, kFirstPage = 4;
    const int firstFont = kFirstPage + 2 * count;
    std::array<int, kFaces> fontObject{};
    std::string resources = "<</Font<<";
    for (std::size_t f = 0, next = static_cast<std::size_t>(firstFont); f < kFaces; ++f)
        if (fonts[f]) {
            fontObject[f] = static_cast<int>(next);
            next += 5;
            resources += "/F" + std::to_string(f) + ' ' + std::to_string(fontObject[f]) + " 0 R";
        }
    resources += ">>>>";

    Writer w;
    // The viewer's title bar shows the title rather than the file's name.
    w.Object(kCatalog, "<</Type/Catalog/Pages 2 0 R/ViewerPreferences<</DisplayDocTitle true>>" +
                           (info.language.empty() ? "" : "/Lang" + TextString(info.language)) +
                           ">>");
    std::string kids = "<</Type/Pages/Count " + std::to_string(count) + "/Kids[";
    for (int n = 0; n < count; ++n) kids += std::to_string(kFirstPage + 2 * n) + " 0 R ";
    w.Object(kPages, kids + "]>>");
    std::string date = "D:";
    for (const char c : IsoUtc(info.date.value_or(std::time(nullptr))))
        if (std::isdigit(static_cast<unsigned char>(c)) || c == 'Z') date += c;
    w.Object(kInfo, "<</Title" + TextString(info.title) + "/Subject" + TextString(info.subject) +
                        "/Creator" + TextString(info.creator) + "/Producer" +
                        TextString(info.creator) + "/CreationDate(" + date + ")/ModDate(" + date +
                        ")>>");

    std::string box = "[0 0 ";
    Number(box, kPageWidth, 4);
    box += ' ';
    Number(box, kPageHeight, 4);
    box += ']';
    for (int n = 0; n < count; ++n) {
        Content c(fonts);
        for (const Op& op : pages[static_cast<std::size_t>(n)]) {
            if (const auto* t = std::get_if<TextOp>(&op))
                c.Text(*t);
            else if (const auto* l = std::get_if<LineOp>(&op))
                c.Line(*l);
            else if (const auto* d = std::get_if<DotOp>(&op))
                c.Dot(*d);
            else if (const auto* p = std::get_if<SpecksOp>(&op))
                c.Specks(*p);
            else if (const auto* r = std::get_if<RectOp>(&op))
                c.Rect(*r);
        }
        if (!feet.empty()) c.Text(feet[static_cast<std::size_t>(n)]);
        const int page = kFirstPage + 2 * n;
        w.Object(page, "<</Type/Page/Parent 2 0 R/MediaBox" + box + "/Resources" + resources +
                           "/Contents " + std::to_string(page + 1) + " 0 R>>");
        w.Stream(page + 1, "", Deflate(c.Bytes(), kPageCompression));
    }

    for (std::size_t f = 0; f < kFaces; ++f) {
        if (!fonts[f]) continue;
        const Embedded& e = *fonts[f];
        const TrueTypeFont::Metrics& m = FontOf(static_cast<Face>(f)).FontMetrics();
        const int o = fontObject[f];
        const auto ref = [](int n) { return ' ' + std::to_string(n) + " 0 R"; };
        w.Object(o, "<</Type/Font/Subtype/Type0/BaseFont/" + e.baseFont +
                        "/Encoding/Identity-H/DescendantFonts[" + ref(o + 1) + "]/ToUnicode" +
                        ref(o + 4) + ">>");
        w.Object(o + 1, "<</Type/Font/Subtype/CIDFontType2/BaseFont/" + e.baseFont +
                            "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                            "/FontDescriptor" +
                            ref(o + 2) + "/CIDToGIDMap/Identity/W" + e.widths + ">>");
        std::string d = "<</Type/FontDescriptor/FontName/" + e.baseFont + "/Flags " +
                        std::to_string(m.fixedPitch ? 5 : 4) + "/FontBBox[";
        for (const double v : m.box) {
            Number(d, v, 0);
            d += ' ';
        }
        d += "]/ItalicAngle ";
        Number(d, m.italicAngle, 2);
        d += "/Ascent ";
        Number(d, m.ascent, 0);
        d += "/Descent ";
        Number(d, m.descent, 0);
        d += "/CapHeight ";
        Number(d, m.capHeight, 0);
        d +=
            std::string("/StemV ") + (f == static_cast<std::size_t>(Face::SansBold) ? "140" : "80");
        w.Object(o + 2, d + "/FontFile2" + ref(o + 3) + ">>");
        w.Stream(o + 3, "/Length1 " + std::to_string(e.programLength), e.program);
        w.Stream(o + 4, "", e.toUnicode);
    }
    return w.Finish(kCatalog, kInfo);
}

}  // namespace morvik::pdf
