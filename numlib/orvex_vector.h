// Resizable 1-based vectors of doubles (TVector) and of 32-bit integers (TIntVector).
// Reads outside 1..NrOfElem give 0, writes there are dropped; every write raises OnChange and
// every effective resize OnChange, then OnResize. Data() gives unchecked access for inner loops.
#pragma once

#include "orvex_bulkalloc.h"
#include "orvex_component.h"

#include <cstdint>
#include <new>
#include <vector>

namespace orvex {

class EOrvexVectorError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

template <typename T>
class TBasicVector : public TComponent {
public:
  using value_type = T;

  explicit TBasicVector(TComponent* AOwner = nullptr) : TComponent(AOwner)
  {
    try {
      FData.assign(1, T(0));
    } catch (const std::bad_alloc&) {
      throw EOrvexVectorError(ComponentMessage("not enough memory on heap"));
    }
  }

  // properties
  int NrOfElem() const { return static_cast<int>(FData.size()); }
  // Values below 1 and the current size are ignored.
  void SetNrOfElem(int Value)
  {
    if (Value >= 1 && Value != NrOfElem())
      Resize(Value);
  }
  T Elem(int Index) const
  {
    if (Index < 1 || Index > NrOfElem())
      return T(0);
    return FData[static_cast<std::size_t>(Index - 1)];
  }
  void SetElem(int Index, T Value)
  {
    if (Index < 1 || Index > NrOfElem())
      return;
    FData[static_cast<std::size_t>(Index - 1)] = Value;
    Fire(OnChange, this);
  }
  // Unchecked access to the contiguous storage: element i is Data()[i - 1].
  T* Data() { return FData.data(); }
  const T* Data() const { return FData.data(); }

  // operations
  // True when the size is (now) NewNrOfElem; False for sizes below 1. Equal size: no event.
  bool Resize(int NewNrOfElem)
  {
    if (NewNrOfElem == NrOfElem())
      return true;
    if (NewNrOfElem < 1)
      return false;
    try {
      FData.resize(static_cast<std::size_t>(NewNrOfElem), T(0));
    } catch (const std::bad_alloc&) {
      throw EOrvexVectorError(ComponentMessage("not enough memory"));
    } catch (const std::length_error&) {
      throw EOrvexVectorError(ComponentMessage("not enough memory"));
    }
    Fire(OnChange, this);
    Fire(OnResize, this);
    return true;
  }

  // events
  TNotifyEvent OnChange;
  TNotifyEvent OnResize;
  TSortExchgEvent OnSortExchange;

protected:
  // Copies size, elements and handlers from a vector of the same class; raises no event.
  void AssignVector(const TBasicVector& Source)
  {
    if (&Source == this)
      return;
    try {
      FData = Source.FData;
    } catch (const std::bad_alloc&) {
      throw EOrvexVectorError(ComponentMessage("not enough memory"));
    }
    OnChange = Source.OnChange;
    OnResize = Source.OnResize;
    OnSortExchange = Source.OnSortExchange;
  }

private:
  TBulkVector<T> FData;
};

class TVector : public TBasicVector<double> {
public:
  using TBasicVector::TBasicVector;
  std::string ClassName() const override { return "TVector"; }
  void Assign(const TComponent& Source) override;
};

class TIntVector : public TBasicVector<std::int32_t> {
public:
  using TBasicVector::TBasicVector;
  std::string ClassName() const override { return "TIntVector"; }
  void Assign(const TComponent& Source) override;
};

}  // namespace orvex
