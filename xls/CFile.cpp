#include "CFile.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "text/ByteReader.h"
#include "text/Cp1250.h"

namespace morvik::xls {

namespace {

std::string_view CFileMessage(std::uint8_t code) {
    return code < std::size(kCFileErrorMessages) ? kCFileErrorMessages[code] : std::string_view{};
}

}  // namespace

ECFileError::ECFileError(std::uint8_t code)
    : std::runtime_error(std::string(CFileMessage(code))), code_(code) {}

namespace cfb {
namespace {

// Sector numbers with a meaning of their own; every regular sector number is at most kMaxRegSect.
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

constexpr std::array<std::uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderFields = 512;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kMiniSectorShift = 6;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::size_t kDirEntrySize = 128;

constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;

[[noreturn]] void Refuse(std::uint8_t code = kCFileCannotOpenDocfile) { throw ECFileError(code); }

// Where the bytes come from: a file read through a small block cache, or a buffer.
class Source {
  public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    // Copies up to `n` bytes from `offset`; fewer at the end of the data.
    virtual std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
};

class MemorySource final : public Source {
  public:
    explicit MemorySource(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.begin(), bytes.end()) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
        if (offset >= bytes_.size()) return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size() - offset));
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), n, out);
        return n;
    }

  private:
    std::vector<std::uint8_t> bytes_;
};

// Records are a few bytes each; reading them one by one straight from the file would cost a
// seek and a system call apiece, so whole aligned blocks are kept.
class FileSource final : public Source {
  public:
    FileSource(std::ifstream in, std::uint64_t size)
        : in_(std::move(in)), size_(size), block_(kBlock) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
        if (offset >= size_) return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
        std::size_t done = 0;
        while (done < n) {
            const std::uint64_t at = offset + done;
            const std::uint64_t start = at - at % kBlock;
            if (!Load(start)) break;
            const std::size_t inBlock = static_cast<std::size_t>(at - start);
            if (inBlock >= blockLength_) break;
            const std::size_t take = std::min(n - done, blockLength_ - inBlock);
            std::copy_n(block_.begin() + static_cast<std::ptrdiff_t>(inBlock), take, out + done);
            done += take;
        }
        return done;
    }

  private:
    static constexpr std::size_t kBlock = 64 * 1024;

    bool Load(std::uint64_t start) {
        if (loaded_ && start == blockStart_) return blockLength_ > 0;
        loaded_ = true;
        blockStart_ = start;
        blockLength_ = 0;
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(start));
        if (!in_) return false;
        in_.read(reinterpret_cast<char*>(block_.data()), static_cast<std::streamsize>(kBlock));
        blockLength_ = static_cast<std::size_t>(std::max<std::streamsize>(in_.gcount(), 0));
        return blockLength_ > 0;
    }

    std::ifstream in_;
    std::uint64_t size_;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockStart_ = 0;
    std::size_t blockLength_ = 0;
    bool loaded_ = false;
};

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
std::string DecodeName(std::span<const std::uint8_t> field, std::uint16_t lengthBytes) {
    std::size_t units = lengthBytes >= 2 && lengthBytes <= 64 ? lengthBytes / 2 : field.size() / 2;
    std::u16string name;
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t c = LoadU16(field.data() + 2 * i);
        if (c == 0) break;
        name.push_back(c);
    }
    return Utf16ToUtf8(name);
}

}  // namespace

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
    std::unique_ptr<TCFileStream> OpenStream(const DirEntry& entry) {
        std::uint64_t size = entry.size;
        const bool mini = size < kMiniStreamCutoff;
        std::vector<std::uint32_t> sectors;
        if (size > 0) {
            const std::uint32_t shift = mini ? kMiniSectorShift : sectorShift_;
            const std::uint64_t wanted = ((size - 1) >> shift) + 1;
            const ChainEnd end =
                mini ? Follow(miniFat_, miniClaimed_, miniSectorsPresent_, entry.start, wanted,
                              sectors)
                     : Follow(fat_, claimed_, sectorsPresent_, entry.start, wanted, sectors);
            // A broken chain fails the stream, not the file: a damaged summary stream must not
            // keep the workbook beside it from loading. Using the stream raises the error.
            if (end == ChainEnd::kBroken) {
                return std::make_unique<TCFileStream>(entry.name, nullptr, mini,
                                                      std::vector<std::uint32_t>{}, 0);
            }
            // A chain shorter than the size (cut off, or ended early) holds only what it holds.
            size = std::min(size, Readable(sectors, mini));
        }
        return std::make_unique<TCFileStream>(entry.name, shared_from_this(), mini,
                                              std::move(sectors), size);
    }

    std::size_t ReadRegular(std::uint32_t sector, std::size_t offset, std::uint8_t* out,
                            std::size_t n) {
        const std::uint64_t at =
            ((static_cast<std::uint64_t>(sector) + 1) << sectorShift_) + offset;
        return source_->ReadAt(at, out, n);
    }

    std::size_t ReadMini(std::uint32_t miniSector, std::size_t offset, std::uint8_t* out,
                         std::size_t n) {
        const std::uint64_t at =
            (static_cast<std::uint64_t>(miniSector) << kMiniSectorShift) + offset;
        if (at >= miniStreamSize_) return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, miniStreamSize_ - at));
        const std::uint64_t index = at >> sectorShift_;
        if (index >= miniStreamSectors_.size()) return 0;
        // A mini sector never straddles two sectors: both sizes are powers of two.
        return ReadRegular(miniStreamSectors_[index],
                           static_cast<std::size_t>(at & (SectorSize() - 1)), out, n);
    }

    std::uint32_t SectorShift() const { return sectorShift_; }
    std::size_t SectorSize() const { return std::size_t{1} << sectorShift_; }

  private:
    // Reads one whole sector; what lies past the end of the file reads as free entries.
    std::vector<std::uint8_t> SectorBytes(std::uint32_t sector) {
        std::vector<std::uint8_t> bytes(SectorSize(), 0xFF);
        ReadRegular(sector, 0, bytes.data(), bytes.size());
        return bytes;
    }

    void ReadHeader() {
        std::array<std::uint8_t, kHeaderFields> raw{};
        if (source_->ReadAt(0, raw.data(), raw.size()) != raw.size()) Refuse();
        ByteReader r(raw);
        if (!std::equal(kSignature.begin(), kSignature.end(), r.Bytes(8).begin())) Refuse();
        r.Skip(16);                           // class id, unused
        r.U16();                              // minor version
        const std::uint16_t major = r.U16();  // 3: 512-byte sectors, 4: 4096-byte sectors
        const std::uint16_t byteOrder = r.U16();
        sectorShift_ = r.U16();
        const std::uint16_t miniShift = r.U16();
        r.Skip(6);  // reserved
        r.U32();    // directory sector count, unused by readers
        fatSectorCount_ = r.U32();
        firstDirSector_ = r.U32();
        r.U32();  // transaction signature
        const std::uint32_t cutoff = r.U32();
        firstMiniFatSector_ = r.U32();
        r.U32();  // mini FAT sector count: the chain says it
        firstDifatSector_ = r.U32();
        r.U32();  // DIFAT sector count: the chain says it
        for (auto& s : headerDifat_) s = r.U32();
        if (!r.Ok() || byteOrder != 0xFFFE || miniShift != kMiniSectorShift ||
            cutoff != kMiniStreamCutoff)
            Refuse();
        if (!(major == 3 && sectorShift_ == 9) && !(major == 4 && sectorShift_ == 12)) Refuse();
        version4_ = major == 4;

        const std::uint64_t fileSize = source_->Size();
        const std::uint64_t sectorSize = SectorSize();
        // Sectors that start before the end of the file; the last one may be cut short.
        sectorsPresent_ = fileSize > sectorSize ? (fileSize - 1) / sectorSize : 0;
    }

    void ReadFat() {
        // Each FAT sector is a distinct sector of the file, so the count cannot exceed them.
        if (fatSectorCount_ == 0 || fatSectorCount_ > sectorsPresent_) Refuse();
        std::vector<std::uint32_t> fatSectors;
        fatSectors.reserve(fatSectorCount_);
        for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatSectorCount_;
             ++i) {
            fatSectors.push_back(headerDifat_[i]);
        }
        // The DIFAT chain: each sector lists FAT sectors and ends with the next DIFAT sector.
        std::vector<std::uint32_t> difatSectors;
        std::uint32_t next = firstDifatSector_;
        const std::size_t perSector = SectorSize() / 4 - 1;
        while (fatSectors.size() < fatSectorCount_) {
            if (next > kMaxRegSect || next >= sectorsPresent_ ||
                difatSectors.size() >= sectorsPresent_)
                Refuse();
            difatSectors.push_back(next);
            const auto bytes = SectorBytes(next);
            for (std::size_t i = 0; i < perSector && fatSectors.size() < fatSectorCount_; ++i) {
                fatSectors.push_back(LoadU32(bytes.data() + 4 * i));
            }
            next = LoadU32(bytes.data() + 4 * perSector);
        }

        const std::size_t perFatSector = SectorSize() / 4;
        fat_.reserve(fatSectors.size() * perFatSector);
        for (std::uint32_t s : fatSectors) {
            if (s > kMaxRegSect || s >= sectorsPresent_) Refuse();
            const auto bytes = SectorBytes(s);
            for (std::size_t i = 0; i < perFatSector; ++i)
                fat_.push_back(LoadU32(bytes.data() + 4 * i));
        }
        // The allocation tables' own sectors belong to no chain.
        claimed_.assign(fat_.size(), false);
        for (std::uint32_t s : fatSectors) Claim(s);
        for (std::uint32_t s : difatSectors) Claim(s);
    }

    void Claim(std::uint32_t sector) {
        if (sector < claimed_.size()) {
            if (claimed_[sector]) Refuse();
            claimed_[sector] = true;
        }
    }

    void ReadDirectory() {
        // Nothing says how long the directory is, so its chain is read to the end, and a bad
        // link there is taken as the end mark written wrongly: the entries before it stand.
        std::vector<std::uint32_t> sectors;
        Follow(fat_, claimed_, sectorsPresent_, firstDirSector_, fat_.size(), sectors);
        if (sectors.empty()) Refuse();
        const std::size_t perSector = SectorSize() / kDirEntrySize;
        entries_.reserve(sectors.size() * perSector);
        for (std::uint32_t s : sectors) {
            const auto bytes = SectorBytes(s);
            for (std::size_t i = 0; i < perSector; ++i) {
                ByteReader r(
                    std::span<const std::uint8_t>(bytes).subspan(i * kDirEntrySize, kDirEntrySize));
                DirEntry e;
                const auto nameField = r.Bytes(64);
                const std::uint16_t nameLength = r.U16();
                e.type = r.U8();
                r.U8();  // red-black colour: the tree is only walked, never rebalanced
                e.left = r.U32();
                e.right = r.U32();
                e.child = r.U32();
                r.Skip(16 + 4 + 8 + 8);  // class id, state bits, creation and modification times
                e.start = r.U32();
                e.size = r.U64();
                // Files with 512-byte sectors keep only a 32-bit size; some writers leave
                // garbage in the upper half.
                if (!version4_) e.size &= 0xFFFFFFFFu;
                e.name = DecodeName(nameField, nameLength);
                entries_.push_back(std::move(e));
            }
        }
        if (entries_.front().type != kTypeRoot) Refuse();
    }

    void ReadMiniStructures() {
        std::vector<std::uint32_t> miniFatSectors;
        // Like the directory, the mini FAT is read to the end of its chain, a bad link ending it.
        if (firstMiniFatSector_ != kEndOfChain && firstMiniFatSector_ != kFreeSect) {
            Follow(fat_, claimed_, sectorsPresent_, firstMiniFatSector_, fat_.size(),
                   miniFatSectors);
        }
        const std::size_t perSector = SectorSize() / 4;
        miniFat_.reserve(miniFatSectors.size() * perSector);
        for (std::uint32_t s : miniFatSectors) {
            const auto bytes = SectorBytes(s);
            for (std::size_t i = 0; i < perSector; ++i)
                miniFat_.push_back(LoadU32(bytes.data() + 4 * i));
        }
        miniClaimed_.assign(miniFat_.size(), false);

        const DirEntry& root = entries_.front();
        if (root.size > 0) {
            const std::uint64_t wanted = ((root.size - 1) >> sectorShift_) + 1;
            // Each small stream's own chain is checked against what this one holds.
            Follow(fat_, claimed_, sectorsPresent_, root.start, wanted, miniStreamSectors_);
            miniStreamSize_ = std::min(root.size, Readable(miniStreamSectors_, false));
        }
        miniSectorsPresent_ = miniStreamSize_ >> kMiniSectorShift;
        if (miniStreamSize_ % (std::uint64_t{1} << kMiniSectorShift) != 0) ++miniSectorsPresent_;
    }

    // The bytes a chain's sectors hold up to the first one that the end of the data cuts
    // short: a file whose last sector is incomplete still reads up to its last byte.
    std::uint64_t Readable(const std::vector<std::uint32_t>& sectors, bool mini) const {
        const std::uint32_t shift = mini ? kMiniSectorShift : sectorShift_;
        const std::uint64_t unit = std::uint64_t{1} << shift;
        const std::uint64_t end = mini ? miniStreamSize_ : source_->Size();
        std::uint64_t total = 0;
        for (std::uint32_t s : sectors) {
            const std::uint64_t start = (static_cast<std::uint64_t>(s) + (mini ? 0 : 1)) << shift;
            const std::uint64_t held = start >= end ? 0 : std::min(unit, end - start);
            total += held;
            if (held < unit) break;
        }
        return total;
    }

    // Follows a chain through `table` from `start`, collecting at most `wanted` sectors.
    // Every sector is checked against the table and the file before use, and marked in
    // `claimed`, so a loop, or two chains sharing a sector, is caught at its first repeat and
    // the walk never takes more steps than the table has entries.
    static ChainEnd Follow(const std::vector<std::uint32_t>& table, std::vector<bool>& claimed,
                           std::uint64_t present, std::uint32_t start, std::uint64_t wanted,
                           std::vector<std::uint32_t>& out) {
        out.clear();
        out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, table.size())));
        std::uint32_t s = start;
        while (out.size() < wanted) {
            if (s == kEndOfChain) return ChainEnd::kComplete;
            if (s > kMaxRegSect || s >= table.size()) return ChainEnd::kBroken;
            if (s >= present) return ChainEnd::kTruncated;
            if (claimed[s]) return ChainEnd::kBroken;
            claimed[s] = true;
            out.push_back(s);
            s = table[s];
        }
        return ChainEnd::kComplete;
    }

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

namespace {

// Walks the directory's red-black trees: each storage's children are the in-order walk of
// the tree under its child link. A visited set over all entries catches any link that points
// back into the tree, so the walk ends whatever the links say.
void BuildTree(Volume& volume, TCFileStorage& root) {
    const auto& entries = volume.Entries();
    std::vector<bool> visited(entries.size(), false);
    visited[0] = true;

    struct Pending {
        TCFileStorage* storage;
        std::uint32_t child;
        std::uint8_t code;  // what a damaged tree under this storage reports
    };
    std::vector<Pending> work{{&root, entries[0].child, kCFileCannotOpenDocfile}};
    std::vector<std::uint32_t> stack;
    while (!work.empty()) {
        const Pending p = work.back();
        work.pop_back();
        std::vector<Pending> substorages;
        stack.clear();
        std::uint32_t current = p.child;
        while (current != kNoStream || !stack.empty()) {
            while (current != kNoStream) {
                if (current >= entries.size() || visited[current]) Refuse(p.code);
                // Only storages and streams belong in a tree. Some writers link to an unused
                // or garbled entry whose own links are stale, so such an entry ends the branch.
                if (entries[current].type != kTypeStorage && entries[current].type != kTypeStream) {
                    current = kNoStream;
                    break;
                }
                visited[current] = true;
                stack.push_back(current);
                current = entries[current].left;
            }
            if (stack.empty()) break;
            const DirEntry& e = entries[stack.back()];
            stack.pop_back();
            if (e.type == kTypeStorage) {
                auto storage = std::make_unique<TCFileStorage>(e.name);
                substorages.push_back({storage.get(), e.child, kCFileCannotOpenStorage});
                p.storage->Append(std::move(storage));
            } else if (e.type == kTypeStream) {
                p.storage->Append(volume.OpenStream(e));
            }
            current = e.right;
        }
        // Depth first, in list order.
        work.insert(work.end(), substorages.rbegin(), substorages.rend());
    }
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

}  // namespace
}  // namespace cfb

// ---- TCFileStream ----

TCFileStream::TCFileStream(std::string name, std::shared_ptr<cfb::Volume> volume, bool inMiniStream,
                           std::vector<std::uint32_t> sectors, std::uint64_t size)
    : TCFileItem(std::move(name)),
      volume_(std::move(volume)),
      mini_(inMiniStream),
      sectors_(std::move(sectors)),
      size_(size) {}

std::size_t TCFileStream::ReadSlow(void* buffer, std::size_t count) {
    CheckOpen();
    if (buffer == nullptr) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count && position_ < size_) {
        if (position_ < windowStart_ || position_ - windowStart_ >= windowLength_) {
            if (!FillWindow()) break;  // the file ends before this position
        }
        const auto at = static_cast<std::size_t>(position_ - windowStart_);
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(
            {windowLength_ - at, size_ - position_, static_cast<std::uint64_t>(count - done)}));
        std::copy_n(window_.data() + at, n, out + done);
        done += n;
        position_ += n;
    }
    return done;
}

bool TCFileStream::FillWindow() {
    constexpr std::size_t kWindow = 64 * 1024;  // a multiple of both sector sizes
    const std::uint32_t shift = mini_ ? 6 : volume_->SectorShift();
    const std::size_t unit = std::size_t{1} << shift;
    const std::uint64_t first = position_ >> shift;
    windowStart_ = first << shift;
    windowLength_ = 0;
    if (first >= sectors_.size() || windowStart_ >= size_) return false;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - windowStart_));
    if (window_.size() < wanted) window_.resize(wanted);
    auto index = static_cast<std::size_t>(first);
    while (windowLength_ < wanted && index < sectors_.size()) {
        // Sectors that follow one another in the file are read in one piece.
        std::size_t run = 1;
        while (!mini_ && index + run < sectors_.size() && windowLength_ + run * unit < wanted &&
               sectors_[index + run] == sectors_[index + run - 1] + 1) {
            ++run;
        }
        const std::size_t n = std::min(run * unit, wanted - windowLength_);
        std::uint8_t* to = window_.data() + windowLength_;
        const std::size_t got = mini_ ? volume_->ReadMini(sectors_[index], 0, to, n)
                                      : volume_->ReadRegular(sectors_[index], 0, to, n);
        windowLength_ += got;
        if (got < n) break;  // the file ends inside this run
        index += run;
    }
    return position_ - windowStart_ < windowLength_;
}

std::uint64_t TCFileStream::Seek(std::int64_t offset, int origin) {
    CheckOpen();
    std::int64_t base = 0;
    if (origin == 1)
        base = static_cast<std::int64_t>(position_);
    else if (origin == 2)
        base = static_cast<std::int64_t>(size_);
    else if (origin != 0)
        return position_;
    // Stream sizes fit in 63 bits (they never exceed the file), so only the sum can overflow.
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) return position_;
    position_ = static_cast<std::uint64_t>(target);
    return position_;
}

void TCFileStream::SetPosition(std::int64_t p) {
    if (p < 0 || Seek(p, 0) != static_cast<std::uint64_t>(p))
        throw ECFileError(kCFileCannotSetPosition);
}

// ---- TCFileStorage ----

TCFileStorage::~TCFileStorage() {
    // A hostile file can nest storages thousands deep; tearing that down by recursion would
    // overflow the stack, so nested children are moved into one work list first.
    std::vector<std::unique_ptr<TCFileItem>> pending;
    pending.reserve(items_.size());
    std::move(items_.rbegin(), items_.rend(), std::back_inserter(pending));
    items_.clear();
    while (!pending.empty()) {
        std::unique_ptr<TCFileItem> item = std::move(pending.back());
        pending.pop_back();
        if (auto* storage = dynamic_cast<TCFileStorage*>(item.get())) {
            std::move(storage->items_.rbegin(), storage->items_.rend(),
                      std::back_inserter(pending));
            storage->items_.clear();
        }
    }
}

TCFileItem* TCFileStorage::FindItem(std::string_view name) const {
    for (const auto& item : items_) {
        if (cfb::SameNameIgnoringCase(item->Name(), name)) return item.get();
    }
    return nullptr;
}

TCFileStream* TCFileStorage::FindStream(std::string_view name) const {
    return dynamic_cast<TCFileStream*>(FindItem(name));
}

// ---- TCFile ----

TCFile::TCFile(const std::string& fileName, TCFileMode /*mode*/) : fileName_(fileName) {
    std::error_code ec;
    const std::filesystem::path path(fileName);
    if (!std::filesystem::is_regular_file(path, ec) || ec)
        throw ECFileError(kCFileCannotOpenDocfile);
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw ECFileError(kCFileCannotOpenDocfile);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ECFileError(kCFileCannotOpenDocfile);
    Build(std::make_shared<cfb::Volume>(std::make_unique<cfb::FileSource>(std::move(in), size)));
}

TCFile::TCFile(std::span<const std::uint8_t> bytes) {
    Build(std::make_shared<cfb::Volume>(std::make_unique<cfb::MemorySource>(bytes)));
}

TCFile::~TCFile() = default;

void TCFile::Build(std::shared_ptr<cfb::Volume> volume) {
    root_ = std::make_unique<TCFileStorage>("Root Entry");
    cfb::BuildTree(*volume, *root_);
}

}  // namespace morvik::xls
