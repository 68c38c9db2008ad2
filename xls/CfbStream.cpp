#include <algorithm>

#include "CfbVolume.h"

namespace morvik::xls::cfb {

std::unique_ptr<TCFileStream> Volume::OpenStream(const DirEntry& entry) {
    std::uint64_t size = entry.size;
    const bool mini = size < kMiniStreamCutoff;
    std::vector<std::uint32_t> sectors;
    if (size > 0) {
        const std::uint32_t shift = mini ? kMiniSectorShift : sectorShift_;
        const std::uint64_t wanted = ((size - 1) >> shift) + 1;
        const ChainEnd end =
            mini ? Follow(miniFat_, miniClaimed_, miniSectorsPresent_, entry.start, wanted, sectors)
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
    return std::make_unique<TCFileStream>(entry.name, shared_from_this(), mini, std::move(sectors),
                                          size);
}
}  // namespace morvik::xls::cfb

namespace morvik::xls {

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

}  // namespace morvik::xls
