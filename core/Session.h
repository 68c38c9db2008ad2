// What one user's work with the program holds: the workspace and the settings a workbook's
// cells are shown with. Each window or batch worker owns one; nothing is process-wide.
#pragma once

#include <string>

#include "compute/Workspace.h"

namespace morvik::core {

// How workbook cells turn numbers and dates into text, and how row and column sizes map to
// pixels. The defaults are the reader's own; the window fills them from the user's locale.
struct ReaderSettings {
    std::string decimalSeparator = ".";
    std::string thousandSeparator = ",";
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
    std::string shortDateFormat = "m/d/yyyy";  // a date cell with an empty pattern
    int pixelsPerInch = 96;

    friend bool operator==(const ReaderSettings&, const ReaderSettings&) = default;
};

struct Session {
    Workspace ws;
    ReaderSettings reader;
};

}  // namespace morvik::core
