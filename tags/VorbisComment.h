// Vorbis comments: the tag block of Ogg Vorbis streams and of FLAC files. A
// vendor string, an item count, then items "NAME=value", each a 32-bit
// little-endian length followed by its bytes.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

class TFileInput;
class TTagInfo;

// The fields a file entry takes from the comments; texts are the well-formed
// UTF-8 start of each value.
struct TVorbisComments {
  std::string Vendor;
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Date;
  std::string Genre;
  std::string Comment;
  uint8_t Track = 0;  // the number before a "/", 0 when none
};

// Reads the comment block whose vendor length lies at pos. At most 250 bytes
// of an item are kept; a read past the end ends the reading quietly with
// what was found.
TVorbisComments ReadVorbisComments(const TFileInput& in, int64_t pos);

// "Artist", "Title", "Album", "Year" (from DATE), "Genre", "Comments", "Track".
void CopyVorbisComments(const TVorbisComments& comments, TTagInfo& tags);

}  // namespace tw
