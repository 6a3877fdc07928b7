// Integers of file formats, read from bytes in either byte order, and
// written least significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tw {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t Le64(const uint8_t* p) { return static_cast<uint64_t>(Le32(p)) | static_cast<uint64_t>(Le32(p + 4)) << 32; }

inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Be24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}
inline uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

// Writes an integer as its bytes, least significant first.
template <class T>
inline void PutLe(T value, uint8_t* p) {
  auto v = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The same for bytes held as char.
inline uint16_t Le16(const char* p) { return Le16(reinterpret_cast<const uint8_t*>(p)); }
inline uint32_t Le32(const char* p) { return Le32(reinterpret_cast<const uint8_t*>(p)); }
inline uint64_t Le64(const char* p) { return Le64(reinterpret_cast<const uint8_t*>(p)); }
inline uint32_t Be32(const char* p) { return Be32(reinterpret_cast<const uint8_t*>(p)); }

}  // namespace tw
