#include "SettingsPath.h"

#include <filesystem>
#include <system_error>

#include "EquationSets.h"
#include "core/Version.h"
#include "text/Platform.h"

namespace morvik::core {
namespace {

namespace fs = std::filesystem;
using platform::PathFromUtf8;
using platform::PathToUtf8;

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(PathFromUtf8(path), ec);
}

std::string Join(const std::string& folder, std::string_view name) {
    return PathToUtf8(PathFromUtf8(folder) / PathFromUtf8(name));
}

}  // namespace

SettingsChoice ChooseSettingsFile(const SettingsPlaces& places) {
    const std::string beside = places.programFolder.empty()
                                   ? std::string()
                                   : Join(places.programFolder, kSettingsFileName);
    if (IsFile(beside) && platform::IsWritableFolder(places.programFolder)) return {beside, {}};
    // No usable per-user place: the copy beside the program is read, saves will say they fail.
    if (places.userFolder.empty()) return {beside, {}};

    SettingsChoice choice{Join(places.userFolder, kSettingsFileName), {}};
    std::error_code ec;
    if (fs::exists(PathFromUtf8(choice.path), ec)) return choice;

    // A read-only copy beside the program is what this user had; else the shipped file.
    std::vector<std::string> sources;
    if (IsFile(beside)) sources.push_back(beside);
    sources.insert(sources.end(), places.demonstrationFiles.begin(),
                   places.demonstrationFiles.end());
    for (const std::string& source : sources) {
        if (!IsFile(source)) continue;
        fs::create_directories(PathFromUtf8(places.userFolder), ec);
        // copy_options::none refuses an existing target: a file another start created wins.
        if (fs::copy_file(PathFromUtf8(source), PathFromUtf8(choice.path), fs::copy_options::none,
                          ec)) {
            choice.message = "Your settings file " + choice.path +
                             " was created from the demonstration coefficients in " + source +
                             ". They are invented, not for casework: enter your own and save them.";
        } else if (!fs::exists(PathFromUtf8(choice.path))) {
            choice.message =
                "Could not create the settings file " + choice.path + ": " + ec.message() + ".";
        }
        break;
    }
    return choice;
}

SettingsPlaces InstalledSettingsPlaces() {
    SettingsPlaces places;
    places.programFolder = platform::ExecutableFolder();
    if (const std::string config = platform::UserConfigFolder(); !config.empty()) {
        places.userFolder = Join(config, "morvik");
    }
    if (!places.programFolder.empty()) {
        places.demonstrationFiles.push_back(
            PathToUtf8((PathFromUtf8(places.programFolder) / ".." / "share" / "morvik" /
                        PathFromUtf8(kSettingsFileName))
                           .lexically_normal()));
    }
    places.demonstrationFiles.push_back(Join(std::string(kInstallDataDir), kSettingsFileName));
    return places;
}

std::string DefaultSettingsPath() { return ChooseSettingsFile(InstalledSettingsPlaces()).path; }

}  // namespace morvik::core
