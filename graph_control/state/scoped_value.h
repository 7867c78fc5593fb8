#pragma once

namespace vellum32 {

// Gives a field a value for the life of a scope and puts the old value back when the
// scope ends, also when it ends by an error.
template <class T>
class ScopedValue {
public:
  ScopedValue(T& field, T value) : field_(field), saved_(field) { field_ = value; }
  ~ScopedValue() { field_ = saved_; }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

private:
  T& field_;
  T saved_;
};

}  // namespace vellum32
