#include "state/Commands.h"

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/FileUtils.h"
#include "state/Globals.h"

namespace tw {

std::shared_ptr<const THandlerList> HandlerSnapshot(const TGlobalData& g) {
  return std::make_shared<const THandlerList>(g.Handlers.Clone());
}

void MergeFoundNames(TGlobalData& g, const TSortedStrings& tagNames) {
  if (!g.AddTagsToGlobals) return;
  for (const auto& line : tagNames) {
    const std::string name = line.substr(0, line.find('='));
    bool known = false;
    for (const auto& global : g.TagsList)
      known = known || SameText(std::string_view(global).substr(0, global.find('=')), name);
    if (!known) g.TagsList.Add(name + "=" + name);
  }
}

void MergeLibraryLists(TGlobalData& g, const TLibObj& lib) {
  if (g.AddLocationsToGlobals)
    for (const auto& location : lib.Locations) g.LocationsList.Add(location);
  if (g.AddCategoriesToGlobals)
    for (const auto& category : lib.Categories) g.CategoriesList.Add(category);
}

void OpenLibraryCommand(TGlobalData& g, const std::string& file, bool merge, bool confirm) {
  if (confirm) {
    const std::string question = Format(g.GetText(merge ? "confImport" : "confLoad"), {file});
    if (g.Host().Ask(question, TMsgButtons::OKCancel, TMsgKind::Confirmation) != TMsgAnswer::OK) return;
  }
  if (!TLibObj::LibraryFileExists(file)) {
    g.Host().ShowMessage(Format(g.GetText("errFNF"), {file}), TMsgKind::Error);
    return;
  }
  TGlobalOperation run(g);
  TLibObj& lib = *g.CurrentLibrary;
  struct TLists {
    TGlobalData& G;
    TLibObj& Lib;
    ~TLists() { MergeLibraryLists(G, Lib); }  // also what a stopped load read
  } lists{g, lib};
  lib.OpenLibrary(file, merge, run, g.SortVolumes);
}

void SaveLibraryCommand(TGlobalData& g, const std::string& file, bool askReplace) {
  if (askReplace && TLibObj::LibraryFileExists(file)) {
    const std::string question = Format(g.GetText("confReplace"), {file});
    if (g.Host().Ask(question, TMsgButtons::OKCancel, TMsgKind::Confirmation) != TMsgAnswer::OK) return;
  }
  TGlobalOperation run(g);
  g.CurrentLibrary->SaveLibrary(file, run);
}

TMsgAnswer AskSaveChanges(TGlobalData& g, const std::function<void()>& save) {
  if (!g.CurrentLibrary->Modified || !g.ConfirmSaveChanges) return TMsgAnswer::Yes;
  const TMsgAnswer answer = g.Host().Ask(g.GetText("confSave"), TMsgButtons::YesNoCancel, TMsgKind::Confirmation);
  if (answer == TMsgAnswer::Yes && save) save();
  return answer;
}

TFolderNode* AddVolumeCommand(TGlobalData& g, TAddVolumeRequest request, TScanResult* result) {
  TLibObj& lib = *g.CurrentLibrary;
  if (!request.Handlers) request.Handlers = HandlerSnapshot(g);
  const std::string root = AddSlash(request.Folder);
  if (g.CheckSerial) {
    const TSerialCheck check = lib.CheckSerialDuplicates(request.Serial, root, g.Messages());
    if (!check.Unique && g.Host().Ask(check.Message, TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
      throw ECanceled("infoCancel", {});
  }
  TScanResult own;
  TScanResult& r = result ? *result : own;
  TGlobalOperation run(g);
  struct TNames {
    TGlobalData& G;
    TScanResult& R;
    ~TNames() { MergeFoundNames(G, R.TagNames); }
  } names{g, r};
  return AddVolume(lib, request, run, g.SortVolumes, &r);
}

void UpdateVolumeCommand(TGlobalData& g, TFolderNode* selected, TUpdateRequest request, TScanResult* result) {
  if (!request.Handlers) request.Handlers = HandlerSnapshot(g);
  TScanResult own;
  TScanResult& r = result ? *result : own;
  TGlobalOperation run(g);
  struct TNames {
    TGlobalData& G;
    TScanResult& R;
    ~TNames() { MergeFoundNames(G, R.TagNames); }
  } names{g, r};
  UpdateVolume(*g.CurrentLibrary, selected, request, run, &r);
}

}  // namespace tw
