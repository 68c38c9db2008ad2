#include "WorkbookImport.h"

#include <cmath>
#include <vector>

#include "Loaders.h"
#include "text/Error.h"

namespace morvik::core {
namespace {

constexpr int kFirstLandmarkRow = 1;  // C2
constexpr int kLastLandmarkRow = 22;  // E23
constexpr int kFirstLandmarkCol = 2;
constexpr int kLastLandmarkCol = 4;
constexpr int kRightCloudCol = 7;  // H:J
constexpr int kLeftCloudCol = 12;  // M:O
constexpr int kLastSheetRow = 65535;

std::string CellName(int row, int col) {
    std::string name;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        name.insert(name.begin(), char('A' + (c - 1) % 26));
    return name + std::to_string(row + 1);
}

// A cell as the import writes it: a number (in its shortest form of up to 15 significant
// digits with a decimal point; the load's decimal pass makes it a comma), or the text the
// sheet shows.
struct Imported {
    std::string text;
    double number = 0;
    bool isNumber = false;
};

Imported ValueOf(const CellValue& cell, int row, int col) {
    if (cell.kind != CellKind::Number) return {cell.text};
    // Read as 0 before, an infinite or undefined number would move a landmark to the origin.
    if (!std::isfinite(cell.number)) {
        throw Error("The cell " + CellName(row, col) + " holds no finite number.");
    }
    return {{}, cell.number, true};
}

void Write(TextTable& grid, int col, int row, const Imported& value) {
    if (value.isNumber) {
        grid.SetNumber(col, row, value.number);
    } else {
        grid.SetCell(col, row, value.text);
    }
}

// A cloud read in full before it is written, so that a refused cell leaves the grid alone.
std::vector<Imported> ReadCloud(const WorkbookCells& cells, int sheet, int keyCol) {
    std::vector<Imported> values;
    for (int row = 1; row <= kLastSheetRow; ++row) {
        // Only whether the key cell shows anything matters (an empty one ends the cloud); all
        // three are then read by value, which is most of what a cloud costs to import.
        if (!cells.Shown(sheet, row, keyCol)) break;
        for (int k = 0; k < 3; ++k)
            values.push_back(ValueOf(cells.Value(sheet, row, keyCol + k), row, keyCol + k));
    }
    return values;
}

void WriteCloud(TextTable& grid, const std::vector<Imported>& values) {
    const int n = static_cast<int>(values.size() / 3);
    // The grid only keeps what fits its rows, so it grows before the points are written.
    if (grid.RowCount() < n + 1) grid.SetRowCount(n + 1);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) Write(grid, k, i + 1, values[3 * i + k]);
    }
    // A shorter cloud than the last one must not inherit that skull's remaining points; the
    // grid keeps its size, only its rows below the cloud are emptied.
    for (int row = n + 1; row < grid.RowCount(); ++row) {
        for (int k = 0; k < grid.ColCount(); ++k) grid.ClearCell(k, row);
    }
}

}  // namespace

void ImportWorkbookCells(Workspace& ws, const WorkbookCells& cells, int sheet) {
    std::vector<Imported> landmarks;
    for (int r = kFirstLandmarkRow; r <= kLastLandmarkRow; ++r) {
        for (int k = kFirstLandmarkCol; k <= kLastLandmarkCol; ++k)
            landmarks.push_back(ValueOf(cells.Value(sheet, r, k), r, k));
    }
    const auto right = ReadCloud(cells, sheet, kRightCloudCol);
    const auto left = ReadCloud(cells, sheet, kLeftCloudCol);

    auto value = landmarks.begin();
    for (int r = kFirstLandmarkRow; r <= kLastLandmarkRow; ++r) {
        for (int k = kFirstLandmarkCol; k <= kLastLandmarkCol; ++k)
            Write(ws.sgImput, k, r, *value++);
    }
    WriteCloud(ws.sgImput2, right);
    WriteCloud(ws.sgImput3, left);
}

void ImportWorkbook(Workspace& ws, const std::string& path, const ReaderSettings& settings) {
    const Loader* loader = FindLoader(path);
    if (loader == nullptr || loader->openWorkbook == nullptr) {
        throw Error("The file \"" + path + "\" is not a workbook.");
    }
    const auto cells = loader->openWorkbook(path, settings);
    ImportWorkbookCells(ws, *cells, 0);
}

}  // namespace morvik::core
