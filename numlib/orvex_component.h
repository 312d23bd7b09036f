// The component base shared by every library unit, with and without a GUI: TObject with its
// class name, TComponent with a Name and an owner that frees what it owns, the root exception
// EOrvexError, and the event types the Qt-free units and the chart library have in common.
// Events are std::function members that take the sender first and fire only when assigned.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvex {

// Root of the library's exceptions: a message text and nothing else, so that one handler can
// catch every library error.
class EOrvexError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Raised by the default Assign when source and destination do not fit together.
class EOrvexConvertError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

class TObject {
public:
  virtual ~TObject() = default;
  // The class name as the component library spells it ("TMatrix", "TDataTable", ...).
  virtual std::string ClassName() const { return "TObject"; }
};

class TComponent;

// Plain notification.
using TNotifyEvent = std::function<void(TObject* Sender)>;
// Raised when two elements of a sortable container are exchanged.
using TSortExchgEvent =
    std::function<void(TObject* Sender, std::uint8_t ExchgWhat, int index1, int index2, int first, int last)>;
// Progress of a long operation in percent.
using TOnPercentDoneEvent = std::function<void(TObject* Sender, int PercentDone)>;
// Lets the owner supply the distance between two rows of a matrix.
using TOnCalcDistanceEvent = std::function<void(TObject* Sender, int Row1, int Row2, double& Distance)>;
// Lets the owner turn each text into the key that a sort actually compares.
using TBeforeSortExchgEvent =
    std::function<void(TObject* Sender, const std::string& InString, std::string& OutString)>;

// Calls an event when a handler is assigned.
template <typename Event, typename... Args>
inline void Fire(const Event& event, Args&&... args)
{
  if (event)
    event(std::forward<Args>(args)...);
}

class TComponent : public TObject {
public:
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string ClassName() const override { return "TComponent"; }

  // properties
  const std::string& Name() const { return FName; }
  void SetName(const std::string& AName) { FName = AName; }
  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  // Owned components by 0-based index, in the order they were created; nullptr out of range.
  TComponent* Components(int Index) const;

  // operations
  // Copies the settings of Source; the base reports that the assignment is not possible.
  virtual void Assign(const TComponent& Source);

protected:
  // The text of an out-of-memory or initialisation error: Component "Name": <what>.
  std::string ComponentMessage(const std::string& What) const;

private:
  void InsertComponent(TComponent* Child);
  void RemoveComponent(TComponent* Child);

  std::string FName;
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
};

}  // namespace orvex
