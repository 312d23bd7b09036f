// Library-wide progress globals of the numerical library. Long computations add 1 to
// MathProgressCount per step, call MathProgressHook (when assigned) with the count, and stop
// at their next check when MathAbort is set. Plain variables, read and written only on the
// thread that called the computation: work spread over the task runner's threads reports
// through its calling thread (see orvex_taskpool.h).
// A hook that sets MathAbort therefore runs on the caller's thread; a program that wants to stop
// a run from another thread passes a cancel flag in the task runner's context.
#pragma once

#include <functional>

namespace orvex {

extern std::function<void(double)> MathProgressHook;
extern double MathProgressCount;
extern bool MathAbort;

// One progress step: count, report, and tell the caller whether to stop now.
bool MathProgressStep();

}  // namespace orvex
