// The regression run: role state, choice of the usable objects, design matrix, scaled solve,
// evaluation pass and statistics. The texts (caption, report) and the histogram are made in
// mlrrun_report.cpp.
#include "mlrrun.h"

#include "demodata.h"
#include "orvex_datatable.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// TRoleState

TRoleState::TRoleState(int NrOfColumns)
{
  SetNrOfColumns(NrOfColumns);
}

void TRoleState::SetNrOfColumns(int Value)
{
  const auto n = static_cast<std::size_t>(std::max(Value, 0));
  FInput.resize(n, false);
  FTarget.resize(n, false);
}

bool TRoleState::Input(int Col) const
{
  return Col >= 1 && Col <= NrOfColumns() && FInput[static_cast<std::size_t>(Col - 1)];
}

void TRoleState::SetInput(int Col, bool Value)
{
  if (Col >= 1 && Col <= NrOfColumns())
    FInput[static_cast<std::size_t>(Col - 1)] = Value;
}

bool TRoleState::Target(int Col) const
{
  return Col >= 1 && Col <= NrOfColumns() && FTarget[static_cast<std::size_t>(Col - 1)];
}

void TRoleState::SetTarget(int Col, bool Value)
{
  if (Col >= 1 && Col <= NrOfColumns())
    FTarget[static_cast<std::size_t>(Col - 1)] = Value;
}

int TRoleState::NrOfInputs() const
{
  return static_cast<int>(std::count(FInput.begin(), FInput.end(), true));
}

int TRoleState::NrOfTargets() const
{
  return static_cast<int>(std::count(FTarget.begin(), FTarget.end(), true));
}

void TRoleState::Clear()
{
  std::fill(FInput.begin(), FInput.end(), false);
  std::fill(FTarget.begin(), FTarget.end(), false);
}

// ---------------------------------------------------------------------------------------------
// TMLRRun

TMLRRun::TMLRRun()
{
  FSelColumns.SetName("SelColumns");
  FMatD.SetName("MatD");
  FVecC.SetName("VecC");
  FVecX.SetName("VecX");
  FVecDx.SetName("VecDx");
  FStats.SetName("Stats");
  // The pairs are the run's own estimates and actual values: the statistics keep their sums.
  FStats.SetStorePairs(false);
}

bool TMLRRun::Fail(TRunStatus Status, const std::string& Text)
{
  FStatus = Status;
  FErrorText = Text;
  return false;
}

bool TMLRRun::Execute(const TDataTable& Table, const TRoleState& Roles,
                      const TMLRModelOptions& Options)
{
  FStatus = TRunStatus::NotRun;
  FErrorText.clear();
  FOptions = Options;
  FDesign = TDesign{};
  FSqrtW.clear();
  FZeroWeightRows.clear();
  FExcludedRows.clear();

  if (!ReadRoles(Table, Roles))
    return false;
  FPlain = Options.WeightCol == 0 && Options.Intercept;
  for (int j = 1; j <= FNumInputs; ++j)
    FPlain = FPlain && Table.VarType(FSelColumns.Elem(j)) != vtNominal;
  SelectRows(Table);
  LeaveOutExcludedRows(Table);
  if (FPlain) {
    // Numeric inputs only: the design's terms need no pass over the rows.
    BuildDesign(Table, std::vector<int>(FSelColumns.Data(), FSelColumns.Data() + FNumInputs),
                FUsedRows, FOptions, FDesign);
    if (!FUsedRows.empty()) {
      FillDesign(Table);
      if (DropNonFiniteRows() && !FUsedRows.empty())
        FillDesign(Table);
    }
  } else {
    if (!PrepareOptions(Table))
      return false;
    if (!FUsedRows.empty())
      FillOptionsDesign(Table);
  }

  const int m = static_cast<int>(FUsedRows.size());
  const int p = FNumInputs;
  const int n = NrOfCoefficients();
  if (FPlain && m < p + 2)
    return Fail(TRunStatus::TooFewObjects,
                "Not enough valid objects: " + std::to_string(m) + " (" + std::to_string(p) +
                    " input variables need at least " + std::to_string(p + 2) + ")");
  if (m < n + 1) {
    std::string indicators;
    for (const TDesignTerm& t : FDesign.Terms)
      if (t.Categorical)
        indicators += (indicators.empty() ? ", with the indicators of \"" : ", \"") + t.Name + "\"";
    return Fail(TRunStatus::TooFewObjects,
                "Not enough valid objects: " + std::to_string(m) + " (the model has " +
                    std::to_string(n) + " coefficients" + indicators + ", and needs at least " +
                    std::to_string(n + 1) + ")");
  }

  if (!Solve())
    return false;

  // The evaluation pass and everything made from it go into temporaries first, so that a fit
  // whose statistics cannot be shown leaves the previous results in place.
  Evaluate(Table, FPoints);

  const int nrExcluded = static_cast<int>(FExcludedRows.size());
  const int nrMissing = Table.NrOfRows() - m - static_cast<int>(FZeroWeightRows.size()) - nrExcluded;
  TFitSummary summary;
  if (FPlain) {
    summary = MakeFitSummary(FStats, p, nrMissing, FNearSingular);
    if (static_cast<long long>(m) * (p + 2) <= ExtendedResidualElements)
      summary.SRes = ExtendedSRes();
  } else {
    summary.NrOfObjects = m;
    summary.NrOfInputs = p;
    summary.NrOfMissing = nrMissing;
    summary.NearSingular = FNearSingular;
    summary.Statistics = FStats.GetStatistics();
    MakeOptionsSummary(summary);
  }
  summary.NrOfExcluded = nrExcluded;

  const TAnovaTable& a = summary.Anova;
  std::vector<double> shown = {summary.SRes, summary.R2, a.SSRes, a.SSReg, a.SSTot,
                               a.MSRes,      a.MSReg,    a.FValue, FResidMin, FResidMax};
  // The standard errors as the value output writes them (a finite deviation times a finite
  // SRes can still overflow).
  for (int j = 1; j <= n; ++j)
    shown.push_back(FVecDx.Elem(j) * summary.SRes);
  for (double v : shown)
    if (!std::isfinite(v))
      return Fail(TRunStatus::SolveFailed,
                  "Regression failed: the fit statistics are out of the range of numbers");

  FSummary = summary;
  FCaption = MakeCaption(FSummary);
  MakeHistogram(Table, FHistogram);
  MakeReport(Table);
  MakeInference(Table);
  MakeResult(Table);
  FStatus = TRunStatus::Succeeded;
  return true;
}

TModelForm TMLRRun::Form() const
{
  TModelForm f;
  f.Intercept = FDesign.Intercept;
  f.Categorical = FDesign.HasCategorical();
  f.NrOfZeroWeight = static_cast<int>(FZeroWeightRows.size());
  return f;
}

TFitSummary MakeFitSummary(const TCurveFit& Stats, int NrOfInputs, int NrOfMissing, bool NearSingular)
{
  const int m = Stats.NumPairs();
  const int p = NrOfInputs;
  TFitSummary summary;
  summary.NrOfObjects = m;
  summary.NrOfInputs = p;
  summary.NrOfMissing = NrOfMissing;
  summary.NearSingular = NearSingular;
  summary.Statistics = Stats.GetStatistics();
  summary.Anova = Stats.CalcAnova(p, true);
  // m >= p + 2 keeps both degrees of freedom in the quotient positive.
  const long double dfRatio =
      static_cast<long double>(m - p - 1) / static_cast<long double>(m - 1);
  summary.SRes = static_cast<double>(summary.Statistics.StdDevDiff / std::sqrt(dfRatio));
  summary.R2 = summary.Statistics.RCorr * summary.Statistics.RCorr;
  return summary;
}

// Steps 1 and 2 of the run: the target column and the input columns in increasing order.
bool TMLRRun::ReadRoles(const TDataTable& Table, const TRoleState& Roles)
{
  const int nc = Table.NrOfColumns();
  FTargetCol = 0;
  for (int i = 1; i <= nc; ++i)
    if (Roles.Target(i))
      FTargetCol = i;

  FNumInputs = 0;
  std::vector<int> inputs;
  for (int i = 1; i <= nc; ++i)
    if (Roles.Input(i))
      inputs.push_back(i);
  FNumInputs = static_cast<int>(inputs.size());
  if (FNumInputs > 0) {
    FSelColumns.Resize(FNumInputs);
    std::copy(inputs.begin(), inputs.end(), FSelColumns.Data());
  }

  if (FTargetCol == 0)
    return Fail(TRunStatus::InvalidRoles, "No target variable selected");
  if (FNumInputs == 0)
    return Fail(TRunStatus::InvalidRoles, "No input variable selected");
  if (Roles.Input(FTargetCol))
    return Fail(TRunStatus::InvalidRoles,
                "The target variable \"" + ReportName(Table.ColName(FTargetCol)) +
                    "\" cannot also be an input variable");
  const int w = FOptions.WeightCol;
  if (w != 0) {
    if (w < 1 || w > nc)
      return Fail(TRunStatus::InvalidOptions, "The weight column " + std::to_string(w) +
                                                  " is not a column of the table");
    if (w == FTargetCol || Roles.Input(w))
      return Fail(TRunStatus::InvalidOptions,
                  "The weight column \"" + ReportName(Table.ColName(w)) + "\" cannot also be " +
                      (w == FTargetCol ? "the target variable" : "an input variable"));
  }
  return true;
}

// An object takes part when its target and every input cell hold a valid number. The rows go
// in fixed ranges over the math threads: each range marks its rows column by column over the
// raw state bytes and counts them, then writes its usable rows at the place the counts of the
// ranges before it give.
void TMLRRun::SelectRows(const TDataTable& Table)
{
  const int nr = std::max(Table.NrOfRows(), 0);
  const int ranges = (nr + SelectRange - 1) / SelectRange;
  TBulkVector<unsigned char>& usable = FRowFlags;
  usable.resize(static_cast<std::size_t>(nr));
  std::vector<const std::uint8_t*> states;
  states.push_back(Table.ColumnStates(FTargetCol));
  const int* sel = FSelColumns.Data();
  for (int j = 0; j < FNumInputs; ++j)
    states.push_back(Table.ColumnStates(sel[j]));
  std::vector<int> counts(static_cast<std::size_t>(ranges) + 1, 0);
  ForEachMathTask(ranges, [&](int k) {
    const int first = k * SelectRange;
    const int last = std::min(nr, first + SelectRange);
    unsigned char* u = usable.data();
    // Eight rows at a time: a byte of Ones per usable row (SelectRange is a multiple of 8).
    constexpr std::uint64_t Ones = 0x0101010101010101ULL;
    constexpr std::uint64_t Low7 = 0x7f7f7f7f7f7f7f7fULL;
    constexpr std::uint64_t Invalid = Ones * (csNotANumber | csEmpty);
    int r = first;
    int count = 0;
    for (; r + 8 <= last; r += 8) {
      std::uint64_t flags = Ones;
      for (const std::uint8_t* st : states) {
        std::uint64_t w;
        std::memcpy(&w, st + r, 8);
        w &= Invalid;
        // The top bit of each byte that is not zero, moved down to the byte's lowest bit.
        const std::uint64_t nonzero = ((((w & Low7) + Low7) | w) >> 7) & Ones;
        flags &= ~nonzero;
      }
      std::memcpy(u + r, &flags, 8);
      count += static_cast<int>((flags * Ones) >> 56);
    }
    for (; r < last; ++r) {
      unsigned char f = 1;
      for (const std::uint8_t* st : states)
        f &= (st[r] & (csNotANumber | csEmpty)) == 0;
      u[r] = f;
      count += f;
    }
    counts[static_cast<std::size_t>(k) + 1] = count;
  });
  for (int k = 0; k < ranges; ++k)
    counts[static_cast<std::size_t>(k) + 1] += counts[static_cast<std::size_t>(k)];
  FUsedRows.resize(static_cast<std::size_t>(counts.back()));
  ForEachMathTask(ranges, [&](int k) {
    const int first = k * SelectRange;
    const int last = std::min(nr, first + SelectRange);
    int* out = FUsedRows.data() + counts[static_cast<std::size_t>(k)];
    const unsigned char* u = usable.data();
    for (int r = first; r < last; ++r)
      if (u[r])
        *out++ = r + 1;
  });
}

// A value written into a cell by program can be infinite or NaN without the cell's state
// saying so; such a value would spoil every sum of the fit, so its object is left out like one
// with a missing value. True when objects were dropped (MatD and VecC must then be refilled).
bool TMLRRun::DropNonFiniteRows()
{
  const int m = FMatD.NrOfRows();
  const int n = FMatD.NrOfColumns();
  if (FDesignFinite)
    return false;
  // Column by column, so that each pass reads contiguous memory.
  TBulkVector<unsigned char>& finite = FRowFlags;
  finite.resize(static_cast<std::size_t>(m));
  const double* c = FVecC.Data();
  for (int i = 0; i < m; ++i)
    finite[static_cast<std::size_t>(i)] = std::isfinite(c[i]);
  for (int k = 1; k < n; ++k) {
    const double* col = FMatD.Column(k);
    for (int i = 0; i < m; ++i)
      finite[static_cast<std::size_t>(i)] &= std::isfinite(col[i]);
  }
  if (std::find(finite.begin(), finite.begin() + m, 0) == finite.begin() + m)
    return false;
  // Compacted in place: the kept rows keep their order.
  std::size_t kept = 0;
  for (int i = 0; i < m; ++i)
    if (finite[static_cast<std::size_t>(i)])
      FUsedRows[kept++] = FUsedRows[static_cast<std::size_t>(i)];
  FUsedRows.resize(kept);
  return true;
}

namespace {

struct TCopyResult {
  double MaxAbs = 0;
  bool Finite = true;
};

// Two doubles: one SSE register (the unaligned form loads and stores anywhere).
typedef double TPair __attribute__((vector_size(16)));
typedef double TPairU __attribute__((vector_size(16), aligned(8)));
typedef std::int64_t TPairBits __attribute__((vector_size(16)));

// The magnitudes of both elements: the sign bits cleared (a NaN stays a NaN).
inline TPair AbsPair(TPair V)
{
  return reinterpret_cast<TPair>(reinterpret_cast<TPairBits>(V) & (TPairBits{} + INT64_MAX));
}

// Dst[i] = Src[Rows[i] - 1] (Src[i] without Rows), rounded to a whole number when Round, for
// Count values; gives their largest magnitude (NaN does not count) and whether all are
// finite. With Moments it also gives the column's moments for the variance inflation factors:
// sums over the values minus a shift (the mean of the first values), which keeps the centred
// sum free of cancellation whenever the shift lies within a few spreads of the mean. Four
// interleaved lanes keep the maximum and the sums from becoming one long dependency chain;
// lane l takes the values i = l (mod 4), the values beyond the last multiple of 4 go into
// lane 0.
template <bool Gather, bool Round, bool Store = true>
TCopyResult CopyColumnAs(const double* Src, const int* Rows, int Count, double* Dst,
                         TMLRRun::TColumnMoments* Moments)
{
  auto fetch = [&](int i) {
    const double v = Gather ? Src[Rows[i] - 1] : Src[i];
    return Round ? std::nearbyint(v) : v;
  };
  double shift = 0;
  const int head = std::min(Count, 1024);
  if (Moments) {
    double sum = 0;
    for (int i = 0; i < head; ++i)
      sum += fetch(i);
    shift = head > 0 ? sum / head : 0.0;
  }
  // Lanes 0 and 1 in the first pair of sums, lanes 2 and 3 in the second; chk: v - v is 0
  // only for a finite v.
  struct TPairSums {
    TPair Max, Chk, S1, S2, Raw;
  };
  TPairSums lo = {}, hi = {};
  const TPair shq = shift - TPair{};
  auto add = [&](TPairSums& q, double* D, TPair v) __attribute__((always_inline)) {
    if constexpr (Store)
      *reinterpret_cast<TPairU*>(D) = v;
    const TPair a = AbsPair(v);
    q.Max = a > q.Max ? a : q.Max;
    q.Chk += v - v;
    if (Moments) {
      const TPair d = v - shq;
      q.S1 += d;
      q.S2 += d * d;
      q.Raw += v * v;
    }
  };
  int i = 0;
  for (; i + 4 <= Count; i += 4) {
    if (Gather || Round) {
      add(lo, Dst + i, TPair{fetch(i), fetch(i + 1)});
      add(hi, Dst + i + 2, TPair{fetch(i + 2), fetch(i + 3)});
    } else {
      add(lo, Dst + i, *reinterpret_cast<const TPairU*>(Src + i));
      add(hi, Dst + i + 2, *reinterpret_cast<const TPairU*>(Src + i + 2));
    }
  }
  for (; i < Count; ++i) {
    const double v = fetch(i);
    if constexpr (Store)
      Dst[i] = v;
    const double a = std::fabs(v);
    lo.Max[0] = a > lo.Max[0] ? a : lo.Max[0];
    lo.Chk[0] += v - v;
    if (Moments) {
      const double d = v - shift;
      lo.S1[0] += d;
      lo.S2[0] += d * d;
      lo.Raw[0] += v * v;
    }
  }
  // Lanes 0 to 3 of one of the sums. The subscript goes to a named pair: a subscript of the
  // conditional vector lvalue itself gave wrong sums from GCC 12 at -O1 with the sanitizers.
  auto lane = [&](TPair TPairSums::*Sum, int l) {
    const TPairSums& q = l < 2 ? lo : hi;
    return (q.*Sum)[l % 2];
  };
  const auto mx = &TPairSums::Max, chk = &TPairSums::Chk, s1 = &TPairSums::S1, s2 = &TPairSums::S2,
             raw = &TPairSums::Raw;
  TCopyResult r;
  r.MaxAbs = std::max(std::max(lane(mx, 0), lane(mx, 1)), std::max(lane(mx, 2), lane(mx, 3)));
  r.Finite = lane(chk, 0) + lane(chk, 1) + lane(chk, 2) + lane(chk, 3) == 0;
  if (Moments) {
    const double a = (lane(s1, 0) + lane(s1, 2)) + (lane(s1, 1) + lane(s1, 3));
    const double q = (lane(s2, 0) + lane(s2, 2)) + (lane(s2, 1) + lane(s2, 3));
    TMLRRun::TColumnMoments& mo = *Moments;
    mo = TMLRRun::TColumnMoments{};
    if (Count > 0) {
      mo.Mean = shift + a / Count;
      mo.CentredSS = std::max(0.0, q - a * (a / Count));
    }
    mo.RawSS = (lane(raw, 0) + lane(raw, 2)) + (lane(raw, 1) + lane(raw, 3));
  }
  return r;
}

TCopyResult CopyColumn(const double* Src, const int* Rows, int Count, bool Round, double* Dst,
                       TMLRRun::TColumnMoments* Moments)
{
  if (Rows)
    return Round ? CopyColumnAs<true, true>(Src, Rows, Count, Dst, Moments)
                 : CopyColumnAs<true, false>(Src, Rows, Count, Dst, Moments);
  return Round ? CopyColumnAs<false, true>(Src, Rows, Count, Dst, Moments)
               : CopyColumnAs<false, false>(Src, Rows, Count, Dst, Moments);
}

// The largest magnitude, finiteness and moments of a column, as CopyColumn finds them, without
// the copy.
TCopyResult ScanColumn(const double* Src, int Count, TMLRRun::TColumnMoments* Moments)
{
  return CopyColumnAs<false, false, false>(Src, nullptr, Count, nullptr, Moments);
}

}  // namespace

// The standard deviation of the residuals with the estimates and the residual sum of squares
// formed in extended precision. For a least-squares fit with an intercept it equals the
// StdDevDiff form, whose estimates in double precision can lose digits to cancellation (large
// terms summing to a much smaller estimate); on a small design the extended pass costs
// nothing.
double TMLRRun::ExtendedSRes() const
{
  const int m = FMatD.NrOfRows();
  const int p = FNumInputs;
  const double* coef = FVecX.Data();
  const double* actual = FVecC.Data();
  long double rss = 0;
  for (int i = 0; i < m; ++i) {
    long double est = coef[p];
    for (int j = 0; j < p; ++j)
      est += static_cast<long double>(coef[j]) * FMatD.Column(j + 1)[i];
    const long double r = actual[i] - est;
    rss += r * r;
  }
  return static_cast<double>(std::sqrt(rss / (m - p - 1)));
}

// Steps 3 to 5: size the containers, fill the design matrix (inputs, then the intercept column
// of ones) and the target vector from the objects used.
void TMLRRun::FillDesign(const TDataTable& Table)
{
  const int m = static_cast<int>(FUsedRows.size());
  const int n = FNumInputs + 1;
  FVecC.Resize(m);
  FVecX.Resize(n);
  FVecDx.Resize(n);

  // From the raw column storage; the level types read as whole numbers, as Elem gives them.
  // When every row is used the copy is a plain one.
  const bool allRows = m == Table.NrOfRows();
  // A caller that keeps its table (BorrowTable) gets the table's own columns as the design when
  // every row is used, nothing is rounded and the solve takes the design by its columns: the
  // inputs are then only read, and the ones come from a buffer of the run (a new one while a
  // result still holds the last).
  bool borrow = FBorrowTable && allRows && !FSolver && ReducesBySize(m, n);
  for (int k = 0; borrow && k <= FNumInputs; ++k)
    borrow = !IsLevelType(Table.VarType(k < FNumInputs ? FSelColumns.Data()[k] : FTargetCol));
  std::vector<const double*> borrowed;
  if (borrow) {
    if (!FOnes || FOnes.use_count() > 1 || static_cast<int>(FOnes->size()) != m) {
      FOnes = std::make_shared<TBulkVector<double>>(static_cast<std::size_t>(m));
      std::fill(FOnes->begin(), FOnes->end(), 1.0);
    }
    for (int k = 0; k < FNumInputs; ++k)
      borrowed.push_back(Table.ColumnValues(FSelColumns.Data()[k]));
    borrowed.push_back(FOnes->data());
  } else {
    FMatD.Resize(n, m);
  }
  // The copy (or the reading) also finds each column's largest magnitude (for the scaling of
  // the solve), whether a value is not finite, and the moments of each input, so that none of
  // them needs a pass of its own. One task per column (the inputs, the ones, the target) on the
  // math threads; each column's sums run in the same order on any number of threads.
  FColumnMax.assign(static_cast<std::size_t>(n), 1.0);
  FInputMoments.assign(static_cast<std::size_t>(FNumInputs), TColumnMoments{});
  std::vector<unsigned char> finite(static_cast<std::size_t>(n) + 1, 1);
  ForEachMathTask(n + 1, [&](int k) {
    if (k == FNumInputs) {
      if (!borrow)
        std::fill(FMatD.OwnColumn(n), FMatD.OwnColumn(n) + m, 1.0);
      return;
    }
    const bool target = k > FNumInputs;
    const int col = target ? FTargetCol : FSelColumns.Data()[k];
    const double* src = Table.ColumnValues(col);
    const bool round = IsLevelType(Table.VarType(col));
    TColumnMoments* moments = target ? nullptr : &FInputMoments[static_cast<std::size_t>(k)];
    // A borrowed input is only read; the target is always copied.
    double* dst = target ? FVecC.Data() : borrow ? nullptr : FMatD.OwnColumn(k + 1);
    const TCopyResult r = dst ? CopyColumn(src, allRows ? nullptr : FUsedRows.data(), m, round, dst, moments)
                              : ScanColumn(src, m, moments);
    finite[static_cast<std::size_t>(k)] = r.Finite;
    if (!target)
      FColumnMax[static_cast<std::size_t>(k)] = r.MaxAbs;
  });
  FDesignFinite = std::find(finite.begin(), finite.end(), 0) == finite.end();
  if (borrow)
    FMatD.Borrow(std::move(borrowed), m, FOnes);
}

// Step 6 with the scaling: every column of the working copy is multiplied by a power of two
// that brings its largest magnitude into [0.5, 1). The singular values then compare columns of
// like size, so the 1e-14 collinearity threshold does not depend on the units of the inputs.
// Multiplying by a power of two is exact, so an exact linear dependence stays exact. The
// solution of the scaled problem is turned back into the coefficients of the original columns
// by applying the same factors.
bool TMLRRun::Solve()
{
  const int n = FMatD.NrOfColumns();
  std::vector<int> exponents(static_cast<std::size_t>(n), 0);
  for (int k = 1; k <= n; ++k) {
    const double maxAbs = FColumnMax[static_cast<std::size_t>(k - 1)];
    int e = 0;
    if (maxAbs > 0)
      std::frexp(maxAbs, &e);  // maxAbs = f * 2^e with f in [0.5, 1)
    exponents[static_cast<std::size_t>(k - 1)] = e;
  }
  FExponents = exponents;
  // The library's solver takes the factors without a scaled copy of the design; another solver
  // gets the copy, which it may overwrite.
  if (FSolver)
    ScaleColumns(FMatD, exponents, FWork);

  TVector x, dx;
  x.Resize(n);
  dx.Resize(n);
  bool nearSingular = false;
  FHaveTriangle = false;
  const bool solved =
      FSolver            ? FSolver(FWork, FVecC, x, &dx, nearSingular)
      : FMatD.Borrowed() ? MultiLinearRegressionScaled(FMatD.Columns(), exponents, FVecC, x, &dx, nearSingular,
                                                       FTriangle, FHaveTriangle)
                         : MultiLinearRegressionScaled(FMatD, exponents, FVecC, x, &dx, nearSingular, FTriangle,
                                                       FHaveTriangle);
  if (!solved)
    return Fail(TRunStatus::SolveFailed, "Regression failed: the decomposition did not converge");

  // Column k was multiplied by 2^-e, so its coefficient in the scaled problem is 2^e times the
  // coefficient of the original column.
  for (int k = 1; k <= n; ++k) {
    const int e = exponents[static_cast<std::size_t>(k - 1)];
    const double xk = std::ldexp(x.Elem(k), -e);
    const double dxk = std::ldexp(dx.Elem(k), -e);
    if (!std::isfinite(xk) || !std::isfinite(dxk))
      return Fail(TRunStatus::SolveFailed, "Regression failed: the coefficients are not finite");
    FVecX.Data()[k - 1] = xk;
    FVecDx.Data()[k - 1] = dxk;
  }
  // A constant target leaves nothing to explain: the inputs' coefficients are exactly 0 and
  // the intercept is the value itself, instead of the solve's rounding noise.
  const int m = FVecC.NrOfElem();
  const double* c = FVecC.Data();
  if (FDesign.Intercept && !Weighted() && m > 0 &&
      std::all_of(c, c + m, [c](double v) { return v == c[0]; })) {
    std::fill(FVecX.Data(), FVecX.Data() + n - 1, 0.0);
    FVecX.Data()[n - 1] = c[0];
  }
  FNearSingular = nearSingular;
  return true;
}

// The evaluation pass: estimated value, chart point, statistics pair and residual range of every
// object used, in table order.
void TMLRRun::Evaluate(const TDataTable& Table, TBulkVector<TFitPoint>& Points)
{
  const int m = FMatD.NrOfRows();
  // With weights the intercept column holds sqrt(w), so it takes its term like an input; the
  // estimates are then those of the scaled problem, sqrt(w) times the fitted values.
  const int p = Weighted() ? NrOfCoefficients() : FNumInputs;
  const double* coef = FVecX.Data();
  const double* actual = FVecC.Data();
  const double start0 = !Weighted() && FDesign.Intercept ? coef[p] : 0.0;
  const double* sw = Weighted() ? FSqrtW.data() : nullptr;

  // Estimated values, accumulated per object in the fixed order intercept, input 1, input 2,
  // ...; the rows go in blocks whose estimates stay in the cache while every column adds its
  // term, so the memory access stays contiguous. The blocks are independent tasks on the math
  // threads. The buffer lives in the run object, so that a repeated run on a large table finds
  // its memory already in place.
  FEstimates.resize(static_cast<std::size_t>(m));
  double* estData = FEstimates.data();
  const int blocks = (m + EvalBlock - 1) / EvalBlock;
  ForEachMathTask(blocks, [&](int k) {
    const int start = k * EvalBlock;
    const int end = std::min(m, start + EvalBlock);
    std::fill(estData + start, estData + end, start0);
    // Up to four columns per sweep over the block: each estimate still takes the terms one
    // after the other in column order, with a load and a store per four terms.
    for (int j0 = 0; j0 < p; j0 += 4) {
      const int nj = std::min(4, p - j0);
      const double* col[4];
      TPair bq[4];
      for (int t = 0; t < nj; ++t) {
        col[t] = FMatD.Column(j0 + t + 1);
        bq[t] = coef[j0 + t] - TPair{};
      }
      int i = start;
      for (; i + 2 <= end; i += 2) {
        TPair e = *reinterpret_cast<const TPairU*>(estData + i);
        for (int t = 0; t < nj; ++t)
          e = e + bq[t] * *reinterpret_cast<const TPairU*>(col[t] + i);
        *reinterpret_cast<TPairU*>(estData + i) = e;
      }
      for (; i < end; ++i)
        for (int t = 0; t < nj; ++t)
          estData[i] += coef[j0 + t] * col[t][i];
    }
  });

  // The chart points and the residual range in blocks on the math threads (the ranges merge
  // exactly), then the pairs into the statistics, whose sums AddPairs spreads itself.
  FStats.Clear();
  Points.resize(FChartPoints ? static_cast<std::size_t>(m) : 0);
  const int pointBlocks = (m + PointBlock - 1) / PointBlock;
  std::vector<std::pair<double, double>> ranges(static_cast<std::size_t>(pointBlocks),
                                                {ResidRangeStart, -ResidRangeStart});
  ForEachMathTask(pointBlocks, [&](int k) {
    const int start = k * PointBlock;
    const int end = std::min(m, start + PointBlock);
    double lo = ResidRangeStart, hi = -ResidRangeStart;
    for (int i = start; i < end; ++i) {
      const double e = sw ? estData[i] / sw[i] : estData[i];
      const double a = sw ? actual[i] / sw[i] : actual[i];
      if (FChartPoints) {
        const int row = FUsedRows[static_cast<std::size_t>(i)];
        Points[static_cast<std::size_t>(i)] = TFitPoint{row, ClassColorIndex(Table.RowAttrib(row)), a, e};
      }
      const double r = e - a;
      if (r < lo)
        lo = r;
      if (r > hi)
        hi = r;
    }
    ranges[static_cast<std::size_t>(k)] = {lo, hi};
  });
  FStats.AddPairs(actual, estData, m);
  FResidMin = ResidRangeStart;
  FResidMax = -ResidRangeStart;
  for (const auto& [lo, hi] : ranges) {
    FResidMin = std::min(FResidMin, lo);
    FResidMax = std::max(FResidMax, hi);
  }
}

}  // namespace orvex
