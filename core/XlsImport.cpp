#include "XlsImport.h"

#include "xls/PtgParser.h"
#include "xls/XLSFile.h"

namespace morvik::core {
namespace {

using xls::TCell;
using xls::TCells;
using xls::TVarType;

constexpr int kFirstLandmarkRow = 1;  // C2
constexpr int kLastLandmarkRow = 22;  // E23
constexpr int kFirstLandmarkCol = 2;
constexpr int kLastLandmarkCol = 4;
constexpr int kRightCloudCol = 7;  // H:J
constexpr int kLeftCloudCol = 12;  // M:O
constexpr int kLastSheetRow = 65535;

// A value as the general variant-to-text conversion gives it: numbers in their shortest form
// of up to 15 significant digits with a decimal point (the load's decimal pass makes it a
// comma), texts unchanged. Dates and booleans show as the sheet would show them.
std::string ValueText(const TCell* cell) {
    if (cell == nullptr) return {};
    const auto& v = cell->Value();
    switch (v.Kind()) {
        case TVarType::Empty:
            return {};
        case TVarType::Smallint:
        case TVarType::Integer:
        case TVarType::Byte:
            return std::to_string(static_cast<long long>(v.AsDouble()));
        case TVarType::Single:
        case TVarType::Double:
        case TVarType::Currency:
            return xls::FormatPtgNumber(v.AsDouble(), '.');
        default:
            return cell->DisplayText();
    }
}

// Rows past the sheet's end or absent cells read as no cell; looking never grows the sheet.
const TCell* Find(const TCells& cells, int row, int col) { return cells.Find(row, col); }

bool IsEmpty(const TCell* cell) { return cell == nullptr || cell->DisplayText().empty(); }

void ReadEuryonCloud(const TCells& cells, TextTable& grid, int keyCol) {
    // The cloud's length first: the grid only keeps what fits its rows, so it grows before
    // the points are written.
    int n = 0;
    while (n + 1 <= kLastSheetRow && !IsEmpty(Find(cells, n + 1, keyCol))) ++n;
    if (grid.RowCount() < n + 1) grid.SetRowCount(n + 1);
    for (int row = 1; row <= n; ++row) {
        for (int k = 0; k < 3; ++k) grid.SetCell(k, row, ValueText(Find(cells, row, keyCol + k)));
    }
    // A shorter cloud than the last one must not inherit that skull's remaining points; the
    // grid keeps its size, only its rows below the cloud are emptied.
    for (int row = n + 1; row < grid.RowCount(); ++row) {
        for (int k = 0; k < grid.ColCount(); ++k) grid.ClearCell(k, row);
    }
}

}  // namespace

void ImportWorkbook(Workspace& ws, const std::string& path) {
    xls::TXLSFile file;
    file.LoadFromFile(path);
    // A workbook without sheets fails here with the list's index message.
    const TCells& cells = file.Workbook().Sheets().Items(0).Cells();
    for (int r = kFirstLandmarkRow; r <= kLastLandmarkRow; ++r) {
        for (int k = kFirstLandmarkCol; k <= kLastLandmarkCol; ++k)
            ws.sgImput.SetCell(k, r, ValueText(Find(cells, r, k)));
    }
    ReadEuryonCloud(cells, ws.sgImput2, kRightCloudCol);
    ReadEuryonCloud(cells, ws.sgImput3, kLeftCloudCol);
}

}  // namespace morvik::core
