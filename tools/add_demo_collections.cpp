// add_demo_collections LIB: gives the demo library a few collections, as a
// user arranges them: albums to lend, a memo, a link to a document.
#include <cstdio>
#include <memory>
#include <string>

#include "core/LibClasses.h"

using namespace tw;

namespace {

// A folder by its library path ("Volume\\Folder\\"), searched in its volume.
TFolderNode* Find(TLibObj& lib, const std::string& path) {
  for (int i = 0; i < lib.Folders.TopCount(); ++i)
    if (path.rfind(lib.Folders.Top(i)->Text + "\\", 0) == 0) return lib.FindFolderNode(lib.Folders.Top(i), path);
  return nullptr;
}

TColNode* Group(TLibObj& lib, TColNode* parent, const std::string& caption) {
  return lib.AddCollectionRecord(parent, std::make_unique<TLibColItem>(caption));
}

void Link(TLibObj& lib, TColNode* parent, TLibFolder* folder, TLibFolderItem* item = nullptr) {
  auto entry = std::make_unique<TLibColItem>(item ? item->Name : folder->Name);
  TLibColItem* link = entry.get();
  TColNode* node = lib.AddCollectionRecord(parent, std::move(entry));
  link->LinkTo(folder, item, node);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: add_demo_collections LIB\n");
    return 2;
  }
  try {
    TLibObj lib;
    TQuietOperation op;
    lib.OpenLibrary(argv[1], false, op, true);
    TColNode* music = Group(lib, nullptr, "Music to lend");
    for (const char* album : {"Music CD\\Maple Avenue\\Paper Boats\\", "Music CD\\The Quiet Harbour\\First Light\\"})
      if (TFolderNode* node = Find(lib, album)) Link(lib, music, node->Data());
    TColNode* memo = Group(lib, music, "Lent to Anna");
    memo->Data()->Memo = "Paper Boats, since May.\r\nAsk back before the holidays.";
    memo->Data()->ImageIndex = 7;  // the memo picture of the built-in set
    TColNode* home = Group(lib, nullptr, "Household");
    if (TFolderNode* letters = Find(lib, "Backup DVD\\Letters\\"))
      if (TLibFolderItem* bank = letters->Data()->Items.Find("to the bank.txt")) Link(lib, home, letters->Data(), bank);
    if (TFolderNode* recipes = Find(lib, "Backup DVD\\Recipes\\")) Link(lib, home, recipes->Data());
    lib.Modified = true;
    lib.SaveLibrary(argv[1], op);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "add_demo_collections: %s\n", e.what());
    return 1;
  }
  return 0;
}
