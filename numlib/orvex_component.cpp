// Ownership and naming of components.
#include "orvex_component.h"

#include <algorithm>

namespace orvex {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner)
{
  if (FOwner)
    FOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
  // Free the owned components last-created first; each one unregisters itself on the way.
  while (!FComponents.empty())
    delete FComponents.back();
  if (FOwner)
    FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const
{
  if (Index < 0 || Index >= ComponentCount())
    return nullptr;
  return FComponents[static_cast<std::size_t>(Index)];
}

void TComponent::Assign(const TComponent& Source)
{
  throw EOrvexConvertError("Cannot assign a " + Source.ClassName() + " to a " + ClassName());
}

std::string TComponent::ComponentMessage(const std::string& What) const
{
  return "Component \"" + FName + "\": " + What;
}

void TComponent::InsertComponent(TComponent* Child)
{
  FComponents.push_back(Child);
}

void TComponent::RemoveComponent(TComponent* Child)
{
  auto it = std::find(FComponents.begin(), FComponents.end(), Child);
  if (it != FComponents.end())
    FComponents.erase(it);
}

}  // namespace orvex
