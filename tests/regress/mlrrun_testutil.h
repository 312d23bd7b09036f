// Helpers the regression run's test files share.
#pragma once

#include "mlrrun.h"
#include "mlrtable.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace orvex {

// A role state of NrOfColumns columns with the given inputs and, when Target > 0, the target.
inline TRoleState MakeRoles(int NrOfColumns, std::initializer_list<int> Inputs, int Target)
{
  TRoleState roles(NrOfColumns);
  for (int c : Inputs)
    roles.SetInput(c, true);
  if (Target > 0)
    roles.SetTarget(Target, true);
  return roles;
}

// The report as a document gives the report's lines exactly, every table block in its place,
// and NrOfTables tables in all.
inline void ExpectDocumentIsTheReport(const TMLRResult& R, std::size_t NrOfTables)
{
  std::vector<std::string> all = R.ReportLines;
  all.push_back("");
  all.insert(all.end(), R.ExtendedLines.begin(), R.ExtendedLines.end());
  const TReportDocument doc = ReportDocument(R, true);
  EXPECT_EQ(RenderDocumentText(doc), all);
  EXPECT_EQ(RenderDocumentText(ReportDocument(R, false)), R.ReportLines);
  std::size_t tables = 0;
  for (const TReportBlock& b : doc) {
    tables += b.Table.has_value();
    EXPECT_EQ(b.Table.has_value(), b.Lines.empty());
  }
  EXPECT_EQ(tables, NrOfTables);
  EXPECT_EQ(R.ReportTables.size() + R.ExtendedTables.size(), NrOfTables);
}

}  // namespace orvex
