// Test-side writer of small compound files: a valid file with the given storages and
// streams, plus the layout a test needs to damage one field of it on purpose.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::xls::testing {

inline void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    bytes.at(at) = static_cast<std::uint8_t>(v);
    bytes.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    PutU16(bytes, at, v);
    PutU16(bytes, at + 2, v >> 16);
}
inline std::uint32_t GetU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes.at(at)) |
           (static_cast<std::uint32_t>(bytes.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(bytes.at(at + 2)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
}

// Bytes 0, 1, 2, ... (mod 251, so that a shifted read never matches by accident).
inline std::vector<std::uint8_t> PatternBytes(std::size_t n, std::uint8_t seed = 0) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>((i + seed) % 251);
    return out;
}

struct CfbNode {
    std::string name;  // 8-bit characters, each one UTF-16 code unit
    std::vector<std::uint8_t> data;
    bool storage = false;
    std::vector<CfbNode> children;

    static CfbNode Stream(std::string name, std::vector<std::uint8_t> data) {
        return CfbNode{std::move(name), std::move(data), false, {}};
    }
    static CfbNode Storage(std::string name, std::vector<CfbNode> children) {
        return CfbNode{std::move(name), {}, true, std::move(children)};
    }
};

struct CfbOptions {
    bool sectors4096 = false;
    // Pads the FAT to at least this many sectors, so that a small file needs DIFAT sectors
    // (more than 109 FAT sectors) without megabytes of data.
    std::uint32_t minFatSectors = 0;
};

inline constexpr std::uint32_t kCfbEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kCfbFree = 0xFFFFFFFF;
inline constexpr std::uint32_t kCfbFatSect = 0xFFFFFFFD;
inline constexpr std::uint32_t kCfbDifSect = 0xFFFFFFFC;
inline constexpr std::uint32_t kCfbNoStream = 0xFFFFFFFF;

// Header field offsets.
namespace cfbh {
inline constexpr std::size_t kSignature = 0, kMajor = 26, kByteOrder = 28, kSectorShift = 30,
                             kMiniShift = 32, kDirSectorCount = 40, kFatCount = 44, kFirstDir = 48,
                             kCutoff = 56, kFirstMiniFat = 60, kMiniFatCount = 64, kFirstDifat = 68,
                             kDifatCount = 72, kDifat = 76;
}
// Directory entry field offsets.
namespace cfbe {
inline constexpr std::size_t kNameLength = 64, kType = 66, kLeft = 68, kRight = 72, kChild = 76,
                             kStart = 116, kSize = 120;
}

struct CfbImage {
    std::vector<std::uint8_t> bytes;
    std::uint32_t sectorSize = 512;
    std::vector<std::uint32_t> fatSectors;
    std::vector<std::uint32_t> difatSectors;
    std::vector<std::uint32_t> dirSectors;
    std::vector<std::uint32_t> miniFatSectors;
    std::vector<std::string> entryNames;    // by directory entry id; 0 is the root
    std::vector<std::uint32_t> entryStart;  // first sector (or mini sector) of each entry
    std::vector<bool> entryMini;            // whether the entry's data is in the mini stream

    std::size_t SectorOffset(std::uint32_t sector) const {
        return (std::size_t{sector} + 1) * sectorSize;
    }
    std::size_t EntryOffset(std::uint32_t id) const {
        const std::uint32_t perSector = sectorSize / 128;
        return SectorOffset(dirSectors.at(id / perSector)) + (id % perSector) * 128;
    }
    std::size_t FatEntryOffset(std::uint32_t sector) const {
        const std::uint32_t perSector = sectorSize / 4;
        return SectorOffset(fatSectors.at(sector / perSector)) + (sector % perSector) * 4;
    }
    std::uint32_t EntryId(std::string_view name) const {
        for (std::uint32_t i = 0; i < entryNames.size(); ++i) {
            if (entryNames[i] == name) return i;
        }
        return kCfbNoStream;
    }
    std::uint32_t Fat(std::uint32_t sector) const { return GetU32(bytes, FatEntryOffset(sector)); }
    void SetFat(std::uint32_t sector, std::uint32_t next) {
        PutU32(bytes, FatEntryOffset(sector), next);
    }
    void SetEntryField(std::string_view name, std::size_t field, std::uint32_t v) {
        PutU32(bytes, EntryOffset(EntryId(name)) + field, v);
    }
    // The mini FAT entry of a mini sector.
    std::size_t MiniFatEntryOffset(std::uint32_t miniSector) const {
        const std::uint32_t perSector = sectorSize / 4;
        return SectorOffset(miniFatSectors.at(miniSector / perSector)) +
               (miniSector % perSector) * 4;
    }
};

namespace detail {

struct FlatEntry {
    std::string name;
    std::uint8_t type = 0;
    std::uint32_t left = kCfbNoStream, right = kCfbNoStream, child = kCfbNoStream;
    const std::vector<std::uint8_t>* data = nullptr;
    std::uint32_t start = kCfbEndOfChain;
    std::uint64_t size = 0;
    bool mini = false;
};

// Directory order: shorter names first, then by upper-cased name.
inline bool NameLess(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (up(a[i]) != up(b[i])) return up(a[i]) < up(b[i]);
    }
    return false;
}

// A balanced tree over sorted sibling ids; returns the id at its top.
inline std::uint32_t Balance(std::vector<FlatEntry>& entries, const std::vector<std::uint32_t>& ids,
                             std::size_t lo, std::size_t hi) {
    if (lo >= hi) return kCfbNoStream;
    const std::size_t mid = lo + (hi - lo) / 2;
    const std::uint32_t id = ids[mid];
    entries[id].left = Balance(entries, ids, lo, mid);
    entries[id].right = Balance(entries, ids, mid + 1, hi);
    return id;
}

inline std::uint32_t Flatten(std::vector<FlatEntry>& entries, const std::vector<CfbNode>& nodes) {
    std::vector<const CfbNode*> sorted;
    for (const auto& n : nodes) sorted.push_back(&n);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](auto* a, auto* b) { return NameLess(a->name, b->name); });
    std::vector<std::uint32_t> ids;
    for (const CfbNode* n : sorted) {
        ids.push_back(static_cast<std::uint32_t>(entries.size()));
        FlatEntry e;
        e.name = n->name;
        e.type = n->storage ? 1 : 2;
        e.data = &n->data;
        e.size = n->storage ? 0 : n->data.size();
        entries.push_back(e);
    }
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (sorted[i]->storage) {
            const std::uint32_t child = Flatten(entries, sorted[i]->children);
            entries[ids[i]].child = child;
        }
    }
    return Balance(entries, ids, 0, ids.size());
}

}  // namespace detail

inline CfbImage BuildCfb(const std::vector<CfbNode>& top, const CfbOptions& options = {}) {
    using detail::FlatEntry;
    CfbImage img;
    const std::uint32_t ss = options.sectors4096 ? 4096 : 512;
    img.sectorSize = ss;
    const std::uint32_t perSector = ss / 4;

    std::vector<FlatEntry> entries(1);
    entries[0].name = "Root Entry";
    entries[0].type = 5;
    entries[0].child = detail::Flatten(entries, top);

    // Small streams go to the mini stream, 64 bytes a mini sector.
    std::vector<std::uint8_t> mini;
    std::vector<std::uint32_t> miniFat;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        FlatEntry& e = entries[i];
        if (e.type != 2 || e.size == 0 || e.size >= 4096) continue;
        e.mini = true;
        const auto first = static_cast<std::uint32_t>(miniFat.size());
        e.start = first;
        const std::size_t count = (e.size + 63) / 64;
        for (std::size_t k = 0; k < count; ++k) {
            miniFat.push_back(k + 1 < count ? first + static_cast<std::uint32_t>(k) + 1
                                            : kCfbEndOfChain);
        }
        mini.insert(mini.end(), e.data->begin(), e.data->end());
        mini.resize(miniFat.size() * 64, 0);
    }

    auto sectorsFor = [ss](std::size_t bytes) {
        return static_cast<std::uint32_t>((bytes + ss - 1) / ss);
    };
    const std::uint32_t dirCount = sectorsFor(entries.size() * 128);
    const std::uint32_t miniFatCount = sectorsFor(miniFat.size() * 4);
    const std::uint32_t miniStreamCount = sectorsFor(mini.size());
    std::uint32_t dataCount = dirCount + miniFatCount + miniStreamCount;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].type == 2 && !entries[i].mini) dataCount += sectorsFor(entries[i].size);
    }
    std::uint32_t fatCount = 1, difatCount = 0;
    for (;;) {
        const std::uint32_t total = fatCount + difatCount + dataCount;
        const std::uint32_t needFat =
            std::max((total + perSector - 1) / perSector, options.minFatSectors);
        const std::uint32_t needDifat =
            needFat > 109 ? (needFat - 109 + perSector - 2) / (perSector - 1) : 0;
        if (needFat == fatCount && needDifat == difatCount) break;
        fatCount = needFat;
        difatCount = needDifat;
    }

    std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatCount) * perSector, kCfbFree);
    std::uint32_t next = 0;
    auto allocate = [&](std::uint32_t count, std::vector<std::uint32_t>* out) {
        const std::uint32_t first = count ? next : kCfbEndOfChain;
        for (std::uint32_t k = 0; k < count; ++k) {
            fat[next] = k + 1 < count ? next + 1 : kCfbEndOfChain;
            if (out) out->push_back(next);
            ++next;
        }
        return first;
    };
    for (std::uint32_t k = 0; k < fatCount; ++k) {
        img.fatSectors.push_back(next);
        fat[next++] = kCfbFatSect;
    }
    for (std::uint32_t k = 0; k < difatCount; ++k) {
        img.difatSectors.push_back(next);
        fat[next++] = kCfbDifSect;
    }
    allocate(dirCount, &img.dirSectors);
    const std::uint32_t miniFatStart = allocate(miniFatCount, &img.miniFatSectors);
    std::vector<std::uint32_t> miniStreamSectors;
    entries[0].start = allocate(miniStreamCount, &miniStreamSectors);
    entries[0].size = mini.size();
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].type == 2 && !entries[i].mini)
            entries[i].start = allocate(sectorsFor(entries[i].size), nullptr);
    }

    const std::size_t headerSize = ss;
    img.bytes.assign(headerSize + std::size_t{next} * ss, 0);
    auto& b = img.bytes;
    const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), b.begin());
    PutU16(b, 24, 0x003E);
    PutU16(b, cfbh::kMajor, options.sectors4096 ? 4 : 3);
    PutU16(b, cfbh::kByteOrder, 0xFFFE);
    PutU16(b, cfbh::kSectorShift, options.sectors4096 ? 12 : 9);
    PutU16(b, cfbh::kMiniShift, 6);
    PutU32(b, cfbh::kDirSectorCount, options.sectors4096 ? dirCount : 0);
    PutU32(b, cfbh::kFatCount, fatCount);
    PutU32(b, cfbh::kFirstDir, img.dirSectors.front());
    PutU32(b, cfbh::kCutoff, 4096);
    PutU32(b, cfbh::kFirstMiniFat, miniFatStart);
    PutU32(b, cfbh::kMiniFatCount, miniFatCount);
    PutU32(b, cfbh::kFirstDifat, difatCount ? img.difatSectors.front() : kCfbEndOfChain);
    PutU32(b, cfbh::kDifatCount, difatCount);
    for (std::uint32_t k = 0; k < 109; ++k) {
        PutU32(b, cfbh::kDifat + 4 * k, k < fatCount ? img.fatSectors[k] : kCfbFree);
    }
    // DIFAT sectors: FAT sector numbers from the 110th on, the last slot linking onwards.
    for (std::uint32_t d = 0; d < difatCount; ++d) {
        const std::size_t at = img.SectorOffset(img.difatSectors[d]);
        for (std::uint32_t k = 0; k < perSector - 1; ++k) {
            const std::size_t index = 109 + std::size_t{d} * (perSector - 1) + k;
            PutU32(b, at + 4 * k, index < fatCount ? img.fatSectors[index] : kCfbFree);
        }
        PutU32(b, at + 4 * (perSector - 1),
               d + 1 < difatCount ? img.difatSectors[d + 1] : kCfbEndOfChain);
    }
    for (std::size_t s = 0; s < fat.size(); ++s)
        PutU32(b, img.FatEntryOffset(static_cast<std::uint32_t>(s)), fat[s]);

    // Directory entries; the unused tail of the last directory sector stays zero (type 0).
    for (std::size_t id = 0; id < entries.size(); ++id) {
        const FlatEntry& e = entries[id];
        const std::size_t at = img.EntryOffset(static_cast<std::uint32_t>(id));
        for (std::size_t k = 0; k < e.name.size() && k < 31; ++k) {
            PutU16(b, at + 2 * k, static_cast<std::uint8_t>(e.name[k]));
        }
        PutU16(b, at + cfbe::kNameLength,
               static_cast<std::uint32_t>((std::min<std::size_t>(e.name.size(), 31) + 1) * 2));
        b[at + cfbe::kType] = e.type;
        b[at + cfbe::kType + 1] = 1;  // black
        PutU32(b, at + cfbe::kLeft, e.left);
        PutU32(b, at + cfbe::kRight, e.right);
        PutU32(b, at + cfbe::kChild, e.child);
        PutU32(b, at + cfbe::kStart, e.type == 1 ? 0 : e.start);
        PutU32(b, at + cfbe::kSize, static_cast<std::uint32_t>(e.size));
        PutU32(b, at + cfbe::kSize + 4, static_cast<std::uint32_t>(e.size >> 32));
        img.entryNames.push_back(e.name);
        img.entryStart.push_back(e.start);
        img.entryMini.push_back(e.mini);
    }
    for (std::uint32_t id = static_cast<std::uint32_t>(entries.size()); id < dirCount * (ss / 128);
         ++id) {
        const std::size_t at = img.EntryOffset(id);
        PutU32(b, at + cfbe::kLeft, kCfbNoStream);
        PutU32(b, at + cfbe::kRight, kCfbNoStream);
        PutU32(b, at + cfbe::kChild, kCfbNoStream);
    }

    for (std::size_t k = 0; k < img.miniFatSectors.size() * perSector; ++k) {
        PutU32(b, img.MiniFatEntryOffset(static_cast<std::uint32_t>(k)),
               k < miniFat.size() ? miniFat[k] : kCfbFree);
    }
    for (std::size_t k = 0; k < mini.size(); ++k)
        b[img.SectorOffset(miniStreamSectors[k / ss]) + k % ss] = mini[k];
    for (const FlatEntry& e : entries) {
        if (e.type != 2 || e.mini || e.size == 0) continue;
        std::uint32_t s = e.start;
        for (std::size_t k = 0; k < e.size; k += ss) {
            const std::size_t n = std::min<std::size_t>(ss, e.size - k);
            std::copy_n(e.data->begin() + static_cast<std::ptrdiff_t>(k), n,
                        b.begin() + static_cast<std::ptrdiff_t>(img.SectorOffset(s)));
            s = fat[s];
        }
    }
    return img;
}

// The usual case: a file holding one workbook stream.
inline std::vector<std::uint8_t> BuildWorkbookFile(const std::vector<std::uint8_t>& stream,
                                                   const std::string& name = "Workbook") {
    return BuildCfb({CfbNode::Stream(name, stream)}).bytes;
}

inline void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace morvik::xls::testing
