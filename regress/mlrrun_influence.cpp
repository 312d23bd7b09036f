// Influence measures and predictions of a successful fit, from the design's triangular factor.
// The factor R of the (power-of-two scaled) design A = Q R has the singular values and right
// singular vectors of A, so its small n x n decomposition R = U W V^T gives M = D V W^-1 (D the
// column scaling, only the singular values the solve kept), and for any row x of inputs with
// its 1 the quantity x (A'A)^+ x' = |x M|^2. That is the leverage h of an object used and, times
// s^2, the squared standard error of an estimate; (A'A)^+ x' = M (x M)' gives the change of the
// coefficients when an object is left out. No n x n matrix of the objects is ever formed: each
// object costs two small products with M, in fixed row blocks on the math threads.
#include "mlrrun.h"

#include "orvex_datatable.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
// The solver's rule: singular values below this fraction of the largest are zero.
constexpr double SingularTolerance = 1e-14;
// Leverage this close to 1 is 1 (the fit passes through the object), as in R's lm.influence.
constexpr double UnitLeverageGap = 10 * std::numeric_limits<double>::epsilon();
// Rows per task of the influence and prediction passes; a block's products (256 rows of at
// most a few dozen columns) stay in the first cache levels.
constexpr int InfluenceBlock = 256;
// Blocks per task of the influence pass: a thread takes consecutive blocks, so that what it
// fetches ahead is its own next block.
constexpr int BlocksPerTask = 16;
// The width up to which a row of the design or of its products is kept on the stack.
constexpr int MaxFactorRank = 64;
// Table rows per task of the predictions.
constexpr int PredictionBlock = 4096;

// Work space of a row of the design or of its products: Size doubles set to Value, on the stack
// up to MaxFactorRank of them.
class TRowSpace {
public:
  explicit TRowSpace(std::size_t Size, double Value = 0)
  {
    if (Size > MaxFactorRank)
      FWide.assign(Size, Value);
    else
      std::fill(FSmall, FSmall + Size, Value);
  }
  double* Data() { return FWide.empty() ? FSmall : FWide.data(); }

private:
  double FSmall[MaxFactorRank];
  std::vector<double> FWide;
};

// Four doubles as one value (GCC's vector extension): the arithmetic on them runs on whole
// vectors in every clone (two SSE2 halves in the portable one). Vectors pass between functions
// by reference: by value their calling convention would differ between the clones.
typedef double TQuad __attribute__((vector_size(32)));
typedef double TQuadU __attribute__((vector_size(32), aligned(8)));
typedef double TPair __attribute__((vector_size(16)));

// Out[c * OutStride + i] = sum over j of Cols[j][i] * Coef[c * NCols + j], for c < NOut and
// i < Count: the block's rows times a small matrix, four outputs at a time. With Lower, Coef is
// lower trapezoidal (Coef[c * NCols + j] = 0 for j < c) and the sums start at the diagonal. With
// SumSq (zeroed by the caller), SumSq[i] gains the squares of the sums in the order of c, and
// Out may be null: the leverages without storing the products. With Prefetch, the input lines
// Prefetch rows ahead are asked for while the first outputs are summed, so that reading the
// next block of a tall design overlaps this block's arithmetic. The one kernel of the influence
// pass, built also for AVX2 and AVX-512 with FMA.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
MultiplyBlock(const double* const* Cols, int NCols, const double* Coef, int NOut, int Count, double* Out,
              std::size_t OutStride, bool Lower = false, double* SumSq = nullptr, int Prefetch = 0)
{
  // Four outputs by eight rows of sums stay in registers (named, so that the compiler keeps
  // them there) over the input columns: two loads of a column's rows feed eight multiply-adds.
  const auto nCols = static_cast<std::size_t>(NCols);
  TRowSpace zero(nCols);
  const double* zeros = zero.Data();
  for (int c0 = 0; c0 < NOut; c0 += 4) {
    const int nc = std::min(4, NOut - c0);
    const double* a[4];
    for (int t = 0; t < 4; ++t)
      a[t] = t < nc ? Coef + static_cast<std::size_t>(c0 + t) * nCols : zeros;
    const std::size_t j0 = Lower ? static_cast<std::size_t>(std::min(c0, NCols)) : 0;
    // The first group reads every input column (the later ones start at the diagonal).
    const bool prefetch = Prefetch > 0 && c0 == 0;
    int i0 = 0;
    for (; i0 + 8 <= Count; i0 += 8) {
      TQuad s00 = {}, s01 = {}, s10 = {}, s11 = {}, s20 = {}, s21 = {}, s30 = {}, s31 = {};
      for (std::size_t j = j0; j < nCols; ++j) {
        // Eight rows are one 64-byte line of a column (when the column is so aligned).
        if (prefetch)
          __builtin_prefetch(Cols[j] + i0 + Prefetch);
        const TQuad x0 = *reinterpret_cast<const TQuadU*>(Cols[j] + i0);
        const TQuad x1 = *reinterpret_cast<const TQuadU*>(Cols[j] + i0 + 4);
        const double a0 = a[0][j], a1 = a[1][j], a2 = a[2][j], a3 = a[3][j];
        s00 += x0 * a0;
        s01 += x1 * a0;
        s10 += x0 * a1;
        s11 += x1 * a1;
        s20 += x0 * a2;
        s21 += x1 * a2;
        s30 += x0 * a3;
        s31 += x1 * a3;
      }
      const TQuad sums[4][2] = {{s00, s01}, {s10, s11}, {s20, s21}, {s30, s31}};
      if (Out)
        for (int t = 0; t < nc; ++t) {
          double* out = Out + static_cast<std::size_t>(c0 + t) * OutStride + i0;
          *reinterpret_cast<TQuadU*>(out) = sums[t][0];
          *reinterpret_cast<TQuadU*>(out + 4) = sums[t][1];
        }
      if (SumSq) {
        TQuad h0 = *reinterpret_cast<const TQuadU*>(SumSq + i0);
        TQuad h1 = *reinterpret_cast<const TQuadU*>(SumSq + i0 + 4);
        for (int t = 0; t < nc; ++t) {
          h0 += sums[t][0] * sums[t][0];
          h1 += sums[t][1] * sums[t][1];
        }
        *reinterpret_cast<TQuadU*>(SumSq + i0) = h0;
        *reinterpret_cast<TQuadU*>(SumSq + i0 + 4) = h1;
      }
    }
    for (int i = i0; i < Count; ++i)
      for (int t = 0; t < nc; ++t) {
        double sum = 0;
        for (std::size_t j = j0; j < nCols; ++j)
          sum += Cols[j][i] * a[t][j];
        if (Out)
          Out[static_cast<std::size_t>(c0 + t) * OutStride + static_cast<std::size_t>(i)] = sum;
        if (SumSq)
          SumSq[i] += sum * sum;
      }
  }
}

// M Q with Q orthogonal such that the product is lower trapezoidal (row j has no entries
// right of column j): Householder reflections from the right, row after row. The product has
// the same M M' (hence the same leverages and DFBETAS), and x (M Q) costs about half of x M.
void LowerTrapezoidal(std::vector<double>& M, int N, int K)
{
  auto at = [&](int Row, int Col) -> double& { return M[static_cast<std::size_t>(Col * N + Row)]; };
  std::vector<double> v(static_cast<std::size_t>(K));
  for (int c = 0; c < std::min(N, K); ++c) {
    double norm2 = 0;
    for (int t = c; t < K; ++t)
      norm2 += at(c, t) * at(c, t);
    if (norm2 == 0)
      continue;
    const double norm = std::sqrt(norm2);
    const double alpha = at(c, c) > 0 ? -norm : norm;
    double v2 = 0;
    for (int t = c; t < K; ++t) {
      v[static_cast<std::size_t>(t)] = at(c, t) - (t == c ? alpha : 0.0);
      v2 += v[static_cast<std::size_t>(t)] * v[static_cast<std::size_t>(t)];
    }
    if (v2 == 0)
      continue;
    for (int j = c + 1; j < N; ++j) {
      double dot = 0;
      for (int t = c; t < K; ++t)
        dot += at(j, t) * v[static_cast<std::size_t>(t)];
      const double f = 2 * dot / v2;
      for (int t = c; t < K; ++t)
        at(j, t) -= f * v[static_cast<std::size_t>(t)];
    }
    at(c, c) = alpha;
    for (int t = c + 1; t < K; ++t)
      at(c, t) = 0;
  }
}

// Square roots go through SSE2's exact vector root (as std::sqrt, but without the error number
// that keeps a scalar call from being vectorised).
__attribute__((always_inline)) inline void StoreQuad(double* P, const TQuad& V)
{
  *reinterpret_cast<TQuadU*>(P) = V;
}
__attribute__((always_inline)) inline void SqrtQuad(const TQuad& V, TQuad& Root)
{
  const TPair lo = __builtin_ia32_sqrtpd(TPair{V[0], V[1]});
  const TPair hi = __builtin_ia32_sqrtpd(TPair{V[2], V[3]});
  Root = TQuad{lo[0], lo[1], hi[0], hi[1]};
}

// What every object's measures share: the residual sum of squares, its degrees of freedom
// without an object (m - k - 1; NaN when there are none), s_(i) of an object of leverage 1
// (sqrt(rss / (m - k - 1))), 1 / s, 1 / k and COVRATIO's power 2k.
struct TObjectConstants {
  double RSS = 0;
  double DF = 0;
  double UnitSigma = 0;
  double InvS = 0, InvK = 0;
  int Power = 0;
};

// Runs Quad(In, Out, I) for I = 0, 4, 8, ... below Count, four items at a time from the arrays In
// to the arrays Out; the last few items go through padded copies of both (zeros in the unused
// lanes), with the same arithmetic.
template <std::size_t NIn, std::size_t NOut, typename TQuadStep>
__attribute__((always_inline)) inline void ForEachQuad(const std::array<const double*, NIn>& In,
                                                       const std::array<double*, NOut>& Out, int Count,
                                                       const TQuadStep& Quad)
{
  int i = 0;
  for (; i + 4 <= Count; i += 4)
    Quad(In, Out, i);
  if (i == Count)
    return;
  double in[NIn][4] = {}, out[NOut][4] = {};
  std::array<const double*, NIn> paddedIn;
  std::array<double*, NOut> paddedOut;
  for (std::size_t k = 0; k < NIn; ++k) {
    std::copy(In[k] + i, In[k] + Count, in[k]);
    paddedIn[k] = in[k];
  }
  for (std::size_t k = 0; k < NOut; ++k)
    paddedOut[k] = out[k];
  Quad(paddedIn, paddedOut, 0);
  for (std::size_t k = 0; k < NOut; ++k)
    std::copy(out[k], out[k] + (Count - i), Out[k] + i);
}

// The measures of four objects at I from their leverages and residuals (one reciprocal of 1 - h
// and one of s_(i), three roots): In holds h and e; Out h (exactly 1 within UnitLeverageGap of
// 1), s_(i), the standardized and studentized residuals, Cook's distance, DFFITS, COVRATIO and
// the DFBETAS factor e / ((1 - h) s_(i)). An object of leverage 1 is computed like the others and
// its measures replaced by NaN, as is every infinite measure (R: an infinite measure means
// nothing).
__attribute__((always_inline)) inline void QuadMeasures(const TObjectConstants& C,
                                                        const std::array<const double*, 2>& In,
                                                        const std::array<double*, 8>& Out, int I)
{
  const TQuad H = *reinterpret_cast<const TQuadU*>(In[0] + I);
  const TQuad E = *reinterpret_cast<const TQuadU*>(In[1] + I);
  const TQuad nan = TQuad{} + NaN, one = TQuad{} + 1.0, zero = TQuad{};
  constexpr double Huge = std::numeric_limits<double>::max();
  const auto unit = H > 1 - UnitLeverageGap;
  const TQuad h = unit ? one : H;
  const TQuad inv = 1 / (1 - h);
  const TQuad si2 = (C.RSS - E * E * inv) / C.DF;
  TQuad root, invSqrt, sqrtH;
  SqrtQuad(si2 < 0 ? zero : si2, root);
  // Leaving out an object of leverage 1 changes no other residual.
  const TQuad unitSigma = TQuad{} + C.UnitSigma;
  const TQuad si = unit ? unitSigma : root;
  const TQuad invSi = 1 / si;
  SqrtQuad(inv, invSqrt);
  SqrtQuad(h, sqrtH);
  const TQuad rs = E * C.InvS * invSqrt;
  const TQuad rt = E * invSi * invSqrt;
  const TQuad cd = rs * rs * h * inv * C.InvK;
  const TQuad dffits = E * sqrtH * invSi * inv;
  // COVRATIO = (s_(i) / s)^(2k) / (1 - h), the power by squaring.
  TQuad x = si * C.InvS, power = one;
  for (int p = C.Power; p > 0; p >>= 1, x *= x)
    if (p & 1)
      power *= x;
  const TQuad cov = power * inv;
  auto measure = [&](double* P, const TQuad& V) {
    StoreQuad(P + I, unit ? nan : ((V <= Huge) & (V >= -Huge)) ? V : nan);
  };
  StoreQuad(Out[0] + I, h);
  StoreQuad(Out[1] + I, si);
  measure(Out[2], rs);
  measure(Out[3], rt);
  measure(Out[4], cd);
  measure(Out[5], dffits);
  measure(Out[6], cov);
  // DFBETAS: the change over s_(i) sqrt(C_jj).
  StoreQuad(Out[7] + I, unit ? nan : E * inv * invSi);
}

// The measures of Count objects from their leverages (Out.Hat, set to exactly 1 within
// UnitLeverageGap of 1) and residuals E, each object's DFBETAS factor into Scale.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
ObjectMeasures(const TObjectConstants& C, const double* E, int Count, const TInfluenceRows& Out, double* Scale)
{
  ForEachQuad<2, 8>(
      {Out.Hat, E},
      {Out.Hat, Out.SigmaWithout, Out.RStandard, Out.RStudent, Out.CooksDistance, Out.DFFits, Out.CovRatio, Scale},
      Count,
      [&](const std::array<const double*, 2>& In, const std::array<double*, 8>& O, int I)
          __attribute__((always_inline)) { QuadMeasures(C, In, O, I); });
}

// The standard errors and 95 % intervals of four estimates at I (In: the estimates and their
// leverages, a fit without weights), as PredictionOf gives them: Out holds the standard errors,
// the confidence interval's bounds and the prediction interval's.
__attribute__((always_inline)) inline void QuadIntervals(double S, double TQuantile,
                                                         const std::array<const double*, 2>& In,
                                                         const std::array<double*, 5>& Out, int I)
{
  const TQuad est = *reinterpret_cast<const TQuadU*>(In[0] + I);
  const TQuad hat = *reinterpret_cast<const TQuadU*>(In[1] + I);
  TQuad se, pi;
  SqrtQuad(hat, se);
  se = S * se;
  SqrtQuad(S * S / 1.0 + se * se, pi);
  pi = TQuantile * pi;
  const TQuad ci = TQuantile * se;
  StoreQuad(Out[0] + I, se);
  StoreQuad(Out[1] + I, est - ci);
  StoreQuad(Out[2] + I, est + ci);
  StoreQuad(Out[3] + I, est - pi);
  StoreQuad(Out[4] + I, est + pi);
}

// QuadIntervals for Count estimates: Out as there.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) void
PredictionIntervals(const double* Est, const double* Hat, int Count, double S, double TQuantile,
                    const std::array<double*, 5>& Out)
{
  ForEachQuad<2, 5>(
      {Est, Hat}, Out, Count,
      [&](const std::array<const double*, 2>& In, const std::array<double*, 5>& O, int I)
          __attribute__((always_inline)) { QuadIntervals(S, TQuantile, In, O, I); });
}

// Prediction A: the estimate, its standard error and the 95 % intervals.
void StorePrediction(TPredictions& Pr, std::size_t A, double Est, const TPredictionRow& Row)
{
  Pr.Estimate[A] = Est;
  Pr.SEFit[A] = Row.SEFit;
  Pr.CILow[A] = Row.CILow;
  Pr.CIHigh[A] = Row.CIHigh;
  Pr.PILow[A] = Row.PILow;
  Pr.PIHigh[A] = Row.PIHigh;
}

}  // namespace

TSharedDesign::TSharedDesign() : FCurrent(std::make_shared<TMatrix>()) {}

bool TSharedDesign::Resize(int NewNrOfColumns, int NewNrOfRows)
{
  FBorrowed = {};
  FBorrowKeep.reset();
  if (FCurrent.use_count() > 1) {
    // A result holds this design: fill the spare one, or a new one while both are held.
    std::shared_ptr<TMatrix> next = FSpare && FSpare.use_count() == 1 ? std::move(FSpare) : std::make_shared<TMatrix>();
    next->SetName(FCurrent->Name());
    FSpare = std::move(FCurrent);
    FCurrent = std::move(next);
  }
  return FCurrent->Resize(NewNrOfColumns, NewNrOfRows);
}

void TSharedDesign::Borrow(std::vector<const double*> Columns, int NrOfRows, std::shared_ptr<const void> Keep)
{
  FBorrowed = {std::move(Columns), NrOfRows};
  FBorrowKeep = std::move(Keep);
}

TColumnDesign TSharedDesign::Columns() const
{
  return Borrowed() ? FBorrowed : ColumnDesignOf(*FCurrent);
}

const TMatrix& TSharedDesign::Materialized() const
{
  if (Borrowed()) {
    // A matrix of its own with the borrowed values (a held one is left to its result).
    auto copy = std::make_shared<TMatrix>();
    copy->SetName(FCurrent->Name());
    copy->Resize(FBorrowed.NrOfColumns(), FBorrowed.NrOfRows);
    for (int c = 1; c <= FBorrowed.NrOfColumns(); ++c)
      std::copy(FBorrowed.Columns[static_cast<std::size_t>(c - 1)],
                FBorrowed.Columns[static_cast<std::size_t>(c - 1)] + FBorrowed.NrOfRows, copy->Column(c));
    FSpare = std::move(FCurrent);
    FCurrent = std::move(copy);
    FBorrowed = {};
    FBorrowKeep.reset();
  }
  return *FCurrent;
}

TMatrix& TSharedDesign::Own()
{
  Materialized();
  if (FCurrent.use_count() > 1) {
    auto copy = std::make_shared<TMatrix>();
    copy->Assign(*FCurrent);
    copy->SetName(FCurrent->Name());
    FSpare = std::move(FCurrent);
    FCurrent = std::move(copy);
  }
  return *FCurrent;
}

// M (n x Rank, column-major, one column per kept singular value) from the triangular factor of
// the design. False when the reduction or the small decomposition fails.
bool TMLRRun::MakeLeverageFactor(std::vector<double>& M, int& Rank) const
{
  TMatrix r;
  if (FHaveTriangle) {
    r.Assign(FTriangle);
  } else {
    TVector qtb;
    double rho = 0;
    if (!ReduceToTriangle(FMatD, FVecC, r, qtb, rho))
      return false;
  }
  return LeverageFactor(r, FExponents, M, Rank);
}

bool LeverageFactor(TMatrix& R, const std::vector<int>& Exponents, std::vector<double>& M, int& Rank)
{
  const int n = R.NrOfColumns();
  TMatrix& r = R;
  TMatrix v;
  TVector w;
  const std::vector<int>& FExponents = Exponents;
  // A D = Q (R D): scaling a column of the design scales the same column of the factor.
  for (int c = 1; c <= n; ++c) {
    double* col = r.Column(c);
    for (int i = 0; i < n; ++i)
      col[i] = std::ldexp(col[i], -FExponents[static_cast<std::size_t>(c - 1)]);
  }
  v.Resize(n, n);  // the decomposition fills V and W as sized
  w.Resize(n);
  if (!SVDecompose(r, v, w))
    return false;
  double wmax = 0;
  for (int k = 1; k <= n; ++k)
    wmax = std::max(wmax, w.Elem(k));
  M.clear();
  Rank = 0;
  for (int k = 1; k <= n; ++k) {
    const double wk = w.Elem(k);
    if (!(wk > SingularTolerance * wmax))
      continue;
    ++Rank;
    const double* vk = v.Column(k);
    for (int j = 0; j < n; ++j)
      M.push_back(std::ldexp(vk[j], -FExponents[static_cast<std::size_t>(j)]) / wk);
  }
  return Rank > 0;
}

TInfluenceModel MakeInfluenceModel(const std::vector<double>& M, int Rank, int NrOfObjects, long double RSS,
                                   const TFitInference& Inference)
{
  TInfluenceModel mo;
  const int k = Rank;
  const int n = static_cast<int>(Inference.Coefficients.size());
  const int m = NrOfObjects;
  auto f = std::make_shared<TDFBetaModel>();
  f->M = M;
  LowerTrapezoidal(f->M, n, k);
  f->Rank = mo.Rank = k;
  f->NrOfCoefficients = mo.NrOfCoefficients = n;
  mo.NrOfObjects = m;
  mo.RSS = RSS;
  mo.S = std::sqrt(static_cast<double>(RSS / (m - k)));
  // The diagonal of (A'A)^+, for the DFBETAS' scale; a coefficient of the collinear part of the
  // design has no DFBETAS.
  std::vector<double> cjj(static_cast<std::size_t>(n), 0.0);
  for (int j = 0; j < n; ++j) {
    for (int c = 0; c < k; ++c) {
      const double mjc = M[static_cast<std::size_t>(c * n + j)];
      cjj[static_cast<std::size_t>(j)] += mjc * mjc;
    }
    if (Inference.Coefficients[static_cast<std::size_t>(j)].Collinear)
      cjj[static_cast<std::size_t>(j)] = NaN;
  }
  f->InvSqrtC.resize(cjj.size());
  for (std::size_t j = 0; j < cjj.size(); ++j)
    f->InvSqrtC[j] = 1.0 / std::sqrt(cjj[j]);
  // The factor transposed: row j as the coefficients of DFBETAS column j.
  f->MT.resize(M.size());
  for (int c = 0; c < k; ++c)
    for (int j = 0; j < n; ++j)
      f->MT[static_cast<std::size_t>(j * k + c)] = f->M[static_cast<std::size_t>(c * n + j)];
  mo.Factor = std::move(f);
  return mo;
}

void DFBetaRowOf(const TDFBetaModel& Model, const double* X, double Scale, double* Out)
{
  // The products of the influence pass, sum by sum in its order: z = x M, then M z'.
  const int n = Model.NrOfCoefficients, k = Model.Rank;
  TRowSpace z(static_cast<std::size_t>(k));
  double* zc = z.Data();
  for (int c = 0; c < k; ++c) {
    double sum = 0;
    for (int j = 0; j < n; ++j)
      sum += X[j] * Model.M[static_cast<std::size_t>(c * n + j)];
    zc[c] = sum;
  }
  for (int j = 0; j < n; ++j) {
    double sum = 0;
    for (int c = 0; c < k; ++c)
      sum += zc[c] * Model.MT[static_cast<std::size_t>(j * k + c)];
    const double d = sum * (Scale * Model.InvSqrtC[static_cast<std::size_t>(j)]);
    // As R: an infinite measure means nothing.
    Out[j] = std::isinf(d) ? NaN : d;
  }
}

void TInfluence::DFBetaRow(int Object, double* Out) const
{
  const TDFBetaModel& f = *DFBetaSource;
  const int n = f.NrOfCoefficients;
  std::vector<double> x(static_cast<std::size_t>(n));
  for (int j = 0; j < n; ++j)
    x[static_cast<std::size_t>(j)] = f.Design.Columns[static_cast<std::size_t>(j)][Object];
  DFBetaRowOf(f, x.data(), DFBetaScale[static_cast<std::size_t>(Object)], Out);
}

double TInfluence::DFBeta(int Object, int Coefficient) const
{
  std::vector<double> row(static_cast<std::size_t>(NrOfCoefficients));
  DFBetaRow(Object, row.data());
  return row[static_cast<std::size_t>(Coefficient)];
}

void InfluenceOfBlock(const TInfluenceModel& Model, const double* const* Cols, const double* E, int Count,
                      const TInfluenceRows& Out)
{
  const int n = Model.NrOfCoefficients;
  const int k = Model.Rank;
  const TDFBetaModel& factor = *Model.Factor;
  const auto cnt = static_cast<std::size_t>(Count);
  // The block's work space, kept per thread from block to block (never zero-filled again).
  thread_local std::vector<double> zSpace, scaleSpace;
  thread_local std::vector<const double*> colSpace;
  if (Out.DFBetas && zSpace.size() < cnt * static_cast<std::size_t>(k))
    zSpace.resize(cnt * static_cast<std::size_t>(k));
  if (scaleSpace.size() < cnt)
    scaleSpace.resize(cnt);
  if (colSpace.size() < static_cast<std::size_t>(std::max(n, k)))
    colSpace.resize(static_cast<std::size_t>(std::max(n, k)));
  const double** cols = colSpace.data();
  // h = |x M|^2 for the block's rows, with z = x M (one column per kept singular value) kept only
  // for the DFBETAS; the next block's rows are fetched meanwhile. Every step below is a pass
  // over contiguous columns of the block.
  for (int j = 0; j < n; ++j)
    cols[j] = Cols[j];
  double* z = Out.DFBetas ? zSpace.data() : nullptr;
  std::fill(Out.Hat, Out.Hat + Count, 0.0);
  MultiplyBlock(cols, n, factor.M.data(), k, Count, z, cnt, true, Out.Hat, Count);
  // The coefficients' change M (x M)' e / (1 - h) per coefficient column; scaled below.
  if (Out.DFBetas) {
    for (int c = 0; c < k; ++c)
      cols[c] = z + static_cast<std::size_t>(c) * cnt;
    MultiplyBlock(cols, k, factor.MT.data(), n, Count, Out.DFBetas, Out.DFBetaStride);
  }
  double* scale = Out.DFBetaScale ? Out.DFBetaScale : scaleSpace.data();
  TObjectConstants oc;
  const int m = Model.NrOfObjects;
  oc.RSS = static_cast<double>(Model.RSS);
  oc.DF = m - k - 1 > 0 ? m - k - 1 : NaN;
  oc.UnitSigma = m - k - 1 > 0 ? std::sqrt(static_cast<double>(Model.RSS / (m - k - 1))) : NaN;
  oc.InvS = 1 / Model.S;
  oc.InvK = 1.0 / k;
  oc.Power = 2 * k;
  ObjectMeasures(oc, E, Count, Out, scale);
  if (Out.DFBetas) {
    for (int j = 0; j < n; ++j) {
      double* d = Out.DFBetas + static_cast<std::size_t>(j) * Out.DFBetaStride;
      const double cj = factor.InvSqrtC[static_cast<std::size_t>(j)];
      for (int i = 0; i < Count; ++i)
        d[i] *= scale[i] * cj;
    }
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < Count; ++i) {
        double& x = Out.DFBetas[static_cast<std::size_t>(j) * Out.DFBetaStride + static_cast<std::size_t>(i)];
        if (std::isinf(x))
          x = NaN;
      }
  }
  if (Out.MaxAbsDFBeta) {
    // |(M z')_j| <= |row j of M| |z| = sqrt(C_jj h), so |DFBETAS_j| <= |DFFITS|: only an object
    // whose DFFITS reaches 1 (or means nothing) can break the DFBETAS rule. The margin covers
    // the rounding of the two sides, some 1e-13 of them.
    TRowSpace x(static_cast<std::size_t>(n)), row(static_cast<std::size_t>(n));
    double* xs = x.Data();
    double* rows = row.Data();
    for (int i = 0; i < Count; ++i) {
      double dfb = 0;
      if (!(std::fabs(Out.DFFits[i]) < 1 - 1e-6)) {
        for (int j = 0; j < n; ++j)
          xs[j] = Cols[j][i];
        DFBetaRowOf(factor, xs, scale[i], rows);
        for (int j = 0; j < n; ++j)
          dfb = std::max(dfb, std::fabs(rows[j]));
      }
      Out.MaxAbsDFBeta[i] = dfb;
    }
  }
}

TInfluenceLimits InfluenceLimitsOf(int Rank, int NrOfPositive)
{
  const double dk = Rank, dn = NrOfPositive;
  TInfluenceLimits l;
  l.DFFit = 3 * std::sqrt(dk / (dn - dk));
  l.CovRatio = 3 * dk / (dn - dk);
  l.Hat = 3 * dk / dn;
  const boost::math::fisher_f_distribution<double> fdist(dk, dn - dk);
  l.CooksD = boost::math::quantile(fdist, 0.5);
  return l;
}

std::uint8_t InfluenceFlagsOf(const TInfluenceLimits& L, double MaxAbsDFBeta, double DFFits, double CovRatio,
                              double CooksDistance, double Hat)
{
  std::uint8_t flags = 0;
  if (MaxAbsDFBeta > 1)
    flags |= ifDFBeta;
  if (std::fabs(DFFits) > L.DFFit)
    flags |= ifDFFit;
  if (std::fabs(1 - CovRatio) > L.CovRatio)
    flags |= ifCovRatio;
  if (CooksDistance > L.CooksD)
    flags |= ifCooksD;
  if (Hat > L.Hat)
    flags |= ifHat;
  return flags;
}

namespace {

// The influence listing of the m objects of a fit under the limits L, in one pass that keeps no
// measure per object: each task fills block-sized space and a listing of its own (the DFBETAS
// are made only for the objects it lists), and the tasks' listings are joined in order.
TInfluenceListing ListInfluence(const TInfluenceModel& Model, const double* E, int NrOfObjects,
                                const int* UsedRows, const TInfluenceLimits& L)
{
  const int m = NrOfObjects;
  const TDFBetaModel& factor = *Model.Factor;
  const int n = factor.NrOfCoefficients;
  const int blocks = (m + InfluenceBlock - 1) / InfluenceBlock;
  const int tasks = (blocks + BlocksPerTask - 1) / BlocksPerTask;
  std::vector<TInfluenceListing> parts(static_cast<std::size_t>(tasks));
  ForEachMathTask(tasks, [&](int t) {
    std::vector<const double*> cols(static_cast<std::size_t>(n));
    std::vector<double> x(static_cast<std::size_t>(n)), dfbetas(static_cast<std::size_t>(n));
    std::vector<double> space(9 * static_cast<std::size_t>(InfluenceBlock));
    TInfluenceRows out;
    double** members[] = {&out.Hat,    &out.RStandard,    &out.RStudent,    &out.CooksDistance, &out.DFFits,
                          &out.CovRatio, &out.SigmaWithout, &out.DFBetaScale, &out.MaxAbsDFBeta};
    for (std::size_t v = 0; v < std::size(members); ++v)
      *members[v] = space.data() + v * InfluenceBlock;
    TInfluenceListing& part = parts[static_cast<std::size_t>(t)];
    for (int b = t * BlocksPerTask; b < std::min(blocks, (t + 1) * BlocksPerTask); ++b) {
      const int start = b * InfluenceBlock;
      const int count = std::min(m, start + InfluenceBlock) - start;
      for (int j = 0; j < n; ++j)
        cols[static_cast<std::size_t>(j)] = factor.Design.Columns[static_cast<std::size_t>(j)] + start;
      InfluenceOfBlock(Model, cols.data(), E + start, count, out);
      for (int i = 0; i < count; ++i) {
        const int row = UsedRows[start + i];
        part.NrOfPositive += out.Hat[i] > 0;
        if (out.Hat[i] == 1)
          part.AddUnitLeverage(row);
        const std::uint8_t flags =
            InfluenceFlagsOf(L, out.MaxAbsDFBeta[i], out.DFFits[i], out.CovRatio[i], out.CooksDistance[i], out.Hat[i]);
        if (!flags)
          continue;
        TListedObject o;
        if (part.Lists()) {
          // What TInfluence::DFBetaRow makes of the object, to the bit.
          for (int j = 0; j < n; ++j)
            x[static_cast<std::size_t>(j)] = cols[static_cast<std::size_t>(j)][i];
          DFBetaRowOf(factor, x.data(), out.DFBetaScale[i], dfbetas.data());
          double dfb = 0;
          for (double d : dfbetas)
            dfb = std::max(dfb, std::fabs(d));
          o = {row, std::string(), dfb, out.DFFits[i], out.CovRatio[i], out.CooksDistance[i], out.Hat[i], flags};
        }
        part.AddFlagged(std::move(o));
      }
    }
  });
  TInfluenceListing listing;
  listing.Rank = Model.Rank;
  listing.NrOfObjects = m;
  for (const TInfluenceListing& part : parts)
    listing.Append(part);
  return listing;
}

}  // namespace

void TMLRRun::MakeInfluence(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M, int Rank) const
{
  TInfluence& f = Result.Influence;
  const int m = FMatD.NrOfRows();
  const int n = FMatD.NrOfColumns();
  const int k = Rank;
  f.Rank = k;
  f.NrOfCoefficients = n;
  if (m <= k)
    return;
  const auto size = static_cast<std::size_t>(m);
  // The predictions read every object's leverage.
  const bool perObject = FObjectMeasures || FPredictions;
  if (perObject) {
    for (TBulkVector<double>* v : {&f.Hat, &f.RStandard, &f.RStudent, &f.CooksDistance, &f.DFFits, &f.CovRatio,
                                   &f.SigmaWithout, &f.DFBetaScale})
      v->resize(size);
    f.Flags.resize(size);
  }

  // R's weighted definitions are those of the sqrt(w) scaled problem: its residuals.
  std::vector<double> scaled;
  if (Weighted()) {
    scaled.resize(size);
    for (std::size_t i = 0; i < size; ++i)
      scaled[i] = Result.Residuals[i] * FSqrtW[i];
  }
  const double* e = Weighted() ? scaled.data() : Result.Residuals.data();
  long double rss = 0;
  for (int i = 0; i < m; ++i)
    rss += static_cast<long double>(e[i]) * e[i];
  const TInfluenceModel model = MakeInfluenceModel(M, k, m, rss, Result.Inference);
  model.Factor->Design = FMatD.Columns();
  model.Factor->Keep = FMatD.Share();
  f.DFBetaSource = model.Factor;
  // The rules' n counts the objects with leverage above 0; each is taken to count (as it does
  // with an intercept), and the flags are decided again in the rare case it does not.
  const TInfluenceLimits guess = InfluenceLimitsOf(k, m);
  if (!perObject) {
    TInfluenceListing listing = ListInfluence(model, e, m, Result.UsedRows.data(), guess);
    if (listing.NrOfPositive != m && listing.NrOfPositive > k)
      listing = ListInfluence(model, e, m, Result.UsedRows.data(), InfluenceLimitsOf(k, listing.NrOfPositive));
    for (TListedObject& o : listing.Listed)
      o.Name = Table.RowName(o.Row);
    f.Available = listing.NrOfPositive > k;
    f.NrOfUnitLeverage = listing.NrOfUnitLeverage;
    f.Summarized = true;
    f.Listing = std::move(listing);
    return;
  }
  // One pass in fixed blocks, a task of several consecutive blocks per thread (so that a block's
  // arithmetic overlaps the reading of the next one): the measures, each object's DFBETAS factor
  // and the flags.
  const int blocks = (m + InfluenceBlock - 1) / InfluenceBlock;
  const int tasks = (blocks + BlocksPerTask - 1) / BlocksPerTask;
  std::vector<int> positive(static_cast<std::size_t>(tasks)), unit(static_cast<std::size_t>(tasks));
  ForEachMathTask(tasks, [&](int t) {
    std::vector<const double*> cols(static_cast<std::size_t>(n));
    double maxAbs[InfluenceBlock];
    int nPositive = 0, nUnit = 0;
    for (int b = t * BlocksPerTask; b < std::min(blocks, (t + 1) * BlocksPerTask); ++b) {
      const int start = b * InfluenceBlock;
      const int count = std::min(m, start + InfluenceBlock) - start;
      for (int j = 0; j < n; ++j)
        cols[static_cast<std::size_t>(j)] = FMatD.Column(j + 1) + start;
      TInfluenceRows out;
      out.Hat = f.Hat.data() + start;
      out.RStandard = f.RStandard.data() + start;
      out.RStudent = f.RStudent.data() + start;
      out.CooksDistance = f.CooksDistance.data() + start;
      out.DFFits = f.DFFits.data() + start;
      out.CovRatio = f.CovRatio.data() + start;
      out.SigmaWithout = f.SigmaWithout.data() + start;
      out.DFBetaScale = f.DFBetaScale.data() + start;
      out.MaxAbsDFBeta = maxAbs;
      InfluenceOfBlock(model, cols.data(), e + start, count, out);
      std::uint8_t* flags = f.Flags.data() + start;
      for (int i = 0; i < count; ++i) {
        flags[i] = InfluenceFlagsOf(guess, maxAbs[i], out.DFFits[i], out.CovRatio[i], out.CooksDistance[i], out.Hat[i]);
        nPositive += out.Hat[i] > 0;
        nUnit += out.Hat[i] == 1;
      }
    }
    positive[static_cast<std::size_t>(t)] = nPositive;
    unit[static_cast<std::size_t>(t)] = nUnit;
  });
  int nPositive = 0;
  for (std::size_t t = 0; t < positive.size(); ++t) {
    nPositive += positive[t];
    f.NrOfUnitLeverage += unit[t];
  }
  f.Available = nPositive > k;
  if (!f.Available) {
    std::fill(f.Flags.begin(), f.Flags.end(), 0);
    return;
  }
  if (nPositive != m) {
    const TInfluenceLimits limits = InfluenceLimitsOf(k, nPositive);
    ForEachMathTask(blocks, [&](int b) {
      const std::size_t start = static_cast<std::size_t>(b) * InfluenceBlock;
      const std::size_t end = std::min(size, start + InfluenceBlock);
      for (std::size_t o = start; o < end; ++o)
        f.Flags[o] = InfluenceFlagsOf(limits, (f.Flags[o] & ifDFBeta) ? 2.0 : 0.0, f.DFFits[o], f.CovRatio[o],
                                      f.CooksDistance[o], f.Hat[o]);
    });
  }
  for (std::size_t o = 0; o < size; ++o)
    if (f.Flags[o])
      f.Flagged.push_back(static_cast<int>(o));
}

double LeverageOf(const double* X, int NrOfCoefficients, const std::vector<double>& M, int Rank)
{
  const int n = NrOfCoefficients;
  // z = x M with every sum of z in the order of j, the sums side by side (independent, so that
  // they overlap instead of waiting on one another), then h = |z|^2 in the order of c.
  TRowSpace z(static_cast<std::size_t>(Rank));
  double* zs = z.Data();
  for (int j = 0; j < n; ++j) {
    const double xj = X[j];
    for (int c = 0; c < Rank; ++c)
      zs[c] += xj * M[static_cast<std::size_t>(c * n + j)];
  }
  double h = 0;
  for (int c = 0; c < Rank; ++c)
    h += zs[c] * zs[c];
  return h;
}

TPredictionRow PredictionOf(double Estimate, double Hat, double S, double TQuantile, double Weight)
{
  TPredictionRow r;
  r.SEFit = S * std::sqrt(Hat);
  const double ci = TQuantile * r.SEFit;
  const double pi = TQuantile * std::sqrt(S * S / Weight + r.SEFit * r.SEFit);
  r.CILow = Estimate - ci;
  r.CIHigh = Estimate + ci;
  r.PILow = Estimate - pi;
  r.PIHigh = Estimate + pi;
  return r;
}

void TMLRRun::MakePredictions(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M, int Rank) const
{
  TPredictions& pr = Result.Predictions;
  const int nr = std::max(Table.NrOfRows(), 0);
  const int p = FNumInputs;
  const int n = NrOfCoefficients();
  const int k = Rank;
  const int m = FMatD.NrOfRows();
  if (m <= k)
    return;
  if (!FPlain) {
    MakeOptionsPredictions(Table, Result, M, Rank);
    return;
  }

  long double rss = 0;
  for (double e : Result.Residuals)
    rss += static_cast<long double>(e) * e;
  const double s = static_cast<double>(std::sqrt(rss / (m - k)));
  const boost::math::students_t_distribution<double> tdist(m - k);
  const double tq = boost::math::quantile(boost::math::complement(tdist, 0.025));

  // Every row of the fit has valid finite inputs. Of the other rows (a missing or non-finite
  // value, or excluded by the user), those whose inputs all hold valid finite numbers are
  // predicted too: found, and their estimates, leverages and residuals made, in fixed blocks of
  // table rows without reading the rows of the fit. Their inputs are read column after column,
  // at a steady stride that the processor fetches ahead; then each row as the fit orders its
  // terms (the intercept, then each input's term).
  std::vector<const double*> cols;
  std::vector<const std::uint8_t*> states;
  std::vector<bool> round;
  for (int j = 1; j <= p; ++j) {
    const int col = FSelColumns.Elem(j);
    cols.push_back(Table.ColumnValues(col));
    states.push_back(Table.ColumnStates(col));
    round.push_back(IsLevelType(Table.VarType(col)));
  }
  const double* coef = FVecX.Data();
  const double* y = Table.ColumnValues(FTargetCol);
  const std::uint8_t* ys = Table.ColumnStates(FTargetCol);
  const bool roundY = IsLevelType(Table.VarType(FTargetCol));
  const TBulkVector<int>& used = FUsedRows;
  // Per row predicted only: its table row, the number of rows of the fit before it (its place
  // among the predictions is that plus its own index), estimate, leverage and residual.
  struct TOtherRows {
    std::vector<int> Rows;
    std::vector<std::size_t> UsedBefore;
    std::vector<double> Estimate, Hat, Residual;
  };
  const int rowBlocks = (nr + PredictionBlock - 1) / PredictionBlock;
  std::vector<TOtherRows> blockOthers(static_cast<std::size_t>(rowBlocks));
  ForEachMathTask(rowBlocks, [&](int b) {
    const int r0 = b * PredictionBlock, r1 = std::min(nr, r0 + PredictionBlock);
    auto u = std::lower_bound(used.begin(), used.end(), r0 + 1);
    std::vector<int> candidates;
    std::vector<std::size_t> usedBefore;
    for (int r = r0; r < r1; ++r) {
      if (u != used.end() && *u == r + 1) {
        ++u;
        continue;
      }
      candidates.push_back(r);
      usedBefore.push_back(static_cast<std::size_t>(u - used.begin()));
    }
    if (candidates.empty())
      return;
    const std::size_t nc = candidates.size();
    const auto nn = static_cast<std::size_t>(n);
    std::vector<double> x(nc * nn);
    std::vector<std::uint8_t> valid(nc, 1);
    // Each column's cells are asked for a column ahead: the rows lie far apart.
    auto fetch = [&](int J) {
      if (J < p)
        for (int r : candidates) {
          __builtin_prefetch(cols[static_cast<std::size_t>(J)] + r);
          __builtin_prefetch(states[static_cast<std::size_t>(J)] + r);
        }
    };
    fetch(0);
    for (int j = 0; j < p; ++j) {
      const std::uint8_t* st = states[static_cast<std::size_t>(j)];
      const double* v = cols[static_cast<std::size_t>(j)];
      const bool rounded = round[static_cast<std::size_t>(j)];
      fetch(j + 1);
      // A rounded value is finite exactly when the value is.
      for (std::size_t c = 0; c < nc; ++c) {
        const int r = candidates[c];
        valid[c] &= static_cast<std::uint8_t>(((st[r] & (csNotANumber | csEmpty)) == 0) &
                                              (std::fabs(v[r]) <= std::numeric_limits<double>::max()));
        x[c * nn + static_cast<std::size_t>(j)] = rounded ? std::nearbyint(v[r]) : v[r];
      }
    }
    TOtherRows& o = blockOthers[static_cast<std::size_t>(b)];
    for (std::size_t c = 0; c < nc; ++c) {
      if (!valid[c])
        continue;
      const int r = candidates[c];
      double* xc = x.data() + c * nn;
      double est = coef[p];
      for (int j = 0; j < p; ++j)
        est += coef[j] * xc[j];
      xc[p] = 1;
      double actual = NaN;
      if ((ys[r] & (csNotANumber | csEmpty)) == 0)
        actual = roundY ? std::nearbyint(y[r]) : y[r];
      o.Rows.push_back(r + 1);
      o.UsedBefore.push_back(usedBefore[c]);
      o.Estimate.push_back(est);
      o.Hat.push_back(LeverageOf(xc, n, M, k));
      o.Residual.push_back(std::isfinite(actual) ? actual - est : NaN);
    }
  });
  std::vector<int> others;
  for (const TOtherRows& o : blockOthers)
    others.insert(others.end(), o.Rows.begin(), o.Rows.end());
  const std::size_t count = used.size() + others.size();
  pr.Rows.resize(count);
  for (TBulkVector<double>* v : {&pr.Estimate, &pr.SEFit, &pr.CILow, &pr.CIHigh, &pr.PILow, &pr.PIHigh, &pr.Residual})
    v->resize(count);
  pr.Used.resize(count);

  // The rows of the fit, in fixed blocks of objects: their estimates, residuals and leverages
  // are the fit's own. Between two rows predicted only, the objects' places among the
  // predictions are consecutive, so each such run is written with whole vectors.
  const auto mm = static_cast<std::size_t>(m);
  const int usedBlocks = (m + PredictionBlock - 1) / PredictionBlock;
  const int* usedRows = used.data();
  ForEachMathTask(usedBlocks, [&](int b) {
    const std::size_t u1 = std::min(mm, static_cast<std::size_t>(b + 1) * PredictionBlock);
    std::size_t u = static_cast<std::size_t>(b) * PredictionBlock;
    // The rows predicted only before object u.
    auto o = static_cast<std::size_t>(std::lower_bound(others.begin(), others.end(), usedRows[u]) - others.begin());
    while (u < u1) {
      // The objects up to the next row predicted only stand at u + o on.
      const std::size_t end =
          o < others.size()
              ? static_cast<std::size_t>(std::lower_bound(usedRows + u, usedRows + u1, others[o]) - usedRows)
              : u1;
      const std::size_t a = u + o;
      std::copy(usedRows + u, usedRows + end, pr.Rows.data() + a);
      std::fill(pr.Used.data() + a, pr.Used.data() + a + (end - u), std::uint8_t{1});
      std::copy(Result.Estimates.data() + u, Result.Estimates.data() + end, pr.Estimate.data() + a);
      std::copy(Result.Residuals.data() + u, Result.Residuals.data() + end, pr.Residual.data() + a);
      const std::array<double*, 5> out{pr.SEFit.data() + a, pr.CILow.data() + a, pr.CIHigh.data() + a,
                                       pr.PILow.data() + a, pr.PIHigh.data() + a};
      PredictionIntervals(Result.Estimates.data() + u, Result.Influence.Hat.data() + u, static_cast<int>(end - u), s,
                          tq, out);
      u = end;
      while (u < u1 && o < others.size() && others[o] < usedRows[u])
        ++o;
    }
  });

  // The rows predicted only, at their places.
  pr.NrOfPredictedOnly = 0;
  std::size_t index = 0;
  for (const TOtherRows& o : blockOthers)
    for (std::size_t i = 0; i < o.Rows.size(); ++i, ++index) {
      const std::size_t a = index + o.UsedBefore[i];
      pr.Rows[a] = o.Rows[i];
      pr.Used[a] = 0;
      pr.Residual[a] = o.Residual[i];
      pr.NrOfPredictedOnly += std::isnan(o.Residual[i]);
      StorePrediction(pr, a, o.Estimate[i], PredictionOf(o.Estimate[i], o.Hat[i], s, tq));
    }
}

// The excluded points' leverage and standardized prediction error: the design row of each
// (inputs, then the intercept's 1; a categorical input's indicators), the same product with
// the factor as a prediction's, and the residual over the prediction's deviation.
void TMLRRun::MakeExcludedDiagnostics(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M,
                                      int Rank) const
{
  const int m = FMatD.NrOfRows(), k = Rank;
  if (m <= k)
    return;
  const auto nn = static_cast<std::size_t>(NrOfCoefficients());
  const double s = static_cast<double>(std::sqrt(ScaledResidualSS() / (m - k)));
  const int wc = FOptions.WeightCol;
  std::vector<double> x(nn + 1);
  for (std::size_t i = 0; i < Result.ExcludedPoints.size(); ++i) {
    const TFitPoint& p = Result.ExcludedPoints[i];
    if (FPlain) {
      for (std::size_t j = 0; j + 1 < nn; ++j) {
        const int col = FSelColumns.Elem(static_cast<int>(j) + 1);
        const double v = Table.Elem(col, p.Row);
        x[j] = IsLevelType(Table.VarType(col)) ? std::nearbyint(v) : v;
      }
      x[nn - 1] = 1;
    } else {
      if (!DesignRow(Table, FDesign, p.Row, x.data()))
        continue;
      if (FDesign.Intercept)
        x[nn - 1] = 1;
    }
    const double h = LeverageOf(x.data(), static_cast<int>(nn), M, k);
    double w = 1;
    if (wc != 0 && Table.ElemValid(wc, p.Row)) {
      const double v = Table.Elem(wc, p.Row);
      if (std::isfinite(v) && v > 0)
        w = v;
    }
    Result.ExcludedLeverage[i] = h;
    Result.ExcludedStdError[i] = (p.Actual - p.Estimated) / (s * std::sqrt(1 / w + h));
  }
}

// R's log-likelihood of a linear model with normal errors (k coefficients and the variance as
// parameters), AIC and BIC; the beta coefficients and the fitted equation.
void TMLRRun::MakeMeasures(TMLRResult& Result) const
{
  std::vector<double> centred;
  for (const TColumnMoments& mo : FInputMoments)
    centred.push_back(mo.CentredSS);
  long double logW = 0;
  // R's logLik of a weighted fit adds half the sum of the logarithms of the weights.
  for (double sw : FSqrtW)
    logW += 2 * std::log(static_cast<long double>(sw));
  MakeModelMeasures(Result, ScaledResidualSS(), logW, FMatD.NrOfRows(), centred);
}

void MakeModelMeasures(TMLRResult& Result, long double RSS, long double LogWeights, int NrOfObjects,
                       const std::vector<double>& CentredSS)
{
  TModelMeasures& mm = Result.Measures;
  const int m = NrOfObjects;
  const int p = static_cast<int>(CentredSS.size());
  const long double rss = RSS;
  const long double logW = LogWeights;
  const long double dn = m;
  const long double ll =
      0.5L * logW - 0.5L * dn * (std::log(2 * std::numbers::pi_v<long double>) + 1 - std::log(dn) + std::log(rss));
  // The parameters: the coefficients (the design's rank) and the residual variance.
  const double params = Result.Rank > 0 ? Result.Rank + 1 : NaN;
  mm.LogLik = static_cast<double>(ll);
  mm.AIC = static_cast<double>(-2 * ll + 2 * params);
  mm.BIC = static_cast<double>(-2 * ll + std::log(dn) * params);

  const double ssTot = Result.Summary.Anova.SSTot;
  mm.Beta.assign(static_cast<std::size_t>(p), NaN);
  for (int j = 0; j < p; ++j) {
    const TCoefficientInference& c = Result.Inference.Coefficients[static_cast<std::size_t>(j)];
    if (!c.Collinear && ssTot > 0)
      mm.Beta[static_cast<std::size_t>(j)] =
          static_cast<double>(static_cast<long double>(Result.Coefficients[static_cast<std::size_t>(j)]) *
                              std::sqrt(static_cast<long double>(CentredSS[static_cast<std::size_t>(j)]) / ssTot));
  }

  std::string eq = Result.TargetName + " =";
  if (Result.Intercept)
    eq += " " + FormatSig5(Result.Coefficients[static_cast<std::size_t>(p)]);
  for (int j = 0; j < p; ++j) {
    const double b = Result.Coefficients[static_cast<std::size_t>(j)];
    if (j == 0 && !Result.Intercept)
      eq += std::string(std::signbit(b) ? " -" : " ") + FormatSig5(std::fabs(b)) + " * " +
            Result.InputNames[static_cast<std::size_t>(j)];
    else
      eq += (std::signbit(b) ? " - " : " + ") + FormatSig5(std::fabs(b)) + " * " +
            Result.InputNames[static_cast<std::size_t>(j)];
  }
  mm.Equation = eq;
}

// The predictions of a run with options: each row's design values from its inputs (a
// categorical input's indicators; a level without a column other than the reference cannot be
// predicted), the intercept's 1. With weights, x (X'WX)^-1 x' of the unscaled row gives the
// standard error of the estimate; the prediction interval takes the variance
// s^2 / w of a row with a valid positive weight and s^2 otherwise, as R's predict does with
// the fit's weights and with new data.
void TMLRRun::MakeOptionsPredictions(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M,
                                     int Rank) const
{
  // Rows of the design and its width, the rank k of the fit (MakePredictions checked m > k).
  const int m = FMatD.NrOfRows(), k = Rank;
  const auto nn = static_cast<std::size_t>(NrOfCoefficients());
  std::vector<double> x(nn + 1);
  TPredictions& pr = Result.Predictions;
  pr.Rows.clear();
  for (int r = 1; r <= Table.NrOfRows(); ++r)
    if (DesignRow(Table, FDesign, r, x.data()))
      pr.Rows.push_back(r);
  const std::size_t count = pr.Rows.size();
  for (TBulkVector<double>* v : {&pr.Estimate, &pr.SEFit, &pr.CILow, &pr.CIHigh, &pr.PILow, &pr.PIHigh, &pr.Residual})
    v->resize(count);
  pr.Used.assign(count, 0);

  const double s = static_cast<double>(std::sqrt(ScaledResidualSS() / (m - k)));
  const boost::math::students_t_distribution<double> tdist(m - k);
  const double tq = boost::math::quantile(boost::math::complement(tdist, 0.025));
  const double* coef = FVecX.Data();
  const int wc = FOptions.WeightCol;
  std::size_t u = 0;
  for (std::size_t a = 0; a < count; ++a) {
    const int row = pr.Rows[a];
    while (u < FUsedRows.size() && FUsedRows[u] < row)
      ++u;
    const bool used = u < FUsedRows.size() && FUsedRows[u] == row;
    DesignRow(Table, FDesign, row, x.data());
    if (FDesign.Intercept)
      x[nn - 1] = 1;
    double est = 0;
    for (std::size_t j = 0; j < nn; ++j)
      est += coef[j] * x[j];
    const double h = LeverageOf(x.data(), static_cast<int>(nn), M, k);
    double w = 1;
    if (wc != 0 && (Table.ColumnStates(wc)[row - 1] & (csNotANumber | csEmpty)) == 0) {
      const double v = Table.ColumnValues(wc)[row - 1];
      if (std::isfinite(v) && v > 0)
        w = v;
    }
    if (used)
      est = Result.Estimates[u];
    StorePrediction(pr, a, est, PredictionOf(est, h, s, tq, w));
    pr.Used[a] = used;
    double actual = NaN;
    if ((Table.ColumnStates(FTargetCol)[row - 1] & (csNotANumber | csEmpty)) == 0) {
      const double y = Table.ColumnValues(FTargetCol)[row - 1];
      actual = IsLevelType(Table.VarType(FTargetCol)) ? std::nearbyint(y) : y;
    }
    pr.Residual[a] = used ? Result.Residuals[u] : (std::isfinite(actual) ? actual - est : NaN);
  }
  pr.NrOfPredictedOnly =
      static_cast<int>(std::count_if(pr.Residual.begin(), pr.Residual.end(), [](double v) { return std::isnan(v); }));
}

}  // namespace orvex
