#include <algorithm>
#include <iterator>

#include "CfbVolume.h"
#include "text/ByteReader.h"
#include "text/Cp1250.h"

namespace morvik::xls::cfb {

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

void Volume::ReadDirectory() {
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
}  // namespace morvik::xls::cfb

namespace morvik::xls {

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

}  // namespace morvik::xls
