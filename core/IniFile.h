// The settings file: classic INI text in Windows-1250, one key read or written at a time.
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

    // Leading and trailing blanks of the value are dropped; a longer value is cut at
    // kMaxValueLength characters.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    // Replaces the value of an existing key, or appends the key at the end of its section,
    // or the section at the end of the file. The file on disk is replaced as a whole by a
    // renamed temporary file, so a failed write leaves the previous file intact. Throws
    // EIniWriteError "Unable to write to <path>".
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
    void Commit(std::string newBytes);

    std::string path_;
    std::string bytes_;
};

}  // namespace morvik::core
