// The compound file's volume, shared by the files of the compound-file layer: the header, the
// allocation tables and their chains, the directory entries, and sector reads. Not for use
// outside xls/CFile*.cpp and xls/Cfb*.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "CFile.h"

namespace morvik::xls::cfb {

// Sector numbers with a meaning of their own; every regular sector number is at most kMaxRegSect.
inline constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

inline constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                           0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::size_t kHeaderFields = 512;
inline constexpr std::size_t kHeaderDifatEntries = 109;
inline constexpr std::uint32_t kMiniSectorShift = 6;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;
inline constexpr std::size_t kDirEntrySize = 128;

inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;

[[noreturn]] inline void Refuse(std::uint8_t code = kCFileCannotOpenDocfile) {
    throw ECFileError(code);
}

// Where the bytes come from: a file read through a small block cache, or a buffer.
class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    // Copies up to `n` bytes from `offset`; fewer at the end of the data.
    virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
};

std::unique_ptr<Source> MemorySource(std::span<const std::uint8_t> bytes);
std::unique_ptr<Source> FileSource(std::ifstream in, std::uint64_t size);

struct DirEntry {
    std::string name;
    std::uint8_t type = 0;
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    std::uint32_t child = kNoStream;
    std::uint32_t start = kEndOfChain;
    std::uint64_t size = 0;
};

// Directory names are UTF-16 with a terminator; the stored length counts bytes including it.
// A length that does not fit the 64-byte field is not trusted: the name then ends at its
// first NUL or at the field's end.
std::string DecodeName(std::span<const std::uint8_t> field, std::uint16_t lengthBytes);

// How one chain walk ended.
enum class ChainEnd {
    kComplete,   // reached the end-of-chain mark or collected all that was wanted
    kTruncated,  // ran into a sector that lies past the end of the file: the data stops there
    kBroken,     // a sector number out of range, or a sector already used by a chain
};

class Volume : public std::enable_shared_from_this<Volume> {
  public:
    explicit Volume(std::unique_ptr<Source> source) : source_(std::move(source)) {
        ReadHeader();
        ReadFat();
        ReadDirectory();
        ReadMiniStructures();
    }

    const std::vector<DirEntry>& Entries() const { return entries_; }

    // Builds the sector list of one stream, ready for reads.
    std::unique_ptr<TCFileStream> OpenStream(const DirEntry& entry);
    std::size_t ReadRegular(std::uint32_t sector, std::size_t offset, std::uint8_t* out,
                            std::size_t n);
    std::size_t ReadMini(std::uint32_t miniSector, std::size_t offset, std::uint8_t* out,
                         std::size_t n);

    std::uint32_t SectorShift() const { return sectorShift_; }
    std::size_t SectorSize() const { return std::size_t{1} << sectorShift_; }

  private:
    // Reads one whole sector; what lies past the end of the file reads as free entries.
    std::vector<std::uint8_t> SectorBytes(std::uint32_t sector);
    void ReadHeader();                 // CfbHeader.cpp
    void ReadFat();                    // CfbAllocation.cpp
    void Claim(std::uint32_t sector);  // CfbAllocation.cpp
    void ReadDirectory();              // CfbDirectory.cpp
    void ReadMiniStructures();         // CfbAllocation.cpp
    // The bytes a chain's sectors hold up to the first one that the end of the data cuts
    // short: a file whose last sector is incomplete still reads up to its last byte.
    std::uint64_t Readable(const std::vector<std::uint32_t>& sectors, bool mini) const;
    // Follows a chain through `table` from `start`, collecting at most `wanted` sectors.
    // Every sector is checked against the table and the file before use, and marked in
    // `claimed`, so a loop, or two chains sharing a sector, is caught at its first repeat and
    // the walk never takes more steps than the table has entries.
    static ChainEnd Follow(const std::vector<std::uint32_t>& table, std::vector<bool>& claimed,
                           std::uint64_t present, std::uint32_t start, std::uint64_t wanted,
                           std::vector<std::uint32_t>& out);

    std::unique_ptr<Source> source_;

    bool version4_ = false;
    std::uint32_t sectorShift_ = 9;
    std::uint32_t fatSectorCount_ = 0;
    std::uint32_t firstDirSector_ = kEndOfChain;
    std::uint32_t firstMiniFatSector_ = kEndOfChain;
    std::uint32_t firstDifatSector_ = kEndOfChain;
    std::array<std::uint32_t, kHeaderDifatEntries> headerDifat_{};
    std::uint64_t sectorsPresent_ = 0;

    std::vector<std::uint32_t> fat_;
    std::vector<bool> claimed_;
    std::vector<DirEntry> entries_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<bool> miniClaimed_;
    std::vector<std::uint32_t> miniStreamSectors_;
    std::uint64_t miniStreamSize_ = 0;
    std::uint64_t miniSectorsPresent_ = 0;
};

// Walks the directory's trees into `root` (CfbDirectory.cpp).
void BuildTree(Volume& volume, TCFileStorage& root);
// Names compare upper-cased, a to z only.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace morvik::xls::cfb
