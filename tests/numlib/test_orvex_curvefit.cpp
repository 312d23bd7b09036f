// TCurveFit: statistics and ANOVA against direct two-pass computations, the small-sample and
// degenerate cases, extended-precision sums and the growing pair store.
#include "orvex_math2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace orvex;

TEST(TCurveFit, EmptyAndSmallSamples)
{
  TCurveFit cf;
  auto s = cf.GetStatistics();
  EXPECT_EQ(s.N, 0);
  for (double v : {s.MeanX, s.MeanY, s.StdDevX, s.StdDevY, s.MeanDiff, s.StdDevDiff, s.RCorr})
    EXPECT_EQ(v, 0.0);

  EXPECT_EQ(cf.AddPair(1.0, 2.0), 1);
  EXPECT_EQ(cf.AddPair(3.0, 8.0), 2);
  s = cf.GetStatistics();
  EXPECT_EQ(s.N, 2);
  EXPECT_EQ(s.MeanX, 2.0);
  EXPECT_EQ(s.MeanY, 5.0);
  EXPECT_EQ(s.MeanDiff, -3.0);
  EXPECT_EQ(s.StdDevX, 0.0) << "two pairs give no spread";
  EXPECT_EQ(s.RCorr, 0.0);

  // Constant x: no correlation can be formed.
  cf.Clear();
  EXPECT_EQ(cf.NumPairs(), 0);
  EXPECT_EQ(cf.DataX(1), 0.0) << "Clear empties the store";
  for (double y : {1.0, 4.0, 2.0, 8.0})
    cf.AddPair(5.0, y);
  s = cf.GetStatistics();
  EXPECT_EQ(s.RCorr, 0.0);
  EXPECT_EQ(s.StdDevX, 0.0);
  EXPECT_GT(s.StdDevY, 0.0);
}

TEST(TCurveFit, StatisticsMatchTwoPassFormulas)
{
  std::mt19937 gen(42);
  std::normal_distribution<double> dist(10.0, 3.0);
  std::vector<double> xs, ys;
  TCurveFit cf;
  for (int i = 0; i < 500; ++i) {
    const double x = dist(gen);
    const double y = 0.5 * x + dist(gen) * 0.2;
    xs.push_back(x);
    ys.push_back(y);
    cf.AddPair(x, y);
  }
  const double n = 500;
  double mx = 0, my = 0, md = 0;
  for (int i = 0; i < 500; ++i) {
    mx += xs[i] / n;
    my += ys[i] / n;
    md += (xs[i] - ys[i]) / n;
  }
  double qx = 0, qy = 0, qd = 0, qxy = 0;
  for (int i = 0; i < 500; ++i) {
    qx += (xs[i] - mx) * (xs[i] - mx);
    qy += (ys[i] - my) * (ys[i] - my);
    qd += (xs[i] - ys[i] - md) * (xs[i] - ys[i] - md);
    qxy += (xs[i] - mx) * (ys[i] - my);
  }
  const auto s = cf.GetStatistics();
  // Sums of 500 values near 10: a relative 1e-12 covers the rounding of the reference.
  EXPECT_NEAR(s.MeanX, mx, 1e-12 * mx);
  EXPECT_NEAR(s.MeanY, my, 1e-12 * my);
  EXPECT_NEAR(s.MeanDiff, md, 1e-12 * std::fabs(md));
  EXPECT_NEAR(s.StdDevX, std::sqrt(qx / (n - 1)), 1e-12);
  EXPECT_NEAR(s.StdDevY, std::sqrt(qy / (n - 1)), 1e-12);
  EXPECT_NEAR(s.StdDevDiff, std::sqrt(qd / (n - 1)), 1e-12);
  EXPECT_NEAR(s.RCorr, qxy / std::sqrt(qx * qy), 1e-12);
  EXPECT_EQ(cf.DataX(500), xs[499]);
  EXPECT_EQ(cf.DataY(1), ys[0]);
}

TEST(TCurveFit, ExtendedSumsKeepTheSpreadOfLargeValues)
{
  // x = 1e8 + 1, 1e8 + 2, 1e8 + 3: x^2 is about 1e16, where a double sum loses the units
  // that make up the spread; the extended sums must give exactly 1.
  TCurveFit cf;
  for (double d : {1.0, 2.0, 3.0})
    cf.AddPair(1e8 + d, 1e8 + 2 * d);
  const auto s = cf.GetStatistics();
  EXPECT_EQ(s.StdDevX, 1.0);
  EXPECT_EQ(s.StdDevY, 2.0);
  EXPECT_EQ(s.RCorr, 1.0);
}

TEST(TCurveFit, AnovaOfAFitWithIntercept)
{
  // Observations and estimates of a least-squares line y = 1 + 2t through five points.
  const double t[] = {1, 2, 3, 4, 5}, obs[] = {3.1, 4.9, 7.2, 8.8, 11.0};
  double st = 0, so = 0, stt = 0, sto = 0;
  for (int i = 0; i < 5; ++i) {
    st += t[i];
    so += obs[i];
    stt += t[i] * t[i];
    sto += t[i] * obs[i];
  }
  const double slope = (5 * sto - st * so) / (5 * stt - st * st), icpt = (so - slope * st) / 5;
  TCurveFit cf;
  double ssRes = 0, ssTot = 0;
  for (int i = 0; i < 5; ++i) {
    const double est = icpt + slope * t[i];
    cf.AddPair(obs[i], est);
    ssRes += (obs[i] - est) * (obs[i] - est);
    ssTot += (obs[i] - so / 5) * (obs[i] - so / 5);
  }
  const auto a = cf.CalcAnova(1, true);
  EXPECT_EQ(a.DFReg, 1);
  EXPECT_EQ(a.DFTot, 4);
  EXPECT_EQ(a.DFRes, 3);
  EXPECT_NEAR(a.SSRes, ssRes, 1e-12);
  EXPECT_NEAR(a.SSTot, ssTot, 1e-12);
  EXPECT_NEAR(a.SSReg + a.SSRes, a.SSTot, 1e-12);
  EXPECT_NEAR(a.MSRes, ssRes / 3, 1e-12);
  EXPECT_NEAR(a.FValue, a.SSReg / (ssRes / 3), 1e-9);

  // Without an intercept the sums of squares are taken about zero.
  const auto b = cf.CalcAnova(1, false);
  EXPECT_EQ(b.DFTot, 5);
  EXPECT_EQ(b.DFRes, 4);
  double sxx = 0;
  for (double o : obs)
    sxx += o * o;
  EXPECT_NEAR(b.SSTot, sxx, 1e-12);
}

TEST(TCurveFit, PerfectFitAndMissingDegreesOfFreedom)
{
  TCurveFit cf;
  for (double v : {1.0, 2.0, 4.0, 8.0})
    cf.AddPair(v, v);
  auto a = cf.CalcAnova(1, true);
  EXPECT_EQ(a.SSRes, 0.0);
  EXPECT_EQ(a.MSRes, 0.0);
  EXPECT_GT(a.SSReg, 0.0);
  EXPECT_EQ(a.FValue, 1E10);

  // Three inputs on four pairs leave no residual degrees of freedom; none at all for zero
  // inputs; more inputs than pairs allow would give a negative count.
  for (int p : {3, 0, 5}) {
    a = cf.CalcAnova(p, true);
    EXPECT_EQ(a.DFRes, 3 - p);
    EXPECT_TRUE(std::isnan(a.FValue)) << p;
    EXPECT_EQ(std::isnan(a.MSRes), p >= 3) << p;
    EXPECT_EQ(std::isnan(a.MSReg), p == 0) << p;
    EXPECT_EQ(a.SSRes, 0.0);
  }
  int dfReg, dfRes, dfTot;
  double ssRes, ssReg, ssTot, msRes, msReg, f;
  cf.CalcAnova(1, true, dfReg, dfRes, dfTot, ssRes, ssReg, ssTot, msRes, msReg, f);
  EXPECT_EQ(f, 1E10);
  EXPECT_EQ(dfRes, 2);

  // Nothing entered: all zero, no failure.
  cf.Clear();
  a = cf.CalcAnova(0, true);
  EXPECT_EQ(a.SSTot, 0.0);
  EXPECT_EQ(a.SSReg, 0.0);
}

TEST(TCurveFit, StoreGrowsBeyondAThousandPairs)
{
  TCurveFit cf;
  for (int i = 1; i <= 1001; ++i)
    EXPECT_EQ(cf.AddPair(i, -i), i);
  EXPECT_EQ(cf.DataX(1000), 1000.0);
  EXPECT_EQ(cf.DataX(1001), 1001.0);
  EXPECT_EQ(cf.DataY(1001), -1001.0);
  EXPECT_EQ(cf.DataX(1002), 0.0);
  EXPECT_EQ(cf.DataY(0), 0.0);
  EXPECT_EQ(cf.GetStatistics().MeanX, 501.0);
  cf.Clear();
  EXPECT_EQ(cf.DataX(1001), 0.0);
  cf.AddPair(7, 8);
  EXPECT_EQ(cf.DataY(1), 8.0);
  EXPECT_EQ(cf.GetStatistics().MeanX, 7.0);

  // Many growth steps later every pair is still where it was put.
  cf.Clear();
  const int n = 70001;
  for (int i = 1; i <= n; ++i)
    cf.AddPair(i, 2.0 * i);
  int misplaced = 0;
  for (int i = 1; i <= n; ++i)
    misplaced += cf.DataX(i) != i || cf.DataY(i) != 2.0 * i;
  EXPECT_EQ(misplaced, 0);
  EXPECT_EQ(cf.DataX(n + 1), 0.0);
  EXPECT_EQ(cf.GetStatistics().N, n);
}

TEST(TCurveFit, BulkPairsEqualSinglePairsAfterAReusedStore)
{
  // AddPairs must leave exactly the sums, count and store that the same AddPair calls leave,
  // also when it continues pairs already added and crosses several growth steps; and a store
  // reused after Clear must not show old pairs.
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> dist(-1e6, 1e6);
  std::vector<double> x(5000), y(5000);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = dist(gen);
    y[i] = x[i] * 0.5 + dist(gen) * 1e-3;
  }
  TCurveFit one, bulk;
  for (int i = 0; i < 10; ++i)
    bulk.AddPair(7.0 * i, 3.0);  // old pairs that Clear must hide
  bulk.Clear();
  for (std::size_t i = 0; i < 300; ++i) {
    one.AddPair(x[i], y[i]);
    bulk.AddPair(x[i], y[i]);
  }
  for (std::size_t i = 300; i < x.size(); ++i)
    one.AddPair(x[i], y[i]);
  EXPECT_EQ(bulk.AddPairs(x.data() + 300, y.data() + 300, 4700), 5000);
  EXPECT_EQ(bulk.AddPairs(x.data(), y.data(), 0), 5000);
  const TCurveFitStatistics a = one.GetStatistics(), b = bulk.GetStatistics();
  EXPECT_EQ(a.N, b.N);
  for (auto m : {&TCurveFitStatistics::MeanX, &TCurveFitStatistics::MeanY, &TCurveFitStatistics::StdDevX,
                 &TCurveFitStatistics::StdDevY, &TCurveFitStatistics::MeanDiff,
                 &TCurveFitStatistics::StdDevDiff, &TCurveFitStatistics::RCorr})
    EXPECT_EQ(a.*m, b.*m);
  const TAnovaTable ta = one.CalcAnova(1, true), tb = bulk.CalcAnova(1, true);
  EXPECT_EQ(ta.SSRes, tb.SSRes);
  EXPECT_EQ(ta.SSReg, tb.SSReg);
  EXPECT_EQ(ta.SSTot, tb.SSTot);
  for (int i = 1; i <= 5001; ++i) {
    ASSERT_EQ(one.DataX(i), bulk.DataX(i)) << i;
    ASSERT_EQ(one.DataY(i), bulk.DataY(i)) << i;
  }
  bulk.Clear();
  EXPECT_EQ(bulk.DataX(1), 0.0);
  EXPECT_EQ(bulk.AddPairs(x.data(), y.data(), 2), 2);
  EXPECT_EQ(bulk.DataX(2), x[1]);
  EXPECT_EQ(bulk.DataX(3), 0.0);
}

TEST(TCurveFit, BulkPairsOnTheMathThreadsEqualSinglePairs)
{
  // A count large enough for the sums to go in separate passes on the math threads: on one
  // thread and on two, the sums and the store are exactly those of single AddPair calls made
  // after pairs already in place.
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> dist(-1e3, 1e3);
  std::vector<double> x(90001), y(90001);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = dist(gen) + 1e5;
    y[i] = x[i] * 0.25 + dist(gen);
  }
  TCurveFit one;
  for (std::size_t i = 0; i < x.size(); ++i)
    one.AddPair(x[i], y[i]);
  const int threads = MathThreadCount();
  for (int t : {1, 2}) {
    SetMathThreadCount(t);
    TCurveFit bulk;
    bulk.AddPair(x[0], y[0]);
    EXPECT_EQ(bulk.AddPairs(x.data() + 1, y.data() + 1, static_cast<int>(x.size()) - 1), 90001);
    const TCurveFitStatistics a = one.GetStatistics(), b = bulk.GetStatistics();
    for (auto m : {&TCurveFitStatistics::MeanX, &TCurveFitStatistics::MeanY, &TCurveFitStatistics::StdDevX,
                   &TCurveFitStatistics::StdDevY, &TCurveFitStatistics::MeanDiff,
                   &TCurveFitStatistics::StdDevDiff, &TCurveFitStatistics::RCorr})
      EXPECT_EQ(a.*m, b.*m) << t;
    EXPECT_EQ(one.CalcAnova(1, true).SSRes, bulk.CalcAnova(1, true).SSRes) << t;
    for (int i = 1; i <= 90002; ++i) {
      ASSERT_EQ(one.DataX(i), bulk.DataX(i)) << i;
      ASSERT_EQ(one.DataY(i), bulk.DataY(i)) << i;
    }
  }
  SetMathThreadCount(threads);
}
