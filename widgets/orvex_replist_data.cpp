// TRLData: the report list's store. Cell texts live in an owned TStringArray of NrOfColumns x
// max(1, NrOfRows) texts; the store adds the column headers, the check-box flag per column and
// the common header, and keeps the state character of check-box cells when labels change.
#include "orvex_replist.h"

#include "orvex_datatable_text.h"

#include <algorithm>
#include <new>

namespace orvex {

TRLData::TRLData(TComponent* AOwner) : TComponent(AOwner), FCells(nullptr)
{
  // The row reserve of the cells is per-column storage too: its failure is the store's.
  try {
    FHeaders.assign(1, DefaultHeader(1));
    FCheckBoxes.assign(1, false);
    FCells.SetAllocRowsBy(10);
    FCommonHeader = "Orvex Report Listview";
  } catch (const std::bad_alloc&) {
    throw EOrvexRLDataError(ComponentMessage("failed to initialize (out of memory)"));
  }
  FCells.OnChange = [this](TObject*) {
    if (!FQuiet)
      Fire(OnChange, this);
  };
  FCells.OnBeforeSortExchange = [this](TObject*, const std::string& In, std::string& Out) {
    Fire(OnBeforeSortExchange, this, In, Out);
  };
  FCells.OnPercentDone = [this](TObject*, int Percent) { Fire(OnPercentDone, this, Percent); };
}

std::string TRLData::DefaultHeader(int Col)
{
  return "C-" + std::to_string(Col);
}

bool TRLData::SetQuiet(bool Value)
{
  const bool old = FQuiet;
  FQuiet = Value;
  return old;
}

void TRLData::SetNrOfColumns(int Value)
{
  Value = std::max(Value, 1);
  if (Value == FNrOfColumns)
    return;
  const auto fail = [this]() { return EOrvexRLDataError(ComponentMessage("not enough memory on heap")); };
  std::vector<std::string> headers;
  std::vector<bool> boxes;
  try {
    headers = FHeaders;
    boxes = FCheckBoxes;
    headers.resize(static_cast<std::size_t>(Value));
    boxes.resize(static_cast<std::size_t>(Value), false);
    for (int c = FNrOfColumns + 1; c <= Value; ++c)
      headers[static_cast<std::size_t>(c - 1)] = DefaultHeader(c);
  } catch (const std::bad_alloc&) {
    throw fail();
  } catch (const std::length_error&) {
    throw fail();
  }
  if (!FCells.Resize(Value, std::max(1, FNrOfRows)))
    throw fail();
  FHeaders.swap(headers);
  FCheckBoxes.swap(boxes);
  FNrOfColumns = Value;
  if (FSortColumn > Value)
    FSortColumn = 0;
}

void TRLData::SetNrOfRows(int Value)
{
  Value = std::max(Value, 0);
  if (Value == FNrOfRows)
    return;
  const bool quiet = SetQuiet(true);
  const bool done = FCells.Resize(FNrOfColumns, std::max(1, Value));
  if (done) {
    FNrOfRows = Value;
    // The one row that remains of an empty list keeps only its check states.
    if (Value == 0)
      for (int c = 1; c <= FNrOfColumns; ++c) {
        const std::string text = FCells.Elem(c, 1);
        FCells.SetElem(c, 1, CheckBoxColumn(c) && !text.empty() ? text.substr(0, 1) : std::string());
      }
  }
  SetQuiet(quiet);
  if (!done)
    throw EOrvexRLDataError(ComponentMessage("not enough memory on heap"));
  if (!FQuiet)
    Fire(OnChange, this);
}

void TRLData::SetCommonHeader(const std::string& Value)
{
  if (Value != FCommonHeader)
    FCommonHeader = Value;
}

std::string TRLData::ColumnHeader(int Col) const
{
  if (Col < 1 || Col > FNrOfColumns)
    return std::string();
  return FHeaders[static_cast<std::size_t>(Col - 1)];
}

void TRLData::SetColumnHeader(int Col, const std::string& Value)
{
  if (Col < 1 || Col > FNrOfColumns)
    return;
  FHeaders[static_cast<std::size_t>(Col - 1)] = dtext::Utf8Left(Value, MaxHeaderLength);
}

bool TRLData::CheckBoxColumn(int Col) const
{
  return Col >= 1 && Col <= FNrOfColumns && FCheckBoxes[static_cast<std::size_t>(Col - 1)];
}

void TRLData::SetCheckBoxColumn(int Col, bool Value)
{
  if (Col < 1 || Col > FNrOfColumns || Value == CheckBoxColumn(Col))
    return;
  // One change of kind, not one notification per cell.
  const bool quiet = SetQuiet(true);
  for (int r = 1; r <= FCells.NrOfRows(); ++r) {
    const std::string text = FCells.Elem(Col, r);
    if (text.empty())
      continue;
    // A label at the length limit loses its last character rather than its new state.
    FCells.SetElem(Col, r, Value ? " " + text : text.substr(1));
  }
  SetQuiet(quiet);
  FCheckBoxes[static_cast<std::size_t>(Col - 1)] = Value;
}

std::string TRLData::CellText(int Col, int Row) const
{
  if (Col < 1 || Col > FNrOfColumns || Row < 1 || Row > FNrOfRows)
    return std::string();
  return FCells.Elem(Col, Row);
}

void TRLData::SetCellText(int Col, int Row, const std::string& Value)
{
  if (Col < 1 || Col > FNrOfColumns || Row < 1 || Row > FNrOfRows)
    return;
  if (!CheckBoxColumn(Col)) {
    FCells.SetElem(Col, Row, Value);
    return;
  }
  const std::string old = FCells.Elem(Col, Row);
  // The string array cuts the joined text at 255 bytes on a character boundary, so the state
  // character in front always survives.
  FCells.SetElem(Col, Row, (old.empty() ? std::string(" ") : old.substr(0, 1)) + Value);
}

bool TRLData::Checked(int Col, int Row) const
{
  if (!CheckBoxColumn(Col))
    return false;
  const std::string text = CellText(Col, Row);
  return !text.empty() && text[0] != ' ';
}

// The state character of one stored cell: "X" or " " replaces the first character, an empty
// cell becomes exactly "X" or " ".
void TRLData::StoreState(int Col, int Row, bool State)
{
  std::string text = FCells.Elem(Col, Row);
  const char state = State ? 'X' : ' ';
  if (text.empty())
    text.assign(1, state);
  else
    // A label written into a plain column before it became a check-box column may start with
    // a multi-byte character: the whole character is replaced, never a part of it.
    text = std::string(1, state) + text.substr(dtext::Utf8Left(text, 1).size());
  FCells.SetElem(Col, Row, text);
}

void TRLData::SetChecked(int Col, int Row, bool Value)
{
  if (!CheckBoxColumn(Col) || Row < 1 || Row > FNrOfRows)
    return;
  StoreState(Col, Row, Value);
}

void TRLData::CheckColumn(int Col, bool State)
{
  if (!CheckBoxColumn(Col))
    return;
  // Every stored row, the one kept by an empty list included, so that no old state can come
  // back when rows are added again.
  const bool quiet = SetQuiet(true);
  for (int r = 1; r <= FCells.NrOfRows(); ++r)
    StoreState(Col, r, State);
  SetQuiet(quiet);
  if (!FQuiet)
    Fire(OnChange, this);
}

void TRLData::SortByColumn(int Col, bool Ascending)
{
  if (Col < 1 || Col > FNrOfColumns)
    return;
  // Recorded only once sorted: a sort that fails (for want of memory, or in the owner's key
  // handler) leaves the rows in their order and the header's arrow as it was.
  if (FNrOfRows > 1)
    FCells.Sort(Col, 0, Ascending);
  FSortColumn = Col;
  FSortDirection = Ascending;
}

void TRLData::Assign(const TComponent& Source)
{
  const auto* src = dynamic_cast<const TRLData*>(&Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this)
    return;
  std::vector<std::string> headers;
  std::vector<bool> boxes;
  try {
    headers = src->FHeaders;
    boxes = src->FCheckBoxes;
  } catch (const std::bad_alloc&) {
    throw EOrvexRLDataError(ComponentMessage("not enough memory on heap"));
  }
  // The string array hands over its handlers too; ours must stay connected to this store.
  TNotifyEvent onChange = FCells.OnChange;
  TBeforeSortExchgEvent onSort = FCells.OnBeforeSortExchange;
  TOnPercentDoneEvent onPercent = FCells.OnPercentDone;
  try {
    FCells.Assign(src->FCells);
  } catch (const EOrvexDStructError&) {
    throw EOrvexRLDataError(ComponentMessage("not enough memory on heap"));
  }
  FCells.OnChange = onChange;
  FCells.OnBeforeSortExchange = onSort;
  FCells.OnPercentDone = onPercent;
  FHeaders.swap(headers);
  FCheckBoxes.swap(boxes);
  FNrOfColumns = src->FNrOfColumns;
  FNrOfRows = src->FNrOfRows;
  FCommonHeader = src->FCommonHeader;
  FSortColumn = src->FSortColumn;
  FSortDirection = src->FSortDirection;
  OnBeforeSortExchange = src->OnBeforeSortExchange;
  if (!FQuiet)
    Fire(OnChange, this);
}

}  // namespace orvex
