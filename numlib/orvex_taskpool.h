// The library's one task runner: a small pool of worker threads, started once and kept for the
// life of the process, that runs numbered tasks together with the calling thread. The tall
// reduction, ForEachMathTask (the regression run's passes, the statistics sums, the histogram)
// and the ASC reader all run through it, so no call starts threads of its own.
//
// A run is described by a TTaskContext that the caller passes in: how many threads it may use,
// a cancel flag that any thread may set, and a progress callback that is only ever called on
// the calling thread. Callers split their work into blocks whose bounds depend only on the size
// of the input and combine the blocks' results in block order, so a result never depends on the
// number of threads or on which thread took which block. A run of one task, or a run asked for
// one thread, stays on the calling thread and never touches the pool.
//
// A forked child process (a test's death check, say) runs its tasks on its calling thread.
//
// One run at a time uses the workers. A run started while another is in progress (from a task
// of that run, or from another thread) does all its tasks on its own calling thread: nested
// and concurrent runs are safe and give the same results, only without the extra threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvex {

// Threads the library's parallel work may use, the calling thread included. 0 (the default)
// means one per processor core. The progress globals are only ever touched by the calling thread.
int MathThreadCount();
void SetMathThreadCount(int Value);

struct TTaskContext {
  // Threads to use, the calling thread included; 0 (the default) takes MathThreadCount().
  int Threads = 0;
  // Checked before each task starts; once set, from any thread, no further task starts, the
  // tasks already running finish and the run reports that it was cancelled.
  const std::atomic<bool>* Cancel = nullptr;
  // Called on the calling thread with the running count of finished tasks (1, 2, ... in order,
  // each value once), as the calling thread learns of them; true stops the run as the cancel
  // flag does (the run then counts as cancelled, even when that was its last task).
  std::function<bool(int Finished)> Progress;
};

// The number of blocks of BlockSize items that cover Count items (at least 1 when Count > 0).
constexpr int BlockCount(long long Count, long long BlockSize)
{
  return Count <= 0 ? 0 : static_cast<int>((Count + BlockSize - 1) / BlockSize);
}

class TTaskPool {
public:
  // The process's pool. Its workers start with the first run that wants them and grow to the
  // largest thread count asked for (at most MaxThreads).
  static TTaskPool& Shared();

  TTaskPool();
  TTaskPool(const TTaskPool&) = delete;
  TTaskPool& operator=(const TTaskPool&) = delete;
  ~TTaskPool();

  static constexpr int MaxThreads = 64;

  // properties
  // Worker threads started so far (the calling threads not counted).
  int NrOfWorkers() const;

  // operations
  // Calls Work(Task) for every Task in 0..Count-1 and returns when every started task has
  // finished. Tasks run in any order and at the same time, so each must write only its own
  // results. False when the run was cancelled: the cancel flag kept a task from starting, or the
  // progress callback asked to stop; the tasks that did not start were skipped. An exception thrown by a task
  // stops the run and is thrown again on the calling thread once every running task is done.
  bool Run(int Count, const std::function<void(int)>& Work, const TTaskContext& Context = {});

private:
  void WorkerLoop();
  // Runs the next task of the posted run; false when none is left or the run stops.
  bool TakeOne();
  bool Stopping() const;
  void StartWorkers(int Wanted);

  mutable std::mutex FMutex;
  std::condition_variable FWake;  // workers: a run was posted, or the pool closes
  std::condition_variable FIdle;  // the calling thread: the last worker left the run
  std::vector<std::thread> FWorkers;
  bool FQuit = false;
  // The posted run; written under FMutex while no worker is inside a run.
  unsigned long FGeneration = 0;
  int FSeats = 0;   // workers that may still join the posted run
  int FInside = 0;  // workers inside the posted run
  const std::function<void(int)>* FWork = nullptr;
  const std::atomic<bool>* FCancel = nullptr;
  int FCount = 0;
  std::atomic<int> FNext{0};
  std::atomic<int> FFinished{0};
  std::atomic<bool> FStop{false};
  std::exception_ptr FError;  // the first exception of a task, under FMutex
  // Held by the run that uses the workers.
  std::mutex FRunMutex;
  // The process that owns the workers; a forked child runs everything on its calling thread.
  long FOwnerProcess = 0;
};

}  // namespace orvex
