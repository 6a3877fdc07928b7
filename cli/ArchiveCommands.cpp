// Archive member lists from the command line, as a scan records them.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/CaseFold.h"
#include "core/LibClasses.h"
#include "core/TextUtils.h"
#include "core/Utf8.h"
#include "state/Error.h"
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
  lib.ListArchive(file, isRar);
  const bool failed = host.LogLines != logged;

  const TLibFolder& archive = *lib.CurArchiveNode->Data();
  if (a.Has("--json")) {
    json members = json::array();
    for (const auto& item : archive.Items)
      members.push_back({{"name", DisplayUtf8(item->Name)},
                         {"size", item->Size},
                         {"date", item->Date == 0 ? std::string() : FormatDate(item->Date)}});
    std::cout << json({{"file", file}, {"members", members}}).dump(2, ' ', false, json::error_handler_t::replace)
              << '\n';
  } else {
    for (const auto& item : archive.Items)
      std::cout << DisplayUtf8(item->Name) << '\t' << item->Size << '\t'
                << (item->Date == 0 ? std::string() : FormatDate(item->Date)) << '\n';
  }
  return failed ? 1 : 0;
}

}  // namespace

const TCommand kArchiveCommand = {
    "archive",
    "usage: tarnwex-cli archive FILE [--json]\n"
    "  Prints the members a scan records for the ZIP or RAR archive FILE, in catalogue order:\n"
    "  name (ZIP: without its folders; RAR: with them, joined by \\), size and date,\n"
    "  tab-separated. Exit status 1 when the archive cannot be read (the error is logged and\n"
    "  the members read before the damage are printed).\n",
    {"--json"},
    {},
    CmdArchive};

}  // namespace tw::cli
