// A small document model for printed reports: A4 pages of text runs, lines, dots and
// rectangles, written as PDF with the DejaVu fonts embedded (subsets), so that the text is
// selectable and searchable and Czech letters print as they are.
//
// Pages are recorded first and written at the end, because every page's foot says how many
// pages there are.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Error.h"

namespace morvik::pdf {

// A4 in PostScript points (1/72 inch); y grows downwards from the top edge.
inline constexpr double kPageWidth = 595.2756;
inline constexpr double kPageHeight = 841.8898;

struct Color {
    double r = 0, g = 0, b = 0;
};
inline constexpr Color kBlack{0, 0, 0};

enum class Face { Sans, SansBold };

struct Style {
    Face face = Face::Sans;
    double size = 9;
    Color color = kBlack;
};

enum class Align { Left, Right, Center };

struct Info {
    std::string title;
    std::string subject;
    std::string creator;
    std::string language;  // "cs", "en": how a screen reader speaks the text; empty: unsaid
    // Seconds since 1970 (UTC) for the creation and modification dates; none: now. A fixed
    // date makes the same content give the same bytes.
    std::optional<std::int64_t> date;
};

class Document {
  public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Starts a page; drawing before the first call starts one.
    void NewPage();
    int PageCount() const;

    // The advance width of a run.
    double Width(std::string_view utf8, const Style& style) const;
    // `utf8` broken at spaces into lines no wider than `width` (a word wider than that is
    // broken between characters); "\n" always breaks.
    std::vector<std::string> Wrap(std::string_view utf8, const Style& style, double width) const;

    // One line of text with its baseline at y; x is its left edge, right edge or centre.
    void Text(double x, double y, std::string_view utf8, const Style& style,
              Align align = Align::Left);
    void Line(double x1, double y1, double x2, double y2, double width, Color color,
              bool dashed = false);
    // Many small dots of diameter `size`, as one path: a cloud of points costs a few numbers
    // each instead of a circle's curves.
    void Specks(const std::vector<std::pair<double, double>>& points, double size, Color color);
    void Rect(double x, double y, double w, double h, std::optional<Color> fill,
              std::optional<Color> stroke = std::nullopt, double strokeWidth = 0.5);

    // The PDF. `footer(n, count)` is centred at the foot of page n (1-based), when given.
    std::string Render(const Info& info,
                       const std::function<std::string(int n, int count)>& footer = {}) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// "2026-12-07T22:05:00Z" for a time in seconds since 1970, UTC.
std::string IsoUtc(std::int64_t seconds);

}  // namespace morvik::pdf
