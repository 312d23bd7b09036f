// Statistics-package files read through ReadStat into a table builder; see the header.
//
// ReadStat calls back per variable, per value and per value label; Stata files bring their value
// labels after the data, so the values are collected per variable first and the columns are
// made when the whole file is read. A callback never lets an exception into the C library: a
// failure is remembered and the callback asks the parser to stop.
#include "orvex_statfile.h"

#include "orvex_delimited_scan.h"
#include "orvex_sheetgrid.h"

#include <readstat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <new>

namespace orvex {

namespace {

struct TVariable {
  std::string Name, Label, LabelSet;
  bool IsString = false;
  std::vector<double> Values;
  std::vector<std::uint8_t> States;
  std::vector<std::string> Texts;
};

struct TContext {
  const TReadControl* Control = nullptr;
  std::size_t Budget = 0;
  std::size_t Spent = 0;
  std::int64_t Rows = 0;
  std::vector<TVariable> Vars;
  std::map<std::string, std::vector<std::pair<double, std::string>>> LabelSets;
  std::string Failure;  // why the read stopped, when we stopped it
  bool Cancelled = false;
  std::string LibraryError;
  std::size_t Polls = 0;
  std::int64_t Missing = 0;
  // The longest label-set name the variable handler may be given, or 0 for a terminated one:
  // a Stata file's value-label-name entries are fixed fields that the library hands over in
  // place, without a terminator when a name fills its field.
  std::size_t LabelSetLimit = 0;
  bool Dta = false;

  bool Spend(std::size_t Bytes)
  {
    Spent += Bytes;
    if (Spent <= Budget)
      return true;
    Failure = "the table would need more memory than a file of this size allows";
    return false;
  }
};

int OnMetadata(readstat_metadata_t* Metadata, void* Ctx)
{
  auto& c = *static_cast<TContext*>(Ctx);
  if (c.Dta) {
    const int version = readstat_get_file_format_version(Metadata);
    c.LabelSetLimit = version < 110 ? 9 : version < 118 ? 33 : 129;
  }
  const std::int64_t rows = readstat_get_row_count(Metadata);
  const std::int64_t vars = readstat_get_var_count(Metadata);
  // A declared size beyond the budget is refused before anything is stored.
  if (rows > 0 && vars > 0 &&
      static_cast<double>(rows) * static_cast<double>(vars) * (sizeof(double) + 1) > static_cast<double>(c.Budget)) {
    c.Failure = "the table it declares (" + std::to_string(rows) + " x " + std::to_string(vars) +
                ") needs more memory than a file of this size allows";
    return READSTAT_HANDLER_ABORT;
  }
  if (vars > 0 && static_cast<std::size_t>(vars) <= c.Budget / sizeof(TVariable))
    c.Vars.reserve(static_cast<std::size_t>(vars));
  return READSTAT_HANDLER_OK;
}

int OnVariable(int Index, readstat_variable_t* Variable, const char* LabelSet, void* Ctx)
{
  auto& c = *static_cast<TContext*>(Ctx);
  if (Index < 0 || static_cast<std::size_t>(Index) != c.Vars.size()) {
    c.Failure = "the variables are out of order";
    return READSTAT_HANDLER_ABORT;
  }
  if (!c.Spend(sizeof(TVariable) + 64))
    return READSTAT_HANDLER_ABORT;
  TVariable v;
  const char* name = readstat_variable_get_name(Variable);
  const char* label = readstat_variable_get_label(Variable);
  v.Name = name ? name : "";
  v.Label = label ? label : "";
  if (LabelSet)
    v.LabelSet = c.LabelSetLimit ? std::string(LabelSet, strnlen(LabelSet, c.LabelSetLimit)) : std::string(LabelSet);
  v.IsString = readstat_variable_get_type_class(Variable) == READSTAT_TYPE_CLASS_STRING;
  c.Vars.push_back(std::move(v));
  return READSTAT_HANDLER_OK;
}

int OnValue(int Row, readstat_variable_t* Variable, readstat_value_t Value, void* Ctx)
{
  auto& c = *static_cast<TContext*>(Ctx);
  if (++c.Polls % 4096 == 0 && c.Control->Cancel && c.Control->Cancel->load()) {
    c.Cancelled = true;
    return READSTAT_HANDLER_ABORT;
  }
  const int index = readstat_variable_get_index(Variable);
  if (Row < 0 || index < 0 || static_cast<std::size_t>(index) >= c.Vars.size()) {
    c.Failure = "a value belongs to no variable";
    return READSTAT_HANDLER_ABORT;
  }
  TVariable& v = c.Vars[static_cast<std::size_t>(index)];
  const auto r = static_cast<std::size_t>(Row);
  if (r >= v.States.size()) {
    // Grown by doubling: count the new capacity against the budget.
    const std::size_t want = std::max<std::size_t>(r + 1, v.States.size() * 2);
    if (!c.Spend((want - v.States.size()) * (v.IsString ? sizeof(std::string) + 1 : sizeof(double) + 1)))
      return READSTAT_HANDLER_ABORT;
    v.States.resize(want, csEmpty);
    if (v.IsString)
      v.Texts.resize(want);
    else
      v.Values.resize(want, 0.0);
  }
  c.Rows = std::max<std::int64_t>(c.Rows, Row + 1);
  if (v.IsString) {
    const char* s = readstat_string_value(Value);
    if (s && *s) {
      const std::size_t n = std::strlen(s);
      if (!c.Spend(n))
        return READSTAT_HANDLER_ABORT;
      v.Texts[r].assign(s, n);
      v.States[r] = 0;
    } else {
      ++c.Missing;
    }
    return READSTAT_HANDLER_OK;
  }
  if (readstat_value_is_system_missing(Value) || readstat_value_is_tagged_missing(Value) ||
      readstat_value_is_defined_missing(Value, Variable)) {
    ++c.Missing;
    return READSTAT_HANDLER_OK;
  }
  const double d = readstat_double_value(Value);
  if (std::isfinite(d)) {
    v.Values[r] = d;
    v.States[r] = 0;
  } else {
    v.States[r] = csNotANumber;
  }
  return READSTAT_HANDLER_OK;
}

int OnValueLabel(const char* LabelSet, readstat_value_t Value, const char* Label, void* Ctx)
{
  auto& c = *static_cast<TContext*>(Ctx);
  if (!LabelSet || !Label || readstat_value_type_class(Value) != READSTAT_TYPE_CLASS_NUMERIC ||
      readstat_value_is_system_missing(Value) || readstat_value_is_tagged_missing(Value))
    return READSTAT_HANDLER_OK;
  if (!c.Spend(std::strlen(Label) + 48))
    return READSTAT_HANDLER_ABORT;
  c.LabelSets[LabelSet].emplace_back(readstat_double_value(Value), Label);
  return READSTAT_HANDLER_OK;
}

int OnProgress(double Progress, void* Ctx)
{
  auto& c = *static_cast<TContext*>(Ctx);
  if (c.Control->Cancel && c.Control->Cancel->load()) {
    c.Cancelled = true;
    return READSTAT_HANDLER_ABORT;
  }
  if (c.Control->Progress)
    c.Control->Progress(0.9 * Progress);
  return READSTAT_HANDLER_OK;
}

void OnError(const char* Message, void* Ctx)
{
  auto& c = *static_cast<TContext*>(Ctx);
  if (Message && c.LibraryError.empty()) {
    c.LibraryError = Message;
    while (!c.LibraryError.empty() && (c.LibraryError.back() == '\n' || c.LibraryError.back() == ' '))
      c.LibraryError.pop_back();
  }
}

struct TParserFree {
  void operator()(readstat_parser_t* P) const { readstat_parser_free(P); }
};

bool IsLevel(double V) { return V >= 0 && V <= MaxLevel && V == std::floor(V); }

// The columns from the collected variables.
TStatFileResult BuildTable(TContext& C, const TStatFileOptions& Options, TTableBuilder& Builder)
{
  TStatFileResult res;
  const int cols = static_cast<int>(C.Vars.size());
  const int rows = static_cast<int>(C.Rows);
  Builder.Resize(cols, rows);
  std::vector<bool> keep(static_cast<std::size_t>(cols), true);
  for (int col = 1; col <= cols; ++col) {
    TVariable& v = C.Vars[static_cast<std::size_t>(col - 1)];
    v.States.resize(static_cast<std::size_t>(rows), csEmpty);  // values never delivered are missing
    const std::string name = Options.LabelsAsNames && !v.Label.empty() ? v.Label : v.Name;
    Builder.SetColName(col, name);
    double* values = Builder.Column(col);
    std::uint8_t* states = Builder.ColumnStates(col);
    std::copy(v.States.begin(), v.States.end(), states);
    if (!v.IsString) {
      v.Values.resize(static_cast<std::size_t>(rows), 0.0);
      std::copy(v.Values.begin(), v.Values.end(), values);
      const auto set = C.LabelSets.find(v.LabelSet);
      if (v.LabelSet.empty() || set == C.LabelSets.end() || set->second.empty())
        continue;
      bool levels = std::all_of(set->second.begin(), set->second.end(), [](const auto& L) { return IsLevel(L.first); });
      for (int r = 0; r < rows && levels; ++r)
        levels = states[r] != 0 || IsLevel(values[r]);
      if (!levels) {
        res.Notes.push_back("the value labels of \"" + name + "\" are not used: its values lie outside 0..150, so it "
                            "stays numeric");
        continue;
      }
      Builder.SetVarType(col, vtNominal);
      for (const auto& [value, label] : set->second)
        Builder.SetLevelName(col, static_cast<int>(value), label);
      continue;
    }
    // A string variable: numbers when every text reads as one, else levels.
    bool numbers = true;
    for (int r = 0; r < rows && numbers; ++r) {
      double d = 0.0;
      numbers = states[r] != 0 ||
                delim::ClassifyCell(v.Texts[static_cast<std::size_t>(r)], '.', {}, d) == delim::TCellKind::Number;
    }
    TLevelCoder coder;
    for (int r = 0; r < rows; ++r) {
      values[r] = 0.0;
      if (states[r] != 0)
        continue;
      const std::string& t = v.Texts[static_cast<std::size_t>(r)];
      double d = 0.0;
      if (numbers)
        delim::ClassifyCell(t, '.', {}, d);
      else
        d = coder.Code(t);
      values[r] = d;
    }
    if (numbers)
      continue;
    if (coder.Overflow()) {
      keep[static_cast<std::size_t>(col - 1)] = false;
      res.LeftOut.push_back({col, name, "more than " + std::to_string(delim::MaxLevels) + " different texts"});
      continue;
    }
    Builder.SetVarType(col, vtNominal);
    for (std::size_t l = 0; l < coder.Texts().size(); ++l)
      Builder.SetLevelName(col, static_cast<int>(l), coder.Texts()[l]);
  }
  if (std::find(keep.begin(), keep.end(), true) == keep.end()) {
    res.Status = TReadStatus::NoTable;
    res.Message = "no column is left: every variable holds more than 150 different texts";
    return res;
  }
  Builder.KeepColumns(keep);
  return res;
}

}  // namespace

bool StatFileKindOf(const std::string& FileName, TStatFileKind& Kind)
{
  static const std::pair<const char*, TStatFileKind> byExtension[] = {
      {".sav", TStatFileKind::Sav},           {".zsav", TStatFileKind::Sav}, {".por", TStatFileKind::Por},
      {".dta", TStatFileKind::Dta},           {".sas7bdat", TStatFileKind::Sas7bdat},
      {".xpt", TStatFileKind::Xport}};
  for (const auto& [ext, kind] : byExtension)
    if (EndsWithNoCase(FileName, ext)) {
      Kind = kind;
      return true;
    }
  const std::string head = ReadFileSample(FileName, 80);
  if (head.compare(0, 4, "$FL2") == 0 || head.compare(0, 4, "$FL3") == 0)
    Kind = TStatFileKind::Sav;
  else if (head.compare(0, 11, "<stata_dta>") == 0)
    Kind = TStatFileKind::Dta;
  else if (head.compare(0, 20, "HEADER RECORD*******") == 0)
    Kind = TStatFileKind::Xport;
  else
    return false;
  return true;
}

TStatFileResult ReadStatFile(const std::string& FileName, const TStatFileOptions& Options, TTableBuilder& Builder,
                             const TReadControl& Control)
{
  TStatFileResult res;
  const std::string where = "cannot read the file \"" + FileName + "\": ";
  TStatFileKind kind = TStatFileKind::Sav;
  std::error_code ec;
  const auto size = std::filesystem::file_size(FileName, ec);
  if (ec || !std::filesystem::is_regular_file(FileName, ec)) {
    res.Status = TReadStatus::CannotRead;
    res.Message = where + "the file does not exist or cannot be read";
    return res;
  }
  if (!StatFileKindOf(FileName, kind)) {
    res.Status = TReadStatus::CannotRead;
    res.Message = where + "it is no SPSS, Stata or SAS file";
    return res;
  }
  TContext c;
  c.Control = &Control;
  c.Budget = 64 * static_cast<std::size_t>(size) + (std::size_t(16) << 20);
  readstat_error_t err = READSTAT_OK;
  try {
    std::unique_ptr<readstat_parser_t, TParserFree> parser(readstat_parser_init());
    if (!parser)
      throw std::bad_alloc();
    readstat_set_metadata_handler(parser.get(), OnMetadata);
    readstat_set_variable_handler(parser.get(), OnVariable);
    readstat_set_value_handler(parser.get(), OnValue);
    readstat_set_value_label_handler(parser.get(), OnValueLabel);
    readstat_set_progress_handler(parser.get(), OnProgress);
    readstat_set_error_handler(parser.get(), OnError);
    switch (kind) {
      case TStatFileKind::Sav: err = readstat_parse_sav(parser.get(), FileName.c_str(), &c); break;
      case TStatFileKind::Por: err = readstat_parse_por(parser.get(), FileName.c_str(), &c); break;
      case TStatFileKind::Dta:
        c.Dta = true;
        err = readstat_parse_dta(parser.get(), FileName.c_str(), &c);
        break;
      case TStatFileKind::Sas7bdat: err = readstat_parse_sas7bdat(parser.get(), FileName.c_str(), &c); break;
      case TStatFileKind::Xport: err = readstat_parse_xport(parser.get(), FileName.c_str(), &c); break;
    }
  } catch (const std::bad_alloc&) {
    c.Failure = "not enough memory";
    err = READSTAT_ERROR_MALLOC;
  }
  if (c.Cancelled) {
    res.Status = TReadStatus::Cancelled;
    res.Message = "the read was cancelled";
    return res;
  }
  if (!c.Failure.empty() || err != READSTAT_OK) {
    res.Status = c.Failure.find("memory") != std::string::npos ? TReadStatus::TooLarge : TReadStatus::CannotRead;
    std::string why = c.Failure;
    if (why.empty()) {
      why = readstat_error_message(err);
      if (!c.LibraryError.empty())
        why += " (" + c.LibraryError + ")";
    }
    res.Message = where + why;
    return res;
  }
  if (c.Vars.empty() || c.Rows == 0) {
    res.Status = TReadStatus::NoTable;
    res.Message = where + (c.Vars.empty() ? "it holds no variables" : "it holds no observations");
    return res;
  }
  if (c.Rows > INT32_MAX - 1 || c.Vars.size() > static_cast<std::size_t>(INT32_MAX - 1)) {
    res.Status = TReadStatus::TooLarge;
    res.Message = where + "it holds more rows or variables than a table holds";
    return res;
  }
  try {
    TStatFileResult built = BuildTable(c, Options, Builder);
    built.MissingCells = c.Missing;
    if (!built.Ok())
      built.Message = where + built.Message;
    if (Control.Progress)
      Control.Progress(1.0);
    return built;
  } catch (const EOrvexError& e) {
    res.Status = TReadStatus::TooLarge;
    res.Message = where + e.what();
  } catch (const std::bad_alloc&) {
    res.Status = TReadStatus::TooLarge;
    res.Message = where + "not enough memory";
  }
  return res;
}

}  // namespace orvex
