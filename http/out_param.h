// Optional by-reference parameters for the request routines: a caller may leave a parameter
// out, bind one of its own variables (read and written back), or, for in/out parameters, give a
// plain value that the routine reads and then discards. An omitted parameter is told apart from
// one given with an empty value.
#pragma once

#include <optional>
#include <string_view>
#include <utility>

namespace korvane {

// An out-parameter: omitted, or bound to the caller's variable, which the routine may replace.
template <class T>
class Out {
 public:
  Out() = default;
  Out(T& target) : target_(&target) {}  // NOLINT: binds like a reference parameter
  Out(T&&) = delete;                    // a temporary would lose what is written
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;

  bool Given() const { return target_ != nullptr; }
  // Writes `value` when the parameter was given.
  template <class U>
  void Set(U&& value) {
    if (target_)
      *target_ = std::forward<U>(value);
  }

 private:
  T* target_ = nullptr;
};

// An in/out parameter: omitted, bound to the caller's variable (read, then written back), or
// given as a value (read; what the routine writes goes nowhere).
template <class T>
class InOut {
 public:
  InOut() = default;
  InOut(T& target) : target_(&target) {}               // NOLINT: binds like a reference
  InOut(const T& value) : owned_(value) {}             // NOLINT: a value given in place
  InOut(T&& value) : owned_(std::move(value)) {}       // NOLINT
  InOut(const char* value) : owned_(T(value)) {}       // NOLINT
  InOut(std::string_view value) : owned_(T(value)) {}  // NOLINT
  InOut(const InOut&) = delete;
  InOut& operator=(const InOut&) = delete;

  bool Given() const { return target_ != nullptr || owned_.has_value(); }
  // The parameter's current value; only valid when Given().
  T& Value() { return target_ ? *target_ : *owned_; }

 private:
  T* target_ = nullptr;
  std::optional<T> owned_;
};

}  // namespace korvane
