// Library strings are bytes as they were read: UTF-8 from this system,
// Windows-1252 from libraries written on Windows. Shown as UTF-8 either way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// Decodes the well-formed UTF-8 sequence at s[i] into cp and returns its
// length; 0 when the bytes there are not UTF-8.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp);
void AppendUtf8(std::string& out, uint32_t cp);

bool IsValidUtf8(std::string_view s);
// The text itself when it is valid UTF-8, otherwise its Windows-1252 reading.
std::string DisplayUtf8(std::string_view s);

}  // namespace tw
