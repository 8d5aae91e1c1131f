// The worker pool: items handed from one producer to a few worker threads
// through a bounded queue, so that only a few items (records, with their
// bytes) are in memory at a time whatever the producer finds.
#pragma once

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
