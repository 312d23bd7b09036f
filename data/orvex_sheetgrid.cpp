// The cells of a spreadsheet sheet and the column rules that make them a table; see the header.
#include "orvex_sheetgrid.h"

#include "orvex_datatable_text.h"
#include "orvex_delimited_scan.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_set>

namespace orvex {

std::string ColumnLetters(std::int64_t Col)
{
  std::string s;
  for (std::int64_t c = Col + 1; c > 0; c = (c - 1) / 26)
    s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
  return s;
}

std::string CellReference(std::int64_t Row, std::int64_t Col)
{
  return ColumnLetters(Col) + std::to_string(Row + 1);
}

bool EndsWithNoCase(const std::string& FileName, const char* Suffix)
{
  const std::size_t n = std::strlen(Suffix);
  if (FileName.size() < n)
    return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(FileName[FileName.size() - n + i])) != Suffix[i])
      return false;
  return true;
}

std::string NumberText(double Value)
{
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, Value);
  return std::string(buf, r.ptr);
}

int TLevelCoder::Code(std::string_view Text)
{
  if (FOverflow)
    return -1;
  const std::string key(Text);
  const auto it = FIndex.find(key);
  if (it != FIndex.end())
    return it->second;
  if (FTexts.size() >= delim::MaxLevels + 1) {
    FOverflow = true;
    return -1;
  }
  const int code = static_cast<int>(FTexts.size());
  FTexts.push_back(key);
  FIndex.emplace(key, code);
  return code;
}

// ---------------------------------------------------------------------------------------------
// Collecting cells

TSheetGrid::TSheetGrid(std::size_t Budget) : FBudget(Budget) {}

void TSheetGrid::Spend(std::size_t Bytes)
{
  FSpent += Bytes;
  if (FSpent > FBudget)
    throw EOrvexSheetError("the sheet holds more cells than its file size allows (more than " +
                           std::to_string(FBudget >> 20) + " MiB)");
}

void TSheetGrid::Add(std::int64_t Row, std::int64_t Col, double Value, TKind Kind)
{
  if (Row < 0 || Col < 0 || Row >= MaxSheetRows || Col >= MaxSheetColumns)
    throw EOrvexSheetError("a cell lies outside the sheet (row " + std::to_string(Row + 1) + ", column " +
                           std::to_string(Col + 1) + ")");
  // The vector doubles as it grows: count its share of the budget as it grows.
  if (FCells.size() == FCells.capacity())
    Spend(std::max<std::size_t>(FCells.capacity(), 16) * sizeof(TCell));
  FCells.push_back({static_cast<std::uint32_t>(Row), static_cast<std::uint32_t>(Col), Value, Kind});
}

void TSheetGrid::Reserve(std::size_t Cells)
{
  Cells = std::min(Cells, (FBudget - std::min(FBudget, FSpent)) / sizeof(TCell));
  if (Cells <= FCells.capacity())
    return;
  Spend((Cells - FCells.capacity()) * sizeof(TCell));
  FCells.reserve(Cells);
}

void TSheetGrid::SetNumber(std::int64_t Row, std::int64_t Col, double Value)
{
  if (std::isfinite(Value))
    Add(Row, Col, Value, TKind::Number);
  else
    SetError(Row, Col);
}

std::uint32_t TSheetGrid::AddSharedText(std::string_view Text)
{
  if (FTexts.size() >= std::numeric_limits<std::uint32_t>::max())
    throw EOrvexSheetError("too many texts");
  Spend(Text.size() + sizeof(std::string));
  FTexts.emplace_back(Text);
  return static_cast<std::uint32_t>(FTexts.size() - 1);
}

void TSheetGrid::SetText(std::int64_t Row, std::int64_t Col, std::string_view Text)
{
  const std::uint32_t id = AddSharedText(Text);
  Add(Row, Col, static_cast<double>(id), TKind::Text);
}

void TSheetGrid::SetSharedText(std::int64_t Row, std::int64_t Col, std::uint32_t Index)
{
  if (Index >= FTexts.size())
    throw EOrvexSheetError("a cell refers to shared text " + std::to_string(Index) + ", but there are only " +
                           std::to_string(FTexts.size()));
  Add(Row, Col, static_cast<double>(Index), TKind::Text);
}

void TSheetGrid::SetError(std::int64_t Row, std::int64_t Col)
{
  Add(Row, Col, 0.0, TKind::Error);
  ++FErrorCells;
}

void TSheetGrid::SetNoValue(std::int64_t Row, std::int64_t Col) { Add(Row, Col, 0.0, TKind::NoValue); }

// ---------------------------------------------------------------------------------------------
// The used range laid out densely, column by column

struct TSheetLayout {
  std::int64_t Row0 = 0, Col0 = 0, Rows = 0, Cols = 0;
  std::vector<TSheetGrid::TKind> Kinds;  // column-major
  std::vector<double> Values;
  const std::vector<std::string>* Texts = nullptr;

  // False when the grid holds no cell.
  bool Lay(const TSheetGrid& G)
  {
    Texts = &G.FTexts;
    if (G.FCells.empty())
      return false;
    std::uint32_t r0 = UINT32_MAX, c0 = UINT32_MAX, r1 = 0, c1 = 0;
    for (const auto& c : G.FCells) {
      r0 = std::min(r0, c.Row);
      r1 = std::max(r1, c.Row);
      c0 = std::min(c0, c.Col);
      c1 = std::max(c1, c.Col);
    }
    Row0 = r0;
    Col0 = c0;
    Rows = std::int64_t(r1) - r0 + 1;
    Cols = std::int64_t(c1) - c0 + 1;
    const std::int64_t cells = Rows * Cols;
    const auto need = static_cast<std::size_t>(cells) * (sizeof(double) * 2 + 2);  // here and in the table
    if (need > G.FBudget)
      throw EOrvexSheetError("the used range " + CellReference(Row0, Col0) + ":" + CellReference(r1, c1) +
                             " is too large for the cells the file holds");
    Kinds.assign(static_cast<std::size_t>(cells), TSheetGrid::TKind::None);
    Values.assign(static_cast<std::size_t>(cells), 0.0);
    for (const auto& c : G.FCells) {
      const auto i = static_cast<std::size_t>((std::int64_t(c.Col) - Col0) * Rows + (std::int64_t(c.Row) - Row0));
      Kinds[i] = c.Kind;
      Values[i] = c.Value;
    }
    return true;
  }
  TSheetGrid::TKind Kind(std::int64_t R, std::int64_t C) const { return Kinds[static_cast<std::size_t>(C * Rows + R)]; }
  double Value(std::int64_t R, std::int64_t C) const { return Values[static_cast<std::size_t>(C * Rows + R)]; }
};

namespace {

using TKind = TSheetGrid::TKind;

// What a cell means for the column rules.
enum class TMeaning : std::uint8_t { Empty, Number, Missing, NaN, Error, NoValue, Text };

struct TReader {
  const std::vector<std::string>& Texts;
  const TSheetLayout& L;
  const TSheetRules& Rules;

  TMeaning Meaning(std::int64_t R, std::int64_t C, double& Value, std::string_view& Text) const
  {
    switch (L.Kind(R, C)) {
      case TKind::None: return TMeaning::Empty;
      case TKind::Number: Value = L.Value(R, C); return TMeaning::Number;
      case TKind::Error: return TMeaning::Error;
      case TKind::NoValue: return TMeaning::NoValue;
      case TKind::Text: break;
    }
    Text = Texts[static_cast<std::size_t>(L.Value(R, C))];
    switch (delim::ClassifyCell(Text, '.', Rules.MissingTokens, Value)) {
      case delim::TCellKind::Number: return TMeaning::Number;
      case delim::TCellKind::NonFinite: return TMeaning::Error;
      case delim::TCellKind::Missing: return TMeaning::Missing;
      case delim::TCellKind::NaN: return TMeaning::NaN;
      case delim::TCellKind::Text: break;
    }
    return TMeaning::Text;
  }
  // The cell as a name or label: its text, a number's shortest form, or empty.
  std::string CellText(std::int64_t R, std::int64_t C) const
  {
    if (L.Kind(R, C) == TKind::Text)
      return Texts[static_cast<std::size_t>(L.Value(R, C))];
    if (L.Kind(R, C) == TKind::Number)
      return NumberText(L.Value(R, C));
    return {};
  }
};

}  // namespace

TSheetTableResult BuildSheetTable(const TSheetGrid& Grid, const TSheetRules& Rules, const std::string& SheetName,
                                  TTableBuilder& Builder, int MaxRows)
{
  TSheetTableResult res;
  const std::string where = "sheet \"" + SheetName + "\"";
  TSheetLayout L;
  if (!L.Lay(Grid)) {
    res.Status = TReadStatus::NoTable;
    res.Message = where + " holds no cells";
    return res;
  }
  const TReader rd{*L.Texts, L, Rules};
  double v = 0.0;
  std::string_view t;

  // Column kinds of the rows below Top: numbers at least as many as texts make a number column.
  auto numberColumns = [&](std::int64_t Top) {
    std::vector<bool> num(static_cast<std::size_t>(L.Cols));
    for (std::int64_t c = 0; c < L.Cols; ++c) {
      std::int64_t numbers = 0, texts = 0;
      for (std::int64_t r = Top; r < L.Rows; ++r) {
        const TMeaning m = rd.Meaning(r, c, v, t);
        numbers += m == TMeaning::Number;
        texts += m == TMeaning::Text;
      }
      num[static_cast<std::size_t>(c)] = numbers >= texts && numbers > 0;
    }
    return num;
  };

  // Header: a text above a number column, or no numbers anywhere in the first row or below.
  bool header = Rules.Header == TPresence::Yes;
  if (Rules.Header == TPresence::Detect && L.Rows >= 2) {
    const std::vector<bool> num = numberColumns(1);
    bool anyNumberColumn = false, firstHasNumber = false;
    for (std::int64_t c = 0; c < L.Cols; ++c) {
      const TMeaning m = rd.Meaning(0, c, v, t);
      firstHasNumber = firstHasNumber || m == TMeaning::Number;
      anyNumberColumn = anyNumberColumn || num[static_cast<std::size_t>(c)];
      header = header || (num[static_cast<std::size_t>(c)] && m == TMeaning::Text);
    }
    header = header || (!anyNumberColumn && !firstHasNumber);
  }
  if (header && L.Rows < 2) {
    res.Status = TReadStatus::NoTable;
    res.Message = where + " holds a header but no data rows";
    return res;
  }
  const std::int64_t top = header ? 1 : 0;

  // Row names: an empty first header cell, or a first column of different texts.
  bool rowNames = Rules.RowNames == TPresence::Yes && L.Cols >= 2;
  if (Rules.RowNames == TPresence::Detect && L.Cols >= 2) {
    if (header && L.Kind(0, 0) == TKind::None) {
      rowNames = true;
    } else {
      std::unordered_set<std::string_view> seen;
      bool allTexts = true;
      for (std::int64_t r = top; r < L.Rows && allTexts; ++r)
        allTexts = rd.Meaning(r, 0, v, t) == TMeaning::Text && seen.insert(t).second;
      rowNames = allTexts;
    }
  }
  res.Header = header;
  res.RowNames = rowNames;
  const std::int64_t first = rowNames ? 1 : 0;
  std::int64_t rows = L.Rows - top;
  if (MaxRows > 0)
    rows = std::min<std::int64_t>(rows, MaxRows);
  if (rows > INT32_MAX - 1 || L.Cols > INT32_MAX - 1) {
    res.Status = TReadStatus::TooLarge;
    res.Message = where + " is too large for a table";
    return res;
  }

  const std::vector<bool> num = numberColumns(top);
  const int tableCols = static_cast<int>(L.Cols - first);
  if (tableCols < 1) {
    res.Status = TReadStatus::NoTable;
    res.Message = where + " holds row names but no column";
    return res;
  }
  Builder.Resize(tableCols, static_cast<int>(std::max<std::int64_t>(rows, 1)));
  std::vector<bool> keep(static_cast<std::size_t>(tableCols), true);
  for (int tc = 1; tc <= tableCols; ++tc) {
    const std::int64_t c = tc - 1 + first;
    std::string name = header ? rd.CellText(0, c) : std::string();
    if (name.empty())
      name = "V" + std::to_string(tc);
    Builder.SetColName(tc, name);
    double* values = Builder.Column(tc);
    std::uint8_t* states = Builder.ColumnStates(tc);
    const bool numberColumn = num[static_cast<std::size_t>(c)];
    TLevelCoder levels;
    for (std::int64_t r = 0; r < rows; ++r) {
      const auto i = static_cast<std::size_t>(r);
      values[i] = 0.0;
      states[i] = 0;
      switch (rd.Meaning(r + top, c, v, t)) {
        case TMeaning::Empty:
        case TMeaning::Missing: states[i] = csEmpty; break;
        case TMeaning::NoValue: states[i] = csEmpty; ++res.NoValueCells; break;
        case TMeaning::NaN: states[i] = csNotANumber; break;
        case TMeaning::Error: states[i] = csNotANumber; ++res.ErrorCells; break;
        case TMeaning::Number:
          if (numberColumn) {
            values[i] = v;
            break;
          }
          [[fallthrough]];
        case TMeaning::Text:
          if (numberColumn) {
            res.Status = TReadStatus::BadNumber;
            res.Message = where + ", cell " + CellReference(L.Row0 + r + top, L.Col0 + c) + " (\"" +
                          dtext::Utf8Left(t, 40) + "\"): a text in the number column \"" + name + "\"";
            return res;
          }
          values[i] = levels.Code(rd.CellText(r + top, c));
          break;
      }
    }
    if (numberColumn)
      continue;
    if (levels.Overflow()) {
      keep[static_cast<std::size_t>(tc - 1)] = false;
      res.LeftOut.push_back({static_cast<int>(L.Col0 + c + 1), dtext::ToUtf8(name),
                             "more than " + std::to_string(delim::MaxLevels) + " different texts"});
      continue;
    }
    Builder.SetVarType(tc, vtNominal);
    for (std::size_t l = 0; l < levels.Texts().size(); ++l)
      Builder.SetLevelName(tc, static_cast<int>(l), levels.Texts()[l]);
  }
  if (rowNames)
    for (std::int64_t r = 0; r < rows; ++r)
      Builder.SetRowName(static_cast<int>(r + 1), rd.CellText(r + top, 0));
  if (std::find(keep.begin(), keep.end(), true) == keep.end()) {
    res.Status = TReadStatus::NoTable;
    res.Message = where + ": no column is left: every column holds more than " +
                  std::to_string(delim::MaxLevels) + " different texts";
    return res;
  }
  Builder.KeepColumns(keep);
  return res;
}

}  // namespace orvex
