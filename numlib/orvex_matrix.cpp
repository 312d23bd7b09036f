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
  const std::size_t total = static_cast<std::size_t>(NewNrOfColumns) * static_cast<std::size_t>(NewNrOfRows);
  if (total <= FData.capacity() && total >= FData.capacity() / 2)
    ReshapeInPlace(NewNrOfColumns, NewNrOfRows);
  else
    ReshapeIntoNewBlock(NewNrOfColumns, NewNrOfRows);
  FNrOfColumns = NewNrOfColumns;
  FNrOfRows = NewNrOfRows;
  Fire(OnChange, this);
  Fire(OnResize, this);
  return true;
}

void TMatrix::ReshapeIntoNewBlock(int NewNrOfColumns, int NewNrOfRows)
{
  const std::size_t total = static_cast<std::size_t>(NewNrOfColumns) * static_cast<std::size_t>(NewNrOfRows);
  std::vector<double, TBulkAllocatorNoInit<double>> data;
  try {
    data.resize(total);
    // New cells are 0; the part that arrived as zeros is not written again (a table or a design
    // of a million rows: 168 MB less to write).
    const std::size_t zeros = std::min(total, detail::KnownZeroBytes(data.data()) / sizeof(double));
    std::fill(data.begin() + static_cast<std::ptrdiff_t>(zeros), data.end(), 0.0);
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
}

// The block has room (and is not more than twice the size): the kept columns move to their new
// places inside it. A refit whose row count changes by a few (an excluded or deleted row) then
// neither allocates nor faults in and zeroes a fresh block of the design's size, which on a
// virtual machine costs more than the fit. Fewer rows move the columns down, first column
// first; more rows move them up, last column first, so that no column is overwritten before it
// has moved.
void TMatrix::ReshapeInPlace(int NewNrOfColumns, int NewNrOfRows)
{
  const auto oldRows = static_cast<std::size_t>(FNrOfRows);
  const auto newRows = static_cast<std::size_t>(NewNrOfRows);
  const auto keepCols = static_cast<std::size_t>(std::min(FNrOfColumns, NewNrOfColumns));
  const std::size_t keepRows = std::min(oldRows, newRows);
  const std::size_t total = static_cast<std::size_t>(NewNrOfColumns) * newRows;
  if (total > FData.size())
    FData.resize(total);  // within the capacity: no new block
  double* d = FData.data();
  if (newRows < oldRows) {
    for (std::size_t c = 1; c < keepCols; ++c)
      std::copy(d + c * oldRows, d + c * oldRows + keepRows, d + c * newRows);
  } else if (newRows > oldRows) {
    for (std::size_t c = keepCols; c-- > 0;) {
      std::copy_backward(d + c * oldRows, d + c * oldRows + keepRows, d + c * newRows + keepRows);
      std::fill(d + c * newRows + keepRows, d + (c + 1) * newRows, 0.0);
    }
  }
  std::fill(d + keepCols * newRows, d + total, 0.0);
  FData.resize(total);
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
