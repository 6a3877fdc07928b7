// Archive member lists from the command line, as a scan records them.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/TextUtils.h"
#include "base/Utf8.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "core/LibClasses.h"
#include "core/archRAR.h"
#include "state/Globals.h"
#include "tags/HandlerClasses.h"

namespace tw::cli {
namespace {

using nlohmann::json;

// A RAR marker block near the start: a RAR archive, or a self-extracting one.
bool LooksLikeRar(const std::string& file) {
  std::string head(1 << 20, '\0');
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::fclose(f);
  return head.find(std::string("Rar!\x1A\x07", 6)) != std::string::npos;
}

// The attributes a header reports, as letters: Archive, Compressed, Directory,
// Hidden, Normal, Offline, Read-only, System, Temporary.
std::string Attributes(const TDFRARHeaderData& h) {
  std::string s;
  const std::pair<bool, char> bits[] = {{h.Archive, 'A'}, {h.Compressed, 'C'}, {h.Directory, 'D'},
                                        {h.Hidden, 'H'},  {h.Normal, 'N'},     {h.Offline, 'O'},
                                        {h.ReadOnly, 'R'}, {h.System, 'S'},    {h.Temporary, 'T'}};
  for (const auto& [set, letter] : bits)
    if (set) s += letter;
  return s;
}

json HeaderJson(const TDFRARHeaderData& h) {
  return {{"archiveName", h.ArchiveName},   {"fileName", DisplayUtf8(h.FileName)},
          {"continuedFromPrev", h.ContinuedFromPrev}, {"continuedOnNext", h.ContinuedOnNext},
          {"encrypted", h.Encrypted},       {"windowAll", h.WindowAll},
          {"window", h.Window},             {"packedSize", h.PackedSize},
          {"unpackedSize", h.UnpackedSize}, {"hostOS", h.HostOS},
          {"crc", h.CRC},                   {"fileTime", JsonDate(h.FileTime)},
          {"versionMajor", h.VersionMajor}, {"versionMinor", h.VersionMinor},
          {"method", h.Method},             {"attributes", Attributes(h)}};
}

// Name, unpacked size and date as a scan records them, then the other fields.
void PrintHeader(const TDFRARHeaderData& h) {
  std::cout << Field(h.FileName) << '\t' << h.UnpackedSize << '\t' << HumanDate(h.FileTime) << '\t'
            << h.PackedSize << '\t' << h.HostOS << '\t' << h.Method << '\t' << h.CRC << '\t' << h.VersionMajor
            << '.' << h.VersionMinor << '\t' << Attributes(h) << '\t'
            << (h.Encrypted ? "encrypted " : "") << (h.ContinuedFromPrev ? "from-previous " : "")
            << (h.ContinuedOnNext ? "on-next" : "") << '\n';
}

int CmdArchive(TGlobalData& g, TCliHost& host, const TArgs& a) {
  if (a.Positional().size() != 1) throw EUsage(a.Positional().empty() ? "missing arguments" : "too many arguments");
  const std::string& file = a.Positional()[0];
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw EError(file + ": no such file");

  // The members go into an archive folder of a scratch volume, through the
  // same recording a scan uses.
  TLibObj& lib = *g.CurrentLibrary;
  lib.NewVolume("/", "archive", "");
  auto folder = std::make_unique<TLibFolder>();
  folder->Name = file;
  folder->IsFolder = 1;
  lib.CurArchiveNode = lib.AddFolderRecord(lib.CurVolumeNode, std::move(folder));
  // Archives that a handler does not claim are tried as ZIP files, so that
  // self-extracting ones and other ZIP-based files list too.
  LoadHandlerTable(g);
  const std::string extension = HandlerExtension(file);
  const bool isRar = g.Handlers.ClaimsExtension("RAR", extension) ||
                     (!g.Handlers.ClaimsExtension("ZIP", extension) && LooksLikeRar(file));
  const size_t logged = host.LogLines;
  std::vector<TDFRARHeaderData> headers;
  // The readers' errors and messages come as log lines of the operation.
  TGlobalOperation run(g);
  const TRecording recording{.Op = &run.Op()};
  const TRecordingScope scope(lib, recording);
  lib.ListArchive(file, isRar, [&headers](const TDFRARHeaderData& h) { headers.push_back(h); });
  const bool failed = host.LogLines != logged;

  const TLibFolder& archive = *lib.CurArchiveNode->Data();
  if (a.Has("--json")) {
    json members = json::array();
    for (const auto& item : archive.Items)
      members.push_back({{"name", DisplayUtf8(item->Name)}, {"size", item->Size}, {"date", JsonDate(item->Date)}});
    json out = {{"file", file}, {"members", members}};
    if (isRar) {
      json records = json::array();
      for (const auto& h : headers) records.push_back(HeaderJson(h));
      out["headers"] = records;
    }
    PrintJson(out);
  } else if (isRar) {
    for (const auto& h : headers) PrintHeader(h);
  } else {
    for (const auto& item : archive.Items)
      std::cout << Field(item->Name) << '\t' << item->Size << '\t' << HumanDate(item->Date) << '\n';
  }
  return failed ? 1 : 0;
}

}  // namespace

const TCommand kArchiveCommand = {
    "archive",
    "usage: tarnwex-cli archive FILE [--json]\n"
    "  Prints the members a scan records for the ZIP archive FILE, in catalogue order: name\n"
    "  (with its folders, joined by \\), size and date, tab-separated. For a RAR archive, one line per\n"
    "  header the reader reports, in archive order: name (with its folders, joined by \\),\n"
    "  unpacked size, date, packed size, host system, method, CRC, version, attributes\n"
    "  (ACDHNORST) and flags. --json gives the recorded members, and for RAR the header\n"
    "  records with every field. Exit status 1 when the archive cannot be read (the error is\n"
    "  logged and what was read before the damage is printed).\n",
    {"--json"},
    {},
    CmdArchive};

}  // namespace tw::cli
