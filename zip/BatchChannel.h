// Batches of work on their way from a part's parser, running on a thread of its own, to the
// thread that owns the workbook model. The parser may run a bounded number of batches ahead;
// the consumer takes them in order and then learns how the parser ended.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

namespace morvik::zip {

// Thrown in the producer when the consumer has given up (Cancel): the producer just returns.
struct TChannelCancelled {};

template <class Batch>
class TBatchChannel {
  public:
    explicit TBatchChannel(std::size_t maxAhead) : maxAhead_(maxAhead) {}

    // Producer: hands `batch` over (leaving it empty), waiting while the consumer is
    // `maxAhead` batches behind; TChannelCancelled once cancelled.
    void Put(Batch& batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return cancelled_ || batches_.size() < maxAhead_; });
        if (cancelled_) throw TChannelCancelled{};
        batches_.push_back(std::move(batch));
        batch.clear();
        changed_.notify_all();
    }
    // Producer: done; `error` is what ended it, null when it read everything.
    void Finish(std::exception_ptr error) {
        std::lock_guard lock(mutex_);
        finished_ = true;
        error_ = std::move(error);
        changed_.notify_all();
    }

    // Consumer: the next batch into `batch`; false when the producer is done and every batch
    // has been taken.
    bool Take(Batch& batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return finished_ || !batches_.empty(); });
        if (batches_.empty()) return false;
        batch = std::move(batches_.front());
        batches_.pop_front();
        changed_.notify_all();
        return true;
    }
    // Consumer, after Take answered false: rethrows what ended the producer, if anything did.
    void RethrowError() {
        std::exception_ptr error;
        {
            std::lock_guard lock(mutex_);
            error = error_;
        }
        if (error) std::rethrow_exception(error);
    }
    // Consumer: the producer's next Put throws TChannelCancelled, a waiting one at once.
    void Cancel() {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        changed_.notify_all();
    }

  private:
    const std::size_t maxAhead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> batches_;
    bool finished_ = false;
    bool cancelled_ = false;
    std::exception_ptr error_;
};

}  // namespace morvik::zip
