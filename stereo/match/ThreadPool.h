// Worker pool of the stereo engine: a first-in first-out task queue served by
// a resizable set of threads.
//
// Workers that are removed by a shrink are detached and may still be running a
// task; they end after it. The queue, their stop flags and the condition
// variables live in a shared state that every worker co-owns, so it stays valid
// until the last of them has ended. The destructor lets the workers finish the
// queued tasks before they end.
#ifndef STELOX_MATCH_THREADPOOL_H
#define STELOX_MATCH_THREADPOOL_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

class ThreadPool {
public:
  explicit ThreadPool(unsigned workers);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Queues a task without result; dropped once the pool is stopping. A task
  // that throws loses its exception (use the future-returning form to see it).
  void submit(std::function<void()> task);

  // Queues a task and returns the future of its result (or of its exception);
  // an empty future once the pool is stopping.
  template <class F, class R = std::invoke_result_t<F&>>
  std::future<R> submit(F function) {
    if (m_shared->stopping.load()) return std::future<R>();
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(function));
    std::future<R> result = task->get_future();
    submit(std::function<void()>([task] { (*task)(); }));
    return result;
  }

  // Runs body(0) ... body(count - 1) on the calling thread and on up to
  // count - 1 workers, and returns when all have finished. The calling thread
  // runs every index no worker has taken yet, so the call completes whatever
  // the pool's size or load, also from inside a task of this pool. The first
  // exception of a body is raised again here, after all bodies have ended.
  void forEach(unsigned count, const std::function<void(unsigned)>& body);

  // Grows or shrinks to n workers; nothing for n = 0, the current size, or a
  // stopping pool.
  void resize(unsigned n);

  unsigned size() const { return static_cast<unsigned>(m_workers.size()); }
  // Workers currently waiting for work.
  unsigned idleCount() const { return m_shared->idleCount.load(); }
  // Blocks until at least n workers wait for work.
  void waitUntilIdle(unsigned n) const;

private:
  struct Shared {
    std::mutex queueMutex;  // guards the queue; idle workers sleep on it
    std::queue<std::shared_ptr<std::function<void()>>> tasks;
    std::condition_variable wakeUp;
    std::mutex idleMutex;
    std::condition_variable idle;  // broadcast whenever a worker becomes idle
    std::atomic<bool> stopping{false};
    std::atomic<unsigned> idleCount{0};
  };

  static void workerThread(std::shared_ptr<Shared> shared,
                           std::shared_ptr<std::atomic<bool>> stop);

  std::shared_ptr<Shared> m_shared;
  std::vector<std::shared_ptr<std::thread>> m_workers;
  std::vector<std::shared_ptr<std::atomic<bool>>> m_stopFlags;
};

#endif
