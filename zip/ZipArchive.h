// Reading the entries of a zip archive held in memory: the central directory, and each entry's
// bytes inflated on demand, in pieces or whole.
//
// The archive's bytes are hostile. The central directory is the one account of the entries (a
// local header only says where an entry's data begins); every offset and size is checked
// against the bytes there are; what an entry inflates to is bounded by its declared size, by a
// limit per entry, by a limit for the whole archive and by a ratio to its compressed size, so a
// zip bomb is refused before it costs memory or time. An entry whose declared size exceeds what
// is left of the archive's limit is refused before it is read. Entry names are only ever compared
// with the names a reader asks for: nothing is written anywhere and no path is built from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "XmlReader.h"
#include "text/Error.h"

namespace morvik::zip {

class EZipError : public Error {
  public:
    using Error::Error;
};

struct TZipLimits {
    // The largest sheet part a spreadsheet program writes is well under a gigabyte.
    std::uint64_t MaxEntrySize = 2ull << 30;
    std::uint64_t MaxTotalSize = 4ull << 30;
    // Inflated to compressed; real parts stay far below (a sheet's XML about 10:1, a sheet of
    // repeated empty rows some 100:1), deflate's own limit is about 1032:1.
    std::uint64_t MaxRatio = 250;
    // Entries smaller than this are not held to the ratio.
    std::uint64_t RatioExempt = 1u << 20;
    // All entries read, each read counted, are held to the same ratio to the whole archive's
    // size beyond this much: small parts read many times (one part named by thousands of
    // sheets, thousands of names for one entry's data) cost no more than one large part.
    std::uint64_t TotalExempt = 16u << 20;
    std::size_t MaxEntries = 100'000;
};

struct TZipEntry {
    std::string Name;  // as stored, bytes
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint32_t Crc = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t Size = 0;
    std::uint64_t HeaderOffset = 0;
};

class TZipArchive;

// One entry being inflated; reads end at the entry's declared size, and the checksum is
// compared when the last byte has been read.
class TZipStream final : public TByteSource {
  public:
    ~TZipStream() override;
    std::size_t Read(char* out, std::size_t size) override;
    std::uint64_t Size() const { return entry_->Size; }

  private:
    friend class TZipArchive;
    TZipStream(TZipArchive& archive, const TZipEntry& entry, std::span<const std::uint8_t> data,
               const std::uint64_t* inflatedBefore);
    [[noreturn]] void Damaged() const;

    TZipArchive* archive_;
    // Set for a stream that keeps its own account (see TZipArchive::OpenCounted).
    bool ownAccount_ = false;
    std::uint64_t inflatedBefore_ = 0;
    const TZipEntry* entry_;
    std::span<const std::uint8_t> data_;
    std::uint64_t produced_ = 0;
    std::uint32_t crc_ = 0;
    bool ended_ = false;
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;
};

class TZipArchive {
  public:
    // Reads the central directory; EZipError when the bytes are no zip archive or a damaged
    // one. The bytes must outlive the archive.
    explicit TZipArchive(std::span<const std::uint8_t> bytes, const TZipLimits& limits = {});
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    const std::vector<TZipEntry>& Entries() const { return entries_; }
    // The entry whose name equals `name`, ignoring ASCII letter case, a leading '/' and the
    // difference between '/' and '\' (package part names compare that way); null when there
    // is none, EZipError when there are two.
    const TZipEntry* Find(std::string_view name) const;

    // The entry's bytes inflated as they are read.
    std::unique_ptr<TZipStream> Open(const TZipEntry& entry);
    // The same for a stream read on another thread: it counts against the archive's limit as
    // if `inflatedBefore` bytes had been inflated before it, and leaves the archive's own
    // count alone. Streams opened so may be read at the same time, each on one thread; a
    // reader that reads entries in a known order thereby meets the limit where reading them
    // one after another would.
    std::unique_ptr<TZipStream> OpenCounted(const TZipEntry& entry, std::uint64_t inflatedBefore);
    // Bytes inflated so far by streams that count with the archive.
    std::uint64_t Inflated() const { return inflated_; }
    // The whole entry at once.
    std::string ReadAll(const TZipEntry& entry);

    // Whether `bytes` begin like a zip archive (a local header or an empty archive's end).
    static bool LooksLikeZip(std::span<const std::uint8_t> bytes);

  private:
    friend class TZipStream;
    void ReadDirectory();
    std::unique_ptr<TZipStream> OpenStream(const TZipEntry& entry,
                                           const std::uint64_t* inflatedBefore);
    // Counts `size` more inflated bytes against the archive's limit.
    void Charge(std::uint64_t size);

    std::span<const std::uint8_t> bytes_;
    TZipLimits limits_;
    std::vector<TZipEntry> entries_;
    std::uint64_t inflated_ = 0;
};

}  // namespace morvik::zip
