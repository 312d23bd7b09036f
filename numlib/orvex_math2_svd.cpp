// The least-squares solver: singular value decomposition by Householder bidiagonalisation and
// implicit-shift QR sweeps, the back substitution, and the direct regression path that scales
// the design matrix into a safe range first and decomposes it whole.
//
// The inner loops run on the raw column storage of the matrices. Every loop performs the same
// floating-point operations in the same order as element-by-element access would; only loops
// whose iterations are independent are reordered (to walk columns instead of rows).
#include "orvex_math2.h"
#include "orvex_math2_internal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvex {

namespace {

// |a| with the sign of b; b = 0 (either zero) counts as positive.
inline double Sign(double a, double b)
{
  return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

// x is negligible against anorm when adding it does not change anorm in extended precision.
inline bool Negligible(double x, double anorm)
{
  const long double sum = static_cast<long double>(std::fabs(x)) + static_cast<long double>(anorm);
  return sum == static_cast<long double>(anorm);
}

// The same test with the sum rounded to double. The arithmetic is double, so an off-diagonal
// element of a cluster of equal singular values can stall just above the extended test's
// threshold; once a value has taken SweepsPerValue sweeps, this looser test decides instead.
inline bool NegligibleInDouble(double x, double anorm)
{
  return std::fabs(x) + anorm == anorm;
}

// Sweeps per singular value with the extended test, and with the double test after them.
constexpr int SweepsPerValue = 30;
constexpr int LateSweeps = 30;

// Plane rotation of two columns over Count rows: (y, z) -> (y c + z s, z c - y s).
inline void RotateColumns(double* __restrict colY, double* __restrict colZ, int Count, double c, double s)
{
  for (int r = 0; r < Count; ++r) {
    const double y = colY[r];
    const double z = colZ[r];
    colY[r] = y * c + z * s;
    colZ[r] = z * c - y * s;
  }
}

// Sums[j] = sum over r = 0..Count-1 of x[r] y_j[r] for the columns Ys[0..NrOfY), each sum
// added up in row order exactly like a plain loop. The sums are independent, so four of them
// run side by side: their additions overlap instead of each waiting for the previous one.
#if defined(__GNUC__) && !defined(__clang__)
// The vectoriser can only turn these strict in-order sums into lane-by-lane additions, which
// is slower than the four interleaved scalar chains.
__attribute__((optimize("no-tree-vectorize")))
#endif
void ColumnDots(const double* x, const double* const* Ys, int NrOfY, int Count, double* Sums)
{
  int j = 0;
  for (; j + 4 <= NrOfY; j += 4) {
    const double* __restrict y0 = Ys[j];
    const double* __restrict y1 = Ys[j + 1];
    const double* __restrict y2 = Ys[j + 2];
    const double* __restrict y3 = Ys[j + 3];
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (int r = 0; r < Count; ++r) {
      const double xr = x[r];
      s0 += xr * y0[r];
      s1 += xr * y1[r];
      s2 += xr * y2[r];
      s3 += xr * y3[r];
    }
    Sums[j] = s0;
    Sums[j + 1] = s1;
    Sums[j + 2] = s2;
    Sums[j + 3] = s3;
  }
  for (; j < NrOfY; ++j) {
    const double* y = Ys[j];
    double s = 0.0;
    for (int r = 0; r < Count; ++r)
      s += x[r] * y[r];
    Sums[j] = s;
  }
}

// y += f x over Count rows.
inline void AddScaled(double* __restrict y, const double* __restrict x, double f, int Count)
{
  for (int r = 0; r < Count; ++r)
    y[r] += f * x[r];
}

// The working state of one decomposition. a[r, c] is row r, column c of A (1-based), kept in
// A's own column storage; V, W and the work vector live here and are copied out at the end.
class TSvdWork {
public:
  explicit TSvdWork(TMatrix& A) : m(A.NrOfRows()), n(A.NrOfColumns()), acol(static_cast<std::size_t>(n) + 1)
  {
    for (int c = 1; c <= n; ++c)
      acol[static_cast<std::size_t>(c)] = A.Column(c);
    w.assign(static_cast<std::size_t>(n) + 1, 0.0);
    rv1.assign(static_cast<std::size_t>(n) + 1, 0.0);
    v.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 0.0);
    colSums.assign(static_cast<std::size_t>(n) + 1, 0.0);
  }

  bool Run();
  void CopyOut(TMatrix& V, TVector& W) const;

private:
  double* Col(int c) { return acol[static_cast<std::size_t>(c)]; }
  // Row access; rows beyond m (when there are fewer observations than parameters) read 0 and
  // take no writes, as the checked element access of the matrix would.
  double A(int r, int c) const { return r <= m ? acol[static_cast<std::size_t>(c)][r - 1] : 0.0; }
  double& Aref(int r, int c) { return acol[static_cast<std::size_t>(c)][r - 1]; }
  double* VCol(int c) { return v.data() + static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(n); }
  double& Vref(int r, int c) { return VCol(c)[r - 1]; }

  bool Bidiagonalise();
  bool RightTransformations();
  bool LeftTransformations();
  bool Diagonalise(bool& ok);
  // columnPtrs[j - First] = column j of A from row Row on, for j = First..n.
  void GatherColumns(int First, int Row)
  {
    columnPtrs.clear();
    for (int j = First; j <= n; ++j)
      columnPtrs.push_back(Col(j) + (Row - 1));
  }

  const int m;
  const int n;
  std::vector<double*> acol;
  std::vector<double> w, rv1, v;
  std::vector<double> rowSums;
  std::vector<const double*> columnPtrs;
  std::vector<double> colSums;
  double g = 0.0;
  double anorm = 0.0;
};

// Phase 1: Householder reduction to upper bidiagonal form; w receives the diagonal, rv1 the
// superdiagonal. Returns false when aborted.
bool TSvdWork::Bidiagonalise()
{
  double scale = 0.0;
  g = 0.0;
  anorm = 0.0;
  for (int i = 1; i <= n; ++i) {
    if (MathProgressStep())
      return false;
    const int l = i + 1;
    rv1[i] = scale * g;
    g = 0.0;
    double s = 0.0;
    scale = 0.0;
    if (i <= m) {
      double* ci = Col(i);
      for (int k = i; k <= m; ++k)
        scale += std::fabs(ci[k - 1]);
      if (scale != 0.0) {
        for (int k = i; k <= m; ++k) {
          ci[k - 1] /= scale;
          s += ci[k - 1] * ci[k - 1];
        }
        const double f = ci[i - 1];
        g = -Sign(std::sqrt(s), f);
        const double h = f * g - s;
        ci[i - 1] = f - g;
        // Column j takes f_j = (sum over k = i..m of a[k, i] a[k, j]) / h, then
        // a[k, j] += f_j a[k, i]. Each column's sum reads only itself and column i, so all
        // sums are formed first (in one pass) and the updates follow.
        const int count = m - i + 1;
        GatherColumns(l, i);
        ColumnDots(ci + (i - 1), columnPtrs.data(), n - l + 1, count, colSums.data());
        for (int j = l; j <= n; ++j)
          AddScaled(Col(j) + (i - 1), ci + (i - 1), colSums[static_cast<std::size_t>(j - l)] / h, count);
        for (int k = i; k <= m; ++k)
          ci[k - 1] *= scale;
      }
    }
    w[i] = scale * g;
    g = 0.0;
    s = 0.0;
    scale = 0.0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k)
        scale += std::fabs(Aref(i, k));
      if (scale != 0.0) {
        for (int k = l; k <= n; ++k) {
          Aref(i, k) /= scale;
          s += Aref(i, k) * Aref(i, k);
        }
        const double f = Aref(i, l);
        g = -Sign(std::sqrt(s), f);
        const double h = f * g - s;
        Aref(i, l) = f - g;
        for (int k = l; k <= n; ++k)
          rv1[k] = Aref(i, k) / h;
        if (i != m) {
          // Rows l..m each take s_j = sum over k of a[j, k] a[i, k], then a[j, k] += s_j rv1[k].
          // The rows are independent, so the sums are gathered column by column (each s_j still
          // adds its terms in the order k = l..n) and the updates follow column by column.
          rowSums.assign(static_cast<std::size_t>(m) + 1, 0.0);
          for (int k = l; k <= n; ++k) {
            const double* ck = Col(k);
            const double aik = Aref(i, k);
            for (int j = l; j <= m; ++j)
              rowSums[static_cast<std::size_t>(j)] += ck[j - 1] * aik;
          }
          for (int k = l; k <= n; ++k) {
            double* ck = Col(k);
            const double rk = rv1[k];
            for (int j = l; j <= m; ++j)
              ck[j - 1] += rowSums[static_cast<std::size_t>(j)] * rk;
          }
        }
        for (int k = l; k <= n; ++k)
          Aref(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
  }
  return true;
}

// Phase 2: accumulation of the right-hand transformations into V.
bool TSvdWork::RightTransformations()
{
  int l = n + 1;
  for (int i = n; i >= 1; --i) {
    if (MathProgressStep())
      return false;
    if (i < n) {
      if (g != 0.0) {
        // Two divisions in this order avoid a possible underflow.
        for (int j = l; j <= n; ++j)
          Vref(j, i) = (A(i, j) / A(i, l)) / g;
        for (int j = l; j <= n; ++j) {
          double s = 0.0;
          for (int k = l; k <= n; ++k)
            s += A(i, k) * Vref(k, j);
          for (int k = l; k <= n; ++k)
            Vref(k, j) += s * Vref(k, i);
        }
      }
      for (int j = l; j <= n; ++j) {
        Vref(i, j) = 0.0;
        Vref(j, i) = 0.0;
      }
    }
    Vref(i, i) = 1.0;
    g = rv1[i];
    l = i;
  }
  return true;
}

// Phase 3: accumulation of the left-hand transformations; A becomes U.
bool TSvdWork::LeftTransformations()
{
  for (int i = n; i >= 1; --i) {
    if (MathProgressStep())
      return false;
    const int l = i + 1;
    double gi = w[i];
    if (i < n && i <= m)
      for (int j = l; j <= n; ++j)
        Aref(i, j) = 0.0;
    double* ci = Col(i);
    if (gi != 0.0) {
      gi = 1.0 / gi;
      if (i != n) {
        // As in phase 1: the sums over rows l..m first, then the updates of rows i..m.
        if (l <= m) {
          GatherColumns(l, l);
          ColumnDots(ci + (l - 1), columnPtrs.data(), n - l + 1, m - l + 1, colSums.data());
        } else {
          std::fill(colSums.begin(), colSums.end(), 0.0);
        }
        for (int j = l; j <= n; ++j) {
          const double f = (colSums[static_cast<std::size_t>(j - l)] / A(i, i)) * gi;
          if (i <= m)
            AddScaled(Col(j) + (i - 1), ci + (i - 1), f, m - i + 1);
        }
      }
      for (int j = i; j <= m; ++j)
        ci[j - 1] *= gi;
    } else {
      for (int j = i; j <= m; ++j)
        ci[j - 1] = 0.0;
    }
    if (i <= m)
      Aref(i, i) += 1.0;
  }
  return true;
}

// Phase 4: diagonalisation of the bidiagonal form by implicit-shift QR sweeps, at most 30 per
// singular value. ok turns false when a value needed all 30. Returns false when aborted.
bool TSvdWork::Diagonalise(bool& ok)
{
  for (int k = n; k >= 1; --k) {
    if (MathProgressStep())
      return false;
    for (int its = 1; its <= SweepsPerValue + LateSweeps; ++its) {
      // Split test. rv1[1] is 0, so l = 1 always ends the search; stopping there explicitly
      // also keeps w[0] out of reach when anorm is not a number.
      const bool late = its > SweepsPerValue;
      auto negligible = [&](double x) { return Negligible(x, anorm) || (late && NegligibleInDouble(x, anorm)); };
      bool cancel = true;
      int l = k;
      int nm = 0;
      for (; l >= 1; --l) {
        nm = l - 1;
        if (l == 1 || negligible(rv1[l])) {
          cancel = false;
          break;
        }
        if (negligible(w[nm]))
          break;
      }
      if (cancel) {
        // w[nm] is negligible: chase rv1[l] out of row nm with rotations against rows l..k.
        // Once the fill-in has become negligible there is nothing left to chase.
        double c = 0.0;
        double s = 1.0;
        for (int i = l; i <= k; ++i) {
          const double f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (negligible(f))
            break;
          const double gw = w[i];
          double h = std::hypot(f, gw);
          w[i] = h;
          h = 1.0 / h;
          c = gw * h;
          s = -f * h;
          RotateColumns(Col(nm), Col(i), m, c, s);
        }
      }
      double z = w[k];
      if (l == k) {
        // Converged: make the singular value non-negative.
        if (z < 0.0) {
          w[k] = -z;
          double* vk = VCol(k);
          for (int r = 0; r < n; ++r)
            vk[r] = -vk[r];
        }
        break;
      }
      if (its == SweepsPerValue + LateSweeps)
        ok = false;
      // Shift from the bottom 2 x 2 minor.
      double x = w[l];
      nm = k - 1;
      double y = w[nm];
      double gg = rv1[nm];
      double h = rv1[k];
      double f = ((y - z) * (y + z) + (gg - h) * (gg + h)) / (2.0 * h * y);
      gg = std::hypot(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + Sign(gg, f))) - h)) / x;
      // Next QR transformation.
      double c = 1.0;
      double s = 1.0;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        gg = rv1[i];
        y = w[i];
        h = s * gg;
        gg = c * gg;
        z = std::hypot(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + gg * s;
        gg = gg * c - x * s;
        h = y * s;
        y = y * c;
        RotateColumns(VCol(j), VCol(i), n, c, s);
        z = std::hypot(f, h);
        w[j] = z;
        if (z != 0.0) {
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * gg + s * y;
        x = c * y - s * gg;
        RotateColumns(Col(j), Col(i), m, c, s);
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }
  return true;
}

bool TSvdWork::Run()
{
  bool ok = true;
  if (Bidiagonalise() && RightTransformations() && LeftTransformations())
    Diagonalise(ok);
  return ok;
}

void TSvdWork::CopyOut(TMatrix& V, TVector& W) const
{
  if (V.NrOfColumns() == n && V.NrOfRows() == n) {
    std::copy(v.begin(), v.end(), V.Column(1));
  } else {
    for (int c = 1; c <= std::min(n, V.NrOfColumns()); ++c)
      for (int r = 1; r <= std::min(n, V.NrOfRows()); ++r)
        V.Column(c)[r - 1] = v[static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(n) +
                               static_cast<std::size_t>(r - 1)];
  }
  const int nw = std::min(n, W.NrOfElem());
  std::copy(w.begin() + 1, w.begin() + 1 + nw, W.Data());
}

}  // namespace

namespace detail {

void SvdSolution(const TMatrix& U, const TMatrix& V, const TVector& W, const double* B, int NrOfB,
                 std::vector<double>& X, std::vector<double>* Sig)
{
  const int n = U.NrOfColumns();
  const int m = U.NrOfRows();
  const int mb = std::min(m, NrOfB);
  // Column i of U against B, all columns in one pass; rows beyond the end of B read as 0.
  std::vector<const double*> columns;
  for (int i = 1; i <= n; ++i)
    columns.push_back(U.Column(i));
  std::vector<double> dots(static_cast<std::size_t>(n), 0.0);
  ColumnDots(B, columns.data(), n, mb, dots.data());
  std::vector<double> t(static_cast<std::size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    const double wi = W.Elem(i);
    if (wi != 0.0) {
      double s = dots[static_cast<std::size_t>(i - 1)];
      const double* u = U.Column(i);
      for (int r = mb; r < m; ++r)
        s += u[r] * 0.0;
      t[static_cast<std::size_t>(i)] = s / wi;
    }
  }
  X.assign(static_cast<std::size_t>(n), 0.0);
  for (int j = 1; j <= n; ++j) {
    double s = 0.0;
    for (int k = 1; k <= n; ++k)
      s += V.Elem(k, j) * t[static_cast<std::size_t>(k)];
    X[static_cast<std::size_t>(j - 1)] = s;
  }
  if (Sig) {
    std::vector<double> q(static_cast<std::size_t>(n) + 1, 0.0);
    for (int k = 1; k <= n; ++k) {
      const double wk = W.Elem(k);
      if (wk != 0.0)
        q[static_cast<std::size_t>(k)] = 1.0 / (wk * wk);
    }
    Sig->assign(static_cast<std::size_t>(n), 0.0);
    for (int j = 1; j <= n; ++j) {
      double s = 0.0;
      for (int k = 1; k <= n; ++k)
        s += V.Elem(k, j) * V.Elem(k, j) * q[static_cast<std::size_t>(k)];
      (*Sig)[static_cast<std::size_t>(j - 1)] = std::sqrt(s);
    }
  }
}

void WriteSolution(const std::vector<double>& X, int XExponent, const std::vector<double>* Sig,
                   int SigExponent, TVector& XOut, TVector* SigOut)
{
  for (std::size_t j = 0; j < X.size(); ++j)
    XOut.SetElem(static_cast<int>(j) + 1, std::ldexp(X[j], XExponent));
  if (SigOut && Sig)
    for (std::size_t j = 0; j < Sig->size(); ++j)
      SigOut->SetElem(static_cast<int>(j) + 1, std::ldexp((*Sig)[j], SigExponent));
}

bool ZeroSmallSingularValues(TVector& W)
{
  const int n = W.NrOfElem();
  double wmax = 0.0;
  for (int j = 1; j <= n; ++j)
    if (W.Elem(j) > wmax)
      wmax = W.Elem(j);
  const double threshold = static_cast<double>(static_cast<long double>(wmax) * 1e-14L);
  bool nearSingular = false;
  for (int j = 1; j <= n; ++j)
    if (W.Elem(j) < threshold) {
      W.SetElem(j, 0.0);
      nearSingular = true;
    }
  return nearSingular;
}

int ScaleIntoUnitRange(TMatrix& A)
{
  const int n = A.NrOfColumns();
  const int m = A.NrOfRows();
  double maxAbs = 0.0;
  for (int c = 1; c <= n; ++c) {
    const double* col = A.Column(c);
    for (int r = 0; r < m; ++r)
      maxAbs = std::max(maxAbs, std::fabs(col[r]));
  }
  int exponent = 0;
  if (maxAbs > 0.0 && std::isfinite(maxAbs)) {
    std::frexp(maxAbs, &exponent);
    if (exponent != 0)
      for (int c = 1; c <= n; ++c) {
        double* col = A.Column(c);
        if (std::abs(exponent) <= 1000) {
          // The factor is a normal power of two, so the product is the exact ldexp result.
          const double factor = std::ldexp(1.0, -exponent);
          for (int r = 0; r < m; ++r)
            col[r] *= factor;
        } else {
          for (int r = 0; r < m; ++r)
            col[r] = std::ldexp(col[r], -exponent);
        }
      }
  }
  return exponent;
}

}  // namespace detail

bool SVDecompose(TMatrix& A, TMatrix& V, TVector& W)
{
  TSvdWork work(A);
  const bool ok = work.Run();
  work.CopyOut(V, W);
  // One notification per container for the whole decomposition.
  Fire(A.OnChange, &A);
  Fire(V.OnChange, &V);
  Fire(W.OnChange, &W);
  return ok;
}

bool SVSolve(const TMatrix& U, const TMatrix& V, const TVector& W, const TVector& B, TVector& X,
             TVector* Sig)
{
  std::vector<double> x, sig;
  detail::SvdSolution(U, V, W, B.Data(), B.NrOfElem(), x, Sig ? &sig : nullptr);
  detail::WriteSolution(x, 0, &sig, 0, X, Sig);
  return true;
}

}  // namespace orvex
