// Character and column helpers of the text unit. Strings are UTF-8: widths count characters
// (lead bytes), so a cut never splits a multi-byte sequence, and the control-character test
// looks at unsigned bytes so that non-ASCII text passes through untouched.
#include "orvex_stringl.h"

#include <algorithm>
#include <cstddef>

namespace orvex {

namespace {

bool IsContinuationByte(char c)
{
  return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

int ClampWidth(int Width)
{
  return std::clamp(Width, 0, 255);
}

// Number of characters in S; a stray continuation byte at the very start counts as one.
int CharCount(const std::string& S)
{
  int count = 0;
  for (std::size_t i = 0; i < S.size(); ++i)
    if (i == 0 || !IsContinuationByte(S[i]))
      ++count;
  return count;
}

// Byte length of the first Count characters of S, including their continuation bytes.
std::size_t PrefixBytes(const std::string& S, int Count)
{
  if (Count <= 0)
    return 0;
  int seen = 0;
  for (std::size_t i = 0; i < S.size(); ++i) {
    if (i == 0 || !IsContinuationByte(S[i])) {
      if (seen == Count)
        return i;
      ++seen;
    }
  }
  return S.size();
}

}  // namespace

std::string RepeatChar(char Ch, int Count)
{
  return std::string(static_cast<std::size_t>(std::clamp(Count, 1, 255)), Ch);
}

std::string RightJustify(const std::string& S, int Width)
{
  const int width = ClampWidth(Width);
  const int len = CharCount(S);
  if (len < width)
    return std::string(static_cast<std::size_t>(width - len), ' ') + S;
  return S.substr(0, PrefixBytes(S, width));
}

std::string LeftJustify(const std::string& S, int Width)
{
  const int width = ClampWidth(Width);
  const int len = CharCount(S);
  if (len < width)
    return S + std::string(static_cast<std::size_t>(width - len), ' ');
  return S.substr(0, PrefixBytes(S, width));
}

std::string ReplaceChar(const std::string& S, char OldCh, char NewCh)
{
  std::string result = S;
  std::replace(result.begin(), result.end(), OldCh, NewCh);
  return result;
}

std::string StripControlChars(const std::string& S)
{
  std::string result;
  result.reserve(S.size());
  for (char c : S)
    if (static_cast<unsigned char>(c) >= 32u)
      result += c;
  return result;
}

int SplitString(const std::string& S, const std::string& Separator, std::vector<std::string>& Parts)
{
  constexpr int MaxSplits = 999;
  Parts.clear();
  Parts.reserve(1000);
  std::size_t start = 0;
  // An empty separator occurs nowhere: the whole text is the only part.
  if (!Separator.empty()) {
    while (static_cast<int>(Parts.size()) < MaxSplits) {
      const std::size_t pos = S.find(Separator, start);
      if (pos == std::string::npos)
        break;
      Parts.push_back(S.substr(start, pos - start));
      start = pos + Separator.size();
    }
  }
  Parts.push_back(S.substr(start));
  return static_cast<int>(Parts.size());
}

}  // namespace orvex
