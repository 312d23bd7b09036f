// The model options of a regression run and the design matrix they make. TMLRModelOptions is a
// value the window and the command-line tool hand to TMLRRun::Execute: a weight column, the
// intercept, the type of robust standard errors and the reference level of each categorical
// input. TDesign describes the columns of the design that the options and the table's
// measurement types give: a Nominal input becomes one indicator column per level present in
// the rows used, except its reference level (in a model without intercept the first such input
// keeps all its levels, as R codes it); every other input stays one numeric column.
//
// Weighted least squares is solved as ordinary least squares on the rows scaled by sqrt(w):
// FillDesignColumn writes a design column already scaled, so the run's solve, its inference and
// its influence measures need not know about weights (R's weighted definitions are those of the
// scaled problem). The run keeps the unweighted values for what the user sees (estimates,
// residuals, the charts).
#pragma once

#include "orvex_bulkalloc.h"

#include <map>
#include <string>
#include <vector>

namespace orvex {

class TDataTable;

enum class TRobustType { None, HC0, HC1, HC2, HC3 };

// "HC0" .. "HC3", "None".
const char* RobustTypeName(TRobustType Type);
// From "HC0" .. "HC3" (any case) or "none"; false for another text.
bool ParseRobustType(const std::string& Text, TRobustType& Type);

struct TMLRModelOptions {
  int WeightCol = 0;      // table column of the weights, 0 for none
  bool Intercept = true;  // the design has an intercept column
  TRobustType Robust = TRobustType::None;
  // Per table column of a categorical input, the level number of its reference level; a
  // column not listed (or whose level has no rows) takes its lowest level present.
  std::map<int, int> ReferenceLevels;
  // Table rows the user left out of the fit (increasing): they are not used, whatever their
  // values, and are counted apart from the rows with missing values.
  std::vector<int> ExcludedRows;

  bool operator==(const TMLRModelOptions&) const = default;
};

// A Nominal input with more levels than this in the rows used is refused.
inline constexpr int MaxCategoricalLevels = 150;

// One input column of the model.
struct TDesignTerm {
  int Column = 0;
  std::string Name;            // ReportName of the column
  bool Categorical = false;    // a Nominal column, coded as indicators
  bool Ordinal = false;        // an Ordinal column, taken as its level numbers
  int Reference = 0;           // the reference level (categorical)
  bool ReferenceReplaced = false;  // the chosen reference level has no rows in the fit
  bool FullCoding = false;     // an indicator for every level (the first one of a model without intercept)
  std::vector<int> Levels;         // the levels with an indicator column, increasing
  std::vector<int> DroppedLevels;  // labelled levels without rows in the fit, increasing
  int FirstColumn = 0;         // 0-based index of the term's first design column
  int NrOfColumns = 1;
};

// The non-intercept columns of the design in order (the terms in input column order, a
// categorical term's indicators by increasing level), then the intercept when there is one.
struct TDesign {
  std::vector<TDesignTerm> Terms;
  std::vector<std::string> ColumnNames;  // "Length", "Region[north]" (the level number without a label)
  std::vector<int> ColumnTerm;           // index into Terms per design column
  std::vector<int> ColumnLevel;          // the indicator's level, -1 for a numeric column
  bool Intercept = true;

  int NrOfColumns() const { return static_cast<int>(ColumnNames.size()); }  // without the intercept
  bool HasCategorical() const;
};

// The text of a level in a name or a message: its label, or its number without one.
std::string LevelText(const TDataTable& Table, int Col, int Level);

// Builds the design of the inputs (table columns, increasing) over the rows used (1-based,
// increasing). Returns an empty text on success, otherwise the message why the design cannot
// be made (a categorical input with too many levels).
std::string BuildDesign(const TDataTable& Table, const std::vector<int>& InputCols,
                        const TBulkVector<int>& UsedRows, const TMLRModelOptions& Options,
                        TDesign& Design);

// Design column Col (0-based, non-intercept) over Rows into Dst, each value times SqrtW[i]
// when SqrtW is not null.
void FillDesignColumn(const TDataTable& Table, const TDesign& Design, int Col,
                      const TBulkVector<int>& Rows, const double* SqrtW, double* Dst);

// The non-intercept design values of table row Row (1-based) into X (NrOfColumns values).
// False when an input is missing or not finite, or a categorical input holds a level that has
// no column and is not the reference level (the model cannot predict it).
bool DesignRow(const TDataTable& Table, const TDesign& Design, int Row, double* X);

}  // namespace orvex
