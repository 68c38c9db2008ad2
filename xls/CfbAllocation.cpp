#include <algorithm>

#include "CfbVolume.h"
#include "text/ByteReader.h"

namespace morvik::xls::cfb {

// Reads one whole sector; what lies past the end of the file reads as free entries.
std::vector<std::uint8_t> Volume::SectorBytes(std::uint32_t sector) {
    std::vector<std::uint8_t> bytes(SectorSize(), 0xFF);
    ReadRegular(sector, 0, bytes.data(), bytes.size());
    return bytes;
}

std::size_t Volume::ReadRegular(std::uint32_t sector, std::size_t offset, std::uint8_t* out,
                                std::size_t n) {
    const std::uint64_t at = ((static_cast<std::uint64_t>(sector) + 1) << sectorShift_) + offset;
    return source_->ReadAt(at, out, n);
}

std::size_t Volume::ReadMini(std::uint32_t miniSector, std::size_t offset, std::uint8_t* out,
                             std::size_t n) {
    const std::uint64_t at = (static_cast<std::uint64_t>(miniSector) << kMiniSectorShift) + offset;
    if (at >= miniStreamSize_) return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, miniStreamSize_ - at));
    const std::uint64_t index = at >> sectorShift_;
    if (index >= miniStreamSectors_.size()) return 0;
    // A mini sector never straddles two sectors: both sizes are powers of two.
    return ReadRegular(miniStreamSectors_[index], static_cast<std::size_t>(at & (SectorSize() - 1)),
                       out, n);
}

void Volume::ReadFat() {
    // Each FAT sector is a distinct sector of the file, so the count cannot exceed them.
    if (fatSectorCount_ == 0 || fatSectorCount_ > sectorsPresent_) Refuse();
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(fatSectorCount_);
    for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatSectorCount_; ++i) {
        fatSectors.push_back(headerDifat_[i]);
    }
    // The DIFAT chain: each sector lists FAT sectors and ends with the next DIFAT sector.
    std::vector<std::uint32_t> difatSectors;
    std::uint32_t next = firstDifatSector_;
    const std::size_t perSector = SectorSize() / 4 - 1;
    while (fatSectors.size() < fatSectorCount_) {
        if (next > kMaxRegSect || next >= sectorsPresent_ || difatSectors.size() >= sectorsPresent_)
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

void Volume::Claim(std::uint32_t sector) {
    if (sector < claimed_.size()) {
        if (claimed_[sector]) Refuse();
        claimed_[sector] = true;
    }
}

void Volume::ReadMiniStructures() {
    std::vector<std::uint32_t> miniFatSectors;
    // Like the directory, the mini FAT is read to the end of its chain, a bad link ending it.
    if (firstMiniFatSector_ != kEndOfChain && firstMiniFatSector_ != kFreeSect) {
        Follow(fat_, claimed_, sectorsPresent_, firstMiniFatSector_, fat_.size(), miniFatSectors);
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
std::uint64_t Volume::Readable(const std::vector<std::uint32_t>& sectors, bool mini) const {
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
ChainEnd Volume::Follow(const std::vector<std::uint32_t>& table, std::vector<bool>& claimed,
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
}  // namespace morvik::xls::cfb
