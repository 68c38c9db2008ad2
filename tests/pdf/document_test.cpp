// Line breaking as the report's paragraphs and long paths need it.
#include "pdf/Document.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvik::pdf {
namespace {

TEST(Document, WrapKeepsEveryCharacterAndEachLineWithinTheWidth) {
    if (!std::filesystem::exists("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"))
        GTEST_SKIP() << "DejaVu is missing (fonts-dejavu-core)";
    const Document doc;
    const Style style{Face::Sans, 9};
    const std::string words =
        "Posteriorní pravděpodobnost pod prahem 0,900 dává hlas neurčitý; skóre v závorce "
        "se do hlasování nepočítá.";
    const std::string path = "/srv/sbírka/lebky/" + std::string(120, 'x') + "/č.xls";
    const auto withoutBlanks = [](std::string text) {
        std::erase_if(text, [](char c) { return c == ' ' || c == '\n'; });
        return text;
    };
    for (const double width : {60.0, 150.0, 400.0}) {
        const auto lines = doc.Wrap(words + "\n" + path, style, width);
        std::string joined;
        for (const std::string& line : lines) {
            EXPECT_LE(doc.Width(line, style), width + 1e-9) << line;
            EXPECT_FALSE(line.starts_with(' ') || line.ends_with(' ')) << line;
            joined += line;
        }
        // No character is lost or added; the path, having no blank, breaks anywhere.
        EXPECT_EQ(withoutBlanks(joined), withoutBlanks(words + path)) << width;
        EXPECT_GE(lines.size(), doc.Width(path, style) / width + 1) << width;
    }
    EXPECT_EQ(doc.Wrap("", style, 100), std::vector<std::string>{""});
    EXPECT_DOUBLE_EQ(doc.Width("čá", style), doc.Width("č", style) + doc.Width("á", style));
}

}  // namespace
}  // namespace morvik::pdf
