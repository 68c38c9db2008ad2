// The system-dependent unit: non-ASCII names, one-step replacement, the program's folder.
#include "text/Platform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace morvik::platform {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& utf8) {
    std::ifstream in(PathFromUtf8(utf8), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Platform, ReplacesFilesWithNonAsciiNamesAndLeavesNoTemporary) {
    std::random_device rd;
    const std::string folder =
        PathToUtf8(fs::temp_directory_path()) + "/morvik-\u010Desk\u00E9-" + std::to_string(rd());
    fs::create_directories(PathFromUtf8(folder));
    const std::string file = folder + "/Nastaven\u00ED \u017Ealud.ini";

    std::string reason;
    ASSERT_TRUE(ReplaceFileAtomically(file, "first", &reason)) << reason;  // no old file
    ASSERT_TRUE(ReplaceFileAtomically(file, "second", &reason)) << reason;
    EXPECT_EQ(Read(file), "second");
    // A temporary left by a process that is gone (no system hands out this id) goes with
    // the next replacement.
    const std::string stale = file + std::string(kTemporaryMarker) + "2147483646-stale";
    { std::ofstream(PathFromUtf8(stale)) << "x"; }
    ASSERT_TRUE(ReplaceFileAtomically(file, "third", &reason)) << reason;

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(PathFromUtf8(folder))) {
        names.push_back(PathToUtf8(entry.path().filename()));
    }
    EXPECT_EQ(names, std::vector<std::string>{"Nastaven\u00ED \u017Ealud.ini"});

    // A folder where the file should be cannot be replaced: false with a reason, no leftover.
    fs::remove(PathFromUtf8(file));
    fs::create_directory(PathFromUtf8(file));
    EXPECT_FALSE(ReplaceFileAtomically(file, "fourth", &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(PathFromUtf8(folder)), fs::directory_iterator()),
              1);
    fs::remove_all(PathFromUtf8(folder));
}

TEST(Platform, KnowsTheProgramsFolderAndTheUsersPlaces) {
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::is_directory(PathFromUtf8(folder)));
    EXPECT_TRUE(IsWritableFolder(PathToUtf8(fs::temp_directory_path())));
    EXPECT_FALSE(IsWritableFolder(folder + "/no-such-folder"));
    const NumberSeparators separators = UserNumberSeparators();
    EXPECT_FALSE(separators.decimal.empty());
}

}  // namespace
}  // namespace morvik::platform
