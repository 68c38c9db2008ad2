#include "SettingsPath.h"

#include <cerrno>
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
    SettingsChoice choice;
    choice.path = beside;
    if (IsFile(beside) && platform::IsWritableFolder(places.programFolder)) return choice;
    // No usable per-user place: the copy beside the program is read, saves will say they fail.
    if (places.userFolder.empty()) return choice;

    choice.path = Join(places.userFolder, kSettingsFileName);
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
            choice.notice = Msg::SettingsCreated;
            choice.args = {choice.path, source};
        } else if (!fs::exists(PathFromUtf8(choice.path))) {
            choice.notice = Msg::SettingsNotCreated;
            choice.args = {choice.path};
            // The errno behind the system's code, where there is one, for the reason in Czech.
            const std::error_condition reason = ec.default_error_condition();
            choice.systemError =
                reason.category() == std::generic_category() ? reason.value() : EIO;
        }
        choice.message = SettingsChoiceMessage(choice, "en");
        break;
    }
    return choice;
}

std::string SettingsChoiceMessage(const SettingsChoice& choice, std::string_view lang) {
    if (!choice.notice) return {};
    std::vector<std::string> args = choice.args;
    if (*choice.notice == Msg::SettingsNotCreated)
        args.push_back(SystemReason(choice.systemError, lang));
    return MessageText(*choice.notice, lang, args);
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
