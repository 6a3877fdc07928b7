// Errors carry the user-visible text, taken from the message table.
#pragma once

#include <stdexcept>
#include <string>

namespace tw {

class EError : public std::runtime_error {
 public:
  explicit EError(const std::string& message) : std::runtime_error(message) {}
};

// The user's Stop: it ends what runs, and blames nothing in hand.
class ECanceled : public EError {
 public:
  using EError::EError;
};

// "%s" placeholders replaced in order by the given values; a missing value
// leaves an empty text, "%%" gives "%".
std::string Format(const std::string& text, std::initializer_list<std::string> values);

}  // namespace tw
