// Assignment of the vector classes; the rest of the vectors lives in the header template.
#include "orvex_vector.h"

namespace orvex {

void TVector::Assign(const TComponent& Source)
{
  if (const auto* src = dynamic_cast<const TVector*>(&Source))
    AssignVector(*src);
  else
    TComponent::Assign(Source);
}

void TIntVector::Assign(const TComponent& Source)
{
  if (const auto* src = dynamic_cast<const TIntVector*>(&Source))
    AssignVector(*src);
  else
    TComponent::Assign(Source);
}

}  // namespace orvex
