// CD track files (".CDA"): the track's place on the disc from the 44-byte
// track file, titles from the CD player database.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TCDAtrack {
 public:
  bool Valid = false;
  std::string Title;
  std::string Artist;
  std::string Album;
  double Duration = 0;  // seconds
  uint16_t Track = 0;
  double Position = 0;  // seconds from the start of the disc

  // The CD player database ("cdplayer.ini"): a section per disc, named by
  // its serial number in upper-case hexadecimal, with the keys "artist",
  // "title" and one per track number.
  explicit TCDAtrack(std::string database) : database_(std::move(database)) {}

  void ResetData();
  // False when the track file cannot be read; true otherwise, with values
  // only when it is a CD track file.
  bool ReadFromFile(const std::string& fileName);

 private:
  std::string database_;
};

// The "CDA" handler: titles from the CD player database `database` (the
// cdplayer.ini of the user's data folder) and the track's place into the
// tag record.
void RunCDAHandler(const std::string& file, TTagInfo& tags, const std::string& database);

}  // namespace tw
