// A small argument reader for tarnwex-cli: positional arguments, --flags and
// --options with one value.
#pragma once

#include <cctype>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::cli {

struct EUsage : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class TArgs {
 public:
  // `flags` take no value, `options` take one.
  TArgs(const std::vector<std::string>& argv, const std::set<std::string>& flags,
        const std::set<std::string>& options) {
    for (size_t i = 0; i < argv.size(); ++i) {
      const std::string& a = argv[i];
      if (a.size() > 2 && a.rfind("--", 0) == 0) {
        if (flags.count(a)) {
          flags_.insert(a);
        } else if (options.count(a)) {
          if (i + 1 >= argv.size()) throw EUsage(a + " needs a value");
          std::string value = argv[++i];
          if (a == "--size") JoinSizeWords(argv, i, value);
          values_[a].push_back(value);
        } else {
          throw EUsage("unknown option " + a);
        }
      } else if (a == "--") {
        for (++i; i < argv.size(); ++i) positional_.push_back(argv[i]);
      } else {
        positional_.push_back(a);
      }
    }
  }

  bool Has(const std::string& flag) const { return flags_.count(flag) > 0; }
  std::string Value(const std::string& option, const std::string& fallback = {}) const {
    auto it = values_.find(option);
    return it == values_.end() ? fallback : it->second.back();
  }
  std::vector<std::string> Values(const std::string& option) const {
    auto it = values_.find(option);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
  }
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  // "--size OP N UNIT" may come as separate words ("--size '>' 1 KB") as well
  // as one value ("--size '>1KB'"): a lone operator takes the number after
  // it, and a value ending in a digit takes a unit word after it.
  static void JoinSizeWords(const std::vector<std::string>& argv, size_t& i, std::string& value) {
    auto isNumber = [](const std::string& s) {
      return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    };
    auto isUnit = [](std::string s) {
      for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return s == "bytes" || s == "b" || s == "kb" || s == "mb";
    };
    if ((value == "=" || value == ">" || value == "<") && i + 1 < argv.size() && isNumber(argv[i + 1]))
      value += argv[++i];
    if (!value.empty() && std::isdigit(static_cast<unsigned char>(value.back())) && i + 1 < argv.size() &&
        isUnit(argv[i + 1]))
      value += argv[++i];
  }

  std::set<std::string> flags_;
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
};

}  // namespace tw::cli
