#include "tags/CDAtrack.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <exception>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "base/IniFile.h"
#include "tags/TagClasses.h"

namespace tw {
namespace {

constexpr size_t kTrackFileSize = 44;
constexpr double kSectorsPerSecond = 75;

// The working record of one read.
struct TTrackData {
  std::array<unsigned char, kTrackFileSize> Data{};
  std::string TrackTitle;
  std::string Artist;
  std::string DiscTitle;
};

}  // namespace

void TCDAtrack::ResetData() {
  Valid = false;
  Title.clear();
  Artist.clear();
  Album.clear();
  Duration = 0;
  Track = 0;
  Position = 0;
}

bool TCDAtrack::ReadFromFile(const std::string& fileName) {
  ResetData();
  TTrackData data;
  try {
    TFileInput file(fileName);
    if (!file.Ok()) return false;
    file.ReadUpTo(0, data.Data.data(), data.Data.size());
    const uint16_t track = Le16(&data.Data[22]);
    char section[16];
    std::snprintf(section, sizeof section, "%02X", Le32(&data.Data[24]));
    const TIniFile db(database_);
    data.TrackTitle = db.ReadString(section, std::to_string(track), "");
    data.Artist = db.ReadString(section, "artist", "");
    data.DiscTitle = db.ReadString(section, "title", "");
  } catch (const std::exception&) {
    return false;
  }
  if (std::memcmp(&data.Data[0], "RIFF", 4) == 0 && std::memcmp(&data.Data[8], "CDDAfmt ", 8) == 0) {
    Valid = true;
    Title = data.TrackTitle;
    Artist = data.Artist;
    Album = data.DiscTitle;
    Duration = Le32(&data.Data[32]) / kSectorsPerSecond;
    Track = Le16(&data.Data[22]);
    Position = Le32(&data.Data[28]) / kSectorsPerSecond;
  }
  return true;
}

void RunCDAHandler(const std::string& file, TTagInfo& tags, const std::string& database) {
  TCDAtrack cda(database);
  if (!cda.ReadFromFile(file)) return;
  tags.AddTag("Artist", cda.Artist);
  tags.AddTag("Title", cda.Title);
  tags.AddTag("Album", cda.Album);
  tags.AddTag("DurationSec", cda.Duration);
  tags.AddTag("Track", static_cast<int64_t>(cda.Track));
  tags.AddTag("TrackPositionSec", cda.Position);
}

}  // namespace tw
