// The guard of the widgets' Qt entry points: a mouse, key or menu handler runs its work through
// RunGuarded, so that a library error, exhausted memory or an exception thrown by an owner's
// event handler is shown to the user instead of unwinding through Qt's event loop.
#pragma once

#include "orvex_component.h"

#include <exception>
#include <functional>
#include <new>
#include <string>
#include <utility>

namespace orvex {

// Shows an error message to the user (a modal message box by default).
using TShowMessageHook = std::function<void(const std::string& Message)>;

// Runs Command. When it throws, the message (OutOfMemory() for exhausted memory, the
// exception's own text otherwise) goes to Show; an exception of Show itself is swallowed.
// Returns true when Command completed.
template <typename F, typename M>
bool RunGuarded(F&& Command, M&& OutOfMemory, const TShowMessageHook& Show)
{
  std::string message;
  try {
    std::forward<F>(Command)();
    return true;
  } catch (const std::bad_alloc&) {
    message = OutOfMemory();
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "unknown error";
  }
  try {
    if (Show)
      Show(message);
  } catch (...) {
  }
  return false;
}

}  // namespace orvex
