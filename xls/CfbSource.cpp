#include <algorithm>

#include "CfbVolume.h"

namespace morvik::xls::cfb {
namespace {

class MemoryBytes final : public Source {
  public:
    explicit MemoryBytes(std::span<const std::uint8_t> bytes)
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
class FileBytes final : public Source {
  public:
    FileBytes(std::ifstream in, std::uint64_t size)
        : in_(std::move(in)), size_(size), block_(kBlock) {}
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
        if (offset >= size_) return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
        // A block's worth or more (a stream's read window) goes straight to the caller:
        // passing it through the block would copy every byte of a large stream once more.
        if (n >= kBlock) return ReadDirect(offset, out, n);
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

    std::size_t ReadDirect(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        if (!in_) return 0;
        in_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
        return static_cast<std::size_t>(std::max<std::streamsize>(in_.gcount(), 0));
    }

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

}  // namespace

std::unique_ptr<Source> MemorySource(std::span<const std::uint8_t> bytes) {
    return std::make_unique<MemoryBytes>(bytes);
}

std::unique_ptr<Source> FileSource(std::ifstream in, std::uint64_t size) {
    return std::make_unique<FileBytes>(std::move(in), size);
}

}  // namespace morvik::xls::cfb
