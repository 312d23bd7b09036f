// UTF-8 checking, Windows-1252 conversion and character-safe cutting for the data units.
#include "orvex_datatable_text.h"

#include <cstdint>
#include <cstring>

namespace orvex::dtext {

void TUtf8Validator::Feed(const char* Data, std::size_t Size)
{
  if (!FValid)
    return;
  const auto* p = reinterpret_cast<const unsigned char*>(Data);
  const auto* end = p + Size;
  while (p < end) {
    if (FPending == 0) {
      // Fast path over plain ASCII, eight bytes at a time.
      while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ULL)
          break;
        p += 8;
      }
      if (p == end)
        break;
      const unsigned char c = *p++;
      if (c < 0x80)
        continue;
      FLow = 0x80;
      FHigh = 0xBF;
      if (c >= 0xC2 && c <= 0xDF) {
        FPending = 1;
      } else if (c >= 0xE0 && c <= 0xEF) {
        FPending = 2;
        if (c == 0xE0)
          FLow = 0xA0;  // no overlong forms
        else if (c == 0xED)
          FHigh = 0x9F;  // no surrogates
      } else if (c >= 0xF0 && c <= 0xF4) {
        FPending = 3;
        if (c == 0xF0)
          FLow = 0x90;
        else if (c == 0xF4)
          FHigh = 0x8F;  // nothing above U+10FFFF
      } else {
        FValid = false;
        return;
      }
    } else {
      const unsigned char c = *p++;
      if (c < FLow || c > FHigh) {
        FValid = false;
        return;
      }
      FLow = 0x80;
      FHigh = 0xBF;
      --FPending;
    }
  }
}

bool IsValidUtf8(std::string_view S)
{
  TUtf8Validator v;
  v.Feed(S.data(), S.size());
  return v.Valid();
}

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252; the unassigned ones keep their code.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& Out, unsigned Cp)
{
  if (Cp < 0x80) {
    Out += static_cast<char>(Cp);
  } else if (Cp < 0x800) {
    Out += static_cast<char>(0xC0 | (Cp >> 6));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else {
    Out += static_cast<char>(0xE0 | (Cp >> 12));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  }
}

bool IsContinuation(unsigned char C) { return (C & 0xC0) == 0x80; }

}  // namespace

std::string Cp1252ToUtf8(std::string_view S)
{
  std::string out;
  out.reserve(S.size() + S.size() / 2);
  for (const char ch : S) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      out += ch;
    else if (c < 0xA0)
      AppendUtf8(out, Cp1252High[c - 0x80]);
    else
      AppendUtf8(out, c);
  }
  return out;
}

std::string ToUtf8(std::string_view S)
{
  if (IsValidUtf8(S))
    return std::string(S);
  return Cp1252ToUtf8(S);
}

std::string Utf8Left(std::string_view S, std::size_t Count)
{
  std::size_t chars = 0;
  std::size_t i = 0;
  while (i < S.size()) {
    if (!IsContinuation(static_cast<unsigned char>(S[i]))) {
      if (chars == Count)
        break;
      ++chars;
    }
    ++i;
  }
  return std::string(S.substr(0, i));
}

std::string Utf8LeftBytes(std::string_view S, std::size_t MaxBytes)
{
  if (S.size() <= MaxBytes)
    return std::string(S);
  // Step back to the start of the character that the cut would split (at most three bytes;
  // bytes that belong to no character are cut where they are).
  std::size_t n = MaxBytes;
  for (int k = 0; k < 3 && n > 0 && IsContinuation(static_cast<unsigned char>(S[n])); ++k)
    --n;
  if (IsContinuation(static_cast<unsigned char>(S[n])) || static_cast<unsigned char>(S[n]) < 0xC0)
    n = MaxBytes;
  return std::string(S.substr(0, n));
}

std::string LowerAscii(std::string_view S)
{
  std::string out(S);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return out;
}

namespace {

// The small letter of a capital in U+00C0..U+017F, else Cp itself. Latin Extended-A pairs its
// letters capital first, on even code points in some runs and on odd ones in others; U+0130
// (capital I with dot) has no small letter of its own in this range and stays.
unsigned LowerLatin(unsigned Cp)
{
  if (Cp >= 0xC0 && Cp <= 0xDE && Cp != 0xD7)
    return Cp + 0x20;
  const bool even = Cp % 2 == 0;
  if ((Cp >= 0x100 && Cp <= 0x12F && even) || (Cp >= 0x132 && Cp <= 0x137 && even) ||
      (Cp >= 0x139 && Cp <= 0x148 && !even) || (Cp >= 0x14A && Cp <= 0x177 && even) ||
      (Cp >= 0x179 && Cp <= 0x17E && !even))
    return Cp + 1;
  if (Cp == 0x178)
    return 0xFF;
  return Cp;
}

}  // namespace

std::string LowerText(std::string_view S)
{
  std::string out(S);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    } else if (c >= 0xC3 && c <= 0xC5 && i + 1 < out.size() && IsContinuation(static_cast<unsigned char>(out[i + 1]))) {
      // Two-byte characters U+00C0..U+017F; their small letters are two-byte characters too.
      const unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(out[i + 1]) & 0x3Fu);
      const unsigned lower = LowerLatin(cp);
      out[i] = static_cast<char>(0xC0 | (lower >> 6));
      out[i + 1] = static_cast<char>(0x80 | (lower & 0x3F));
      ++i;
    }
  }
  return out;
}

std::string UpperAscii(std::string_view S)
{
  std::string out(S);
  for (char& c : out)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace orvex::dtext
