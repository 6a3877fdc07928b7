// The handler table: show it, switch handlers, restore the defaults. Reads
// and writes the same settings store as the desktop program.
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
#include "core/Utf8.h"
#include "state/Error.h"
#include "state/Globals.h"

namespace tw::cli {
namespace {

using nlohmann::json;

std::string JoinedExtensions(const THandler& h) {
  std::string text;
  for (const auto& ext : h.Extensions) text += (text.empty() ? "" : " ") + ext;
  return text;
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
  if (changed) list.SaveToRegistry(store);

  if (a.Has("--json")) {
    json rows = json::array();
    for (int i = 0; i < list.Count(); ++i) {
      const THandler& h = *list.Item(i);
      json exts = json::array();
      for (const auto& e : h.Extensions) exts.push_back(e);
      rows.push_back({{"title", h.Title}, {"active", h.Active}, {"description", h.Description}, {"extensions", exts}});
    }
    std::cout << rows.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
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
  for (const auto& file : a.Positional()) {
    TLibFolderItem item(&g.TagsList);
    g.Handlers.ProcessFile(file, item);
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
  if (a.Has("--json")) std::cout << files.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  return 0;
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
    "  its catalogue entry would receive, in order.\n",
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
