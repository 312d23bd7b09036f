// The progress globals shared by the long computations of the numerical library.
#include "orvex_math1.h"

namespace orvex {

std::function<void(double)> MathProgressHook;
double MathProgressCount = 0.0;
bool MathAbort = false;

bool MathProgressStep()
{
  MathProgressCount += 1.0;
  if (MathProgressHook)
    MathProgressHook(MathProgressCount);
  return MathAbort;
}

}  // namespace orvex
