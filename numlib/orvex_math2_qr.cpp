// The regression entry for tall designs: Householder reduction of [A B] to its triangular
// factor in cache-sized row blocks, on several threads, then the singular value decomposition
// of the small factor; and the iterative refinement that both paths apply to ill-conditioned
// fits.
//
// Reduction. The rows are cut into chunks of ChunkRows rows and each chunk into blocks of
// BlockRows rows; both sizes are fixed, so the cut depends only on the number of rows. A chunk
// is reduced block by block: the block is copied (and scaled) into a small buffer that stays in
// the level-1 cache, stacked under the chunk's running triangle, and the stack is triangularised
// again by n + 1 Householder reflections. The chunks are independent; the threads take them in
// any order, and the calling thread merges their triangles in chunk order once all are done.
// The floating-point operations are therefore the same for any number of threads.
//
// Scaling. Every column carries its own power of two, taken from the largest magnitude met
// while copying each block; when a later block holds a larger value the column of the running
// triangle is rescaled. Scaling a column by a power of two commutes exactly with the Householder
// reduction (every reflection is invariant under it), so the factor is the same as for the
// unscaled data, only safe from overflow and underflow in the sums of squares.
#include "orvex_math2.h"
#include "orvex_math2_internal.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <vector>

namespace orvex {

TColumnDesign ColumnDesignOf(const TMatrix& A)
{
  TColumnDesign d{{}, A.NrOfRows()};
  for (int c = 1; c <= A.NrOfColumns(); ++c)
    d.Columns.push_back(A.Column(c));
  return d;
}

namespace {

constexpr int BlockRows = 128;
constexpr int ChunkRows = 8192;
// Designs with fewer rows, or fewer than TallRatio rows per column, are decomposed directly.
constexpr int TallMinRows = 256;
constexpr int TallRatio = 4;
// Refinement is applied when the largest singular value exceeds the smallest one kept by more
// than this; below it the solution is already within a few hundred rounding units.
constexpr double RefineConditionLimit = 1e4;
// The exponent of a column that has held only zeros so far.
constexpr int NoExponent = INT_MIN;

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
// AVX-512 or AVX2 with FMA where the processor has them, plain x86-64 elsewhere.
#define ORVEX_KERNEL_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define ORVEX_KERNEL_CLONES
#endif
#define ORVEX_INLINE inline __attribute__((always_inline))

// Eight doubles as one value: a register of the AVX-512 clone, two of the AVX2 one, four of the
// plain one. Every clone therefore adds in the same lanes and the same order. The unaligned form
// loads and stores anywhere.
constexpr int Lanes = 8;
typedef double TLanes __attribute__((vector_size(64)));
typedef double TLanesU __attribute__((vector_size(64), aligned(8)));

// The helpers that take or give such a value are always inlined, so the call convention of
// 64-byte vectors outside the AVX-512 clone, of which GCC warns, never applies.
#pragma GCC diagnostic ignored "-Wpsabi"

#define ORVEX_LOAD_LANES(p) (*reinterpret_cast<const TLanesU*>(p))
#define ORVEX_STORE_LANES(p, q) (*reinterpret_cast<TLanesU*>(p) = (q))

// The scalar in all eight lanes.
ORVEX_INLINE TLanes Splat(double x)
{
  return TLanes{x, x, x, x, x, x, x, x};
}

// The sum of the eight partial sums, in a fixed order.
ORVEX_INLINE double LaneSum(TLanes a)
{
  return ((a[0] + a[4]) + (a[2] + a[6])) + ((a[1] + a[5]) + (a[3] + a[7]));
}

// Sum of squares in two sets of eight partial sums (rows 16 k + l and 16 k + 8 + l), so that
// two chains of additions run side by side; a fixed order, vectorisable.
ORVEX_INLINE double SumSquares(const double* y, int rows)
{
  TLanes a = {}, b = {};
  int i = 0;
  for (; i + 2 * Lanes <= rows; i += 2 * Lanes) {
    const TLanes p = ORVEX_LOAD_LANES(y + i);
    const TLanes q = ORVEX_LOAD_LANES(y + i + Lanes);
    a += p * p;
    b += q * q;
  }
  for (; i + Lanes <= rows; i += Lanes) {
    const TLanes q = ORVEX_LOAD_LANES(y + i);
    a += q * q;
  }
  double s = LaneSum(a + b);
  for (; i < rows; ++i)
    s += y[i] * y[i];
  return s;
}

// y -= g v, giving the sum of squares of the updated y in the same pass (summed as by
// SumSquares).
ORVEX_INLINE double UpdateWithSquares(double* __restrict y, double g, const double* __restrict v, int rows)
{
  const TLanes gq = Splat(g);
  TLanes a = {}, b = {};
  int i = 0;
  for (; i + 2 * Lanes <= rows; i += 2 * Lanes) {
    const TLanes p = ORVEX_LOAD_LANES(y + i) - gq * ORVEX_LOAD_LANES(v + i);
    const TLanes q = ORVEX_LOAD_LANES(y + i + Lanes) - gq * ORVEX_LOAD_LANES(v + i + Lanes);
    ORVEX_STORE_LANES(y + i, p);
    ORVEX_STORE_LANES(y + i + Lanes, q);
    a += p * p;
    b += q * q;
  }
  for (; i + Lanes <= rows; i += Lanes) {
    const TLanes t = ORVEX_LOAD_LANES(y + i) - gq * ORVEX_LOAD_LANES(v + i);
    ORVEX_STORE_LANES(y + i, t);
    a += t * t;
  }
  double s = LaneSum(a + b);
  for (; i < rows; ++i) {
    const double t = y[i] - g * v[i];
    y[i] = t;
    s += t * t;
  }
  return s;
}

// The Householder reflection H = I - Tau (1, Scale y)(1, Scale y)^T that maps (rjj, y) to
// (beta, 0), for the column y whose sum of squares is SumSq: rjj becomes beta. The vector is
// kept unscaled in y, and Scale goes into the factors of the updates instead, which saves a
// pass over the column. Tau is 0 (H = I) when y is zero.
struct TReflector {
  double Tau = 0.0;
  double Scale = 0.0;
};

ORVEX_INLINE TReflector MakeReflector(double& rjj, double SumSq)
{
  TReflector h;
  if (SumSq == 0.0)
    return h;
  const double alpha = rjj;
  const double beta = -std::copysign(std::sqrt(alpha * alpha + SumSq), alpha);
  h.Tau = (beta - alpha) / beta;
  h.Scale = 1.0 / (alpha - beta);
  rjj = beta;
  return h;
}

// For C columns at once: y_c -= g_c v (the update by the reflection whose vector is v), then
// d_c = u . y_c (the products of the next reflection, whose vector is u, with the updated
// columns). One pass over the columns does both. Each column keeps eight partial sums, one per
// lane, in a register.
template <int C>
ORVEX_INLINE void UpdateAndDot(double* const* cols, const double* g, const double* __restrict v,
                               const double* __restrict u, int rows, double* d)
{
  TLanes gc[C];
  TLanes a[C];
  double* __restrict y[C];
  for (int c = 0; c < C; ++c) {
    gc[c] = Splat(g[c]);
    a[c] = TLanes{};
    y[c] = cols[c];
  }
  int i = 0;
  for (; i + Lanes <= rows; i += Lanes) {
    const TLanes vi = ORVEX_LOAD_LANES(v + i);
    const TLanes ui = ORVEX_LOAD_LANES(u + i);
#pragma GCC unroll 4
    for (int c = 0; c < C; ++c) {
      const TLanes t = ORVEX_LOAD_LANES(y[c] + i) - gc[c] * vi;
      ORVEX_STORE_LANES(y[c] + i, t);
      a[c] += ui * t;
    }
  }
#pragma GCC unroll 4
  for (int c = 0; c < C; ++c) {
    double s = LaneSum(a[c]);
    for (int k = i; k < rows; ++k) {
      const double t = y[c][k] - g[c] * v[k];
      y[c][k] = t;
      s += u[k] * t;
    }
    d[c] = s;
  }
}

// UpdateAndDot for the columns First..Count-1 of the block: four at a time, the rest together.
ORVEX_INLINE void UpdateAndDotColumns(double* Y, int rows, int First, int Count, const double* g,
                                      const double* v, const double* u, double* d)
{
  double* cols[4];
  auto fill = [&](int k, int n) {
    for (int c = 0; c < n; ++c)
      cols[c] = Y + static_cast<std::size_t>(k + c) * static_cast<std::size_t>(rows);
  };
  int k = First;
  for (; k + 4 <= Count; k += 4) {
    fill(k, 4);
    UpdateAndDot<4>(cols, g + k, v, u, rows, d + k);
  }
  fill(k, Count - k);
  switch (Count - k) {
    case 3: UpdateAndDot<3>(cols, g + k, v, u, rows, d + k); break;
    case 2: UpdateAndDot<2>(cols, g + k, v, u, rows, d + k); break;
    case 1: UpdateAndDot<1>(cols, g + k, v, u, rows, d + k); break;
    default: break;
  }
}

// Stacks the rows x n1 block Y (column-major) under the n1 x n1 upper triangle R (column-major)
// and triangularises the stack: R receives the new triangle, Y is used up. d and g are work
// arrays of n1 elements.
ORVEX_KERNEL_CLONES
void AbsorbBlock(double* R, int n1, double* Y, int rows, double* d, double* g)
{
  auto col = [&](int k) { return Y + static_cast<std::size_t>(k) * static_cast<std::size_t>(rows); };
  auto r = [&](int i, int k) -> double& { return R[static_cast<std::size_t>(k) * n1 + i]; };
  // Reflection 0 and its products with the other columns (no update yet: g = 0).
  TReflector h = MakeReflector(r(0, 0), SumSquares(col(0), rows));
  for (int k = 1; k < n1; ++k)
    g[k] = 0.0;
  UpdateAndDotColumns(Y, rows, 1, n1, g, col(0), col(0), d);
  for (int j = 0; j + 1 < n1; ++j) {
    // Apply reflection j to row j of R, giving the factors of its update of the block.
    for (int k = j + 1; k < n1; ++k) {
      const double f = h.Tau * (r(j, k) + h.Scale * d[k]);
      r(j, k) -= f;
      g[k] = f * h.Scale;
    }
    // Column j + 1 first: it yields the next reflection.
    const double* v = col(j);
    double* next = col(j + 1);
    const TReflector nextH = MakeReflector(r(j + 1, j + 1), UpdateWithSquares(next, g[j + 1], v, rows));
    // The remaining columns take reflection j and meet reflection j + 1 in the same pass.
    UpdateAndDotColumns(Y, rows, j + 2, n1, g, v, next, d);
    h = nextH;
  }
}

// The running triangle of a group of rows: R (n1 x n1, column-major, upper) holds column c in
// units of 2^Exponent[c].
struct TTriangle {
  int N1 = 0;
  std::vector<double> R;
  std::vector<int> Exponent;

  void Reset(int n1)
  {
    N1 = n1;
    R.assign(static_cast<std::size_t>(n1) * static_cast<std::size_t>(n1), 0.0);
    Exponent.assign(static_cast<std::size_t>(n1), NoExponent);
  }
  double* Column(int c) { return R.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(N1); }

  // Makes 2^e the unit of column c when it is larger than the current one (or the column had
  // none), rescaling the values already held.
  void RaiseExponent(int c, int e)
  {
    int& cur = Exponent[static_cast<std::size_t>(c)];
    if (cur != NoExponent && e > cur) {
      double* rc = Column(c);
      for (int i = 0; i <= c; ++i)
        rc[i] = std::ldexp(rc[i], cur - e);
    }
    if (cur == NoExponent || e > cur)
      cur = e;
  }
};

// Multiplies Count values by 2^-e (exactly; ldexp when the factor is not a normal number).
ORVEX_KERNEL_CLONES
void ScaleDown(double* y, int Count, int e)
{
  const double factor = std::ldexp(1.0, -e);
  if (!std::isnormal(factor)) {
    for (int i = 0; i < Count; ++i)
      y[i] = std::ldexp(y[i], -e);
    return;
  }
  const TLanes fq = Splat(factor);
  int i = 0;
  for (; i + Lanes <= Count; i += Lanes)
    ORVEX_STORE_LANES(y + i, ORVEX_LOAD_LANES(y + i) * fq);
  for (; i < Count; ++i)
    y[i] *= factor;
}

// Work buffers of one thread.
struct TBlockBuffers {
  std::vector<double> Y, D, G, MaxAbs;
  void Reserve(int n1)
  {
    MaxAbs.resize(static_cast<std::size_t>(n1));
    Y.resize(static_cast<std::size_t>(BlockRows) * static_cast<std::size_t>(n1));
    D.resize(static_cast<std::size_t>(n1));
    G.resize(static_cast<std::size_t>(n1));
  }
};

// Stacks the rows x n1 block in Buf.Y (values in the caller's units) under T, bringing the
// block's columns into T's units first.
void AbsorbScaled(TTriangle& T, int rows, TBlockBuffers& Buf, const double* MaxAbs)
{
  const int n1 = T.N1;
  for (int c = 0; c < n1; ++c) {
    double* y = Buf.Y.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(rows);
    const double m = MaxAbs[c];
    if (m > 0.0 && std::isfinite(m)) {
      int e = 0;
      std::frexp(m, &e);
      T.RaiseExponent(c, e);
    }
    const int e = T.Exponent[static_cast<std::size_t>(c)];
    if (e != NoExponent && e != 0)
      ScaleDown(y, rows, e);
  }
  AbsorbBlock(T.R.data(), n1, Buf.Y.data(), rows, Buf.D.data(), Buf.G.data());
}

// Copies Count values to Dst and returns their largest magnitude (NaN does not count).
ORVEX_KERNEL_CLONES
double CopyWithMaxAbs(const double* __restrict Src, double* __restrict Dst, int Count)
{
  TLanes mq = {};
  int i = 0;
  for (; i + Lanes <= Count; i += Lanes) {
    const TLanes q = ORVEX_LOAD_LANES(Src + i);
    ORVEX_STORE_LANES(Dst + i, q);
    const TLanes aq = q < 0 ? -q : q;
    mq = aq > mq ? aq : mq;
  }
  double mx = 0.0;
  for (int l = 0; l < Lanes; ++l)
    mx = std::max(mx, mq[l]);
  for (; i < Count; ++i) {
    Dst[i] = Src[i];
    mx = std::max(mx, std::fabs(Src[i]));
  }
  return mx;
}

// Reduces rows First..First+Count-1 (0-based) of the design whose n columns are Cols, with
// the right-hand side B (NrOfB values; rows beyond them read as 0), into T.
void ReduceColumns(const double* const* Cols, int n, const double* B, int NrOfB, int First, int Count, TTriangle& T,
                   TBlockBuffers& Buf)
{
  const int n1 = n + 1;
  T.Reset(n1);
  double* maxAbs = Buf.MaxAbs.data();
  for (int start = First; start < First + Count; start += BlockRows) {
    const int rows = std::min(BlockRows, First + Count - start);
    for (int c = 0; c < n1; ++c) {
      double* y = Buf.Y.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(rows);
      double mx = 0.0;
      if (c < n) {
        const double* src = Cols[c] + start;
        mx = CopyWithMaxAbs(src, y, rows);
        // The same column of the next block, one cache line in eight per request.
        if (start + 2 * BlockRows <= First + Count)
          for (int k = BlockRows; k < 2 * BlockRows; k += 8)
            __builtin_prefetch(src + k);
      } else {
        for (int i = 0; i < rows; ++i) {
          const double b = start + i < NrOfB ? B[start + i] : 0.0;
          y[i] = b;
          mx = std::max(mx, std::fabs(b));
        }
      }
      maxAbs[c] = mx;
    }
    AbsorbScaled(T, rows, Buf, maxAbs);
  }
}



// Stacks the triangle Other under Into. Each column joins the larger of the two units, so the
// rescaled values only ever shrink.
void MergeTriangles(TTriangle& Into, const TTriangle& Other, TBlockBuffers& Buf)
{
  const int n1 = Into.N1;
  for (int c = 0; c < n1; ++c) {
    double* y = Buf.Y.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(n1);
    const double* src = Other.R.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(n1);
    const int e = Other.Exponent[static_cast<std::size_t>(c)];
    if (e == NoExponent) {
      std::fill(y, y + n1, 0.0);
      continue;
    }
    Into.RaiseExponent(c, e);
    const int shift = e - Into.Exponent[static_cast<std::size_t>(c)];
    for (int i = 0; i < n1; ++i)
      y[i] = std::ldexp(src[i], shift);
  }
  AbsorbBlock(Into.R.data(), n1, Buf.Y.data(), n1, Buf.D.data(), Buf.G.data());
}

// Rows 0..Rows-1 of the design whose n columns are Cols, with the right-hand side B (NrOfB
// values), each chunk of ChunkRows rows reduced into its own triangle of Parts as a task of the
// task runner. False when the run was cancelled.
bool ReduceChunks(const double* const* Cols, int n, const double* B, int NrOfB, int Rows, std::vector<TTriangle>& Parts,
                  const TTaskContext& Context)
{
  const int n1 = n + 1;
  Parts.resize(static_cast<std::size_t>(BlockCount(Rows, ChunkRows)));
  return TTaskPool::Shared().Run(
      static_cast<int>(Parts.size()),
      [&](int c) {
        // Each thread keeps its block buffer from run to run (a block of n + 1 columns).
        thread_local TBlockBuffers buf;
        buf.Reserve(std::max(n1, 1));
        const int first = c * ChunkRows;
        ReduceColumns(Cols, n, B, NrOfB, first, std::min(ChunkRows, Rows - first), Parts[static_cast<std::size_t>(c)], buf);
      },
      Context);
}

// Stacks Parts in order under Into; when Into holds nothing yet (Empty), the first part becomes
// it.
void MergeInOrder(TTriangle& Into, bool Empty, std::vector<TTriangle>& Parts, TBlockBuffers& Buf)
{
  for (TTriangle& part : Parts) {
    if (Empty)
      Into = std::move(part);
    else
      MergeTriangles(Into, part, Buf);
    Empty = false;
  }
}

// The whole reduction: the chunks as tasks of the task runner, merged in chunk order. Each
// finished chunk is one progress step on the calling thread; a cancelled run leaves Result
// unwritten and gives false.
bool ReduceTall(const TColumnDesign& A, const TVector& B, TTriangle& Result, const TTaskContext& Context)
{
  std::vector<TTriangle> parts;
  if (!ReduceChunks(A.Columns.data(), A.NrOfColumns(), B.Data(), B.NrOfElem(), A.NrOfRows, parts, Context))
    return false;
  TBlockBuffers merge;
  merge.Reserve(std::max(A.NrOfColumns() + 1, 1));
  MergeInOrder(Result, true, parts, merge);
  return true;
}

bool ReduceTall(const TMatrix& A, const TVector& B, TTriangle& Result, const TTaskContext& Context)
{
  return ReduceTall(ColumnDesignOf(A), B, Result, Context);
}

// The context of a reduction that follows the library's progress globals: one step per chunk,
// stopped by MathAbort.
TTaskContext GlobalProgressContext()
{
  TTaskContext context;
  context.Progress = [](int) { return MathProgressStep(); };
  return context;
}

// The exponent that the triangle's A columns are brought to for the decomposition: the largest
// column exponent (0 when all columns are zero).
int CommonExponent(const TTriangle& T)
{
  int g = NoExponent;
  for (int c = 0; c + 1 < T.N1; ++c)
    g = std::max(g, T.Exponent[static_cast<std::size_t>(c)]);
  return g == NoExponent ? 0 : g;
}

// Entry (i, c) of the triangle in units of 2^Unit.
double TriangleEntry(const TTriangle& T, int i, int c, int Unit)
{
  const int e = T.Exponent[static_cast<std::size_t>(c)];
  if (e == NoExponent || i > c)
    return 0.0;
  return std::ldexp(T.R[static_cast<std::size_t>(c) * static_cast<std::size_t>(T.N1) + static_cast<std::size_t>(i)],
                    e - Unit);
}

// The gradient A^T r of one chunk's rows First..First+Count-1 (0-based; rows beyond NrOfB
// read B as 0), r = B - A X in extended precision, added to Gc (n sums, each a chain in row
// order). Shift[j] is the power of two that turns X[j] into the coefficient of Cols[j].
void AddChunkGradient(const double* const* Cols, int n, const double* B, int NrOfB, int First, int Count,
                      const std::vector<double>& X, const int* Shift, long double* Gc)
{
  // Block by block of rows, so that the block's residuals stay in the cache between the two
  // passes.
  constexpr int RefineBlock = 256;
  long double r[RefineBlock];
  const int end = First + Count;
  for (int start = First; start < end; start += RefineBlock) {
    const int rows = std::min(RefineBlock, end - start);
    for (int i = 0; i < rows; ++i)
      r[i] = start + i < NrOfB ? B[start + i] : 0.0L;
    for (int j = 0; j < n; ++j) {
      const long double xj = std::ldexp(static_cast<long double>(X[static_cast<std::size_t>(j)]), Shift[j]);
      const double* a = Cols[j] + start;
      for (int i = 0; i < rows; ++i)
        r[i] -= a[i] * xj;
    }
    for (int j = 0; j < n; ++j) {
      const double* a = Cols[j] + start;
      long double sum = Gc[j];
      for (int i = 0; i < rows; ++i)
        sum += a[i] * r[i];
      Gc[j] = sum;
    }
  }
}

// The correction d = (A^T A)^-1 g of a refinement step through the decomposition V diag(W) of
// A's triangular factor (A^T A = 2^(2 Unit) V diag(W^2) V^T; zero W entries are left out),
// added to X. G is the gradient in the units of X's design. False, with X unchanged, when the
// correction is not finite.
bool ApplyCorrection(const std::vector<long double>& G, const TMatrix& V, const TVector& W, int Unit,
                     std::vector<double>& X)
{
  const int n = static_cast<int>(G.size());
  std::vector<long double> t(static_cast<std::size_t>(n), 0.0L);
  for (int k = 1; k <= n; ++k) {
    const double wk = W.Elem(k);
    if (wk == 0.0)
      continue;
    long double s = 0.0L;
    for (int j = 1; j <= n; ++j)
      s += V.Elem(k, j) * G[static_cast<std::size_t>(j - 1)];
    t[static_cast<std::size_t>(k - 1)] = s / (static_cast<long double>(wk) * wk);
  }
  std::vector<double> refined(X);
  for (int j = 1; j <= n; ++j) {
    long double s = 0.0L;
    for (int k = 1; k <= n; ++k)
      s += V.Elem(k, j) * t[static_cast<std::size_t>(k - 1)];
    const long double d = std::ldexp(s, -2 * Unit);
    refined[static_cast<std::size_t>(j - 1)] = static_cast<double>(X[static_cast<std::size_t>(j - 1)] + d);
    if (!std::isfinite(refined[static_cast<std::size_t>(j - 1)]))
      return false;
  }
  X = std::move(refined);
  return true;
}

// The shifts of AddChunkGradient for the column exponents ColExp (none: 0).
std::vector<int> GradientShifts(int n, const int* ColExp)
{
  std::vector<int> shift(static_cast<std::size_t>(n), 0);
  if (ColExp)
    for (int j = 0; j < n; ++j)
      shift[static_cast<std::size_t>(j)] = -ColExp[j];
  return shift;
}

// The chunks' gradients added in chunk order, then brought into the units of X's design.
std::vector<long double> SumGradients(const std::vector<long double>& Parts, int n, const std::vector<int>& Shift)
{
  std::vector<long double> g(static_cast<std::size_t>(n), 0.0L);
  const std::size_t chunks = Parts.size() / static_cast<std::size_t>(std::max(n, 1));
  for (std::size_t c = 0; c < chunks; ++c)
    for (int j = 0; j < n; ++j)
      g[static_cast<std::size_t>(j)] += Parts[c * static_cast<std::size_t>(n) + static_cast<std::size_t>(j)];
  for (int j = 0; j < n; ++j)
    g[static_cast<std::size_t>(j)] = std::ldexp(g[static_cast<std::size_t>(j)], Shift[static_cast<std::size_t>(j)]);
  return g;
}

// One step of iterative refinement of the least-squares solution X of the m x n design whose
// columns are Cols against B: r = B - A X and g = A^T r in extended precision, then
// ApplyCorrection. False, with X unchanged, when the correction is not finite.
// With ColExp, design column j is Cols[j] times 2^-ColExp[j] (exactly).
bool RefineOnce(const std::vector<const double*>& Cols, int m, const double* B, int NrOfB, const TMatrix& V,
                const TVector& W, int Unit, std::vector<double>& X, const int* ColExp = nullptr)
{
  const int n = static_cast<int>(Cols.size());
  const std::vector<int> shift = GradientShifts(n, ColExp);
  // The chunks of the reduction, each on whichever thread takes it, give partial gradients
  // that are added in chunk order: the result does not depend on the number of threads.
  const int chunks = (m + ChunkRows - 1) / ChunkRows;
  std::vector<long double> parts(static_cast<std::size_t>(chunks) * static_cast<std::size_t>(n), 0.0L);
  ForEachMathTask(chunks, [&](int c) {
    const int first = c * ChunkRows;
    AddChunkGradient(Cols.data(), n, B, std::min(m, NrOfB), first, std::min(m, first + ChunkRows) - first, X,
                     shift.data(), parts.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(n));
  });
  return ApplyCorrection(SumGradients(parts, n, shift), V, W, Unit, X);
}

// The ratio of the largest to the smallest nonzero singular value (0 without any).
double Condition(const TVector& W)
{
  double wmax = 0.0, wmin = 0.0;
  for (int j = 1; j <= W.NrOfElem(); ++j) {
    const double w = W.Elem(j);
    if (w > 0.0) {
      wmax = std::max(wmax, w);
      wmin = wmin == 0.0 ? w : std::min(wmin, w);
    }
  }
  return wmin > 0.0 ? wmax / wmin : 0.0;
}

bool IsTall(int NrOfRows, int NrOfColumns)
{
  return NrOfRows >= TallMinRows && NrOfRows / TallRatio >= NrOfColumns;
}

// The decomposition of the small triangle T (units: A columns 2^Unit, B column 2^BUnit) and
// the solution it gives, before any refinement.
struct TTriangleSolution {
  TMatrix V;
  TVector W;
  std::vector<double> X, Sig;
  int Unit = 0;
  bool NearSingular = false;
  // Whether the fit is ill-conditioned enough for a step of refinement against the design.
  bool Refine = false;
};

bool DecomposeTriangle(const TTriangle& T, int n, bool WantSig, TTriangleSolution& S)
{
  S.Unit = CommonExponent(T);
  const int be = T.Exponent[static_cast<std::size_t>(n)];
  const int bUnit = be == NoExponent ? 0 : be;
  TMatrix R;
  TVector z;
  R.Resize(n, n);
  S.V.Resize(n, n);
  S.W.Resize(n);
  z.Resize(n);
  for (int c = 0; c < n; ++c)
    for (int i = 0; i <= c; ++i)
      R.Column(c + 1)[i] = TriangleEntry(T, i, c, S.Unit);
  for (int i = 0; i < n; ++i)
    z.Data()[i] = TriangleEntry(T, i, n, bUnit);
  if (!SVDecompose(R, S.V, S.W))
    return false;
  S.NearSingular = detail::ZeroSmallSingularValues(S.W);
  detail::SvdSolution(R, S.V, S.W, z.Data(), n, S.X, WantSig ? &S.Sig : nullptr);
  // R x = z in the scaled units gives 2^(unit - bUnit) times the coefficients.
  for (double& v : S.X)
    v = std::ldexp(v, bUnit - S.Unit);
  S.Refine = !S.NearSingular && Condition(S.W) > RefineConditionLimit;
  return true;
}

// The solve of the small triangle T, refined against A when ill-conditioned.
bool SolveTriangle(const TColumnDesign& A, const TVector& B, const TTriangle& T, TVector& X, TVector* Sig,
                   bool& NearSingular, const int* ColExp = nullptr)
{
  TTriangleSolution s;
  if (!DecomposeTriangle(T, A.NrOfColumns(), Sig != nullptr, s))
    return false;
  NearSingular = s.NearSingular;
  if (s.Refine)
    RefineOnce(A.Columns, A.NrOfRows, B.Data(), B.NrOfElem(), s.V, s.W, s.Unit, s.X, ColExp);
  detail::WriteSolution(s.X, 0, &s.Sig, -s.Unit, X, Sig);
  return true;
}

// The direct path: the whole design is decomposed. It is first scaled by a power of two that
// brings its largest magnitude into [0.5, 1); the scaling is exact, so ordinary problems
// decompose bit for bit as unscaled, while entries near 1e160 or 1e-160 no longer overflow or
// underflow in the squares of the QR sweeps. With Refine an ill-conditioned fit is refined
// against a copy of the scaled design taken before the decomposition overwrote it.
bool SolveDirect(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular, bool Refine)
{
  const int n = A.NrOfColumns();
  const int m = A.NrOfRows();
  const int exponent = detail::ScaleIntoUnitRange(A);
  TMatrix scaled;
  if (Refine)
    scaled.Assign(A);
  TMatrix V;
  TVector W;
  V.Resize(n, n);
  W.Resize(n);
  if (!SVDecompose(A, V, W))
    return false;
  NearSingular = detail::ZeroSmallSingularValues(W);
  std::vector<double> x, sig;
  detail::SvdSolution(A, V, W, B.Data(), B.NrOfElem(), x, Sig ? &sig : nullptr);
  if (Refine && !NearSingular && m >= n && Condition(W) > RefineConditionLimit) {
    std::vector<const double*> cols;
    for (int c = 1; c <= n; ++c)
      cols.push_back(scaled.Column(c));
    // Small problems: two steps cost nothing and settle the last digits.
    for (int step = 0; step < 2; ++step)
      if (!RefineOnce(cols, m, B.Data(), B.NrOfElem(), V, W, 0, x))
        break;
  }
  // X and Sig scale inversely to A.
  detail::WriteSolution(x, -exponent, &sig, -exponent, X, Sig);
  return true;
}

}  // namespace

void ForEachMathTask(int Count, const std::function<void(int)>& Work)
{
  TTaskPool::Shared().Run(Count, Work);
}

bool ForEachMathTask(int Count, const std::function<void(int)>& Work, const TTaskContext& Context)
{
  return TTaskPool::Shared().Run(Count, Work, Context);
}

bool ReduceToTriangle(const TMatrix& A, const TVector& B, TMatrix& R, TVector& QtB, double& ResidualNorm)
{
  return ReduceToTriangle(A, B, R, QtB, ResidualNorm, GlobalProgressContext());
}

bool ReduceToTriangle(const TMatrix& A, const TVector& B, TMatrix& R, TVector& QtB, double& ResidualNorm,
                      const TTaskContext& Context)
{
  const int n = A.NrOfColumns();
  TTriangle t;
  if (!ReduceTall(A, B, t, Context))
    return false;
  R.Resize(n, n);
  QtB.Resize(n);
  for (int c = 0; c < n; ++c)
    for (int i = 0; i < n; ++i)
      R.Column(c + 1)[i] = TriangleEntry(t, i, c, 0);
  for (int i = 0; i < n; ++i)
    QtB.Data()[i] = TriangleEntry(t, i, n, 0);
  ResidualNorm = std::fabs(TriangleEntry(t, n, n, 0));
  Fire(R.OnChange, &R);
  Fire(QtB.OnChange, &QtB);
  return true;
}

bool MultiLinearRegression(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular)
{
  NearSingular = false;
  if (detail::IsExtendedSize(A) && detail::SolveExtended(A, B, X, Sig, NearSingular))
    return true;
  NearSingular = false;
  if (!IsTall(A.NrOfRows(), A.NrOfColumns()))
    return SolveDirect(A, B, X, Sig, NearSingular, true);
  TTriangle t;
  // An aborted reduction leaves the outputs unwritten; the result stays True, as an aborted
  // decomposition's does.
  if (!ReduceTall(A, B, t, GlobalProgressContext()))
    return true;
  return SolveTriangle(ColumnDesignOf(A), B, t, X, Sig, NearSingular);
}

void ScaleColumns(const TMatrix& A, const std::vector<int>& Exponents, TMatrix& Scaled)
{
  const int n = A.NrOfColumns();
  const int m = A.NrOfRows();
  Scaled.Resize(n, m);
  for (int c = 1; c <= n; ++c) {
    const double* src = A.Column(c);
    double* dst = Scaled.Column(c);
    const int e = Exponents[static_cast<std::size_t>(c - 1)];
    for (int i = 0; i < m; ++i)
      dst[i] = std::ldexp(src[i], -e);
  }
}

bool MultiLinearRegressionScaled(const TMatrix& A, const std::vector<int>& Exponents, const TVector& B,
                                 TVector& X, TVector* Sig, bool& NearSingular)
{
  TMatrix r;
  bool factored = false;
  return MultiLinearRegressionScaled(A, Exponents, B, X, Sig, NearSingular, r, factored);
}

bool MultiLinearRegressionScaled(const TMatrix& A, const std::vector<int>& Exponents, const TVector& B,
                                 TVector& X, TVector* Sig, bool& NearSingular, TMatrix& R, bool& Factored)
{
  NearSingular = false;
  Factored = false;
  if (!ReducesBySize(A.NrOfRows(), A.NrOfColumns())) {
    TMatrix scaled;
    ScaleColumns(A, Exponents, scaled);
    if (detail::IsExtendedSize(scaled) && detail::SolveExtended(scaled, B, X, Sig, NearSingular))
      return true;
    NearSingular = false;
    return SolveDirect(scaled, B, X, Sig, NearSingular, true);
  }
  return MultiLinearRegressionScaled(ColumnDesignOf(A), Exponents, B, X, Sig, NearSingular, R, Factored);
}

bool ReducesBySize(int NrOfRows, int NrOfColumns)
{
  return IsTall(NrOfRows, NrOfColumns) && !detail::IsExtendedSize(NrOfRows, NrOfColumns);
}

bool MultiLinearRegressionScaled(const TColumnDesign& A, const std::vector<int>& Exponents, const TVector& B,
                                 TVector& X, TVector* Sig, bool& NearSingular, TMatrix& R, bool& Factored)
{
  NearSingular = false;
  Factored = false;
  const int n = A.NrOfColumns();
  if (!ReducesBySize(A.NrOfRows, n))
    return false;
  TTriangle t;
  if (!ReduceTall(A, B, t, GlobalProgressContext()))
    return true;
  R.Resize(n, n);
  for (int c = 0; c < n; ++c)
    for (int i = 0; i < n; ++i)
      R.Column(c + 1)[i] = TriangleEntry(t, i, c, 0);
  Factored = true;
  // Scaling a column by a power of two scales the same column of the factor exactly.
  for (int c = 0; c < n; ++c)
    if (t.Exponent[static_cast<std::size_t>(c)] != NoExponent)
      t.Exponent[static_cast<std::size_t>(c)] -= Exponents[static_cast<std::size_t>(c)];
  return SolveTriangle(A, B, t, X, Sig, NearSingular, Exponents.data());
}

bool MultiLinearRegressionDirect(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular)
{
  NearSingular = false;
  return SolveDirect(A, B, X, Sig, NearSingular, false);
}

// ---------------------------------------------------------------------------------------------
// TStreamedRegression

struct TStreamedRegression::TState {
  int N = 0;
  long long Rows = 0;
  // The batch being filled: N design columns and B, BatchRows rows each. A full batch is
  // reduced chunk by chunk on the math threads and merged in chunk order, as ReduceTall does,
  // so the triangle is the same as from chunks reduced one after another.
  static constexpr int BatchRows = 8 * ChunkRows;
  std::vector<double> Batch;
  int Fill = 0;
  bool Reduced = false;  // Result holds at least one chunk
  TTriangle Result;
  std::vector<TTriangle> Parts;
  TBlockBuffers Buf;
  std::vector<int> Exponents;
  TTriangleSolution Solution;
  bool SolvedInMemory = false;
  // refinement: the gradient of every chunk, and the rows taken so far
  std::vector<int> Shift;
  std::vector<long double> Gradients;
  long long RefineRows = 0;

  double* BatchColumn(int c) { return Batch.data() + static_cast<std::size_t>(c) * BatchRows; }
  void ReduceBatch()
  {
    if (Fill == 0)
      return;
    std::vector<const double*> cols;
    for (int c = 0; c < N; ++c)
      cols.push_back(BatchColumn(c));
    ReduceChunks(cols.data(), N, BatchColumn(N), Fill, Fill, Parts, TTaskContext());
    MergeInOrder(Result, !Reduced, Parts, Buf);
    Reduced = true;
    Fill = 0;
  }
};

TStreamedRegression::TStreamedRegression(int NrOfColumns) : F(std::make_unique<TState>())
{
  F->N = NrOfColumns;
  F->Batch.resize(static_cast<std::size_t>(NrOfColumns + 1) * TState::BatchRows);
  F->Buf.Reserve(NrOfColumns + 1);
}

TStreamedRegression::~TStreamedRegression() = default;

int TStreamedRegression::NrOfColumns() const
{
  return F->N;
}

long long TStreamedRegression::NrOfRows() const
{
  return F->Rows;
}

bool TStreamedRegression::NeedsRefinement() const
{
  return !F->SolvedInMemory && F->Solution.Refine;
}

void TStreamedRegression::AddRows(const double* const* Columns, const double* B, int Count)
{
  TState& s = *F;
  int done = 0;
  while (done < Count) {
    // A full batch is reduced only once more rows come, so that a fit of one chunk is solved
    // whole.
    if (s.Fill == TState::BatchRows)
      s.ReduceBatch();
    const int take = std::min(Count - done, TState::BatchRows - s.Fill);
    for (int c = 0; c <= s.N; ++c) {
      const double* src = (c < s.N ? Columns[c] : B) + done;
      std::copy(src, src + take, s.BatchColumn(c) + s.Fill);
    }
    s.Fill += take;
    done += take;
    s.Rows += take;
  }
}

bool TStreamedRegression::Solve(const std::vector<int>& Exponents, TVector& X, TVector* Sig, bool& NearSingular)
{
  TState& s = *F;
  s.Exponents = Exponents;
  s.SolvedInMemory = s.Rows <= ChunkRows;
  if (s.SolvedInMemory) {
    // One chunk at most: the whole design is at hand.
    TMatrix a;
    TVector b;
    a.Resize(s.N, s.Fill);
    b.Resize(s.Fill);
    for (int c = 0; c < s.N; ++c)
      std::copy(s.BatchColumn(c), s.BatchColumn(c) + s.Fill, a.Column(c + 1));
    std::copy(s.BatchColumn(s.N), s.BatchColumn(s.N) + s.Fill, b.Data());
    const bool ok = MultiLinearRegressionScaled(a, Exponents, b, X, Sig, NearSingular);
    s.ReduceBatch();
    return ok;
  }
  s.ReduceBatch();
  TTriangle t = s.Result;
  for (int c = 0; c < s.N; ++c)
    if (t.Exponent[static_cast<std::size_t>(c)] != NoExponent)
      t.Exponent[static_cast<std::size_t>(c)] -= Exponents[static_cast<std::size_t>(c)];
  if (!DecomposeTriangle(t, s.N, Sig != nullptr, s.Solution))
    return false;
  NearSingular = s.Solution.NearSingular;
  detail::WriteSolution(s.Solution.X, 0, &s.Solution.Sig, -s.Solution.Unit, X, Sig);
  s.Shift = GradientShifts(s.N, s.Exponents.data());
  s.Gradients.assign(static_cast<std::size_t>(BlockCount(s.Rows, ChunkRows)) * static_cast<std::size_t>(s.N), 0.0L);
  s.RefineRows = 0;
  return true;
}

void TStreamedRegression::AddRefinementRows(const double* const* Columns, const double* B, int Count)
{
  TState& s = *F;
  if (!NeedsRefinement())
    return;
  std::vector<const double*> cols(static_cast<std::size_t>(s.N));
  int done = 0;
  while (done < Count && s.RefineRows < s.Rows) {
    const long long chunk = s.RefineRows / ChunkRows;
    const int take = static_cast<int>(std::min<long long>(Count - done, (chunk + 1) * ChunkRows - s.RefineRows));
    for (int c = 0; c < s.N; ++c)
      cols[static_cast<std::size_t>(c)] = Columns[c] + done;
    AddChunkGradient(cols.data(), s.N, B + done, take, 0, take, s.Solution.X, s.Shift.data(),
                     s.Gradients.data() + static_cast<std::size_t>(chunk) * static_cast<std::size_t>(s.N));
    done += take;
    s.RefineRows += take;
  }
}

bool TStreamedRegression::FinishRefinement(TVector& X, TVector* Sig)
{
  TState& s = *F;
  if (!NeedsRefinement())
    return true;
  if (!ApplyCorrection(SumGradients(s.Gradients, s.N, s.Shift), s.Solution.V, s.Solution.W, s.Solution.Unit,
                       s.Solution.X))
    return false;
  detail::WriteSolution(s.Solution.X, 0, &s.Solution.Sig, -s.Solution.Unit, X, Sig);
  return true;
}

void TStreamedRegression::Triangle(TMatrix& R, TVector& QtB, double& ResidualNorm) const
{
  const TState& s = *F;
  const int n = s.N;
  R.Resize(n, n);
  QtB.Resize(n);
  for (int c = 0; c < n; ++c)
    for (int i = 0; i < n; ++i)
      R.Column(c + 1)[i] = TriangleEntry(s.Result, i, c, 0);
  for (int i = 0; i < n; ++i)
    QtB.Data()[i] = TriangleEntry(s.Result, i, n, 0);
  ResidualNorm = std::fabs(TriangleEntry(s.Result, n, n, 0));
}

}  // namespace orvex
