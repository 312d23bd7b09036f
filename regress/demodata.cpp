// The demonstration data set and the class colours; see demodata.h.
#include "demodata.h"

#include "orvex_datatable.h"

namespace orvex {

const std::array<const char*, DemoNrOfColumns> DemoColumnNames = {
    "Total Weight", "Weight Skin", "Length", "Width", "Outer Length", "Net Weight"};

const double DemoData[DemoNrOfRows][DemoNrOfColumns] = {
    {172, 61, 165, 38, 226, 111},  // 1
    {150, 51, 143, 39, 224, 99},  // 2
    {206, 70, 183, 40, 275, 136},  // 3
    {198, 72, 167, 41, 269, 126},  // 4
    {230, 74, 218, 39, 277, 156},  // 5
    {247, 88, 225, 39, 288, 159},  // 6
    {205, 80, 180, 42, 255, 125},  // 7
    {182, 68, 177, 38, 234, 114},  // 8
    {168, 63, 155, 40, 240, 105},  // 9
    {173, 62, 164, 38, 232, 111},  // 10
    {179, 63, 179, 37, 224, 116},  // 11
    {179, 63, 185, 36, 216, 116},  // 12
    {146, 54, 155, 37, 200, 92},  // 13
    {165, 62, 147, 37, 205, 103},  // 14
    {134, 50, 137, 36, 214, 84},  // 15
    {126, 46, 134, 34, 214, 80},  // 16
    {127, 46, 142, 34, 194, 81},  // 17
    {209, 79, 172, 40, 278, 130},  // 18
    {226, 88, 200, 41, 265, 138},  // 19
    {193, 69, 175, 41, 265, 124},  // 20
    {183, 64, 168, 39, 256, 119},  // 21
    {211, 72, 195, 42, 263, 139},  // 22
    {198, 78, 190, 39, 242, 120},  // 23
    {187, 71, 190, 38, 234, 116},  // 24
    {166, 64, 152, 38, 241, 102},  // 25
    {162, 61, 161, 40, 243, 101},  // 26
    {162, 59, 156, 39, 248, 103},  // 27
    {181, 80, 158, 38, 253, 101},  // 28
    {188, 88, 186, 37, 239, 100},  // 29
    {197, 84, 183, 39, 260, 113},  // 30
    {194, 79, 190, 41, 255, 115},  // 31
    {124, 50, 121, 37, 211, 74},  // 32
    {118, 48, 125, 36, 204, 70},  // 33
    {116, 42, 124, 38, 208, 74},  // 34
    {120, 44, 144, 36, 181, 76},  // 35
    {130, 50, 149, 36, 179, 80},  // 36
    {118, 42, 130, 37, 204, 76},  // 37
    {126, 48, 153, 35, 180, 78},  // 38
    {102, 34, 126, 35, 199, 68},  // 39
    {104, 36, 130, 34, 196, 68},  // 40
};

const std::array<std::uint32_t, NrOfClassColors> ClassColors = {
    0x000000,  // 0 black
    0xFF0000,  // 1 blue
    0x008000,  // 2 green
    0x0000FF,  // 3 red
    0x0080FF,  // 4 orange
    0x808080,  // 5 grey
    0x404080,  // 6 brown
    0xFF00FF,  // 7 magenta
    0x800000,  // 8 navy
    0x00FF00,  // 9 lime
    0xC5CD18,  // 10 turquoise
    0x808000,  // 11 teal
    0xFF0080,  // 12 violet
    0x41E1EE,  // 13 light yellow
    0x800080,  // 14 purple
    0x8000FF,  // 15 rose
};

void LoadDemoData(TDataTable& Table)
{
  Table.Resize(DemoNrOfColumns, DemoNrOfRows);
  for (int i = 1; i <= DemoNrOfColumns; ++i) {
    Table.SetColName(i, DemoColumnNames[static_cast<std::size_t>(i - 1)]);
    for (int j = 1; j <= DemoNrOfRows; ++j)
      Table.SetElem(i, j, DemoData[j - 1][i - 1]);
  }
}

}  // namespace orvex
