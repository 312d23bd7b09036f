// Character and column helpers of the text unit. Strings are UTF-8: widths count characters,
// so a cut never splits a multi-byte sequence, and the control-character test looks at
// unsigned bytes so that non-ASCII text passes through untouched.
#include "orvex_stringl.h"

#include <algorithm>
#include <cstddef>

namespace orvex {

namespace {

bool IsContinuationByte(unsigned char c)
{
  return (c & 0xC0u) == 0x80u;
}

int ClampWidth(int Width)
{
  return std::clamp(Width, 0, 255);
}

// Byte length of the character that starts at byte I of S. A lead byte followed by the
// continuation bytes it announces is one character; any other byte (a stray continuation
// byte, a lead byte of a cut-off sequence, an invalid byte of some other encoding) is a
// character of its own, as a text display would show it. So a field never takes more bytes
// than the characters it is meant to hold, whatever the text contains.
std::size_t CharBytes(const std::string& S, std::size_t I)
{
  const auto lead = static_cast<unsigned char>(S[I]);
  std::size_t length = 1;
  if (lead >= 0xC2u && lead <= 0xDFu)
    length = 2;
  else if (lead >= 0xE0u && lead <= 0xEFu)
    length = 3;
  else if (lead >= 0xF0u && lead <= 0xF4u)
    length = 4;
  if (length == 1 || I + length > S.size())
    return 1;
  for (std::size_t k = 1; k < length; ++k)
    if (!IsContinuationByte(static_cast<unsigned char>(S[I + k])))
      return 1;
  return length;
}

// Number of characters in S.
int CharCount(const std::string& S)
{
  int count = 0;
  for (std::size_t i = 0; i < S.size(); i += CharBytes(S, i))
    ++count;
  return count;
}

// Byte length of the first Count characters of S (all of S when it has fewer).
std::size_t PrefixBytes(const std::string& S, int Count)
{
  std::size_t i = 0;
  for (int seen = 0; seen < Count && i < S.size(); ++seen)
    i += CharBytes(S, i);
  return i;
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
