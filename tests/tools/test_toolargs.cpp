// The shared options of the fitting tools, parsed in the process: what a second tool relies on
// when it parses its own options beside them.
#include "toolargs.h"

#include "orvex_datatable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvex;

namespace {

// Parses Args as a tool does: the shared options through ParseFitArg, the others collected.
std::vector<std::string> Parse(std::vector<std::string> Args, TFitArgs& Fit)
{
  Args.insert(Args.begin(), "tool");
  std::vector<char*> argv;
  for (std::string& a : Args)
    argv.push_back(a.data());
  std::vector<std::string> own;
  for (int i = 1; i < static_cast<int>(argv.size()); ++i)
    if (!ParseFitArg(i, static_cast<int>(argv.size()), argv.data(), Fit))
      own.push_back(argv[static_cast<std::size_t>(i)]);
  return own;
}

}  // namespace

TEST(ToolArgs, SharedOptionsAreTakenAndTheToolsOwnAreLeft)
{
  TFitArgs fit;
  const std::vector<std::string> own =
      Parse({"--png", "data.csv", "--inputs", "a,b", "--target=y", "--weights", "w", "--robust=hc3", "--no-intercept",
             "--reference", "g=north", "--sheet", "2", "--delimiter", ";", "--threads", "2", "--dark"},
            fit);
  // A tool's own options are left to it (one that takes a value parses it before
  // ParseFitArg, which would take a plain word for the file).
  EXPECT_EQ(own, (std::vector<std::string>{"--png", "--dark"}));
  EXPECT_EQ(fit.FileName.value_or(""), "data.csv");
  EXPECT_EQ(fit.Inputs.value_or(""), "a,b");
  EXPECT_EQ(fit.Target.value_or(""), "y");
  EXPECT_EQ(fit.Weights.value_or(""), "w");
  EXPECT_EQ(fit.Robust, TRobustType::HC3);
  EXPECT_TRUE(fit.NoIntercept);
  EXPECT_EQ(fit.References, std::vector<std::string>{"g=north"});
  EXPECT_EQ(fit.Reading.Workbook.Sheet, "2");
  EXPECT_EQ(fit.Reading.Delimited.Delimiter, dlSemicolon);
  EXPECT_EQ(fit.Threads, 2);
  EXPECT_TRUE(fit.HasModelOptions());

  TFitArgs plain;
  Parse({"--inputs", "1", "--target", "2"}, plain);
  EXPECT_FALSE(plain.HasModelOptions());
  EXPECT_FALSE(plain.FileName);

  // Errors are usage errors with the texts mlrreport prints.
  auto usage = [](std::vector<std::string> Args) {
    TFitArgs f;
    try {
      Parse(std::move(Args), f);
    } catch (const TToolError& e) {
      EXPECT_TRUE(e.ShowUsageHint);
      return e.Text;
    }
    return std::string("no error");
  };
  EXPECT_EQ(usage({"a.csv", "b.csv"}), "more than one file given: a.csv and b.csv");
  EXPECT_EQ(usage({"--target"}), "option --target needs a value");
  EXPECT_EQ(usage({"--robust", "HC9"}), "--robust needs HC0, HC1, HC2 or HC3, not \"HC9\"");
  EXPECT_EQ(usage({"--threads", "0"}), "--threads needs a whole number from 1 to 64, not \"0\"");
}

TEST(ToolArgs, RolesAndModelOptionsResolveInTheTable)
{
  TDataTable table;
  TFitArgs fit;
  LoadFitTable(fit, table);  // no file: the demonstration data
  ASSERT_GT(table.NrOfColumns(), 3);
  const std::vector<std::string> names = ColumnNames(table);
  fit.Inputs = names[1] + ",3";
  fit.Target = "4";
  fit.Weights = "1";
  const TRoleState roles = MakeRoles(fit, names);
  EXPECT_TRUE(roles.Input(2) && roles.Input(3) && roles.Target(4));
  EXPECT_EQ(roles.NrOfInputs(), 2);
  const TMLRModelOptions model = MakeModelOptions(fit, table, roles);
  EXPECT_EQ(model.WeightCol, 1);
  EXPECT_TRUE(model.Intercept);

  fit.Weights = "4";
  try {
    MakeModelOptions(fit, table, roles);
    ADD_FAILURE() << "a weight column that is the target was taken";
  } catch (const TToolError& e) {
    EXPECT_FALSE(e.ShowUsageHint);
    EXPECT_EQ(e.Text, "the weight column \"" + names[3] + "\" is also the target");
  }
}
