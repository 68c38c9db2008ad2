// A home folder of the test run's own. Settings, recent files and window geometry are looked
// for under HOME, XDG_CONFIG_HOME and APPDATA; pointed into a fresh folder, no test reads the
// settings of whoever runs it, and none leaves anything in that person's home.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <random>
#else
#include <unistd.h>
#endif

namespace morvik::test {

class TestHome {
  public:
    TestHome() {
        namespace fs = std::filesystem;
#ifdef _WIN32
        // No mkdtemp: a random name, taken only if the folder did not exist before.
        std::random_device rd;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() /
                ("morvik-home-" + std::to_string(rd()) + std::to_string(rd()));
            if (fs::create_directory(candidate)) path_ = candidate;
        }
#else
        std::string pattern = (fs::temp_directory_path() / "morvik-home-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
        if (path_.empty()) throw std::runtime_error("cannot create a home folder for the tests");
        const fs::path config = path_ / ".config";
        fs::create_directories(config);
        Set("HOME", path_);
        Set("XDG_CONFIG_HOME", config);
        Set("APPDATA", config);
    }
    ~TestHome() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    static void Set(const char* name, const std::filesystem::path& value) {
#ifdef _WIN32
        // The wide call sets the process environment too, which GetEnvironmentVariableW reads;
        // it copies the text.
        _wputenv((std::filesystem::path(name).wstring() + L"=" + value.wstring()).c_str());
#else
        ::setenv(name, value.c_str(), 1);
#endif
    }

    std::filesystem::path path_;
};

}  // namespace morvik::test
