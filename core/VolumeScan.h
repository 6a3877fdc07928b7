// The add-volume and update commands without their dialogs: the walk of a
// folder on the medium into the library, and the steps around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/LibClasses.h"

namespace tw {

// Walks `root` (ending with "/") into the library's CurVolumeNode, as both
// commands do: directories through AddFolderPath, entries through AddEntry.
// What cannot be read is logged and keeps its records; returns those paths
// (a folder's ends with "/").
std::vector<std::string> ScanFolder(TLibObj& lib, const std::string& root, int32_t levels, bool foldersOnly);

// What the add-volume dialog hands to its command.
struct TAddVolumeRequest {
  std::string Folder;
  std::string Title;
  std::string Serial;
  int32_t Levels = 0;
  bool FoldersOnly = false;
  std::string Category;
  std::string Comments;
  std::string Location;
  bool ApplyToFolders = false;
  bool ApplyToFiles = false;
};

// Adds a volume scanned from the request's folder and returns its node;
// `unreadable` receives the paths the walk could not read.
// When the serial and folder are catalogued already and the user declines
// to go on, raises "Operation Canceled" and adds nothing.
TFolderNode* AddVolume(TLibObj& lib, const TAddVolumeRequest& request,
                       std::vector<std::string>* unreadable = nullptr);

// What the update dialog hands to its command.
struct TUpdateRequest {
  std::string Folder;  // the real source; empty hands category and comments down only
  std::string Serial;
  int32_t Levels = 0;
  bool DeleteMissing = false;
  bool FoldersOnly = false;
  std::string Category;
  std::string Comments;
  bool ApplyToFolders = false;
  bool ApplyToFiles = false;
};

// Brings the selected volume or folder up to date; `unreadable` receives
// the paths the walk could not read, whose records were all kept.
void UpdateVolume(TLibObj& lib, TFolderNode* selected, const TUpdateRequest& request,
                  std::vector<std::string>* unreadable = nullptr);

}  // namespace tw
