// TPS (.tps): blocks of "LM3=n" and n lines "x y z", followed by "ID=", "IMAGE=", "SCALE="...
// Points carry no names. Two-dimensional blocks ("LM=") hold no skull and are refused.
#include <cmath>
#include <initializer_list>

#include "LandmarkFile.h"
#include "TextScan.h"
#include "text/Cp1250.h"

namespace morvik::landmarks {
namespace {

struct KeyValue {
    std::string_view key, value;
};

bool SplitKey(std::string_view line, KeyValue& out) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    out.key = scan::Trim(line.substr(0, eq));
    out.value = scan::Trim(line.substr(eq + 1));
    return true;
}

}  // namespace

LandmarkFile ReadTps(std::string_view bytes, const ReadOptions& options) {
    const std::string text = TextAsUtf8(bytes);
    LandmarkFile file;
    file.format = Format::Tps;
    std::size_t total = 0;
    long long pending = 0;  // point lines still due in the current block
    std::optional<double> scale;
    Specimen* current = nullptr;
    std::string image;
    const auto close = [&]() {
        if (current == nullptr) return;
        if (current->name.empty()) current->name = image;
        if (scale) {
            // SCALE=0.001 and the like divide by the whole number they stand for, which gives
            // exactly the double of the same coordinate written unscaled.
            const double inverse = std::round(1 / *scale);
            const bool divide = *scale < 1 && std::fabs(inverse * *scale - 1) < 1e-12;
            for (Point& p : current->points) {
                for (double* v : {&p.x, &p.y, &p.z}) *v = divide ? *v / inverse : *v * *scale;
            }
        }
        scale.reset();
        image.clear();
    };
    scan::Lines lines(text);
    std::string_view raw;
    long long blockLine = 0;
    while (lines.Next(raw)) {
        const std::string_view line = scan::Trim(raw);
        const long long number = lines.Number();
        if (pending > 0) {
            if (line.empty()) continue;
            const std::vector<std::string_view> tokens = scan::Tokens(line);
            if (tokens.size() != 3)
                throw ELandmarkFileError(number, "a point line is not \"x y z\"");
            Point point;
            point.line = number;
            scan::ReadCoordinates(tokens, 0, number, point);
            if (options.tpsNegativeIsMissing && (point.x < 0 || point.y < 0 || point.z < 0)) {
                point.missing = true;
                file.negativeMeansMissing = true;
            }
            scan::AddPoint(*current, std::move(point), total);
            --pending;
            continue;
        }
        if (line.empty()) continue;
        KeyValue kv;
        if (!SplitKey(line, kv))
            throw ELandmarkFileError(number, "\"" + scan::Shown(line) + "\" is no TPS line");
        if (scan::EqualsNoCase(kv.key, "LM3")) {
            close();
            double n = 0;
            if (!scan::ParseNumber(kv.value, n) || n < 0 || n != std::floor(n) || n > 1e9)
                throw ELandmarkFileError(number, "LM3=" + scan::Shown(kv.value) + " is no count");
            if (file.specimens.size() >= scan::kMaxSpecimens)
                throw ELandmarkFileError(
                    number, "more than " + std::to_string(scan::kMaxSpecimens) + " specimens");
            current = &file.specimens.emplace_back();
            pending = static_cast<long long>(n);
            blockLine = number;
        } else if (scan::EqualsNoCase(kv.key, "LM")) {
            throw ELandmarkFileError(number, "two-dimensional landmarks (LM=): a skull needs LM3=");
        } else if (current == nullptr) {
            throw ELandmarkFileError(number, "\"" + scan::Shown(kv.key) + "=\" before any LM3=");
        } else if (scan::EqualsNoCase(kv.key, "ID")) {
            current->name = std::string(kv.value);
        } else if (scan::EqualsNoCase(kv.key, "IMAGE")) {
            image = std::string(kv.value);
        } else if (scan::EqualsNoCase(kv.key, "SCALE")) {
            double s = 0;
            if (!scan::ParseNumber(kv.value, s) || s <= 0)
                throw ELandmarkFileError(
                    number, "SCALE=" + scan::Shown(kv.value) + " is no positive number");
            scale = s;
        }
        // CURVES=, VARIABLES=, COMMENT= and the like say nothing about the landmarks.
    }
    if (pending > 0)
        throw ELandmarkFileError(blockLine, "the file ends " + std::to_string(pending) +
                                                " point(s) before this block's end");
    close();
    if (file.specimens.empty()) throw ELandmarkFileError(0, "no LM3= block: not a TPS file");
    return file;
}

}  // namespace morvik::landmarks
