// Sorted name lists: case-insensitive order (folded bytes, then raw bytes).
// What happens to an added name that is already present depends on the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class TDuplicates {
  Ignore,  // an equal name (without regard to case) is silently dropped
  Error,   // adding an equal name raises an error
};

class TSortedStrings {
 public:
  explicit TSortedStrings(TDuplicates dups = TDuplicates::Ignore) : dups_(dups) {}

  // Returns true when the text was added.
  bool Add(const std::string& s);
  // Index of the entry equal to s without regard to case, -1 when absent.
  int IndexOf(std::string_view s) const;
  bool Contains(std::string_view s) const { return IndexOf(s) >= 0; }
  void Remove(int index) { items_.erase(items_.begin() + index); }
  void Clear() { items_.clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  const std::string& operator[](int i) const { return items_[i]; }
  const std::vector<std::string>& Items() const { return items_; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  TDuplicates dups_;
  std::vector<std::string> items_;
};

}  // namespace tw
