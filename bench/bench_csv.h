// The benchmark CSV: a header "y,x1,...,x20" and Rows rows of 21 normally distributed values
// (mean 100, deviation 40) with 6 significant digits, comma separated, LF line ends; about
// 168 bytes per row, so 1,000,000 rows make about 160 MB. Written by our own generator, the
// same bytes for the same Rows and Seed.
#pragma once

#include <charconv>
#include <cstdio>
#include <random>
#include <string>

inline bool WriteBenchCsv(const std::string& Path, int Rows, unsigned Seed = 42)
{
  std::FILE* f = std::fopen(Path.c_str(), "wb");
  if (!f)
    return false;
  std::string out = "y";
  for (int c = 1; c <= 20; ++c)
    out += ",x" + std::to_string(c);
  out += '\n';
  std::mt19937_64 gen(Seed);
  std::normal_distribution<double> dist(100.0, 40.0);
  char buf[64];
  bool ok = true;
  for (int r = 0; r < Rows; ++r) {
    for (int c = 0; c < 21; ++c) {
      if (c > 0)
        out += ',';
      const auto res = std::to_chars(buf, buf + sizeof buf, dist(gen), std::chars_format::general, 6);
      out.append(buf, res.ptr);
    }
    out += '\n';
    if (out.size() > (1 << 20)) {
      ok = ok && std::fwrite(out.data(), 1, out.size(), f) == out.size();
      out.clear();
    }
  }
  ok = ok && std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}
