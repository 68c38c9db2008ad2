#include <fcntl.h>

#include "Platform.h"
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace morvik::platform {
namespace {

bool ProcessIsGone(long pid) {
    if (pid <= 0) return false;
    if (pid == static_cast<long>(::getpid())) return true;  // not written by anything running
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// The temporaries of an interrupted replacement: their writer was killed before the rename.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
    const std::string prefix = target.filename().string() + std::string(kTemporaryMarker);
    std::error_code ec;
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix)) continue;
        const std::string_view rest = std::string_view(name).substr(prefix.size());
        long pid = 0;
        const auto [ptr, err] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (err != std::errc() || ptr == rest.data() + rest.size() || *ptr != '-') continue;
        if (ProcessIsGone(pid)) ::unlink(it->path().c_str());
    }
}

std::string Reason() { return std::strerror(errno); }

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(utf8); }

std::string PathToUtf8(const std::filesystem::path& path) { return path.string(); }

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* reason) {
    const std::filesystem::path target(path);
    RemoveStaleTemporaries(target);
    std::string tmp = path + std::string(kTemporaryMarker) + std::to_string(::getpid()) + "-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        if (reason) *reason = Reason();
        return false;
    }
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (reason) *reason = Reason();
        ::unlink(tmp.c_str());
        return false;
    }
    // The rename itself reaches the disk only with its folder.
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::string ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

bool IsWritableFolder(const std::string& folder) {
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string UserConfigFolder() {
    // XDG: a relative value is invalid and must be ignored.
    if (auto xdg = EnvironmentVariable("XDG_CONFIG_HOME"); xdg && xdg->starts_with('/')) {
        return *xdg;
    }
    if (auto home = EnvironmentVariable("HOME"); home && !home->empty()) return *home + "/.config";
    return {};
}

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

NumberSeparators UserNumberSeparators() {
    NumberSeparators out;
    const locale_t user = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) return out;
    if (const char* d = ::nl_langinfo_l(RADIXCHAR, user); d && *d) out.decimal = d;
    if (const char* t = ::nl_langinfo_l(THOUSEP, user); t) out.thousand = t;
    ::freelocale(user);
    return out;
}

}  // namespace morvik::platform
