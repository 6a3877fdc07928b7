// The add-volume and update commands without their windows: the walk of a
// folder on the medium into a library, and the steps around it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Operation.h"
#include "base/StringList.h"
#include "core/LibClasses.h"

namespace tw {

class THandlerList;

// What a walk hands back besides its records.
struct TScanResult {
  // Paths the walk could not read (a folder's ends with "/"); every record
  // below them was kept.
  std::vector<std::string> Unreadable;
  // The names of the tags the readers added, for the caller's tag list.
  TSortedStrings TagNames{TDuplicates::Ignore};
};

// Walks `root` (ending with "/") into the library's CurVolumeNode, as both
// commands do: directories through AddFolderPath, entries through AddEntry,
// under the library's recording context. What cannot be read is logged and
// keeps its records; returns those paths.
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
  // The handler table of this scan, a copy the program's table may change
  // beside; none: files are recorded without being read.
  std::shared_ptr<const THandlerList> Handlers;
};

// A new volume scanned apart from every library: a library of its own that
// holds only that volume. Touches nothing else, so it may run on a worker
// while the library it is meant for stays readable. A stop ends the walk
// and keeps what was recorded.
std::unique_ptr<TLibObj> ScanVolume(const TAddVolumeRequest& request, TOperation& op, TScanResult& result);
// Moves the scanned volume into `lib` after its volumes (then sorts them when
// asked) and returns its node; on the thread that owns `lib`.
TFolderNode* SpliceVolume(TLibObj& lib, std::unique_ptr<TLibObj> scanned, bool sortVolumes);
// Both in one progress bracket ("Adding %s" to "Added %s"), as the Add
// command does once its questions are answered.
TFolderNode* AddVolume(TLibObj& lib, const TAddVolumeRequest& request, TOperation& op, bool sortVolumes,
                       TScanResult* result = nullptr);

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
  std::shared_ptr<const THandlerList> Handlers;
};

// Brings the selected volume or folder up to date in place; the library is
// busy meanwhile.
void UpdateVolume(TLibObj& lib, TFolderNode* selected, const TUpdateRequest& request, TOperation& op,
                  TScanResult* result = nullptr);

}  // namespace tw
