// TDataTable: the numeric data table behind the table editor and the regression run. It holds
// NrOfColumns x NrOfRows doubles (in an owned TMatrix) addressed Elem(Col, Row), both 1-based,
// and beside each value a state byte (not a number, empty, read-only, parenthesized, marks A
// and B). Columns carry a name, an attribute, a measurement type and, for the level types
// Nominal and Ordinal, up to 151 level labels; rows carry a name and an attribute (the class
// number). Every change is announced through one of the published events so that a viewer can
// repaint or re-lay itself out; besides, any number of listeners hear of every change with what
// it replaced (orvex_tablechange.h). The table also reads ASC data files (orvex_datatable_asc.cpp) and takes over any table a
// reader built aside (Adopt, orvex_tablebuilder.h).
//
// Getters return a neutral value (0, empty text, -1 for FindLevel) for an index out of range;
// setters ignore such an index without an event. Texts are UTF-8: names keep at most 50
// characters, level labels 10, and text that is not valid UTF-8 is taken as Windows-1252.
#pragma once

#include "orvex_component.h"
#include "orvex_matrix.h"
#include "orvex_bulkalloc.h"
#include "orvex_tablechange.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvex {

class EOrvexDataTableError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

// Measurement type of a column: an index into VarTypeNames. Any byte value can be stored.
using TVarType = std::uint8_t;
inline constexpr TVarType vtUnknown = 0;
inline constexpr TVarType vtNominal = 1;
inline constexpr TVarType vtOrdinal = 2;
inline constexpr TVarType vtInterval = 3;  // the type of every new column
inline constexpr TVarType vtRatio = 4;
inline constexpr std::array<const char*, 5> VarTypeNames = {"Unknown", "Nominal", "Ordinal", "Interval",
                                                            "Ratio"};
// Nominal and Ordinal: whole level numbers, the only types that keep level labels.
inline constexpr bool IsLevelType(TVarType T) { return T == vtNominal || T == vtOrdinal; }

// Bits of the cell state byte. A cell holds a valid number when csNotANumber and csEmpty are
// both clear.
inline constexpr std::uint8_t csNotANumber = 0x01;    // "NAN" in a file
inline constexpr std::uint8_t csEmpty = 0x02;         // "###" in a file: no value
inline constexpr std::uint8_t csReadOnly = 0x10;      // the editor opens no in-place editor
inline constexpr std::uint8_t csParenthesized = 0x20; // written in parentheses in a file
inline constexpr std::uint8_t csMarkA = 0x40;
inline constexpr std::uint8_t csMarkB = 0x80;

inline constexpr int MaxNameLength = 50;   // characters of a column or row name
inline constexpr int MaxLevelLength = 10;  // characters of a level label
inline constexpr int MaxLevel = 150;       // levels run from 0 to MaxLevel

// Result codes of the ASC reader.
inline constexpr int ascOK = 0;
inline constexpr int ascBadColumnCount = -1;   // missing, not an integer, or below 1
inline constexpr int ascBadRowCount = -2;      // missing, not an integer, or below 1
inline constexpr int ascBadFlags = -3;         // one of the first three flag words is bad
inline constexpr int ascBadRowAttrib = -5;     // a row attribute is not a number in range
inline constexpr int ascBadValue = -6;         // a value token is not a valid token
inline constexpr int ascCannotRead = -8;       // the file does not exist or cannot be read
inline constexpr int ascSizeExceedsFile = -9;  // declared table size exceeds the file
inline constexpr int ascCancelled = -10;       // the caller's cancel flag stopped the read

// What a result code of the ASC reader means, in words for a message.
const char* AscResultMeaning(int Code);

// Sender, old and new column and row counts.
using TDataTableResizeEvent =
    std::function<void(TObject* Sender, int OldColumns, int OldRows, int NewColumns, int NewRows)>;
// Lets the owner supply or rewrite text during an export; OutText may be changed.
using TExportTextEvent = std::function<void(TObject* Sender, int Mode, int Index, std::string& OutText)>;

// One entry of the free key/value section of an ASC file, key and value as written.
struct TCustDataEntry {
  std::string Key;
  std::string Value;
};
// The key/value section in file order (key row and value row of one entry per column).
using TCustomData = std::vector<TCustDataEntry>;

class TASCTextFile;
class TTableBuilder;
struct TASCReadOptions;

// Measurement type and level labels of one column, copied and moved as a unit. Only the labels
// that are not empty are held, ordered by level, so the memory follows the labels present.
struct TColumnDescriptor {
  TVarType VarType = vtInterval;
  std::vector<std::pair<std::uint8_t, std::string>> Labels;  // level, label; ascending levels

  // The label of Level (0..150) when the type is Nominal or Ordinal, else empty.
  std::string Label(int Level) const;
  // Label as TDataTable::SetLevelName stores it: cut to 10 characters, a non-empty label only
  // for the level types, an empty one always (it removes the level's label). Level in range.
  // Raises std::bad_alloc when memory runs out.
  void SetLabel(int Level, const std::string& Value);
};

namespace detail {

// Row names are stored only up to the last row whose name was set or moved there; every row
// after the stored ones carries its default name "R-<row>". A file of a million rows without
// names then keeps no string per row (32 MB of fresh memory and their writing saved).
std::string RowNameOf(const TBulkVector<std::string>& Stored, int Row);
// The stored name of Row (1-based), with the default names stored up to it first.
std::string& StoredRowName(TBulkVector<std::string>& Stored, int Row);

}  // namespace detail

class TDataTable : public TComponent {
public:
  // Raises EOrvexDataTableError ("... failed to initialize (out of memory)") when the initial
  // storage cannot be had.
  explicit TDataTable(TComponent* AOwner = nullptr);
  ~TDataTable() override;
  std::string ClassName() const override { return "TDataTable"; }

  // properties
  int NrOfColumns() const { return FNrOfColumns; }
  int NrOfRows() const { return FNrOfRows; }
  // A count of 0 gives an empty table; negative counts are ignored. Fires OnResize when the
  // size changes.
  void SetNrOfColumns(int Value);
  void SetNrOfRows(int Value);
  const std::string& Comment() const { return FComment; }
  // Removes every character below code 32, then fires OnChangeSetup.
  void SetComment(const std::string& Value);
  // Rounded to the nearest integer (halves to even) for Nominal and Ordinal columns.
  double Elem(int Col, int Row) const;
  // Stores the value unchanged, then fires OnChange.
  void SetElem(int Col, int Row, double Value);
  std::uint8_t CellState(int Col, int Row) const;
  // Fires OnChangeCellState only when the byte differs from the stored one.
  void SetCellState(int Col, int Row, std::uint8_t Value);
  // True when neither csNotANumber nor csEmpty is set (false out of range).
  bool ElemValid(int Col, int Row) const;
  // Raw storage of column Col (1..NrOfColumns): NrOfRows stored values (not rounded for the
  // level types, unlike Elem) and NrOfRows state bytes, row 1 first. Valid until the next
  // change of the table's size or layout.
  const double* ColumnValues(int Col) const { return FMatrix->Column(Col); }
  const std::uint8_t* ColumnStates(int Col) const { return FCellStates.data() + CellIndex(Col, 1); }
  std::string ColName(int Col) const;
  void SetColName(int Col, const std::string& Value);  // first 50 characters; OnChangeNames
  std::string RowName(int Row) const;
  void SetRowName(int Row, const std::string& Value);  // first 50 characters; OnChangeNames
  std::int32_t ColAttrib(int Col) const;
  void SetColAttrib(int Col, std::int32_t Value);      // OnChangeAttrib
  std::int32_t RowAttrib(int Row) const;
  void SetRowAttrib(int Row, std::int32_t Value);      // OnChangeAttrib
  TVarType VarType(int Col) const;
  void SetVarType(int Col, TVarType Value);            // any byte, unchecked; OnChangeSetup
  // The label of Level (0..150) when the column is Nominal or Ordinal, else empty.
  std::string LevelName(int Col, int Level) const;
  // Keeps the first 10 characters. A non-empty label is stored only for Nominal and Ordinal
  // columns, an empty one always; fires OnChangeSetup whenever Col and Level are in range.
  void SetLevelName(int Col, int Level, const std::string& Value);

  // operations
  // Both counts at once, one OnResize. Values, states, names and attributes of surviving cells
  // stay; new columns are named "C-n", new rows "R-n".
  void Resize(int NrCols, int NrRows);
  // First level (0..150) whose label equals Name (cut to 10 characters), or -1; only for
  // Nominal and Ordinal columns and a non-empty Name.
  int FindLevel(int Col, const std::string& Name, bool IgnoreCase) const;
  // Insert before Row (1..NrOfRows+1) / Col (1..NrOfColumns+1) an empty, unnamed row or
  // column; delete Row / Col, never the last remaining one. Each fires OnResize and, at the
  // end, OnChangeSetup once.
  void InsertRow(int Row);
  void DeleteRow(int Row);
  void InsertColumn(int Col);
  void DeleteColumn(int Col);
  // Clears marks A and B of every cell, then fires OnChangeCellState once.
  void ClearMarks();
  // From another TDataTable: everything including the nine event handlers, without an event.
  void Assign(const TComponent& Source) override;
  // Takes over the contents of a finished builder in one step (the builder is left empty, 1 x
  // 1), then fires the builder's extra notices (see TTableBuilder), OnChange, OnChangeCellState,
  // OnChangeAttrib, OnChangeNames, OnChangeSetup once, and OnResize (old size, new size). Cheap:
  // the storage moves, nothing is copied. The event handlers stay.
  void Adopt(TTableBuilder&& Builder);

  // Reads an ASC data file and returns its result code (ascOK or one of the negative codes).
  int LoadFromASCFile(const std::string& FileName);
  // As LoadFromASCFile, and hands back the file's key/value section (empty when there is none).
  int ReadASCFile(const std::string& FileName, TCustomData& CustomData);
  // The same with a given way of reading (orvex_datatable_asc.h).
  int ReadASCFile(const std::string& FileName, TCustomData& CustomData, const TASCReadOptions& Options);
  // Reads the four header lines of an ASC file on its own: comment, column count, row count
  // and the four flags. Returns ascOK, -1, -2, -3 or -8 (cannot open).
  static int ReadASCHeader(const std::string& FileName, std::string& Comment, int& NrCols, int& NrRows,
                           bool& Flag1, bool& Flag2, bool& Flag3, bool& Flag4);
  // The next value token of an open ASC file: skips characters of code 32 or below, then
  // collects the characters above 32. Empty at the end of the file.
  static std::string ReadToken(TASCTextFile& F);
  // One step of the name scanner (states 0..3, Quote usually the double quote). Appends the
  // kept characters to Text; true when the name is complete, State then returns to 0.
  static bool ScanQuotedWord(char Ch, char Quote, std::string& Text, int& State);

  // listeners: each hears of every change after the table holds it (orvex_tablechange.h), before
  // the published event that closes the operation. A listener may add or remove listeners while
  // it is told; one removed then is not told any more.
  int AddListener(TTableListener Listener);  // returns the key for RemoveListener
  void RemoveListener(int Key);

  // events
  TNotifyEvent OnChange;
  TNotifyEvent OnChangeSetup;
  TNotifyEvent OnChangeNames;
  TNotifyEvent OnChangeCellState;
  TNotifyEvent OnChangeAttrib;
  TOnPercentDoneEvent OnPercentDone;
  TDataTableResizeEvent OnResize;
  TSortExchgEvent OnSortExchange;
  TExportTextEvent OnExportText;

private:
  friend class TTableJournal;
  // Tells the listeners of a change, unless it is a step inside an operation that tells its own.
  void Tell(const TTableChange& Change);
  bool Telling() const { return !FListeners.empty() && FCompound == 0; }
  void TellStructure(TTableChangeKind Kind, int Col, int Row, std::shared_ptr<const TTableSlice> Removed);
  // The whole columns First..Last and the rows First..Last over columns 1..KeepCols, as a slice.
  std::shared_ptr<const TTableSlice> SliceColumns(int First, int Last) const;
  std::shared_ptr<const TTableSlice> SliceRows(int First, int Last, int KeepCols) const;
  // Writes a slice's columns back into columns Col, Col+1, ... and its rows into rows Row, ...
  // without events (the caller tells and fires).
  void PutColumns(const TTableSlice& Slice, int Col);
  void PutRows(const TTableSlice& Slice, int Row);
  bool ColInRange(int Col) const { return Col >= 1 && Col <= FNrOfColumns; }
  bool RowInRange(int Row) const { return Row >= 1 && Row <= FNrOfRows; }
  std::size_t CellIndex(int Col, int Row) const
  {
    return static_cast<std::size_t>(Col - 1) * static_cast<std::size_t>(FNrOfRows) +
           static_cast<std::size_t>(Row - 1);
  }
  void AttachMatrix();
  void DetachMatrix();
  [[noreturn]] void RaiseOutOfMemory() const;
  // Resize without events; the caller fires OnResize.
  void ResizeArrays(int NrCols, int NrRows);
  void CopyRow(int From, int To);
  void MoveColumn(int From, int To);
  void ClearColumn(int Col);
  // The closing events of a read or an adoption: OnChange, OnChangeCellState, OnChangeAttrib,
  // OnChangeNames, OnChangeSetup, then OnResize from the given old size to the current one.
  void AnnounceNewContents(int OldColumns, int OldRows);

  std::string FComment;
  TBulkVector<std::int32_t> FRowAttribs;
  std::vector<std::int32_t> FColAttribs;
  std::vector<TColumnDescriptor> FColumns;
  TBulkVector<std::uint8_t> FCellStates;  // column-major, NrOfColumns x NrOfRows
  std::vector<std::string> FColNames;
  TBulkVector<std::string> FRowNames;
  int FNrOfColumns = 1;
  int FNrOfRows = 1;
  std::unique_ptr<TMatrix> FMatrix;
  // Key 0 marks a listener removed while listeners were being told.
  std::vector<std::pair<int, std::unique_ptr<TTableListener>>> FListeners;
  int FNextListenerKey = 1;
  int FTellDepth = 0;
  bool FListenersRemoved = false;
  int FCompound = 0;  // depth of operations that tell one notice for their inner steps
};

}  // namespace orvex
