// The text helpers of the report and the data table over any bytes: valid UTF-8 in gives valid
// UTF-8 out, fields take exactly their width in characters, and converted text is always valid.
#include "fuzz_support.h"
#include "orvex_datatable_text.h"
#include "orvex_stringl.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 3)
    return 0;
  const int width = static_cast<signed char>(Data[0]) * 3;
  const char a = static_cast<char>(Data[1]), b = static_cast<char>(Data[2]);
  const std::string raw(reinterpret_cast<const char*>(Data + 3), Size - 3);

  // Text of any encoding becomes valid UTF-8 and stays the same when it already was.
  const std::string s = dtext::ToUtf8(raw);
  fuzz::Check(dtext::IsValidUtf8(s), "ToUtf8 gave invalid UTF-8", s);
  fuzz::Check(dtext::IsValidUtf8(dtext::Cp1252ToUtf8(raw)), "Cp1252ToUtf8 gave invalid UTF-8", raw);
  if (dtext::IsValidUtf8(raw))
    fuzz::Check(s == raw, "ToUtf8 changed valid UTF-8", raw);

  const std::size_t w = static_cast<std::size_t>(std::clamp(width, 0, 255));
  for (const std::string& field : {RightJustify(s, width), LeftJustify(s, width)}) {
    fuzz::CheckText(field, w, "justified field");
    fuzz::Check(fuzz::CharCount(field) == w, "justified field of the wrong width", field);
  }
  const std::size_t count = static_cast<std::size_t>(std::max(width, 0));
  const std::string left = dtext::Utf8Left(s, count);
  fuzz::Check(dtext::IsValidUtf8(left) && fuzz::CharCount(left) == std::min(count, fuzz::CharCount(s)) &&
                  s.compare(0, left.size(), left) == 0,
              "Utf8Left", left);
  const std::string leftBytes = dtext::Utf8LeftBytes(s, count);
  fuzz::Check(dtext::IsValidUtf8(leftBytes) && leftBytes.size() <= count && s.compare(0, leftBytes.size(), leftBytes) == 0,
              "Utf8LeftBytes", leftBytes);
  for (const std::string& lowered : {dtext::LowerText(s), dtext::LowerAscii(s), dtext::UpperAscii(s)})
    fuzz::Check(dtext::IsValidUtf8(lowered) && fuzz::CharCount(lowered) == fuzz::CharCount(s), "case change", lowered);

  const std::string stripped = StripControlChars(s);
  fuzz::Check(dtext::IsValidUtf8(stripped), "StripControlChars gave invalid UTF-8", stripped);
  for (unsigned char c : stripped)
    fuzz::Check(c >= 32, "control character left", stripped);
  // Replacing one ASCII character with another keeps UTF-8 valid.
  if (static_cast<unsigned char>(a) < 128 && static_cast<unsigned char>(b) < 128)
    fuzz::Check(dtext::IsValidUtf8(ReplaceChar(s, a, b)), "ReplaceChar gave invalid UTF-8");
  fuzz::Check(RepeatChar(a, width).size() == static_cast<std::size_t>(std::clamp(width, 1, 255)), "RepeatChar");

  // Splitting at an ASCII separator and joining again gives the text back (within 999 splits).
  const std::string sep(1, static_cast<char>(b & 0x7F));
  std::vector<std::string> parts;
  const int n = SplitString(s, sep, parts);
  fuzz::Check(n == static_cast<int>(parts.size()) && n >= 1 && n <= 1000, "SplitString count");
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    fuzz::Check(dtext::IsValidUtf8(parts[i]), "SplitString part of invalid UTF-8", parts[i]);
    joined += (i ? sep : std::string()) + parts[i];
  }
  fuzz::Check(joined == s, "SplitString parts do not join to the text", joined);
  return 0;
}
