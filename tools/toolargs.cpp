// The options the fitting tools share and the loading of their table; see toolargs.h.
#include "toolargs.h"

#include "demodata.h"
#include "orvex_datatable.h"
#include "orvex_datatable_memory.h"
#include "orvex_math2.h"

#include <algorithm>
#include <cstdio>

namespace orvex {

namespace {

std::string& ToolNameStore()
{
  static std::string name = "mlrreport";
  return name;
}

}  // namespace

[[noreturn]] void UsageError(const std::string& Text)
{
  throw TToolError{Text, true};
}

[[noreturn]] void ToolError(const std::string& Text)
{
  throw TToolError{Text, false};
}

void SetToolName(const std::string& Name)
{
  ToolNameStore() = Name;
}

const std::string& ToolName()
{
  return ToolNameStore();
}

namespace {

// Reading options: how a delimited file is read, which sheet of a workbook. Returns false when
// Arg is none of them; takes the value of --delimiter and --sheet from the next argument (or
// after "=").
bool ParseReadingOption(const std::string& Arg, int& I, int Argc, char** Argv, TTableReadOptions& R)
{
  TDelimitedDialect& D = R.Delimited;
  if (Arg == "--sheet" || Arg.rfind("--sheet=", 0) == 0) {
    if (Arg == "--sheet" && I + 1 >= Argc)
      UsageError("option --sheet needs a value");
    R.Workbook.Sheet = Arg == "--sheet" ? Argv[++I] : Arg.substr(8);
    if (R.Workbook.Sheet.empty())
      UsageError("option --sheet needs a sheet name or number");
  } else if (Arg == "--delimiter" || Arg.rfind("--delimiter=", 0) == 0) {
    std::string v;
    if (Arg == "--delimiter") {
      if (I + 1 >= Argc)
        UsageError("option --delimiter needs a value");
      v = Argv[++I];
    } else {
      v = Arg.substr(12);
    }
    if (v == "," || v == "comma")
      D.Delimiter = dlComma;
    else if (v == ";" || v == "semicolon")
      D.Delimiter = dlSemicolon;
    else if (v == "tab" || v == "\t")
      D.Delimiter = dlTab;
    else if (v == "|" || v == "pipe")
      D.Delimiter = dlPipe;
    else if (v == "space" || v == " ")
      D.Delimiter = dlBlanks;
    else
      UsageError("unknown delimiter \"" + v + "\" (use , ; tab | or space)");
  } else if (Arg == "--decimal-comma") {
    D.DecimalMark = TDecimalMark::Comma;
  } else if (Arg == "--decimal-point") {
    D.DecimalMark = TDecimalMark::Point;
  } else if (Arg == "--header") {
    D.Header = TPresence::Yes;
  } else if (Arg == "--no-header") {
    D.Header = TPresence::No;
  } else {
    return false;
  }
  return true;
}

// Reads the file by its format into the table; a file that cannot be read leaves the table.
void LoadTableFile(const std::string& FileName, const TTableReadOptions& Reading, TDataTable& Table,
                   TReadSource* Source = nullptr)
{
  TTableBuilder builder;
  TCustomData custom;
  const TTableFileResult r = ReadTableFileWith(FileName, Reading, builder, TReadControl(), &custom);
  if (Source && r.Ok()) {
    Source->FromFile = true;
    Source->Format = r.Format;
    Source->Dialect = r.Delimited.Detected.Dialect;
    Source->CustomData = std::move(custom);
  }
  if (!r.Ok())
    ToolError(r.Message);
  for (const TLeftOutColumn& c : r.Delimited.LeftOut)
    std::fprintf(stderr, "%s: column %d \"%s\" left out: %s\n", ToolName().c_str(), c.Field, c.Name.c_str(),
                 c.Reason.c_str());
  for (const std::string& note : r.Stat.Notes)
    std::fprintf(stderr, "%s: %s\n", ToolName().c_str(), note.c_str());
  const TSheetTableResult& sheet = r.Workbook.Table;
  if (sheet.ErrorCells > 0 || sheet.NoValueCells > 0)
    std::fprintf(stderr,
                 "%s: sheet \"%s\": %lld error values read as not-a-number, %lld formulas without a cached value "
                 "read as empty\n",
                 ToolName().c_str(), r.Workbook.SheetUsed.c_str(), static_cast<long long>(sheet.ErrorCells),
                 static_cast<long long>(sheet.NoValueCells));
  Table.Adopt(std::move(builder));
}

// ---- Resources: threads, and the memory a table needs ---------------------------------------

// The options about the machine's resources; false when Arg is none of them. Value(option)
// takes the option's value from the next argument.
template <typename TValue>
bool ParseResourceOption(const std::string& Arg, TValue&& Value, TFitArgs& O)
{
  std::string text;
  if (Arg == "--threads")
    text = Value("--threads");
  else if (Arg.rfind("--threads=", 0) == 0)
    text = Arg.substr(10);
  else
    return false;
  int n = 0;
  const bool digits = !text.empty() && text.size() <= 2 &&
                      std::all_of(text.begin(), text.end(), [](char C) { return C >= '0' && C <= '9'; });
  if (digits)
    n = std::stoi(text);
  if (n < 1 || n > TTaskPool::MaxThreads)
    UsageError("--threads needs a whole number from 1 to 64, not \"" + text + "\"");
  O.Threads = n;
  return true;
}

std::string Mebibytes(std::int64_t Bytes)
{
  return std::to_string((Bytes + (std::int64_t(1) << 20) - 1) >> 20) + " MiB";
}

// Refuses, before reading anything, a file whose table would not fit in the memory available
// (a delimited file's by an estimate from its start).
void CheckMemory(const std::string& FileName, const TDelimitedDialect& Reading, const std::string& Hint)
{
  const TMemoryCheck check = DecideFileFormat(FileName) == TFileFormat::Asc
                                 ? CheckAscFileFitsInMemory(FileName)
                                 : CheckDelimitedFileFitsInMemory(FileName, Reading);
  if (!check.Fits)
    ToolError("the table of \"" + FileName + "\" needs about " + Mebibytes(check.NeededBytes) +
              " of memory, but only " + Mebibytes(check.AvailableBytes) + " are available" + Hint);
}

// ---- Model options: weights, intercept, robust standard errors, reference levels ----------

// The model options; false when Arg is none of them. Value(option) takes the option's value
// from the next argument.
template <typename TValue>
bool ParseModelOption(const std::string& Arg, TValue&& Value, TFitArgs& O)
{
  auto valueOf = [&](const char* Name) -> std::optional<std::string> {
    const std::string name = Name;
    if (Arg == name)
      return Value(Name);
    if (Arg.rfind(name + "=", 0) == 0)
      return Arg.substr(name.size() + 1);
    return std::nullopt;
  };
  if (Arg == "--no-intercept") {
    O.NoIntercept = true;
  } else if (auto w = valueOf("--weights")) {
    O.Weights = *w;
  } else if (auto r = valueOf("--robust")) {
    if (!ParseRobustType(*r, O.Robust) || O.Robust == TRobustType::None)
      UsageError("--robust needs HC0, HC1, HC2 or HC3, not \"" + *r + "\"");
  } else if (auto ref = valueOf("--reference")) {
    if (ref->find('=') == std::string::npos)
      UsageError("--reference needs COL=LEVEL, not \"" + *ref + "\"");
    O.References.push_back(*ref);
  } else {
    return false;
  }
  return true;
}

bool IsWholeNumber(const std::string& S)
{
  if (S.empty())
    return false;
  for (char c : S)
    if (c < '0' || c > '9')
      return false;
  return true;
}

}  // namespace

bool ParseFitArg(int& I, int Argc, char** Argv, TFitArgs& Args)
{
  const std::string arg = Argv[I];
  auto value = [&](const char* Option) {
    if (I + 1 >= Argc)
      UsageError(std::string("option ") + Option + " needs a value");
    return std::string(Argv[++I]);
  };
  if (arg == "--inputs")
    Args.Inputs = value("--inputs");
  else if (arg.rfind("--inputs=", 0) == 0)
    Args.Inputs = arg.substr(9);
  else if (arg == "--target")
    Args.Target = value("--target");
  else if (arg.rfind("--target=", 0) == 0)
    Args.Target = arg.substr(9);
  else if (ParseReadingOption(arg, I, Argc, Argv, Args.Reading) || ParseResourceOption(arg, value, Args) ||
           ParseModelOption(arg, value, Args))
    return true;
  else if (arg.size() > 1 && arg[0] == '-')
    return false;
  else if (Args.FileName)
    UsageError("more than one file given: " + *Args.FileName + " and " + arg);
  else
    Args.FileName = arg;
  return true;
}

int ResolveColumn(const std::vector<std::string>& Names, const std::string& Column, const char* Option)
{
  if (Column.empty())
    ToolError(std::string("empty column in ") + Option);
  if (IsWholeNumber(Column)) {
    const std::string digits = Column.substr(std::min(Column.find_first_not_of('0'), Column.size()));
    const int n = static_cast<int>(Names.size());
    if (digits.empty() || digits.size() > 9 || std::stoi(digits) > n)
      ToolError(std::string("unknown column number ") + Column + " in " + Option +
                " (the table has " + std::to_string(n) + " columns)");
    return std::stoi(digits);
  }
  // A name that several columns share would pick one of them silently: ask for the number.
  int found = 0;
  for (int i = 1; i <= static_cast<int>(Names.size()); ++i)
    if (Names[static_cast<std::size_t>(i - 1)] == Column) {
      if (found != 0)
        ToolError(std::string("column name \"") + Column + "\" in " + Option +
                  " is ambiguous (columns " + std::to_string(found) + " and " + std::to_string(i) +
                  "); give the column number");
      found = i;
    }
  if (found == 0)
    ToolError(std::string("unknown column \"") + Column + "\" in " + Option);
  return found;
}

namespace {

std::vector<int> ResolveColumnList(const std::vector<std::string>& Names, const std::string& List)
{
  std::vector<int> cols;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = List.find(',', start);
    cols.push_back(ResolveColumn(Names, List.substr(start, comma - start), "--inputs"));
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
  return cols;
}

}  // namespace

std::vector<std::string> ColumnNames(const TDataTable& Table)
{
  std::vector<std::string> names;
  for (int c = 1; c <= Table.NrOfColumns(); ++c)
    names.push_back(Table.ColName(c));
  return names;
}

TRoleState MakeRoles(const TFitArgs& Options, const std::vector<std::string>& Names)
{
  if (!Options.Inputs)
    UsageError("no input variable given (--inputs LIST)");
  if (!Options.Target)
    UsageError("no target variable given (--target COL)");
  const std::vector<int> inputs = ResolveColumnList(Names, *Options.Inputs);
  const int target = ResolveColumn(Names, *Options.Target, "--target");
  auto name = [&](int c) { return Names[static_cast<std::size_t>(c - 1)]; };

  TRoleState roles(static_cast<int>(Names.size()));
  for (int c : inputs) {
    if (c == target)
      ToolError("the target variable \"" + name(target) +
                "\" is also among the inputs");
    // The roles are one flag per column: a repeated column would silently fit a model with
    // fewer inputs than the user listed (often a typing slip for another column).
    if (roles.Input(c))
      ToolError("column \"" + name(c) + "\" is given twice in --inputs");
    roles.SetInput(c, true);
  }
  roles.SetTarget(target, true);
  return roles;
}

TMLRModelOptions MakeModelOptions(const TFitArgs& O, const TDataTable& Table, const TRoleState& Roles)
{
  const std::vector<std::string> names = ColumnNames(Table);
  TMLRModelOptions m;
  m.Intercept = !O.NoIntercept;
  m.Robust = O.Robust;
  if (O.Weights) {
    m.WeightCol = ResolveColumn(names, *O.Weights, "--weights");
    if (Roles.Target(m.WeightCol) || Roles.Input(m.WeightCol))
      ToolError("the weight column \"" + Table.ColName(m.WeightCol) + "\" is also " +
                (Roles.Target(m.WeightCol) ? "the target" : "among the inputs"));
  }
  for (const std::string& ref : O.References) {
    // The column name may itself hold "=": the level is after the last one.
    const std::size_t eq = ref.rfind('=');
    const int col = ResolveColumn(names, ref.substr(0, eq), "--reference");
    const std::string level = ref.substr(eq + 1);
    if (Table.VarType(col) != vtNominal)
      ToolError("--reference: column \"" + Table.ColName(col) + "\" is not categorical (Nominal)");
    if (!Roles.Input(col))
      ToolError("--reference: column \"" + Table.ColName(col) + "\" is not among the inputs");
    int found = Table.FindLevel(col, level, false);
    if (found < 0 && IsWholeNumber(level) && level.size() <= 3 && std::stoi(level) <= MaxLevel)
      found = std::stoi(level);
    if (found < 0)
      ToolError("--reference: column \"" + Table.ColName(col) + "\" has no level \"" + level + "\"");
    m.ReferenceLevels[col] = found;
  }
  return m;
}

void LoadFitTable(const TFitArgs& Options, TDataTable& Table, TReadSource* Source, const std::string& TooLargeHint)
{
  if (!Options.FileName) {
    LoadDemoData(Table);
    return;
  }
  const TFileFormat format = DecideFileFormat(*Options.FileName);
  if (format == TFileFormat::Asc || format == TFileFormat::Delimited)
    CheckMemory(*Options.FileName, Options.Reading.Delimited, TooLargeHint);
  LoadTableFile(*Options.FileName, Options.Reading, Table, Source);
}

}  // namespace orvex
