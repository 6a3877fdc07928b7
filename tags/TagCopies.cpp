#include "tags/TagCopies.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagClasses.h"

namespace tw {

void CopyID3v1(const TID3v1& tag, TTagInfo& tags) {
  tags.AddTag("Artist", tag.Artist);
  tags.AddTag("Title", tag.Title);
  tags.AddTag("Album", tag.Album);
  tags.AddTag("Year", tag.Year);
  tags.AddTag("Genre", tag.Genre());
  tags.AddTag("Comments", tag.Comment);
  tags.AddTag("Track", int64_t{tag.Track});
}

void CopyID3v2(const TID3v2& tag, TTagInfo& tags) {
  tags.AddTag("Artist", tag.Artist);
  tags.AddTag("Title", tag.Title);
  tags.AddTag("Album", tag.Album);
  tags.AddTag("Year", tag.Year);
  tags.AddTag("Genre", tag.Genre);
  tags.AddTag("Comments", tag.Comment);
  tags.AddTag("Track", int64_t{tag.Track});
}

void RunMP3Handler(const std::string& file, TTagInfo& tags) {
  TID3v1 v1;
  if (v1.ReadFromFile(file)) CopyID3v1(v1, tags);
  TID3v2 v2;
  if (v2.ReadFromFile(file)) CopyID3v2(v2, tags);
}

}  // namespace tw
