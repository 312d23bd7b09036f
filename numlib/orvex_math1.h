// Library-wide progress globals of the numerical library. Long computations add 1 to
// MathProgressCount per step, call MathProgressHook (when assigned) with the count, and stop
// at their next check when MathAbort is set. Plain variables, read and written on the calling
// thread only: the library's parallel passes (the tall reduction and ForEachMathTask, on up to
// MathThreadCount threads) leave the counting, the hook and the abort check to the thread that
// called them and stop their helpers through atomic flags of their own.
// A hook that sets MathAbort therefore runs on the caller's thread; a program that wants to
// abort from another thread must hand the request over to that thread itself.
#pragma once

#include <functional>

namespace orvex {

extern std::function<void(double)> MathProgressHook;
extern double MathProgressCount;
extern bool MathAbort;

// One progress step: count, report, and tell the caller whether to stop now.
bool MathProgressStep();

}  // namespace orvex
