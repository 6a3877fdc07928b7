#include "tags/MPEGaudio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include "base/ByteOrder.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace tw {
namespace {

constexpr int32_t kWindow = static_cast<int32_t>(TMPEGaudio::kWindowSize);
constexpr int32_t kLastCandidate = 1729;
constexpr int32_t kVendorScanStart = 3450;
constexpr int32_t kID3v1Size = 128;

// kbit/s by row (MPEG 1 I, II, III; MPEG 2 I; MPEG 2 II and III) and index.
constexpr int16_t kBitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

// Hz by version (2.5, reserved, 2, 1) and index.
constexpr int32_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

constexpr const char* kVersionNames[] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
constexpr const char* kLayerNames[] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
constexpr const char* kModeNames[] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};
constexpr const char* kEmphasisNames[] = {"None", "50/15 ms", "Unknown", "CCIT J.17"};
constexpr const char* kEncoderNames[] = {"Unknown", "Xing", "FhG", "LAME", "Blade", "GoGo", "Shine"};

constexpr uint8_t kVersion1 = 3;
constexpr uint8_t kLayerI = 3;
constexpr uint8_t kLayerIII = 1;
constexpr uint8_t kModeStereo = 0;
constexpr uint8_t kModeDual = 2;
constexpr uint8_t kModeMono = 3;

bool StartsWith(const std::string& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int64_t Padding(const FrameHeader& f) {
  if (!f.PaddingBit) return 0;
  return f.LayerID == kLayerI ? 4 : 1;
}

void DecodeHeader(const uint8_t* b, FrameHeader& f) {
  for (int k = 0; k < 4; ++k) f.Data[k] = b[k];
  f.VersionID = (b[1] >> 3) & 3;
  f.LayerID = (b[1] >> 1) & 3;
  f.ProtectionBit = (b[1] & 1) == 0;
  f.BitRateID = b[2] >> 4;
  f.SampleRateID = (b[2] >> 2) & 3;
  f.PaddingBit = (b[2] & 2) != 0;
  f.PrivateBit = (b[2] & 1) != 0;
  f.ModeID = b[3] >> 6;
  f.ModeExtensionID = (b[3] >> 4) & 3;
  f.CopyrightBit = (b[3] & 8) != 0;
  f.OriginalBit = (b[3] & 4) != 0;
  f.EmphasisID = b[3] & 3;
}

// A Xing header ("Info" in the constant-rate files LAME writes) holds its
// fields in the order of its flag bits: frames (1), bytes (2), a table of
// contents (4), a quality scale (8); the encoder signature follows them.
void ReadVBR(const uint8_t* p, VBRData& vbr) {
  if (std::memcmp(p, "Xing", 4) == 0 || std::memcmp(p, "Info", 4) == 0) {
    vbr.Found = true;
    vbr.ID.assign(reinterpret_cast<const char*>(p), 4);
    const uint32_t flags = Be32(p + 4);
    size_t at = 8;
    if (flags & 1) vbr.Frames = static_cast<int32_t>(Be32(p + at)), at += 4;
    if (flags & 2) vbr.Bytes = static_cast<int32_t>(Be32(p + at)), at += 4;
    if (flags & 4) at += 100;
    if (flags & 8) vbr.Scale = p[at + 3], at += 4;
    vbr.VendorID.assign(reinterpret_cast<const char*>(p + at), 8);
  } else if (std::memcmp(p, "VBRI", 4) == 0) {
    vbr.Found = true;
    vbr.ID = "VBRI";
    vbr.Scale = p[9];
    vbr.Bytes = static_cast<int32_t>(Be32(p + 10));
    vbr.Frames = static_cast<int32_t>(Be32(p + 14));
  }
}

// One regular file, read by position; never opens a FIFO or device.
class TWindowReader {
 public:
  ~TWindowReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Open(const std::string& fileName) {
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size_ = st.st_size;
    return true;
  }
  int64_t Size() const { return size_; }
  // Fills `window` from `offset`; bytes past the end stay zero. Returns the
  // count delivered, -1 on a negative offset or an I/O error.
  int64_t Read(int64_t offset, std::vector<uint8_t>& window) {
    window.assign(TMPEGaudio::kWindowSize, 0);
    if (offset < 0) return -1;
    size_t done = 0;
    while (done < window.size()) {
      ssize_t n = ::pread(fd_, window.data() + done, window.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
  }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
};

}  // namespace

bool IsFrameHeader(const uint8_t* b) {
  return b[0] == 0xFF && b[1] >= 0xE0 && ((b[1] >> 3) & 3) != 1 && ((b[1] >> 1) & 3) != 0 && b[2] < 0xF0 &&
         b[2] > 0x0F && ((b[2] >> 2) & 3) != 3 && (b[3] & 3) != 2;
}

int64_t MPEGBitRate(uint8_t versionID, uint8_t layerID, uint16_t bitRateID) {
  if (versionID > 3 || versionID == 1 || layerID == 0 || layerID > 3 || bitRateID > 15) return 0;
  int row;
  if (versionID == kVersion1)
    row = 3 - layerID;  // Layer I = 0, II = 1, III = 2
  else
    row = layerID == kLayerI ? 3 : 4;
  return kBitRates[row][bitRateID];
}

int64_t MPEGSampleRate(uint8_t versionID, uint16_t sampleRateID) {
  if (versionID > 3 || sampleRateID > 3) return 0;
  return kSampleRates[versionID][sampleRateID];
}

int64_t MPEGCoefficient(uint8_t versionID, uint8_t layerID) {
  if (layerID == kLayerI) return 48;
  if (layerID == 2) return 144;
  if (layerID == kLayerIII) return versionID == kVersion1 ? 144 : 72;
  return 0;
}

uint16_t MPEGFrameLength(const FrameHeader& f) {
  const int64_t rate = MPEGSampleRate(f.VersionID, f.SampleRateID);
  if (rate == 0) return 0;
  const int64_t bits = MPEGCoefficient(f.VersionID, f.LayerID) * MPEGBitRate(f.VersionID, f.LayerID, f.BitRateID);
  return static_cast<uint16_t>(bits * 1000 / rate + Padding(f));
}

void TMPEGaudio::Reset() {
  FileLength = 0;
  VendorID.clear();
  VBR = VBRData();
  Frame = FrameHeader();
  // The "unknown" codes of each name table.
  Frame.VersionID = 1;
  Frame.SampleRateID = 3;
  Frame.ModeID = 4;
  Frame.ModeExtensionID = 4;
  Frame.EmphasisID = 2;
  ID3v1.Reset();
  ID3v2.Reset();
}

void TMPEGaudio::FindFrame(const uint8_t* w) {
  Frame = FrameHeader();
  for (int32_t i = 0; i <= kLastCandidate; ++i) {
    if (!IsFrameHeader(w + i)) continue;
    DecodeHeader(w + i, Frame);
    const int32_t length = MPEGFrameLength(Frame);
    const int32_t next = i + length;
    if (next + 4 > kWindow || !IsFrameHeader(w + next)) continue;
    Frame.Found = true;
    Frame.Position = i;
    Frame.Size = static_cast<uint16_t>(length);
    Frame.Xing = std::all_of(w + i + 4, w + i + 10, [](uint8_t b) { return b == 0; });
    int32_t deviation;
    if (Frame.VersionID == kVersion1)
      deviation = Frame.ModeID == kModeMono ? 21 : 36;
    else
      deviation = Frame.ModeID == kModeMono ? 13 : 21;
    ReadVBR(w + i + deviation, VBR);
    return;
  }
}

void TMPEGaudio::FindVendorID(const uint8_t* w, uint16_t frameLength) {
  for (int32_t k = 0; k <= 2 * int32_t{frameLength} && kVendorScanStart - k >= 0; ++k) {
    const uint8_t* p = w + kVendorScanStart - k;
    if (std::memcmp(p, "LAME", 4) == 0) {
      VendorID.assign(reinterpret_cast<const char*>(p), 8);
      return;
    }
    if (std::memcmp(p, "GOGO", 4) == 0) {
      VendorID = "GOGO";
      return;
    }
  }
}

bool TMPEGaudio::ReadFromFile(const std::string& fileName) {
  Reset();
  bool result = false;
  try {
    if (!ID3v1.ReadFromFile(fileName) || !ID3v2.ReadFromFile(fileName)) return false;
    result = [&] {
      TWindowReader file;
      if (!file.Open(fileName)) return false;
      FileLength = static_cast<int32_t>(file.Size());  // 32-bit, as stored
      std::vector<uint8_t> window;
      const int64_t got = file.Read(ID3v2.Size, window);
      if (got < 0) return false;
      FindFrame(window.data());
      if (!Frame.Found && got == kWindow) {
        if (file.Read((int64_t{FileLength} - ID3v2.Size) / 2, window) < 0) return false;
        FindFrame(window.data());
      }
      if (Frame.Found && !VBR.Found) {
        const int64_t end = int64_t{FileLength} - (ID3v1.Exists ? kID3v1Size : 0);
        if (file.Read(end - kWindow, window) < 0) return false;
        FindVendorID(window.data(), Frame.Size);
      }
      return true;
    }();
  } catch (const std::exception&) {
    result = false;
  }
  if (!Frame.Found) Reset();  // no tag values come out of a file without frames
  return result;
}

std::string TMPEGaudio::Version() const { return kVersionNames[Frame.VersionID & 3]; }

std::string TMPEGaudio::Layer() const { return kLayerNames[Frame.LayerID & 3]; }

int64_t TMPEGaudio::SampleRate() const { return MPEGSampleRate(Frame.VersionID, Frame.SampleRateID); }

// With a frame count: the audio bytes (the header's count, else the span
// between the first frame and the ID3v1 tag) over the duration of the
// frames, coefficient x frames x 8 / sample rate.
int64_t TMPEGaudio::BitRate() const {
  if (VBR.Found && VBR.Frames > 0) {
    const int64_t coefficient = MPEGCoefficient(Frame.VersionID, Frame.LayerID);
    if (coefficient == 0) return 0;
    const int64_t bytes = VBR.Bytes > 0 ? VBR.Bytes
                                        : int64_t{FileLength} - ID3v2.Size - Frame.Position -
                                              (ID3v1.Exists ? kID3v1Size : 0);
    const double kbits = static_cast<double>(bytes) * static_cast<double>(SampleRate()) /
                         (static_cast<double>(coefficient) * VBR.Frames * 1000);
    return static_cast<int64_t>(std::nearbyint(kbits));  // half to even in the default mode
  }
  return MPEGBitRate(Frame.VersionID, Frame.LayerID, Frame.BitRateID);
}

std::string TMPEGaudio::ChannelMode() const { return kModeNames[Frame.ModeID <= 4 ? Frame.ModeID : 4]; }

std::string TMPEGaudio::Emphasis() const { return kEmphasisNames[Frame.EmphasisID & 3]; }

int64_t TMPEGaudio::Frames() const {
  if (!Frame.Found) return 0;
  if (VBR.Found) return VBR.Frames;
  if (Frame.Size == 0) return 0;
  return (int64_t{FileLength} - ID3v2.Size - Frame.Position) / Frame.Size;
}

double TMPEGaudio::Duration() const {
  if (!Frame.Found) return 0;
  const int64_t rate = SampleRate();
  if (VBR.Found && VBR.Frames > 0) {
    if (rate == 0) return 0;
    return static_cast<double>(MPEGCoefficient(Frame.VersionID, Frame.LayerID)) * VBR.Frames * 8 /
           static_cast<double>(rate);
  }
  const int64_t bitRate = MPEGBitRate(Frame.VersionID, Frame.LayerID, Frame.BitRateID);
  if (bitRate == 0) return 0;
  return static_cast<double>(int64_t{FileLength} - ID3v2.Size - Frame.Position) * 8 / static_cast<double>(bitRate) /
         1000;
}

uint8_t TMPEGaudio::EncoderID() const {
  if (!Frame.Found) return 0;
  uint8_t id;
  if (VBR.Found) {
    id = 0;
    const bool lame = StartsWith(VBR.VendorID, "LAME");
    const bool gogo = StartsWith(VBR.VendorID, "GOGO") || StartsWith(VBR.VendorID, "MPGE");
    if (lame) id = 3;
    if (gogo) id = 5;
    if ((VBR.ID == "Xing" || VBR.ID == "Info") && !lame && !gogo) id = 1;
    if (VBR.ID == "VBRI") id = 2;
    return id;
  }
  // Later rules override earlier ones.
  id = 2;
  if (Frame.OriginalBit && Frame.ProtectionBit) id = 3;
  if (MPEGBitRate(Frame.VersionID, Frame.LayerID, Frame.BitRateID) <= 160 && Frame.ModeID == kModeStereo) id = 4;
  if (Frame.CopyrightBit && Frame.OriginalBit && !Frame.ProtectionBit) id = 1;
  if (Frame.Xing && Frame.OriginalBit) id = 1;
  if (Frame.ModeID == kModeDual && Frame.ProtectionBit) id = 6;
  if (StartsWith(VendorID, "LAME")) id = 3;
  if (StartsWith(VendorID, "GOGO")) id = 5;
  return id;
}

std::string TMPEGaudio::Encoder() const {
  const uint8_t id = EncoderID();
  std::string name = kEncoderNames[id < 7 ? id : 0];
  const std::string& sig = VendorID.empty() ? VBR.VendorID : VendorID;
  if (id == 3 && sig.size() >= 8 && IsDigit(sig[4]) && sig[5] == '.' && IsDigit(sig[6]) && IsDigit(sig[7]))
    name += " " + sig.substr(4, 4);
  return name;
}

void RunMPGHandler(const std::string& file, TTagInfo& tags) {
  TMPEGaudio mpeg;
  if (!mpeg.ReadFromFile(file)) return;
  CopyID3v2(mpeg.ID3v2, tags);
  CopyID3v1(mpeg.ID3v1, tags);
  tags.AddTag("MPEGLayerName", mpeg.Layer());
  tags.AddTag("MPEGVersionName", mpeg.Version());
  tags.AddTag("SampleRateHZ", mpeg.SampleRate());
  tags.AddTag("BitRateKBS", mpeg.BitRate());
  tags.AddTag("ChannelModeName", mpeg.ChannelMode());
  tags.AddTag("EmphasisName", mpeg.Emphasis());
  tags.AddTag("TotalFrames", mpeg.Frames());
  tags.AddTag("DurationSec", mpeg.Duration());
  tags.AddTag("Encoderid", int64_t{mpeg.EncoderID()});
  tags.AddTag("EncoderName", mpeg.Encoder());
}

}  // namespace tw
