// The decomposition works on raw column storage with reordered independent loops; this
// element-by-element transcription through Elem/SetElem pins that the results are bit for bit
// the same.
#include "orvex_math2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace orvex;

namespace {

double Sgn(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

bool Negl(double x, double anorm)
{
  return static_cast<long double>(std::fabs(x)) + anorm == static_cast<long double>(anorm);
}

// a[r, k] is A.Elem(k, r); v[r, k] is V.Elem(k, r).
bool ReferenceSvd(TMatrix& A, TMatrix& V, TVector& W)
{
  const int n = A.NrOfColumns(), m = A.NrOfRows();
  auto a = [&](int r, int k) { return A.Elem(k, r); };
  auto setA = [&](int r, int k, double x) { A.SetElem(k, r, x); };
  auto v = [&](int r, int k) { return V.Elem(k, r); };
  auto setV = [&](int r, int k, double x) { V.SetElem(k, r, x); };
  TVector rv1;
  rv1.Resize(n);
  double g = 0, scale = 0, anorm = 0, s, f, h;
  int l = 0;
  for (int i = 1; i <= n; ++i) {
    l = i + 1;
    rv1.SetElem(i, scale * g);
    g = s = scale = 0;
    if (i <= m) {
      for (int k = i; k <= m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0) {
        for (int k = i; k <= m; ++k) { setA(k, i, a(k, i) / scale); s += a(k, i) * a(k, i); }
        f = a(i, i); g = -Sgn(std::sqrt(s), f); h = f * g - s; setA(i, i, f - g);
        for (int j = l; j <= n; ++j) {
          double sj = 0;
          for (int k = i; k <= m; ++k) sj += a(k, i) * a(k, j);
          const double fj = sj / h;
          for (int k = i; k <= m; ++k) setA(k, j, a(k, j) + fj * a(k, i));
        }
        for (int k = i; k <= m; ++k) setA(k, i, a(k, i) * scale);
      }
    }
    W.SetElem(i, scale * g);
    g = s = scale = 0;
    if (i <= m && i != n) {
      for (int k = l; k <= n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0) {
        for (int k = l; k <= n; ++k) { setA(i, k, a(i, k) / scale); s += a(i, k) * a(i, k); }
        f = a(i, l); g = -Sgn(std::sqrt(s), f); h = f * g - s; setA(i, l, f - g);
        for (int k = l; k <= n; ++k) rv1.SetElem(k, a(i, k) / h);
        if (i != m)
          for (int j = l; j <= m; ++j) {
            double sj = 0;
            for (int k = l; k <= n; ++k) sj += a(j, k) * a(i, k);
            for (int k = l; k <= n; ++k) setA(j, k, a(j, k) + sj * rv1.Elem(k));
          }
        for (int k = l; k <= n; ++k) setA(i, k, a(i, k) * scale);
      }
    }
    anorm = std::max(anorm, std::fabs(W.Elem(i)) + std::fabs(rv1.Elem(i)));
  }
  for (int i = n; i >= 1; --i) {
    if (i < n) {
      if (g != 0) {
        for (int j = l; j <= n; ++j) setV(j, i, (a(i, j) / a(i, l)) / g);
        for (int j = l; j <= n; ++j) {
          s = 0;
          for (int k = l; k <= n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k <= n; ++k) setV(k, j, v(k, j) + s * v(k, i));
        }
      }
      for (int j = l; j <= n; ++j) { setV(i, j, 0); setV(j, i, 0); }
    }
    setV(i, i, 1); g = rv1.Elem(i); l = i;
  }
  for (int i = n; i >= 1; --i) {
    l = i + 1; g = W.Elem(i);
    for (int j = l; j <= n; ++j) setA(i, j, 0);
    if (g != 0) {
      g = 1 / g;
      for (int j = l; j <= n; ++j) {
        s = 0;
        for (int k = l; k <= m; ++k) s += a(k, i) * a(k, j);
        f = (s / a(i, i)) * g;
        for (int k = i; k <= m; ++k) setA(k, j, a(k, j) + f * a(k, i));
      }
      for (int j = i; j <= m; ++j) setA(j, i, a(j, i) * g);
    } else {
      for (int j = i; j <= m; ++j) setA(j, i, 0);
    }
    setA(i, i, a(i, i) + 1);
  }
  bool ok = true;
  auto rotate = [](auto get, auto set, int count, int p, int q, double c, double sn) {
    for (int r = 1; r <= count; ++r) {
      const double y = get(r, p), z = get(r, q);
      set(r, p, y * c + z * sn);
      set(r, q, z * c - y * sn);
    }
  };
  for (int k = n; k >= 1; --k)
    for (int its = 1; its <= 30; ++its) {
      bool cancel = true;
      int nm = 0;
      for (l = k; l >= 1; --l) {
        nm = l - 1;
        if (l == 1 || Negl(rv1.Elem(l), anorm)) { cancel = false; break; }
        if (Negl(W.Elem(nm), anorm)) break;
      }
      if (cancel) {
        double c = 0, sn = 1;
        for (int i = l; i <= k; ++i) {
          f = sn * rv1.Elem(i); rv1.SetElem(i, c * rv1.Elem(i));
          if (Negl(f, anorm)) break;
          g = W.Elem(i); h = std::hypot(f, g); W.SetElem(i, h); h = 1 / h; c = g * h; sn = -f * h;
          rotate(a, setA, m, nm, i, c, sn);
        }
      }
      double z = W.Elem(k);
      if (l == k) {
        if (z < 0) { W.SetElem(k, -z); for (int r = 1; r <= n; ++r) setV(r, k, -v(r, k)); }
        break;
      }
      if (its == 30) ok = false;
      double x = W.Elem(l), y = W.Elem(k - 1);
      nm = k - 1; g = rv1.Elem(nm); h = rv1.Elem(k);
      f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = std::hypot(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + Sgn(g, f))) - h)) / x;
      double c = 1, sn = 1;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1.Elem(i); y = W.Elem(i); h = sn * g; g = c * g;
        z = std::hypot(f, h); rv1.SetElem(j, z); c = f / z; sn = h / z;
        f = x * c + g * sn; g = g * c - x * sn; h = y * sn; y = y * c;
        rotate(v, setV, n, j, i, c, sn);
        z = std::hypot(f, h); W.SetElem(j, z);
        if (z != 0) { z = 1 / z; c = f * z; sn = h * z; }
        f = c * g + sn * y; x = c * y - sn * g;
        rotate(a, setA, m, j, i, c, sn);
      }
      rv1.SetElem(l, 0); rv1.SetElem(k, f); W.SetElem(k, x);
    }
  return ok;
}

bool SameBits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

}  // namespace

TEST(SVDecompose, BitIdenticalToElementwiseEvaluation)
{
  // Tall, square, wide, with a rank defect (column 2 = 3 x column 1) and with a zero column.
  for (auto [n, m] : {std::pair{6, 500}, {9, 9}, {4, 3}, {21, 300}, {5, 40}}) {
    std::mt19937 gen(static_cast<unsigned>(n * 1000 + m));
    std::uniform_real_distribution<double> dist(-5.0, 5.0);
    TMatrix A, R, V, VR;
    TVector W, WR;
    A.Resize(n, m);
    for (int c = 1; c <= n; ++c)
      for (int r = 1; r <= m; ++r)
        A.SetElem(c, r, n == 21 && c == 2 ? 3 * A.Elem(1, r) : n == 5 && c == 3 ? 0.0 : dist(gen));
    R.Assign(A);
    V.Resize(n, n);
    VR.Resize(n, n);
    W.Resize(n);
    WR.Resize(n);
    EXPECT_EQ(SVDecompose(A, V, W), ReferenceSvd(R, VR, WR));
    int differing = 0;
    for (int c = 1; c <= n; ++c) {
      differing += !SameBits(W.Elem(c), WR.Elem(c));
      for (int r = 1; r <= m; ++r)
        differing += !SameBits(A.Elem(c, r), R.Elem(c, r));
      for (int r = 1; r <= n; ++r)
        differing += !SameBits(V.Elem(c, r), VR.Elem(c, r));
    }
    EXPECT_EQ(differing, 0) << n << " x " << m;
  }
}
