#include "Document.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <variant>

#include "Fonts.h"
#include "Syntax.h"

namespace morvik::pdf {
namespace {

// Once per report: worth the fastest.
constexpr int kPageCompression = 1;

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
using Op = std::variant<TextOp, LineOp, RectOp, SpecksOp>;

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
        // The same content has the same identifier.
        const std::string id = Fingerprint(out_);
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

Document::Document() : impl_(std::make_unique<Impl>()) { RequireFonts(); }
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
                // A byte that starts no character is one, as the drawing decodes it.
                const auto length = [&](std::size_t at) {
                    return std::max<std::size_t>(1, Utf8SequenceLength(line, at));
                };
                std::size_t cut = length(0);
                double head = Width(std::string_view(line).substr(0, cut), style);
                for (std::size_t next = cut; next < line.size();) {
                    const std::size_t n = length(next);
                    const double more = Width(std::string_view(line).substr(next, n), style);
                    if (head + more > width) break;
                    head += more;
                    next += n;
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
