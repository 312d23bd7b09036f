// The parts the workbook readers share (internal to data/): the package check, the choice of
// the sheet, and the two format readers, which fill a TSheetGrid with the chosen sheet's cells.
#pragma once

#include "orvex_workbook.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::wbook {

// Thrown by a reader when the read is cancelled.
struct TCancelled {};

// Bytes a read of a package of FileSize bytes may take: 64 x the file size + 16 MiB.
std::size_t BudgetFor(std::size_t FileSize);

// Checks the zip directory of Package: every part's unpacked size (central directory and local
// header, the larger) added up must stay within Budget. Throws EOrvexSheetError saying why not.
void CheckPackage(std::string_view Package, std::size_t Budget);

// Which sheet the options choose, by its name or 1-based number.
struct TSheetChoice {
  std::string Wanted;  // as given; empty: the first sheet
  // The index (0-based) the sheet named Name at Index would be chosen with, or nothing.
  bool ByName(std::string_view Name) const { return !Wanted.empty() && Name == Wanted; }
  bool ByNumber(std::size_t Index) const;
};

// The outcome of reading a package: the sheets' names, and which was read into the grid.
struct TPackageRead {
  std::vector<std::string> SheetNames;
  std::optional<std::size_t> Used;  // index of the sheet read, when one was chosen
};

// The readers. Grid null: only the names. Throw EOrvexSheetError (with the reason), TCancelled,
// or whatever the library throws (the caller catches it all).
TPackageRead ReadXlsxPackage(std::string_view Package, const TSheetChoice& Choice, TSheetGrid* Grid,
                             const TReadControl& Control);
TPackageRead ReadOdsPackage(std::string_view Package, const TSheetChoice& Choice, TSheetGrid* Grid,
                            const TReadControl& Control);

// Checks with expat that every XML part of Package is well-formed; throws EOrvexSheetError
// naming the first fault. liborcus's own parser is safe on well-formed text only.
void CheckXmlParts(std::string_view Package);

// Whether a text is a spreadsheet error value ("#DIV/0!", "#N/A", "Err:502", ...).
bool IsErrorText(std::string_view Text);

}  // namespace orvex::wbook
