#pragma once
// The library's own way into a control's state, for the code and tests of the library;
// hosts use the public properties and methods.
#include <vector>

#include "state/control_state.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

struct PersistedKey;

struct ControlAccess {
  static ControlState& State(Vellum32& control) { return *control.s_; }
  static const ControlState& State(const Vellum32& control) { return *control.s_; }
  // Every persisted key of a control, in the order they are read and written.
  static const std::vector<PersistedKey>& PersistedKeys();
};

}  // namespace vellum32
