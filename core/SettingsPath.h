// Where the programs look for the settings file when none is named.
#pragma once

#include <string>

namespace morvik::core {

// Settings.ini beside the running executable, as the window keeps it; the executable's own
// folder is read from the system, so the answer does not depend on the working folder.
std::string DefaultSettingsPath();

}  // namespace morvik::core
