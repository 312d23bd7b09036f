// The memory check of large tables: the estimate against the available figure, and the files
// that are no memory question (unreadable, or too short for the table they declare).
#include "orvex_datatable_memory.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace orvex;
namespace fs = std::filesystem;

TEST(TableMemory, CheckComparesTheEstimateWithTheAvailableMemory)
{
  const fs::path dir = fs::temp_directory_path() / ("table_memory_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "t.asc").string();
  std::ofstream(file) << "t\n3\n4\nFALSE FALSE FALSE FALSE\n1 2 3\n4 5 6\n7 8 9\n1 1 1\n";

  // The estimate grows with the cells and saturates instead of overflowing.
  const std::int64_t need = TableFitMemoryBytes(3, 4);
  EXPECT_GT(TableFitMemoryBytes(21, 1000000), 400ll << 20);
  EXPECT_LT(TableFitMemoryBytes(21, 1000000), 600ll << 20);
  EXPECT_GT(TableFitMemoryBytes(2000000000, 2000000000), TableFitMemoryBytes(21, 1000000));

  TMemoryCheck c = CheckAscFileFitsInMemory(file, need);
  EXPECT_TRUE(c.Fits);
  EXPECT_EQ(c.NeededBytes, need);
  EXPECT_EQ(c.AvailableBytes, need);
  c = CheckAscFileFitsInMemory(file, need - 1);
  EXPECT_FALSE(c.Fits);
  EXPECT_EQ(c.AvailableBytes, need - 1);

  // Not read, or too short for its declared rows: the reader's own error will tell.
  EXPECT_TRUE(CheckAscFileFitsInMemory((dir / "none.asc").string(), 0).Fits);
  const std::string shortFile = (dir / "short.asc").string();
  std::ofstream(shortFile) << "t\n3\n400\nFALSE FALSE FALSE FALSE\n1 2 3\n";
  EXPECT_TRUE(CheckAscFileFitsInMemory(shortFile, 0).Fits);

  // A pipe is not opened (that would block here, without a writer, and take its header away
  // from the reader).
  const std::string pipe = (dir / "pipe.asc").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(CheckAscFileFitsInMemory(pipe, 0).Fits);

  // On this system the available memory is known and positive.
#if defined(__linux__)
  EXPECT_GT(AvailableMemoryBytes(), 0);
#endif
  fs::remove_all(dir);
}
