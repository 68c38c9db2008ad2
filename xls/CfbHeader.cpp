#include <algorithm>

#include "CfbVolume.h"
#include "text/ByteReader.h"

namespace morvik::xls::cfb {

void Volume::ReadHeader() {
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
}  // namespace morvik::xls::cfb
