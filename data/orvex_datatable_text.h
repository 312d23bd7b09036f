// Text helpers of the data units. Names, labels and comments are kept as UTF-8; text that is
// not valid UTF-8 is taken as Windows-1252 (the encoding of older data files) and converted.
// Length limits count characters and never cut inside one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex::dtext {

// Checks UTF-8 fed in pieces of any size (a character may be split between two pieces).
class TUtf8Validator {
public:
  void Feed(const char* Data, std::size_t Size);
  // True when everything fed so far is valid and no character is left unfinished.
  bool Valid() const { return FValid && FPending == 0; }

private:
  bool FValid = true;
  int FPending = 0;           // continuation bytes still expected
  unsigned char FLow = 0x80;  // range limits for the next continuation byte
  unsigned char FHigh = 0xBF;
};

bool IsValidUtf8(std::string_view S);
// Every byte as the Windows-1252 character it stands for (the five unassigned bytes keep their
// code as a C1 control).
std::string Cp1252ToUtf8(std::string_view S);
// S when it is valid UTF-8, else S converted from Windows-1252.
std::string ToUtf8(std::string_view S);
// The first Count characters of a UTF-8 text (all of it when shorter).
std::string Utf8Left(std::string_view S, std::size_t Count);
// The longest prefix of at most MaxBytes bytes that does not end inside a character.
std::string Utf8LeftBytes(std::string_view S, std::size_t MaxBytes);
// ASCII letters lowered; other bytes unchanged.
std::string LowerAscii(std::string_view S);
// Letters lowered for case-insensitive comparison of UTF-8 text: the ASCII letters and the
// capitals of Latin-1 Supplement and Latin Extended-A (which hold every letter of the
// Windows-1252 texts of older files); other characters and bytes unchanged.
std::string LowerText(std::string_view S);
std::string UpperAscii(std::string_view S);

}  // namespace orvex::dtext
