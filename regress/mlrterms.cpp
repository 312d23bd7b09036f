// Term tests and generalized VIFs from the small covariance matrix: Gaussian elimination with
// partial pivoting in extended precision for the determinants and the solves.
#include "mlrterms.h"

#include <boost/math/distributions/fisher_f.hpp>

#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using TSquare = std::vector<long double>;  // row-major

// The sub-matrix of C over the index list.
TSquare Sub(const std::vector<double>& C, std::size_t N, const std::vector<std::size_t>& Idx)
{
  TSquare s;
  s.reserve(Idx.size() * Idx.size());
  for (std::size_t a : Idx)
    for (std::size_t b : Idx)
      s.push_back(C[a * N + b]);
  return s;
}

// Eliminates A (K x K) in place with partial pivoting, applying the same steps to B (K values,
// may be empty); gives the determinant. B then holds the solution of A x = B.
long double Eliminate(TSquare& A, std::vector<long double>& B)
{
  const std::size_t k = B.empty() ? static_cast<std::size_t>(std::sqrt(static_cast<double>(A.size())) + 0.5)
                                  : B.size();
  long double det = 1;
  for (std::size_t c = 0; c < k; ++c) {
    std::size_t piv = c;
    for (std::size_t r = c + 1; r < k; ++r)
      if (std::fabs(A[r * k + c]) > std::fabs(A[piv * k + c]))
        piv = r;
    if (A[piv * k + c] == 0)
      return 0;
    if (piv != c) {
      for (std::size_t j = 0; j < k; ++j)
        std::swap(A[c * k + j], A[piv * k + j]);
      if (!B.empty())
        std::swap(B[c], B[piv]);
      det = -det;
    }
    det *= A[c * k + c];
    for (std::size_t r = c + 1; r < k; ++r) {
      const long double f = A[r * k + c] / A[c * k + c];
      for (std::size_t j = c; j < k; ++j)
        A[r * k + j] -= f * A[c * k + j];
      if (!B.empty())
        B[r] -= f * B[c];
    }
  }
  for (std::size_t c = k; c-- > 0 && !B.empty();) {
    long double v = B[c];
    for (std::size_t j = c + 1; j < k; ++j)
      v -= A[c * k + j] * B[j];
    B[c] = v / A[c * k + c];
  }
  return det;
}

long double Determinant(TSquare A)
{
  if (A.empty())
    return 1;
  std::vector<long double> none;
  return Eliminate(A, none);
}

}  // namespace

std::vector<TTermTest> TermTests(const TDesign& Design, const std::vector<double>& Coefficients,
                                 const std::vector<double>& Cov, double S2, int DFRes)
{
  const std::size_t n = Coefficients.size();
  const std::size_t p = static_cast<std::size_t>(Design.NrOfColumns());
  bool finite = Cov.size() == n * n;
  for (double v : Cov)
    finite = finite && std::isfinite(v);

  // The correlation matrix of the non-intercept coefficients.
  std::vector<double> corr(p * p, NaN);
  if (finite)
    for (std::size_t a = 0; a < p; ++a)
      for (std::size_t b = 0; b < p; ++b)
        corr[a * p + b] = Cov[a * n + b] / std::sqrt(Cov[a * n + a] * Cov[b * n + b]);
  std::vector<std::size_t> all(p);
  for (std::size_t j = 0; j < p; ++j)
    all[j] = j;
  const long double detR = finite ? Determinant(Sub(corr, p, all)) : 0;

  std::vector<TTermTest> tests;
  for (const TDesignTerm& t : Design.Terms) {
    TTermTest r;
    r.DF = t.NrOfColumns;
    r.SumOfSquares = r.FValue = r.PValue = r.GVIF = r.ScaledGVIF = NaN;
    if (!finite || r.DF == 0) {
      tests.push_back(r);
      continue;
    }
    std::vector<std::size_t> in, out;
    const auto first = static_cast<std::size_t>(t.FirstColumn);
    const auto last = first + static_cast<std::size_t>(t.NrOfColumns);
    for (std::size_t j = 0; j < p; ++j) {
      if (j >= first && j < last)
        in.push_back(j);
      else
        out.push_back(j);
    }
    TSquare ctt = Sub(Cov, n, in);
    std::vector<long double> b;
    for (std::size_t j : in)
      b.push_back(Coefficients[j]);
    const std::vector<long double> coef = b;
    if (Eliminate(ctt, b) != 0) {
      long double ss = 0;
      for (std::size_t j = 0; j < coef.size(); ++j)
        ss += coef[j] * b[j];
      r.SumOfSquares = static_cast<double>(ss);
      r.FValue = static_cast<double>(ss / (r.DF * static_cast<long double>(S2)));
      if (DFRes > 0 && std::isfinite(r.FValue) && r.FValue >= 0) {
        const boost::math::fisher_f_distribution<double> f(r.DF, DFRes);
        r.PValue = boost::math::cdf(boost::math::complement(f, r.FValue));
      }
    }
    if (detR != 0) {
      r.GVIF = static_cast<double>(Determinant(Sub(corr, p, in)) * Determinant(Sub(corr, p, out)) / detR);
      r.ScaledGVIF = std::pow(r.GVIF, 1.0 / (2.0 * r.DF));
    }
    tests.push_back(r);
  }
  return tests;
}

}  // namespace orvex
