// The handler table: show it, switch handlers, restore the defaults. Reads
// and writes the same settings store as the desktop program.
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/Error.h"
#include "base/FileInput.h"
#include "base/Utf8.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "core/LibClasses.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

using nlohmann::json;

std::string JoinedExtensions(const THandler& h) {
  std::string text;
  for (const auto& ext : h.Extensions) text += (text.empty() ? "" : " ") + ext;
  return text;
}

// The table as one text: title, switch and extensions of every handler.
std::string TableText(const THandlerList& list) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    const THandler& h = *list.Item(i);
    text += h.Title + (h.Active ? " on " : " off ") + JoinedExtensions(h) + "\n";
  }
  return text;
}

// The store swallows its write errors, as the desktop program needs; the
// tool reads the file back and says so when the change did not reach it.
void CheckWritten(const THandlerList& written, const std::string& file) {
  TRegStore reread(file);
  THandlerList stored;
  try {
    stored.LoadFromRegistry(reread);
  } catch (const std::exception&) {
  }
  if (TableText(stored) != TableText(written))
    throw EError("errWriteFile", {file, "the change did not reach the settings file"});
}

int CmdHandlers(TGlobalData& g, TCliHost&, const TArgs& a) {
  if (!a.Positional().empty()) throw EUsage("no arguments expected");
  TRegStore& store = g.Registry();
  THandlerList& list = g.Handlers;
  bool changed = false;
  if (a.Has("--reset")) {
    list.LoadDefaultHandlers(store);
    changed = true;
  } else {
    LoadHandlerTable(g);
  }
  for (const auto& [option, active] : {std::pair{"--enable", true}, std::pair{"--disable", false}}) {
    for (const auto& title : a.Values(option)) {
      auto handler = list.Find(title);
      if (!handler) throw EError("No handler titled " + title);
      handler->Active = active;
      changed = true;
    }
  }
  if (changed) {
    list.SaveToRegistry(store);
    CheckWritten(list, store.FileName());
  }

  if (a.Has("--json")) {
    json rows = json::array();
    for (int i = 0; i < list.Count(); ++i) {
      const THandler& h = *list.Item(i);
      json exts = json::array();
      for (const auto& e : h.Extensions) exts.push_back(e);
      rows.push_back({{"title", h.Title}, {"active", h.Active}, {"description", h.Description}, {"extensions", exts}});
    }
    PrintJson(rows);
    return 0;
  }
  for (int i = 0; i < list.Count(); ++i) {
    const THandler& h = *list.Item(i);
    std::cout << h.Title << '\t' << (h.Active ? "on" : "off") << '\t' << h.Description << '\t' << JoinedExtensions(h)
              << '\n';
  }
  return 0;
}

int CmdTags(TGlobalData& g, TCliHost&, const TArgs& a) {
  if (a.Positional().empty()) throw EUsage("missing arguments");
  LoadHandlerTable(g);
  json files = json::array();
  int status = 0;
  for (const auto& file : a.Positional()) {
    // A missing file or one that is no regular file has no tags to show.
    if (const TFileInput in(file); !in.Ok()) {
      std::cerr << "error: " << DisplayUtf8(file) << ": " << in.ErrorText() << '\n';
      status = 1;
      continue;
    }
    TLibFolderItem item;
    g.Handlers.ProcessFile(file, item.TagInfo, g.AddTagsToGlobals ? &g.TagsList : nullptr);
    // Texts a file stores in another code page show as Windows-1252, as
    // everywhere else.
    if (a.Has("--json")) {
      json tags = json::array();
      for (const auto& t : item.TagInfo.Tags) tags.push_back(DisplayUtf8(t));
      files.push_back({{"file", DisplayUtf8(file)}, {"tags", tags}});
      continue;
    }
    std::cout << DisplayUtf8(file) << '\n';
    for (const auto& t : item.TagInfo.Tags) std::cout << '\t' << DisplayUtf8(t) << '\n';
  }
  if (a.Has("--json")) PrintJson(files);
  return status;
}

}  // namespace

void LoadHandlerTable(TGlobalData& g) {
  // A damaged table gives way to the defaults, as at the program's start.
  try {
    g.Handlers.LoadFromRegistry(g.Registry());
  } catch (const std::exception&) {
    g.Handlers.LoadDefaultHandlers(g.Registry());
  }
}

const TCommand kTagsCommand = {
    "tags",
    "usage: tarnwex-cli tags FILE... [--json]\n"
    "  Runs the file-type handlers of the settings on each file and prints the tag lines\n"
    "  its catalogue entry would receive, in order. A FILE that is missing or no regular file\n"
    "  is an error (exit status 1); the others are still shown.\n",
    {"--json"},
    {},
    CmdTags};

const TCommand kHandlersCommand = {
    "handlers",
    "usage: tarnwex-cli handlers [--reset] [--enable TITLE]... [--disable TITLE]... [--json]\n"
    "  Prints the handler table (title, on/off, description, extensions). --reset restores the\n"
    "  defaults; --enable and --disable switch one handler. Changes are kept in the settings store.\n",
    {"--reset", "--json"},
    {"--enable", "--disable"},
    CmdHandlers};

}  // namespace tw::cli
