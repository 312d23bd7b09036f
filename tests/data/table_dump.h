// A table written out as text, for tests that compare two tables whole.
#pragma once

#include "orvex_datatable.h"

#include <cstdio>
#include <string>

namespace orvex_test {

// Every cell, name, state, type and label of a table as text, for comparing two tables whole.
inline std::string Dump(const orvex::TDataTable& T)
{
  std::string s = std::to_string(T.NrOfColumns()) + "x" + std::to_string(T.NrOfRows()) + "\n";
  for (int c = 1; c <= T.NrOfColumns(); ++c) {
    s += T.ColName(c) + " type " + std::to_string(T.VarType(c)) + ":";
    for (int l = 0; l <= orvex::MaxLevel; ++l)
      if (!T.LevelName(c, l).empty())
        s += " " + std::to_string(l) + "=" + T.LevelName(c, l);
    s += "\n";
  }
  for (int r = 1; r <= T.NrOfRows(); ++r) {
    s += T.RowName(r);
    for (int c = 1; c <= T.NrOfColumns(); ++c) {
      char buf[64];
      std::snprintf(buf, sizeof buf, " %.17g/%d", T.ColumnValues(c)[r - 1], T.CellState(c, r));
      s += buf;
    }
    s += "\n";
  }
  return s;
}

// Dump with what it leaves out: the comment and the column and row attributes.
inline std::string DumpWhole(const orvex::TDataTable& T)
{
  std::string s = Dump(T) + "comment " + T.Comment() + "\nattributes";
  for (int c = 1; c <= T.NrOfColumns(); ++c)
    s += " c" + std::to_string(T.ColAttrib(c));
  for (int r = 1; r <= T.NrOfRows(); ++r)
    s += " r" + std::to_string(T.RowAttrib(r));
  return s;
}

}  // namespace orvex_test
