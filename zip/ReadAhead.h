// Inflating a part on a thread of its own while its reader parses what came before.
//
// Reads answer what the entry's stream would have answered to the same calls, or raise
// EReadAheadRetry: a window of bytes is handed out only once the stream has gone past its end
// without fault (or ended whole, its checksum matching), which is exactly when reading the
// stream directly with that call would have succeeded. When the stream fails, the reader is
// to read the part again directly, so that the fault shows where and as it would there.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "XmlReader.h"

namespace morvik::zip {

class TZipStream;

// Not an Error: no reader's handler for damaged input may take it for its own.
struct EReadAheadRetry {};

class TReadAheadSource final : public TByteSource {
  public:
    // `stream` must outlive this source and is read by its thread only.
    explicit TReadAheadSource(TZipStream& stream);
    ~TReadAheadSource() override;
    TReadAheadSource(const TReadAheadSource&) = delete;
    TReadAheadSource& operator=(const TReadAheadSource&) = delete;

    std::size_t Read(char* out, std::size_t size) override;

  private:
    void Produce();

    TZipStream& stream_;
    const std::uint64_t size_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> ready_;  // inflated chunks not yet handed out, in order
    std::vector<std::string> spare_;
    std::uint64_t inflated_ = 0;  // bytes the stream has answered without fault
    bool ended_ = false;          // the stream answered its end: all checks passed
    bool failed_ = false;
    bool stop_ = false;
    // The reader's side.
    std::uint64_t position_ = 0;
    std::size_t chunkAt_ = 0;  // into ready_.front()
    std::thread thread_;
};

}  // namespace morvik::zip
