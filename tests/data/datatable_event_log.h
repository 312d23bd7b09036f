// Test helper: records a TDataTable's events as short texts, in firing order.
#pragma once

#include "orvex_datatable.h"

#include <algorithm>
#include <string>
#include <vector>

struct TEventLog {
  std::vector<std::string> Events;

  void Attach(orvex::TDataTable& T)
  {
    using orvex::TObject;
    T.OnChange = [this](TObject*) { Events.push_back("Change"); };
    T.OnChangeSetup = [this](TObject*) { Events.push_back("Setup"); };
    T.OnChangeNames = [this](TObject*) { Events.push_back("Names"); };
    T.OnChangeCellState = [this](TObject*) { Events.push_back("CellState"); };
    T.OnChangeAttrib = [this](TObject*) { Events.push_back("Attrib"); };
    T.OnResize = [this](TObject*, int oc, int orow, int nc, int nr) {
      Events.push_back("Resize " + std::to_string(oc) + "x" + std::to_string(orow) + "->" + std::to_string(nc) +
                       "x" + std::to_string(nr));
    };
  }
  int Count(const std::string& E) const
  {
    return static_cast<int>(std::count(Events.begin(), Events.end(), E));
  }
};
