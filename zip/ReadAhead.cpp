#include "ReadAhead.h"

#include <algorithm>
#include <cstring>

#include "ZipArchive.h"

namespace morvik::zip {
namespace {
constexpr std::size_t kChunk = 1u << 20;
// Chunks inflated ahead of the reader at most.
constexpr std::size_t kChunksAhead = 8;
}  // namespace

TReadAheadSource::TReadAheadSource(TZipStream& stream) : stream_(stream), size_(stream.Size()) {
    thread_ = std::thread([this] { Produce(); });
}

TReadAheadSource::~TReadAheadSource() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TReadAheadSource::Produce() {
    // Whatever goes wrong here (a fault of the stream, memory) only ends the reading ahead:
    // the reader then reads directly, where it meets the same trouble in its own turn.
    try {
        for (;;) {
            std::string chunk;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || ready_.size() < kChunksAhead; });
                if (stop_) return;
                if (!spare_.empty()) {
                    chunk = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            chunk.resize(kChunk);
            const std::size_t got = stream_.Read(chunk.data(), chunk.size());
            chunk.resize(got);
            std::lock_guard lock(mutex_);
            if (got == 0) {
                ended_ = true;
            } else {
                ready_.push_back(std::move(chunk));
                inflated_ += got;
            }
            changed_.notify_all();
            if (got == 0) return;
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        failed_ = true;
        changed_.notify_all();
    }
}

std::size_t TReadAheadSource::Read(char* out, std::size_t size) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - position_));
    if (want == 0) return 0;  // the window before reached the end, which the stream passed
    const std::uint64_t end = position_ + want;
    std::size_t copied = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        // What is at hand first: the window may be larger than the chunks kept ahead.
        while (copied < want && !ready_.empty()) {
            std::string& front = ready_.front();
            const std::size_t n = std::min(want - copied, front.size() - chunkAt_);
            std::memcpy(out + copied, front.data() + chunkAt_, n);
            copied += n;
            chunkAt_ += n;
            if (chunkAt_ == front.size()) {
                spare_.push_back(std::move(front));
                ready_.pop_front();
                chunkAt_ = 0;
                changed_.notify_all();
            }
        }
        // Handed out once the stream went past the window's end, or ended right there.
        if (copied == want && (inflated_ > end || (ended_ && inflated_ == end))) break;
        if (failed_ || ended_) throw EReadAheadRetry{};
        changed_.wait(lock);
    }
    position_ = end;
    return want;
}

}  // namespace morvik::zip
