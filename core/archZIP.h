// Lists the members of a ZIP archive so the scan can record them as items of
// the archive's folder. Nothing is extracted: only headers are read, member
// data is skipped.
//
// The central directory is read when the archive has a usable one (ZIP64
// included, self-extracting archives with prepended data included); only
// without one does the reader walk the local headers from the start (from
// byte 14000 for ".EXE" files). Reads are bounded by the file's size whatever
// the archive's own fields claim.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tw {

class TFileInput;

// One member: the fields of the local file header that follow its signature
// (or the same fields from the central directory), then the name as stored.
struct ZipDirEntry {
  uint16_t VersionNeeded = 0;
  uint16_t Flags = 0;
  uint16_t Method = 0;
  // DOS time in the low 16 bits, DOS date in the high 16 bits.
  uint32_t DosDateTime = 0;
  uint32_t Crc32 = 0;
  uint64_t CompressedSize = 0;
  // The size the catalogue records for the member.
  uint64_t UncompressedSize = 0;
  uint16_t FileNameLength = 0;
  uint16_t ExtraFieldLength = 0;
  // Bytes as stored ("/" separators, UTF-8 or an OEM code page): not converted.
  std::string FileName;

  uint16_t DosTime() const { return static_cast<uint16_t>(DosDateTime & 0xFFFF); }
  uint16_t DosDate() const { return static_cast<uint16_t>(DosDateTime >> 16); }
  bool IsDirectory() const { return !FileName.empty() && FileName.back() == '/'; }
};

class TZip {
 public:
  using TDirUpdateEvent = std::function<void(TZip&)>;

  TZip() = default;

  const std::string& ZipFilename() const { return zipFilename_; }
  // Stores the name and reads the archive at once. Raises OnDirUpdate in any
  // case; afterwards raises EError for a damaged archive that the local-header
  // walk could not finish ("Error reading Zip File", "Error 2 reading Zip
  // file" ... "Error 5 reading Zip file"), keeping the records read so far,
  // and for a central directory whose entry count disagrees with its size
  // (every entry the directory holds is kept).
  void SetZipFilename(const std::string& fileName);

  bool ShowMessages() const { return showMessages_; }
  void SetShowMessages(bool show) { showMessages_ = show; }

  TDirUpdateEvent OnDirUpdate;
  // The reader's messages ("No valid zip entries found"), with the show
  // messages flag set; none: they go unseen.
  std::function<void(const std::string& text)> OnMessage;

  int Count() const { return static_cast<int>(entries_.size()); }
  const ZipDirEntry& Entry(int index) const { return entries_.at(static_cast<size_t>(index)); }
  const std::vector<ZipDirEntry>& Entries() const { return entries_; }

  // True when the last read took its list from the central directory.
  bool FromCentralDirectory() const { return fromCentral_; }

 private:
  void Read();
  bool ReadCentralDirectory(const TFileInput& in);
  bool TryCentralDirectory(const TFileInput& in, const std::vector<uint8_t>& tail, int64_t tailStart, size_t eocd);
  bool ReadCentralHeaders(const std::vector<uint8_t>& cd);
  // Empty when the walk ended normally, else the error text.
  std::string WalkLocalHeaders(const TFileInput& in);
  void Message(const std::string& text);

  std::string zipFilename_;
  bool showMessages_ = true;
  bool fromCentral_ = false;
  // A central directory read whole whose entry count disagrees with the
  // entries it holds: raised after OnDirUpdate, with every entry listed.
  std::string directoryError_;
  std::vector<ZipDirEntry> entries_;
};

}  // namespace tw
