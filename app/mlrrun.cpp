// The regression run: role state, choice of the usable objects, design matrix, scaled solve,
// evaluation pass and statistics. The texts (caption, report) and the histogram are made in
// mlrrun_report.cpp.
#include "mlrrun.h"

#include "demodata.h"
#include "orvex_datatable.h"

#include <algorithm>
#include <cmath>

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
}

bool TMLRRun::Fail(TRunStatus Status, const std::string& Text)
{
  FStatus = Status;
  FErrorText = Text;
  return false;
}

bool TMLRRun::Execute(const TDataTable& Table, const TRoleState& Roles)
{
  FStatus = TRunStatus::NotRun;
  FErrorText.clear();

  if (!ReadRoles(Table, Roles))
    return false;
  SelectRows(Table);
  if (!FUsedRows.empty()) {
    FillDesign(Table);
    if (DropNonFiniteRows() && !FUsedRows.empty())
      FillDesign(Table);
  }

  const int m = static_cast<int>(FUsedRows.size());
  const int p = FNumInputs;
  if (m < p + 2)
    return Fail(TRunStatus::TooFewObjects,
                "Not enough valid objects: " + std::to_string(m) + " (" + std::to_string(p) +
                    " input variables need at least " + std::to_string(p + 2) + ")");

  if (!Solve())
    return false;

  // The evaluation pass and everything made from it go into temporaries first, so that a fit
  // whose statistics cannot be shown leaves the previous results in place.
  // The points go into the spare buffer of the previous run's points; the two swap on success.
  std::vector<TFitPoint>& points = FSparePoints;
  Evaluate(Table, points);

  TFitSummary summary;
  summary.NrOfObjects = m;
  summary.NrOfInputs = p;
  summary.NrOfMissing = Table.NrOfRows() - m;
  summary.NearSingular = FNearSingular;
  summary.Statistics = FStats.GetStatistics();
  summary.Anova = FStats.CalcAnova(p, true);
  // m >= p + 2 keeps both degrees of freedom in the quotient positive.
  const long double dfRatio =
      static_cast<long double>(m - p - 1) / static_cast<long double>(m - 1);
  summary.SRes = static_cast<double>(summary.Statistics.StdDevDiff / std::sqrt(dfRatio));
  if (static_cast<long long>(m) * (p + 2) <= ExtendedResidualElements)
    summary.SRes = ExtendedSRes();
  summary.R2 = summary.Statistics.RCorr * summary.Statistics.RCorr;

  const TAnovaTable& a = summary.Anova;
  std::vector<double> shown = {summary.SRes, summary.R2, a.SSRes, a.SSReg, a.SSTot,
                               a.MSRes,      a.MSReg,    a.FValue, FResidMin, FResidMax};
  // The standard errors as the value output writes them (a finite deviation times a finite
  // SRes can still overflow).
  for (int j = 1; j <= p + 1; ++j)
    shown.push_back(FVecDx.Elem(j) * summary.SRes);
  for (double v : shown)
    if (!std::isfinite(v))
      return Fail(TRunStatus::SolveFailed,
                  "Regression failed: the fit statistics are out of the range of numbers");

  FSummary = summary;
  FFitPoints.swap(points);
  FCaption = MakeCaption(FSummary);
  MakeHistogram(Table, FHistogram);
  MakeReport(Table);
  MakeInference(Table);
  FStatus = TRunStatus::Succeeded;
  return true;
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
  return true;
}

// An object takes part when its target and every input cell hold a valid number.
void TMLRRun::SelectRows(const TDataTable& Table)
{
  FUsedRows.clear();
  const int nr = Table.NrOfRows();
  FUsedRows.reserve(static_cast<std::size_t>(std::max(nr, 0)));
  // Column by column over the raw state bytes: a row stays usable while every state is valid.
  std::vector<unsigned char>& usable = FRowFlags;
  usable.assign(static_cast<std::size_t>(std::max(nr, 0)), 1);
  auto mark = [&](int Col) {
    const std::uint8_t* st = Table.ColumnStates(Col);
    for (int r = 0; r < nr; ++r)
      usable[static_cast<std::size_t>(r)] &= (st[r] & (csNotANumber | csEmpty)) == 0;
  };
  mark(FTargetCol);
  const int* sel = FSelColumns.Data();
  for (int j = 0; j < FNumInputs; ++j)
    mark(sel[j]);
  for (int r = 0; r < nr; ++r)
    if (usable[static_cast<std::size_t>(r)])
      FUsedRows.push_back(r + 1);
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
  std::vector<unsigned char>& finite = FRowFlags;
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

// Dst[i] = Src[Rows[i] - 1] (Src[i] without Rows), rounded to a whole number when Round, for
// Count values; gives their largest magnitude (NaN does not count) and whether all are
// finite. Four interleaved lanes keep the maximum from becoming one long dependency chain.
TCopyResult CopyColumn(const double* Src, const int* Rows, int Count, bool Round, double* Dst)
{
  double mx[4] = {0, 0, 0, 0};
  double chk[4] = {0, 0, 0, 0};  // v - v is 0 for a finite v and NaN otherwise
  auto fetch = [&](int i) {
    const double v = Rows ? Src[Rows[i] - 1] : Src[i];
    return Round ? std::nearbyint(v) : v;
  };
  int i = 0;
  for (; i + 4 <= Count; i += 4)
    for (int l = 0; l < 4; ++l) {
      const double v = fetch(i + l);
      Dst[i + l] = v;
      const double a = std::fabs(v);
      mx[l] = a > mx[l] ? a : mx[l];
      chk[l] += v - v;
    }
  for (; i < Count; ++i) {
    const double v = fetch(i);
    Dst[i] = v;
    const double a = std::fabs(v);
    mx[0] = a > mx[0] ? a : mx[0];
    chk[0] += v - v;
  }
  TCopyResult r;
  r.MaxAbs = std::max(std::max(mx[0], mx[1]), std::max(mx[2], mx[3]));
  r.Finite = chk[0] + chk[1] + chk[2] + chk[3] == 0;
  return r;
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
  FMatD.Resize(n, m);
  FVecC.Resize(m);
  FVecX.Resize(n);
  FVecDx.Resize(n);

  // From the raw column storage; the level types read as whole numbers, as Elem gives them.
  // When every row is used the copy is a plain one.
  const bool allRows = m == Table.NrOfRows();
  // The copy also finds each column's largest magnitude (for the scaling of the solve) and
  // whether a value is not finite, so that neither needs a pass of its own.
  FColumnMax.assign(static_cast<std::size_t>(n), 1.0);
  FDesignFinite = true;
  auto copyColumn = [&](int Col, double* dst) {
    const double* src = Table.ColumnValues(Col);
    const bool round = IsLevelType(Table.VarType(Col));
    const TCopyResult r = allRows ? CopyColumn(src, nullptr, m, round, dst)
                                  : CopyColumn(src, FUsedRows.data(), m, round, dst);
    FDesignFinite = FDesignFinite && r.Finite;
    return r.MaxAbs;
  };
  for (int k = 1; k <= FNumInputs; ++k)
    FColumnMax[static_cast<std::size_t>(k - 1)] = copyColumn(FSelColumns.Elem(k), FMatD.Column(k));
  std::fill(FMatD.Column(n), FMatD.Column(n) + m, 1.0);
  copyColumn(FTargetCol, FVecC.Data());
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
  // The library's solver takes the factors without a scaled copy of the design; another solver
  // gets the copy, which it may overwrite.
  if (FSolver)
    ScaleColumns(FMatD, exponents, FWork);

  TVector x, dx;
  x.Resize(n);
  dx.Resize(n);
  bool nearSingular = false;
  const bool solved = FSolver ? FSolver(FWork, FVecC, x, &dx, nearSingular)
                              : MultiLinearRegressionScaled(FMatD, exponents, FVecC, x, &dx, nearSingular);
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
  FNearSingular = nearSingular;
  return true;
}

// The evaluation pass: estimated value, chart point, statistics pair and residual range of every
// object used, in table order.
void TMLRRun::Evaluate(const TDataTable& Table, std::vector<TFitPoint>& Points)
{
  const int m = FMatD.NrOfRows();
  const int p = FNumInputs;
  const double* coef = FVecX.Data();
  const double* actual = FVecC.Data();

  // Estimated values, accumulated per object in the fixed order intercept, input 1, input 2,
  // ...; running over the columns keeps the memory access contiguous.
  // The buffer lives in the run object, so that a repeated run on a large table finds its
  // memory already in place.
  std::vector<double>& est = FEstimates;
  est.assign(static_cast<std::size_t>(m), coef[p]);
  // The same pass gives the moments of each input for the variance inflation factors: sums
  // over the values minus a shift (the mean of the first values), which keeps the centred sum
  // free of cancellation whenever the shift lies within a few spreads of the mean; four
  // interleaved partial sums.
  FInputMoments.assign(static_cast<std::size_t>(p), TColumnMoments{});
  double* estData = est.data();
  const int head = std::min(m, 1024);
  std::vector<double> shift(static_cast<std::size_t>(p), 0.0);
  for (int j = 0; j < p; ++j) {
    const double* col = FMatD.Column(j + 1);
    double sum = 0;
    for (int i = 0; i < head; ++i)
      sum += col[i];
    shift[static_cast<std::size_t>(j)] = head > 0 ? sum / head : 0.0;
  }
  // Rows in blocks whose estimates stay in the cache while every column adds its term; the
  // block length is a multiple of 4, so each lane sees its values in the same order as in one
  // pass over all rows.
  constexpr int EvalBlock = 2048;
  // Four doubles as one value (two SSE registers): the lanes of the partial sums.
  typedef double TLanes __attribute__((vector_size(32)));
  typedef double TLanesU __attribute__((vector_size(32), aligned(8)));
  struct TSums {
    TLanes S1, S2, Raw;
  };
  std::vector<TSums> lanes(static_cast<std::size_t>(p), TSums{TLanes{}, TLanes{}, TLanes{}});
  for (int start = 0; start < m; start += EvalBlock) {
    const int end = std::min(m, start + EvalBlock);
    for (int j = 0; j < p; ++j) {
      const double b = coef[j];
      const TLanes bq = b - TLanes{};
      const double sh = shift[static_cast<std::size_t>(j)];
      const TLanes shq = sh - TLanes{};
      const double* col = FMatD.Column(j + 1);
      TSums acc = lanes[static_cast<std::size_t>(j)];
      int i = start;
      for (; i + 4 <= end; i += 4) {
        const TLanes v = *reinterpret_cast<const TLanesU*>(col + i);
        TLanesU& est4 = *reinterpret_cast<TLanesU*>(estData + i);
        est4 = est4 + bq * v;
        const TLanes d = v - shq;
        acc.S1 += d;
        acc.S2 += d * d;
        acc.Raw += v * v;
      }
      for (; i < end; ++i) {
        const double v = col[i];
        estData[i] += b * v;
        const double d = v - sh;
        acc.S1[0] += d;
        acc.S2[0] += d * d;
        acc.Raw[0] += v * v;
      }
      lanes[static_cast<std::size_t>(j)] = acc;
    }
  }
  for (int j = 0; j < p; ++j) {
    const TSums& acc = lanes[static_cast<std::size_t>(j)];
    const double a = (acc.S1[0] + acc.S1[2]) + (acc.S1[1] + acc.S1[3]);
    const double q = (acc.S2[0] + acc.S2[2]) + (acc.S2[1] + acc.S2[3]);
    TColumnMoments& mo = FInputMoments[static_cast<std::size_t>(j)];
    if (m > 0) {
      mo.Mean = shift[static_cast<std::size_t>(j)] + a / m;
      mo.CentredSS = std::max(0.0, q - a * (a / m));
    }
    mo.RawSS = (acc.Raw[0] + acc.Raw[2]) + (acc.Raw[1] + acc.Raw[3]);
  }

  FResidMax = -1.7E38;
  FResidMin = 1.7E38;
  FStats.Clear();
  Points.clear();
  Points.reserve(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i) {
    const double e = est[static_cast<std::size_t>(i)];
    const int row = FUsedRows[static_cast<std::size_t>(i)];
    Points.push_back(TFitPoint{row, ClassColorIndex(Table.RowAttrib(row)), actual[i], e});
    const double r = e - actual[i];
    if (r < FResidMin)
      FResidMin = r;
    if (r > FResidMax)
      FResidMax = r;
  }
  FStats.AddPairs(actual, estData, m);
}

}  // namespace orvex
