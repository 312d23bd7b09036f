// The SVD solver: decomposition properties, the regression example on the demonstration data,
// collinear and degenerate designs, extreme scales, progress and abort, and failure.
#include "orvex_math2.h"
#include "orvex_stringl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace orvex;

namespace {

// The demonstration data: 40 objects of Total Weight, Weight Skin, Length, Width, Outer Length
// and Net Weight.
const double DemoData[40][6] = {
    {172, 61, 165, 38, 226, 111}, {150, 51, 143, 39, 224, 99},  {206, 70, 183, 40, 275, 136},
    {198, 72, 167, 41, 269, 126}, {230, 74, 218, 39, 277, 156}, {247, 88, 225, 39, 288, 159},
    {205, 80, 180, 42, 255, 125}, {182, 68, 177, 38, 234, 114}, {168, 63, 155, 40, 240, 105},
    {173, 62, 164, 38, 232, 111}, {179, 63, 179, 37, 224, 116}, {179, 63, 185, 36, 216, 116},
    {146, 54, 155, 37, 200, 92},  {165, 62, 147, 37, 205, 103}, {134, 50, 137, 36, 214, 84},
    {126, 46, 134, 34, 214, 80},  {127, 46, 142, 34, 194, 81},  {209, 79, 172, 40, 278, 130},
    {226, 88, 200, 41, 265, 138}, {193, 69, 175, 41, 265, 124}, {183, 64, 168, 39, 256, 119},
    {211, 72, 195, 42, 263, 139}, {198, 78, 190, 39, 242, 120}, {187, 71, 190, 38, 234, 116},
    {166, 64, 152, 38, 241, 102}, {162, 61, 161, 40, 243, 101}, {162, 59, 156, 39, 248, 103},
    {181, 80, 158, 38, 253, 101}, {188, 88, 186, 37, 239, 100}, {197, 84, 183, 39, 260, 113},
    {194, 79, 190, 41, 255, 115}, {124, 50, 121, 37, 211, 74},  {118, 48, 125, 36, 204, 70},
    {116, 42, 124, 38, 208, 74},  {120, 44, 144, 36, 181, 76},  {130, 50, 149, 36, 179, 80},
    {118, 42, 130, 37, 204, 76},  {126, 48, 153, 35, 180, 78},  {102, 34, 126, 35, 199, 68},
    {104, 36, 130, 34, 196, 68}};

// Design matrix from the given 1-based demonstration columns plus an intercept column of ones,
// scaled by Factor; the target is Net Weight (column 6).
struct TDemoProblem {
  TMatrix A;
  TVector B, X, Sig;
  explicit TDemoProblem(std::vector<int> inputs, double Factor = 1.0)
  {
    const int n = static_cast<int>(inputs.size()) + 1;
    A.Resize(n, 40);
    B.Resize(40);
    X.Resize(n);
    Sig.Resize(n);
    for (int r = 1; r <= 40; ++r) {
      for (int j = 0; j < n - 1; ++j)
        A.SetElem(j + 1, r, DemoData[r - 1][inputs[static_cast<std::size_t>(j)] - 1] * Factor);
      A.SetElem(n, r, Factor);
      B.SetElem(r, DemoData[r - 1][5]);
    }
  }
};

void FillRandom(TMatrix& A, int Cols, int Rows, unsigned Seed)
{
  std::mt19937 gen(Seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  A.Resize(Cols, Rows);
  for (int c = 1; c <= Cols; ++c)
    for (int r = 1; r <= Rows; ++r)
      A.SetElem(c, r, dist(gen));
}

void SetAll(TVector& V, double Value)
{
  for (int i = 1; i <= V.NrOfElem(); ++i)
    V.SetElem(i, Value);
}

// Largest deviation of U diag(W) V^T from A0, and of U^T U and V^T V from the identity
// (U^T U only when there are at least as many rows as columns).
struct TSvdErrors {
  double Reconstruction = 0, OrthoU = 0, OrthoV = 0;
};

TSvdErrors SvdErrors(const TMatrix& A0, const TMatrix& U, const TMatrix& V, const TVector& W)
{
  const int n = A0.NrOfColumns(), m = A0.NrOfRows();
  TSvdErrors e;
  for (int r = 1; r <= m; ++r)
    for (int c = 1; c <= n; ++c) {
      long double s = 0;
      for (int k = 1; k <= n; ++k)
        s += static_cast<long double>(U.Elem(k, r)) * W.Elem(k) * V.Elem(k, c);
      e.Reconstruction = std::max(e.Reconstruction, static_cast<double>(std::fabs(s - A0.Elem(c, r))));
    }
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      long double su = 0, sv = 0;
      for (int r = 1; r <= m; ++r)
        su += static_cast<long double>(U.Elem(i, r)) * U.Elem(j, r);
      for (int r = 1; r <= n; ++r)
        sv += static_cast<long double>(V.Elem(i, r)) * V.Elem(j, r);
      const double id = i == j ? 1.0 : 0.0;
      if (m >= n)
        e.OrthoU = std::max(e.OrthoU, static_cast<double>(std::fabs(su - id)));
      e.OrthoV = std::max(e.OrthoV, static_cast<double>(std::fabs(sv - id)));
    }
  return e;
}

std::vector<double> Sorted(const TVector& W)
{
  std::vector<double> s(W.Data(), W.Data() + W.NrOfElem());
  std::sort(s.begin(), s.end());
  return s;
}

}  // namespace

TEST(MultiLinearRegression, DemonstrationDataLengthAndWidthGiveTheReportedCoefficients)
{
  TDemoProblem p({3, 4});
  bool nearSingular = true;
  ASSERT_TRUE(MultiLinearRegression(p.A, p.B, p.X, &p.Sig, nearSingular));
  EXPECT_FALSE(nearSingular);

  // Standard deviation of the residuals with 40 - 2 - 1 degrees of freedom.
  long double ssRes = 0;
  for (int r = 0; r < 40; ++r) {
    const double est = p.X.Elem(3) + p.X.Elem(1) * DemoData[r][2] + p.X.Elem(2) * DemoData[r][3];
    ssRes += (static_cast<long double>(est) - DemoData[r][5]) * (est - DemoData[r][5]);
  }
  const double sRes = static_cast<double>(std::sqrt(ssRes / 37));
  EXPECT_EQ(FormatReal(sRes, 14, -2), " 7.6558283E+00");

  // Eight significant digits, as the details report prints them.
  const char* coefficients[] = {" 6.8441659E-01", " 3.3731788E+00", "-1.3508957E+02"};
  const char* errors[] = {" 5.8845671E-02", " 7.0339161E-01", " 2.2448230E+01"};
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(FormatReal(p.X.Elem(j), 14, -2), coefficients[j - 1]) << j;
    EXPECT_EQ(FormatReal(p.Sig.Elem(j) * sRes, 14, -2), errors[j - 1]) << j;
  }
}

TEST(MultiLinearRegression, MatchesTheNormalEquationsForAWellConditionedDesign)
{
  const int n = 5, m = 60;
  TMatrix A;
  FillRandom(A, n, m, 7);
  TVector B, X, Sig;
  B.Resize(m);
  X.Resize(n);
  Sig.Resize(n);
  std::mt19937 gen(3);
  std::normal_distribution<double> noise(0.0, 0.1);
  for (int r = 1; r <= m; ++r)
    B.SetElem(r, 1.0 + 2.0 * A.Elem(1, r) - 3.0 * A.Elem(4, r) + noise(gen));

  // Reference: (A^T A)^-1 and (A^T A)^-1 A^T B by Gauss-Jordan in extended precision.
  long double M[n][2 * n + 1] = {};
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j)
      for (int r = 1; r <= m; ++r)
        M[i][j] += static_cast<long double>(A.Elem(i + 1, r)) * A.Elem(j + 1, r);
    M[i][n + i] = 1;
    for (int r = 1; r <= m; ++r)
      M[i][2 * n] += static_cast<long double>(A.Elem(i + 1, r)) * B.Elem(r);
  }
  for (int p = 0; p < n; ++p) {
    const long double piv = M[p][p];
    for (auto& x : M[p])
      x /= piv;
    for (int i = 0; i < n; ++i)
      if (i != p) {
        const long double f = M[i][p];
        for (int j = 0; j <= 2 * n; ++j)
          M[i][j] -= f * M[p][j];
      }
  }

  bool nearSingular = true;
  ASSERT_TRUE(MultiLinearRegression(A, B, X, &Sig, nearSingular));
  EXPECT_FALSE(nearSingular);
  // A random 60 x 5 design has a condition number near 2, so 1e-12 leaves ample room for the
  // rounding of both methods.
  for (int j = 1; j <= n; ++j) {
    EXPECT_NEAR(X.Elem(j), static_cast<double>(M[j - 1][2 * n]), 1e-12) << j;
    EXPECT_NEAR(Sig.Elem(j) * Sig.Elem(j), static_cast<double>(M[j - 1][n + j - 1]), 1e-12) << j;
  }
}

TEST(SVDecompose, ReconstructsAndIsOrthonormalWithNonNegativeUnsortedValues)
{
  for (auto [n, m] : {std::pair{1, 1}, {4, 4}, {7, 50}, {5, 3}}) {
    TMatrix A, A0, V;
    TVector W;
    FillRandom(A, n, m, 11u * static_cast<unsigned>(n + m));
    A0.Assign(A);
    V.Resize(n, n);
    W.Resize(n);
    ASSERT_TRUE(SVDecompose(A, V, W)) << n << "x" << m;
    const TSvdErrors e = SvdErrors(A0, A, V, W);
    // Backward stable: errors of a few hundred ulps of the matrix norm (~1..10).
    EXPECT_LT(e.Reconstruction, 1e-13) << n << "x" << m;
    EXPECT_LT(e.OrthoU, 1e-13) << n << "x" << m;
    EXPECT_LT(e.OrthoV, 1e-13) << n << "x" << m;
    for (int j = 1; j <= n; ++j)
      EXPECT_GE(W.Elem(j), 0.0);

    // A negated column changes U or V, not the singular values.
    TMatrix B, VB;
    TVector WB;
    B.Assign(A0);
    for (int r = 1; r <= m; ++r)
      B.SetElem(n, r, -B.Elem(n, r));
    VB.Resize(n, n);
    WB.Resize(n);
    ASSERT_TRUE(SVDecompose(B, VB, WB));
    const auto s1 = Sorted(W), s2 = Sorted(WB);
    for (std::size_t j = 0; j < s1.size(); ++j) {
      EXPECT_GE(s2[j], 0.0);
      EXPECT_NEAR(s1[j], s2[j], 1e-13);
    }
  }
}

TEST(SVDecompose, NegligibleFillInEndsTheCancellationChase)
{
  // Upper bidiagonal 4 x 4 with a zero first diagonal element. Chasing the superdiagonal 0.2
  // out of row 1 leaves a fill-in of about 0.196 x 2e-19 in column 3, which is negligible
  // against the norm; the chase must stop there instead of rotating row 1 against row 4 with
  // the stale rotation, which no longer reproduces A (an error of about 0.1).
  TMatrix A, A0, V;
  TVector W;
  A.Resize(4, 4);
  A.SetElem(2, 1, 0.2);
  A.SetElem(2, 2, 1.0);
  A.SetElem(3, 2, 2e-19);
  A.SetElem(3, 3, 1.0);
  A.SetElem(4, 3, 0.5);
  A.SetElem(4, 4, 1.0);
  A0.Assign(A);
  V.Resize(4, 4);
  W.Resize(4);
  ASSERT_TRUE(SVDecompose(A, V, W));
  const TSvdErrors e = SvdErrors(A0, A, V, W);
  EXPECT_LT(e.Reconstruction, 1e-14);
  EXPECT_LT(e.OrthoU, 1e-14);
  EXPECT_LT(e.OrthoV, 1e-14);
  // The squares of the singular values sum to the squared Frobenius norm.
  double sumSq = 0;
  for (int j = 1; j <= 4; ++j)
    sumSq += W.Elem(j) * W.Elem(j);
  EXPECT_NEAR(sumSq, 3.0 + 0.04 + 0.25, 1e-14);
}

TEST(MultiLinearRegression, DegenerateDesigns)
{
  // A single column of zeros: nothing to fit, nothing flagged.
  {
    TMatrix A;
    A.Resize(1, 5);
    TVector B, X, Sig;
    B.Resize(5);
    SetAll(B, 3.0);
    X.SetElem(1, 99.0);
    Sig.SetElem(1, 99.0);
    bool nearSingular = true;
    EXPECT_TRUE(MultiLinearRegression(A, B, X, &Sig, nearSingular));
    EXPECT_FALSE(nearSingular);
    EXPECT_EQ(X.Elem(1), 0.0);
    EXPECT_EQ(Sig.Elem(1), 0.0);
  }
  // Length twice, Width and the intercept: one singular value is zeroed, and the minimum-norm
  // solution splits the Length slope evenly between the twins.
  {
    TDemoProblem p({3, 3, 4});
    bool nearSingular = false;
    ASSERT_TRUE(MultiLinearRegression(p.A, p.B, p.X, &p.Sig, nearSingular));
    EXPECT_TRUE(nearSingular);
    // The null-space direction (1, -1, 0, 0) is removed to the accuracy of V, about the
    // condition number (~1e4) times the rounding unit, relative.
    EXPECT_NEAR(p.X.Elem(1), p.X.Elem(2), 1e-10 * p.X.Elem(1));
    EXPECT_NEAR(p.X.Elem(1) + p.X.Elem(2), 0.68441659, 5e-9);
    EXPECT_NEAR(p.X.Elem(4), -135.08957, 5e-5);
    for (int j = 1; j <= 4; ++j)
      EXPECT_TRUE(std::isfinite(p.Sig.Elem(j))) << j;
  }
  // More parameters than observations: the solution still reproduces the targets.
  {
    TMatrix A;
    FillRandom(A, 4, 2, 5);
    TMatrix A0;
    A0.Assign(A);
    TVector B, X, Sig;
    B.Resize(2);
    B.SetElem(1, 1.0);
    B.SetElem(2, -2.0);
    X.Resize(4);
    Sig.Resize(4);
    bool nearSingular = false;
    ASSERT_TRUE(MultiLinearRegression(A, B, X, &Sig, nearSingular));
    EXPECT_TRUE(nearSingular);
    for (int r = 1; r <= 2; ++r) {
      double fit = 0;
      for (int c = 1; c <= 4; ++c)
        fit += A0.Elem(c, r) * X.Elem(c);
      EXPECT_NEAR(fit, B.Elem(r), 1e-12) << r;
    }
  }
}

TEST(MultiLinearRegression, ScalingIsExactAndSurvivesExtremeMagnitudes)
{
  // Each coefficient and deviation is written once, already scaled back: a listener never
  // sees the solution of the scaled design.
  TDemoProblem ref({1, 3, 4});
  std::vector<std::vector<double>> seen;
  auto snapshot = [&seen](TObject* Sender) {
    const auto* v = static_cast<TVector*>(Sender);
    seen.emplace_back(v->Data(), v->Data() + v->NrOfElem());
  };
  ref.X.OnChange = snapshot;
  ref.Sig.OnChange = snapshot;
  bool refFlag = true;
  ASSERT_TRUE(MultiLinearRegression(ref.A, ref.B, ref.X, &ref.Sig, refFlag));
  ASSERT_EQ(seen.size(), 8u);
  for (std::size_t e = 0; e < 8; ++e) {
    const TVector& v = e < 4 ? ref.X : ref.Sig;
    for (std::size_t j = 0; j <= e % 4; ++j)
      EXPECT_EQ(seen[e][j], v.Data()[j]) << e << " " << j;
  }

  // The small design goes through the extended-precision path, whose result differs from the
  // plain decomposition and back substitution only by the latter's rounding: its error is
  // bounded by about the condition number (~7e3 here) times the rounding unit, relative, so
  // both agree to within 5e-12. (The report's digits are pinned by the tests of the run.)
  TDemoProblem direct({1, 3, 4});
  TMatrix V;
  TVector W;
  V.Resize(4, 4);
  W.Resize(4);
  ASSERT_TRUE(SVDecompose(direct.A, V, W));
  double wmax = 0;
  for (int j = 1; j <= 4; ++j)
    wmax = std::max(wmax, W.Elem(j));
  for (int j = 1; j <= 4; ++j)
    if (W.Elem(j) < static_cast<double>(static_cast<long double>(wmax) * 1e-14L))
      W.SetElem(j, 0.0);
  ASSERT_TRUE(SVSolve(direct.A, V, W, direct.B, direct.X, &direct.Sig));
  for (int j = 1; j <= 4; ++j) {
    EXPECT_NEAR(ref.X.Elem(j), direct.X.Elem(j), 5e-12 * std::fabs(direct.X.Elem(j))) << j;
    EXPECT_NEAR(ref.Sig.Elem(j), direct.Sig.Elem(j), 5e-12 * direct.Sig.Elem(j)) << j;
  }

  // A design scaled by a power of two gives exactly scaled results.
  TDemoProblem pow2({1, 3, 4}, std::ldexp(1.0, 530));
  bool flag = true;
  ASSERT_TRUE(MultiLinearRegression(pow2.A, pow2.B, pow2.X, &pow2.Sig, flag));
  EXPECT_FALSE(flag);
  for (int j = 1; j <= 4; ++j) {
    EXPECT_EQ(pow2.X.Elem(j), std::ldexp(ref.X.Elem(j), -530)) << j;
    EXPECT_EQ(pow2.Sig.Elem(j), std::ldexp(ref.Sig.Elem(j), -530)) << j;
  }

  // Decimal factors round each element once (relative 1.1e-16); the fit amplifies that by the
  // condition number (~1e4 here), hence the 1e-10 relative tolerance.
  for (double factor : {1e160, 1e-160}) {
    TDemoProblem p({1, 3, 4}, factor);
    ASSERT_TRUE(MultiLinearRegression(p.A, p.B, p.X, &p.Sig, flag)) << factor;
    EXPECT_FALSE(flag);
    for (int j = 1; j <= 4; ++j) {
      const double x = ref.X.Elem(j) / factor, s = ref.Sig.Elem(j) / factor;
      EXPECT_NEAR(p.X.Elem(j), x, 1e-10 * std::fabs(x)) << factor << " " << j;
      EXPECT_NEAR(p.Sig.Elem(j), s, 1e-10 * s) << factor << " " << j;
    }
  }
}

TEST(MultiLinearRegression, FailedDecompositionLeavesTheOutputsUnwritten)
{
  TDemoProblem p({3, 4});
  p.A.SetElem(1, 7, std::numeric_limits<double>::quiet_NaN());
  SetAll(p.X, -1.0);
  SetAll(p.Sig, -2.0);
  bool nearSingular = true;
  EXPECT_FALSE(MultiLinearRegression(p.A, p.B, p.X, &p.Sig, nearSingular));
  EXPECT_FALSE(nearSingular);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(p.X.Elem(j), -1.0);
    EXPECT_EQ(p.Sig.Elem(j), -2.0);
  }
}

TEST(SVDecompose, ReportsProgressAndStopsOnAbort)
{
  const int n = 3;
  TMatrix A, V;
  TVector W;
  FillRandom(A, n, 10, 1);
  V.Resize(n, n);
  W.Resize(n);
  std::vector<double> reported;
  MathProgressHook = [&](double count) { reported.push_back(count); };
  const double start = MathProgressCount;
  EXPECT_TRUE(SVDecompose(A, V, W));
  // n steps in each of the four phases, each reported with the running count.
  ASSERT_EQ(reported.size(), 4u * n);
  EXPECT_EQ(MathProgressCount, start + 4 * n);
  EXPECT_EQ(reported.front(), start + 1);
  EXPECT_EQ(reported.back(), start + 4 * n);

  // The abort flag is checked after the first report and ends the decomposition at once.
  reported.clear();
  MathAbort = true;
  FillRandom(A, n, 10, 1);
  EXPECT_TRUE(SVDecompose(A, V, W));
  EXPECT_EQ(reported.size(), 1u);
  MathAbort = false;

  // An abort raised by the hook during the diagonalisation (its second step) stops there too.
  // The result is still True for a sound matrix, and stays False once a singular value has
  // failed to converge: not-a-number entries make the first value use up its 30 sweeps.
  for (bool failing : {false, true}) {
    FillRandom(A, n, 10, 1);
    if (failing)
      A.SetElem(2, 4, std::numeric_limits<double>::quiet_NaN());
    const double stopAt = MathProgressCount + 3 * n + 2;
    reported.clear();
    MathProgressHook = [&reported, stopAt](double count) {
      reported.push_back(count);
      MathAbort = count == stopAt;
    };
    EXPECT_EQ(SVDecompose(A, V, W), !failing);
    EXPECT_EQ(reported.size(), 3u * n + 2) << failing;
    MathAbort = false;
  }
  MathProgressHook = nullptr;
}

TEST(SVDecompose, ManyEqualSingularValuesConverge)
{
  // The design of a categorical input with many levels of equal size (an intercept and one
  // indicator per level but the first) has many equal singular values; their off-diagonal
  // elements stall at rounding level of the double arithmetic. The decomposition must still
  // converge and reproduce the matrix.
  for (const int levels : {100, 150}) {
    for (const int perLevel : {2, 3}) {
      const int m = levels * perLevel;
      const int n = levels + 1;
      TMatrix A, A0, V;
      TVector W;
      A.Resize(n, m);
      std::mt19937 rng(static_cast<unsigned>(levels * perLevel));
      std::uniform_real_distribution<double> x(0.0, 10.0);
      for (int r = 1; r <= m; ++r) {
        A.SetElem(1, r, 1.0);
        const int level = (r - 1) % levels;
        if (level > 0)
          A.SetElem(1 + level, r, 1.0);
        A.SetElem(n, r, x(rng));
      }
      A0.Assign(A);
      V.Resize(n, n);
      W.Resize(n);
      ASSERT_TRUE(SVDecompose(A, V, W)) << levels << " levels of " << perLevel;
      const TSvdErrors e = SvdErrors(A0, A, V, W);
      EXPECT_LT(e.Reconstruction, 1e-12) << levels << " levels of " << perLevel;
      EXPECT_LT(e.OrthoU, 1e-12);
      EXPECT_LT(e.OrthoV, 1e-12);
    }
  }
}
