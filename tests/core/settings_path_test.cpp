// Which settings file the programs use, and the per-user copy made on first start.
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "core/SettingsPath.h"
#include "text/Platform.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(SettingsPath, BesideTheProgramElseThePerUserFileMadeOnce) {
    struct Case {
        const char* name;
        bool beside;            // a Settings.ini beside the program
        bool readOnlyFolder;    // the program's folder cannot be written
        bool demonstration;     // the shipped demonstration file exists
        const char* user;       // the per-user file before, nullptr for none
        const char* used;       // "beside" or "user"
        const char* userAfter;  // the per-user file after, nullptr for none
    };
    const Case cases[] = {
        {"portable copy is used", true, false, true, nullptr, "beside", nullptr},
        {"first start copies the demonstration", false, false, true, nullptr, "user", "demo"},
        {"an existing user file is kept", false, false, true, "mine", "user", "mine"},
        {"a user file is used before the demonstration", true, true, true, "mine", "user", "mine"},
        {"read-only copy beside is the starting point", true, true, true, nullptr, "user",
         "beside"},
        {"nothing to copy creates nothing", false, false, false, nullptr, "user", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto program = dir.Path() / "bin";
        const auto user = dir.Path() / "config" / "morvik";
        std::filesystem::create_directories(program);
        if (c.beside) WriteBytes((program / "Settings.ini").string(), "beside");
        if (c.demonstration) WriteBytes(dir.File("demo.ini"), "demo");
        if (c.user) {
            std::filesystem::create_directories(user);
            WriteBytes((user / "Settings.ini").string(), c.user);
        }
        if (c.readOnlyFolder) {
            std::filesystem::permissions(program, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
            if (platform::IsWritableFolder(program.string())) {
                std::filesystem::permissions(program, std::filesystem::perms::owner_all);
                continue;  // root writes anywhere: these cases run for other users only
            }
        }
        const SettingsPlaces places{
            program.string(), user.string(), {dir.File("missing.ini"), dir.File("demo.ini")}};
        const SettingsChoice choice = ChooseSettingsFile(places);
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);

        const std::string userFile = (user / "Settings.ini").string();
        EXPECT_EQ(choice.path,
                  std::string(c.used) == "beside" ? (program / "Settings.ini").string() : userFile);
        if (c.userAfter) {
            EXPECT_EQ(ReadBytes(userFile), c.userAfter);
        } else {
            EXPECT_FALSE(std::filesystem::exists(userFile));
        }
        const bool created = c.userAfter && !c.user;
        EXPECT_EQ(choice.message.empty(), !created) << choice.message;
        if (created) {
            EXPECT_NE(choice.message.find(userFile), std::string::npos);
        }
    }
}

// The first-start notice in the interface language, the system's reason included.
TEST(SettingsPath, TheFirstStartNoticeInBothLanguages) {
    TempDir dir;
    WriteBytes(dir.File("demo.ini"), "demo");
    WriteBytes(dir.File("file"), "x");
    const std::string made = (dir.Path() / "user" / "Settings.ini").string();
    const SettingsChoice created =
        ChooseSettingsFile({dir.File("bin"), dir.File("user"), {dir.File("demo.ini")}});
    EXPECT_EQ(SettingsChoiceMessage(created, "cz"),
              "Váš soubor nastavení " + made + " byl vytvořen z ukázkových koeficientů v " +
                  dir.File("demo.ini") +
                  ". Jsou smyšlené, ne pro skutečné případy: zadejte vlastní a uložte je.");
    EXPECT_EQ(SettingsChoiceMessage(created, "en"), created.message);

    // A per-user folder under a file cannot be made.
    const std::string blocked = (dir.Path() / "file" / "morvik" / "Settings.ini").string();
    const SettingsChoice failed = ChooseSettingsFile(
        {dir.File("bin"), (dir.Path() / "file" / "morvik").string(), {dir.File("demo.ini")}});
    EXPECT_EQ(SettingsChoiceMessage(failed, "cz"),
              "Soubor nastavení " + blocked + " nelze vytvořit: Část cesty není složka.");
    EXPECT_EQ(failed.message,
              "Could not create the settings file " + blocked + ": Not a directory.");
    EXPECT_EQ(SettingsChoiceMessage(ChooseSettingsFile({dir.File("bin"), "", {}}), "cz"), "");
}

TEST(SettingsPath, NoUserFolderFallsBackToTheProgramsFolder) {
    const SettingsChoice choice = ChooseSettingsFile({"/nonexistent/bin", "", {}});
    EXPECT_EQ(choice.path, (std::filesystem::path("/nonexistent/bin") / "Settings.ini").string());
}

}  // namespace
}  // namespace morvik::core
