// Landmark files as digitizing programs write them: one reader a format, each giving the
// specimens of the file as lists of labelled points, with the coordinate system and the unit
// the file states. Nothing here knows the 22 landmarks: matching labels is the caller's.
//
// Every reader takes the whole file in memory and treats it as hostile: time and memory grow
// with its size only (no count a header states is trusted for an allocation), nesting is
// bounded, and a fault raises ELandmarkFileError with the line it lies on.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/Error.h"

namespace morvik::landmarks {

class ELandmarkFileError : public Error {
  public:
    // `line` from 1; 0 when the fault has no line (a point of an XML file is named instead).
    ELandmarkFileError(long long line, const std::string& reason)
        : Error(line > 0 ? "line " + std::to_string(line) + ": " + reason : reason),
          line_(line),
          reason_(reason) {}
    long long Line() const { return line_; }
    const std::string& Reason() const { return reason_; }

  private:
    long long line_;
    std::string reason_;
};

struct Point {
    std::string label;  // UTF-8, as written; empty when the format has none
    std::string group;  // the markup or point group it belongs to; empty when none
    double x = 0, y = 0, z = 0;
    bool missing = false;  // not placed: its coordinates mean nothing
    long long line = 0;    // where it was read, for messages (0: no line)
};

struct Specimen {
    std::string name;  // as the file names it; may be empty
    std::vector<Point> points;
};

enum class Format { MarkupsJson, Fcsv, PickedPoints, Checkpoint, Pts, Dta, Tps, Morphologika };

struct LandmarkFile {
    Format format = Format::MarkupsJson;
    std::string coordinateSystem;  // "LPS", "RAS"; empty when the format states none
    // The unit as written ("mm", "um", ...); empty when the file states none. Coordinates are
    // as written: converting them is the caller's (see UnitToMillimetres).
    std::string unit;
    bool negativeMeansMissing = false;  // the TPS option applied to at least one point
    std::vector<Specimen> specimens;
};

struct ReadOptions {
    // TPS: a point with a negative coordinate is missing, as some labs record it.
    bool tpsNegativeIsMissing = false;
};

// The factor that takes a stated unit to millimetres: 1 for "mm" (and no unit), 0.001 for
// micrometres ("um", "µm", "micron"), 10 for "cm", 1000 for "m"; none for any other text.
std::optional<double> UnitToMillimetres(std::string_view unit);

// English name of the format, for messages.
std::string_view FormatName(Format format);

// The format of a file name by its extension (".mrk.json", ".fcsv", ".pp", ".ckpt", ".pts",
// ".dta", ".tps"), in any letter case. ".txt" is Morphologika only by content.
std::optional<Format> FormatOfFileName(std::string_view path);

// Whether text bytes are a Morphologika file: its first section line is "[individuals]".
bool IsMorphologika(std::string_view bytes);

LandmarkFile ReadLandmarkFile(Format format, std::string_view bytes,
                              const ReadOptions& options = {});

// The readers themselves.
LandmarkFile ReadMarkupsJson(std::string_view bytes);
LandmarkFile ReadFcsv(std::string_view bytes);
LandmarkFile ReadPickedPoints(std::string_view bytes);
LandmarkFile ReadCheckpoint(std::string_view bytes);
LandmarkFile ReadPts(std::string_view bytes);
LandmarkFile ReadDta(std::string_view bytes);
LandmarkFile ReadTps(std::string_view bytes, const ReadOptions& options);
LandmarkFile ReadMorphologika(std::string_view bytes);

}  // namespace morvik::landmarks
