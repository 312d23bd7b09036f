// TStringArray: a two-dimensional table of short texts with a flag byte per row and per
// column, sortable by the texts of a column. Texts live in a pool of 32768-byte blocks (one
// length byte, then the characters), reached through a 32-bit handle per cell, so that a large
// table needs few allocations. Rows are reached through a row-order table: sorting permutes
// only that table, and a row's texts and flag travel together. The report list data keeps its
// cells in one.
//
// Columns run from 0 to NrOfColumns (column 0 holds texts but has no flag); rows are logical,
// 1..NrOfRows. Reads out of range give an empty text, 0 or -1; writes there are ignored.
#pragma once

#include "orvex_component.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

class EOrvexDStructError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

class TStringArray : public TComponent {
public:
  static constexpr int BlockSize = 32768;   // bytes of one pool block
  static constexpr int MaxTextLength = 255;  // bytes of one text

  // Raises EOrvexDStructError ("Class TStringArray: failed to initialize (out of memory)").
  explicit TStringArray(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TStringArray"; }

  // properties
  int NrOfColumns() const { return FNrOfColumns; }
  int NrOfRows() const { return FNrOfRows; }
  void SetNrOfColumns(int Value) { Resize(Value, FNrOfRows); }
  void SetNrOfRows(int Value) { Resize(FNrOfColumns, Value); }
  // Rows are allocated in steps of AllocRowsBy (10 at creation); values below 1 are ignored.
  int AllocRowsBy() const { return FAllocRowsBy; }
  void SetAllocRowsBy(int Value);
  // Rows for which storage exists, a multiple of AllocRowsBy at the time of the last growth.
  int AllocatedRows() const { return FAllocatedRows; }
  // Number of pool blocks in use.
  int NrOfBlocks() const { return static_cast<int>(FBlocks.size()); }
  // The cell's handle: 0 for an empty cell, else block * 65536 + offset (both 1-based).
  std::uint32_t Handle(int Col, int Row) const;
  std::string Elem(int Col, int Row) const;
  // Texts longer than 255 bytes keep their first 255, cut at a character boundary. A text no
  // longer than the stored one overwrites it in place; a longer one takes a new slot (first
  // fit over the blocks). Fires OnChange.
  void SetElem(int Col, int Row, const std::string& Value);
  std::uint8_t RowAttrib(int Row) const;
  void SetRowAttrib(int Row, std::uint8_t Value);  // fires OnChange
  std::uint8_t ColAttrib(int Col) const;            // Col 1..NrOfColumns
  void SetColAttrib(int Col, std::uint8_t Value);  // fires OnChange
  // The physical row shown at logical Row (-1 out of range). The write stores any physical row
  // 1..NrOfRows, unchecked for repeats, without an event.
  int RowIndex(int Row) const;
  void SetRowIndex(int Row, int PhysicalRow);

  // operations
  // True when the table has (now) the requested size; false for a count below 1 or when
  // memory runs out, the table then unchanged. Always resets the row order to identity.
  bool Resize(int NrCols, int NrRows);
  // Empties every cell and flag and gives the pool back (one empty block). No event.
  void Clear();
  // Comb sort of the rows by the texts of Col (ties by SecondaryCol when it is at least 1),
  // case-insensitive, with OnPercentDone progress from 0 to 100.
  void Sort(int Col, int SecondaryCol, bool Ascending);
  void Assign(const TComponent& Source) override;

  // events
  TNotifyEvent OnChange;
  TBeforeSortExchgEvent OnBeforeSortExchange;
  TOnPercentDoneEvent OnPercentDone;

private:
  using TBlock = std::array<unsigned char, BlockSize>;

  std::size_t HandleIndex(int Col, int PhysicalRow) const
  {
    return static_cast<std::size_t>(Col) * static_cast<std::size_t>(FAllocatedRows) +
           static_cast<std::size_t>(PhysicalRow - 1);
  }
  bool CellInRange(int Col, int Row) const
  {
    return Col >= 0 && Col <= FNrOfColumns && Row >= 1 && Row <= FNrOfRows;
  }
  std::string TextAt(std::uint32_t Handle) const;
  std::uint32_t Allocate(std::size_t Length);
  void ResetPool();
  void IdentityOrder();

  int FNrOfColumns = 1;
  int FNrOfRows = 1;
  int FAllocRowsBy = 10;
  int FAllocatedRows = 10;
  std::vector<int> FNextFree;                // per block, 1-based offset of the first free byte
  std::vector<std::uint32_t> FHandles;       // [column 0..NrOfColumns][physical row]
  std::vector<int> FRowOrder;                // logical row -> physical row, per allocated row
  std::vector<std::unique_ptr<TBlock>> FBlocks;
  std::vector<std::uint8_t> FRowAttribs;     // per allocated physical row
  std::vector<std::uint8_t> FColAttribs;     // per column 1..NrOfColumns
  // For each text length, the first block that may still have room for it: blocks only fill
  // up, so first fit never needs to look before it.
  std::array<int, MaxTextLength + 1> FFirstFit{};
};

}  // namespace orvex
