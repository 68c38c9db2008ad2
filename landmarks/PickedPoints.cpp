// MeshLab's picked points (.pp): XML, <PickedPoints> holding <point x= y= z= name= active=/>.
#include "LandmarkFile.h"
#include "TextScan.h"
#include "zip/XmlReader.h"

namespace morvik::landmarks {
namespace {

// The bytes with a prolog DOCTYPE blanked out. MeshLab writes "<!DOCTYPE PickedPoints>", which
// the XML reader refuses; a DOCTYPE with an internal subset could declare entities and stays
// refused. Blanks keep every other byte where it was.
std::string WithoutDoctype(std::string text) {
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && std::string_view(" \t\r\n").find(text[at]) != std::string::npos)
            ++at;
        const std::string_view rest = std::string_view(text).substr(at);
        std::size_t end = std::string::npos;
        if (rest.starts_with("<?")) {
            end = text.find("?>", at + 2);
            if (end != std::string::npos) end += 2;
        } else if (rest.starts_with("<!--")) {
            end = text.find("-->", at + 4);
            if (end != std::string::npos) end += 3;
        } else {
            break;
        }
        if (end == std::string::npos) return text;  // the reader says what is wrong
        at = end;
    }
    if (!std::string_view(text).substr(at).starts_with("<!DOCTYPE")) return text;
    char quote = 0;
    for (std::size_t i = at + 9; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            throw ELandmarkFileError(0, "the DOCTYPE declares entities, which are not accepted");
        } else if (c == '>') {
            for (std::size_t k = at; k <= i; ++k)
                if (text[k] != '\n' && text[k] != '\r') text[k] = ' ';
            return text;
        }
    }
    throw ELandmarkFileError(0, "the DOCTYPE is not closed");
}

}  // namespace

LandmarkFile ReadPickedPoints(std::string_view bytes) {
    LandmarkFile file;
    file.format = Format::PickedPoints;
    Specimen& specimen = file.specimens.emplace_back();
    const std::string text = WithoutDoctype(zip::XmlTextAsUtf8(std::string(bytes)));
    std::size_t total = 0;
    try {
        zip::TXmlReader reader(text, {});
        bool root = false;
        for (zip::TXmlReader::TToken token;
             (token = reader.Next()) != zip::TXmlReader::TToken::End;) {
            if (token != zip::TXmlReader::TToken::StartTag) continue;
            if (reader.Depth() == 1) {
                if (reader.Name() != "PickedPoints")
                    throw ELandmarkFileError(0, "the root element is <" +
                                                    scan::Shown(reader.Name()) +
                                                    ">, not <PickedPoints>");
                root = true;
                continue;
            }
            if (reader.Depth() != 2 || reader.Name() != "point") continue;
            const std::string where = "point " + std::to_string(specimen.points.size() + 1);
            Point point;
            point.label = std::string(reader.Attribute(zip::kNoNamespace, "name"));
            bool hasActive = false;
            const std::string_view active =
                scan::Trim(reader.Attribute(zip::kNoNamespace, "active", &hasActive));
            if (hasActive && active != "0" && active != "1")
                throw ELandmarkFileError(
                    0, where + ": active=\"" + scan::Shown(active) + "\" is neither 0 nor 1");
            point.missing = hasActive && active == "0";
            double* const axes[] = {&point.x, &point.y, &point.z};
            const char* const names[] = {"x", "y", "z"};
            for (int a = 0; a < 3; ++a) {
                bool found = false;
                const std::string_view value =
                    scan::Trim(reader.Attribute(zip::kNoNamespace, names[a], &found));
                // An inactive point's coordinates are stale at best: they may be anything.
                if (point.missing) break;
                if (!found) throw ELandmarkFileError(0, where + " has no " + names[a]);
                if (!scan::ParseNumber(value, *axes[a]))
                    throw ELandmarkFileError(0, where + ": " + names[a] + "=\"" +
                                                    scan::Shown(value) + "\" is not a number");
            }
            scan::AddPoint(specimen, std::move(point), total);
        }
        if (!root) throw ELandmarkFileError(0, "no <PickedPoints> element");
    } catch (const zip::EXmlError& e) {
        throw ELandmarkFileError(0, std::string("not well-formed XML: ") + e.what());
    }
    return file;
}

}  // namespace morvik::landmarks
