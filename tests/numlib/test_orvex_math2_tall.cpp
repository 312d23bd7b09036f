// The least-squares solve beyond the direct decomposition: the reduction of tall designs to
// their triangular factor (against the full decomposition, independent of the thread count),
// collinearity on the tall path, and the accuracy on public reference data sets with
// certified results.
#include "orvex_math2.h"
#include "nist_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace orvex;

namespace {

// A random tall design with an intercept column and a noisy linear target.
struct TTall {
  TMatrix A;
  TVector B;
  TTall(int Rows, int Cols, unsigned Seed)
  {
    std::mt19937_64 gen(Seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    A.Resize(Cols, Rows);
    B.Resize(Rows);
    for (int c = 1; c < Cols; ++c)
      for (int r = 0; r < Rows; ++r)
        A.Column(c)[r] = dist(gen) * (1 << (c % 5));
    std::fill(A.Column(Cols), A.Column(Cols) + Rows, 1.0);
    for (int r = 0; r < Rows; ++r) {
      double y = 2.0;
      for (int c = 1; c < Cols; ++c)
        y += 0.5 * c * A.Column(c)[r];
      B.Data()[r] = y + dist(gen);
    }
  }
};

struct TSolution {
  std::vector<double> X, Sig;
  bool NearSingular = false;
  bool Ok = false;
};

TSolution Solve(const TMatrix& A0, const TVector& B, bool Direct = false)
{
  TMatrix A;
  A.Assign(A0);
  TVector X, Sig;
  X.Resize(A.NrOfColumns());
  Sig.Resize(A.NrOfColumns());
  TSolution s;
  s.Ok = Direct ? MultiLinearRegressionDirect(A, B, X, &Sig, s.NearSingular)
                : MultiLinearRegression(A, B, X, &Sig, s.NearSingular);
  s.X.assign(X.Data(), X.Data() + X.NrOfElem());
  s.Sig.assign(Sig.Data(), Sig.Data() + Sig.NrOfElem());
  return s;
}

std::vector<double> SortedValues(const TMatrix& M)
{
  TMatrix U, V;
  U.Assign(M);
  TVector W;
  V.Resize(M.NrOfColumns(), M.NrOfColumns());
  W.Resize(M.NrOfColumns());
  EXPECT_TRUE(SVDecompose(U, V, W));
  std::vector<double> w(W.Data(), W.Data() + W.NrOfElem());
  std::sort(w.begin(), w.end());
  return w;
}

}  // namespace

TEST(TallRegression, TriangularFactorMatchesTheFullDecompositionOnAnyThreadCount)
{
  // 20,000 rows: three chunks, the last one partial, and a partial last block.
  const TTall p(20000 + 77, 9, 3);
  TMatrix R;
  TVector QtB;
  double rho = 0;
  SetMathThreadCount(1);
  ASSERT_TRUE(ReduceToTriangle(p.A, p.B, R, QtB, rho));

  // Both decompositions are backward stable: each is the exact one of a matrix within a few
  // rounding units times the norm of A, so (Weyl) every singular value moves by at most that
  // much. 1e-12 of the largest leaves room for the ~1e5 rows of accumulated rounding.
  const std::vector<double> wr = SortedValues(R), wa = SortedValues(p.A);
  ASSERT_EQ(wr.size(), wa.size());
  for (std::size_t j = 0; j < wr.size(); ++j)
    EXPECT_NEAR(wr[j], wa[j], 1e-12 * wa.back()) << j;
  // R is upper triangular.
  for (int c = 1; c <= 9; ++c)
    for (int r = c + 1; r <= 9; ++r)
      EXPECT_EQ(R.Elem(c, r), 0.0);

  // Q is orthogonal: |Q^T B|^2 splits into the fitted part and the residual.
  long double bb = 0, qq = 0;
  for (int r = 0; r < p.B.NrOfElem(); ++r)
    bb += static_cast<long double>(p.B.Data()[r]) * p.B.Data()[r];
  for (int j = 1; j <= 9; ++j)
    qq += static_cast<long double>(QtB.Elem(j)) * QtB.Elem(j);
  EXPECT_NEAR(static_cast<double>(qq + static_cast<long double>(rho) * rho), static_cast<double>(bb),
              1e-12 * static_cast<double>(bb));
  // The residual norm is that of B - A X for the least-squares X.
  const TSolution s = Solve(p.A, p.B, true);
  long double rr = 0;
  for (int r = 1; r <= p.A.NrOfRows(); ++r) {
    long double e = p.B.Elem(r);
    for (int c = 1; c <= 9; ++c)
      e -= static_cast<long double>(p.A.Elem(c, r)) * s.X[static_cast<std::size_t>(c - 1)];
    rr += e * e;
  }
  EXPECT_NEAR(rho, std::sqrt(static_cast<double>(rr)), 1e-10 * rho);

  // The tall path agrees with the direct one to the conditioning of the problem, and its
  // result is bit for bit the same on one and two threads and on every call.
  const TSolution one = Solve(p.A, p.B);
  for (std::size_t j = 0; j < one.X.size(); ++j) {
    EXPECT_NEAR(one.X[j], s.X[j], 1e-12 * std::fabs(s.X[j]) + 1e-14) << j;
    EXPECT_NEAR(one.Sig[j], s.Sig[j], 1e-11 * s.Sig[j]) << j;
  }
  SetMathThreadCount(2);
  for (int call = 0; call < 3; ++call) {
    const TSolution two = Solve(p.A, p.B);
    EXPECT_EQ(two.X, one.X) << call;
    EXPECT_EQ(two.Sig, one.Sig) << call;
    TMatrix R2;
    TVector Q2;
    double rho2 = 0;
    ASSERT_TRUE(ReduceToTriangle(p.A, p.B, R2, Q2, rho2));
    for (int c = 1; c <= 9; ++c) {
      EXPECT_EQ(Q2.Elem(c), QtB.Elem(c));
      for (int r = 1; r <= 9; ++r)
        EXPECT_EQ(R2.Elem(c, r), R.Elem(c, r));
    }
    EXPECT_EQ(rho2, rho);
  }
  SetMathThreadCount(0);
}

TEST(TallRegression, CollinearityScalingAndProgressOnTheTallPath)
{
  TTall p(5000, 6, 11);
  // Column 3 duplicated into column 4: still flagged, the twins share the slope.
  std::copy(p.A.Column(3), p.A.Column(3) + 5000, p.A.Column(4));
  const TSolution dup = Solve(p.A, p.B);
  ASSERT_TRUE(dup.Ok);
  EXPECT_TRUE(dup.NearSingular);
  EXPECT_NEAR(dup.X[2], dup.X[3], 1e-9 * std::fabs(dup.X[2]));
  for (double s : dup.Sig)
    EXPECT_TRUE(std::isfinite(s));

  // A design scaled by a huge power of two gives exactly scaled results, and one column far
  // off the others' scale neither overflows nor is lost.
  const TTall q(5000, 6, 12);
  const TSolution ref = Solve(q.A, q.B);
  ASSERT_FALSE(ref.NearSingular);
  TMatrix big;
  big.Assign(q.A);
  for (int c = 1; c <= 6; ++c)
    for (int r = 0; r < 5000; ++r)
      big.Column(c)[r] = std::ldexp(big.Column(c)[r], 900);
  const TSolution scaled = Solve(big, q.B);
  for (std::size_t j = 0; j < 6; ++j) {
    EXPECT_EQ(scaled.X[j], std::ldexp(ref.X[j], -900)) << j;
    EXPECT_EQ(scaled.Sig[j], std::ldexp(ref.Sig[j], -900)) << j;
  }

  // One progress step per chunk of the reduction, then the four phases of the small
  // decomposition; an abort during the reduction leaves the outputs unwritten.
  const double start = MathProgressCount;
  int calls = 0;
  MathProgressHook = [&](double) { ++calls; };
  Solve(q.A, q.B);
  EXPECT_EQ(MathProgressCount, start + 1 + 4 * 6);
  EXPECT_EQ(calls, 1 + 4 * 6);
  MathAbort = true;
  TMatrix A;
  A.Assign(q.A);
  TVector X, Sig;
  X.Resize(6);
  Sig.Resize(6);
  X.SetElem(1, -7.0);
  bool ns = false;
  EXPECT_TRUE(MultiLinearRegression(A, q.B, X, &Sig, ns));
  EXPECT_EQ(X.Elem(1), -7.0);
  MathAbort = false;
  MathProgressHook = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Public reference data sets with certified coefficients and standard deviations.

namespace {

struct TLre {
  double Coef = 99, StdDev = 99;
};

// Fits like the workbench: each column scaled by a power of two into [0.5, 1), the solution
// scaled back, and the standard deviations from Sig times the residual standard deviation (the
// residuals formed in extended precision).
TLre Check(const nist::TReferenceSet& Set)
{
  const auto& Columns = Set.Columns;
  const auto& Y = Set.Y;
  const int n = static_cast<int>(Columns.size());
  const int m = static_cast<int>(Y.size());
  TMatrix A;
  TVector B, X, Sig;
  A.Resize(n, m);
  B.Resize(m);
  X.Resize(n);
  Sig.Resize(n);
  std::vector<int> e(static_cast<std::size_t>(n));
  for (int c = 0; c < n; ++c) {
    const double mx = std::fabs(*std::max_element(Columns[c].begin(), Columns[c].end(),
                                                  [](double a, double b) { return std::fabs(a) < std::fabs(b); }));
    std::frexp(mx, &e[static_cast<std::size_t>(c)]);
    for (int r = 0; r < m; ++r)
      A.Column(c + 1)[r] = std::ldexp(Columns[c][static_cast<std::size_t>(r)], -e[static_cast<std::size_t>(c)]);
  }
  std::copy(Y.begin(), Y.end(), B.Data());
  bool ns = true;
  EXPECT_TRUE(MultiLinearRegression(A, B, X, &Sig, ns)) << Set.Name;
  EXPECT_FALSE(ns) << Set.Name;
  std::vector<double> x(static_cast<std::size_t>(n)), sig(static_cast<std::size_t>(n));
  for (int c = 0; c < n; ++c) {
    x[static_cast<std::size_t>(c)] = std::ldexp(X.Elem(c + 1), -e[static_cast<std::size_t>(c)]);
    sig[static_cast<std::size_t>(c)] = std::ldexp(Sig.Elem(c + 1), -e[static_cast<std::size_t>(c)]);
  }
  long double rss = 0;
  for (int r = 0; r < m; ++r) {
    long double res = Y[static_cast<std::size_t>(r)];
    for (int c = 0; c < n; ++c)
      res -= static_cast<long double>(Columns[c][static_cast<std::size_t>(r)]) * x[static_cast<std::size_t>(c)];
    rss += res * res;
  }
  const double s = static_cast<double>(std::sqrt(rss / (m - n)));
  TLre lre;
  for (int c = 0; c < n; ++c) {
    lre.Coef = std::min(lre.Coef, nist::Lre(x[static_cast<std::size_t>(c)], Set.Coef[static_cast<std::size_t>(c)]));
    lre.StdDev = std::min(lre.StdDev, nist::Lre(sig[static_cast<std::size_t>(c)] * s, Set.StdDev[static_cast<std::size_t>(c)]));
  }
  return lre;
}

}  // namespace

TEST(ReferenceData, CertifiedCoefficientsAndStandardDeviations)
{
  // The least correct digits of the coefficients and of their standard deviations. Wampler1 and
  // Wampler2 are exact polynomials (certified deviations 0); Wampler3 to 5 add ever larger
  // residuals to them; Longley's intercept cancels terms near 3.5e6; the double decomposition
  // alone keeps only nine digits of Wampler1 and six of Wampler5. Filip's tenth-degree
  // polynomial loses about eight digits to its condition, whatever the arithmetic, once its
  // data are doubles.
  struct TGoal {
    const char* Name;
    double Coef, StdDev;
  };
  const TGoal goals[] = {{"Norris", 13.0, 13.5},   {"Pontius", 13.0, 13.5},  {"Longley", 14.0, 14.0},
                         {"Wampler1", 14.0, 14.0}, {"Wampler2", 13.0, 13.5}, {"Wampler3", 13.0, 13.5},
                         {"Wampler4", 13.0, 13.5}, {"Wampler5", 13.0, 13.5}, {"Filip", 7.5, 7.5}};
  for (const TGoal& g : goals) {
    const nist::TReferenceSet set = nist::ReadReferenceSet(g.Name);
    const TLre lre = Check(set);
    EXPECT_GE(lre.Coef, g.Coef) << g.Name << ": " << lre.Coef << " digits of the coefficients";
    EXPECT_GE(lre.StdDev, g.StdDev) << g.Name << ": " << lre.StdDev << " digits of the deviations";
  }
}

TEST(TallRegression, ScaledEntryEqualsTheRegressionOfTheScaledCopy)
{
  // MultiLinearRegressionScaled must give bit for bit what MultiLinearRegression gives on the
  // design with its columns multiplied by the powers of two, on the tall path (with and without
  // refinement) and on the small extended-precision one, and leave A as it was; on one thread
  // as on three (20000 rows are three chunks for the reduction and the refinement).
  for (int rows : {60, 20000}) {
    for (bool illConditioned : {false, true}) {
      const int n = 5;
      TMatrix A, scaled;
      A.Resize(n, rows);
      scaled.Resize(n, rows);
      TVector B;
      B.Resize(rows);
      const std::vector<int> e = {7, -3, 0, 12, -40};
      for (int r = 0; r < rows; ++r) {
        const double t = std::sin(r * 0.7) + r * 1e-3;
        A.Column(1)[r] = std::ldexp(std::cos(r * 1.3), 7);
        // A near copy of column 1 makes the design ill-conditioned and calls for refinement.
        A.Column(2)[r] = illConditioned ? std::ldexp(A.Column(1)[r], -10) * (1 + 1e-7 * t) : t;
        A.Column(3)[r] = t * t;
        A.Column(4)[r] = std::ldexp(1.0 + (r % 7), 12);
        A.Column(5)[r] = 1e-12 * (r % 3);
        B.Data()[r] = 2 * t - A.Column(3)[r] + std::sin(r * 3.1);
      }
      for (int c = 1; c <= n; ++c)
        for (int r = 0; r < rows; ++r)
          scaled.Column(c)[r] = std::ldexp(A.Column(c)[r], -e[static_cast<std::size_t>(c - 1)]);
      TMatrix before;
      before.Assign(A);
      TVector x1, s1, x2, s2;
      for (TVector* v : {&x1, &s1, &x2, &s2})
        v->Resize(n);
      bool ns1 = true, ns2 = true;
      SetMathThreadCount(1);
      ASSERT_TRUE(MultiLinearRegressionScaled(A, e, B, x1, &s1, ns1));
      SetMathThreadCount(3);
      ASSERT_TRUE(MultiLinearRegression(scaled, B, x2, &s2, ns2));
      SetMathThreadCount(0);
      EXPECT_EQ(ns1, ns2);
      EXPECT_FALSE(ns1);
      for (int j = 1; j <= n; ++j) {
        EXPECT_EQ(x1.Elem(j), x2.Elem(j)) << rows << " " << illConditioned << " " << j;
        EXPECT_EQ(s1.Elem(j), s2.Elem(j)) << rows << " " << illConditioned << " " << j;
      }
      for (int c = 1; c <= n; ++c)
        for (int r = 0; r < rows; ++r)
          ASSERT_EQ(A.Column(c)[r], before.Column(c)[r]);
    }
  }
}

// Rows handed in pieces to the streamed fit: whatever the pieces and the threads, the factor
// and the solution are those of the whole design, bit for bit. 150,077 rows fill two batches
// of eight chunks and part of a third.
TEST(TallRegression, RowsInPiecesGiveTheWholeDesignsFactorAndSolution)
{
  const int cols = 6;
  const TTall p(150000 + 77, cols, 11);
  const std::vector<int> exponents = {1, -2, 0, 3, 0, 0};
  SetMathThreadCount(1);
  TVector x, sig;
  x.Resize(cols);
  sig.Resize(cols);
  TMatrix factor;
  bool nearSingular = true, factored = false;
  ASSERT_TRUE(MultiLinearRegressionScaled(p.A, exponents, p.B, x, &sig, nearSingular, factor, factored));
  ASSERT_TRUE(factored);
  TMatrix r;
  TVector qtb;
  double rho = 0;
  ASSERT_TRUE(ReduceToTriangle(p.A, p.B, r, qtb, rho));
  for (const int threads : {1, 2})
    for (const int piece : {777, TStreamedRegression::ChunkRows, 70001}) {
      SetMathThreadCount(threads);
      TStreamedRegression s(cols);
      std::vector<const double*> columns(static_cast<std::size_t>(cols));
      for (int first = 0; first < p.A.NrOfRows(); first += piece) {
        for (int c = 0; c < cols; ++c)
          columns[static_cast<std::size_t>(c)] = p.A.Column(c + 1) + first;
        s.AddRows(columns.data(), p.B.Data() + first, std::min(piece, p.A.NrOfRows() - first));
      }
      EXPECT_EQ(s.NrOfRows(), p.A.NrOfRows());
      TVector sx, ssig;
      sx.Resize(cols);
      ssig.Resize(cols);
      bool sNear = true;
      ASSERT_TRUE(s.Solve(exponents, sx, &ssig, sNear));
      EXPECT_FALSE(s.NeedsRefinement());
      const std::string how = std::to_string(threads) + " threads, pieces of " + std::to_string(piece);
      EXPECT_EQ(sNear, nearSingular) << how;
      for (int j = 1; j <= cols; ++j) {
        EXPECT_EQ(sx.Elem(j), x.Elem(j)) << how << ", coefficient " << j;
        EXPECT_EQ(ssig.Elem(j), sig.Elem(j)) << how << ", coefficient " << j;
      }
      TMatrix sr;
      TVector sq;
      double srho = 0;
      s.Triangle(sr, sq, srho);
      EXPECT_EQ(srho, rho) << how;
      for (int c = 1; c <= cols; ++c) {
        EXPECT_EQ(sq.Elem(c), qtb.Elem(c)) << how;
        for (int i = 1; i <= cols; ++i)
          EXPECT_EQ(sr.Elem(c, i), r.Elem(c, i)) << how;
      }
    }
  SetMathThreadCount(0);
}
