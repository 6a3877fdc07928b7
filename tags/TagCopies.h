// The shared tag copies from the ID3 readers into a file's tag record, and
// the "MP3" handler built from them.
#pragma once

#include <string>

namespace tw {

class TID3v1;
class TID3v2;
class TTagInfo;

// Artist, Title, Album, Year, Genre, Comments, Track, in this order.
void CopyID3v1(const TID3v1& tag, TTagInfo& tags);
void CopyID3v2(const TID3v2& tag, TTagInfo& tags);

// ID3v1 values first, then ID3v2 values, which win; each only when its read succeeded.
void RunMP3Handler(const std::string& file, TTagInfo& tags);

}  // namespace tw
