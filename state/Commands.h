// The main window's library commands without their windows: the questions
// and options around the operations of the catalog, and the global lists the
// operations' findings go into. For the command-line tool and the tests,
// which run them on the caller's thread with the program's own progress.
#pragma once

#include <functional>
#include <string>

#include "core/VolumeScan.h"

namespace tw {

class TGlobalData;

// A copy of the program's handler table for one scan.
std::shared_ptr<const THandlerList> HandlerSnapshot(const TGlobalData& g);

// The names, locations and categories an operation met, into the global
// lists as the options say.
void MergeFoundNames(TGlobalData& g, const TSortedStrings& tagNames);
void MergeLibraryLists(TGlobalData& g, const TLibObj& lib);

// Open and Import library: the confirmation when asked for, "File not
// found" as a message, then the load.
void OpenLibraryCommand(TGlobalData& g, const std::string& file, bool merge, bool confirm);
// Save (and Save as, which asks before replacing a file).
void SaveLibraryCommand(TGlobalData& g, const std::string& file, bool askReplace = false);
// "Save changes?" for a modified library; `save` is the Save command.
TMsgAnswer AskSaveChanges(TGlobalData& g, const std::function<void()>& save);

// Add volume: the duplicate-serial question before the walk ("Operation
// Canceled" when declined), the walk, and the tag names into the tag list.
// The request's handler table is the program's when none is given.
TFolderNode* AddVolumeCommand(TGlobalData& g, TAddVolumeRequest request, TScanResult* result = nullptr);
void UpdateVolumeCommand(TGlobalData& g, TFolderNode* selected, TUpdateRequest request,
                         TScanResult* result = nullptr);

}  // namespace tw
