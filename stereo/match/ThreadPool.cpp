#include "match/ThreadPool.h"

#include <algorithm>
#include <exception>

ThreadPool::ThreadPool(unsigned workers) : m_shared(std::make_shared<Shared>()) {
  resize(workers);
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard<std::mutex> lock(m_shared->queueMutex);
    m_shared->stopping.store(true);
  }
  m_shared->wakeUp.notify_all();
  for (auto& worker : m_workers) {
    if (!worker->joinable()) continue;
    // A task that destroys its own pool: that worker cannot wait for itself;
    // it finishes on its own and the shared state outlives it.
    if (worker->get_id() == std::this_thread::get_id())
      worker->detach();
    else
      worker->join();
  }
}

void ThreadPool::submit(std::function<void()> task) {
  if (m_shared->stopping.load()) return;
  {
    std::lock_guard<std::mutex> lock(m_shared->queueMutex);
    m_shared->tasks.push(std::make_shared<std::function<void()>>(std::move(task)));
  }
  m_shared->wakeUp.notify_one();
}

namespace {

// Indices handed out one at a time to whichever thread asks first. Helper
// tasks that start after the last index is taken end without calling the
// body, so they may outlive the forEach call (and the body) that queued them.
struct SharedLoop {
  SharedLoop(unsigned count, const std::function<void(unsigned)>& body)
      : count(count), body(&body) {}

  void runAvailable() {
    for (unsigned i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
      try {
        (*body)(i);
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) failure = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex);
      if (++finished == count) allFinished.notify_all();
    }
  }

  const unsigned count;
  const std::function<void(unsigned)>* body;  // only called for a taken index
  std::atomic<unsigned> next{0};
  std::mutex mutex;
  std::condition_variable allFinished;
  unsigned finished = 0;  // guarded by mutex
  std::exception_ptr failure;  // guarded by mutex
};

}  // namespace

void ThreadPool::forEach(unsigned count, const std::function<void(unsigned)>& body) {
  if (count == 0) return;
  const auto loop = std::make_shared<SharedLoop>(count, body);
  const unsigned helpers = std::min(count - 1, size());
  for (unsigned i = 0; i < helpers; ++i) submit(std::function<void()>([loop] { loop->runAvailable(); }));
  loop->runAvailable();
  std::unique_lock<std::mutex> lock(loop->mutex);
  loop->allFinished.wait(lock, [&] { return loop->finished == count; });
  if (loop->failure) std::rethrow_exception(loop->failure);
}

void ThreadPool::resize(unsigned n) {
  if (m_shared->stopping.load() || n == 0 || n == size()) return;
  const unsigned current = size();
  if (n > current) {
    for (unsigned i = current; i < n; ++i) {
      auto stop = std::make_shared<std::atomic<bool>>(false);
      m_stopFlags.push_back(stop);
      m_workers.push_back(std::make_shared<std::thread>(&ThreadPool::workerThread, m_shared, stop));
    }
    return;
  }
  for (unsigned i = current; i-- > n;) {
    {
      std::lock_guard<std::mutex> lock(m_shared->queueMutex);
      m_stopFlags[i]->store(true);
    }
    m_workers[i]->detach();
  }
  m_shared->wakeUp.notify_all();
  m_workers.resize(n);
  m_stopFlags.resize(n);
}

void ThreadPool::waitUntilIdle(unsigned n) const {
  std::unique_lock<std::mutex> lock(m_shared->idleMutex);
  m_shared->idle.wait(lock, [&] { return m_shared->idleCount.load() >= n; });
}

void ThreadPool::workerThread(std::shared_ptr<Shared> shared,
                              std::shared_ptr<std::atomic<bool>> stop) {
  for (;;) {
    for (;;) {
      std::shared_ptr<std::function<void()>> task;
      {
        std::lock_guard<std::mutex> lock(shared->queueMutex);
        if (shared->tasks.empty()) break;
        task = shared->tasks.front();
        shared->tasks.pop();
      }
      try {
        (*task)();
      } catch (...) {
        // Only tasks without result get here; nobody waits for their outcome.
      }
      if (stop->load()) return;
    }
    {
      std::lock_guard<std::mutex> lock(shared->idleMutex);
      ++shared->idleCount;
    }
    shared->idle.notify_all();
    std::unique_lock<std::mutex> lock(shared->queueMutex);
    shared->wakeUp.wait(lock, [&] {
      return !shared->tasks.empty() || shared->stopping.load() || stop->load();
    });
    --shared->idleCount;
    if (shared->tasks.empty()) return;
  }
}
