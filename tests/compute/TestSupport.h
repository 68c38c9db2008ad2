// Small helpers shared by the computation tests.
#pragma once

#include <charconv>
#include <string>

#include "compute/Compute.h"
#include "compute/Workspace.h"

namespace morvik::test {

// Shortest text that reads back as exactly `v`, with a decimal comma as the tables hold it.
inline std::string Num(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

inline void SetLandmark(Workspace& ws, int row, const Point3& p) {
    ws.sgImput.SetCell(2, row, Num(p.x));
    ws.sgImput.SetCell(3, row, Num(p.y));
    ws.sgImput.SetCell(4, row, Num(p.z));
}

inline void SetCloudPoint(TextTable& cloud, int row, const Point3& p) {
    cloud.SetCell(0, row, Num(p.x));
    cloud.SetCell(1, row, Num(p.y));
    cloud.SetCell(2, row, Num(p.z));
}

// Equation column k uses every dimension with coefficient `coefficient`.
inline void UseAllDimensions(Workspace& ws, int k, const std::string& coefficient = "1") {
    for (int r = 1; r <= kDimensionCount; ++r) ws.sg.SetCell(k, r, coefficient);
}

}  // namespace morvik::test
