// The text helpers: FormatReal in all its forms, and the column and character helpers with
// UTF-8 text.
#include "orvex_stringl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace orvex;

TEST(FormatReal, FixedForm)
{
  struct Case {
    long double value;
    int width, decimals;
    const char* text;
  };
  const Case cases[] = {
      {0.125L, 1, 2, "0.13"},  // the half rounds up
      // Just below the half: 0.12499999999999999999 becomes 0.125000000000000000 in 18 digits
      // first, and that half rounds up.
      {std::nextafter(0.125L, 0.0L), 1, 2, "0.13"},
      {0.1249999999999999L, 1, 2, "0.12"},
      {2.5L, 1, 0, "3"},
      {3.5L, 1, 0, "4"},
      {12.3456L, 1, 3, "12.346"},
      {0.5L, 1, 1, "0.5"},
      {0.4L, 1, 0, "0"},
      {0.005L, 1, 2, "0.01"},  // the dropped leading digit rounds into the last place
      {0.00049L, 1, 3, "0.000"},
      {9.96L, 1, 1, "10.0"},  // carry through every digit
      {999.9996L, 1, 3, "1000.000"},
      {-0.0001L, 1, 2, "-0.00"},  // the sign bit decides
      {-0.0L, 1, 1, "-0.0"},
      {0.0L, 6, 2, "  0.00"},
      {-42.25L, 8, 1, "   -42.3"},
      {-42.25L, 2, 1, "-42.3"},  // the field grows, nothing is cut
      {123456789012345678901.0L, 1, 0, "123456789012345679000"},  // 18 digits, then zeros
      {1.0L / 3, 1, 20, "0.33333333333333333300"},
      {999999999999999999e18L, 1, 0, "999999999999999999000000000000000000"},
      {1e36L, 12, 2, " 1.000E+0036"},  // beyond fixed range: scientific with width W
      {-3.5L, -7, 1, "-0003.5"},  // leading zeros, sign in front
      {3.5L, -7, 1, "00003.5"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatReal(c.value, c.width, c.decimals), c.text)
        << static_cast<double>(c.value) << " " << c.width << " " << c.decimals;

  // Decimals above 216 count as 216; widths above 255 as 255.
  EXPECT_EQ(FormatReal(1.0L, 1, 500).size(), 218u);
  EXPECT_EQ(FormatReal(1.0L, 1000, 2), std::string(251, ' ') + "1.00");
  EXPECT_EQ(FormatReal(1.0L, -1000, 0), std::string(254, '0') + "1");
}

TEST(FormatReal, ScientificForms)
{
  struct Case {
    long double value;
    int width, decimals;
    const char* text;
  };
  const Case cases[] = {
      {1234.567L, 12, -2, " 1.23457E+03"},
      {-0.000012345L, 14, -2, "-1.2345000E-05"},
      {0.0L, 12, -2, " 0.00000E+00"},
      {1e150L, 12, -2, "************"},
      {-1e-100L, 12, -2, "************"},
      {9.999996e99L, 12, -2, "************"},  // rounding carries the exponent to 100
      {9.999994e99L, 12, -2, " 9.99999E+99"},
      {-135.08957342L, 14, -2, "-1.3508957E+02"},
      {1234.567L, 12, -1, " 1.235E+0003"},
      {1234.567L, 4, -1, " 1.2E+0003"},  // at least two digits: 10 characters
      {1.0L / 3, 30, -3, "     3.33333333333333333E-0001"},  // 18 digits at most
      {9.96L, 10, -1, " 1.0E+0001"},
      {6.02e23L, -12, -1, "06.020E+0023"},  // the positive sign's space becomes a zero
      {-6.02e23L, -12, -1, "-6.020E+0023"},
      {1.5e-4000L, 12, -1, " 1.500E-4000"},
      {0.5L, -12, -2, "05.00000E-01"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatReal(c.value, c.width, c.decimals), c.text)
        << static_cast<double>(c.value) << " " << c.width << " " << c.decimals;
}

TEST(FormatReal, NotANumberAndInfinities)
{
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(FormatReal(std::numeric_limits<long double>::quiet_NaN(), 6, 2), "   Nan");
  EXPECT_EQ(FormatReal(inf, 1, -2), "+Inf");
  EXPECT_EQ(FormatReal(-inf, 12, -2), "        -Inf");
  EXPECT_EQ(FormatReal(-inf, -6, 0), "  -Inf");
}

TEST(TextHelpers, RepeatAndJustify)
{
  EXPECT_EQ(RepeatChar('-', 55), std::string(55, '-'));
  EXPECT_EQ(RepeatChar('x', 0), "x");
  EXPECT_EQ(RepeatChar('x', -7), "x");
  EXPECT_EQ(RepeatChar('=', 300).size(), 255u);

  EXPECT_EQ(RightJustify("12345", 4), "1234");
  EXPECT_EQ(RightJustify("12", 4), "  12");
  EXPECT_EQ(RightJustify("12", 0), "");
  EXPECT_EQ(LeftJustify("Net Weight", 12), "Net Weight  ");
  EXPECT_EQ(LeftJustify("Outer Length 2", 12), "Outer Length");
  EXPECT_EQ(LeftJustify("ab", 300).size(), 255u);

  // Characters, not bytes: "Größe" is 5 characters in 7 bytes.
  const std::string groesse = "Gr\xC3\xB6\xC3\x9F" "e";
  EXPECT_EQ(RightJustify(groesse, 7), "  " + groesse);
  EXPECT_EQ(LeftJustify(groesse, 6), groesse + " ");
  EXPECT_EQ(LeftJustify(groesse, 3), "Gr\xC3\xB6");
  EXPECT_EQ(RightJustify(groesse, 4), "Gr\xC3\xB6\xC3\x9F");
  const std::string euro = "\xE2\x82\xAC";
  EXPECT_EQ(LeftJustify(euro + euro, 1), euro);

  // Bytes that form no complete sequence (Latin-1 text, a cut-off sequence, stray continuation
  // bytes) are one character each, so they can neither stretch nor shrink the field.
  EXPECT_EQ(LeftJustify("25\xB0" "C", 6), "25\xB0" "C  ");
  EXPECT_EQ(RightJustify("\xE2\x82" "x", 4), " \xE2\x82" "x");
  EXPECT_EQ(LeftJustify("a" + std::string(20, '\x80'), 5), "a" + std::string(4, '\x80'));
  EXPECT_EQ(RightJustify(std::string(30, '\xBF') + euro, 3), std::string(3, '\xBF'));
  EXPECT_EQ(LeftJustify(euro + "\xE2\x82", 2), euro + "\xE2");
}

TEST(TextHelpers, ReplaceAndStrip)
{
  EXPECT_EQ(ReplaceChar("1,5;2,25", ',', '.'), "1.5;2.25");
  EXPECT_EQ(ReplaceChar("", ',', '.'), "");
  EXPECT_EQ(StripControlChars("Net\tWeight\r\n"), "NetWeight");
  EXPECT_EQ(StripControlChars(std::string("a\0b\x1F" "c", 5)), "abc");
  const std::string utf8 = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC";
  EXPECT_EQ(StripControlChars("\x01" + utf8 + "\n"), utf8);
}

TEST(TextHelpers, SplitString)
{
  std::vector<std::string> parts{"stale"};
  EXPECT_EQ(SplitString("a|b|", "|", parts), 3);
  EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(SplitString("whole", "|", parts), 1);
  EXPECT_EQ(parts, (std::vector<std::string>{"whole"}));
  EXPECT_EQ(SplitString("", "|", parts), 1);
  EXPECT_EQ(parts, (std::vector<std::string>{""}));
  EXPECT_EQ(SplitString("x::y::::z", "::", parts), 4);
  EXPECT_EQ(parts, (std::vector<std::string>{"x", "y", "", "z"}));
  EXPECT_EQ(SplitString("a|b", "", parts), 1);
  EXPECT_EQ(parts[0], "a|b");

  // At most 999 splits: the last part keeps the remaining separators.
  std::string many;
  for (int i = 0; i < 1200; ++i)
    many += std::to_string(i) + ",";
  EXPECT_EQ(SplitString(many, ",", parts), 1000);
  EXPECT_EQ(parts.size(), 1000u);
  EXPECT_EQ(parts[998], "998");
  EXPECT_EQ(parts[999].substr(0, 8), "999,1000");
}
