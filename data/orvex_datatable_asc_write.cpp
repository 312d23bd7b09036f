// The ASC writer: a table as the ASC reader (orvex_datatable_asc.cpp) reads it back. The header
// takes four lines (comment, column count, row count, flags); a flag is set only where the table
// needs it (row attributes other than 0, names other than "C-n" and "R-n", a Nominal, Ordinal
// or Ratio column). Each row takes one line: attribute, name, then the values as the shortest
// text that reads back to the same double, "NAN", "###" or "( value)" by the cell's state.
//
// Names go through the reader's four-state scanner, so they are written in the pieces that
// scanner joins: a bare word when the name has no blank, control character or double quote;
// otherwise in double quotes, with each literal double quote written as three (close, reopen,
// the quote itself).
#include "orvex_tablewriter.h"

#include "orvex_datatable_text.h"

#include <charconv>
#include <cmath>

namespace orvex {

namespace {

constexpr std::string_view EmptyNameMark = "(.;#;.)";
constexpr char CtrlZ = 26;

[[noreturn]] void Refuse(const std::string& Reason) { throw EOrvexTableWriteError(Reason); }

// Appends a name so that the reader's scanner gives it back; What names it in a refusal.
void AppendName(std::string& Out, std::string_view Name, const char* What, int Index)
{
  auto refuse = [&](const char* Why) {
    Refuse(std::string("the name of ") + What + " " + std::to_string(Index) + " " + Why +
           ", which an ASC file cannot hold");
  };
  if (Name.empty()) {
    Out += EmptyNameMark;
    return;
  }
  bool bare = true;
  for (const char ch : Name)
    bare = bare && static_cast<unsigned char>(ch) > 32 && ch != '"';
  if (bare) {
    Out += Name;
    return;
  }
  // Quoted: inside quotes (scanner state 2) every character but the quote is kept. A literal
  // quote closes and reopens the quotes and adds one more, which the scanner takes as text
  // (states 3, 1, 3); the next other character reopens the quotes (state 1, then 2), which a
  // control character cannot do, as it would end the name in state 1. State 0: nothing written.
  int state = 0;
  for (const char ch : Name) {
    const auto code = static_cast<unsigned char>(ch);
    if (ch == CtrlZ)
      refuse("holds the character Ctrl-Z");
    if (ch == '"') {
      Out += state == 2 ? "\"\"\"" : "\"\"";
      state = 3;
      continue;
    }
    if (state != 2) {
      if (code < 32)
        refuse(state == 0 ? "starts with a control character" : "has a control character after a double quote");
      Out += '"';
      state = 2;
    }
    Out += ch;
  }
  if (state == 2)
    Out += '"';
}

// The shortest text that reads back to V (finite).
void AppendNumber(std::string& Out, double V)
{
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, V);
  Out.append(buf, res.ptr);
}

// By the state: not-a-number before empty (a file holds one state per token); a value that is
// not finite has no number text and is written as not-a-number.
void AppendValue(std::string& Out, double V, std::uint8_t State)
{
  if (State & csNotANumber) {
    Out += "NAN";
  } else if (State & csEmpty) {
    Out += "###";
  } else if (!std::isfinite(V)) {
    Out += "NAN";
  } else if (State & csParenthesized) {
    Out += "( ";
    AppendNumber(Out, V);
    Out += ')';
  } else {
    AppendNumber(Out, V);
  }
}

bool IsDefaultName(const std::string& Name, const char* Prefix, int Index)
{
  return Name.size() > 2 && Name.compare(0, 2, Prefix) == 0 && Name.compare(2, std::string::npos, std::to_string(Index)) == 0;
}

// A level label or a key/value text for the line syntax of the sections: no line end, no
// Ctrl-Z, and none of the characters in Forbidden.
bool FitsLine(std::string_view Text, std::string_view Forbidden)
{
  for (const char ch : Text)
    if (ch == '\n' || ch == '\r' || ch == CtrlZ || Forbidden.find(ch) != std::string_view::npos)
      return false;
  return true;
}

void AppendVarTypes(std::string& Out, const TDataTable& Table)
{
  Out += "<VARTYPES>\n";
  for (int c = 1; c <= Table.NrOfColumns(); ++c) {
    const TVarType type = Table.VarType(c);
    if (type != vtNominal && type != vtOrdinal && type != vtRatio)
      continue;
    std::string line = std::to_string(c) + " " + VarTypeNames[type];
    if (IsLevelType(type)) {
      line += ' ';
      for (int level = 0; level <= MaxLevel; ++level) {
        const std::string label = Table.LevelName(c, level);
        if (label.empty())
          continue;
        if (!FitsLine(label, ">"))
          Refuse("the level label " + std::to_string(level) + " of column " + std::to_string(c) +
                 " holds \">\", a line end or Ctrl-Z, which an ASC file cannot hold");
        line += "<" + std::to_string(level) + "=" + label + ">";
      }
    }
    // A label that completes the section's end mark would end the section early.
    if (dtext::UpperAscii(line).find("</VARTYPES>") != std::string::npos)
      Refuse("a level label of column " + std::to_string(c) + " reads as the end of the VARTYPES section");
    Out += line;
    Out += '\n';
  }
  Out += "</VARTYPES>\n";
}

void AppendCustomData(std::string& Out, const TCustomData& CustomData)
{
  Out += "<custdata>\n";
  for (std::size_t i = 0; i < CustomData.size(); ++i) {
    const std::string key = dtext::ToUtf8(CustomData[i].Key);
    const std::string value = dtext::ToUtf8(CustomData[i].Value);
    if (!FitsLine(key, ">") || !FitsLine(value, "<") || dtext::LowerAscii(key) == "/custdata")
      Refuse("the key/value entry " + std::to_string(i + 1) +
             " holds a text the ASC file's key/value section cannot hold");
    Out += "<" + key + ">" + value + "</" + key + ">\n";
  }
  Out += "</custdata>\n";
}

}  // namespace

void WriteASCTable(const TDataTable& Table, const TCustomData* CustomData, TWriteSink& Sink)
{
  const int cols = Table.NrOfColumns();
  const int rows = Table.NrOfRows();
  if (cols < 1 || rows < 1)
    Refuse("an ASC file holds at least one column and one row");

  bool attribs = false, colNames = false, rowNames = false, varTypes = false;
  for (int r = 1; r <= rows && !attribs; ++r)
    attribs = Table.RowAttrib(r) != 0;
  for (int c = 1; c <= cols && !colNames; ++c)
    colNames = !IsDefaultName(Table.ColName(c), "C-", c);
  for (int r = 1; r <= rows && !rowNames; ++r)
    rowNames = !IsDefaultName(Table.RowName(r), "R-", r);
  for (int c = 1; c <= cols && !varTypes; ++c)
    varTypes = Table.VarType(c) == vtNominal || Table.VarType(c) == vtOrdinal || Table.VarType(c) == vtRatio;

  std::string head;
  // The comment is line 1: a line end would end it, a carriage return is dropped, Ctrl-Z ends
  // the file.
  for (const char ch : Table.Comment())
    if (ch != '\n' && ch != '\r' && ch != CtrlZ)
      head += ch;
  head += '\n' + std::to_string(cols) + '\n' + std::to_string(rows) + '\n';
  for (const bool flag : {attribs, colNames, rowNames, varTypes})
    head += flag ? "TRUE " : "FALSE ";
  head.back() = '\n';
  if (colNames) {
    for (int c = 1; c <= cols; ++c) {
      AppendName(head, Table.ColName(c), "column", c);
      head += c < cols ? ' ' : '\n';
    }
  }
  Sink.Write(head);

  std::vector<const double*> values(static_cast<std::size_t>(cols));
  std::vector<const std::uint8_t*> states(static_cast<std::size_t>(cols));
  for (int c = 1; c <= cols; ++c) {
    values[static_cast<std::size_t>(c - 1)] = Table.ColumnValues(c);
    states[static_cast<std::size_t>(c - 1)] = Table.ColumnStates(c);
  }
  WriteRowBlocks(rows, 8192, [&](int From, int To, std::string& Out) {
    Out.reserve(static_cast<std::size_t>(To - From) * static_cast<std::size_t>(cols) * 12);
    for (int r = From; r < To; ++r) {
      if (attribs) {
        Out += std::to_string(Table.RowAttrib(r + 1));
        Out += ' ';
      }
      if (rowNames) {
        AppendName(Out, Table.RowName(r + 1), "row", r + 1);
        Out += ' ';
      }
      for (std::size_t c = 0; c < values.size(); ++c) {
        if (c > 0)
          Out += ' ';
        AppendValue(Out, values[c][r], states[c][r]);
      }
      Out += '\n';
    }
  }, Sink);

  std::string tail;
  if (varTypes)
    AppendVarTypes(tail, Table);
  if (CustomData && !CustomData->empty())
    AppendCustomData(tail, *CustomData);
  if (!tail.empty())
    Sink.Write(tail);
}

}  // namespace orvex
