// Sizing, filling and assignment of TMatrix.
#include "orvex_matrix.h"

#include <algorithm>
#include <new>

namespace orvex {

TMatrix::TMatrix(TComponent* AOwner) : TComponent(AOwner)
{
  try {
    FData.assign(1, 0.0);
  } catch (const std::bad_alloc&) {
    throw EOrvexMatrixError(ComponentMessage("not enough memory on heap"));
  }
}

void TMatrix::SetNrOfColumns(int Value)
{
  Resize(std::max(Value, 0), FNrOfRows);
}

void TMatrix::SetNrOfRows(int Value)
{
  Resize(FNrOfColumns, std::max(Value, 0));
}

bool TMatrix::Resize(int NewNrOfColumns, int NewNrOfRows)
{
  if (NewNrOfColumns < 1 || NewNrOfRows < 1)
    return false;
  if (NewNrOfColumns == FNrOfColumns && NewNrOfRows == FNrOfRows)
    return false;
  TBulkVector<double> data;
  try {
    data.assign(static_cast<std::size_t>(NewNrOfColumns) * static_cast<std::size_t>(NewNrOfRows), 0.0);
  } catch (const std::bad_alloc&) {
    throw EOrvexMatrixError(ComponentMessage("not enough memory on heap"));
  } catch (const std::length_error&) {
    throw EOrvexMatrixError(ComponentMessage("not enough memory on heap"));
  }
  const int keepCols = std::min(FNrOfColumns, NewNrOfColumns);
  const auto keepRows = static_cast<std::size_t>(std::min(FNrOfRows, NewNrOfRows));
  for (int c = 1; c <= keepCols; ++c) {
    const double* src = Column(c);
    std::copy(src, src + keepRows, data.begin() + static_cast<std::ptrdiff_t>(c - 1) * NewNrOfRows);
  }
  FData.swap(data);
  FNrOfColumns = NewNrOfColumns;
  FNrOfRows = NewNrOfRows;
  Fire(OnChange, this);
  Fire(OnResize, this);
  return true;
}

void TMatrix::Fill(double Value)
{
  std::fill(FData.begin(), FData.end(), Value);
  Fire(OnChange, this);
}

void TMatrix::Assign(const TComponent& Source)
{
  const auto* src = dynamic_cast<const TMatrix*>(&Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this)
    return;
  try {
    FData = src->FData;
  } catch (const std::bad_alloc&) {
    throw EOrvexMatrixError(ComponentMessage("not enough memory on heap"));
  }
  FNrOfColumns = src->FNrOfColumns;
  FNrOfRows = src->FNrOfRows;
  FDataID = src->FDataID;
  OnChange = src->OnChange;
  OnResize = src->OnResize;
  OnSortExchange = src->OnSortExchange;
  OnCalcDistance = src->OnCalcDistance;
  OnPercentDone = src->OnPercentDone;
}

}  // namespace orvex
