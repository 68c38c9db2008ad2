// 3D Slicer markups (.mrk.json): a JSON text whose "markups" array holds one object per
// markup (fiducial list, curve, ...), each with its control points.
#include <algorithm>
#include <cstdint>

#include "LandmarkFile.h"
#include "TextScan.h"
#include "text/Cp1250.h"

namespace morvik::landmarks {
namespace {

// A JSON value, read into a tree: the files are small, and the fields come in any order.
struct Json {
    enum class Kind : std::uint8_t { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<Json> items;  // Array
    // Object fields in file order, names and values side by side: a vector of pairs would
    // need Json complete.
    std::vector<std::string> keys;
    std::vector<Json> fields;
    long long line = 0;

    const Json* Field(std::string_view name) const {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == name) return &fields[i];
        return nullptr;
    }
};

class JsonParser {
  public:
    explicit JsonParser(std::string_view text) : text_(text) {}

    Json Document() {
        Json root = Value(0);
        SkipBlanks();
        if (at_ != text_.size()) Fail("text after the end of the JSON value");
        return root;
    }

  private:
    // Deeper than any markups file nests; a bound keeps the stack safe.
    static constexpr int kMaxDepth = 64;
    // A tree node costs about a hundred bytes: the count bounds the memory of "[0,0,0,...".
    static constexpr std::size_t kMaxValues = 2'000'000;
    std::size_t values_ = 0;

    [[noreturn]] void Fail(const std::string& what) const { throw ELandmarkFileError(line_, what); }

    void SkipBlanks() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
            } else if (c == '\r') {
                if (at_ + 1 >= text_.size() || text_[at_ + 1] != '\n') ++line_;
            } else if (c != ' ' && c != '\t') {
                return;
            }
            ++at_;
        }
    }

    Json Value(int depth) {
        if (depth > kMaxDepth) Fail("the JSON nests deeper than " + std::to_string(kMaxDepth));
        if (++values_ > kMaxValues)
            Fail("more than " + std::to_string(kMaxValues) + " JSON values");
        SkipBlanks();
        if (at_ >= text_.size()) Fail("the JSON ends early");
        Json value;
        value.line = line_;
        const char c = text_[at_];
        if (c == '{') {
            value.kind = Json::Kind::Object;
            ++at_;
            SkipBlanks();
            if (Take('}')) return value;
            do {
                SkipBlanks();
                if (at_ >= text_.size() || text_[at_] != '"') Fail("a field name was expected");
                std::string key = String();
                SkipBlanks();
                if (!Take(':')) Fail("':' was expected after \"" + scan::Shown(key) + "\"");
                value.keys.push_back(std::move(key));
                value.fields.push_back(Value(depth + 1));
                SkipBlanks();
            } while (Take(','));
            if (!Take('}')) Fail("',' or '}' was expected");
        } else if (c == '[') {
            value.kind = Json::Kind::Array;
            ++at_;
            SkipBlanks();
            if (Take(']')) return value;
            do {
                value.items.push_back(Value(depth + 1));
                SkipBlanks();
            } while (Take(','));
            if (!Take(']')) Fail("',' or ']' was expected");
        } else if (c == '"') {
            value.kind = Json::Kind::String;
            value.text = String();
        } else if (Word("true")) {
            value.kind = Json::Kind::Bool;
            value.boolean = true;
        } else if (Word("false")) {
            value.kind = Json::Kind::Bool;
        } else if (Word("null")) {
            value.kind = Json::Kind::Null;
        } else {
            value.kind = Json::Kind::Number;
            const std::size_t start = at_;
            while (at_ < text_.size() &&
                   std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
                ++at_;
            if (!scan::ParseNumber(text_.substr(start, at_ - start), value.number))
                Fail("\"" +
                     scan::Shown(text_.substr(start, std::max<std::size_t>(at_ - start, 1))) +
                     "\" is no JSON value");
        }
        return value;
    }

    bool Take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    unsigned Hex4() {
        if (text_.size() - at_ < 4) Fail("a \\u escape is cut short");
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<unsigned>(c - 'A' + 10);
            else
                Fail("a \\u escape holds a character that is no hex digit");
        }
        return value;
    }

    std::string String() {
        ++at_;  // the opening quote
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) Fail("a string is not closed");
            const char c = text_[at_++];
            if (c == '"') return out;
            if (c == '\n' || c == '\r') Fail("a string runs past the end of its line");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) Fail("a string is not closed");
            const char e = text_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    char32_t code = Hex4();
                    if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
                        const std::size_t back = at_;
                        at_ += 2;
                        const unsigned low = Hex4();
                        if (low >= 0xDC00 && low < 0xE000) {
                            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                        } else {
                            at_ = back;  // an unpaired high surrogate; the next escape stands
                        }
                    }
                    AppendUtf8(out, code);  // a lone surrogate becomes U+FFFD
                    break;
                }
                default:
                    Fail(std::string("\"\\") + (static_cast<unsigned char>(e) < 0x20 ? '?' : e) +
                         "\" is no JSON escape");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    long long line_ = 1;
};

std::string TextField(const Json& object, std::string_view name) {
    const Json* field = object.Field(name);
    return field != nullptr && field->kind == Json::Kind::String ? field->text : std::string();
}

}  // namespace

LandmarkFile ReadMarkupsJson(std::string_view bytes) {
    const std::string text = TextAsUtf8(bytes);
    const Json root = JsonParser(text).Document();
    LandmarkFile file;
    file.format = Format::MarkupsJson;
    Specimen& specimen = file.specimens.emplace_back();
    const Json* markups = root.Field("markups");
    if (root.kind != Json::Kind::Object || markups == nullptr || markups->kind != Json::Kind::Array)
        throw ELandmarkFileError(root.line, "no \"markups\" list: not a markups file");
    std::size_t total = 0;
    for (const Json& markup : markups->items) {
        if (markup.kind != Json::Kind::Object)
            throw ELandmarkFileError(markup.line, "a markup is not a JSON object");
        // Each markup states its own frame and unit; one file mixing them would mix skulls.
        std::string system = TextField(markup, "coordinateSystem");
        if (system.empty()) system = "LPS";
        if (system != "LPS" && system != "RAS")
            throw ELandmarkFileError(markup.line,
                                     "unknown coordinate system \"" + scan::Shown(system) + "\"");
        const Json* unitField = markup.Field("coordinateUnits");
        const std::string unit = TextField(markup, "coordinateUnits");
        if (unitField != nullptr && unitField->kind != Json::Kind::String)
            throw ELandmarkFileError(unitField->line, "\"coordinateUnits\" is not a text");
        if (unitField != nullptr && !unit.empty() && !UnitToMillimetres(unit))
            throw ELandmarkFileError(unitField->line, "unknown unit \"" + scan::Shown(unit) + "\"");
        if (!file.coordinateSystem.empty() && file.coordinateSystem != system)
            throw ELandmarkFileError(markup.line, "markups in both the LPS and the RAS system");
        // Without the field the unit is Slicer's millimetre; the file then states none.
        const double factor = UnitToMillimetres(unit).value_or(1);
        if (&markup != &markups->items.front() &&
            factor != UnitToMillimetres(file.unit).value_or(1))
            throw ELandmarkFileError(markup.line, "markups in different units");
        file.coordinateSystem = system;
        if (file.unit.empty()) file.unit = unit;

        const std::string group = TextField(markup, "name");
        const Json* points = markup.Field("controlPoints");
        if (points == nullptr) continue;  // a markup not yet placed
        if (points->kind != Json::Kind::Array)
            throw ELandmarkFileError(points->line, "\"controlPoints\" is not a list");
        for (const Json& cp : points->items) {
            if (cp.kind != Json::Kind::Object)
                throw ELandmarkFileError(cp.line, "a control point is not a JSON object");
            Point point;
            point.label = TextField(cp, "label");
            point.group = group;
            point.line = cp.line;
            const std::string status = TextField(cp, "positionStatus");
            point.missing = status == "undefined" || status == "preview" || status == "missing";
            if (!status.empty() && !point.missing && status != "defined")
                throw ELandmarkFileError(cp.line,
                                         "unknown position status \"" + scan::Shown(status) + "\"");
            const Json* position = cp.Field("position");
            if (position == nullptr) {
                point.missing = true;
            } else if (!point.missing) {
                if (position->kind != Json::Kind::Array || position->items.size() != 3)
                    throw ELandmarkFileError(position->line, "a position is not three numbers");
                for (const Json& n : position->items)
                    if (n.kind != Json::Kind::Number)
                        throw ELandmarkFileError(n.line, "a position is not three numbers");
                point.x = position->items[0].number;
                point.y = position->items[1].number;
                point.z = position->items[2].number;
            }
            scan::AddPoint(specimen, std::move(point), total);
        }
    }
    return file;
}

}  // namespace morvik::landmarks
