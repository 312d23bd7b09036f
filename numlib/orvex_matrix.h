// TMatrix: a resizable matrix of doubles addressed column first, Elem(Col, Row), both 1-based.
// Storage is column-major in one block, so each column is contiguous: Column(c) gives
// unchecked access to it for inner loops. Reads outside the matrix give 0, writes there are
// dropped; every write raises OnChange, every effective resize OnChange then OnResize. A resize
// keeps the block when it has room for the new size and is at most twice as large, so a refit
// with a few rows more or fewer does not fault in a fresh block.
#pragma once

#include "orvex_bulkalloc.h"
#include "orvex_component.h"

#include <cstddef>
#include <string>
#include <vector>

namespace orvex {

class EOrvexMatrixError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

class TMatrix : public TComponent {
public:
  explicit TMatrix(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TMatrix"; }

  // properties
  int NrOfColumns() const { return FNrOfColumns; }
  int NrOfRows() const { return FNrOfRows; }
  // Negative values count as 0, which Resize then refuses.
  void SetNrOfColumns(int Value);
  void SetNrOfRows(int Value);
  double Elem(int Col, int Row) const
  {
    if (Col < 1 || Col > FNrOfColumns || Row < 1 || Row > FNrOfRows)
      return 0.0;
    return FData[Index(Col, Row)];
  }
  void SetElem(int Col, int Row, double Value)
  {
    if (Col < 1 || Col > FNrOfColumns || Row < 1 || Row > FNrOfRows)
      return;
    FData[Index(Col, Row)] = Value;
    Fire(OnChange, this);
  }
  const std::string& DataID() const { return FDataID; }
  void SetDataID(const std::string& Value) { FDataID = Value; }
  // Unchecked access: Column(c)[r - 1] is Elem(c, r); c must lie in 1..NrOfColumns.
  double* Column(int Col) { return FData.data() + Index(Col, 1); }
  const double* Column(int Col) const { return FData.data() + Index(Col, 1); }

  // operations
  // False (and nothing changed) when a size is below 1 or both sizes are unchanged.
  bool Resize(int NewNrOfColumns, int NewNrOfRows);
  // Sets every element, then raises OnChange once.
  void Fill(double Value);
  void Assign(const TComponent& Source) override;

  // events
  TNotifyEvent OnChange;
  TNotifyEvent OnResize;
  TSortExchgEvent OnSortExchange;
  TOnCalcDistanceEvent OnCalcDistance;
  TOnPercentDoneEvent OnPercentDone;

private:
  void ReshapeInPlace(int NewNrOfColumns, int NewNrOfRows);
  void ReshapeIntoNewBlock(int NewNrOfColumns, int NewNrOfRows);
  std::size_t Index(int Col, int Row) const
  {
    return static_cast<std::size_t>(Col - 1) * static_cast<std::size_t>(FNrOfRows) +
           static_cast<std::size_t>(Row - 1);
  }

  int FNrOfColumns = 1;
  int FNrOfRows = 1;
  // Every element is written by this class before it is read: a fresh block the system has
  // faulted in as zeros is not zeroed again.
  std::vector<double, TBulkAllocatorNoInit<double>> FData;
  std::string FDataID;
};

}  // namespace orvex
