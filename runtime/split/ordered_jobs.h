// Running numbered tasks on a few threads and taking their results in task
// order: the way splits of a file are ripped in parallel and printed as one
// whole-file rip would print them. Memory stays bounded: a task starts only
// when it is fewer than `window` tasks ahead of the next result taken.
// runOrdered itself is called from one thread; work runs on the pool's
// threads (each knows its worker number, to use state of its own); consume
// runs on the calling thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kova::runtime {

// The number of threads for a requested count: 0 means one per core.
unsigned jobThreads(unsigned requested);

// Runs work(worker, task) for task 0 .. count-1 on `threads` threads
// (worker 0 .. threads-1) and hands each result to consume(task, result) in
// task order. When consume returns false no later result is consumed, no
// further task starts, and runOrdered returns false once the running tasks
// have finished; true when every result was consumed.
template <class Result>
bool runOrdered(size_t count, unsigned threads, size_t window,
                const std::function<Result(unsigned worker, size_t task)>& work,
                const std::function<bool(size_t task, Result& result)>& consume) {
  if (threads == 0) threads = 1;
  if (window < threads) window = threads;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<Result>> results(count);
  size_t nextTask = 0;
  size_t nextResult = 0;
  bool stopped = false;

  auto worker = [&](unsigned self) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock,
                   [&] { return stopped || nextTask >= count || nextTask < nextResult + window; });
      if (stopped || nextTask >= count) return;
      const size_t task = nextTask++;
      lock.unlock();
      Result result = work(self, task);
      lock.lock();
      results[task].emplace(std::move(result));
      changed.notify_all();
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(threads);
  for (unsigned i = 0; i < threads; ++i) pool.emplace_back(worker, i);

  bool complete = true;
  for (size_t task = 0; task < count; ++task) {
    std::optional<Result> result;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return results[task].has_value(); });
      result.swap(results[task]);
    }
    const bool goOn = consume(task, *result);
    std::lock_guard<std::mutex> lock(mutex);
    ++nextResult;
    if (!goOn) {
      stopped = true;
      complete = false;
    }
    changed.notify_all();
    if (!goOn) break;
  }
  for (std::thread& thread : pool) thread.join();
  return complete;
}

}  // namespace kova::runtime
