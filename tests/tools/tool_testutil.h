// The command-line tools run as processes in their tests: a fixture with a scratch folder per
// process, the tool's exit status and its two output streams.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tool_test {

struct TToolResult {
  int Status = -1;
  std::string Out;
  std::string Err;
};

inline std::string ReadFile(const std::filesystem::path& P)
{
  std::ifstream f(P, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

inline std::string ShellQuoted(const std::string& S)
{
  std::string q = "'";
  for (char c : S)
    q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Tool: the program's path; Env: shell words put before every command (an environment).
class TToolProcessTest : public ::testing::Test {
protected:
  TToolProcessTest(std::string Tool, std::string Name, std::string Env = "")
      : FTool(std::move(Tool)), FName(std::move(Name)), FEnv(std::move(Env))
  {
  }
  void SetUp() override
  {
    Dir = std::filesystem::temp_directory_path() / (FName + "_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }

  // Prefix: shell commands run before the tool (a resource limit, say).
  TToolResult Run(const std::vector<std::string>& Args, const std::string& Prefix = "") const
  {
    std::string cmd = FEnv + Prefix + ShellQuoted(FTool);
    for (const std::string& a : Args)
      cmd += " " + ShellQuoted(a);
    cmd += " >" + ShellQuoted((Dir / "out").string()) + " 2>" + ShellQuoted((Dir / "err").string());
    const int raw = std::system(cmd.c_str());
    TToolResult r;
    r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.Out = ReadFile(Dir / "out");
    r.Err = ReadFile(Dir / "err");
    return r;
  }

  std::string WriteFile(const std::string& Name, const std::string& Text) const
  {
    const std::filesystem::path p = Dir / Name;
    std::ofstream(p, std::ios::binary) << Text;
    return p.string();
  }

  std::filesystem::path Dir;

private:
  std::string FTool, FName, FEnv;
};

}  // namespace tool_test
