#include "tags/TwinVQ.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>

#include "base/FileInput.h"
#include "tags/TagClasses.h"

namespace tw {
namespace {

constexpr size_t kHeaderSize = 40;
constexpr size_t kChunkHeaderSize = 8;
constexpr uint32_t kMaxTextKept = 250;
constexpr int64_t kFirstChunk = 16;
constexpr std::array<const char*, 3> kChannelModes = {"Unknown", "Mono", "Stereo"};

// Text chunk identifiers in slot order.
enum TSlot { sName, sComment, sAuthor, sCopyright, sFile, sCount };
constexpr std::array<std::string_view, sCount> kChunkIds = {"NAME", "COMT", "AUTH", "(c) ", "FILE"};

// The working record of one read.
struct THeaderInfo {
  std::array<unsigned char, kHeaderSize> Data{};
  int64_t FileSize = 0;
  std::array<std::string, sCount> Texts;
};

// Numbers are big-endian 32-bit, of which only the low 16 bits count.
uint16_t Low16(const unsigned char* p) { return static_cast<uint16_t>(p[2] << 8 | p[3]); }

void ReadTextChunks(const TFileInput& file, THeaderInfo& info) {
  for (int64_t pos = kFirstChunk; pos < info.FileSize;) {
    unsigned char head[kChunkHeaderSize];
    if (!file.ReadAt(pos, head, sizeof head)) return;
    const std::string_view id(reinterpret_cast<const char*>(head), 4);
    for (unsigned char c : id)
      if (c < 32) return;
    if (id == "DATA") return;
    const uint16_t size = Low16(head + 4);
    std::string text(std::min<uint32_t>(size, kMaxTextKept), '\0');
    if (!file.ReadAt(pos + int64_t(kChunkHeaderSize), text.data(), text.size())) return;
    text.resize(std::strlen(text.c_str()));
    for (size_t slot = 0; slot < sCount; ++slot)
      if (id == kChunkIds[slot]) info.Texts[slot] = text;
    pos += int64_t(kChunkHeaderSize) + size;
  }
}

uint16_t SampleRateOf(uint16_t code) {
  switch (code) {
    case 11: return 11025;
    case 22: return 22050;
    case 44: return 44100;
    default: return static_cast<uint16_t>(code * 1000);  // 16 bits, as stored
  }
}

}  // namespace

void TTwinVQ::ResetData() { *this = TTwinVQ(); }

std::string TTwinVQ::ChannelMode() const {
  return ChannelModeID < kChannelModes.size() ? kChannelModes[ChannelModeID] : kChannelModes[0];
}

bool TTwinVQ::ReadFromFile(const std::string& fileName) {
  ResetData();
  try {
    TFileInput file(fileName);
    if (!file.Ok()) return false;
    THeaderInfo info;
    info.FileSize = file.Size();
    if (!file.ReadAt(0, info.Data.data(), kHeaderSize)) return false;
    if (std::memcmp(info.Data.data(), "TWIN97012000", 12) != 0) return true;

    Valid = true;
    const uint16_t channelMode = Low16(&info.Data[24]);
    ChannelModeID = channelMode == 0 ? 1 : channelMode == 1 ? 2 : 0;
    BitRate = static_cast<uint8_t>(Low16(&info.Data[28]));
    SampleRate = SampleRateOf(Low16(&info.Data[32]));
    FileSize = static_cast<uint32_t>(info.FileSize);
    const int64_t headerSize = Low16(&info.Data[12]);
    if (BitRate != 0) Duration = std::abs(int64_t(FileSize) - headerSize - 20) / 125.0 / BitRate;

    ReadTextChunks(file, info);
    Title = info.Texts[sName];
    Comment = info.Texts[sComment];
    Author = info.Texts[sAuthor];
    Copyright = info.Texts[sCopyright];
    SourceName = info.Texts[sFile];
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void RunVQFHandler(const std::string& file, TTagInfo& tags) {
  TTwinVQ vqf;
  if (!vqf.ReadFromFile(file)) return;
  tags.AddTag("Artist", vqf.Author);
  tags.AddTag("Title", vqf.Title);
  tags.AddTag("Comments", vqf.Comment);
  tags.AddTag("Copyright", vqf.Copyright);
  tags.AddTag("ChannelModeid", static_cast<int64_t>(vqf.ChannelModeID));
  tags.AddTag("ChannelModeName", vqf.ChannelMode());
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(vqf.SampleRate));
  tags.AddTag("BitRateKBS", static_cast<int64_t>(vqf.BitRate));
  tags.AddTag("DurationSec", vqf.Duration);
  tags.AddTag("OriginalFilename", vqf.SourceName);
}

}  // namespace tw
