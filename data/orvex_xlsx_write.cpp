// Saving a table as an xlsx workbook through libxlsxwriter; see the header.
//
// The workbook is written in libxlsxwriter's constant-memory mode (rows go out in order, texts
// inline), so a large table takes no more memory than a row; its scratch files go into the
// target's folder.
#include "orvex_xlsx_write.h"

#include "orvex_delimited_scan.h"
#include "orvex_sheetgrid.h"

#include <xlsxwriter.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace orvex {

namespace {

// Whether a level label reads back as a text (not as a number or a missing value).
bool ReadsAsText(const std::string& Label)
{
  double v = 0.0;
  return !Label.empty() &&
         delim::ClassifyCell(Label, '.', DefaultMissingTokens(), v) == delim::TCellKind::Text;
}

// Whether column Col is written as its level labels.
bool WritesLabels(const TDataTable& T, int Col)
{
  if (!IsLevelType(T.VarType(Col)))
    return false;
  for (int r = 1; r <= T.NrOfRows(); ++r) {
    if (!T.ElemValid(Col, r))
      continue;
    const double level = T.Elem(Col, r);
    if (level < 0 || level > MaxLevel || !ReadsAsText(T.LevelName(Col, static_cast<int>(level))))
      return false;
  }
  return true;
}

bool HasRowNames(const TDataTable& T)
{
  for (int r = 1; r <= T.NrOfRows(); ++r)
    if (T.RowName(r) != "R-" + std::to_string(r))
      return true;
  return false;
}

struct TWorkbookCloser {
  void operator()(lxw_workbook* W) const
  {
    if (W)
      workbook_close(W);
  }
};

}  // namespace

void WriteXlsxFile(const TDataTable& Table, const std::string& FileName)
{
  auto fail = [&FileName](const std::string& Reason) {
    throw EOrvexXlsxWriteError("cannot save the file \"" + FileName + "\": " + Reason);
  };
  const int cols = Table.NrOfColumns(), rows = Table.NrOfRows();
  if (cols < 1 || rows < 1)
    fail("the table is empty");
  const bool rowNames = HasRowNames(Table);
  if (rows + 1 > MaxSheetRows || cols + (rowNames ? 1 : 0) > MaxSheetColumns)
    fail("the table has more rows or columns than a sheet holds (1,048,576 x 16,384)");

  const std::filesystem::path target(FileName);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty())
    folder = ".";
  const std::filesystem::path temp =
      folder / ("." + target.filename().string() + "." + std::to_string(::getpid()) + ".tmp");
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec))
    fail("the folder \"" + folder.string() + "\" does not exist");
  std::string tmpdir = folder.string();
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = tmpdir.data();
  try {
    std::unique_ptr<lxw_workbook, TWorkbookCloser> wb(workbook_new_opt(temp.string().c_str(), &options));
    if (!wb)
      fail("the workbook cannot be created (not enough memory)");
    lxw_worksheet* ws = workbook_add_worksheet(wb.get(), "Data");
    if (!ws)
      fail("the sheet cannot be created (not enough memory)");
    auto check = [&fail](lxw_error E) {
      if (E != LXW_NO_ERROR)
        fail(lxw_strerror(E));
    };
    const int first = rowNames ? 1 : 0;
    std::vector<bool> labels(static_cast<std::size_t>(cols) + 1);
    for (int c = 1; c <= cols; ++c) {
      labels[static_cast<std::size_t>(c)] = WritesLabels(Table, c);
      check(worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c - 1 + first), Table.ColName(c).c_str(), nullptr));
    }
    for (int r = 1; r <= rows; ++r) {
      const auto row = static_cast<lxw_row_t>(r);
      if (rowNames)
        check(worksheet_write_string(ws, row, 0, Table.RowName(r).c_str(), nullptr));
      for (int c = 1; c <= cols; ++c) {
        if (!Table.ElemValid(c, r))
          continue;
        const auto col = static_cast<lxw_col_t>(c - 1 + first);
        const double v = Table.Elem(c, r);
        if (labels[static_cast<std::size_t>(c)])
          check(worksheet_write_string(ws, row, col, Table.LevelName(c, static_cast<int>(v)).c_str(), nullptr));
        else if (std::isfinite(v))
          check(worksheet_write_number(ws, row, col, v, nullptr));
      }
    }
    const lxw_error closed = workbook_close(wb.release());
    if (closed != LXW_NO_ERROR)
      fail(lxw_strerror(closed));
    std::filesystem::rename(temp, target, ec);
    if (ec)
      fail(ec.message());
  } catch (...) {
    std::filesystem::remove(temp, ec);
    throw;
  }
}

}  // namespace orvex
