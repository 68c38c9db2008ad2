// Feeds bytes as a Settings.ini: reads the language and a coefficient set, writes one key,
// and reads the file again from disk. Checks what must hold for any file: the written key
// reads back as written (one line, Windows-1250, trimmed, cut at the length limit), other
// keys read as before, and the file on disk is what the writer says it wrote.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "compute/Workspace.h"
#include "core/EquationSets.h"
#include "core/IniFile.h"
#include "fuzz_workdir.h"
#include "text/Cp1250.h"

namespace {

using morvik::core::IniFile;
using morvik::fuzz::Check;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The choices (which section, key and value) come from the bytes themselves, so that every
// input stays a plain settings file that can be opened and read as one.
std::uint64_t Hash(std::string_view bytes) {
    std::uint64_t h = 1469598103934665603ULL;
    for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

// Section names as a user's file may spell them: names compare without regard to case.
constexpr std::string_view kSections[] = {"Praha",       "PRAHA",       "lisabon", "Coimbra",
                                          "Univerzální", "UNIVERZÁLNÍ", "Global"};

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// What a value reads back as after WriteString: one line, through the code page, trimmed
// of blanks and cut at the length limit.
std::string Expected(std::string_view value) {
    std::string line(value);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const std::string bytes = morvik::Utf8ToCp1250(line);
    return morvik::Cp1250ToUtf8(TrimBlanks(bytes).substr(0, IniFile::kMaxValueLength));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static const morvik::fuzz::WorkDir dir;
    const std::string path = dir.Put("Settings.ini", input);

    IniFile ini(path);
    Check(ini.Bytes() == input);

    const std::uint64_t h = Hash(input);
    morvik::Workspace ws;
    morvik::core::LoadStartupSet(ws, ini);
    const int set = static_cast<int>(h % 4);
    morvik::core::LoadEquationSet(ws, ini, set);
    const std::string lang = morvik::core::ReadLanguage(ini, "en");

    // Write one key of one section; the value is a slice of the input, so it may hold any
    // bytes, line ends and malformed UTF-8 included.
    const std::string_view section = kSections[(h >> 8) % std::size(kSections)];
    const bool langKey = section == "Global";
    const std::string key =
        langKey ? "Lang" : morvik::core::SgKey(1 + (h >> 16) % 7, 1 + (h >> 24) % 18);
    const std::size_t from = size == 0 ? 0 : (h >> 32) % size;
    const std::string_view value = input.substr(from, (h >> 48) % 80);
    try {
        ini.WriteString(section, key, value);
    } catch (const morvik::core::EIniWriteError&) {
        Check(false);  // the folder is ours and writable
    }

    IniFile again(path);
    Check(again.Bytes() == ini.Bytes());
    Check(ReadFile(path) == ini.Bytes());
    Check(again.ValueExists(section, key));
    Check(again.ReadString(section, key, "\x01") == Expected(value));
    if (!langKey) {
        Check(morvik::core::ReadLanguage(again, "en") == lang);
    } else {
        morvik::Workspace reread;
        morvik::core::LoadEquationSet(reread, again, set);
        for (int r = 0; r < ws.sg.RowCount(); ++r) {
            for (int c = 0; c < ws.sg.ColCount(); ++c)
                Check(reread.sg.Cell(c, r) == ws.sg.Cell(c, r));
        }
    }
    return 0;
}
