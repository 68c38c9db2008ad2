// What differs between POSIX and Windows: file names, replacing a file in one step, where the
// program and the user's settings live, and the user's number separators. Every name crosses
// this interface as UTF-8; one implementation file per system.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace morvik::platform {

// A UTF-8 name as the file system takes it (wide characters on Windows), and back.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// Temporaries of a replacement of `path` are named "<path>.morvik-tmp-<process id>-<random>".
inline constexpr std::string_view kTemporaryMarker = ".morvik-tmp-";

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and puts it in place
// of `path` in one step: a reader, a crash or a kill sees the whole old or the whole new
// file. Temporaries that earlier replacements of `path` left behind (their process is gone)
// are removed first. On failure returns false with the system's reason in `*reason`; the
// old file stays as it was and no temporary is left.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* reason = nullptr);

// The folder of the running executable, empty when the system does not say.
std::string ExecutableFolder();

// Whether this process can create files in `folder`.
bool IsWritableFolder(const std::string& folder);

std::optional<std::string> EnvironmentVariable(const char* name);

// Where per-user configuration lives: $XDG_CONFIG_HOME, else ~/.config; %APPDATA% on
// Windows. Empty when neither is known.
std::string UserConfigFolder();

// Freed heap memory is kept for the next allocations rather than handed back to the system
// (glibc's mmap and trim thresholds raised): for a process that builds and frees one large
// model after another. Does nothing where the allocator has no such setting.
void KeepFreedMemoryForReuse();

// The decimal and thousands separators of the user's regional settings, as UTF-8.
struct NumberSeparators {
    std::string decimal = ".";
    std::string thousand = ",";
};
NumberSeparators UserNumberSeparators();

}  // namespace morvik::platform
