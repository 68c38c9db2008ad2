// SHA-256 (FIPS 180-4), for the digests a case report gives of the files it rests on: the
// libraries we link carry none, and a report must not need OpenSSL.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvik {

class Sha256 {
  public:
    // `hardware`: use the processor's SHA instructions where it has them (several times
    // faster); false keeps to the portable code, so that both can be checked.
    explicit Sha256(bool hardware = true);
    void Update(std::string_view bytes);
    // The digest of everything given; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();

  private:
    void Blocks(const unsigned char* p, std::size_t count);

    std::array<std::uint32_t, 8> h_;
    std::array<unsigned char, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // bytes
    bool hardware_ = false;
};

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

// The digest of a file's bytes (read in blocks) and its size; nullopt when it cannot be read.
struct FileDigest {
    std::uint64_t size = 0;
    std::string sha256;  // hexadecimal
};
std::optional<FileDigest> Sha256OfFile(const std::string& utf8Path);

}  // namespace morvik
