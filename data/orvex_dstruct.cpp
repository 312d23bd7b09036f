// TStringArray: the block pool, sizing, flags and the comb sort on the row order.
#include "orvex_dstruct.h"

#include "orvex_datatable_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <numeric>

namespace orvex {

TStringArray::TStringArray(TComponent* AOwner) : TComponent(AOwner)
{
  try {
    FHandles.assign(static_cast<std::size_t>(FNrOfColumns + 1) * static_cast<std::size_t>(FAllocatedRows), 0);
    FRowOrder.resize(static_cast<std::size_t>(FAllocatedRows));
    FRowAttribs.assign(static_cast<std::size_t>(FAllocatedRows), 0);
    FColAttribs.assign(static_cast<std::size_t>(FNrOfColumns), 0);
    IdentityOrder();
    ResetPool();
  } catch (const std::bad_alloc&) {
    throw EOrvexDStructError("Class TStringArray: failed to initialize (out of memory)");
  }
}

void TStringArray::ResetPool()
{
  // The fresh block comes first, so that running out of memory leaves the pool as it was.
  auto first = std::make_unique<TBlock>();
  FNextFree.assign(1, 1);
  FBlocks.clear();
  FBlocks.push_back(std::move(first));
  FFirstFit.fill(1);
}

void TStringArray::IdentityOrder()
{
  std::iota(FRowOrder.begin(), FRowOrder.end(), 1);
}

void TStringArray::SetAllocRowsBy(int Value)
{
  if (Value >= 1)
    FAllocRowsBy = Value;
}

// ---------------------------------------------------------------------------------------------
// Texts

std::uint32_t TStringArray::Handle(int Col, int Row) const
{
  if (!CellInRange(Col, Row))
    return 0;
  return FHandles[HandleIndex(Col, FRowOrder[static_cast<std::size_t>(Row - 1)])];
}

std::string TStringArray::TextAt(std::uint32_t H) const
{
  if (H == 0)
    return std::string();
  const TBlock& block = *FBlocks[(H >> 16) - 1];
  const std::size_t offset = (H & 0xFFFF) - 1;
  const std::size_t length = block[offset];
  return std::string(reinterpret_cast<const char*>(block.data() + offset + 1), length);
}

std::string TStringArray::Elem(int Col, int Row) const
{
  return TextAt(Handle(Col, Row));
}

// A new slot of Length + 1 bytes, first fit over the blocks; a new block when the last one is
// full. Returns the slot's handle.
std::uint32_t TStringArray::Allocate(std::size_t Length)
{
  const auto length = static_cast<int>(Length);
  const int nrBlocks = static_cast<int>(FBlocks.size());
  for (int b = FFirstFit[Length]; b <= nrBlocks; ++b) {
    int& nextFree = FNextFree[static_cast<std::size_t>(b - 1)];
    if (length < BlockSize - nextFree) {
      FFirstFit[Length] = b;
      const auto handle = static_cast<std::uint32_t>(b) * 65536u + static_cast<std::uint32_t>(nextFree);
      nextFree += length + 1;
      return handle;
    }
  }
  // Handles keep the block number in 16 bits.
  if (nrBlocks >= 65535)
    throw EOrvexDStructError(ComponentMessage("not enough memory on heap"));
  try {
    FBlocks.push_back(std::make_unique<TBlock>());
    FNextFree.push_back(length + 2);
  } catch (const std::bad_alloc&) {
    if (FBlocks.size() > FNextFree.size())
      FBlocks.pop_back();
    throw EOrvexDStructError(ComponentMessage("not enough memory on heap"));
  }
  const int b = nrBlocks + 1;
  FFirstFit[Length] = b;
  return static_cast<std::uint32_t>(b) * 65536u + 1u;
}

void TStringArray::SetElem(int Col, int Row, const std::string& Value)
{
  if (!CellInRange(Col, Row))
    return;
  const std::string text = dtext::Utf8LeftBytes(Value, MaxTextLength);
  std::uint32_t& handle = FHandles[HandleIndex(Col, FRowOrder[static_cast<std::size_t>(Row - 1)])];
  const std::size_t length = text.size();
  bool inPlace = false;
  if (handle != 0) {
    const TBlock& block = *FBlocks[(handle >> 16) - 1];
    inPlace = block[(handle & 0xFFFF) - 1] >= length;
  }
  if (!inPlace)
    handle = Allocate(length);
  TBlock& block = *FBlocks[(handle >> 16) - 1];
  const std::size_t offset = (handle & 0xFFFF) - 1;
  block[offset] = static_cast<unsigned char>(length);
  if (length > 0)
    std::memcpy(block.data() + offset + 1, text.data(), length);
  Fire(OnChange, this);
}

// ---------------------------------------------------------------------------------------------
// Flags and row order

std::uint8_t TStringArray::RowAttrib(int Row) const
{
  if (Row < 1 || Row > FNrOfRows)
    return 0;
  return FRowAttribs[static_cast<std::size_t>(FRowOrder[static_cast<std::size_t>(Row - 1)] - 1)];
}

void TStringArray::SetRowAttrib(int Row, std::uint8_t Value)
{
  if (Row < 1 || Row > FNrOfRows)
    return;
  FRowAttribs[static_cast<std::size_t>(FRowOrder[static_cast<std::size_t>(Row - 1)] - 1)] = Value;
  Fire(OnChange, this);
}

std::uint8_t TStringArray::ColAttrib(int Col) const
{
  if (Col < 1 || Col > FNrOfColumns)
    return 0;
  return FColAttribs[static_cast<std::size_t>(Col - 1)];
}

void TStringArray::SetColAttrib(int Col, std::uint8_t Value)
{
  if (Col < 1 || Col > FNrOfColumns)
    return;
  FColAttribs[static_cast<std::size_t>(Col - 1)] = Value;
  Fire(OnChange, this);
}

int TStringArray::RowIndex(int Row) const
{
  if (Row < 1 || Row > FNrOfRows)
    return -1;
  return FRowOrder[static_cast<std::size_t>(Row - 1)];
}

void TStringArray::SetRowIndex(int Row, int PhysicalRow)
{
  if (Row < 1 || Row > FNrOfRows || PhysicalRow < 1 || PhysicalRow > FNrOfRows)
    return;
  FRowOrder[static_cast<std::size_t>(Row - 1)] = PhysicalRow;
}

// ---------------------------------------------------------------------------------------------
// Sizing

bool TStringArray::Resize(int NrCols, int NrRows)
{
  if (NrCols == FNrOfColumns && NrRows == FNrOfRows)
    return true;
  if (NrCols < 1 || NrRows < 1)
    return false;
  const int keepRows = std::min(FNrOfRows, NrRows);
  if (NrCols != FNrOfColumns || NrRows > FAllocatedRows) {
    const long long steps = (static_cast<long long>(NrRows) + FAllocRowsBy - 1) / FAllocRowsBy;
    const long long allocated = steps * FAllocRowsBy;
    if (allocated > std::numeric_limits<int>::max())
      return false;
    const auto alloc = static_cast<std::size_t>(allocated);
    try {
      // Physical rows that stay keep their texts and flags; rows that appear start empty.
      std::vector<std::uint32_t> handles((static_cast<std::size_t>(NrCols) + 1) * alloc, 0);
      const int keepCols = std::min(FNrOfColumns, NrCols);
      for (int c = 0; c <= keepCols; ++c)
        std::copy_n(FHandles.begin() + static_cast<std::ptrdiff_t>(HandleIndex(c, 1)), keepRows,
                    handles.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(c) * alloc));
      std::vector<std::uint8_t> rowAttribs(alloc, 0);
      std::copy_n(FRowAttribs.begin(), keepRows, rowAttribs.begin());
      std::vector<int> rowOrder(alloc);
      std::vector<std::uint8_t> colAttribs(FColAttribs);
      colAttribs.resize(static_cast<std::size_t>(NrCols), 0);
      FHandles.swap(handles);
      FRowAttribs.swap(rowAttribs);
      FRowOrder.swap(rowOrder);
      FColAttribs.swap(colAttribs);
    } catch (const std::bad_alloc&) {
      return false;
    } catch (const std::length_error&) {
      return false;
    }
    FAllocatedRows = static_cast<int>(allocated);
    IdentityOrder();
    FNrOfColumns = NrCols;
    FNrOfRows = NrRows;
  } else {
    // Same columns, rows fit: the physical rows between the old and the new count appear or
    // disappear empty.
    const int lastRow = std::max(FNrOfRows, NrRows);
    for (int c = 0; c <= FNrOfColumns; ++c)
      for (int r = keepRows + 1; r <= lastRow; ++r)
        FHandles[HandleIndex(c, r)] = 0;
    for (int r = keepRows + 1; r <= lastRow; ++r)
      FRowAttribs[static_cast<std::size_t>(r - 1)] = 0;
    IdentityOrder();
    FNrOfRows = NrRows;
  }
  Fire(OnChange, this);
  return true;
}

void TStringArray::Clear()
{
  try {
    ResetPool();
  } catch (const std::bad_alloc&) {
    throw EOrvexDStructError(ComponentMessage("not enough memory on heap"));
  }
  std::fill(FHandles.begin(), FHandles.end(), 0u);
  std::fill(FRowAttribs.begin(), FRowAttribs.end(), std::uint8_t(0));
  std::fill(FColAttribs.begin(), FColAttribs.end(), std::uint8_t(0));
  IdentityOrder();
}

// ---------------------------------------------------------------------------------------------
// Sorting

void TStringArray::Sort(int Col, int SecondaryCol, bool Ascending)
{
  Fire(OnPercentDone, this, 0);
  const int n = FNrOfRows;
  const auto nextGap = [](int Gap) { return std::max(1, static_cast<int>(static_cast<long double>(Gap) / 1.3L)); };
  double total = n;
  for (int gap = n; gap > 1;) {
    gap = nextGap(gap);
    total += n - gap;
  }

  if (n > 1) {
    // The keys of each physical row, computed once: the owner's key through
    // OnBeforeSortExchange, in lower case.
    const auto keysOf = [this, n](int C) {
      std::vector<std::string> keys(static_cast<std::size_t>(n) + 1);
      if (C < 0 || C > FNrOfColumns)
        return keys;
      for (int p = 1; p <= n; ++p) {
        const std::string text = TextAt(FHandles[HandleIndex(C, p)]);
        std::string key = text;
        Fire(OnBeforeSortExchange, this, text, key);
        keys[static_cast<std::size_t>(p)] = dtext::LowerText(key);
      }
      return keys;
    };
    const std::vector<std::string> primary = keysOf(Col);
    const std::vector<std::string> secondary = SecondaryCol >= 1 ? keysOf(SecondaryCol) : std::vector<std::string>();
    const auto outOfOrder = [&](int P1, int P2) {
      const auto& keys = (primary[static_cast<std::size_t>(P1)] != primary[static_cast<std::size_t>(P2)] ||
                          SecondaryCol < 1)
                             ? primary
                             : secondary;
      const std::string& k1 = keys[static_cast<std::size_t>(P1)];
      const std::string& k2 = keys[static_cast<std::size_t>(P2)];
      return Ascending ? k1 > k2 : k1 < k2;
    };

    double comparisons = 0;
    int gap = n;
    bool swapped = true;
    while (gap > 1 || swapped) {
      gap = nextGap(gap);
      swapped = false;
      for (int i = 1; i + gap <= n; ++i) {
        int& a = FRowOrder[static_cast<std::size_t>(i - 1)];
        int& b = FRowOrder[static_cast<std::size_t>(i + gap - 1)];
        if (outOfOrder(a, b)) {
          std::swap(a, b);
          swapped = true;
        }
      }
      comparisons += n - gap;
      // Extra passes at gap 1 would run past the estimate: progress stops at 100.
      Fire(OnPercentDone, this, static_cast<int>(std::min(100.0, std::nearbyint(100.0 * comparisons / total))));
    }
    Fire(OnChange, this);
  }
  Fire(OnPercentDone, this, 100);
}

// ---------------------------------------------------------------------------------------------
// Assignment

void TStringArray::Assign(const TComponent& Source)
{
  const auto* src = dynamic_cast<const TStringArray*>(&Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this)
    return;
  try {
    std::vector<std::unique_ptr<TBlock>> blocks;
    blocks.reserve(src->FBlocks.size());
    for (const auto& block : src->FBlocks)
      blocks.push_back(std::make_unique<TBlock>(*block));
    auto nextFree = src->FNextFree;
    auto handles = src->FHandles;
    auto rowOrder = src->FRowOrder;
    auto rowAttribs = src->FRowAttribs;
    auto colAttribs = src->FColAttribs;
    FBlocks.swap(blocks);
    FNextFree.swap(nextFree);
    FHandles.swap(handles);
    FRowOrder.swap(rowOrder);
    FRowAttribs.swap(rowAttribs);
    FColAttribs.swap(colAttribs);
  } catch (const std::bad_alloc&) {
    throw EOrvexDStructError(ComponentMessage("not enough memory on heap"));
  }
  FFirstFit = src->FFirstFit;
  FNrOfColumns = src->FNrOfColumns;
  FNrOfRows = src->FNrOfRows;
  FAllocRowsBy = src->FAllocRowsBy;
  FAllocatedRows = src->FAllocatedRows;
  OnChange = src->OnChange;
  OnBeforeSortExchange = src->OnBeforeSortExchange;
  OnPercentDone = src->OnPercentDone;
}

}  // namespace orvex
