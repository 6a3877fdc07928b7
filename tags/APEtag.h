// APE tags (versions 1 and 2) at the end of a file, in front of an ID3v1 tag
// when there is one. Monkey's Audio files get only their tag read.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TTagInfo;

class TAPEtag {
 public:
  bool Exists = false;
  uint32_t Version = 0;  // 1000 or 2000 as the footer says
  uint32_t Size = 0;     // items and footer, without a header
  std::string Title;
  std::string Artist;
  std::string Album;
  uint8_t Track = 0;
  std::string Year;
  std::string Genre;
  std::string Comment;
  std::string Copyright;

  void ResetData();
  // False when the file cannot be read or is shorter than 128 bytes; true
  // otherwise, with reset values when there is no tag.
  bool ReadFromFile(const std::string& fileName);
};

// The "APE" handler: the APE copy into the tag record.
void RunAPEHandler(const std::string& file, TTagInfo& tags);
// The APE copy: "Artist", "Title", "Album", "Year", "Genre", "Comments",
// "Track", "Copyright".
void CopyAPEtag(const TAPEtag& ape, TTagInfo& tags);

}  // namespace tw
