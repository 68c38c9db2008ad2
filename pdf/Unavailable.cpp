// The page model where the fonts cannot be found (the Windows cross-build has no fontconfig):
// every report is refused with a sentence that says why.
#include <ctime>

#include "Document.h"

namespace morvik::pdf {

struct Document::Impl {};

Document::Document() { throw PdfError(PdfError::Kind::Unavailable, {}); }
Document::~Document() = default;
void Document::NewPage() {}
int Document::PageCount() const { return 0; }
double Document::Width(std::string_view, const Style&) const { return 0; }
std::vector<std::string> Document::Wrap(std::string_view, const Style&, double) const { return {}; }
void Document::Text(double, double, std::string_view, const Style&, Align) {}
void Document::Line(double, double, double, double, double, Color, bool) {}
void Document::Specks(const std::vector<std::pair<double, double>>&, double, Color) {}
void Document::Rect(double, double, double, double, std::optional<Color>, std::optional<Color>,
                    double) {}
std::string Document::Render(const Info&, const std::function<std::string(int, int)>&) const {
    return {};
}

}  // namespace morvik::pdf
