// The demonstration data set the workbench starts with (40 objects, 6 variables, all whole
// numbers), the colour table that gives each object class its mark colour in the fit chart,
// and the loading of the data set into a data table as the main window does when it is first
// shown. Qt-free, so that the regression run, the command-line tool and the tests share it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orvex {

class TDataTable;

inline constexpr int DemoNrOfColumns = 6;
inline constexpr int DemoNrOfRows = 40;

// Column names in table order.
extern const std::array<const char*, DemoNrOfColumns> DemoColumnNames;
// One row per object, one value per variable, in the order of DemoColumnNames.
extern const double DemoData[DemoNrOfRows][DemoNrOfColumns];

// Writes the data set into Table: resizes it to 6 x 40 and sets the column names and the
// values. Row names and row attributes stay as the resize leaves them.
void LoadDemoData(TDataTable& Table);

// Colours 0x00BBGGRR of the 16 object classes.
inline constexpr int NrOfClassColors = 16;
extern const std::array<std::uint32_t, NrOfClassColors> ClassColors;

// The ClassColors index of a row attribute: its low 8 bits, taken modulo 16 so that class
// numbers 16..255 reuse the table instead of falling outside it.
inline int ClassColorIndex(std::int32_t RowAttrib)
{
  return static_cast<int>(static_cast<std::uint32_t>(RowAttrib) & 0xFFu) % NrOfClassColors;
}

}  // namespace orvex
