#include "tags/ID3v1.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace tw {

namespace {

constexpr size_t kTagSize = 128;

// The ID3v1 names 0-79, then the Winamp extension 80-147, spelled as the
// list has always spelled them.
constexpr std::array<std::string_view, 148> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    // Winamp extension
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic",
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progessive Rock", "Psychedelic Rock", "Symphonic Rock",
    "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock",
    "Drum Solo", "A capella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop"};

// Bytes up to the first zero, without trailing characters of code 32 or less.
std::string FieldText(const unsigned char* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  while (len > 0 && p[len - 1] <= 32) --len;
  return std::string(reinterpret_cast<const char*>(p), len);
}

}  // namespace

std::string ID3v1GenreName(unsigned id) { return id < kGenres.size() ? std::string(kGenres[id]) : std::string(); }

void TID3v1::Reset() { *this = TID3v1(); }

std::string TID3v1::Genre() const { return ID3v1GenreName(GenreID); }

bool TID3v1::ReadFromFile(const std::string& fileName) {
  Reset();
  // Check the kind before opening: a FIFO or device is never opened.
  struct stat st;
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char tag[kTagSize];
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= static_cast<off_t>(kTagSize) &&
            ::pread(fd, tag, kTagSize, st.st_size - static_cast<off_t>(kTagSize)) == static_cast<ssize_t>(kTagSize);
  ::close(fd);
  if (!ok) return false;
  return ReadFromBuffer(reinterpret_cast<const char*>(tag), kTagSize);
}

bool TID3v1::ReadFromBuffer(const char* data, size_t size) {
  Reset();
  if (size < kTagSize) return false;
  const auto* t = reinterpret_cast<const unsigned char*>(data + size - kTagSize);
  if (t[0] != 'T' || t[1] != 'A' || t[2] != 'G') return true;
  Exists = true;
  bool v11 = (t[125] == 0 && t[126] != 0) || (t[125] == ' ' && t[126] != ' ');
  VersionID = v11 ? 2 : 1;
  Title = FieldText(t + 3, 30);
  Artist = FieldText(t + 33, 30);
  Album = FieldText(t + 63, 30);
  Year = FieldText(t + 93, 4);
  Comment = FieldText(t + 97, v11 ? 28 : 30);
  if (v11) Track = t[126];
  GenreID = t[127];
  return true;
}

}  // namespace tw
