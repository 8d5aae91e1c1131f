// The worker pool: items handed from one producer to a few worker threads
// through a bounded queue, so that only a few items (records, with their
// bytes) are in memory at a time whatever the producer finds; and the budget
// of bytes that the producer and the workers hold together.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace batch {

// A queue that holds at most `capacity` items: push waits while it is full,
// pop waits while it is empty and gives nullopt once it is closed and empty.
template <class Item>
class BoundedQueue {
 public:
  explicit BoundedQueue(std::size_t capacity) : capacity_(capacity) {}

  void push(Item&& item) {
    std::unique_lock lock(mutex_);
    not_full_.wait(lock, [&] { return items_.size() < capacity_; });
    items_.push_back(std::move(item));
    not_empty_.notify_one();
  }

  [[nodiscard]] std::optional<Item> pop() {
    std::unique_lock lock(mutex_);
    not_empty_.wait(lock, [&] { return !items_.empty() || closed_; });
    if (items_.empty()) return std::nullopt;
    Item item = std::move(items_.front());
    items_.pop_front();
    not_full_.notify_one();
    return item;
  }

  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    not_empty_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable not_empty_, not_full_;
  std::deque<Item> items_;
  std::size_t capacity_;
  bool closed_ = false;
};

// Bytes held at once by a producer and its workers, in total: taken before
// they are read, given back once they are let go.
//   ByteBudget budget(100); budget.try_take(60) → true; budget.try_take(60) → false;
//   budget.give_back(60); budget.try_take(60) → true
class ByteBudget {
 public:
  explicit ByteBudget(std::size_t limit) : limit_(limit) {}

  [[nodiscard]] std::size_t limit() const { return limit_; }

  // True, with the bytes taken, when they fit now.
  [[nodiscard]] bool try_take(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    return take_locked(bytes);
  }

  // Waits until `bytes` fit, or until the bytes held are no more than `own`
  // (those of the caller, which only the caller can let go): true with the
  // bytes taken, false when only the caller's own bytes stand in the way.
  [[nodiscard]] bool take_or_wait(std::size_t bytes, std::size_t own) {
    std::unique_lock lock(mutex_);
    given_back_.wait(lock, [&] { return fits(bytes) || held_ <= own; });
    return take_locked(bytes);
  }

  void give_back(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    held_ -= std::min(bytes, held_);
    given_back_.notify_all();
  }

  [[nodiscard]] std::size_t held() const {
    std::lock_guard lock(mutex_);
    return held_;
  }

 private:
  bool fits(std::size_t bytes) const { return bytes <= limit_ && held_ <= limit_ - bytes; }
  bool take_locked(std::size_t bytes) {
    if (!fits(bytes)) return false;
    held_ += bytes;
    return true;
  }

  mutable std::mutex mutex_;
  std::condition_variable given_back_;
  std::size_t limit_;
  std::size_t held_ = 0;
};

// Runs `work` on `workers` threads over every item that `produce` gives
// (on the calling thread) to the function it is passed, at most two items a
// worker waiting; returns when every item is done. `work` runs on several
// threads at once.
//   run_pool<int>(2, [](auto& give) { for (int i = 0; i < 5; ++i) give(int(i)); }, add_to_a_total)
//   → add_to_a_total called 5 times, on 2 threads
template <class Item>
void run_pool(unsigned workers, const std::function<void(const std::function<void(Item&&)>&)>& produce,
              const std::function<void(Item&&)>& work) {
  BoundedQueue<Item> queue(2 * static_cast<std::size_t>(workers));
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      while (std::optional<Item> item = queue.pop()) work(std::move(*item));
    });
  }
  produce([&queue](Item&& item) { queue.push(std::move(item)); });
  queue.close();
  for (std::thread& thread : threads) thread.join();
}

}  // namespace batch
