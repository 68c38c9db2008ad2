#include <windows.h>

#include <charconv>
#include <cstdlib>
#include <string>

#include "Platform.h"

namespace morvik::platform {
namespace {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

std::string Reason(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n ? Narrow(std::wstring_view(text, n)) : "error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

bool ProcessIsGone(unsigned long pid) {
    if (pid == ::GetCurrentProcessId()) return true;  // not written by anything running
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool gone = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return gone;
}

void RemoveStaleTemporaries(const std::filesystem::path& target) {
    const std::wstring prefix = target.filename().wstring() + Wide(kTemporaryMarker);
    std::error_code ec;
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(L".");
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::wstring name = it->path().filename().wstring();
        if (!name.starts_with(prefix)) continue;
        const std::string rest = Narrow(std::wstring_view(name).substr(prefix.size()));
        unsigned long pid = 0;
        const auto [ptr, err] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (err != std::errc() || ptr == rest.data() + rest.size() || *ptr != '-') continue;
        if (ProcessIsGone(pid)) ::DeleteFileW(it->path().c_str());
    }
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(Wide(utf8));
}

std::string PathToUtf8(const std::filesystem::path& path) { return Narrow(path.native()); }

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string* reason) {
    const std::filesystem::path target = PathFromUtf8(path);
    RemoveStaleTemporaries(target);
    static unsigned long counter = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring tmp;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        tmp = target.native() + Wide(kTemporaryMarker) + std::to_wstring(::GetCurrentProcessId()) +
              L"-" + std::to_wstring(::GetTickCount64()) + L"." + std::to_wstring(++counter);
        file = ::CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        if (reason) *reason = Reason(::GetLastError());
        return false;
    }
    DWORD error = 0;
    std::size_t done = 0;
    while (error == 0 && done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            error = ::GetLastError();
            if (error == 0) error = ERROR_WRITE_FAULT;
        }
        done += written;
    }
    if (error == 0 && !::FlushFileBuffers(file)) error = ::GetLastError();
    ::CloseHandle(file);
    if (error == 0) {
        // ReplaceFileW keeps the old file's attributes and security; it needs an old file.
        // A folder of that name is never replaced (Wine's emulation would do it).
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
        if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = ERROR_ACCESS_DENIED;
        } else if (!(exists && ::ReplaceFileW(target.c_str(), tmp.c_str(), nullptr,
                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) &&
                   !::MoveFileExW(tmp.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = ::GetLastError();
        }
    }
    if (error != 0) {
        if (reason) *reason = Reason(error);
        ::DeleteFileW(tmp.c_str());
        return false;
    }
    return true;
}

std::string ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
    return PathToUtf8(std::filesystem::path(buffer).parent_path());
}

bool IsWritableFolder(const std::string& folder) {
    if (folder.empty()) return false;
    // Access rights on Windows come from ACLs that no attribute shows: try it.
    const std::wstring probe = PathFromUtf8(folder).native() + L"\\.morvik-write-probe-" +
                               std::to_wstring(::GetCurrentProcessId());
    HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
    const std::wstring wideName = Wide(name);
    const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    const DWORD got = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
    value.resize(got);
    return Narrow(value);
}

std::string UserConfigFolder() {
    if (auto appData = EnvironmentVariable("APPDATA"); appData && !appData->empty())
        return *appData;
    return {};
}

void KeepFreedMemoryForReuse() {}

NumberSeparators UserNumberSeparators() {
    NumberSeparators out;
    wchar_t buffer[16] = {};
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 16) > 1) {
        out.decimal = Narrow(buffer);
    }
    if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 16) > 0) {
        out.thousand = Narrow(buffer);
    }
    return out;
}

}  // namespace morvik::platform
