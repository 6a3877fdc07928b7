// Builds library files byte by byte, independently of the codec, so tests
// can check the codec against the format itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace tw::test {

class TByteWriter {
 public:
  TByteWriter& Int32(int32_t v) { return Le(static_cast<uint32_t>(v), 4); }
  TByteWriter& Int64(int64_t v) { return Le(static_cast<uint64_t>(v), 8); }
  TByteWriter& Date(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    return Le(bits, 8);
  }
  TByteWriter& Byte(uint8_t b) {
    bytes.push_back(static_cast<char>(b));
    return *this;
  }
  TByteWriter& Str(const std::string& s) {
    Int32(static_cast<int32_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  TByteWriter& Header(const std::string& version, const std::string& comments, int32_t folders, int32_t collections,
                      const std::string& category, int32_t categories) {
    return Str(version).Str(comments).Int32(folders).Int32(collections).Str(category).Int32(categories);
  }
  TByteWriter& Folder(const std::string& name, double date, const std::string& category, const std::string& comments,
                      const std::string& location, int32_t level, int32_t isFolder, int32_t itemCount,
                      int32_t absIndex, const std::string& serial, const std::string& sourcePath) {
    return Str(name).Date(date).Str(category).Str(comments).Str(location).Int32(level).Int32(isFolder)
        .Int32(itemCount).Int32(absIndex).Str(serial).Str(sourcePath);
  }
  // A volume or folder with only a name, a level and its entry count.
  TByteWriter& Folder(const std::string& name, int32_t level, int32_t isFolder, int32_t itemCount, int32_t absIndex) {
    return Folder(name, 0, "", "", "", level, isFolder, itemCount, absIndex, "", "");
  }
  TByteWriter& Entry22(const std::string& name, double date, int64_t size, const std::string& category,
                       const std::string& comments, bool isFolder) {
    return Str(name).Date(date).Int64(size).Str(category).Str(comments).Byte(isFolder ? 1 : 0);
  }
  TByteWriter& Entry23(const std::string& name, double date, int64_t size, const std::string& category,
                       const std::string& comments, bool isFolder, const std::string& tags) {
    return Entry22(name, date, size, category, comments, isFolder).Str(tags);
  }
  TByteWriter& Col(const std::string& caption, int32_t kind, int32_t level, const std::string& memo,
                   const std::string& url, int32_t folderIndex, const std::string& path, int32_t imageIndex) {
    return Str(caption).Int32(kind).Int32(level).Str(memo).Str(url).Int32(folderIndex).Str(path).Int32(imageIndex);
  }

  void Save(const std::string& file) const {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  std::vector<char> bytes;

 private:
  TByteWriter& Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
};

std::string ReadFile(const std::string& file);

}  // namespace tw::test
