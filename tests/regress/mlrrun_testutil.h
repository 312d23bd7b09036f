// Helpers the regression run's test files share.
#pragma once

#include "mlrrun.h"

#include <initializer_list>

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

}  // namespace orvex
