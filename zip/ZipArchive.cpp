#include "ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "text/ByteReader.h"

namespace morvik::zip {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kDirectoryHeader = 0x02014b50;
constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kZip64End = 0x06064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kDirectoryHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kEncrypted = 0x0001;
constexpr std::uint16_t kStrongEncryption = 0x0040;

[[noreturn]] void Fail(const std::string& message) { throw EZipError(message); }

[[noreturn]] void TooMuch() {
    Fail("The zip archive inflates to more than can be read (a zip bomb?).");
}

[[noreturn]] void NotZip() { Fail("The file is not a zip archive, or its directory is damaged."); }

char FoldName(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c == '\\' ? '/' : c;
}

bool SameName(std::string_view stored, std::string_view wanted) {
    if (!stored.empty() && (stored[0] == '/' || stored[0] == '\\')) stored.remove_prefix(1);
    if (!wanted.empty() && wanted[0] == '/') wanted.remove_prefix(1);
    if (stored.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (FoldName(stored[i]) != FoldName(wanted[i])) return false;
    }
    return true;
}

// Names in messages: printable ASCII only and short, whatever bytes the archive holds.
std::string Printable(std::string_view name) {
    std::string out;
    for (char c : name.substr(0, 120)) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return out;
}

// One step of inflate over `data`, the entry's whole compressed bytes. The input is handed
// over in pieces zlib's 32-bit counts can take, the next one when the last is used up.
int Inflate(z_stream& z, std::span<const std::uint8_t> data) {
    if (z.avail_in == 0) {
        const std::size_t used = static_cast<std::size_t>(z.next_in - data.data());
        z.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size() - used, 1u << 30));
    }
    return inflate(&z, Z_NO_FLUSH);
}

}  // namespace

struct TZipStream::Inflater {
    z_stream z{};
    bool open = false;
    ~Inflater() {
        if (open) inflateEnd(&z);
    }
};

// ---------------------------------------------------------------------------------------------
// The directory

TZipArchive::TZipArchive(std::span<const std::uint8_t> bytes, const TZipLimits& limits)
    : bytes_(bytes), limits_(limits) {
    const std::uint64_t size = bytes.size();
    if (limits_.MaxTotalSize > limits_.TotalExempt &&
        size < (limits_.MaxTotalSize - limits_.TotalExempt) /
                   std::max<std::uint64_t>(limits_.MaxRatio, 1))
        limits_.MaxTotalSize = limits_.TotalExempt + limits_.MaxRatio * size;
    ReadDirectory();
}

bool TZipArchive::LooksLikeZip(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return false;
    const std::uint32_t sig = LoadU32(bytes.data());
    return sig == kLocalHeader || sig == kEndOfDirectory;
}

void TZipArchive::ReadDirectory() {
    const std::size_t size = bytes_.size();
    if (size < kEndSize) NotZip();
    // The end record is the last one whose comment reaches exactly to the end of the file.
    std::size_t end = std::string::npos;
    const std::size_t lowest = size - kEndSize > 0xFFFF ? size - kEndSize - 0xFFFF : 0;
    for (std::size_t at = size - kEndSize + 1; at-- > lowest;) {
        if (LoadU32(bytes_.data() + at) != kEndOfDirectory) continue;
        if (at + kEndSize + LoadU16(bytes_.data() + at + 20) == size) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) NotZip();

    ByteReader r(bytes_, end + 4);
    const std::uint16_t disk = r.U16(), directoryDisk = r.U16();
    std::uint64_t count = r.U16();
    const std::uint64_t totalCount = r.U16();
    std::uint64_t directorySize = r.U32();
    std::uint64_t directoryOffset = r.U32();
    if (disk != 0 || directoryDisk != 0 || count != totalCount)
        Fail("The zip archive is split over several files, which is not supported.");

    const bool zip64 =
        count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF;
    if (zip64) {
        // The 64-bit end record, found through the locator just before the end record.
        if (end < 20 || LoadU32(bytes_.data() + end - 20) != kZip64Locator) NotZip();
        const std::uint64_t at = LoadU64(bytes_.data() + end - 20 + 8);
        if (at > end || end - at < 56 || LoadU32(bytes_.data() + at) != kZip64End) NotZip();
        ByteReader z(bytes_, static_cast<std::size_t>(at) + 24);
        count = z.U64();
        z.U64();
        directorySize = z.U64();
        directoryOffset = z.U64();
    }
    if (directoryOffset > end || directorySize > end - directoryOffset) NotZip();
    if (count > directorySize / kDirectoryHeaderSize || count > limits_.MaxEntries)
        Fail("The zip archive's directory is damaged or lists too many entries.");

    entries_.reserve(static_cast<std::size_t>(count));
    ByteReader d(bytes_.subspan(static_cast<std::size_t>(directoryOffset),
                                static_cast<std::size_t>(directorySize)));
    // The end record's 16-bit count wraps past 65,535 entries where a writer leaves out the
    // 64-bit record: the directory's own extent tells how many there are, and the count must
    // agree with them in its low bits.
    for (std::uint64_t i = 0; zip64 ? i < count : d.Remaining() > 0; ++i) {
        if (entries_.size() >= limits_.MaxEntries)
            Fail("The zip archive's directory is damaged or lists too many entries.");
        if (!d.CanRead(kDirectoryHeaderSize) || d.U32() != kDirectoryHeader) NotZip();
        TZipEntry e;
        d.U16();  // made by
        d.U16();  // needed to extract
        e.Flags = d.U16();
        e.Method = d.U16();
        d.U32();  // time and date
        e.Crc = d.U32();
        e.CompressedSize = d.U32();
        e.Size = d.U32();
        const std::size_t nameLength = d.U16(), extraLength = d.U16(), commentLength = d.U16();
        d.U16();  // disk
        d.U16();  // internal attributes
        d.U32();  // external attributes
        e.HeaderOffset = d.U32();
        if (!d.CanRead(nameLength + extraLength + commentLength)) NotZip();
        const auto name = d.Bytes(nameLength);
        e.Name.assign(name.begin(), name.end());
        // The 64-bit sizes stand in the extra field, in this order, for each field that is
        // all ones.
        ByteReader extra(d.Bytes(extraLength));
        while (extra.Remaining() >= 4) {
            const std::uint16_t id = extra.U16(), length = extra.U16();
            ByteReader field(extra.Bytes(std::min<std::size_t>(length, extra.Remaining())));
            if (id != 0x0001) continue;
            if (e.Size == 0xFFFFFFFF) e.Size = field.U64();
            if (e.CompressedSize == 0xFFFFFFFF) e.CompressedSize = field.U64();
            if (e.HeaderOffset == 0xFFFFFFFF) e.HeaderOffset = field.U64();
            if (!field.Ok()) NotZip();
        }
        d.Skip(commentLength);
        entries_.push_back(std::move(e));
    }
    if (!zip64 && (entries_.size() & 0xFFFF) != count) NotZip();
    // Two entries whose data is the same bytes: no writer puts them down, and each name read
    // would inflate the data once more.
    std::vector<std::uint64_t> offsets;
    offsets.reserve(entries_.size());
    for (const TZipEntry& e : entries_) offsets.push_back(e.HeaderOffset);
    std::sort(offsets.begin(), offsets.end());
    if (std::adjacent_find(offsets.begin(), offsets.end()) != offsets.end())
        Fail("The zip archive's directory is damaged: two entries share their data.");
}

const TZipEntry* TZipArchive::Find(std::string_view name) const {
    const TZipEntry* found = nullptr;
    for (const TZipEntry& e : entries_) {
        if (!SameName(e.Name, name)) continue;
        if (found != nullptr)
            Fail("The zip archive holds the entry \"" + Printable(name) + "\" more than once.");
        found = &e;
    }
    return found;
}

void TZipArchive::Charge(std::uint64_t size) {
    inflated_ += size;
    if (inflated_ > limits_.MaxTotalSize) TooMuch();
}

std::unique_ptr<TZipStream> TZipArchive::Open(const TZipEntry& e) { return OpenStream(e, nullptr); }

std::unique_ptr<TZipStream> TZipArchive::OpenCounted(const TZipEntry& e,
                                                     std::uint64_t inflatedBefore) {
    return OpenStream(e, &inflatedBefore);
}

std::unique_ptr<TZipStream> TZipArchive::OpenStream(const TZipEntry& e,
                                                    const std::uint64_t* inflatedBefore) {
    const std::string name = Printable(e.Name);
    if (e.Flags & (kEncrypted | kStrongEncryption))
        Fail("The zip entry \"" + name + "\" is encrypted, which is not supported.");
    if (e.Method != kStored && e.Method != kDeflated)
        Fail("The zip entry \"" + name + "\" uses a compression method that is not supported.");
    if (e.Size > limits_.MaxEntrySize) Fail("The zip entry \"" + name + "\" is too large to read.");
    // Refused before any of it is inflated or room is made for it.
    if (e.Size > limits_.MaxTotalSize -
                     std::min(limits_.MaxTotalSize, inflatedBefore ? *inflatedBefore : inflated_))
        TooMuch();
    if (e.Size > limits_.RatioExempt && e.Size / limits_.MaxRatio > e.CompressedSize)
        Fail("The zip entry \"" + name + "\" inflates far beyond its size (a zip bomb?).");
    if (e.Method == kStored && e.Size != e.CompressedSize)
        Fail("The zip entry \"" + name + "\" is damaged.");
    // Only where the data begins is taken from the local header.
    const std::uint64_t at = e.HeaderOffset;
    if (at > bytes_.size() || bytes_.size() - at < kLocalHeaderSize ||
        LoadU32(bytes_.data() + at) != kLocalHeader)
        Fail("The zip entry \"" + name + "\" is damaged.");
    const std::uint64_t data =
        at + kLocalHeaderSize + LoadU16(bytes_.data() + at + 26) + LoadU16(bytes_.data() + at + 28);
    if (data > bytes_.size() || e.CompressedSize > bytes_.size() - data)
        Fail("The zip entry \"" + name + "\" is cut short: the file is truncated.");
    return std::unique_ptr<TZipStream>(new TZipStream(
        *this, e,
        bytes_.subspan(static_cast<std::size_t>(data), static_cast<std::size_t>(e.CompressedSize)),
        inflatedBefore));
}

std::string TZipArchive::ReadAll(const TZipEntry& entry) {
    auto stream = Open(entry);
    // Room as the bytes come: the declared size is a claim until they have been inflated.
    std::string out;
    std::size_t have = 0;
    while (have < entry.Size) {
        if (have == out.size()) {
            const std::uint64_t grown = std::max<std::uint64_t>(2 * out.size(), 64u << 10);
            out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(grown, entry.Size)));
        }
        const std::size_t n = stream->Read(out.data() + have, out.size() - have);
        if (n == 0) break;
        have += n;
    }
    // The last read checks what follows the declared size and the checksum.
    char probe;
    stream->Read(&probe, 1);
    out.resize(have);
    return out;
}

// ---------------------------------------------------------------------------------------------
// One entry

TZipStream::TZipStream(TZipArchive& archive, const TZipEntry& entry,
                       std::span<const std::uint8_t> data, const std::uint64_t* inflatedBefore)
    : archive_(&archive),
      ownAccount_(inflatedBefore != nullptr),
      inflatedBefore_(inflatedBefore ? *inflatedBefore : 0),
      entry_(&entry),
      data_(data),
      inflater_(std::make_unique<Inflater>()) {
    if (entry.Method == kDeflated) {
        if (inflateInit2(&inflater_->z, -MAX_WBITS) != Z_OK)
            throw EZipError("Out of memory while reading a zip archive.");
        inflater_->open = true;
        inflater_->z.next_in = const_cast<Bytef*>(data_.data());
        inflater_->z.avail_in = 0;
    }
}

TZipStream::~TZipStream() = default;

void TZipStream::Damaged() const {
    throw EZipError("The zip entry \"" + Printable(entry_->Name) +
                    "\" is damaged: its data does not inflate to what the directory says.");
}

std::size_t TZipStream::Read(char* out, std::size_t size) {
    if (ended_) return 0;
    const std::uint64_t left = entry_->Size - produced_;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
    std::size_t got = 0;
    if (entry_->Method == kStored) {
        std::copy_n(data_.data() + produced_, want, out);
        got = want;
    } else if (want > 0) {
        z_stream& z = inflater_->z;
        z.next_out = reinterpret_cast<Bytef*>(out);
        z.avail_out = static_cast<uInt>(std::min<std::size_t>(want, 1u << 30));
        while (z.avail_out > 0) {
            const int rc = Inflate(z, data_);
            if (rc == Z_STREAM_END) break;
            if (rc != Z_OK) Damaged();  // damaged data, or input ended (Z_BUF_ERROR)
        }
        got = want - z.avail_out;
    }
    if (got > 0) {
        if (!ownAccount_) {
            archive_->Charge(got);
        } else if (inflatedBefore_ + produced_ + got > archive_->limits_.MaxTotalSize) {
            TooMuch();
        }
        crc_ = static_cast<std::uint32_t>(crc32_z(crc_, reinterpret_cast<const Bytef*>(out), got));
        produced_ += got;
    }
    if (produced_ == entry_->Size) {
        if (entry_->Method == kDeflated) {
            // The stream must end here: more output would mean the directory's size lies.
            Bytef extra;
            z_stream& z = inflater_->z;
            z.next_out = &extra;
            z.avail_out = 1;
            for (;;) {
                const int rc = Inflate(z, data_);
                if (rc == Z_STREAM_END && z.avail_out == 1) break;
                if (rc != Z_OK || z.avail_out == 0) Damaged();
            }
        }
        if (crc_ != entry_->Crc) Damaged();
        ended_ = true;
    } else if (got == 0 && want > 0) {
        Damaged();
    }
    return got;
}

}  // namespace morvik::zip
