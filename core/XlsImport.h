// Import of a workbook's first sheet into the landmark and euryon tables.
#pragma once

#include <string>

#include "compute/Workspace.h"

namespace morvik::core {

// Reads C2:E23 into sgImput and the clouds in H:J and M:O into sgImput2 and sgImput3.
// Throws on a file that cannot be read; what was written before stays.
void ImportWorkbook(Workspace& ws, const std::string& path);

}  // namespace morvik::core
