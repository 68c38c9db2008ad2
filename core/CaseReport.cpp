#include "CaseReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>

#include "Captions.h"
#include "Commands.h"
#include "Export.h"
#include "Messages.h"
#include "SetModel.h"
#include "compute/Landmarks.h"
#include "core/Version.h"
#include "pdf/Document.h"
#include "text/Decimal.h"
#include "text/Platform.h"
#include "text/Sha256.h"

namespace morvik::core {
namespace {

using pdf::Align;
using pdf::Color;
using pdf::Face;
using pdf::Style;

constexpr double kLeft = 42, kRight = pdf::kPageWidth - 42;
constexpr double kTop = 44, kBottom = pdf::kPageHeight - 46;
constexpr Color kGrey{0.45, 0.45, 0.45}, kRule{0.6, 0.6, 0.6}, kShade{0.93, 0.94, 0.96};
constexpr Color kRed{0.78, 0.1, 0.1}, kRightSide{0.8, 0.2, 0.1}, kLeftSide{0.1, 0.5, 0.15},
    kDistance{0.15, 0.3, 0.85}, kCloud{0.62, 0.62, 0.62};

constexpr double kPictureHeight = 200;

std::string GroupedInteger(std::uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

std::string UtcText(std::int64_t seconds) {
    std::string iso = pdf::IsoUtc(seconds);  // 2026-12-07T22:05:00Z
    return iso.substr(0, 10) + " " + iso.substr(11, 8) + " UTC";
}

// A cell's number as the tables hold it (decimal comma or point); none for empty or other text.
std::optional<double> CellNumber(const TextTable& table, int col, int row) {
    double value = 0;
    if (table.Number(col, row, value)) return value;
    const std::string& text = table.Cell(col, row);
    if (text.empty()) return std::nullopt;
    try {
        value = ParseDecimal(text);
    } catch (const EConvertError&) {
        return std::nullopt;
    }
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// A table cell: its text and how it is printed.
struct Cell {
    std::string text;
    Color color = pdf::kBlack;
    bool bold = false;
};

struct Column {
    std::string title;
    double width;
    Align align = Align::Left;
};

// Writes down the page, starting a new one when the next piece does not fit.
class Writer {
  public:
    explicit Writer(pdf::Document& doc) : doc_(doc) {
        doc_.NewPage();
        y_ = kTop;
    }

    pdf::Document& Doc() { return doc_; }
    double& Y() { return y_; }

    void Need(double height) {
        if (y_ + height <= kBottom) return;
        doc_.NewPage();
        y_ = kTop;
    }

    void Heading(const std::string& text) {
        Need(46);  // a heading never stands alone at a page's foot
        y_ += 10;
        doc_.Text(kLeft, y_ + 10, text, Style{Face::SansBold, 11});
        y_ += 14;
        doc_.Line(kLeft, y_, kRight, y_, 0.6, kRule);
        y_ += 7;
    }

    void Paragraph(const std::string& text, const Style& style = {}, double indent = 0) {
        const double line = style.size * 1.35;
        for (const std::string& part : doc_.Wrap(text, style, kRight - kLeft - indent)) {
            Need(line);
            doc_.Text(kLeft + indent, y_ + style.size, part, style);
            y_ += line;
        }
    }

    // A label and its value, the value wrapped beside it.
    void Field(const std::string& label, const std::string& value, const Style& style = Style{}) {
        constexpr double kLabel = 150;
        const Style labelStyle{Face::Sans, 8.5, kGrey};
        const std::vector<std::string> lines = doc_.Wrap(value, style, kRight - kLeft - kLabel);
        const double line = std::max(style.size, 8.5) * 1.35;
        Need(line);
        doc_.Text(kLeft, y_ + 8.5, label, labelStyle);
        for (const std::string& part : lines) {
            Need(line);
            doc_.Text(kLeft + kLabel, y_ + style.size, part, style);
            y_ += line;
        }
    }

    // Rows shaded alternately; the header is repeated on every page the table runs onto.
    void Table(const std::vector<Column>& columns, const std::vector<std::vector<Cell>>& rows,
               double size = 8) {
        const double row = size * 1.6;
        const auto header = [&] {
            Need(2 * row);
            double x = kLeft;
            for (const Column& c : columns) {
                Put(x, c, Cell{c.title, kGrey, true}, size);
                x += c.width;
            }
            y_ += row;
            doc_.Line(kLeft, y_ - row * 0.22, kLeft + Width(columns), y_ - row * 0.22, 0.4, kRule);
        };
        header();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (y_ + row > kBottom) {
                doc_.NewPage();
                y_ = kTop;
                header();
            }
            if (r % 2 == 1) doc_.Rect(kLeft, y_ - row * 0.2, Width(columns), row, kShade);
            double x = kLeft;
            for (std::size_t c = 0; c < columns.size() && c < rows[r].size(); ++c) {
                Put(x, columns[c], rows[r][c], size);
                x += columns[c].width;
            }
            y_ += row;
        }
        y_ += 4;
    }

  private:
    static double Width(const std::vector<Column>& columns) {
        double w = 0;
        for (const Column& c : columns) w += c.width;
        return w;
    }

    void Put(double x, const Column& column, const Cell& cell, double size) {
        const Style style{cell.bold ? Face::SansBold : Face::Sans, size, cell.color};
        const double pad = 3;
        const double at = column.align == Align::Left    ? x + pad
                          : column.align == Align::Right ? x + column.width - pad
                                                         : x + column.width / 2;
        doc_.Text(at, y_ + size * 0.95, cell.text, style, column.align);
    }

    pdf::Document& doc_;
    double y_ = kTop;
};

// ---- the sections ----

struct Context {
    const Workspace& ws;
    const CaseReportInput& in;
    std::string_view lang;
    bool typed;  // dimensions typed on their page: no landmarks
};

void FileFields(Writer& w, const Context& c, const std::string& label, const std::string& path) {
    w.Field(label, path);
    const std::optional<FileDigest> digest = Sha256OfFile(path);
    if (!digest) {
        w.Field("", Tr(c.lang, "soubor nyní nelze přečíst", "the file cannot be read now"),
                Style{Face::Sans, 9, kRed});
        return;
    }
    w.Field("", GroupedInteger(digest->size) + Tr(c.lang, " bajtů", " bytes"));
    w.Field("", "SHA-256 " + digest->sha256, Style{Face::Sans, 7.5});
}

void Header(Writer& w, const Context& c) {
    pdf::Document& doc = w.Doc();
    doc.Text(kLeft, w.Y() + 14,
             Tr(c.lang, "Protokol o odhadu pohlaví podle lebky",
                "Case report: sex estimation from the skull"),
             Style{Face::SansBold, 15});
    w.Y() += 22;
    doc.Text(kLeft, w.Y() + 9, "MORVIK " + std::string(kVersion), Style{Face::Sans, 9, kGrey});
    w.Y() += 16;

    w.Heading(Tr(c.lang, "1. Původ výsledku", "1. Provenance"));
    w.Field(Tr(c.lang, "Program", "Program"), "MORVIK " + std::string(kVersion));
    w.Field(Tr(c.lang, "Datum a čas výpočtu", "Date and time of computation"), UtcText(c.in.time));
    const CaseSource& s = c.in.source;
    for (std::size_t i = 0; i < s.files.size(); ++i) {
        FileFields(w, c, i == 0 ? Tr(c.lang, "Zdrojový soubor", "Source file") : "", s.files[i]);
    }
    if (!s.sheet.empty()) w.Field(Tr(c.lang, "List", "Sheet"), s.sheet);
    std::vector<std::string> how;
    if (s.pasted) how.push_back(Tr(c.lang, "vloženo ze schránky", "pasted from the clipboard"));
    if (s.typed) how.push_back(Tr(c.lang, "zadáno ručně", "typed by hand"));
    if (c.typed)
        how.push_back(Tr(c.lang, "rozměry zadány na stránce rozměrů",
                         "dimensions typed on the dimensions page"));
    if (!how.empty() || s.files.empty()) {
        std::string text;
        for (const std::string& h : how) text += (text.empty() ? "" : "; ") + h;
        if (text.empty()) text = Tr(c.lang, "neuvedeno", "not known");
        w.Field(s.files.empty() ? Tr(c.lang, "Zdroj dat", "Source of the data")
                                : Tr(c.lang, "Změny po načtení", "Changed after loading"),
                text);
    }
    if (!c.in.settingsPath.empty())
        FileFields(w, c, Tr(c.lang, "Soubor nastavení", "Settings file"), c.in.settingsPath);
    w.Field(Tr(c.lang, "Soubor rovnic", "Equation set"), SetNameIn(c.in.setIndex, c.lang));
    if (const ReferenceModel* m = c.ws.model.get()) {
        w.Field(Tr(c.lang, "Referenční vzorek", "Reference sample"), m->population);
        w.Field(Tr(c.lang, "Zdroj k citaci", "Source to cite"), m->source);
        std::string sample =
            Tr(c.lang, "muži ", "males ") + LocalNumber(m->nMale, 0, c.lang) +
            Tr(c.lang, ", ženy ", ", females ") + LocalNumber(m->nFemale, 0, c.lang) +
            Tr(c.lang, "; apriorní pravděpodobnosti ", "; priors ") +
            LocalNumber(m->priorMale, 3, c.lang) + " / " + LocalNumber(m->priorFemale, 3, c.lang);
        if (m->threshold)
            sample +=
                Tr(c.lang, "; práh aposteriorní pravděpodobnosti ", "; posterior threshold ") +
                LocalNumber(*m->threshold, 3, c.lang);
        w.Field(Tr(c.lang, "Velikost vzorku", "Sample size"), sample);
    }
}

// The euryon points, when their clouds have points.
std::optional<Point3> EuryonOf(const TextTable& cloud) {
    if (CloudIsMissing(cloud)) return std::nullopt;
    try {
        return EuryonPoint(cloud);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string PointText(Point3 p, std::string_view lang) {
    const std::string sep = IsCzech(lang) ? "; " : ", ";
    return "(" + LocalNumber(p.x, 3, lang) + sep + LocalNumber(p.y, 3, lang) + sep +
           LocalNumber(p.z, 3, lang) + ")";
}

std::string MissingWord(std::string_view lang) { return Tr(lang, "chybí", "missing"); }

void LandmarkSection(Writer& w, const Context& c) {
    w.Heading(Tr(c.lang, "2. Antropometrické body", "2. Landmarks"));
    if (c.typed) {
        w.Paragraph(Tr(c.lang,
                       "Výsledek vychází z rozměrů zadaných ručně na stránce rozměrů; souřadnice "
                       "bodů se nepoužily.",
                       "The result rests on dimensions typed on the dimensions page; no landmark "
                       "coordinates were used."));
        return;
    }
    const LandmarkSet missing = MissingLandmarks(c.ws);
    std::vector<std::vector<Cell>> rows;
    for (const LandmarkRow& l : kLandmarks) {
        const bool gone = missing.test(static_cast<std::size_t>(l.row - 1));
        std::vector<Cell> row{{std::to_string(l.row)},
                              {std::string(l.abbreviation), pdf::kBlack, true},
                              {std::string(IsCzech(c.lang) ? l.nameCz : l.nameEn)}};
        for (int col = 2; col <= 4; ++col) {
            const std::string& text = c.ws.sgImput.Cell(col, l.row);
            row.push_back(text.empty() ? Cell{"—", kRed} : Cell{text});
        }
        row.push_back(gone ? Cell{MissingWord(c.lang), kRed, true} : Cell{});
        rows.push_back(std::move(row));
    }
    w.Table({{"#", 20, Align::Right},
             {Tr(c.lang, "Zkratka", "Abbr."), 50},
             {Tr(c.lang, "Název", "Name"), 140},
             {"X", 80, Align::Right},
             {"Y", 80, Align::Right},
             {"Z", 80, Align::Right},
             {"", 50}},
            rows);
    const std::pair<const TextTable*, std::string> clouds[] = {
        {&c.ws.sgImput2, Tr(c.lang, "Mračno euryon dx", "Euryon cloud dx")},
        {&c.ws.sgImput3, Tr(c.lang, "Mračno euryon sin", "Euryon cloud sin")}};
    for (const auto& [cloud, label] : clouds) {
        const int n = CloudPointCount(*cloud);
        const std::optional<Point3> eu = EuryonOf(*cloud);
        std::string text = std::to_string(n) + Tr(c.lang, " bodů", n == 1 ? " point" : " points");
        if (eu)
            text += Tr(c.lang, "; bod euryon ", "; euryon point ") + PointText(*eu, c.lang);
        else
            text += " (" + MissingWord(c.lang) + ")";
        w.Field(label, text, Style{Face::Sans, 9, eu ? pdf::kBlack : kRed});
    }
}

// ---- the picture ----

// Which side a landmark lies on, for its colour: swapped sides show at a glance.
Color SideColor(std::string_view abbreviation) {
    if (abbreviation.ends_with("dx")) return kRightSide;
    if (abbreviation.ends_with("sin")) return kLeftSide;
    return pdf::kBlack;
}

struct Frame {
    Point3 lateral{1, 0, 0}, anterior{0, 1, 0}, up{0, 0, 1};
    bool anatomical = false;  // from the landmarks; otherwise the file's own axes
};

// The skull's own axes from its landmarks: right to left through the bilateral pairs, back to
// front from opisthocranion to glabella, up towards bregma. Views along them show a skull
// the same however the digitizer held it.
Frame SkullFrame(const std::array<std::optional<Point3>, kLandmarkCount + 1>& at,
                 const std::optional<Point3>& euRight, const std::optional<Point3>& euLeft) {
    Frame f;
    Point3 lateral;
    const std::pair<int, int> pairs[] = {{6, 7},   {8, 9},   {10, 11}, {12, 16},
                                         {13, 17}, {14, 18}, {15, 19}};
    for (auto [dx, sin] : pairs)
        if (at[dx] && at[sin]) lateral = lateral + (*at[sin] - *at[dx]);
    if (euRight && euLeft) lateral = lateral + (*euLeft - *euRight);
    const std::optional<Point3> front = at[1] ? at[1] : at[2];
    const std::optional<Point3> back = at[21] ? at[21] : at[22];
    if (Length(lateral) == 0 || !front || !back) return f;
    Point3 l = (1 / Length(lateral)) * lateral;
    Point3 a = *front - *back;
    a = a - Dot(a, l) * l;
    if (Length(a) < 1e-9) return f;
    a = (1 / Length(a)) * a;
    Point3 u = Cross(l, a);
    // Bregma above basion, else nasion above prosthion: the sign of "up" from the skull.
    if (at[20] && at[22]) {
        if (Dot(u, *at[20] - *at[22]) < 0) u = -1 * u;
    } else if (at[2] && at[5]) {
        if (Dot(u, *at[2] - *at[5]) < 0) u = -1 * u;
    }
    f.lateral = l;
    f.anterior = a;
    f.up = u;
    f.anatomical = true;
    return f;
}

void Picture(Writer& w, const Context& c) {
    if (!c.typed) w.Need(kPictureHeight + 90);  // the heading goes with the picture
    w.Heading(Tr(c.lang, "3. Obraz lebky", "3. The skull"));
    if (c.typed) {
        w.Paragraph(Tr(c.lang, "Bez obrazu: rozměry byly zadány ručně, ne odvozeny z bodů.",
                       "No picture: the dimensions were typed by hand, not derived from "
                       "landmarks."));
        return;
    }
    const LandmarkSet missing = MissingLandmarks(c.ws);
    std::array<std::optional<Point3>, kLandmarkCount + 1> at;  // by landmark row
    for (int r = 1; r <= kLandmarkCount; ++r) {
        if (missing.test(static_cast<std::size_t>(r - 1))) continue;
        const auto x = CellNumber(c.ws.sgImput, 2, r), y = CellNumber(c.ws.sgImput, 3, r),
                   z = CellNumber(c.ws.sgImput, 4, r);
        if (x && y && z) at[static_cast<std::size_t>(r)] = Point3{*x, *y, *z};
    }
    const std::optional<Point3> euRight = EuryonOf(c.ws.sgImput2), euLeft = EuryonOf(c.ws.sgImput3);
    // A cloud of many thousand points is thinned to some hundred: the picture shows its
    // extent, and the report stays small and quick to make.
    std::vector<Point3> cloud;
    for (const TextTable* t : {&c.ws.sgImput2, &c.ws.sgImput3}) {
        const int n = CloudPointCount(*t);
        const int step = std::max(1, n / 40);
        for (int r = 1; r <= n; r += step) {
            const auto x = CellNumber(*t, 0, r), y = CellNumber(*t, 1, r), z = CellNumber(*t, 2, r);
            if (x && y && z) cloud.push_back({*x, *y, *z});
        }
    }
    bool any = euRight || euLeft || !cloud.empty();
    for (const auto& p : at) any = any || p.has_value();
    if (!any) {
        w.Paragraph(Tr(c.lang, "Bez obrazu: žádný bod nemá souřadnice.",
                       "No picture: no landmark has coordinates."));
        return;
    }

    const Frame f = SkullFrame(at, euRight, euLeft);
    // Page axes of the three views: right, down.
    struct View {
        std::string title;
        Point3 h, v;
    };
    const View views[3] = {
        {Tr(c.lang, "zepředu", "front"), f.lateral, -1 * f.up},
        {Tr(c.lang, "zleva", "left side"), -1 * f.anterior, -1 * f.up},
        {Tr(c.lang, "shora", "top"), -1 * f.lateral, -1 * f.anterior},
    };
    std::vector<Point3> all = cloud;
    for (const auto& p : at)
        if (p) all.push_back(*p);
    if (euRight) all.push_back(*euRight);
    if (euLeft) all.push_back(*euLeft);

    constexpr double kGap = 10, kBoxH = kPictureHeight;
    const double boxW = (kRight - kLeft - 2 * kGap) / 3;
    const double inner = boxW - 16;
    // One scale for the three views, so that lengths compare between them.
    double span = 1e-9;
    std::array<std::array<double, 4>, 3> bounds{};  // hmin, hmax, vmin, vmax
    for (int i = 0; i < 3; ++i) {
        double h0 = 1e300, h1 = -1e300, v0 = 1e300, v1 = -1e300;
        for (const Point3& p : all) {
            const double h = Dot(p, views[i].h), v = Dot(p, views[i].v);
            h0 = std::min(h0, h), h1 = std::max(h1, h), v0 = std::min(v0, v), v1 = std::max(v1, v);
        }
        bounds[static_cast<std::size_t>(i)] = {h0, h1, v0, v1};
        span = std::max({span, h1 - h0, (v1 - v0) * inner / (kBoxH - 30)});
    }
    const double scale = inner / span;

    w.Need(kBoxH + 60);
    pdf::Document& doc = w.Doc();
    const double top = w.Y();
    for (int i = 0; i < 3; ++i) {
        const View& view = views[i];
        const auto& b = bounds[static_cast<std::size_t>(i)];
        const double x0 = kLeft + i * (boxW + kGap);
        doc.Rect(x0, top, boxW, kBoxH, std::nullopt, kRule, 0.5);
        doc.Text(x0 + 5, top + 11, view.title, Style{Face::SansBold, 8, kGrey});
        // Centred in the box below its title.
        const double cx = x0 + boxW / 2 - scale * (b[0] + b[1]) / 2;
        const double cy = top + 16 + (kBoxH - 16) / 2 - scale * (b[2] + b[3]) / 2;
        const auto px = [&](Point3 p) { return cx + scale * Dot(p, view.h); };
        const auto py = [&](Point3 p) { return cy + scale * Dot(p, view.v); };
        std::vector<std::pair<double, double>> specks;
        for (const Point3& p : cloud) specks.emplace_back(px(p), py(p));
        // From the left, the right side lies behind the left one: its names would print over
        // the left side's.
        const auto named = [&](std::string_view abbreviation) {
            return i != 1 || !abbreviation.ends_with("dx");
        };
        doc.Specks(specks, 0.8, kCloud);
        // The distances' lines, where both ends exist.
        for (const DimensionRow& d : kDimensionRows) {
            std::optional<Point3> a, e;
            if (d.kind == DimensionKind::Distance) {
                a = at[static_cast<std::size_t>(d.landmarks[0])];
                e = at[static_cast<std::size_t>(d.landmarks[1])];
            } else if (d.kind == DimensionKind::Euryon) {
                a = euRight;
                e = euLeft;
            } else {
                continue;
            }
            if (a && e) doc.Line(px(*a), py(*a), px(*e), py(*e), 0.6, kDistance);
        }
        for (const LandmarkRow& l : kLandmarks) {
            const auto& p = at[static_cast<std::size_t>(l.row)];
            if (!p) continue;
            const Color color = SideColor(l.abbreviation);
            doc.Specks({{px(*p), py(*p)}}, 2.8, color);
            if (named(l.abbreviation))
                doc.Text(px(*p) + 2, py(*p) - 1.5, std::string(l.abbreviation),
                         Style{Face::Sans, 4.8, color});
        }
        for (const auto& [eu, name] : {std::pair{euRight, "EUdx"}, std::pair{euLeft, "EUsin"}}) {
            if (!eu) continue;
            const Color color = SideColor(name);
            doc.Specks({{px(*eu), py(*eu)}}, 2.8, color);
            if (named(name))
                doc.Text(px(*eu) + 2, py(*eu) - 1.5, name, Style{Face::Sans, 4.8, color});
        }
        // A scale bar of a round length near a quarter of the box.
        const double mm = std::pow(10.0, std::floor(std::log10(inner / 4 / scale)));
        const double bar = (inner / 4 / scale >= 5 * mm   ? 5
                            : inner / 4 / scale >= 2 * mm ? 2
                                                          : 1) *
                           mm;
        const double by = top + kBoxH - 7;
        doc.Line(x0 + boxW - 8 - bar * scale, by, x0 + boxW - 8, by, 0.8, pdf::kBlack);
        doc.Text(x0 + boxW - 8 - bar * scale / 2, by - 2.5,
                 LocalNumber(bar, bar < 1 ? 1 : 0, c.lang) + " mm", Style{Face::Sans, 5.5},
                 Align::Center);
    }
    w.Y() = top + kBoxH + 5;
    std::string legend = Tr(c.lang,
                            "Černě body střední roviny, červeně pravé (dx), zeleně levé (sin); "
                            "modře úsečky osmi vzdáleností; šedě mračna bodů euryon; zleva "
                            "jsou pojmenovány jen body levé strany. ",
                            "Black: midline landmarks, red: right (dx), green: left (sin); "
                            "blue: the lines of the eight distances; grey: the euryon clouds; "
                            "from the left only the left side's landmarks are named. ");
    legend += f.anatomical
                  ? Tr(c.lang,
                       "Pohledy v osách lebky (zprava doleva párovými body, zezadu dopředu "
                       "OP–G, nahoru k bregmatu).",
                       "Views along the skull's own axes (right to left through the paired "
                       "landmarks, back to front OP–G, up towards bregma).")
                  : Tr(c.lang, "Osy lebky nelze určit: pohledy v osách souboru X, Y, Z.",
                       "The skull's axes cannot be found: views along the file's X, Y, Z.");
    w.Paragraph(legend, Style{Face::Sans, 7.5, kGrey});
    std::string absent;
    for (const LandmarkRow& l : kLandmarks)
        if (!at[static_cast<std::size_t>(l.row)])
            absent += (absent.empty() ? "" : ", ") + std::string(l.abbreviation);
    if (!euRight) absent += (absent.empty() ? "" : ", ") + std::string("EUdx");
    if (!euLeft) absent += (absent.empty() ? "" : ", ") + std::string("EUsin");
    if (!absent.empty())
        w.Paragraph(
            Tr(c.lang, "Chybějící body (nekresleny): ", "Missing landmarks (not drawn): ") + absent,
            Style{Face::SansBold, 8.5, kRed});
}

bool IsCosine(const DimensionRow& d) {
    return d.kind == DimensionKind::PlaneCosine || d.kind == DimensionKind::LineCosine;
}

void DimensionSection(Writer& w, const Context& c) {
    w.Heading(Tr(c.lang, "4. Rozměry", "4. Dimensions"));
    const DimensionSet missing = c.typed ? DimensionSet{} : MissingDimensions(c.ws);
    std::vector<std::vector<Cell>> rows;
    for (int r = 1; r <= kDimensionCount; ++r) {
        const auto d = static_cast<std::size_t>(r - 1);
        const DimensionRow& row = kDimensionRows[d];
        // The dimensions page shows only what an equation of the set reads; the report gives
        // every dimension the landmarks allow, as the window would compute it.
        std::string value = c.ws.sgRozmery.Cell(1, r);
        bool used = false;
        for (int k = 1; k <= kEquationCount; ++k)
            used =
                used || (c.ws.cb[static_cast<std::size_t>(k - 1)] && !c.ws.sg.Cell(k, r).empty());
        if (value.empty() && !c.typed && !missing.test(d)) {
            try {
                value = FormatDecimal(DimensionValue(c.ws, r), row.decimals, false, ',');
            } catch (const std::exception&) {
                value.clear();
            }
        }
        const bool gone = value.empty();
        Cell status;
        if (gone && !used)
            status = {Tr(c.lang, "nezměřen, rovnice jej nepoužívají",
                         "not measured, no equation uses it"),
                      kGrey};
        else if (gone)
            status = {MissingWord(c.lang), kRed, true};
        else if (!used)
            status = {Tr(c.lang, "rovnice jej nepoužívají", "no equation uses it"), kGrey};
        rows.push_back({{std::to_string(r)},
                        {std::string(IsCzech(c.lang) ? row.nameCz : row.nameEn)},
                        gone ? Cell{"—", kRed} : Cell{value},
                        {IsCosine(row) ? "" : "mm"},
                        {IsCosine(row) ? Tr(c.lang, "kosinus", "cosine") : ""},
                        status});
    }
    w.Table({{"#", 20, Align::Right},
             {Tr(c.lang, "Rozměr", "Dimension"), 150},
             {Tr(c.lang, "Hodnota", "Value"), 100, Align::Right},
             {Tr(c.lang, "Jednotka", "Unit"), 50},
             {"", 60},
             {"", 130}},
            rows);
}

std::string VoteWord(char vote, std::string_view lang) {
    switch (vote) {
        case 'M':
            return Tr(lang, "muž", "male");
        case 'F':
            return Tr(lang, "žena", "female");
        case '?':
            return Tr(lang, "neurčitý", "indeterminate");
        default:
            return "—";
    }
}

void EquationSection(Writer& w, const Context& c) {
    w.Heading(Tr(c.lang, "5. Rovnice a výsledek", "5. Equations and verdict"));
    const bool model = c.ws.model != nullptr;
    std::vector<Column> columns{{Tr(c.lang, "Rovnice", "Equation"), 50},
                                {Tr(c.lang, "Použita", "In use"), 45},
                                {Tr(c.lang, "Skóre", "Score"), 70, Align::Right},
                                {Tr(c.lang, "Hlas", "Vote"), 62}};
    if (model) {
        columns.push_back({"P(M)", 48, Align::Right});
        columns.push_back({Tr(c.lang, "P(Ž)", "P(F)"), 48, Align::Right});
        columns.push_back({Tr(c.lang, "Typičnost M", "Typicality M"), 64, Align::Right});
        columns.push_back({Tr(c.lang, "Typičnost Ž", "Typicality F"), 64, Align::Right});
        columns.push_back({Tr(c.lang, "Přepočet", "Refit"), 58});
    }
    std::vector<std::vector<Cell>> rows;
    std::vector<std::string> notes;
    for (int k = 1; k <= kEquationCount; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        const std::string number(kEquationNumbers[i]);
        const bool used = c.ws.cb[i];
        const char vote = VoteOfLabel(c.ws.result[i].text);
        const Color ink = used ? pdf::kBlack : kGrey;
        std::vector<Cell> row{{number, ink, true},
                              {used ? Tr(c.lang, "ano", "yes") : Tr(c.lang, "ne", "no"), ink},
                              {used ? c.ws.result[i].text : "", ink},
                              {used ? VoteWord(vote, c.lang) : "", vote == '?' ? kRed : ink}};
        if (const EquationEvidence* e = used ? EvidenceOf(c.ws, k) : nullptr) {
            row.push_back({LocalPercent(e->posteriorMale, c.lang)});
            row.push_back({LocalPercent(1 - e->posteriorMale, c.lang)});
            row.push_back({LocalNumber(e->typicalityMale, 3, c.lang)});
            row.push_back({LocalNumber(e->typicalityFemale, 3, c.lang)});
            row.push_back({e->refit ? Tr(c.lang, "ano *", "yes *") : ""});
            if (e->refit)
                notes.push_back(Tr(c.lang, "Rovnice ", "Equation ") + number +
                                Tr(c.lang, "* přepočtena bez chybějících rozměrů (",
                                   "* refitted without the missing dimensions (") +
                                DimensionNamesIn(e->lost, c.lang) +
                                Tr(c.lang, "); očekávaná správnost ", "); expected accuracy ") +
                                LocalPercent(e->accuracyRefit, c.lang) +
                                Tr(c.lang, " místo ", " instead of ") +
                                LocalPercent(e->accuracyFull, c.lang) +
                                Tr(c.lang, " celé rovnice.", " of the full equation."));
        }
        rows.push_back(std::move(row));
    }
    w.Table(columns, rows);
    if (model && c.ws.model->threshold)
        notes.push_back(Tr(c.lang, "Hlas s aposteriorní pravděpodobností pod prahem ",
                           "A vote whose posterior probability is below the threshold ") +
                        LocalPercent(*c.ws.model->threshold, c.lang) +
                        Tr(c.lang, " je neurčitý (skóre v závorkách) a nepočítá se.",
                           " is indeterminate (score in brackets) and not counted."));
    for (const std::string& n : notes) w.Paragraph(n, Style{Face::Sans, 8});

    w.Need(40);
    w.Y() += 6;
    const double boxTop = w.Y();
    w.Doc().Rect(kLeft, boxTop, kRight - kLeft, 30, kShade, kRule, 0.5);
    w.Doc().Text(kLeft + 8, boxTop + 19, Tr(c.lang, "Výsledek: ", "Verdict: ") + c.ws.Label1.text,
                 Style{Face::SansBold, 13});
    w.Doc().Text(kRight - 8, boxTop + 19, VoteSummary(c.ws), Style{Face::Sans, 9.5}, Align::Right);
    w.Y() = boxTop + 36;

    std::vector<std::string> warnings = EvidenceWarnings(c.ws, c.lang);
    for (std::string& g : GapsSentences(c.in.gaps, c.lang)) warnings.push_back(std::move(g));
    w.Paragraph(Tr(c.lang, "Upozornění", "Warnings"), Style{Face::SansBold, 9});
    if (warnings.empty()) w.Paragraph(Tr(c.lang, "Žádná.", "None."), Style{Face::Sans, 8.5});
    for (const std::string& text : warnings)
        w.Paragraph("• " + text, Style{Face::Sans, 8.5, kRed}, 6);
}

void CoefficientSection(Writer& w, const Context& c) {
    w.Heading(Tr(c.lang, "6. Koeficienty souboru, jak byly použity",
                 "6. The set's coefficients as used"));
    w.Paragraph(Tr(c.lang,
                   "Skóre rovnice = součet součinů koeficientu a rozměru + konstanta; kladné "
                   "skóre hlasuje pro muže, záporné pro ženu. Prázdná buňka: rovnice rozměr "
                   "nepoužívá.",
                   "An equation's score = the sum of coefficient × dimension + the constant; a "
                   "positive score votes male, a negative one female. An empty cell: the "
                   "equation does not use the dimension."),
                Style{Face::Sans, 8});
    w.Y() += 3;
    std::vector<Column> columns{{Tr(c.lang, "Rozměr", "Dimension"), 120}};
    const double width = (kRight - kLeft - 120) / kEquationCount;
    for (int k = 1; k <= kEquationCount; ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        columns.push_back({std::string(kEquationNumbers[i]) +
                               (c.ws.cb[i] ? "" : Tr(c.lang, " (nepouž.)", " (unused)")),
                           width, Align::Right});
    }
    std::vector<std::vector<Cell>> rows;
    for (int r = 1; r <= kConstantRow; ++r) {
        std::vector<Cell> row;
        if (r == kConstantRow) {
            row.push_back({Tr(c.lang, "konstanta", "constant"), pdf::kBlack, true});
        } else {
            const DimensionRow& d = kDimensionRows[static_cast<std::size_t>(r - 1)];
            row.push_back({std::string(IsCzech(c.lang) ? d.nameCz : d.nameEn)});
        }
        for (int k = 1; k <= kEquationCount; ++k)
            row.push_back({c.ws.sg.Cell(k, r),
                           c.ws.cb[static_cast<std::size_t>(k - 1)] ? pdf::kBlack : kGrey});
        rows.push_back(std::move(row));
    }
    w.Table(columns, rows, 7.2);

    // A refitted equation scored with other coefficients: they are given too.
    for (int k = 1; k <= kEquationCount; ++k) {
        const EquationEvidence* e =
            c.ws.cb[static_cast<std::size_t>(k - 1)] ? EvidenceOf(c.ws, k) : nullptr;
        if (!e || !e->refit) continue;
        std::string text = Tr(c.lang, "Rovnice ", "Equation ") +
                           std::string(kEquationNumbers[static_cast<std::size_t>(k - 1)]) +
                           Tr(c.lang, "* po přepočtu: ", "* as refitted: ");
        for (int d = 0; d < kDimensionCount; ++d) {
            const double coefficient = e->refitEquation.c[static_cast<std::size_t>(d)];
            if (coefficient == 0) continue;
            const DimensionRow& row = kDimensionRows[static_cast<std::size_t>(d)];
            text += std::string(IsCzech(c.lang) ? row.nameCz : row.nameEn) + " " +
                    LocalNumber(coefficient, 9, c.lang) + "; ";
        }
        text += Tr(c.lang, "konstanta ", "constant ") + LocalNumber(e->refitEquation.k, 9, c.lang) +
                Tr(c.lang, "; skóre ", "; score ") + LocalNumber(e->score, 6, c.lang) + ".";
        w.Paragraph(text, Style{Face::Sans, 8});
    }
}

}  // namespace

std::int64_t ReportTime() {
    if (const std::optional<std::string> epoch =
            platform::EnvironmentVariable("SOURCE_DATE_EPOCH")) {
        if (!epoch->empty() && epoch->size() <= 18 &&
            epoch->find_first_not_of("0123456789") == std::string::npos)
            return std::stoll(*epoch);
    }
    return static_cast<std::int64_t>(std::time(nullptr));
}

namespace {

std::string Report(const Workspace& ws, const CaseReportInput& input);

}  // namespace

namespace {

// The PDF layer's failure told in both languages.
EUserError UserError(const pdf::PdfError& e) {
    using Kind = pdf::PdfError::Kind;
    const Msg id = e.WhatKind() == Kind::FontMissing    ? Msg::ReportFontMissing
                   : e.WhatKind() == Kind::FontUnusable ? Msg::ReportFontUnusable
                   : e.WhatKind() == Kind::Unavailable  ? Msg::ReportUnavailable
                                                        : Msg::ReportNotMade;
    return EUserError(id, {e.Subject()}, e.Detail());
}

}  // namespace

std::string CaseReportPdf(const Workspace& ws, const CaseReportInput& input) {
    RequireCurrentResult(ws);
    try {
        return Report(ws, input);
    } catch (const pdf::PdfError& e) {
        throw UserError(e);
    }
}

void RequireCaseReportFonts() {
    try {
        const pdf::Document fontsFound;
    } catch (const pdf::PdfError& e) {
        throw UserError(e);
    }
}

namespace {

std::string Report(const Workspace& ws, const CaseReportInput& input) {
    const std::string lang = IsCzech(input.lang) ? "cz" : "en";
    const Context c{ws, input, lang, input.gaps.fromMeasurements};
    pdf::Document doc;
    Writer w(doc);
    Header(w, c);
    LandmarkSection(w, c);
    Picture(w, c);
    DimensionSection(w, c);
    EquationSection(w, c);
    CoefficientSection(w, c);

    std::string name =
        input.source.files.empty() ? std::string() : FileNameOf(input.source.files.front());
    const std::string title = Tr(lang, "Protokol o odhadu pohlaví", "Sex estimation case report") +
                              (name.empty() ? std::string() : " – " + name);
    const std::string foot =
        "MORVIK " + std::string(kVersion) + (name.empty() ? std::string() : " · " + name) + " · ";
    return doc.Render({.title = title,
                       .subject = SetNameIn(c.in.setIndex, c.lang),
                       .creator = "MORVIK " + std::string(kVersion),
                       .language = Tr(lang, "cs", "en"),
                       .date = input.time},
                      [&](int n, int count) {
                          return foot + Tr(lang, "strana ", "page ") + std::to_string(n) +
                                 Tr(lang, " z ", " of ") + std::to_string(count);
                      });
}

}  // namespace

void WriteCaseReport(const Workspace& ws, const CaseReportInput& input, const std::string& path) {
    const std::string bytes = CaseReportPdf(ws, input);
    std::string reason;
    if (!platform::ReplaceFileAtomically(path, bytes, &reason))
        throw EUserError(Msg::CannotWriteReport, {path}, reason);
}

std::string_view CaseReportCommandName(std::string_view lang) {
    return IsCzech(lang) ? "Protokol (PDF)…" : "Report (PDF)…";
}

std::string CaseReportFileName(const std::string& reportPath) {
    return WithEnding(reportPath, ".pdf");
}

}  // namespace morvik::core
