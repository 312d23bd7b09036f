// Small text helpers: the fixed-width number formatter of the report, column justification,
// and the character helpers of the data table and the grids. Strings are UTF-8; widths and
// positions count characters, never cutting inside a multi-byte character.
#pragma once

#include <string>
#include <vector>

namespace orvex {

// Width: field width (negative: leading zeros); Decimals >= 0 fixed form, -2 short scientific,
// any other negative value scientific.
std::string FormatReal(long double Value, int Width, int Decimals);
// Count copies of Ch, Count clamped to 1..255.
std::string RepeatChar(char Ch, int Count);
// Pads with spaces in front (Right) or behind (Left) to Width characters, or keeps the first
// Width characters of a longer S.
std::string RightJustify(const std::string& S, int Width);
std::string LeftJustify(const std::string& S, int Width);
std::string ReplaceChar(const std::string& S, char OldCh, char NewCh);
// S without the bytes below 32.
std::string StripControlChars(const std::string& S);
// Splits S at each Separator (at most 999 splits); Parts is zero-based; returns Parts' size.
int SplitString(const std::string& S, const std::string& Separator, std::vector<std::string>& Parts);

}  // namespace orvex
