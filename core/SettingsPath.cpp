#include "SettingsPath.h"

#include <filesystem>

#include "EquationSets.h"

namespace morvik::core {

std::string DefaultSettingsPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path folder = ec ? std::filesystem::path(".") : self.parent_path();
    return (folder / kSettingsFileName).string();
}

}  // namespace morvik::core
