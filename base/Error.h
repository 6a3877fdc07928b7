// Errors carry the user-visible text. One made from a key of the message
// table keeps the key and its values, so that whoever shows it can put it in
// the user's language; its own text is the built-in one.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {

class EError : public std::runtime_error {
 public:
  // A text made already.
  explicit EError(const std::string& message) : std::runtime_error(message) {}
  // The message table's text of `key` with "%s" replaced by the values.
  EError(std::string key, std::vector<std::string> values);

  // Empty for a text made already.
  const std::string& Key() const { return key_; }
  const std::vector<std::string>& Values() const { return values_; }

 private:
  std::string key_;
  std::vector<std::string> values_;
};

// The user's Stop: it ends what runs, and blames nothing in hand.
class ECanceled : public EError {
 public:
  using EError::EError;
};

// "%s" placeholders replaced in order by the given values; a missing value
// leaves an empty text, "%%" gives "%".
std::string Format(const std::string& text, std::initializer_list<std::string> values);
std::string Format(const std::string& text, const std::vector<std::string>& values);

}  // namespace tw
