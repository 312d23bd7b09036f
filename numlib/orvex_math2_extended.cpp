// The small-problem path of the regression in extended precision: Householder reduction of
// [A B] in long double, a one-sided Jacobi decomposition of the triangular factor in long
// double, and one step of iterative refinement whose residual and gradient are formed in
// quadruple precision. On the small designs it serves (a few thousand elements) it costs well
// under a millisecond, and it gives the coefficients of badly conditioned polynomial and
// economic designs to the last digit of a double, where the double-precision decomposition
// loses up to half of them.
//
// Long double has the exponent range of 15 bits, so no design of doubles can overflow or
// underflow in the sums of squares here; scaling A by a power of two scales every quantity
// exactly, as on the double paths.
#include "orvex_math2.h"
#include "orvex_math2_internal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace orvex::detail {

namespace {

using TLong = long double;
using TQuadReal = __float128;

// Jacobi sweeps before the decomposition counts as failed (it converges in well under ten).
constexpr int MaxJacobiSweeps = 60;

// Column-major n x n (or m x k) storage in long double.
struct TLongMatrix {
  int Rows = 0, Cols = 0;
  std::vector<TLong> Data;
  void Resize(int R, int C)
  {
    Rows = R;
    Cols = C;
    Data.assign(static_cast<std::size_t>(R) * static_cast<std::size_t>(C), 0.0L);
  }
  TLong* Column(int c) { return Data.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(Rows); }
  const TLong* Column(int c) const
  {
    return Data.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(Rows);
  }
};

// Householder reduction of the m x (n + 1) matrix Y = [A B] in place: afterwards its upper
// n x n block holds R and the first n entries of its last column hold Q^T B.
void Triangularise(TLongMatrix& Y, int n)
{
  const int m = Y.Rows;
  const int n1 = n + 1;
  for (int j = 0; j < std::min(n1, m); ++j) {
    TLong* y = Y.Column(j);
    TLong s = 0;
    for (int i = j + 1; i < m; ++i)
      s += y[i] * y[i];
    if (s == 0)
      continue;
    const TLong alpha = y[j];
    const TLong beta = -std::copysign(std::sqrt(alpha * alpha + s), alpha);
    // H = I - tau w w^T with w = (1, y[j+1..] / (alpha - beta)).
    const TLong scale = 1 / (alpha - beta);
    for (int i = j + 1; i < m; ++i)
      y[i] *= scale;
    const TLong tau = (beta - alpha) / beta;
    y[j] = beta;
    for (int k = j + 1; k < n1; ++k) {
      TLong* z = Y.Column(k);
      TLong d = z[j];
      for (int i = j + 1; i < m; ++i)
        d += y[i] * z[i];
      d *= tau;
      z[j] -= d;
      for (int i = j + 1; i < m; ++i)
        z[i] -= d * y[i];
    }
  }
}

// One-sided Jacobi: the columns of G (n x n) are rotated in pairs until they are mutually
// orthogonal, G V = U diag(W); the rotations accumulate in V. False when the sweeps do not
// converge.
bool JacobiDecompose(TLongMatrix& G, TLongMatrix& V, std::vector<TLong>& W)
{
  const int n = G.Cols;
  const int rows = G.Rows;
  V.Resize(n, n);
  for (int j = 0; j < n; ++j)
    V.Column(j)[j] = 1;
  const TLong tol = std::numeric_limits<TLong>::epsilon() * rows;
  bool converged = false;
  for (int sweep = 0; sweep < MaxJacobiSweeps && !converged; ++sweep) {
    converged = true;
    for (int p = 0; p < n - 1; ++p)
      for (int q = p + 1; q < n; ++q) {
        TLong* gp = G.Column(p);
        TLong* gq = G.Column(q);
        TLong a = 0, b = 0, c = 0;
        for (int i = 0; i < rows; ++i) {
          a += gp[i] * gp[i];
          b += gq[i] * gq[i];
          c += gp[i] * gq[i];
        }
        if (c == 0 || std::fabs(c) <= tol * std::sqrt(a * b))
          continue;
        converged = false;
        const TLong zeta = (b - a) / (2 * c);
        const TLong t = std::copysign(1.0L, zeta) / (std::fabs(zeta) + std::sqrt(1 + zeta * zeta));
        const TLong cs = 1 / std::sqrt(1 + t * t);
        const TLong sn = cs * t;
        for (int i = 0; i < rows; ++i) {
          const TLong x = gp[i], y = gq[i];
          gp[i] = cs * x - sn * y;
          gq[i] = sn * x + cs * y;
        }
        TLong* vp = V.Column(p);
        TLong* vq = V.Column(q);
        for (int i = 0; i < n; ++i) {
          const TLong x = vp[i], y = vq[i];
          vp[i] = cs * x - sn * y;
          vq[i] = sn * x + cs * y;
        }
      }
  }
  if (!converged)
    return false;
  W.assign(static_cast<std::size_t>(n), 0.0L);
  for (int k = 0; k < n; ++k) {
    TLong* g = G.Column(k);
    TLong s = 0;
    for (int i = 0; i < rows; ++i)
      s += g[i] * g[i];
    const TLong w = std::sqrt(s);
    W[static_cast<std::size_t>(k)] = w;
    if (w > 0)
      for (int i = 0; i < rows; ++i)
        g[i] /= w;
  }
  return true;
}

// Sum over the nonzero W[k] of V_k (L_k . g) / W[k]^Power, with V_k and L_k the columns k
// of V and L: with L = U and Power 1 the solution V diag(1/W) U^T g, with L = V and Power 2
// the correction V diag(1/W^2) V^T g of the normal equations.
std::vector<TLong> InverseApply(const TLongMatrix& L, const TLongMatrix& V, const std::vector<TLong>& W,
                                const TLong* g, int Power)
{
  const int n = V.Cols;
  std::vector<TLong> d(static_cast<std::size_t>(n), 0.0L);
  for (int k = 0; k < n; ++k) {
    const TLong w = W[static_cast<std::size_t>(k)];
    if (w == 0)
      continue;
    const TLong* l = L.Column(k);
    TLong t = 0;
    for (int j = 0; j < n; ++j)
      t += l[j] * g[j];
    t /= Power == 2 ? w * w : w;
    const TLong* v = V.Column(k);
    for (int j = 0; j < n; ++j)
      d[static_cast<std::size_t>(j)] += t * v[j];
  }
  return d;
}

}  // namespace

bool IsExtendedSize(long long NrOfRows, long long NrOfColumns)
{
  return NrOfRows >= NrOfColumns && NrOfRows * (NrOfColumns + 1) <= ExtendedMaxElements;
}

bool IsExtendedSize(const TMatrix& A)
{
  return IsExtendedSize(A.NrOfRows(), A.NrOfColumns());
}

bool SolveExtended(const TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular)
{
  const int n = A.NrOfColumns();
  const int m = A.NrOfRows();
  const int nb = std::min(m, B.NrOfElem());
  const double* b = B.Data();
  TLongMatrix Y;
  Y.Resize(m, n + 1);
  for (int c = 0; c < n; ++c) {
    const double* src = A.Column(c + 1);
    TLong* dst = Y.Column(c);
    for (int i = 0; i < m; ++i) {
      if (!std::isfinite(src[i]))
        return false;
      dst[i] = src[i];
    }
  }
  for (int i = 0; i < nb; ++i) {
    if (!std::isfinite(b[i]))
      return false;
    Y.Column(n)[i] = b[i];
  }
  Triangularise(Y, n);

  TLongMatrix G, V;
  G.Resize(n, n);
  for (int c = 0; c < n; ++c)
    for (int i = 0; i <= c; ++i)
      G.Column(c)[i] = Y.Column(c)[i];
  std::vector<TLong> W;
  if (!JacobiDecompose(G, V, W))
    return false;

  // The collinearity rule on the singular values as doubles, as the double paths apply it.
  double wmax = 0;
  for (TLong w : W)
    wmax = std::max(wmax, static_cast<double>(w));
  const double threshold = static_cast<double>(static_cast<TLong>(wmax) * 1e-14L);
  NearSingular = false;
  for (TLong& w : W)
    if (static_cast<double>(w) < threshold) {
      w = 0;
      NearSingular = true;
    }

  // x = V diag(1/W) U^T (Q^T B).
  std::vector<TLong> x = InverseApply(G, V, W, Y.Column(n), 1);

  // One refinement step against the original design: r = B - A x and g = A^T r in quadruple
  // precision, where the products of a double and a long double are exact. A solution with a
  // zeroed singular value is the minimum-norm one, which the step would not keep.
  if (!NearSingular) {
    std::vector<TQuadReal> r(static_cast<std::size_t>(m), 0);
    for (int i = 0; i < nb; ++i)
      r[static_cast<std::size_t>(i)] = b[i];
    for (int c = 0; c < n; ++c) {
      const double* a = A.Column(c + 1);
      const TQuadReal xc = x[static_cast<std::size_t>(c)];
      for (int i = 0; i < m; ++i)
        r[static_cast<std::size_t>(i)] -= static_cast<TQuadReal>(a[i]) * xc;
    }
    std::vector<TLong> g(static_cast<std::size_t>(n));
    for (int c = 0; c < n; ++c) {
      const double* a = A.Column(c + 1);
      TQuadReal s = 0;
      for (int i = 0; i < m; ++i)
        s += static_cast<TQuadReal>(a[i]) * r[static_cast<std::size_t>(i)];
      g[static_cast<std::size_t>(c)] = static_cast<TLong>(s);
    }
    const std::vector<TLong> d = InverseApply(V, V, W, g.data(), 2);
    for (int j = 0; j < n; ++j)
      x[static_cast<std::size_t>(j)] += d[static_cast<std::size_t>(j)];
  }

  std::vector<double> xd(static_cast<std::size_t>(n)), sd(static_cast<std::size_t>(n), 0.0);
  for (int j = 0; j < n; ++j)
    xd[static_cast<std::size_t>(j)] = static_cast<double>(x[static_cast<std::size_t>(j)]);
  if (Sig)
    for (int j = 0; j < n; ++j) {
      TLong s = 0;
      for (int k = 0; k < n; ++k) {
        const TLong w = W[static_cast<std::size_t>(k)];
        if (w != 0) {
          const TLong v = V.Column(k)[j];
          s += (v / w) * (v / w);
        }
      }
      sd[static_cast<std::size_t>(j)] = static_cast<double>(std::sqrt(s));
    }
  for (int j = 0; j < n; ++j)
    if (!std::isfinite(xd[static_cast<std::size_t>(j)]) || !std::isfinite(sd[static_cast<std::size_t>(j)]))
      return false;
  WriteSolution(xd, 0, Sig ? &sd : nullptr, 0, X, Sig);
  return true;
}

}  // namespace orvex::detail
