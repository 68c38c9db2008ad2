// A worked example on the terminal: one skull measured in millimetres, the Calculate action,
// and what the window would show. The coefficients are made up for the demonstration.
#include <cmath>
#include <cstdio>
#include <string>

#include "compute/Compute.h"
#include "compute/Workspace.h"
#include "text/Decimal.h"

namespace {

using morvik::FormatDecimal;
using morvik::Workspace;

struct Landmark {
    const char* abbreviation;
    double x, y, z;  // x to the left, y forward, z up; origin near the skull's middle
};

constexpr Landmark kSkull[morvik::kLandmarkCount] = {
    {"G", 0.0, 95.2, 45.1},        {"N", 0.2, 93.4, 30.3},        {"RH", 0.1, 104.8, 9.7},
    {"NS", 0.0, 98.1, -15.4},      {"P", 0.3, 97.6, -37.2},       {"APTdx", -12.4, 92.1, -8.0},
    {"APTsin", 12.7, 92.3, -8.2},  {"ZYGdx", -65.1, 55.3, -5.2},  {"ZYGsin", 65.4, 54.1, -4.6},
    {"EKTdx", -30.2, 75.1, -32.0}, {"EKTsin", 30.5, 75.6, -31.4}, {"Ddx", -11.0, 88.0, 22.0},
    {"SORdx", -22.3, 90.1, 40.2},  {"FMOdx", -45.2, 78.3, 32.1},  {"ZORdx", -38.1, 82.4, 10.3},
    {"Dsin", 11.3, 88.2, 21.8},    {"SORsin", 22.5, 89.6, 40.4},  {"FMOsin", 45.5, 77.8, 31.6},
    {"ZORsin", 38.4, 81.7, 9.6},   {"B", 0.4, 15.2, 120.3},       {"OP", 0.1, -90.4, 40.6},
    {"BA", 0.0, 5.3, -15.1},
};

// Invented coefficients, one column per equation, rows 1..17 then the constant.
// An empty text means that the equation does not use the dimension.
constexpr const char* kCoefficients[morvik::kConstantRow][morvik::kEquationCount] = {
    {"0,0712", "", "0,0455", "", "0,0398", "", ""},              // G-OP
    {"", "0,0621", "", "", "0,0287", "", ""},                    // EU-EU
    {"0,0933", "0,0815", "", "0,1102", "0,0514", "", "0,1250"},  // ZYG-ZYG
    {"", "", "0,0874", "", "0,0405", "0,0912", ""},              // N-P
    {"", "", "", "", "", "", ""},                                // RH-NS
    {"0,0254", "", "", "0,0311", "0,0178", "", ""},              // B-BA
    {"", "", "-0,0432", "", "", "", ""},                         // APT-APT
    {"", "", "", "", "0,0215", "0,0806", ""},                    // EKT-EKT
    {"", "", "", "", "", "1,512", ""},                           // Horizontal flexure dx
    {"", "", "", "", "", "1,487", ""},                           // Horizontal flexure sin
    {"", "-2,034", "", "", "", "", ""},                          // Vertical flexure dx
    {"", "-1,962", "", "", "", "", ""},                          // Vertical flexure sin
    {"", "", "3,108", "", "", "", ""},                           // Lateral flexure
    {"", "", "", "", "", "", ""},                                // FMO-D/D-FMO
    {"", "", "", "", "", "", ""},                                // ZOR-D/D-ZOR
    {"", "", "", "0,0923", "", "", ""},                          // Orbital size dx
    {"", "", "", "0,0888", "", "", ""},                          // Orbital size sin
    {"-28,70", "-22,10", "-11,60", "-25,50", "-24,10", "-8,10", "-16,00"},  // constant
};

constexpr const char* kEquationNumbers[morvik::kEquationCount] = {"6", "5", "7", "3",
                                                                  "1", "4", "2"};

std::string Text(double v) { return FormatDecimal(v, 6, false, ','); }

// A patch of skull surface round each euryon: a small spherical cap, sampled evenly.
void FillCloud(morvik::TextTable& cloud, double side) {
    const int rings = 6;
    const int perRing = 12;
    int row = 1;
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < perRing; ++j) {
            const double polar = 0.05 * (i + 1);
            const double azimuth = 2.0 * 3.14159265358979 * j / perRing;
            const double radius = 71.0;
            const double x = side * radius * std::cos(polar);
            const double y = -4.0 + radius * std::sin(polar) * std::cos(azimuth);
            const double z = 58.0 + radius * std::sin(polar) * std::sin(azimuth);
            cloud.SetCell(0, row, Text(x));
            cloud.SetCell(1, row, Text(y));
            cloud.SetCell(2, row, Text(z));
            ++row;
        }
    }
}

int CloudSize(const morvik::TextTable& cloud) {
    int n = 0;
    while (!cloud.Cell(1, n + 1).empty()) ++n;
    return n;
}

const char* ColorName(const morvik::Rgb& c) {
    if (c == morvik::kRed) return "red";
    if (c == morvik::kBlue) return "blue";
    return "black";
}

}  // namespace

int main() {
    Workspace ws;
    ws.lang = "en";
    for (int i = 0; i < morvik::kLandmarkCount; ++i) {
        const Landmark& l = kSkull[i];
        ws.sgImput.SetCell(1, i + 1, l.abbreviation);
        ws.sgImput.SetCell(2, i + 1, Text(l.x));
        ws.sgImput.SetCell(3, i + 1, Text(l.y));
        ws.sgImput.SetCell(4, i + 1, Text(l.z));
    }
    FillCloud(ws.sgImput2, -1.0);
    FillCloud(ws.sgImput3, 1.0);
    for (int k = 1; k <= morvik::kEquationCount; ++k) {
        ws.sg.SetCell(k, 0, kEquationNumbers[k - 1]);
        for (int r = 1; r <= morvik::kConstantRow; ++r)
            ws.sg.SetCell(k, r, kCoefficients[r - 1][k - 1]);
    }

    std::puts("MORVIK worked example (no window)");
    std::puts("NOTE: the equation coefficients below are INVENTED for this demonstration;");
    std::puts(
        "      they are not a published reference sample and mean nothing anthropologically.");
    std::puts("");
    std::puts("Landmarks (mm):");
    for (int r = 1; r <= morvik::kLandmarkCount; ++r)
        std::printf("  %-7s %12s %12s %12s\n", ws.sgImput.Cell(1, r).c_str(),
                    ws.sgImput.Cell(2, r).c_str(), ws.sgImput.Cell(3, r).c_str(),
                    ws.sgImput.Cell(4, r).c_str());
    std::printf("Euryon clouds: %d points right, %d points left\n\n", CloudSize(ws.sgImput2),
                CloudSize(ws.sgImput3));

    try {
        morvik::Calculate(ws);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Calculation failed: %s\n", e.what());
        return 1;
    }

    std::puts("Dimensions:");
    for (int r = 1; r <= morvik::kDimensionCount; ++r) {
        const std::string& shown = ws.sgRozmery.Cell(1, r);
        std::printf("  %-24s %12s\n", std::string(morvik::kDimensionRows[r - 1].nameEn).c_str(),
                    shown.empty() ? "(unused)" : shown.c_str());
    }
    std::puts("");
    std::puts("Scores (equation: score, colour):");
    for (int k = 1; k <= morvik::kEquationCount; ++k) {
        const morvik::LabelState& l = ws.result[k - 1];
        std::printf("  equation %s: %8s  %s\n", kEquationNumbers[k - 1], l.text.c_str(),
                    ColorName(l.color));
    }
    std::printf("\nVerdict: %s (%s)\n", ws.Label1.text.c_str(), ColorName(ws.Label1.color));
    return 0;
}
