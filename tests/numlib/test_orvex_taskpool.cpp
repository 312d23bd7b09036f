// The task runner: every task once on any thread count, the workers started once, nested and
// concurrent runs, cancel from another thread (also of a long reduction, whose outputs then
// stay unwritten), progress on the calling thread only, exceptions carried to the caller, and
// the reduction's result bit for bit the same on 1, 2 and 4 threads.
#include "orvex_math2.h"
#include "orvex_taskpool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace orvex;

namespace {

// Restores the library's thread count at the end of a test.
struct TThreadCountGuard {
  ~TThreadCountGuard() { SetMathThreadCount(0); }
};

// A tall random design of Rows x Cols with a target.
void FillDesign(TMatrix& A, TVector& B, int Rows, int Cols, unsigned Seed, bool Quick = false)
{
  if (Quick) {
    // Cheap pseudo-random values for a design that only has to be large.
    A.Resize(Cols, Rows);
    B.Resize(Rows);
    std::uint64_t x = Seed;
    for (int c = 1; c <= Cols; ++c)
      for (int r = 0; r < Rows; ++r) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        A.Column(c)[r] = static_cast<double>(x >> 40) * 0x1p-24;
      }
    for (int r = 0; r < Rows; ++r)
      B.Data()[r] = A.Column(1)[r] + 0.5 * A.Column(Cols)[r];
    return;
  }
  std::mt19937_64 gen(Seed);
  std::normal_distribution<double> dist(0.0, 1.0);
  A.Resize(Cols, Rows);
  B.Resize(Rows);
  for (int c = 1; c <= Cols; ++c)
    for (int r = 0; r < Rows; ++r)
      A.Column(c)[r] = dist(gen) * c;
  for (int r = 0; r < Rows; ++r)
    B.Data()[r] = A.Column(1)[r] - 2 * A.Column(Cols)[r] + dist(gen);
}

}  // namespace

TEST(TaskPool, EveryTaskRunsOnceOnAnyThreadCountWithWorkersStartedOnce)
{
  TTaskPool pool;
  EXPECT_EQ(pool.NrOfWorkers(), 0);
  for (const int threads : {1, 2, 4}) {
    for (const int count : {0, 1, 2, 3, 17, 1000}) {
      std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
      TTaskContext context;
      context.Threads = threads;
      EXPECT_TRUE(pool.Run(count, [&](int t) { runs[static_cast<std::size_t>(t)].fetch_add(1); }, context));
      for (int t = 0; t < count; ++t)
        ASSERT_EQ(runs[static_cast<std::size_t>(t)].load(), 1) << "threads " << threads << " count " << count << " task " << t;
    }
    // One thread, or one task, never starts a worker; more threads start threads - 1 at most.
    EXPECT_EQ(pool.NrOfWorkers(), threads - 1) << threads;
  }
  // A later run with fewer threads reuses the workers it has.
  TTaskContext two;
  two.Threads = 2;
  for (int k = 0; k < 50; ++k)
    pool.Run(8, [](int) {}, two);
  EXPECT_EQ(pool.NrOfWorkers(), 3);

  // The tasks of a run with several threads do run on other threads too.
  TTaskContext four;
  four.Threads = 4;
  std::atomic<int> others{0};
  const std::thread::id caller = std::this_thread::get_id();
  pool.Run(
      64,
      [&](int) {
        if (std::this_thread::get_id() != caller)
          others.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      },
      four);
  EXPECT_GT(others.load(), 0);
}

TEST(TaskPool, NestedAndConcurrentRunsComplete)
{
  TTaskPool pool;
  TTaskContext context;
  context.Threads = 2;
  // A run started from a task does its tasks on that task's thread.
  std::vector<std::atomic<int>> inner(8 * 8);
  pool.Run(
      8,
      [&](int outer) {
        const std::thread::id here = std::this_thread::get_id();
        pool.Run(
            8,
            [&](int t) {
              EXPECT_EQ(std::this_thread::get_id(), here);
              inner[static_cast<std::size_t>(outer * 8 + t)].fetch_add(1);
            },
            context);
      },
      context);
  for (const std::atomic<int>& n : inner)
    EXPECT_EQ(n.load(), 1);

  // Runs from several threads at once, on the shared pool: each sums its own tasks.
  std::vector<long long> sums(4, 0);
  std::vector<std::thread> callers;
  for (int k = 0; k < 4; ++k)
    callers.emplace_back([&, k] {
      for (int rep = 0; rep < 20; ++rep) {
        std::vector<long long> parts(100);
        ForEachMathTask(100, [&](int t) { parts[static_cast<std::size_t>(t)] = t * (k + 1); });
        long long s = 0;
        for (long long p : parts)
          s += p;
        sums[static_cast<std::size_t>(k)] += s;
      }
    });
  for (std::thread& c : callers)
    c.join();
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(sums[static_cast<std::size_t>(k)], 20LL * 4950 * (k + 1)) << k;
}

TEST(TaskPool, CancelProgressAndExceptions)
{
  TTaskPool pool;
  for (const int threads : {1, 2}) {
    // The flag set from another thread once the run is under way: the tasks not yet started
    // are skipped and the run says so.
    std::atomic<bool> cancel{false};
    std::atomic<int> started{0};
    TTaskContext context;
    context.Threads = threads;
    context.Cancel = &cancel;
    std::thread canceller([&] {
      while (started.load() < 3)
        std::this_thread::yield();
      cancel.store(true);
    });
    const bool complete = pool.Run(
        10000,
        [&](int) {
          started.fetch_add(1);
          std::this_thread::sleep_for(std::chrono::microseconds(100));
        },
        context);
    canceller.join();
    EXPECT_FALSE(complete) << threads;
    EXPECT_LT(started.load(), 10000) << threads;

    // Progress: on the calling thread only, 1, 2, ... in order; true stops the run.
    std::vector<int> seen;
    const std::thread::id caller = std::this_thread::get_id();
    bool otherThread = false;
    TTaskContext progress;
    progress.Threads = threads;
    progress.Progress = [&](int Finished) {
      otherThread = otherThread || std::this_thread::get_id() != caller;
      seen.push_back(Finished);
      return false;
    };
    EXPECT_TRUE(pool.Run(300, [](int) {}, progress));
    ASSERT_EQ(seen.size(), 300u) << threads;
    for (int k = 0; k < 300; ++k)
      ASSERT_EQ(seen[static_cast<std::size_t>(k)], k + 1);
    EXPECT_FALSE(otherThread);
    std::atomic<int> ran{0};
    progress.Progress = [](int Finished) { return Finished >= 5; };
    EXPECT_FALSE(pool.Run(
        100000,
        [&](int) {
          ran.fetch_add(1);
          std::this_thread::sleep_for(std::chrono::microseconds(20));
        },
        progress));
    EXPECT_LT(ran.load(), 100000);

    // A task's exception reaches the caller after the others stopped; the pool stays usable.
    TTaskContext plain;
    plain.Threads = threads;
    EXPECT_THROW(pool.Run(
                     50,
                     [](int t) {
                       if (t == 7)
                         throw std::runtime_error("task 7");
                     },
                     plain),
                 std::runtime_error);
    // So does an exception of the progress callback, with no task left running behind it.
    std::atomic<int> running{0};
    TTaskContext throwing;
    throwing.Threads = threads;
    throwing.Progress = [](int Finished) -> bool {
      if (Finished == 3)
        throw std::runtime_error("progress 3");
      return false;
    };
    EXPECT_THROW(pool.Run(
                     10000,
                     [&](int) {
                       running.fetch_add(1);
                       std::this_thread::sleep_for(std::chrono::microseconds(20));
                       running.fetch_sub(1);
                     },
                     throwing),
                 std::runtime_error);
    EXPECT_EQ(running.load(), 0);
    std::atomic<int> after{0};
    EXPECT_TRUE(pool.Run(50, [&](int) { after.fetch_add(1); }, plain));
    EXPECT_EQ(after.load(), 50);
  }
}

TEST(TaskPool, ReductionIsIdenticalOnOneTwoAndFourThreadsAndCancelsFromAnotherThread)
{
  TThreadCountGuard guard;
  TMatrix A;
  TVector B;
  // 9 blocks of rows, the last one partial.
  FillDesign(A, B, 8 * 8192 + 1234, 7, 5);
  TMatrix R[3];
  TVector QtB[3];
  double rho[3] = {0, 0, 0};
  const int threads[3] = {1, 2, 4};
  for (int k = 0; k < 3; ++k) {
    TTaskContext context;
    context.Threads = threads[k];
    int steps = 0;
    context.Progress = [&](int) {
      ++steps;
      return false;
    };
    ASSERT_TRUE(ReduceToTriangle(A, B, R[k], QtB[k], rho[k], context));
    EXPECT_EQ(steps, 9) << threads[k];
  }
  for (int k = 1; k < 3; ++k) {
    EXPECT_EQ(rho[k], rho[0]) << threads[k];
    for (int c = 1; c <= 7; ++c) {
      EXPECT_EQ(QtB[k].Elem(c), QtB[0].Elem(c)) << threads[k];
      for (int r = 1; r <= 7; ++r)
        EXPECT_EQ(R[k].Elem(c, r), R[0].Elem(c, r)) << threads[k] << " " << c << " " << r;
    }
  }
  // The whole regression through the library's thread count gives the same bits as well.
  std::vector<double> first;
  for (const int t : threads) {
    SetMathThreadCount(t);
    TMatrix a;
    a.Assign(A);
    TVector X, Sig;
    X.Resize(7);
    Sig.Resize(7);
    bool ns = false;
    ASSERT_TRUE(MultiLinearRegression(a, B, X, &Sig, ns));
    std::vector<double> got(X.Data(), X.Data() + 7);
    got.insert(got.end(), Sig.Data(), Sig.Data() + 7);
    if (first.empty())
      first = got;
    EXPECT_EQ(got, first) << t;
  }

  // A long reduction (about 2.4 million rows) cancelled from another thread as soon as its
  // first block is done: false, and the outputs keep what they held.
  TMatrix big;
  TVector bigB;
  FillDesign(big, bigB, 300 * 8192, 4, 6, true);
  for (const int t : {1, 2}) {
    TMatrix r;
    r.Resize(2, 2);
    r.SetElem(1, 1, 42.0);
    TVector q;
    q.SetElem(1, 43.0);
    double norm = 44.0;
    std::atomic<bool> cancel{false};
    std::atomic<int> done{0};
    TTaskContext context;
    context.Threads = t;
    context.Cancel = &cancel;
    context.Progress = [&](int Finished) {
      done.store(Finished);
      // The first step waits for the other thread's cancel, so that a busy machine that does
      // not schedule that thread cannot let the whole reduction finish first.
      while (Finished == 1 && !cancel.load())
        std::this_thread::yield();
      return false;
    };
    std::thread canceller([&] {
      while (done.load() == 0)
        std::this_thread::yield();
      cancel.store(true);
    });
    EXPECT_FALSE(ReduceToTriangle(big, bigB, r, q, norm, context)) << t;
    canceller.join();
    EXPECT_LT(done.load(), 300) << t;
    EXPECT_EQ(r.NrOfColumns(), 2);
    EXPECT_EQ(r.Elem(1, 1), 42.0);
    EXPECT_EQ(q.NrOfElem(), 1);
    EXPECT_EQ(q.Elem(1), 43.0);
    EXPECT_EQ(norm, 44.0);
  }
}
