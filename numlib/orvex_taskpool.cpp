// The task runner: workers wait for a posted run, take task numbers from a shared counter and
// leave when none is left; the calling thread takes tasks beside them, reports progress, then
// waits until the last worker has left before the run's state may change again.
#include "orvex_taskpool.h"

#include <algorithm>

#include <unistd.h>

namespace orvex {

namespace {

int GThreadCount = 0;

// True on the pool's workers, and on a calling thread while its run is in progress: a run
// started there does its tasks itself.
thread_local bool tInsideRun = false;

// A run on the calling thread alone, with the same cancel and progress rules.
bool RunHere(int Count, const std::function<void(int)>& Work, const TTaskContext& Context)
{
  const bool outer = tInsideRun;
  tInsideRun = true;
  bool complete = true;
  try {
    for (int task = 0; task < Count; ++task) {
      if (Context.Cancel && Context.Cancel->load(std::memory_order_relaxed)) {
        complete = false;
        break;
      }
      Work(task);
      if (Context.Progress && Context.Progress(task + 1)) {
        complete = false;
        break;
      }
    }
  } catch (...) {
    tInsideRun = outer;
    throw;
  }
  tInsideRun = outer;
  return complete;
}

}  // namespace

int MathThreadCount()
{
  if (GThreadCount > 0)
    return GThreadCount;
  const unsigned hw = std::thread::hardware_concurrency();
  return hw == 0 ? 1 : static_cast<int>(std::min<unsigned>(hw, TTaskPool::MaxThreads));
}

void SetMathThreadCount(int Value)
{
  GThreadCount = std::clamp(Value, 0, TTaskPool::MaxThreads);
}

TTaskPool& TTaskPool::Shared()
{
  // Never destroyed: a process may end (or a forked child exit) while the workers wait, and
  // the workers then simply end with it.
  static TTaskPool* const pool = new TTaskPool;
  return *pool;
}

TTaskPool::TTaskPool() : FOwnerProcess(static_cast<long>(getpid()))
{
}

TTaskPool::~TTaskPool()
{
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FQuit = true;
  }
  FWake.notify_all();
  for (std::thread& w : FWorkers)
    w.join();
}

int TTaskPool::NrOfWorkers() const
{
  std::lock_guard<std::mutex> lock(FMutex);
  return static_cast<int>(FWorkers.size());
}

void TTaskPool::StartWorkers(int Wanted)
{
  // Under FMutex. A thread that cannot be had leaves the work to the others.
  while (static_cast<int>(FWorkers.size()) < Wanted) {
    try {
      FWorkers.emplace_back([this] { WorkerLoop(); });
    } catch (...) {
      break;
    }
  }
}

bool TTaskPool::Stopping() const
{
  return FStop.load(std::memory_order_relaxed) || (FCancel && FCancel->load(std::memory_order_relaxed));
}

bool TTaskPool::TakeOne()
{
  if (Stopping())
    return false;
  const int task = FNext.fetch_add(1, std::memory_order_relaxed);
  if (task >= FCount)
    return false;
  try {
    (*FWork)(task);
  } catch (...) {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FError)
      FError = std::current_exception();
    FStop.store(true, std::memory_order_relaxed);
  }
  FFinished.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void TTaskPool::WorkerLoop()
{
  tInsideRun = true;
  unsigned long seen = 0;
  std::unique_lock<std::mutex> lock(FMutex);
  for (;;) {
    FWake.wait(lock, [&] { return FQuit || (FGeneration != seen && FSeats > 0); });
    if (FQuit)
      return;
    seen = FGeneration;
    --FSeats;
    ++FInside;
    lock.unlock();
    while (TakeOne()) {
    }
    lock.lock();
    if (--FInside == 0)
      FIdle.notify_all();
  }
}

bool TTaskPool::Run(int Count, const std::function<void(int)>& Work, const TTaskContext& Context)
{
  if (Count <= 0)
    return true;
  int threads = std::clamp(Context.Threads > 0 ? Context.Threads : MathThreadCount(), 1, MaxThreads);
  threads = std::min(threads, Count);
  // In a forked child the workers do not exist, and their wait state must not be touched.
  if (threads == 1 || tInsideRun || static_cast<long>(getpid()) != FOwnerProcess)
    return RunHere(Count, Work, Context);
  std::unique_lock<std::mutex> run(FRunMutex, std::try_to_lock);
  if (!run.owns_lock())
    return RunHere(Count, Work, Context);

  {
    std::lock_guard<std::mutex> lock(FMutex);
    StartWorkers(threads - 1);
    FWork = &Work;
    FCancel = Context.Cancel;
    FCount = Count;
    FNext.store(0, std::memory_order_relaxed);
    FFinished.store(0, std::memory_order_relaxed);
    FStop.store(false, std::memory_order_relaxed);
    FError = nullptr;
    FSeats = std::min(threads - 1, static_cast<int>(FWorkers.size()));
    ++FGeneration;
  }
  FWake.notify_all();

  tInsideRun = true;
  int reported = 0;
  bool stopped = false;
  std::exception_ptr progressError;
  // Reports up to UpTo finished tasks; a true answer of the callback stops the run, and so does
  // an exception of it, which is thrown again once the workers have left.
  auto report = [&](int UpTo) {
    while (Context.Progress && reported < UpTo && !stopped && !FStop.load(std::memory_order_relaxed)) {
      ++reported;
      bool stop = true;
      try {
        stop = Context.Progress(reported);
      } catch (...) {
        progressError = std::current_exception();
      }
      if (stop) {
        stopped = true;
        FStop.store(true, std::memory_order_relaxed);
      }
    }
  };
  while (TakeOne())
    report(FFinished.load(std::memory_order_acquire));
  // An exception of the calling thread's own task was caught in TakeOne like a worker's.
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(FMutex);
    FSeats = 0;  // a worker that wakes only now stays out
    FIdle.wait(lock, [&] { return FInside == 0; });
    error = FError;
    FError = nullptr;
    FWork = nullptr;
    FCancel = nullptr;
  }
  tInsideRun = false;
  if (error)
    std::rethrow_exception(error);
  if (progressError)
    std::rethrow_exception(progressError);
  report(FFinished.load(std::memory_order_acquire));
  return !stopped && FFinished.load(std::memory_order_acquire) == Count;
}

}  // namespace orvex
