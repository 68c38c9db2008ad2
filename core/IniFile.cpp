#include "IniFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "text/Cp1250.h"
#include "text/Platform.h"
#include "text/Utf8.h"

namespace morvik::core {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCp1250(a[i]) != FoldCp1250(b[i])) return false;
    }
    return true;
}

// A value must stay on its own line, or the next read would see different keys.
std::string OneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

std::string ReadWholeFile(const std::string& path, bool* found) {
    std::error_code ec;
    *found = false;
    if (std::filesystem::is_directory(platform::PathFromUtf8(path), ec)) return {};
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) return {};
    *found = true;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// True when every byte above 0x7F belongs to a well-formed UTF-8 sequence and there is at
// least one: plain ASCII reads the same either way.
bool LooksLikeUtf8(std::string_view bytes) {
    const bool multiByte = std::any_of(
        bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return multiByte && IsValidUtf8(bytes);
}

}  // namespace

IniFile::IniFile(std::string path) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(platform::PathFromUtf8(path), ec);
    path_ = ec ? std::move(path) : platform::PathToUtf8(absolute.lexically_normal());
    bytes_ = ReadWholeFile(path_, &found_);
    if (bytes_.starts_with(kUtf8Bom)) {
        utf8_ = true;
        bomLength_ = kUtf8Bom.size();
    } else {
        utf8_ = LooksLikeUtf8(bytes_);
    }
}

std::string IniFile::ToFileText(std::string_view utf8) const {
    return utf8_ ? std::string(utf8) : Utf8ToCp1250(utf8);
}

std::string IniFile::FromFileText(std::string_view bytes) const {
    return utf8_ ? std::string(bytes) : Cp1250ToUtf8(bytes);
}

IniFile::Line IniFile::LineAt(std::size_t pos) const {
    Line line;
    line.begin = pos;
    const std::size_t lf = bytes_.find('\n', pos);
    line.next = lf == std::string::npos ? bytes_.size() : lf + 1;
    line.end = lf == std::string::npos ? bytes_.size() : lf;
    if (line.end > line.begin && bytes_[line.end - 1] == '\r') --line.end;
    return line;
}

IniFile::KeyHit IniFile::FindKey(std::string_view section, std::string_view key,
                                 std::size_t* sectionEnd, bool* sectionFound) const {
    KeyHit hit;
    bool inSection = false;
    *sectionFound = false;
    for (std::size_t pos = bomLength_; pos < bytes_.size();) {
        const Line line = LineAt(pos);
        pos = line.next;
        const std::string_view text =
            Trim(std::string_view(bytes_).substr(line.begin, line.end - line.begin));
        if (!text.empty() && text.front() == '[') {
            if (inSection) break;  // only the first section of a name counts
            std::string_view name = text.substr(1);
            name = Trim(name.substr(0, name.find(']')));
            inSection = SameName(name, section);
            if (inSection) {
                *sectionFound = true;
                *sectionEnd = line.next;
            }
            continue;
        }
        if (!inSection || text.empty()) continue;
        *sectionEnd = line.next;
        if (text.front() == ';') continue;
        const std::size_t eq = text.find('=');
        if (eq == std::string_view::npos || !SameName(Trim(text.substr(0, eq)), key)) continue;
        const std::size_t lineStart = static_cast<std::size_t>(text.data() - bytes_.data());
        std::size_t valueBegin = lineStart + eq + 1;
        std::size_t valueEnd = lineStart + text.size();
        while (valueBegin < valueEnd && IsBlank(bytes_[valueBegin])) ++valueBegin;
        hit = {true, valueBegin, valueEnd};
        return hit;
    }
    return hit;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    std::size_t sectionEnd = 0;
    bool sectionFound = false;
    const KeyHit hit = FindKey(ToFileText(section), ToFileText(key), &sectionEnd, &sectionFound);
    if (!hit.found) return std::string(defaultValue);
    std::string_view value =
        std::string_view(bytes_).substr(hit.valueBegin, hit.valueEnd - hit.valueBegin);
    value = utf8_ ? Utf8Prefix(value, kMaxValueLength) : value.substr(0, kMaxValueLength);
    return FromFileText(value);
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    std::size_t sectionEnd = 0;
    bool sectionFound = false;
    return FindKey(ToFileText(section), ToFileText(key), &sectionEnd, &sectionFound).found;
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    // In the file's own encoding: a UTF-8 file written in Windows-1250 would no longer find
    // its "Univerzální" section and would grow a second one that is never read.
    const std::string sectionBytes = ToFileText(section);
    const std::string keyBytes = ToFileText(key);
    const std::string valueBytes = ToFileText(OneLine(value));
    std::size_t sectionEnd = 0;
    bool sectionFound = false;
    const KeyHit hit = FindKey(sectionBytes, keyBytes, &sectionEnd, &sectionFound);

    if (hit.found) {
        bytes_.replace(hit.valueBegin, hit.valueEnd - hit.valueBegin, valueBytes);
        return;
    }
    const std::size_t at = sectionFound ? sectionEnd : bytes_.size();
    std::string insert;
    // The line before may lack its line end (the file's last line). A lone CR there only
    // needs its LF: another CR would become part of that line's value.
    if (at > 0 && bytes_[at - 1] != '\n') insert += bytes_[at - 1] == '\r' ? "\n" : "\r\n";
    if (!sectionFound) insert += "[" + sectionBytes + "]\r\n";
    insert += keyBytes + "=" + valueBytes + "\r\n";
    bytes_.insert(at, insert);
}

void IniFile::Save() {
    if (!platform::ReplaceFileAtomically(path_, bytes_)) {
        throw EIniWriteError("Unable to write to " + path_);
    }
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::string previous = bytes_;
    SetString(section, key, value);
    try {
        Save();
    } catch (...) {
        bytes_ = std::move(previous);
        throw;
    }
}

}  // namespace morvik::core
