// Generated skulls and settings for the tests that compare the batch with the window: random
// landmarks with some cells left empty, euryon clouds, text files and workbooks of several
// sheets, and coefficient sets whose scores fall on both sides of zero.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "TempDir.h"
#include "tests/xls/biff_builder.h"
#include "tests/xls/cfb_builder.h"

namespace morvik::test {

struct SkullSpec {
    // [landmark][axis]; none leaves the cell empty.
    std::array<std::array<std::optional<double>, 3>, 22> landmarks;
    std::vector<std::array<double, 3>> right, left;
};

inline double Uniform(std::mt19937& rng, double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(rng);
}

// Landmarks scattered around a skull-sized box; `emptyShare` of the cells left empty.
inline SkullSpec RandomSkull(std::mt19937& rng, int cloudPoints, double emptyShare) {
    SkullSpec skull;
    for (auto& landmark : skull.landmarks)
        for (auto& value : landmark)
            if (Uniform(rng, 0, 1) >= emptyShare) value = Uniform(rng, -100, 100);
    for (auto* cloud : {&skull.right, &skull.left}) {
        const double side = cloud == &skull.right ? 70 : -70;
        for (int i = 0; i < cloudPoints; ++i)
            cloud->push_back(
                {side + Uniform(rng, -5, 5), Uniform(rng, -40, 40), Uniform(rng, 0, 60)});
    }
    return skull;
}

// TAB separated, CR LF, with the decimal separator given.
inline void WriteSkullText(const std::string& path, const SkullSpec& skull, char separator) {
    std::string text;
    for (const auto& landmark : skull.landmarks) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            if (axis > 0) text += '\t';
            if (!landmark[axis]) continue;
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.4f", *landmark[axis]);
            for (char* c = buffer; *c; ++c)
                if (*c == '.') *c = separator;
            text += buffer;
        }
        text += "\r\n";
    }
    WriteBytes(path, text);
}

// One sheet per skull, named S1, S2...: landmarks in C2:E23, clouds in H:J and M:O.
inline void WriteSkullWorkbook(const std::string& path, const std::vector<SkullSpec>& sheets) {
    xls::testing::BiffBuilder b;
    b.Bof(xls::testing::kBofGlobals).Font("Arial").Xf(0, 0);
    for (std::size_t i = 0; i < sheets.size(); ++i) b.BoundSheet("S" + std::to_string(i + 1));
    b.Eof();
    for (const SkullSpec& skull : sheets) {
        b.Bof(xls::testing::kBofSheet);
        for (int r = 0; r < 22; ++r)
            for (int axis = 0; axis < 3; ++axis)
                if (const auto& v = skull.landmarks[static_cast<std::size_t>(r)]
                                                   [static_cast<std::size_t>(axis)])
                    b.Number(r + 1, 2 + axis, 0, *v);
        for (const auto& [cloud, col] : {std::pair{&skull.right, 7}, std::pair{&skull.left, 12}}) {
            for (std::size_t i = 0; i < cloud->size(); ++i)
                for (int axis = 0; axis < 3; ++axis)
                    b.Number(static_cast<int>(i) + 1, col + axis, 0,
                             (*cloud)[i][static_cast<std::size_t>(axis)]);
        }
        b.Eof();
    }
    xls::testing::WriteFileBytes(path, xls::testing::BuildWorkbookFile(b.Bytes()));
}

// Settings.ini bytes (Windows-1250) with random coefficients in every set: each equation
// reads a few dimensions, one column of the Prague set is left empty, and the constants
// are drawn so that scores fall on either side of zero.
inline std::string RandomSettings(std::mt19937& rng) {
    static const char* const kSections[] = {"Praha", "Lisabon", "Coimbra", "Univerz\xE1ln\xED"};
    std::string ini = "[Global]\r\nLang=cz\r\n";
    for (int set = 0; set < 4; ++set) {
        ini += std::string("[") + kSections[set] + "]\r\n";
        for (int k = 1; k <= 7; ++k) {
            if (set == 0 && k == 3) continue;
            for (int r = 1; r <= 17; ++r) {
                if (Uniform(rng, 0, 1) < 0.6) continue;
                char buffer[64];
                // Cosines are at most 1: their coefficients are larger.
                const double scale = r >= 9 && r <= 15 ? 2.0 : 0.02;
                std::snprintf(buffer, sizeof buffer, "sg_%d_%d=%.4f\r\n", k, r,
                              Uniform(rng, -scale, scale));
                ini += buffer;
            }
            char constant[64];
            std::snprintf(constant, sizeof constant, "sg_%d_18=%.3f\r\n", k, Uniform(rng, -2, 2));
            ini += constant;
        }
    }
    for (char& c : ini)
        if (c == '.') c = ',';
    return ini;
}

}  // namespace morvik::test
