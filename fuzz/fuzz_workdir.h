// A private folder for fuzz targets that go through files, removed when the run ends, and
// the abort that tells libFuzzer an invariant broke.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace morvik::fuzz {

inline void Check(bool condition) {
    if (!condition) std::abort();
}

// One folder for the whole run (TMPDIR decides where; a RAM disk makes runs much faster).
class WorkDir {
  public:
    WorkDir() {
        // create_directory says whether the folder is new: no other run shares it.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() /
                                   ("morvik-fuzz-" + std::to_string(random()));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) path_ = candidate;
        }
        Check(!path_.empty());
    }
    ~WorkDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;

    // Writes `bytes` as the file `name` in the folder and returns its path.
    std::string Put(const char* name, std::string_view bytes) const {
        const std::string path = (path_ / name).string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        Check(static_cast<bool>(out));
        return path;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace morvik::fuzz
