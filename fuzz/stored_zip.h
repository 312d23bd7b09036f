// A zip package with stored (uncompressed) parts, written by hand: what the workbook fuzzer and
// the workbook tests wrap their XML in, so that the bytes they choose reach the XML parser
// unchanged. Declared > 0 states that unpacked size in the directory instead of the true one.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvex_zip {

inline std::uint32_t Crc32(const std::string& S)
{
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : S) {
    c ^= b;
    for (int k = 0; k < 8; ++k)
      c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

inline void Put(std::string& S, std::uint32_t V, int Bytes)
{
  for (int i = 0; i < Bytes; ++i)
    S += static_cast<char>((V >> (8 * i)) & 0xFF);
}

inline std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& Parts, std::uint32_t Declared = 0)
{
  std::string zip, dir;
  for (const auto& [name, data] : Parts) {
    const auto offset = static_cast<std::uint32_t>(zip.size());
    const std::uint32_t crc = Crc32(data), size = static_cast<std::uint32_t>(data.size());
    const auto nameSize = static_cast<std::uint32_t>(name.size());
    // local header: signature, version, flags, method (stored), time and date, crc, sizes, name
    Put(zip, 0x04034b50, 4), Put(zip, 20, 2), Put(zip, 0, 2), Put(zip, 0, 2), Put(zip, 0, 4);
    Put(zip, crc, 4), Put(zip, size, 4), Put(zip, size, 4), Put(zip, nameSize, 2), Put(zip, 0, 2);
    zip += name + data;
    // directory entry: as above, plus comment, disk, attributes and the local header's offset
    Put(dir, 0x02014b50, 4), Put(dir, 20, 2), Put(dir, 20, 2), Put(dir, 0, 2), Put(dir, 0, 2), Put(dir, 0, 4);
    Put(dir, crc, 4), Put(dir, size, 4), Put(dir, Declared ? Declared : size, 4), Put(dir, nameSize, 2);
    Put(dir, 0, 2), Put(dir, 0, 2), Put(dir, 0, 2), Put(dir, 0, 2), Put(dir, 0, 4), Put(dir, offset, 4);
    dir += name;
  }
  const auto dirOffset = static_cast<std::uint32_t>(zip.size());
  const auto count = static_cast<std::uint32_t>(Parts.size());
  zip += dir;
  Put(zip, 0x06054b50, 4), Put(zip, 0, 2), Put(zip, 0, 2), Put(zip, count, 2), Put(zip, count, 2);
  Put(zip, static_cast<std::uint32_t>(dir.size()), 4), Put(zip, dirOffset, 4), Put(zip, 0, 2);
  return zip;
}

}  // namespace orvex_zip
