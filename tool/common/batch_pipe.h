// Work one thread hands to a thread of the pipe's own, item by item, to be
// done in order while the first goes on with its own work.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace hlr_tool {

// One thread (the producer) pushes items; the pipe's thread calls `use` on
// them in batches of `batch_size`, in the order they were pushed, so `use`
// may keep state from one item to the next exactly as a loop on the
// producer's thread would. finish() hands on what was pushed and waits
// until all of it is used; only after it may the producer read what `use`
// built. Batches are reused, and a producer that runs ahead waits once
// `waiting_batches` are handed on and not yet used, so the pipe holds a
// few batches, however many items pass and whichever side is faster.
//
// A failure of `use` stops the use: the rest of the items are dropped and
// finish() rethrows it. The thread starts with the first full batch; where
// the system refuses a thread, the producer uses each batch itself as it
// hands it on. Neither push() nor finish() may be called from two threads
// at once.
template <class Item>
class Batch_Pipe {
 public:
  using Use = std::function<void(std::span<const Item>)>;

  Batch_Pipe(Use use, std::size_t batch_size) : use_(std::move(use)), batch_size_(batch_size) {
    filling_.reserve(batch_size_);
  }

  // Waits for the thread; a failure not yet rethrown is dropped.
  ~Batch_Pipe() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  Batch_Pipe(const Batch_Pipe&) = delete;
  Batch_Pipe& operator=(const Batch_Pipe&) = delete;

  void push(const Item& item) {
    filling_.push_back(item);
    if (filling_.size() == batch_size_) hand_on();
  }

  void finish() {
    if (!filling_.empty()) hand_on();
    std::unique_lock<std::mutex> lock(mutex_);
    used_.wait(lock, [&] { return handed_.empty() && !using_; });
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  static constexpr std::size_t waiting_batches = 4;

  void hand_on() {
    std::vector<Item> next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!alone_) used_.wait(lock, [&] { return handed_.size() < waiting_batches; });
      handed_.push_back(std::move(filling_));
      if (!spare_.empty()) {
        next = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    filling_ = std::move(next);
    filling_.reserve(batch_size_);
    if (!thread_.joinable() && !alone_) {
      try {
        thread_ = std::thread([this] { run(); });
      } catch (const std::system_error&) {
        alone_ = true;
      }
    }
    if (alone_) {
      use_handed();
      return;
    }
    ready_.notify_one();
  }

  // Uses the handed batches on the calling thread (the pipe's own has none).
  void use_handed() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!handed_.empty()) use_front(lock);
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ready_.wait(lock, [&] { return stopping_ || !handed_.empty(); });
      if (handed_.empty()) return;
      use_front(lock);
      // The producer waits for room, or (in finish) for nothing left.
      used_.notify_all();
    }
  }

  // Takes the first handed batch and uses it with the lock let go.
  void use_front(std::unique_lock<std::mutex>& lock) {
    std::vector<Item> batch = std::move(handed_.front());
    handed_.pop_front();
    const bool failed = failure_ != nullptr;
    using_ = true;
    lock.unlock();
    std::exception_ptr failure;
    if (!failed) {
      try {
        use_(batch);
      } catch (...) {
        failure = std::current_exception();
      }
    }
    batch.clear();
    lock.lock();
    using_ = false;
    if (failure) failure_ = failure;
    spare_.push_back(std::move(batch));
  }

  Use use_;
  std::size_t batch_size_;
  std::vector<Item> filling_;  // the producer's alone

  std::mutex mutex_;
  std::condition_variable ready_;  // a batch handed on, or stopping
  std::condition_variable used_;   // a batch used
  std::deque<std::vector<Item>> handed_;
  std::vector<std::vector<Item>> spare_;
  std::exception_ptr failure_;
  bool using_ = false;
  bool stopping_ = false;
  bool alone_ = false;  // no thread of its own: the producer uses the batches
  std::thread thread_;
};

}  // namespace hlr_tool
