// TCurveFit: running sums over (observed, estimated) pairs in extended precision, the stored
// pairs, and the summary statistics and analysis of variance read from the sums.
#include "orvex_math2.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

TCurveFit::TCurveFit(TComponent* AOwner) : TComponent(AOwner)
{
  FStore.Resize(2, StoreGrowth);
  Clear();
}

int TCurveFit::NumPairs() const
{
  return FNumPairs;
}

double TCurveFit::DataX(int i) const
{
  return FStorePairs && i >= 1 && i <= FNumPairs ? FStore.Elem(1, i) : 0.0;
}

double TCurveFit::DataY(int i) const
{
  return FStorePairs && i >= 1 && i <= FNumPairs ? FStore.Elem(2, i) : 0.0;
}

void TCurveFit::Clear()
{
  FNumPairs = 0;
  FSx = FSy = FSxx = FSyy = FSd = FSdd = FSxy = 0.0L;
  // The store keeps its rows and their old values: DataX and DataY read 0 beyond NumPairs, and
  // AddPair overwrites each row before it counts, so zeroing a million rows on every run would
  // buy nothing.
}

int TCurveFit::AddPair(double X, double Y)
{
  return AddPairs(&X, &Y, 1);
}

void TCurveFit::GrowStore(long long Pairs)
{
  // The store grows in whole blocks of StoreGrowth rows, by as many blocks as it already has,
  // so that a million pairs cost a few dozen copies instead of a thousand (1000 rows become
  // 2000, then 4000, ...). The row count is an int: the last step is cut short at its largest
  // value, and a store that holds that many pairs is full.
  constexpr int MaxRows = std::numeric_limits<int>::max();
  int rows = FStore.NrOfRows();
  if (Pairs <= rows)
    return;
  if (Pairs > MaxRows)
    throw EOrvexMatrixError(ComponentMessage("not enough memory on heap"));
  while (rows < Pairs) {
    const int growth = std::max(StoreGrowth, rows / StoreGrowth * StoreGrowth);
    rows = rows > MaxRows - growth ? MaxRows : rows + growth;
  }
  // The store is an unnamed part of this component: its failure is reported under our name.
  try {
    FStore.Resize(2, rows);
  } catch (const EOrvexMatrixError&) {
    throw EOrvexMatrixError(ComponentMessage("not enough memory on heap"));
  }
}

namespace {

// Adds Value(i) and its square to S and SS for i = 0..Count-1, in that order.
template <typename TValue>
void AddSumAndSquares(int Count, const TValue& Value, long double& S, long double& SS)
{
  long double s = S, ss = SS;
  for (int i = 0; i < Count; ++i) {
    const long double v = Value(i);
    s += v;
    ss += v * v;
  }
  S = s;
  SS = ss;
}

}  // namespace

int TCurveFit::AddPairs(const double* X, const double* Y, int Count)
{
  if (Count <= 0)
    return FNumPairs;
  if (FStorePairs)
    GrowStore(static_cast<long long>(FNumPairs) + Count);
  // Each running sum is its own chain of additions in pair order, so the sums can be formed in
  // separate passes and on separate math threads with the very same result: three groups of at
  // most three sums (few enough for the extended-precision registers) and the two copies into
  // the store are the tasks.
  double* storeX = FStorePairs ? FStore.Column(1) + FNumPairs : nullptr;
  double* storeY = FStorePairs ? FStore.Column(2) + FNumPairs : nullptr;
  auto task = [&](int k) {
    switch (k) {
      case 0: {
        long double sx = FSx, sxx = FSxx, sxy = FSxy;
        for (int i = 0; i < Count; ++i) {
          const long double x = X[i];
          sx += x;
          sxx += x * x;
          sxy += x * static_cast<long double>(Y[i]);
        }
        FSx = sx;
        FSxx = sxx;
        FSxy = sxy;
        break;
      }
      case 1:
        AddSumAndSquares(Count, [&](int i) { return static_cast<long double>(Y[i]); }, FSy, FSyy);
        break;
      case 2:
        AddSumAndSquares(
            Count, [&](int i) { return static_cast<long double>(X[i]) - static_cast<long double>(Y[i]); },
            FSd, FSdd);
        break;
      case 3:
        if (storeX)
          std::copy(X, X + Count, storeX);
        break;
      default:
        if (storeY)
          std::copy(Y, Y + Count, storeY);
        break;
    }
  };
  // Small counts (every single AddPair) stay on the calling thread.
  if (Count < ParallelPairs)
    for (int k = 0; k < 5; ++k)
      task(k);
  else
    ForEachMathTask(5, task);
  FNumPairs += Count;
  Fire(FStore.OnChange, &FStore);
  return FNumPairs;
}

void TCurveFit::GetStatistics(int& N, double& MeanX, double& MeanY, double& StdDevX, double& StdDevY,
                              double& MeanDiff, double& StdDevDiff, double& RCorr) const
{
  MeanX = MeanY = StdDevX = StdDevY = MeanDiff = StdDevDiff = RCorr = 0.0;
  const int n = FNumPairs;
  if (n > 0) {
    MeanX = static_cast<double>(FSx / n);
    MeanY = static_cast<double>(FSy / n);
    MeanDiff = static_cast<double>(FSd / n);
  }
  if (n > 2) {
    // The absolute values keep rounding noise from producing a negative radicand.
    auto stdDev = [n](long double sum, long double sumSq) {
      return static_cast<double>(std::sqrt(std::fabs((sumSq - sum * sum / n) / (n - 1))));
    };
    StdDevX = stdDev(FSx, FSxx);
    StdDevY = stdDev(FSy, FSyy);
    StdDevDiff = stdDev(FSd, FSdd);
    if (FSxx > 0 && FSyy > 0) {
      const double qx = static_cast<double>(FSxx - FSx * FSx / n);
      const double qy = static_cast<double>(FSyy - FSy * FSy / n);
      if (qx != 0.0 && qy != 0.0)
        RCorr = static_cast<double>((FSxy - FSx * FSy / n) /
                                    std::sqrt(std::fabs(static_cast<long double>(qx) * qy)));
    }
  }
  N = n;
}

TCurveFitStatistics TCurveFit::GetStatistics() const
{
  TCurveFitStatistics s;
  GetStatistics(s.N, s.MeanX, s.MeanY, s.StdDevX, s.StdDevY, s.MeanDiff, s.StdDevDiff, s.RCorr);
  return s;
}

void TCurveFit::CalcAnova(int NumIndep, bool Intercept, int& DFReg, int& DFRes, int& DFTot,
                          double& SSRes, double& SSReg, double& SSTot, double& MSRes, double& MSReg,
                          double& FValue) const
{
  const int n = FNumPairs;
  DFReg = NumIndep;
  long double mean = 0.0L;
  if (Intercept) {
    DFTot = n - 1;
    if (n > 0)
      mean = FSx / n;
  } else {
    DFTot = n;
  }
  DFRes = DFTot - DFReg;
  SSRes = static_cast<double>(FSdd);
  SSReg = static_cast<double>(n * mean * mean + (FSyy - 2 * mean * FSy));
  SSTot = static_cast<double>(n * mean * mean + (FSxx - 2 * mean * FSx));
  // Without degrees of freedom a mean square does not exist (and a negative count would give
  // a meaningless negative one): it is NaN, and so is the F value, for the caller to show.
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  MSRes = DFRes > 0 ? SSRes / DFRes : NaN;
  MSReg = DFReg > 0 ? SSReg / DFReg : NaN;
  if (std::isnan(MSRes) || std::isnan(MSReg))
    FValue = NaN;
  else if (MSReg == 0.0)
    FValue = 0.0;
  else if (MSRes == 0.0)
    FValue = 1E10;
  else
    FValue = MSReg / MSRes;
}

TAnovaTable TCurveFit::CalcAnova(int NumIndep, bool Intercept) const
{
  TAnovaTable t;
  CalcAnova(NumIndep, Intercept, t.DFReg, t.DFRes, t.DFTot, t.SSRes, t.SSReg, t.SSTot, t.MSRes, t.MSReg,
            t.FValue);
  return t;
}

}  // namespace orvex
