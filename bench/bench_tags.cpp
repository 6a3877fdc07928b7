// The tag readers over a folder of MP3 files, timed against `cat` of the same
// files in the same run: a scan should only touch the tags and the first
// frames, so it has to stay well below reading the files whole.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/RegUtils.h"
#include "bench/BenchSupport.h"
#include "core/LibClasses.h"
#include "tags/HandlerClasses.h"

namespace {

using namespace tw;
using namespace tw::bench;

constexpr int kFiles = 300;
constexpr int kSeconds = 60;
constexpr double kRatioLimit = 0.5;  // of cat's time

// Bumped whenever the files change, so that older sets are made again.
const char* kStamp = "bench_tags mp3 set 1: 300 x 60 s, MPEG-1 Layer III 128 kbit/s 44100 Hz stereo, ID3v2.3 + ID3v1";
const char* kMarker = "complete";

const char* kUsage =
    "usage: bench_tags [DIR]   time the tag readers over DIR/mp3-300 against cat of the same files\n"
    "DIR defaults to $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench; the files are made when missing.\n";

// What file i carries; the ID3v2 title is longer than ID3v1's 30 characters,
// so a full title proves the ID3v2 reader ran.
struct TSongTags {
  std::string Title, Artist, Album, Year, Track, Genre, Comment;
};

TSongTags SongTags(int i) {
  char n[8];
  std::snprintf(n, sizeof n, "%03d", i + 1);
  return {std::string("Benchmark Track ") + n + " of the Tag Reader Run",
          "Bench Artist " + std::to_string(i % 17),
          "Bench Album " + std::to_string(i / 12),
          std::to_string(1990 + i % 30),
          std::to_string(i % 12 + 1) + "/12",
          "Rock",
          std::string("Made for the tag reader benchmark, file ") + n};
}

std::string SongName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "song-%03d.mp3", i + 1);
  return name;
}

void Be32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift & 0xFF));
}

// An ID3v2.3 frame: ID, plain 32-bit size, two flag bytes, the data.
void Id3Frame(std::string& out, const char* id, const std::string& data) {
  out.append(id, 4);
  Be32(out, static_cast<uint32_t>(data.size()));
  out.append(2, '\0');
  out += data;
}

std::string Id3v2Tag(const TSongTags& t) {
  std::string frames;
  auto text = [&](const char* id, const std::string& value) { Id3Frame(frames, id, std::string(1, '\0') + value); };
  text("TIT2", t.Title);
  text("TPE1", t.Artist);
  text("TALB", t.Album);
  text("TYER", t.Year);
  text("TRCK", t.Track);
  text("TCON", "(17)" + t.Genre);
  // Latin-1, language, empty description with its terminator, the text.
  Id3Frame(frames, "COMM", std::string(1, '\0') + "eng" + std::string(1, '\0') + t.Comment);
  frames.append(512, '\0');  // padding, as taggers leave room for edits

  std::string tag = "ID3";
  tag += '\x03';
  tag += '\x00';
  tag += '\x00';  // no flags
  const auto size = static_cast<uint32_t>(frames.size());
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<char>(size >> shift & 0x7F));
  return tag + frames;
}

std::string Id3v1Field(const std::string& s, size_t n) {
  std::string f = s.substr(0, n);
  f.resize(n, '\0');
  return f;
}

std::string Id3v1Tag(const TSongTags& t) {
  std::string tag = "TAG";
  tag += Id3v1Field(t.Title, 30);
  tag += Id3v1Field(t.Artist, 30);
  tag += Id3v1Field(t.Album, 30);
  tag += Id3v1Field(t.Year, 4);
  // ID3v1.1: 28 comment bytes, a zero, the track number.
  tag += Id3v1Field(t.Comment, 28);
  tag += '\0';
  tag += static_cast<char>(std::atoi(t.Track.c_str()));
  tag += '\x11';  // Rock
  return tag;
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo, no CRC, original. A frame
// holds 1152 samples: 144 * 128000 / 44100 = 417.96 bytes, so the padding bit
// adds the 418th byte whenever the running remainder overflows.
std::string AudioFrames(int seconds) {
  constexpr uint32_t kBits = 144 * 128000;
  constexpr uint32_t kRate = 44100;
  const int frames = static_cast<int>((int64_t{seconds} * kRate + 1151) / 1152);
  std::string audio;
  audio.reserve(static_cast<size_t>(frames) * (kBits / kRate + 1));
  uint32_t rest = 0;
  for (int i = 0; i < frames; ++i) {
    rest += kBits % kRate;
    const bool padded = rest >= kRate;
    if (padded) rest -= kRate;
    const size_t length = kBits / kRate + (padded ? 1 : 0);
    const size_t start = audio.size();
    audio.append(length, '\0');  // silent side info and main data
    audio[start] = '\xFF';
    audio[start + 1] = '\xFB';
    audio[start + 2] = padded ? '\x92' : '\x90';
    audio[start + 3] = '\x04';
  }
  return audio;
}

void WriteFile(const std::string& path, const std::string& a, const std::string& b, const std::string& c) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(a.data(), static_cast<std::streamsize>(a.size()));
  out.write(b.data(), static_cast<std::streamsize>(b.size()));
  out.write(c.data(), static_cast<std::streamsize>(c.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool IsCurrent(const std::string& folder) {
  std::ifstream in(folder + "/" + kMarker);
  std::string stamp;
  if (!std::getline(in, stamp) || stamp != kStamp) return false;
  for (int i = 0; i < kFiles; ++i)
    if (!FileExists(folder + "/" + SongName(i))) return false;
  return true;
}

// The file names; the set is made first when missing or left half-written.
std::vector<std::string> EnsureSongs(const std::string& folder) {
  std::vector<std::string> files;
  for (int i = 0; i < kFiles; ++i) files.push_back(folder + "/" + SongName(i));
  if (IsCurrent(folder)) return files;

  std::printf("generating %s ...\n", folder.c_str());
  std::fflush(stdout);
  double start = Now();
  std::filesystem::remove_all(folder);
  MakeDirs(folder);
  const std::string audio = AudioFrames(kSeconds);
  for (int i = 0; i < kFiles; ++i) {
    TSongTags t = SongTags(i);
    WriteFile(files[i], Id3v2Tag(t), audio, Id3v1Tag(t));
  }
  // Written last: its presence means every file is complete.
  std::ofstream(folder + "/" + kMarker) << kStamp << '\n';
  std::printf("generated in %.1f s\n", Now() - start);
  return files;
}

// The value of the line `name`, or nothing.
std::string TagValue(const std::vector<std::string>& tags, const std::string& name) {
  for (const auto& line : tags)
    if (line.compare(0, name.size() + 1, name + "=") == 0) return line.substr(name.size() + 1);
  return {};
}

void Expect(const std::vector<std::string>& tags, const std::string& name, const std::string& value,
            const std::string& what) {
  std::string got = TagValue(tags, name);
  if (got != value)
    throw std::runtime_error(what + ": " + name + " is \"" + got + "\", expected \"" + value + "\"");
}

std::string Joined(const std::vector<std::string>& tags) {
  std::string s;
  for (const auto& t : tags) s += (s.empty() ? "" : ", ") + t;
  return s;
}

// One pass of ProcessFile over every file; the first file's tag lines are kept.
double ScanSeconds(const THandlerList& handlers, const std::vector<std::string>& files,
                   std::vector<std::string>& firstTags) {
  double start = Now();
  for (size_t i = 0; i < files.size(); ++i) {
    TLibFolderItem item;
    handlers.ProcessFile(files[i], item.TagInfo, nullptr);
    if (i == 0) firstTags = std::move(item.TagInfo.Tags);
  }
  return Now() - start;
}

// The ID3 values of the first file. The MP3 reader lets ID3v2 win; the MPG
// reader copies ID3v1 last, so its cut title and comment win there.
void CheckId3(const std::vector<std::string>& tags, bool v1Last, const std::string& what) {
  TSongTags t = SongTags(0);
  if (v1Last) {
    t.Title.resize(30);
    t.Comment.resize(28);
  }
  Expect(tags, "Title", t.Title, what);
  Expect(tags, "Artist", t.Artist, what);
  Expect(tags, "Album", t.Album, what);
  Expect(tags, "Year", t.Year, what);
  Expect(tags, "Track", std::to_string(std::atoi(t.Track.c_str())), what);
  Expect(tags, "Genre", t.Genre, what);
  Expect(tags, "Comments", t.Comment, what);
}

void CheckAudio(const std::vector<std::string>& tags, const std::string& what) {
  Expect(tags, "MPEGLayerName", "Layer III", what);
  Expect(tags, "MPEGVersionName", "MPEG 1", what);
  Expect(tags, "SampleRateHZ", "44100", what);
  Expect(tags, "BitRateKBS", "128", what);
  Expect(tags, "ChannelModeName", "Stereo", what);
  std::string duration = TagValue(tags, "DurationSec");
  double seconds = std::strtod(duration.c_str(), nullptr);
  if (seconds < kSeconds - 0.5 || seconds > kSeconds + 0.5)
    throw std::runtime_error(what + ": DurationSec is \"" + duration + "\", expected about " +
                             std::to_string(kSeconds));
}

struct TScan {
  double Seconds = 0;
  std::vector<std::string> FirstTags;
};

// A warm-up pass, then the best of 3.
TScan TimeScan(const THandlerList& handlers, const std::vector<std::string>& files) {
  TScan scan;
  ScanSeconds(handlers, files, scan.FirstTags);
  scan.Seconds = BestOf(3, [&] { return ScanSeconds(handlers, files, scan.FirstTags); });
  return scan;
}

void ReportScan(TReport& report, const std::string& what, const TScan& scan, double cat, size_t files) {
  report.Time(what, scan.Seconds, kRatioLimit * cat);
  std::printf("  %-40s %9.0f files/s, ratio to cat %.3f (limit %.2f)\n", "", static_cast<double>(files) / scan.Seconds,
              scan.Seconds / cat, kRatioLimit);
}

int Run(const std::string& dir) {
  const std::string folder = dir + "/mp3-300";
  MakeDirs(dir);
  std::vector<std::string> files = EnsureSongs(folder);
  double bytes = 0;
  for (const auto& f : files) bytes += static_cast<double>(FileSize(f));
  std::printf("tag reader benchmark: %s, %zu files, %.1f MB; best of 3 after a warm-up pass\n", folder.c_str(),
              files.size(), bytes / 1e6);

  // The same warm-up and best of 3 as the readers get, all names in one cat.
  std::vector<std::string> argv = {"cat"};
  argv.insert(argv.end(), files.begin(), files.end());
  auto catOnce = [&] {
    TChildResult r = RunChild(argv, false);
    if (r.Status != 0) throw std::runtime_error("cat of the MP3 files failed");
    return r.Seconds;
  };
  catOnce();
  const double cat = BestOf(3, catOnce);
  TReport report(cat);
  report.Reference("cat FILES > /dev/null");

  TRegStore store("");  // in memory: the user's settings stay untouched
  THandlerList handlers;
  handlers.LoadDefaultHandlers(store);

  // The default table: .MP3 belongs to the MP3 handler alone (ID3 tags).
  TScan plain = TimeScan(handlers, files);
  CheckId3(plain.FirstTags, false, "default handlers");
  ReportScan(report, "ProcessFile, default handlers", plain, cat, files.size());
  std::printf("  first file: %s\n", Joined(plain.FirstTags).c_str());

  // The MPG handler given .MP3 in the extension editor also reads the frames;
  // its values (duration, bit rate) are what proves the frame search ran.
  handlers.Find("MPG")->Extensions.Add(".MP3");
  TScan full = TimeScan(handlers, files);
  CheckId3(full.FirstTags, true, "MP3 + MPG handlers");
  CheckAudio(full.FirstTags, "MP3 + MPG handlers");
  ReportScan(report, "ProcessFile, MPG handler also on .MP3", full, cat, files.size());
  std::printf("  first file: %s\n", Joined(full.FirstTags).c_str());

  std::fflush(stdout);
  return report.Failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) { return tw::bench::BenchMain(argc, argv, "bench_tags", kUsage, Run); }
