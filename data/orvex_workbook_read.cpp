// Workbooks read into a table builder: the package check, the sheet choice, the ods reader on
// liborcus's import interface, and the one entry that catches everything a library may throw.
// The xlsx parts are in orvex_workbook_xlsx.cpp.
#include "orvex_workbook_parts.h"

#include "orvex_datatable_text.h"

#include <orcus/orcus_ods.hpp>
#include <orcus/spreadsheet/import_interface.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <fstream>
#include <new>

namespace orvex {

namespace wbook {

std::size_t BudgetFor(std::size_t FileSize) { return 64 * FileSize + (std::size_t(16) << 20); }

namespace {

std::uint32_t Le32(std::string_view S, std::size_t Pos)
{
  if (Pos + 4 > S.size())
    throw EOrvexSheetError("the zip directory is cut short");
  const auto* p = reinterpret_cast<const unsigned char*>(S.data() + Pos);
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint32_t Le16(std::string_view S, std::size_t Pos)
{
  if (Pos + 2 > S.size())
    throw EOrvexSheetError("the zip directory is cut short");
  const auto* p = reinterpret_cast<const unsigned char*>(S.data() + Pos);
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

}  // namespace

void CheckPackage(std::string_view P, std::size_t Budget)
{
  if (P.size() < 22 || P.substr(0, 2) != "PK")
    throw EOrvexSheetError("the file is not a zip package");
  // The end-of-directory record: within the last 64 KiB + 22 bytes (its comment may be long).
  std::size_t eocd = std::string_view::npos;
  const std::size_t low = P.size() > 65557 ? P.size() - 65557 : 0;
  for (std::size_t i = P.size() - 22 + 1; i-- > low;)
    if (Le32(P, i) == 0x06054b50) {
      eocd = i;
      break;
    }
  if (eocd == std::string_view::npos)
    throw EOrvexSheetError("the zip directory is missing (the file is cut short or no zip package)");
  const std::uint32_t entries = Le16(P, eocd + 10);
  const std::uint32_t dirOffset = Le32(P, eocd + 16);
  std::size_t pos = dirOffset;
  std::uint64_t total = 0;
  for (std::uint32_t e = 0; e < entries; ++e) {
    if (Le32(P, pos) != 0x02014b50)
      throw EOrvexSheetError("the zip directory is damaged");
    std::uint64_t unpacked = Le32(P, pos + 24);
    const std::uint32_t packed = Le32(P, pos + 20);
    if (unpacked == 0xFFFFFFFFu || packed == 0xFFFFFFFFu)
      throw EOrvexSheetError("the package holds a part of 4 GiB or more");
    const std::uint32_t local = Le32(P, pos + 42);
    if (Le32(P, local) != 0x04034b50)
      throw EOrvexSheetError("the zip directory points outside its parts");
    unpacked = std::max<std::uint64_t>(unpacked, Le32(P, local + 22));
    // The packed data, by either header, must lie within the file.
    const std::uint64_t packedMost = std::max<std::uint64_t>(packed, Le32(P, local + 18));
    if (local + 30 + std::uint64_t(Le16(P, local + 26)) + Le16(P, local + 28) + packedMost > P.size())
      throw EOrvexSheetError("a part of the package reaches beyond the end of the file");
    total += unpacked;
    if (total > Budget)
      throw EOrvexSheetError("its parts would unpack to more than " + std::to_string(Budget >> 20) +
                             " MiB, too much for a file of this size");
    pos += 46 + Le16(P, pos + 28) + Le16(P, pos + 30) + Le16(P, pos + 32);
  }
}

bool TSheetChoice::ByNumber(std::size_t Index) const
{
  if (Wanted.empty())
    return Index == 0;
  if (Wanted.size() > 6 || Wanted.find_first_not_of("0123456789") != std::string::npos)
    return false;
  return static_cast<std::size_t>(std::stoul(Wanted)) == Index + 1;
}

bool IsErrorText(std::string_view T)
{
  static const char* const codes[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A",
                                      "#GETTING_DATA", "#SPILL!", "#CALC!"};
  for (const char* c : codes)
    if (T == c)
      return true;
  return T.size() > 4 && T.substr(0, 4) == "Err:" && T.find_first_not_of("0123456789", 4) == std::string_view::npos;
}

// ---------------------------------------------------------------------------------------------
// ods: cells arrive through liborcus's import interface

namespace {

namespace ss = orcus::spreadsheet;
namespace iface = orcus::spreadsheet::iface;

// Polls the cancel flag every so many cells.
constexpr int PollEvery = 4096;

// The workbook's strings, shared by all sheets; counted against the budget.
class TOdsStrings : public iface::import_shared_strings {
public:
  explicit TOdsStrings(std::size_t Budget) : FBudget(Budget) {}
  std::vector<std::string> Texts;

  std::size_t append(std::string_view s) override { return Push(s); }
  std::size_t add(std::string_view s) override { return Push(s); }
  void set_segment_font(std::size_t) override {}
  void set_segment_bold(bool) override {}
  void set_segment_italic(bool) override {}
  void set_segment_font_name(std::string_view) override {}
  void set_segment_font_size(double) override {}
  void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
  void append_segment(std::string_view s) override
  {
    Spend(s.size());
    FSegments.append(s);
  }
  std::size_t commit_segments() override
  {
    const std::size_t i = Push(FSegments);
    FSegments.clear();
    return i;
  }

private:
  std::size_t Push(std::string_view s)
  {
    Spend(s.size() + sizeof(std::string));
    Texts.emplace_back(s);
    return Texts.size() - 1;
  }
  void Spend(std::size_t Bytes)
  {
    FSpent += Bytes;
    if (FSpent > FBudget)
      throw EOrvexSheetError("the workbook holds more text than its file size allows");
  }
  std::size_t FBudget;
  std::size_t FSpent = 0;
  std::string FSegments;
};

// A sheet's cells into a grid, or nowhere (Grid null: a sheet not chosen).
class TOdsSheet : public iface::import_sheet, private iface::import_formula {
public:
  TOdsSheet(TSheetGrid* Grid, const TOdsStrings& Strings, const TReadControl& Control)
      : FGrid(Grid), FStrings(Strings), FControl(Control)
  {
  }

  iface::import_formula* get_formula() override { return this; }
  void set_auto(ss::row_t r, ss::col_t c, std::string_view s) override
  {
    if (Count())
      FGrid->SetText(r, c, s);
  }
  void set_string(ss::row_t r, ss::col_t c, ss::string_id_t id) override
  {
    if (!Count())
      return;
    if (id >= FStrings.Texts.size())
      throw EOrvexSheetError("a cell refers to a text that does not exist");
    FGrid->SetText(r, c, FStrings.Texts[id]);
  }
  void set_value(ss::row_t r, ss::col_t c, double v) override
  {
    if (Count())
      FGrid->SetNumber(r, c, v);
  }
  void set_bool(ss::row_t r, ss::col_t c, bool v) override
  {
    if (Count())
      FGrid->SetNumber(r, c, v ? 1.0 : 0.0);
  }
  void set_date_time(ss::row_t r, ss::col_t c, int y, int m, int d, int h, int mi, double s) override
  {
    if (Count())
      FGrid->SetNumber(r, c, SerialDay(y, m, d, h, mi, s));
  }
  void set_format(ss::row_t, ss::col_t, std::size_t) override {}
  void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, std::size_t) override {}
  void fill_down_cells(ss::row_t, ss::col_t, ss::row_t) override {}
  ss::range_size_t get_sheet_size() const override
  {
    ss::range_size_t s;
    s.rows = static_cast<ss::row_t>(MaxSheetRows);
    s.columns = static_cast<ss::col_t>(MaxSheetColumns);
    return s;
  }

private:
  // import_formula: the cached result of a formula cell.
  enum class TResult : std::uint8_t { None, Number, Text, Bool };
  void set_position(ss::row_t r, ss::col_t c) override
  {
    FRow = r;
    FCol = c;
    FResult = TResult::None;
  }
  void set_formula(ss::formula_grammar_t, std::string_view) override {}
  void set_shared_formula_index(std::size_t) override {}
  void set_result_string(std::string_view v) override
  {
    FResult = TResult::Text;
    FText.assign(v);
  }
  void set_result_value(double v) override
  {
    FResult = TResult::Number;
    FValue = v;
  }
  void set_result_bool(bool v) override
  {
    FResult = TResult::Bool;
    FValue = v ? 1.0 : 0.0;
  }
  void set_result_empty() override { FResult = TResult::None; }
  void commit() override
  {
    if (!Count())
      return;
    switch (FResult) {
      case TResult::None: FGrid->SetNoValue(FRow, FCol); break;
      case TResult::Number:
      case TResult::Bool: FGrid->SetNumber(FRow, FCol, FValue); break;
      case TResult::Text:
        if (IsErrorText(FText))
          FGrid->SetError(FRow, FCol);
        else
          FGrid->SetText(FRow, FCol, FText);
        break;
    }
  }

  // Whether the cell is kept; polls the cancel flag now and then.
  bool Count()
  {
    if (++FCells % PollEvery == 0 && FControl.Cancel && FControl.Cancel->load())
      throw TCancelled();
    return FGrid != nullptr;
  }

  TSheetGrid* FGrid;
  const TOdsStrings& FStrings;
  const TReadControl& FControl;
  std::size_t FCells = 0;
  ss::row_t FRow = 0;
  ss::col_t FCol = 0;
  TResult FResult = TResult::None;
  double FValue = 0.0;
  std::string FText;
};

class TOdsFactory : public iface::import_factory {
public:
  TOdsFactory(const TSheetChoice& Choice, TSheetGrid* Grid, const TReadControl& Control)
      : Strings(Grid ? Grid->Budget() : std::size_t(16) << 20), FChoice(Choice), FGrid(Grid), FControl(Control)
  {
  }
  TOdsStrings Strings;
  TPackageRead Read;
  // A name that is all digits may also be a number: the sheet by that number goes here, and
  // is used when no sheet has the name.
  std::unique_ptr<TSheetGrid> ByNumberGrid;
  std::optional<std::size_t> ByNumberIndex;

  iface::import_shared_strings* get_shared_strings() override { return &Strings; }
  iface::import_sheet* append_sheet(ss::sheet_t Index, std::string_view Name) override
  {
    (void)Index;
    const std::size_t i = Read.SheetNames.size();
    Read.SheetNames.emplace_back(Name);
    TSheetGrid* target = nullptr;
    if (FGrid && !Read.Used && FChoice.ByName(Name)) {
      target = FGrid;
      Read.Used = i;
    } else if (FGrid && FChoice.ByNumber(i)) {
      ByNumberGrid = std::make_unique<TSheetGrid>(FGrid->Budget());
      ByNumberIndex = i;
      target = ByNumberGrid.get();
    }
    FSheets.push_back(std::make_unique<TOdsSheet>(target, Strings, FControl));
    return FSheets.back().get();
  }
  iface::import_sheet* get_sheet(std::string_view Name) override
  {
    for (std::size_t i = 0; i < Read.SheetNames.size(); ++i)
      if (Read.SheetNames[i] == Name)
        return FSheets[i].get();
    return nullptr;
  }
  iface::import_sheet* get_sheet(ss::sheet_t Index) override
  {
    return Index >= 0 && static_cast<std::size_t>(Index) < FSheets.size() ? FSheets[static_cast<std::size_t>(Index)].get()
                                                                          : nullptr;
  }
  void finalize() override {}

private:
  const TSheetChoice& FChoice;
  TSheetGrid* FGrid;
  const TReadControl& FControl;
  std::vector<std::unique_ptr<TOdsSheet>> FSheets;
};

}  // namespace

TPackageRead ReadOdsPackage(std::string_view Package, const TSheetChoice& Choice, TSheetGrid* Grid,
                            const TReadControl& Control)
{
  CheckXmlParts(Package);
  TOdsFactory factory(Choice, Grid, Control);
  {
    orcus::orcus_ods filter(&factory);
    filter.read_stream(Package);
  }
  if (factory.Read.SheetNames.empty())
    throw EOrvexSheetError("the workbook holds no sheet");
  if (Grid && !factory.Read.Used && factory.ByNumberGrid) {
    *Grid = std::move(*factory.ByNumberGrid);
    factory.Read.Used = factory.ByNumberIndex;
  }
  return factory.Read;
}

}  // namespace wbook

// ---------------------------------------------------------------------------------------------
// The entry

double SerialDay(int Year, int Month, int Day, int Hour, int Minute, double Second)
{
  // Days from 1970-01-01 of a proleptic Gregorian date (the civil-from-days inverse).
  const int y = Year - (Month <= 2);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (Month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + Day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const double days1970 = double(era) * 146097.0 + doe - 719468.0;
  // 1899-12-30 is 25569 days before 1970-01-01.
  return days1970 + 25569.0 + (Hour * 3600.0 + Minute * 60.0 + Second) / 86400.0;
}

namespace {

// The whole file, or nothing with Message set.
bool LoadFile(const std::string& FileName, std::string& Data, std::string& Message)
{
  std::ifstream in(FileName, std::ios::binary);
  if (!in) {
    Message = "the file does not exist or cannot be read";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) {
    Message = "the file cannot be read";
    return false;
  }
  in.seekg(0);
  Data.resize(static_cast<std::size_t>(size));
  if (!in.read(Data.data(), size)) {
    Message = "the file cannot be read";
    return false;
  }
  return true;
}

}  // namespace

bool WorkbookKindOf(const std::string& FileName, TWorkbookKind& Kind)
{
  if (EndsWithNoCase(FileName, ".xlsx") || EndsWithNoCase(FileName, ".xlsm")) {
    Kind = TWorkbookKind::Xlsx;
    return true;
  }
  if (EndsWithNoCase(FileName, ".ods")) {
    Kind = TWorkbookKind::Ods;
    return true;
  }
  // By content: an ods package starts with its stored "mimetype" part; an xlsx package names
  // its workbook part somewhere in its directory.
  const std::string head = ReadFileSample(FileName, 4096);
  if (head.size() < 30 || head.compare(0, 4, "PK\x03\x04") != 0)
    return false;
  if (head.find("application/vnd.oasis.opendocument.spreadsheet") != std::string::npos) {
    Kind = TWorkbookKind::Ods;
    return true;
  }
  if (head.find("[Content_Types].xml") != std::string::npos || head.find("xl/") != std::string::npos) {
    Kind = TWorkbookKind::Xlsx;
    return true;
  }
  return false;
}

namespace {

// Runs a package read with every failure turned into a status and a message.
template <typename FRead>
TReadStatus Guard(FRead&& Read, std::string& Message)
{
  try {
    Read();
    return TReadStatus::OK;
  } catch (const wbook::TCancelled&) {
    Message = "the read was cancelled";
    return TReadStatus::Cancelled;
  } catch (const EOrvexSheetError& e) {
    Message = e.what();
  } catch (const std::bad_alloc&) {
    Message = "not enough memory";
  } catch (const std::exception& e) {
    Message = std::string("the workbook is damaged (") + e.what() + ")";
  } catch (...) {
    Message = "the workbook is damaged";
  }
  return TReadStatus::CannotRead;
}

}  // namespace

TWorkbookResult ReadWorkbookFile(const std::string& FileName, const TWorkbookOptions& Options, TTableBuilder& Builder,
                                 const TReadControl& Control)
{
  TWorkbookResult res;
  const std::string where = "cannot read the workbook \"" + FileName + "\": ";
  TWorkbookKind kind = TWorkbookKind::Xlsx;
  std::string data;
  if (!WorkbookKindOf(FileName, kind)) {
    std::string ignored;
    res.Status = TReadStatus::CannotRead;
    res.Message = where + (LoadFile(FileName, data, ignored) ? "the file is no xlsx or ods workbook"
                                                             : "the file does not exist or cannot be read");
    return res;
  }
  if (!LoadFile(FileName, data, res.Message)) {
    res.Status = TReadStatus::CannotRead;
    res.Message = where + res.Message;
    return res;
  }
  if (Control.Progress)
    Control.Progress(0.0);
  TSheetGrid grid(wbook::BudgetFor(data.size()));
  wbook::TPackageRead read;
  const wbook::TSheetChoice choice{Options.Sheet};
  res.Status = Guard(
      [&] {
        wbook::CheckPackage(data, grid.Budget());
        read = kind == TWorkbookKind::Xlsx ? wbook::ReadXlsxPackage(data, choice, &grid, Control)
                                           : wbook::ReadOdsPackage(data, choice, &grid, Control);
      },
      res.Message);
  if (!res.Ok()) {
    if (res.Status != TReadStatus::Cancelled)
      res.Message = where + res.Message;
    return res;
  }
  res.SheetNames = read.SheetNames;
  if (!read.Used) {
    res.Status = TReadStatus::NoTable;
    res.Message = where + "it has no sheet \"" + Options.Sheet + "\" (its sheets: ";
    for (std::size_t i = 0; i < read.SheetNames.size(); ++i)
      res.Message += (i ? ", \"" : "\"") + read.SheetNames[i] + "\"";
    res.Message += ")";
    return res;
  }
  res.SheetUsed = read.SheetNames[*read.Used];
  data = std::string();  // the package is no longer needed: free it before the table is laid out
  try {
    res.Table = BuildSheetTable(grid, Options.Rules, res.SheetUsed, Builder, Options.MaxRows);
  } catch (const EOrvexError& e) {
    res.Table.Status = TReadStatus::TooLarge;
    res.Table.Message = e.what();
  } catch (const std::bad_alloc&) {
    res.Table.Status = TReadStatus::TooLarge;
    res.Table.Message = "not enough memory";
  }
  if (!res.Table.Ok()) {
    res.Status = res.Table.Status;
    res.Message = where + res.Table.Message;
  }
  if (Control.Progress)
    Control.Progress(1.0);
  return res;
}

std::vector<std::string> WorkbookSheetNames(const std::string& FileName, std::string& Message)
{
  TWorkbookKind kind = TWorkbookKind::Xlsx;
  std::string data;
  Message.clear();
  if (!WorkbookKindOf(FileName, kind)) {
    Message = "the file is no xlsx or ods workbook";
    return {};
  }
  if (!LoadFile(FileName, data, Message))
    return {};
  wbook::TPackageRead read;
  const TReadStatus status = Guard(
      [&] {
        wbook::CheckPackage(data, wbook::BudgetFor(data.size()));
        read = kind == TWorkbookKind::Xlsx ? wbook::ReadXlsxPackage(data, {}, nullptr, {})
                                           : wbook::ReadOdsPackage(data, {}, nullptr, {});
      },
      Message);
  return status == TReadStatus::OK ? read.SheetNames : std::vector<std::string>();
}

}  // namespace orvex
