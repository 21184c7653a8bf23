// Errors as values for msiunpack: a failure carries the one line shown to
// the user, and the caller decides whether it ends the run or one file.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace msiunpack {

struct Failure {
  std::string message;
};

template <class T>
class Outcome {
 public:
  Outcome(T value) : state_(std::move(value)) {}
  Outcome(Failure failure) : state_(std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  const std::string& message() const { return std::get<1>(state_).message; }
  Failure failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// For operations that give nothing back but may fail.
struct Done {};
using Status = Outcome<Done>;
inline Status Ok() { return Done{}; }

}  // namespace msiunpack
