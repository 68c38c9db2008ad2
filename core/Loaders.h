// The files the program loads, by extension: one entry a format. The window's open dialog,
// the load command and the batch command all read this one table.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "Cells.h"
#include "Session.h"
#include "compute/Workspace.h"

namespace morvik::core {

struct Loader {
    std::string_view extension;    // with its point, lower case
    std::string_view description;  // English name of the format
    // Exactly one of the two is set: a workbook opened into cells, or measurement text
    // loaded straight into the landmark table.
    std::unique_ptr<WorkbookCells> (*openWorkbook)(const std::string& path,
                                                   const ReaderSettings& settings);
    void (*loadText)(Workspace& ws, const std::string& path);
};

std::span<const Loader> Loaders();

// The loader of the file name's extension, in any letter case; nullptr when none.
const Loader* FindLoader(std::string_view path);

// ".xls and .txt": the extensions for messages, in table order.
std::string LoadableExtensionsText();

}  // namespace morvik::core
