// Shared by the workbook, statistics-package and xlsx-writer tests: a temporary folder per test,
// the committed sample files, tables read through the one entry, and running the scripts that
// made the samples (skipped with a message when their tools are missing).
#pragma once

#include "orvex_datatable.h"
#include "orvex_tablefile.h"
#include "table_dump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace orvex_test {

namespace fs = std::filesystem;

inline std::string SampleFile(const std::string& Name) { return std::string(ORVEX_TEST_FILES) + "/" + Name; }

class SheetFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    Dir = fs::temp_directory_path() / ("orvex_sheets_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Write(const std::string& Name, const std::string& Content)
  {
    const fs::path p = Dir / Name;
    std::ofstream(p, std::ios::binary) << Content;
    return p.string();
  }
  std::string Path(const std::string& Name) const { return (Dir / Name).string(); }
  fs::path Dir;
};

// Reads FileName through ReadTableFileWith into Table; the result says how it went.
inline orvex::TTableFileResult Load(const std::string& FileName, orvex::TDataTable& Table,
                                    const orvex::TTableReadOptions& Options = {})
{
  orvex::TTableBuilder b;
  orvex::TTableFileResult r = orvex::ReadTableFileWith(FileName, Options, b);
  if (r.Ok())
    Table.Adopt(std::move(b));
  return r;
}

// Runs a shell command quietly; true when it succeeded.
inline bool RunQuietly(const std::string& Command) { return std::system((Command + " >/dev/null 2>&1").c_str()) == 0; }

inline bool HavePythonModules(const char* Modules)
{
  return RunQuietly(std::string("/usr/bin/python3 -c 'import ") + Modules + "'");
}
inline bool HaveRPackage(const char* Package)
{
  return RunQuietly(std::string("Rscript -e 'suppressMessages(library(") + Package + "))'");
}

}  // namespace orvex_test
