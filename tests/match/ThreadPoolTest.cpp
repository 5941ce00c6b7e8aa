// Worker pool: queue order, resizing under load, destruction with queued
// tasks and exceptions carried to the caller.
#include "match/ThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(ThreadPool, ResultsAndExceptionsReachTheCaller) {
  ThreadPool pool(2);
  std::future<int> value = pool.submit([] { return 6 * 7; });
  std::future<int> failure = pool.submit([]() -> int { throw std::runtime_error("band failed"); });
  EXPECT_EQ(value.get(), 42);
  EXPECT_THROW(failure.get(), std::runtime_error);
  // A task without result that throws does not take its worker down.
  pool.submit(std::function<void()>([] { throw std::runtime_error("ignored"); }));
  EXPECT_EQ(pool.submit([] { return 1; }).get(), 1);
}

TEST(ThreadPool, ShrinkingAndGrowingUnderLoadLosesNoTask) {
  ThreadPool pool(4);
  std::atomic<int> done{0};
  std::vector<std::future<int>> results;
  for (int i = 0; i < 300; ++i) {
    results.push_back(pool.submit([i, &done] {
      std::this_thread::sleep_for(200us);
      ++done;
      return i;
    }));
    if (i == 50) pool.resize(1);
    if (i == 120) pool.resize(3);
    if (i == 200) pool.resize(2);
  }
  EXPECT_EQ(pool.size(), 2u);
  for (int i = 0; i < 300; ++i) EXPECT_EQ(results[i].get(), i);
  EXPECT_EQ(done.load(), 300);
  pool.waitUntilIdle(2);
  EXPECT_GE(pool.idleCount(), 2u);
}

TEST(ThreadPool, ShrinkLetsARunningTaskFinish) {
  ThreadPool pool(2);
  std::atomic<bool> release{false};
  std::vector<std::future<int>> running;
  for (int i = 0; i < 2; ++i)
    running.push_back(pool.submit([&release, i] {
      while (!release.load()) std::this_thread::sleep_for(1ms);
      return i;
    }));
  pool.resize(1);
  release.store(true);
  EXPECT_EQ(running[0].get(), 0);
  EXPECT_EQ(running[1].get(), 1);
  EXPECT_EQ(pool.submit([] { return 5; }).get(), 5);
}

TEST(ThreadPool, DestructionRunsTheQueuedTasks) {
  std::atomic<int> done{0};
  std::atomic<bool> release{false};
  std::thread releaser;
  {
    ThreadPool pool(1);
    pool.submit(std::function<void()>([&release] {
      while (!release.load()) std::this_thread::sleep_for(1ms);
    }));
    for (int i = 0; i < 20; ++i) pool.submit(std::function<void()>([&done] { ++done; }));
    releaser = std::thread([&release] {
      std::this_thread::sleep_for(20ms);
      release.store(true);
    });
  }
  EXPECT_EQ(done.load(), 20);
  releaser.join();
}
