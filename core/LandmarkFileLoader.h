// Landmark files of digitizing programs (3D Slicer, MeshLab, Checkpoint, Landmark Editor,
// TPS, Morphologika) into the workspace: their points matched to the 22 landmarks and the two
// euryon clouds by label, the unit made millimetres, and what was done told back.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Batch.h"
#include "Loaders.h"
#include "Session.h"
#include "compute/LandmarkNames.h"
#include "compute/Workspace.h"

namespace morvik::core {

struct LandmarkLoadOptions {
    const LandmarkNameTable* names = nullptr;  // a lab's own names, beside the built-in ones
    bool tpsNegativeIsMissing = false;         // TPS: a negative coordinate marks a missing point
};

// What a load did, for the window's message line and the batch's columns.
struct LandmarkLoadReport {
    std::string file;       // the file name
    std::string format;     // English name of the format
    std::string specimen;   // its name in the file; empty when it has none
    int specimenIndex = 0;  // from 0
    int specimenCount = 1;
    std::string coordinateSystem;  // "LPS", "RAS", or empty when the file states none
    std::string unit;              // as written; empty when the file states none
    bool unitAssumed = false;      // no unit stated: millimetres taken
    bool orderAssumed = false;     // default or empty labels taken in the landmark table's order
    bool negativeMissing = false;  // the TPS option marked some points missing
    std::optional<double> glabellaOpisthocranion;  // G–OP in mm, when both are there
    bool unitSuspect = false;                      // G–OP outside 100..300 mm
    struct Mapped {
        std::string label;   // as written ("#n" for a point without one)
        std::string target;  // the window's abbreviation, "EUdx" or "EUsin" for a cloud
        int points = 1;      // points that went to a cloud under this label
        bool missing = false;
    };
    std::vector<Mapped> mapping;         // in file order
    std::vector<std::string> unmatched;  // labels that name nothing, each once, in file order
    int euRightPoints = 0, euLeftPoints = 0;
};

// A landmark file read whole, so that its specimens can be listed and loaded one at a time.
class LandmarkFileContents {
  public:
    // Reads and parses the file. EUserError naming the file (and the line) when it cannot
    // be read; ESystemError when the system refuses.
    static LandmarkFileContents Open(const std::string& path,
                                     const LandmarkLoadOptions& options = {});
    ~LandmarkFileContents();
    LandmarkFileContents(LandmarkFileContents&&) noexcept;
    LandmarkFileContents& operator=(LandmarkFileContents&&) noexcept;

    int SpecimenCount() const;
    // The names the file gives its specimens ("" where it gives none), in file order.
    std::vector<std::string> SpecimenNames() const;
    // Specimen `index` (from 0) into the landmark table and both clouds, replacing what they
    // held. Refused with an EUserError, the workspace untouched, when two points name one
    // landmark or nothing in it names a landmark.
    LandmarkLoadReport Load(Workspace& ws, int index) const;

  private:
    struct Data;
    explicit LandmarkFileContents(std::unique_ptr<Data> data);
    std::unique_ptr<Data> data_;
};

// Whether the load command takes the file for a landmark file: by its extension, or a ".txt"
// that is Morphologika by content (a tab-separated one is not).
bool IsLandmarkFile(const std::string& path);

// The window: the specimens of a file, to ask which one when there are several, and the load
// of one of them.
std::vector<std::string> LandmarkFileSpecimens(const std::string& path,
                                               const LandmarkLoadOptions& options = {});
LandmarkLoadReport LoadLandmarkFile(Workspace& ws, const std::string& path, int specimen = 0,
                                    const LandmarkLoadOptions& options = {});

// "Glabella → G, eu_R → EUdx (12 points), F-3 → N (missing); labels that name no landmark:
// "x1"": which label went where, for the message line, the tooltip and the batch.
std::string LandmarkMappingText(const LandmarkLoadReport& report, std::string_view lang);
// The format, the coordinate system, a unit assumed or converted, an order assumed and a
// probable unit error, as one sentence for the message line.
std::string LandmarkLoadNotes(const LandmarkLoadReport& report, std::string_view lang);

// The loader table's entries: the first specimen of a landmark file; a ".txt" goes to
// Morphologika or to the tab-separated reader by its content.
void LoadFirstLandmarkSpecimen(Workspace& ws, const std::string& path);
void LoadTxtFile(Workspace& ws, const std::string& path);
// Whether a loader table entry is one of the landmark file formats (".txt" is not: it is
// tab-separated text first).
bool IsLandmarkLoader(const Loader& loader);

// The specimens of a file as a list to pick from, each label its own: "#3" for a specimen
// without a name, "name (#3)" for a name given more than once (a skull digitised again).
std::vector<std::string> SpecimenLabels(const std::vector<std::string>& names);

// A lab's own landmark names: a two-column CSV (UTF-8 or Windows-1250, ',' or ';'), label then
// one of the window's abbreviations (or EUdx/EUsin); a first line whose second field names no
// landmark is a header. EUserError naming the line of any other such field.
LandmarkNameTable ReadLandmarkNames(const std::string& path);

}  // namespace morvik::core
