// A small argument reader for tarnwex-cli: positional arguments, --flags and
// --options with one value.
#pragma once

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
          values_[a].push_back(argv[++i]);
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
  std::set<std::string> flags_;
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
};

}  // namespace tw::cli
