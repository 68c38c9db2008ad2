// Feeds bytes to every landmark file reader, then loads each specimen of the first format
// that reads them into a workspace and calculates. Checks what must hold for any input:
// readers fail only with their own error, every point placed is finite, a refused load
// leaves the landmark table as it was, and what a load writes is a finite number or empty.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compute/Compute.h"
#include "compute/Workspace.h"
#include "core/DataExchange.h"
#include "core/LandmarkFileLoader.h"
#include "core/Messages.h"
#include "fuzz_workdir.h"
#include "landmarks/LandmarkFile.h"
#include "text/Decimal.h"

namespace {

using morvik::fuzz::Check;
namespace lm = morvik::landmarks;

constexpr lm::Format kFormats[] = {
    lm::Format::MarkupsJson, lm::Format::Fcsv, lm::Format::PickedPoints, lm::Format::Checkpoint,
    lm::Format::Pts,         lm::Format::Dta,  lm::Format::Tps,          lm::Format::Morphologika};
constexpr const char* kNames[] = {"f.mrk.json", "f.fcsv", "f.pp",  "f.ckpt",
                                  "f.pts",      "f.dta",  "f.tps", "f.txt"};

void LoadThroughCore(const std::string& path, bool negativeMissing) {
    morvik::core::LandmarkLoadOptions options;
    options.tpsNegativeIsMissing = negativeMissing;
    std::optional<morvik::core::LandmarkFileContents> contents;
    try {
        contents = morvik::core::LandmarkFileContents::Open(path, options);
    } catch (const morvik::core::EUserError&) {
        return;
    }
    const int count = contents->SpecimenCount();
    Check(count >= 1);
    Check(static_cast<int>(contents->SpecimenNames().size()) == count);
    for (int i = 0; i < count && i < 3; ++i) {
        morvik::Workspace ws;
        ws.sgImput.SetCell(2, 1, "sentinel");
        const morvik::Workspace before = ws;
        try {
            const auto report = contents->Load(ws, i);
            (void)morvik::core::LandmarkMappingText(report, "en");
            (void)morvik::core::LandmarkLoadNotes(report, "cz");
        } catch (const morvik::core::EUserError&) {
            for (int r = 0; r < ws.sgImput.RowCount(); ++r)
                for (int c = 0; c < ws.sgImput.ColCount(); ++c)
                    Check(ws.sgImput.Cell(c, r) == before.sgImput.Cell(c, r));
            continue;
        }
        for (int r = 1; r <= morvik::kLandmarkCount; ++r) {
            for (int c = 2; c <= 4; ++c) {
                Check(ws.sgImput.IsEmpty(c, r) ||
                      std::isfinite(morvik::ParseDecimal(ws.sgImput.Cell(c, r))));
            }
        }
        morvik::core::ConvertDecimalPoints(ws);
        try {
            morvik::Calculate(ws);
        } catch (const morvik::EConvertError&) {
            // Coordinates far out of range may overflow a dimension to no number.
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const morvik::fuzz::WorkDir dir;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool negativeMissing = size > 0 && (data[size - 1] & 1);
    bool loaded = false;
    for (std::size_t f = 0; f < std::size(kFormats); ++f) {
        try {
            const lm::LandmarkFile file =
                lm::ReadLandmarkFile(kFormats[f], bytes, {.tpsNegativeIsMissing = negativeMissing});
            for (const lm::Specimen& s : file.specimens)
                for (const lm::Point& p : s.points)
                    Check(p.missing ||
                          (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)));
            if (!loaded) {
                loaded = true;
                LoadThroughCore(dir.Put(kNames[f], bytes), negativeMissing);
            }
        } catch (const lm::ELandmarkFileError&) {
        }
    }
    (void)lm::IsMorphologika(bytes);
    return 0;
}
