// The settings file: classic INI text in Windows-1250, changed in memory and saved whole. A
// file an editor wrote in UTF-8 (with or without a byte order mark) is read as UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "text/Error.h"

namespace morvik::core {

// A key that could not be written; the message names the file.
class EIniWriteError : public Error {
  public:
    using Error::Error;
};

// Opening reads the whole file once (a missing or unreadable file reads as empty). Names
// and values cross this interface as UTF-8. Section and key names compare without regard
// to case; every byte the writes do not touch stays as it was.
class IniFile {
  public:
    static constexpr std::size_t kMaxValueLength = 2047;

    explicit IniFile(std::string path);

    const std::string& Path() const { return path_; }
    // The file existed and could be read when it was opened.
    bool Found() const { return found_; }
    // The file is UTF-8: it starts with a byte order mark, or its bytes above 0x7F all form
    // well-made UTF-8 sequences (Windows-1250 text with Czech letters practically never does).
    bool IsUtf8() const { return utf8_; }

    // Leading and trailing blanks of the value are dropped; a longer value is cut at
    // kMaxValueLength characters.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    // Replaces the value of an existing key, or appends the key at the end of its section,
    // or the section at the end of the file; in memory only, until Save.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    // Replaces the file on disk as a whole by the bytes in memory, in one atomic step: an
    // interrupted save leaves the previous file. Throws EIniWriteError
    // "Unable to write to <path>"; the bytes in memory stay as they were set.
    void Save();

    // SetString and Save of one key; on failure the bytes in memory are the previous ones.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // The bytes as they stand after the last successful write.
    const std::string& Bytes() const { return bytes_; }

  private:
    struct Line {
        std::size_t begin = 0;  // first byte of the line
        std::size_t end = 0;    // one past the last byte before the line end
        std::size_t next = 0;   // first byte of the following line
    };
    struct KeyHit {
        bool found = false;
        std::size_t valueBegin = 0, valueEnd = 0;
    };

    KeyHit FindKey(std::string_view section, std::string_view key, std::size_t* sectionEnd,
                   bool* sectionFound) const;
    Line LineAt(std::size_t pos) const;
    // A UTF-8 name or value in the file's own encoding, and back.
    std::string ToFileText(std::string_view utf8) const;
    std::string FromFileText(std::string_view bytes) const;

    std::string path_;
    std::string bytes_;
    bool found_ = false;
    bool utf8_ = false;
    std::size_t bomLength_ = 0;  // lines start after the byte order mark
};

}  // namespace morvik::core
