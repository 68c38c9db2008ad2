// Which Settings.ini the program uses. A copy beside the executable wins while its folder
// can be written (a portable copy on a stick keeps working); otherwise the per-user file,
// created on first use from the demonstration file the package ships.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Messages.h"

namespace morvik::core {

struct SettingsPlaces {
    std::string programFolder;  // the executable's folder
    std::string userFolder;     // e.g. ~/.config/morvik; empty when unknown
    // Files to copy into a new per-user file, the first that exists is taken.
    std::vector<std::string> demonstrationFiles;
};

struct SettingsChoice {
    std::string path;     // the settings file in use
    std::string message;  // what was done for the user (a file created), in English, or empty
    // The same in words of either language (SettingsChoiceMessage): Msg::SettingsCreated with
    // {path, source}, or Msg::SettingsNotCreated with {path} and the system's errno.
    std::optional<Msg> notice;
    std::vector<std::string> args;
    int systemError = 0;
};

// What was done for the user in a language code ("cz" Czech, else English); empty when
// nothing was.
std::string SettingsChoiceMessage(const SettingsChoice& choice, std::string_view lang);

// Decides, and creates the per-user file when it is chosen and missing. An existing per-user
// file is never overwritten. When no demonstration file exists the per-user file is not
// created (the program then starts with its built-in texts and the first save creates it).
SettingsChoice ChooseSettingsFile(const SettingsPlaces& places);

// The places of this installation: the executable's folder; $XDG_CONFIG_HOME/morvik or
// ~/.config/morvik (%APPDATA%\morvik on Windows); the demonstration file of the installed
// package relative to the executable (../share/morvik/Settings.ini) and under the
// installation prefix the build was configured with.
SettingsPlaces InstalledSettingsPlaces();

// ChooseSettingsFile(InstalledSettingsPlaces()).path: what the window and morvik-batch use
// when no other file is given.
std::string DefaultSettingsPath();

}  // namespace morvik::core
