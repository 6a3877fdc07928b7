// make_demo_tree DIR: writes a small folder tree to catalogue in the demo and
// the screenshots: discs of music (MP3 files with ID3 tags, WAV files),
// documents, pictures and ZIP archives. The files are tiny and made here,
// byte by byte, so the demo needs no media of its own.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

void PutLe(Bytes& b, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void Write(const fs::path& file, const Bytes& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// An ID3v2.3 tag with text frames, then MPEG-1 layer III frames of silence
// (128 kbit/s, 44.1 kHz), then an ID3v1 tag.
Bytes Mp3(const std::string& title, const std::string& artist, const std::string& album, int track, int year,
          int frames) {
  Bytes frames3;
  auto text = [&](const char* id, const std::string& value) {
    frames3 += id;
    const uint32_t size = static_cast<uint32_t>(value.size() + 1);
    for (int i = 3; i >= 0; --i) frames3.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    frames3 += std::string(2, '\0');
    frames3.push_back('\0');  // ISO-8859-1
    frames3 += value;
  };
  text("TIT2", title);
  text("TPE1", artist);
  text("TALB", album);
  text("TRCK", std::to_string(track));
  text("TYER", std::to_string(year));
  Bytes out = "ID3";
  out += std::string("\x03\x00\x00", 3);
  const uint32_t size = static_cast<uint32_t>(frames3.size());
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((size >> (7 * i)) & 0x7F));
  out += frames3;
  for (int f = 0; f < frames; ++f) {
    Bytes frame("\xFF\xFB\x90\x00", 4);
    frame.resize(417, '\0');
    out += frame;
  }
  Bytes v1 = "TAG";
  auto field = [&](const std::string& s, size_t n) {
    Bytes f = s.substr(0, n);
    f.resize(n, '\0');
    v1 += f;
  };
  field(title, 30);
  field(artist, 30);
  field(album, 30);
  field(std::to_string(year), 4);
  field("", 28);
  v1.push_back('\0');
  v1.push_back(static_cast<char>(track));
  v1.push_back(static_cast<char>(12));  // genre
  return out + v1;
}

// A PCM WAV file of silence: 16-bit stereo at 44.1 kHz.
Bytes Wav(int milliseconds) {
  const uint32_t data = 44100u * 4u * static_cast<uint32_t>(milliseconds) / 1000u;
  Bytes out = "RIFF";
  PutLe(out, 36 + data, 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, 2, 2);
  PutLe(out, 44100, 4);
  PutLe(out, 44100 * 4, 4);
  PutLe(out, 4, 2);
  PutLe(out, 16, 2);
  out += "data";
  PutLe(out, data, 4);
  out.resize(out.size() + data, '\0');
  return out;
}

uint32_t Crc32(const Bytes& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A ZIP archive with stored members (name, contents).
Bytes Zip(const std::vector<std::pair<std::string, Bytes>>& members) {
  Bytes out, central;
  const uint32_t dosTime = (10u << 11) | (30u << 5), dosDate = ((2024u - 1980u) << 9) | (5u << 5) | 17u;
  for (const auto& [name, data] : members) {
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint32_t crc = Crc32(data);
    auto header = [&](Bytes& b, bool centralEntry) {
      PutLe(b, centralEntry ? 0x02014b50u : 0x04034b50u, 4);
      if (centralEntry) PutLe(b, 20, 2);
      PutLe(b, 20, 2);
      PutLe(b, 0, 2);
      PutLe(b, 0, 2);
      PutLe(b, dosTime, 2);
      PutLe(b, dosDate, 2);
      PutLe(b, crc, 4);
      PutLe(b, static_cast<uint32_t>(data.size()), 4);
      PutLe(b, static_cast<uint32_t>(data.size()), 4);
      PutLe(b, static_cast<uint32_t>(name.size()), 2);
      PutLe(b, 0, 2);
      if (centralEntry) {
        PutLe(b, 0, 2);
        PutLe(b, 0, 2);
        PutLe(b, 0, 2);
        PutLe(b, 0, 4);
        PutLe(b, offset, 4);
      }
      b += name;
    };
    header(out, false);
    out += data;
    header(central, true);
  }
  const uint32_t centralOffset = static_cast<uint32_t>(out.size());
  out += central;
  PutLe(out, 0x06054b50u, 4);
  PutLe(out, 0, 4);
  PutLe(out, static_cast<uint32_t>(members.size()), 2);
  PutLe(out, static_cast<uint32_t>(members.size()), 2);
  PutLe(out, static_cast<uint32_t>(central.size()), 4);
  PutLe(out, centralOffset, 4);
  PutLe(out, 0, 2);
  return out;
}

Bytes Text(const std::string& line, int lines) {
  Bytes out;
  for (int i = 0; i < lines; ++i) out += line + " " + std::to_string(i + 1) + "\n";
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_tree DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  const std::vector<std::string> artists = {"The Quiet Harbour", "Maple Avenue", "Northern Lights Trio"};
  const std::vector<std::string> albums = {"First Light", "Paper Boats", "Winter Songs"};
  const std::vector<std::string> titles = {"Morning", "Old Road", "Lanterns", "Harbour Wind", "Slow River", "Goodnight"};
  int year = 2009;
  for (size_t a = 0; a < artists.size(); ++a) {
    const fs::path album = root / "Music CD" / artists[a] / albums[a];
    for (size_t t = 0; t < titles.size(); ++t) {
      char name[64];
      std::snprintf(name, sizeof name, "%02zu %s.mp3", t + 1, titles[t].c_str());
      Write(album / name, Mp3(titles[t], artists[a], albums[a], static_cast<int>(t + 1), year, 20 + 7 * static_cast<int>(t)));
    }
    Write(album / "cover.jpg", Bytes("\xFF\xD8\xFF\xE0", 4) + Bytes(2000, '\x11'));
    ++year;
  }
  Write(root / "Music CD" / "Samples" / "tone a.wav", Wav(250));
  Write(root / "Music CD" / "Samples" / "tone b.wav", Wav(400));

  const fs::path docs = root / "Backup DVD";
  Write(docs / "Letters" / "to the bank.txt", Text("Dear Sir or Madam, line", 40));
  Write(docs / "Letters" / "holiday plans.txt", Text("Day by the sea, note", 25));
  Write(docs / "Recipes" / "bread.txt", Text("Flour, water, salt, step", 12));
  Write(docs / "Recipes" / "soup.txt", Text("Leeks and potatoes, step", 9));
  Write(docs / "Archives" / "letters 2023.zip",
        Zip({{"letters/january.txt", Text("January letter", 30)},
             {"letters/february.txt", Text("February letter", 20)},
             {"readme.txt", Text("Old letters", 3)}}));
  Write(docs / "Archives" / "recipes.zip",
        Zip({{"cakes/apple cake.txt", Text("Apples, step", 10)}, {"cakes/plum cake.txt", Text("Plums, step", 8)}}));
  Write(docs / "Photos" / "beach.jpg", Bytes("\xFF\xD8\xFF\xE0", 4) + Bytes(48000, '\x22'));
  Write(docs / "Photos" / "mountains.jpg", Bytes("\xFF\xD8\xFF\xE0", 4) + Bytes(61000, '\x33'));
  Write(docs / "Photos" / "city.png", Bytes("\x89PNG\r\n\x1A\n", 8) + Bytes(23000, '\x44'));
  std::printf("demo tree written to %s\n", root.c_str());
  return 0;
}
