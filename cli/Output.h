// How tarnwex-cli shows what it prints: texts as UTF-8 (other bytes as
// Windows-1252), fields of tab-separated lines escaped so a line stays a line,
// dates for people in their locale and for programs in ISO 8601.
#pragma once

#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "base/DateTime.h"
#include "base/TextUtils.h"
#include "base/Utf8.h"

namespace tw::cli {

inline std::string Text(const std::string& s) { return DisplayUtf8(s); }

// One field of a tab-separated line: a tab, line feed or carriage return
// inside it is written as \t, \n or \r.
inline std::string Field(const std::string& s) {
  const std::string shown = DisplayUtf8(s);
  if (shown.find_first_of("\t\n\r") == std::string::npos) return shown;
  std::string out;
  for (char c : shown) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

// The user's short date and time; empty for no date.
inline std::string HumanDate(TDateTime d) { return d == 0 ? std::string() : FormatDate(d); }

// ISO 8601 ("2026-12-11T10:20:30"); null for no date.
inline nlohmann::json JsonDate(TDateTime d) {
  const std::string iso = d == 0 ? std::string() : IsoDateTime(d);
  return iso.empty() ? nlohmann::json(nullptr) : nlohmann::json(iso);
}

inline void PrintJson(const nlohmann::json& j) {
  std::cout << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace tw::cli
