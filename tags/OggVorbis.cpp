#include "tags/OggVorbis.h"

#include <cmath>
#include <cstring>
#include <exception>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "tags/TagClasses.h"
#include "tags/VorbisComment.h"

namespace tw {

namespace {

constexpr size_t kIdHeaderOffset = 28;
constexpr size_t kIdHeaderSize = 30;
constexpr size_t kWindow = 250;       // start window and tail window

// The comment header's items start after the first 03 "vorbis" among the
// first 250 bytes, or at 0 when there is none.
int64_t CommentStart(const TFileInput& in) {
  unsigned char head[kWindow];
  const size_t got = in.ReadUpTo(0, head, kWindow);
  static const unsigned char kSignature[7] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
  for (size_t p = 0; p + 7 <= got && p <= 243; ++p)
    if (std::memcmp(head + p, kSignature, 7) == 0) return static_cast<int64_t>(p) + 7;
  return 0;
}

uint32_t LastGranule(const TFileInput& in, uint32_t fileSize) {
  unsigned char window[kWindow];
  for (int64_t i = 1; i <= 50; ++i) {
    const int64_t start = static_cast<int64_t>(fileSize) - 240 * i - 10;
    if (!in.ReadAt(start, window, kWindow)) return 0;
    for (size_t q = 0; q <= 240; ++q)
      if (std::memcmp(window + q, "OggS", 4) == 0) {
        uint8_t granule[4];
        if (!in.ReadAt(start + static_cast<int64_t>(q) + 6, granule, 4)) return 0;
        return Le32(granule);
      }
  }
  return 0;
}

}  // namespace

void TOggVorbis::Reset() { *this = TOggVorbis(); }

bool TOggVorbis::ReadFromFile(const std::string& fileName) {
  Reset();
  try {
    TFileInput in(fileName);
    uint8_t id[kIdHeaderSize];
    if (!in.Ok() || !in.ReadAt(kIdHeaderOffset, id, kIdHeaderSize)) return false;
    if (std::memcmp(id, "\x01vorbis", 7) != 0) return true;

    Valid = true;
    FileSize = static_cast<uint32_t>(in.Size());
    const uint8_t channels = id[11];
    ChannelModeID = channels == 1 || channels == 2 ? channels : 0;
    // Any rate a Vorbis encoder takes, up to the 384 kHz of studio recordings.
    const int32_t rate = static_cast<int32_t>(Le32(id + 12));
    SampleRate = rate >= 8000 && rate <= 384000 ? static_cast<uint32_t>(rate) : 0;
    const int32_t nominal = static_cast<int32_t>(Le32(id + 20)) / 1000;
    BitRateNominal = nominal >= 16 && nominal <= 350 ? static_cast<uint16_t>(nominal) : 0;

    const TVorbisComments comments = ReadVorbisComments(in, CommentStart(in));
    Title = comments.Title;
    Artist = comments.Artist;
    Album = comments.Album;
    Date = comments.Date;
    Genre = comments.Genre;
    Comment = comments.Comment;
    Vendor = comments.Vendor;
    Track = comments.Track;

    Samples = LastGranule(in, FileSize);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string TOggVorbis::ChannelMode() const {
  static const char* const kNames[] = {"Unknown", "Mono", "Stereo"};
  return kNames[ChannelModeID <= 2 ? ChannelModeID : 0];
}

double TOggVorbis::Duration() const {
  if (Samples != 0) return SampleRate != 0 ? static_cast<double>(Samples) / SampleRate : 0;
  if (BitRateNominal > 0 && ChannelModeID > 0)
    return static_cast<double>(FileSize) / BitRateNominal / ChannelModeID / 125 * 2;
  return 0;
}

int TOggVorbis::BitRate() const {
  const double duration = Duration();
  if (duration <= 0) return 0;
  return static_cast<int>(std::nearbyint(static_cast<double>(FileSize) / duration / 125));
}

void RunOGGHandler(const std::string& file, TTagInfo& tags) {
  TOggVorbis ogg;
  if (!ogg.ReadFromFile(file)) return;
  CopyVorbisComments({.Vendor = ogg.Vendor,
                      .Title = ogg.Title,
                      .Artist = ogg.Artist,
                      .Album = ogg.Album,
                      .Date = ogg.Date,
                      .Genre = ogg.Genre,
                      .Comment = ogg.Comment,
                      .Track = ogg.Track},
                     tags);
  tags.AddTag("ChannelModeid", static_cast<int64_t>(ogg.ChannelModeID));
  tags.AddTag("ChannelModeName", ogg.ChannelMode());
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(ogg.SampleRate));
  tags.AddTag("BitRateKBS", static_cast<int64_t>(ogg.BitRate()));
  tags.AddTag("DurationSec", ogg.Duration());
  tags.AddTag("Vendor", ogg.Vendor);
}

}  // namespace tw
