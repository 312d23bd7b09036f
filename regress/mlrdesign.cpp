// The design of a regression run with options: the terms of the inputs with their indicator
// coding, and the filling of the (weight-scaled) design columns.
#include "mlrdesign.h"

#include "mlrrun.h"
#include "orvex_datatable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

namespace orvex {

const char* RobustTypeName(TRobustType Type)
{
  switch (Type) {
  case TRobustType::HC0: return "HC0";
  case TRobustType::HC1: return "HC1";
  case TRobustType::HC2: return "HC2";
  case TRobustType::HC3: return "HC3";
  case TRobustType::None: break;
  }
  return "None";
}

bool ParseRobustType(const std::string& Text, TRobustType& Type)
{
  std::string t = Text;
  for (char& c : t)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (TRobustType r : {TRobustType::None, TRobustType::HC0, TRobustType::HC1, TRobustType::HC2,
                        TRobustType::HC3})
    if (t == (r == TRobustType::None ? std::string("NONE") : std::string(RobustTypeName(r)))) {
      Type = r;
      return true;
    }
  return false;
}

bool TDesign::HasCategorical() const
{
  return std::any_of(Terms.begin(), Terms.end(), [](const TDesignTerm& T) { return T.Categorical; });
}

std::string LevelText(const TDataTable& Table, int Col, int Level)
{
  const std::string label = Level >= 0 && Level <= MaxLevel ? Table.LevelName(Col, Level) : std::string();
  return label.empty() ? std::to_string(Level) : ReportName(label);
}

namespace {

// The value of a cell as the fit takes it: level types as whole numbers.
double CellValue(const TDataTable& Table, int Col, int Row)
{
  const double v = Table.ColumnValues(Col)[Row - 1];
  return IsLevelType(Table.VarType(Col)) ? std::nearbyint(v) : v;
}

bool CellValid(const TDataTable& Table, int Col, int Row)
{
  return (Table.ColumnStates(Col)[Row - 1] & (csNotANumber | csEmpty)) == 0 &&
         std::isfinite(Table.ColumnValues(Col)[Row - 1]);
}

}  // namespace

std::string BuildDesign(const TDataTable& Table, const std::vector<int>& InputCols,
                        const TBulkVector<int>& UsedRows, const TMLRModelOptions& Options,
                        TDesign& Design)
{
  Design = TDesign{};
  Design.Intercept = Options.Intercept;
  for (int col : InputCols) {
    TDesignTerm t;
    t.Column = col;
    t.Name = ReportName(Table.ColName(col));
    t.Categorical = Table.VarType(col) == vtNominal;
    t.Ordinal = Table.VarType(col) == vtOrdinal;
    t.FirstColumn = Design.NrOfColumns();
    const int termIndex = static_cast<int>(Design.Terms.size());
    if (!t.Categorical) {
      Design.ColumnNames.push_back(t.Name);
      Design.ColumnTerm.push_back(termIndex);
      Design.ColumnLevel.push_back(-1);
      Design.Terms.push_back(t);
      continue;
    }
    // The levels present; a value beyond the label range (written by program) still counts
    // as a level of its own. The count stops early past the limit.
    std::set<int> present;
    for (int r : UsedRows) {
      const double v = CellValue(Table, col, r);
      present.insert(static_cast<int>(std::clamp(v, -2e9, 2e9)));
      if (static_cast<int>(present.size()) > MaxCategoricalLevels)
        return "The categorical input \"" + t.Name + "\" has more than " +
               std::to_string(MaxCategoricalLevels) + " levels in the objects used";
    }
    for (int level = 0; level <= MaxLevel; ++level)
      if (!present.count(level) && !Table.LevelName(col, level).empty())
        t.DroppedLevels.push_back(level);
    if (present.empty()) {
      Design.Terms.push_back(t);
      continue;
    }
    t.Reference = *present.begin();
    const auto chosen = Options.ReferenceLevels.find(col);
    if (chosen != Options.ReferenceLevels.end()) {
      if (present.count(chosen->second))
        t.Reference = chosen->second;
      else
        t.ReferenceReplaced = true;
    }
    // Without an intercept the first categorical input keeps an indicator for every level (its
    // reference level too), as R codes a factor in a model without intercept: dropping one would
    // force that level's mean through zero.
    const bool full = !Options.Intercept && !Design.HasCategorical();
    t.FullCoding = full;
    for (int level : present)
      if (full || level != t.Reference) {
        t.Levels.push_back(level);
        Design.ColumnNames.push_back(t.Name + "[" + LevelText(Table, col, level) + "]");
        Design.ColumnTerm.push_back(termIndex);
        Design.ColumnLevel.push_back(level);
      }
    t.NrOfColumns = static_cast<int>(t.Levels.size());
    Design.Terms.push_back(t);
  }
  return std::string();
}

void FillDesignColumn(const TDataTable& Table, const TDesign& Design, int Col,
                      const TBulkVector<int>& Rows, const double* SqrtW, double* Dst)
{
  const TDesignTerm& t = Design.Terms[static_cast<std::size_t>(Design.ColumnTerm[static_cast<std::size_t>(Col)])];
  const int level = Design.ColumnLevel[static_cast<std::size_t>(Col)];
  const std::size_t m = Rows.size();
  for (std::size_t i = 0; i < m; ++i) {
    const double v = CellValue(Table, t.Column, Rows[i]);
    const double x = level < 0 ? v : (v == level ? 1.0 : 0.0);
    Dst[i] = SqrtW ? x * SqrtW[i] : x;
  }
}

bool DesignRow(const TDataTable& Table, const TDesign& Design, int Row, double* X)
{
  for (const TDesignTerm& t : Design.Terms) {
    if (!CellValid(Table, t.Column, Row))
      return false;
    const double v = CellValue(Table, t.Column, Row);
    double* x = X + t.FirstColumn;
    if (!t.Categorical) {
      x[0] = v;
      continue;
    }
    bool known = v == t.Reference;
    for (int c = 0; c < t.NrOfColumns; ++c) {
      x[c] = t.Levels[static_cast<std::size_t>(c)] == v ? 1.0 : 0.0;
      known = known || x[c] == 1.0;
    }
    if (!known)
      return false;
  }
  return true;
}

}  // namespace orvex
