// What the volume dialogs know of the media: the mounted file systems a user
// would pick, and the label and serial of the medium that holds a folder.
// The system's mount table answers by default; tests put their own media
// in. Plain values: used on the window's thread by the dialog that owns it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/FileFind.h"

namespace tw {

struct TMediaSource {
  std::function<std::vector<TDriveInfo>()> Drives = [] { return ListDrives(); };
  // kVolumeLabel or kVolumeSerial of the medium that holds `path`; empty
  // when it has none or the path does not exist.
  std::function<std::string(const std::string& path, int what)> VolumeInfo = [](const std::string& path, int what) {
    return GetVolumeInfo(path, what);
  };

  // The serial of the folder's medium; empty for an empty folder.
  std::string SerialOf(const std::string& folder) const {
    return folder.empty() ? std::string() : VolumeInfo(folder, kVolumeSerial);
  }
};

// The position of the drive whose root holds `folder` (the longest root
// that is a prefix at a "/" boundary), -1 when none does.
int DriveHolding(const std::vector<TDriveInfo>& drives, const std::string& folder);

}  // namespace tw
