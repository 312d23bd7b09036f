// The command-line options that the tools which fit a model share, and what they do before the
// fit: the file and how it is read (the delimited text overrides, the sheet of a workbook), the
// roles (--inputs, --target), the model options (--weights, --no-intercept, --robust,
// --reference) and --threads. A tool parses its arguments with ParseFitArg beside its own
// options, loads the table with LoadFitTable (the demonstration data without a file) and turns
// the roles and model options into the run's values with MakeRoles and MakeModelOptions.
//
// Every error the user can cause is a TToolError: the tool's main prints "NAME: text" on
// standard error (with a pointer to --help for a usage error) and exits with status 2. Notes
// that do not stop the tool (columns left out, the cells of a sheet read as missing) go to
// standard error as "NAME: note", NAME set by SetToolName.
#pragma once

#include "mlrdesign.h"
#include "mlrrun.h"
#include "orvex_tablefile.h"

#include <optional>
#include <string>
#include <vector>

namespace orvex {

class TDataTable;

// Thrown for every error the user can cause.
struct TToolError {
  std::string Text;
  bool ShowUsageHint = false;  // the error is in the arguments: point to --help
};
[[noreturn]] void UsageError(const std::string& Text);
[[noreturn]] void ToolError(const std::string& Text);

// The name the notes on standard error start with ("mlrreport" unless set).
void SetToolName(const std::string& Name);
const std::string& ToolName();

// The shared options as given; columns are resolved once the table is read.
struct TFitArgs {
  std::optional<std::string> FileName;
  TTableReadOptions Reading;  // overrides of the readers' detection, the sheet of a workbook
  std::optional<std::string> Inputs;
  std::optional<std::string> Target;
  int Threads = 0;  // 0: one per core
  // model options
  std::optional<std::string> Weights;
  bool NoIntercept = false;
  TRobustType Robust = TRobustType::None;
  std::vector<std::string> References;  // COL=LEVEL

  bool HasModelOptions() const
  {
    return Weights || NoIntercept || Robust != TRobustType::None || !References.empty();
  }
};

// Takes Argv[I] when it is one of the shared options (a value either after "=" or as the next
// argument, which then moves I on); a word that is no option is the file. False when Argv[I] is
// another option, which the tool then parses itself.
bool ParseFitArg(int& I, int Argc, char** Argv, TFitArgs& Args);

// What saving the table again needs to know of the file read: its format, the dialect used, an
// ASC file's key/value section.
struct TReadSource {
  bool FromFile = false;
  TFileFormat Format = TFileFormat::Asc;
  TDelimitedDialect Dialect;
  TCustomData CustomData;
};

// Loads the file of Args into Table, or the demonstration data without a file. An ASC or
// delimited file whose table would not fit in the memory available is refused before it is
// read; TooLargeHint is added to that message.
void LoadFitTable(const TFitArgs& Args, TDataTable& Table, TReadSource* Source = nullptr,
                  const std::string& TooLargeHint = std::string());

// The names of Table's columns, 1-based by position.
std::vector<std::string> ColumnNames(const TDataTable& Table);
// A column given by its 1-based number or its exact name; Option names the option in messages.
int ResolveColumn(const std::vector<std::string>& Names, const std::string& Column, const char* Option);
// The roles from --inputs and --target over the columns Names.
TRoleState MakeRoles(const TFitArgs& Args, const std::vector<std::string>& Names);
// The model options with their columns and levels resolved in Table.
TMLRModelOptions MakeModelOptions(const TFitArgs& Args, const TDataTable& Table, const TRoleState& Roles);

}  // namespace orvex
