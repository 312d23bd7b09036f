// The regression run over a file read in blocks; see mlrstream.h. Each pass gathers the
// objects of a block into a small design buffer (inputs, the ones, the target) and hands it to
// the same kernels the in-memory run uses.
#include "mlrstream.h"

#include "mlrrun_text.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"
#include "orvex_taskpool.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
// As the run: designs of at most this many elements (target included) take the residual
// deviation formed in extended precision, and the first magnitudes of a column seen.
constexpr long long ExtendedResidualElements = 16384;
// The residual sum of squares from the triangular factor stands in for the residuals' own when
// the two agree to this (relative); the measures then agree to far below 1e-12.
constexpr double RssAgreement = 1e-14;

// Rows of a block per task of the math threads where rows are taken apart (a smaller block
// stays on the calling thread).
constexpr int RangeRows = 8192;

// Work(K, First, Last) for the K-th range of RangeRows rows of Count rows, as tasks of the math
// threads.
template <typename F>
void ForEachRange(int Count, F Work)
{
  ForEachMathTask(BlockCount(Count, RangeRows), [&](int k) {
    const int first = k * RangeRows;
    Work(k, first, std::min(Count, first + RangeRows));
  });
}

// The objects of one block: the rows used, column by column (inputs, the ones, the target).
// Where the block uses all its rows the columns are the block's own; otherwise they are
// gathered into Copies.
struct TDesignBlock {
  int Count = 0;
  std::vector<int> Rows;       // table rows, 1-based
  std::vector<int> Positions;  // their places in the block, 0-based
  std::vector<std::vector<int>> RangePositions;     // the places found per range of rows
  std::vector<std::vector<std::uint8_t>> RangeMasks;  // per range, whether each row is used
  std::vector<std::vector<double>> Copies;
  std::vector<double> Ones;
  std::vector<const double*> Columns;  // inputs, the ones, the target

  const double* Target() const { return Columns.back(); }
};

// Whether the value of a cell is usable: a number (no missing or not-a-number state) and finite.
inline bool Usable(const TRowBlock& B, int Col, int I)
{
  return (B.ColumnStates(Col)[I] & (csNotANumber | csEmpty)) == 0 && std::isfinite(B.Column(Col)[I]);
}

// The objects of Block that the run uses: target and every input a number (no missing or
// not-a-number state) and finite. The rows are examined in ranges, column by column, and the
// columns gathered, on the math threads.
void GatherDesign(const TRowBlock& Block, const std::vector<int>& Inputs, int Target, TDesignBlock& D)
{
  const int p = static_cast<int>(Inputs.size());
  const int ranges = BlockCount(Block.NrOfRows, RangeRows);
  D.RangePositions.resize(static_cast<std::size_t>(ranges));
  D.RangeMasks.resize(static_cast<std::size_t>(ranges));
  ForEachRange(Block.NrOfRows, [&](int k, int first, int last) {
    const int count = last - first;
    std::vector<std::uint8_t>& used = D.RangeMasks[static_cast<std::size_t>(k)];
    used.assign(static_cast<std::size_t>(count), 1);
    for (int j = 0; j <= p; ++j) {
      const int col = j < p ? Inputs[static_cast<std::size_t>(j)] : Target;
      const std::uint8_t* states = Block.ColumnStates(col) + first;
      const double* values = Block.Column(col) + first;
      // Usable, in a form that the compiler vectorises.
      for (int i = 0; i < count; ++i)
        used[static_cast<std::size_t>(i)] &= static_cast<std::uint8_t>(
            ((states[i] & (csNotANumber | csEmpty)) == 0) & (std::fabs(values[i]) <= std::numeric_limits<double>::max()));
    }
    std::vector<int>& places = D.RangePositions[static_cast<std::size_t>(k)];
    places.clear();
    for (int i = 0; i < count; ++i)
      if (used[static_cast<std::size_t>(i)])
        places.push_back(first + i);
  });
  D.Rows.clear();
  D.Positions.clear();
  for (int k = 0; k < ranges; ++k)
    for (int i : D.RangePositions[static_cast<std::size_t>(k)]) {
      D.Positions.push_back(i);
      D.Rows.push_back(static_cast<int>(Block.FirstRow) + i);
    }
  D.Count = static_cast<int>(D.Positions.size());
  const auto cnt = static_cast<std::size_t>(D.Count);
  if (D.Ones.size() < cnt)
    D.Ones.assign(cnt, 1.0);
  D.Columns.assign(static_cast<std::size_t>(p) + 2, D.Ones.data());
  const bool whole = D.Count == Block.NrOfRows;
  if (!whole)
    D.Copies.resize(static_cast<std::size_t>(p) + 1);
  ForEachMathTask(whole ? 0 : p + 1, [&](int j) {
    std::vector<double>& copy = D.Copies[static_cast<std::size_t>(j)];
    copy.resize(cnt);
    const double* src = Block.Column(j < p ? Inputs[static_cast<std::size_t>(j)] : Target);
    for (std::size_t k = 0; k < cnt; ++k)
      copy[k] = src[D.Positions[k]];
  });
  for (int j = 0; j <= p; ++j)
    D.Columns[static_cast<std::size_t>(j < p ? j : p + 1)] =
        whole ? Block.Column(j < p ? Inputs[static_cast<std::size_t>(j)] : Target) : D.Copies[static_cast<std::size_t>(j)].data();
}

// Sums of an input column over the objects used, shifted by its first value so that the
// centred sum keeps its digits.
struct TMomentSums {
  bool Started = false;
  double Shift = 0;
  long double S1 = 0, S2 = 0, Raw = 0;
  double MaxAbs = 0;

  void Add(const double* V, int Count)
  {
    if (Count > 0 && !Started) {
      Started = true;
      Shift = V[0];
    }
    for (int i = 0; i < Count; ++i) {
      const long double d = static_cast<long double>(V[i]) - Shift;
      S1 += d;
      S2 += d * d;
      Raw += static_cast<long double>(V[i]) * V[i];
      MaxAbs = std::max(MaxAbs, std::fabs(V[i]));
    }
  }
  TMLRRun::TColumnMoments Moments(long long N) const
  {
    TMLRRun::TColumnMoments m;
    if (N > 0) {
      m.Mean = static_cast<double>(Shift + S1 / N);
      m.CentredSS = static_cast<double>(std::max(0.0L, S2 - S1 * (S1 / N)));
    }
    m.RawSS = static_cast<double>(Raw);
    return m;
  }
};

}  // namespace

bool TMLRStream::Fail(const std::string& Text)
{
  FErrorText = Text;
  return false;
}

bool TMLRStream::ReadPass(TBlockReader& Reader, const std::function<void(const TRowBlock&)>& Block)
{
  // Nominal and Ordinal columns take part with their values rounded, as a table gives them.
  std::vector<int> levelCols;
  for (int c = 1; c <= Reader.NrOfColumns(); ++c)
    if (IsLevelType(Reader.VarType(c)))
      levelCols.push_back(c);
  TRowBlock b;
  while (Reader.Next(b)) {
    for (int c : levelCols) {
      double* v = b.Values.data() + static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(b.NrOfRows);
      for (int i = 0; i < b.NrOfRows; ++i)
        v[i] = std::nearbyint(v[i]);
    }
    Block(b);
  }
  if (Reader.Failed())
    return Fail(Reader.Message());
  return true;
}

bool TMLRStream::Execute(std::unique_ptr<TBlockReader> First, const TBlockSource& Reopen,
                         const std::vector<int>& InputCols, int TargetCol)
{
  FErrorText.clear();
  FPasses = 0;
  const int p = static_cast<int>(InputCols.size());
  const int n = p + 1;
  if (TargetCol < 1 || TargetCol > First->NrOfColumns())
    return Fail("No target variable selected");
  if (p == 0)
    return Fail("No input variable selected");
  // A column of texts or a Nominal column is a categorical input, which the run on the table
  // codes as indicators.
  for (int c : InputCols)
    if (First->VarType(c) == vtNominal)
      return Fail("The input \"" + ReportName(First->ColName(c)) + "\" is categorical (" +
                  (First->LevelColumn(c) ? "a column of texts" : "Nominal") +
                  "): a run over a file in blocks takes numeric inputs only");
  std::vector<bool> ordinal;
  for (int c : InputCols)
    ordinal.push_back(First->VarType(c) == vtOrdinal);
  auto reopen = [&]() -> std::unique_ptr<TBlockReader> {
    std::string message;
    std::unique_ptr<TBlockReader> r = Reopen(message);
    if (!r)
      Fail(message);
    return r;
  };
  auto result = std::make_shared<TMLRResult>();
  TMLRResult& R = *result;
  R.TargetCol = TargetCol;
  R.TargetName = ReportName(First->ColName(TargetCol));
  for (int c : InputCols) {
    R.InputCols.push_back(c);
    R.InputNames.push_back(ReportName(First->ColName(c)));
  }
  std::vector<std::string> rawInputNames;
  for (int c : InputCols)
    rawInputNames.push_back(First->ColName(c));
  const std::string rawTargetName = First->ColName(TargetCol);

  // Pass 1: the reduction, the magnitudes and moments, the rows left out.
  TStreamedRegression reduction(n);
  std::vector<TMomentSums> sums(static_cast<std::size_t>(p));
  bool constantTarget = true;
  double firstTarget = 0;
  bool haveTarget = false;
  long long m = 0;
  TDesignBlock d;
  ++FPasses;
  if (!ReadPass(*First, [&](const TRowBlock& B) {
        GatherDesign(B, InputCols, TargetCol, d);
        std::size_t k = 0;
        for (int i = 0; i < B.NrOfRows; ++i) {
          if (k < d.Positions.size() && d.Positions[k] == i)
            ++k;
          else
            R.LeftOutRows.push_back(static_cast<int>(B.FirstRow) + i);
        }
        reduction.AddRows(d.Columns.data(), d.Target(), d.Count);
        ForEachMathTask(p, [&](int j) {
          sums[static_cast<std::size_t>(j)].Add(d.Columns[static_cast<std::size_t>(j)], d.Count);
        });
        const double* c = d.Target();
        if (!haveTarget && d.Count > 0) {
          firstTarget = c[0];
          haveTarget = true;
        }
        for (int i = 0; i < d.Count; ++i)
          constantTarget = constantTarget && c[i] == firstTarget;
        m += d.Count;
      }))
    return false;
  const long long nrRows = First->RowsRead();
  First.reset();
  if (m < p + 2)
    return Fail("Not enough valid objects: " + std::to_string(m) + " (" + std::to_string(p) +
                " input variables need at least " + std::to_string(p + 2) + ")");

  // The solve, with the run's power-of-two scaling of the columns (the ones have magnitude 1).
  std::vector<int> exponents(static_cast<std::size_t>(n), 0);
  for (int k = 0; k < n; ++k) {
    const double maxAbs = k < p ? sums[static_cast<std::size_t>(k)].MaxAbs : 1.0;
    int e = 0;
    if (maxAbs > 0)
      std::frexp(maxAbs, &e);
    exponents[static_cast<std::size_t>(k)] = e;
  }
  TVector x, dx;
  x.Resize(n);
  dx.Resize(n);
  bool nearSingular = false;
  if (!reduction.Solve(exponents, x, &dx, nearSingular))
    return Fail("Regression failed: the decomposition did not converge");
  if (reduction.NeedsRefinement()) {
    std::unique_ptr<TBlockReader> again = reopen();
    if (!again)
      return false;
    ++FPasses;
    if (!ReadPass(*again, [&](const TRowBlock& B) {
          GatherDesign(B, InputCols, TargetCol, d);
          reduction.AddRefinementRows(d.Columns.data(), d.Target(), d.Count);
        }))
      return false;
    reduction.FinishRefinement(x, &dx);
  }
  std::vector<double> coef(static_cast<std::size_t>(n)), dev(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) {
    const int e = exponents[static_cast<std::size_t>(k)];
    coef[static_cast<std::size_t>(k)] = std::ldexp(x.Data()[k], -e);
    dev[static_cast<std::size_t>(k)] = std::ldexp(dx.Data()[k], -e);
    if (!std::isfinite(coef[static_cast<std::size_t>(k)]) || !std::isfinite(dev[static_cast<std::size_t>(k)]))
      return Fail("Regression failed: the coefficients are not finite");
  }
  if (constantTarget) {
    std::fill(coef.begin(), coef.end() - 1, 0.0);
    coef.back() = firstTarget;
  }

  // The leverage factor and what the influence measures need before the residuals are known.
  TMatrix tri;
  TVector qtb;
  double rho = 0;
  reduction.Triangle(tri, qtb, rho);
  std::vector<double> weights;
  if (nearSingular) {
    // The design with unit columns has the right singular vectors of its factor with unit
    // columns.
    TMatrix normalized;
    normalized.Assign(tri);
    for (int c = 1; c <= n; ++c) {
      double* col = normalized.Column(c);
      long double ss = 0;
      for (int i = 0; i < n; ++i)
        ss += static_cast<long double>(col[i]) * col[i];
      const double scale = ss > 0 ? static_cast<double>(1.0L / std::sqrt(ss)) : 0.0;
      for (int i = 0; i < n; ++i)
        col[i] *= scale;
    }
    weights = NullSpaceWeights(normalized);
  }
  std::vector<double> vif(static_cast<std::size_t>(p), Inf);
  std::vector<double> centred(static_cast<std::size_t>(p), 0.0);
  bool allVarying = true;
  for (int j = 0; j < p; ++j) {
    const TMLRRun::TColumnMoments mo = sums[static_cast<std::size_t>(j)].Moments(m);
    centred[static_cast<std::size_t>(j)] = mo.CentredSS;
    const bool varying = mo.CentredSS > 1e-26 * mo.RawSS;
    allVarying = allVarying && varying;
    if (varying)
      vif[static_cast<std::size_t>(j)] = NaN;
  }
  if (!nearSingular && allVarying)
    for (int j = 0; j < p; ++j) {
      const long double dj = dev[static_cast<std::size_t>(j)];
      vif[static_cast<std::size_t>(j)] = static_cast<double>(dj * dj * centred[static_cast<std::size_t>(j)]);
    }
  // The collinear coefficients, as the inference names them, for the DFBETAS' scale.
  TFitSummary provisional;
  provisional.NrOfObjects = static_cast<int>(m);
  provisional.NrOfInputs = p;
  provisional.NearSingular = nearSingular;
  const TFitInference collinear = MakeFitInference(provisional, TModelForm(), TFitCondition::Regular, coef.data(), dev.data(), vif,
                                                   weights, InputCols, rawInputNames);
  std::vector<double> factor;
  int rank = 0;
  const bool haveFactor = LeverageFactor(tri, exponents, factor, rank);
  R.Rank = haveFactor ? rank : (nearSingular ? 0 : n);
  const bool influence = haveFactor && m > rank;
  TInfluenceModel model;
  TInfluenceLimits limits;
  double tq = 0;
  if (influence) {
    model = MakeInfluenceModel(factor, rank, static_cast<int>(m), static_cast<long double>(rho) * rho, collinear);
    limits = InfluenceLimitsOf(rank, static_cast<int>(m));
    const boost::math::students_t_distribution<double> tdist(static_cast<double>(m - rank));
    tq = boost::math::quantile(boost::math::complement(tdist, 0.025));
  }

  // The last pass: estimates, residuals, statistics, influence and predictions.
  std::unique_ptr<TBlockReader> last = reopen();
  if (!last)
    return false;
  ++FPasses;
  TCurveFit stats;
  stats.SetStorePairs(false);
  const bool small = m * (p + 2) <= ExtendedResidualElements;
  long double extendedRss = 0, rss = 0, estSum = 0, estSquares = 0;
  double residMin = 1.7E38, residMax = -1.7E38;
  TInfluenceListing listing;
  listing.Rank = rank;
  listing.NrOfObjects = static_cast<int>(m);
  std::vector<double> est, resid, measures, dfbetas;
  std::vector<double> row(static_cast<std::size_t>(n));
  // The estimates and residuals of a block's objects, in the run's order.
  auto estimate = [&](const TRowBlock& B) {
    GatherDesign(B, InputCols, TargetCol, d);
    const int count = d.Count;
    const auto cnt = static_cast<std::size_t>(count);
    const double* actual = d.Target();
    est.resize(cnt);
    resid.resize(cnt);
    ForEachRange(count, [&](int, int first, int last) {
      std::fill(est.begin() + first, est.begin() + last, coef[static_cast<std::size_t>(p)]);
      for (int j = 0; j < p; ++j) {
        const double* col = d.Columns[static_cast<std::size_t>(j)];
        const double cj = coef[static_cast<std::size_t>(j)];
        for (int i = first; i < last; ++i)
          est[static_cast<std::size_t>(i)] += cj * col[i];
      }
      for (int i = first; i < last; ++i)
        resid[static_cast<std::size_t>(i)] = actual[i] - est[static_cast<std::size_t>(i)];
    });
  };
  auto statistics = [&]() {
    const int count = d.Count;
    const auto cnt = static_cast<std::size_t>(count);
    const double* actual = d.Target();
    for (std::size_t i = 0; i < cnt; ++i) {
      const double r = est[i] - actual[i];
      residMin = std::min(residMin, r);
      residMax = std::max(residMax, r);
      rss += static_cast<long double>(resid[i]) * resid[i];
      estSum += est[i];
      estSquares += static_cast<long double>(est[i]) * est[i];
    }
    stats.AddPairs(actual, est.data(), count);
    if (small)
      for (std::size_t i = 0; i < cnt; ++i) {
        long double e = coef[static_cast<std::size_t>(p)];
        for (int j = 0; j < p; ++j)
          e += static_cast<long double>(coef[static_cast<std::size_t>(j)]) * d.Columns[static_cast<std::size_t>(j)][i];
        const long double r = actual[i] - e;
        extendedRss += r * r;
      }
  };
  // The influence measures of a block's objects and the predictions of its rows, handed out.
  auto perRow = [&](const TRowBlock& B) {
    const int count = d.Count;
    const auto cnt = static_cast<std::size_t>(count);
    // Influence of the objects used.
    if (influence && count > 0) {
      measures.resize(7 * cnt);
      dfbetas.resize(static_cast<std::size_t>(n) * cnt);
      TInfluenceRows out;
      out.Hat = measures.data();
      out.RStandard = measures.data() + cnt;
      out.RStudent = measures.data() + 2 * cnt;
      out.CooksDistance = measures.data() + 3 * cnt;
      out.DFFits = measures.data() + 4 * cnt;
      out.CovRatio = measures.data() + 5 * cnt;
      out.SigmaWithout = measures.data() + 6 * cnt;
      out.DFBetas = dfbetas.data();
      out.DFBetaStride = cnt;
      ForEachRange(count, [&](int, int first, int last) {
        std::vector<const double*> cols(d.Columns);
        for (const double*& c : cols)
          c += first;
        TInfluenceRows part = out;
        for (double** v : {&part.Hat, &part.RStandard, &part.RStudent, &part.CooksDistance, &part.DFFits,
                           &part.CovRatio, &part.SigmaWithout, &part.DFBetas})
          *v += first;
        InfluenceOfBlock(model, cols.data(), resid.data() + first, last - first, part);
      });
      for (std::size_t i = 0; i < cnt; ++i) {
        double dfb = 0;
        for (int j = 0; j < n; ++j)
          dfb = std::max(dfb, std::fabs(dfbetas[static_cast<std::size_t>(j) * cnt + i]));
        const std::uint8_t flags =
            InfluenceFlagsOf(limits, dfb, out.DFFits[i], out.CovRatio[i], out.CooksDistance[i], out.Hat[i]);
        listing.NrOfPositive += out.Hat[i] > 0;
        const int tableRow = d.Rows[i];
        if (flags)
          listing.AddFlagged(listing.Lists() ? TListedObject{tableRow, B.RowName(d.Positions[i]), dfb, out.DFFits[i],
                                                             out.CovRatio[i], out.CooksDistance[i], out.Hat[i], flags}
                                             : TListedObject());
        if (out.Hat[i] == 1)
          listing.AddUnitLeverage(tableRow);
        if (OnInfluence)
          OnInfluence(this,
                      TObjectInfluence{tableRow, out.Hat[i], out.RStandard[i], out.RStudent[i], out.CooksDistance[i],
                                       out.DFFits[i], out.CovRatio[i], flags, dfbetas.data() + i, cnt, n});
      }
    }
    // Predictions of every row with valid inputs, the objects used with their own values.
    if (influence && OnPrediction) {
      std::size_t u = 0;
      for (int i = 0; i < B.NrOfRows; ++i) {
        TObjectPrediction pr;
        pr.Row = static_cast<int>(B.FirstRow) + i;
        double h = 0;
        if (u < d.Positions.size() && d.Positions[u] == i) {
          pr.Estimate = est[u];
          h = measures[u];
          pr.Residual = resid[u];
          ++u;
        } else {
          bool ok = true;
          for (int j = 0; j < p && ok; ++j)
            ok = Usable(B, InputCols[static_cast<std::size_t>(j)], i);
          if (!ok)
            continue;
          pr.Estimate = coef[static_cast<std::size_t>(p)];
          for (int j = 0; j < p; ++j) {
            row[static_cast<std::size_t>(j)] = B.Column(InputCols[static_cast<std::size_t>(j)])[i];
            pr.Estimate += coef[static_cast<std::size_t>(j)] * row[static_cast<std::size_t>(j)];
          }
          row[static_cast<std::size_t>(p)] = 1;
          h = LeverageOf(row.data(), n, factor, rank);
          pr.Residual = NaN;
          if ((B.ColumnStates(TargetCol)[i] & (csNotANumber | csEmpty)) == 0 && std::isfinite(B.Column(TargetCol)[i]))
            pr.Residual = B.Column(TargetCol)[i] - pr.Estimate;
        }
        pr.Interval = PredictionOf(pr.Estimate, h, model.S, tq);
        OnPrediction(this, pr);
      }
    }
  };
  if (!ReadPass(*last, [&](const TRowBlock& B) {
        estimate(B);
        statistics();
        perRow(B);
      }))
    return false;
  // The measures took the residual sum of squares from the factor, and the rules assumed every
  // leverage above 0. Where either is off by more than rounding that the outputs could show,
  // the measures are made once more in a pass of their own, after the callers are told.
  const long double exactRss = rss;
  if (influence &&
      (std::fabs(static_cast<double>(model.RSS - exactRss)) > RssAgreement * static_cast<double>(exactRss) ||
       listing.NrOfPositive != m)) {
    if (OnRestart)
      OnRestart(this);
    model = MakeInfluenceModel(factor, rank, static_cast<int>(m), exactRss, collinear);
    limits = InfluenceLimitsOf(rank, listing.NrOfPositive);
    listing = TInfluenceListing();
    listing.Rank = rank;
    listing.NrOfObjects = static_cast<int>(m);
    std::unique_ptr<TBlockReader> again = reopen();
    if (!again)
      return false;
    ++FPasses;
    if (!ReadPass(*again, [&](const TRowBlock& B) {
          estimate(B);
          perRow(B);
        }))
      return false;
  }
  if (stats.NumPairs() != m)
    return Fail("the file changed between the passes of the run");

  // The summary, report and inference from the sums, by the in-memory run's writers.
  TFitSummary summary = MakeFitSummary(stats, p, static_cast<int>(nrRows - m), nearSingular);
  if (small)
    summary.SRes = static_cast<double>(std::sqrt(extendedRss / (m - p - 1)));
  const TAnovaTable& a = summary.Anova;
  std::vector<double> shown = {summary.SRes, summary.R2, a.SSRes,  a.SSReg,  a.SSTot,
                               a.MSRes,      a.MSReg,    a.FValue, residMin, residMax};
  for (int j = 0; j < n; ++j)
    shown.push_back(dev[static_cast<std::size_t>(j)] * summary.SRes);
  for (double v : shown)
    if (!std::isfinite(v))
      return Fail("Regression failed: the fit statistics are out of the range of numbers");
  const long double estMean = estSum / m;
  const TFitCondition condition =
      FitConditionOf(constantTarget, estMean, estSquares - estSum * estMean, static_cast<int>(m), summary.SRes);

  R.NrOfRows = static_cast<int>(nrRows);
  R.NearSingular = nearSingular;
  R.Coefficients = coef;
  R.UnscaledStdDev = dev;
  for (int j = 0; j < n; ++j)
    R.StdErrors.push_back(dev[static_cast<std::size_t>(j)] * summary.SRes);
  R.Summary = summary;
  R.Inference = MakeFitInference(summary, TModelForm(), condition, coef.data(), dev.data(), vif, weights, InputCols, rawInputNames);
  R.Inference.MissingRows = R.LeftOutRows;
  R.Caption = MakeCaption(summary);
  R.ReportLines = MakeReportLines(summary, TModelForm(), rawTargetName, rawInputNames, coef.data(), dev.data(),
                                  R.ReportTables);
  R.ExtendedLines = MakeExtendedLines(summary, TModelForm(), R.Inference, R.ExtendedTables);
  R.Influence.Rank = rank;
  R.Influence.NrOfCoefficients = n;
  R.Influence.Available = influence && listing.NrOfPositive > rank;
  MakeModelMeasures(R, rss, 0, static_cast<int>(m), centred);
  AppendModelReport(R);
  if (R.Influence.Available)
    AppendInfluenceReport(R.ExtendedLines, R.ExtendedTables, R.Tables, listing);
  // Ordinal inputs enter with their (rounded) level numbers, which the extended block says.
  for (std::size_t j = 0; j < InputCols.size(); ++j)
    if (ordinal[j])
      R.OrdinalNames.push_back(R.InputNames[j]);
  AppendOptionsReport(R);
  FResult = std::move(result);
  return true;
}

}  // namespace orvex
