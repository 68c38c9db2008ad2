#include "WorkbookImport.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "Loaders.h"
#include "Messages.h"
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
        throw EUserError(Msg::CellNotFinite, {CellName(row, col)});
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

// A cloud read into a new grid of the old one's size, with its header row; more rows if the
// cloud needs them. It replaces the old grid only once every cell was read, so a refused cell
// leaves that alone, and a shorter cloud than the last one inherits none of its points.
TextTable ReadCloud(const WorkbookCells& cells, int sheet, int keyCol, const TextTable& old) {
    // Room for every row the sheet has at once: growing a grid moves its cells.
    const int rows = std::min(cells.RowLimit(sheet), kLastSheetRow + 1);
    TextTable grid(old.ColCount(), std::max(old.RowCount(), rows));
    for (int k = 0; k < old.ColCount(); ++k) grid.SetCell(k, 0, old.Cell(k, 0));
    int points = 0;
    for (int row = 1; row <= kLastSheetRow; ++row) {
        // Only whether the key cell shows anything matters (an empty one ends the cloud); all
        // three are then read by value, which is most of what a cloud costs to import.
        if (!cells.Shown(sheet, row, keyCol)) break;
        if (row >= grid.RowCount()) grid.SetRowCount(std::max(2 * grid.RowCount(), row + 1));
        for (int k = 0; k < 3; ++k)
            Write(grid, k, row, ValueOf(cells.Value(sheet, row, keyCol + k), row, keyCol + k));
        points = row;
    }
    grid.SetRowCount(std::max(old.RowCount(), points + 1));
    return grid;
}

}  // namespace

void ImportWorkbookCells(Workspace& ws, const WorkbookCells& cells, int sheet) {
    std::vector<Imported> landmarks;
    for (int r = kFirstLandmarkRow; r <= kLastLandmarkRow; ++r) {
        for (int k = kFirstLandmarkCol; k <= kLastLandmarkCol; ++k)
            landmarks.push_back(ValueOf(cells.Value(sheet, r, k), r, k));
    }
    TextTable right = ReadCloud(cells, sheet, kRightCloudCol, ws.sgImput2);
    TextTable left = ReadCloud(cells, sheet, kLeftCloudCol, ws.sgImput3);

    auto value = landmarks.begin();
    for (int r = kFirstLandmarkRow; r <= kLastLandmarkRow; ++r) {
        for (int k = kFirstLandmarkCol; k <= kLastLandmarkCol; ++k)
            Write(ws.sgImput, k, r, *value++);
    }
    ws.sgImput2 = std::move(right);
    ws.sgImput3 = std::move(left);
}

bool SheetHoldsLandmarks(const WorkbookCells& cells, int sheet) {
    for (int r = kFirstLandmarkRow; r <= kLastLandmarkRow; ++r) {
        for (int k = kFirstLandmarkCol; k <= kLastLandmarkCol; ++k) {
            // A number's text may be left empty by Value; its kind says it is there.
            const CellValue cell = cells.Value(sheet, r, k);
            if (cell.kind == CellKind::Number || !cell.text.empty()) return true;
        }
    }
    return false;
}

std::vector<int> SheetsWithLandmarks(const WorkbookCells& cells) {
    std::vector<int> sheets;
    for (int sheet = 0; sheet < cells.SheetCount(); ++sheet)
        if (SheetHoldsLandmarks(cells, sheet)) sheets.push_back(sheet);
    return sheets;
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
