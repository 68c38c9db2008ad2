#include "Document.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <array>
#include <cmath>
#include <ctime>
#include <map>
#include <variant>

#include "text/Cp1250.h"

namespace morvik::pdf {
namespace {

// The faces are found once per process through fontconfig and must be DejaVu: another
// family chosen in its place could lack Czech letters or change every width.
struct Faces {
    std::array<cairo_font_face_t*, 3> face{};
    std::string error;
};

cairo_font_face_t* FindFace(const char* family, const char* style, std::string& error) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* found = nullptr;
    if (match == nullptr || FcPatternGetString(match, FC_FAMILY, 0, &found) != FcResultMatch ||
        std::string_view(reinterpret_cast<const char*>(found)) != family) {
        if (match) FcPatternDestroy(match);
        error = std::string("The font \"") + family + " " + style +
                "\" is not installed (Debian package fonts-dejavu-core).";
        return nullptr;
    }
    cairo_font_face_t* face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    return face;
}

const Faces& TheFaces() {
    static const Faces faces = [] {
        Faces f;
        const char* names[3][2] = {
            {"DejaVu Sans", "Book"}, {"DejaVu Sans", "Bold"}, {"DejaVu Sans Mono", "Book"}};
        for (std::size_t i = 0; i < 3 && f.error.empty(); ++i)
            f.face[i] = FindFace(names[i][0], names[i][1], f.error);
        return f;
    }();
    if (!faces.error.empty()) throw PdfError(faces.error);
    return faces;
}

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

void SetColor(cairo_t* cr, Color c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

// cairo refuses malformed UTF-8 for good (the font's error sticks): a path of foreign bytes
// prints with U+FFFD in their place, and control characters as blanks.
std::string Printable(std::string_view utf8) {
    std::string text = Utf16ToUtf8(Utf8ToUtf16(utf8));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return text;
}

std::size_t Utf8Length(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

}  // namespace

struct Document::Impl {
    std::vector<std::vector<Op>> pages;
    // Measuring needs a scaled font per face and size; cairo's own cache is shared by every
    // thread, this one belongs to the report being drawn.
    mutable std::map<std::pair<int, double>, cairo_scaled_font_t*> scaled;

    ~Impl() {
        for (auto& [key, font] : scaled) cairo_scaled_font_destroy(font);
    }

    std::vector<Op>& Page() {
        if (pages.empty()) pages.emplace_back();
        return pages.back();
    }

    cairo_scaled_font_t* Scaled(const Style& style) const {
        const std::pair<int, double> key{static_cast<int>(style.face), style.size};
        if (auto it = scaled.find(key); it != scaled.end()) return it->second;
        cairo_matrix_t size, identity;
        cairo_matrix_init_scale(&size, style.size, style.size);
        cairo_matrix_init_identity(&identity);
        cairo_font_options_t* options = cairo_font_options_create();
        // As the PDF surface measures: outlines, not pixels.
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_scaled_font_t* font = cairo_scaled_font_create(
            TheFaces().face[static_cast<std::size_t>(style.face)], &size, &identity, options);
        cairo_font_options_destroy(options);
        if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
            cairo_scaled_font_destroy(font);
            throw PdfError("The font cannot be loaded.");
        }
        scaled.emplace(key, font);
        return font;
    }
};

Document::Document() : impl_(std::make_unique<Impl>()) { TheFaces(); }
Document::~Document() = default;

void Document::NewPage() { impl_->pages.emplace_back(); }
int Document::PageCount() const { return static_cast<int>(impl_->pages.size()); }

double Document::Width(std::string_view utf8, const Style& style) const {
    if (utf8.empty()) return 0;
    const std::string text = Printable(utf8);
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(impl_->Scaled(style), text.c_str(), &extents);
    return extents.x_advance;
}

std::vector<std::string> Document::Wrap(std::string_view utf8, const Style& style,
                                        double width) const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        const std::size_t end = std::min(utf8.find('\n', start), utf8.size());
        const std::string_view paragraph = utf8.substr(start, end - start);
        std::string line;
        for (std::size_t i = 0; i <= paragraph.size();) {
            const std::size_t j = std::min(paragraph.find(' ', i), paragraph.size());
            const std::string word(paragraph.substr(i, j - i));
            const std::string joined = line.empty() ? word : line + " " + word;
            if (line.empty() || Width(joined, style) <= width) {
                line = joined;
            } else {
                lines.push_back(std::move(line));
                line = word;
            }
            // A word alone wider than the line (a long path) is broken between characters.
            while (line.size() > 1 && Width(line, style) > width) {
                std::size_t cut = Utf8Length(static_cast<unsigned char>(line[0]));
                for (std::size_t next = cut; next < line.size();) {
                    next += Utf8Length(static_cast<unsigned char>(line[next]));
                    if (Width(line.substr(0, next), style) > width) break;
                    cut = next;
                }
                if (cut >= line.size()) break;
                lines.push_back(line.substr(0, cut));
                line.erase(0, cut);
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
    impl_->Page().push_back(TextOp{x, y, Printable(utf8), style});
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
    std::string bytes;
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes, kPageWidth, kPageHeight);
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, info.title.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_SUBJECT, info.subject.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, info.creator.c_str());
    const std::string date = IsoUtc(info.date.value_or(std::time(nullptr)));
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, date.c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_MOD_DATE, date.c_str());

    cairo_t* cr = cairo_create(surface);
    const auto useFont = [&](const Style& style) {
        cairo_set_font_face(cr, TheFaces().face[static_cast<std::size_t>(style.face)]);
        cairo_set_font_size(cr, style.size);
    };
    const std::vector<std::vector<Op>> none(1);
    const auto& pages = impl_->pages.empty() ? none : impl_->pages;
    const int count = static_cast<int>(pages.size());
    for (int n = 1; n <= count; ++n) {
        for (const Op& op : pages[static_cast<std::size_t>(n - 1)]) {
            if (const auto* t = std::get_if<TextOp>(&op)) {
                useFont(t->style);
                SetColor(cr, t->style.color);
                cairo_move_to(cr, t->x, t->y);
                cairo_show_text(cr, t->text.c_str());
            } else if (const auto* l = std::get_if<LineOp>(&op)) {
                SetColor(cr, l->color);
                cairo_set_line_width(cr, l->width);
                const double dash[] = {2.0, 1.5};
                cairo_set_dash(cr, dash, l->dashed ? 2 : 0, 0);
                cairo_move_to(cr, l->x1, l->y1);
                cairo_line_to(cr, l->x2, l->y2);
                cairo_stroke(cr);
            } else if (const auto* d = std::get_if<DotOp>(&op)) {
                SetColor(cr, d->color);
                cairo_new_sub_path(cr);
                cairo_arc(cr, d->x, d->y, d->r, 0, 2 * M_PI);
                cairo_fill(cr);
            } else if (const auto* p = std::get_if<SpecksOp>(&op)) {
                // Zero-length strokes with round caps: a dot in two short path operators.
                SetColor(cr, p->color);
                cairo_set_line_width(cr, p->size);
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                cairo_set_dash(cr, nullptr, 0, 0);
                for (const auto& [x, y] : p->points) {
                    cairo_move_to(cr, x, y);
                    cairo_rel_line_to(cr, 0, 0);
                }
                cairo_stroke(cr);
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            } else if (const auto* r = std::get_if<RectOp>(&op)) {
                cairo_rectangle(cr, r->x, r->y, r->w, r->h);
                if (r->fill) {
                    SetColor(cr, *r->fill);
                    r->stroke ? cairo_fill_preserve(cr) : cairo_fill(cr);
                }
                if (r->stroke) {
                    SetColor(cr, *r->stroke);
                    cairo_set_line_width(cr, r->strokeWidth);
                    cairo_set_dash(cr, nullptr, 0, 0);
                    cairo_stroke(cr);
                }
            }
        }
        if (footer) {
            const Style style{Face::Sans, 8, Color{0.3, 0.3, 0.3}};
            const std::string text = footer(n, count);
            useFont(style);
            SetColor(cr, style.color);
            cairo_move_to(cr, (kPageWidth - Width(text, style)) / 2, kPageHeight - 24);
            cairo_show_text(cr, text.c_str());
        }
        cairo_show_page(cr);
    }
    const cairo_status_t drawn = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t written = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (drawn != CAIRO_STATUS_SUCCESS || written != CAIRO_STATUS_SUCCESS)
        throw PdfError(std::string("The PDF cannot be made: ") +
                       cairo_status_to_string(drawn != CAIRO_STATUS_SUCCESS ? drawn : written));
    return bytes;
}

}  // namespace morvik::pdf
