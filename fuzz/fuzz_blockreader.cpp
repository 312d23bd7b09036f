// The block readers behind a run over a file larger than memory, on hostile files: the input is
// written once as an ASC file and once as delimited text (the first byte picks the block sizes,
// tiny ones included, so that blocks end inside rows and tokens), and read to the end. Every
// block must hold at least one row of the reader's columns with a row name each, its first row
// following the rows before it; values are finite or a missing cell; the read ends either at the
// end of the rows or with a one-line message.
#include "fuzz_support.h"
#include "orvex_blockreader.h"

#include <cmath>
#include <cstdio>
#include <string>

using namespace orvex;

namespace {

void ReadAll(const std::string& File, const TBlockReadOptions& Options)
{
  std::string message;
  const std::unique_ptr<TBlockReader> reader = OpenBlockReader(File, TDelimitedDialect{}, message, Options);
  if (!reader) {
    fuzz::Check(!message.empty(), "a failed open without a message");
    return;
  }
  TRowBlock block;
  std::int64_t next = 1;
  while (reader->Next(block)) {
    fuzz::Check(block.NrOfRows >= 1, "an empty block");
    fuzz::Check(block.NrOfColumns == reader->NrOfColumns(), "a block of other columns");
    fuzz::Check(block.FirstRow == next, "a block out of order");
    const std::size_t cells = static_cast<std::size_t>(block.NrOfColumns) * static_cast<std::size_t>(block.NrOfRows);
    fuzz::Check(block.Values.size() >= cells && block.States.size() >= cells, "a block's buffers too small");
    fuzz::Check(block.RowNames.empty() || block.RowNames.size() == static_cast<std::size_t>(block.NrOfRows),
                "a row name missing");
    next += block.NrOfRows;
  }
  fuzz::Check(reader->RowsRead() == next - 1, "rows read miscounted");
  fuzz::Check(reader->Message().find('\n') == std::string::npos, "a message of more than one line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  const unsigned seed = Data[0];
  TBlockReadOptions options;
  options.BlockBytes = (seed & 1) ? 1 + (seed >> 1) % 64 : 0;
  options.BlockRows = 1 + static_cast<int>(seed % 5);
  options.ChunkSize = (seed & 2) ? 1 + (seed >> 2) % 16 : 0;
  options.Threads = 1 + static_cast<int>((seed >> 4) & 1);
  const std::string& asc = fuzz::WriteInputFile(Data + 1, Size - 1);
  ReadAll(asc, options);
  const std::string csv = asc + ".csv";
  std::FILE* f = std::fopen(csv.c_str(), "wb");
  fuzz::Check(f != nullptr, "cannot create the input file", csv);
  fuzz::Check(std::fwrite(Data + 1, 1, Size - 1, f) == Size - 1 && std::fclose(f) == 0, "cannot write the input file", csv);
  ReadAll(csv, options);
  std::remove(csv.c_str());
  return 0;
}
