#include "ui/MediaList.h"

#include "base/FileUtils.h"

namespace tw {

int DriveHolding(const std::vector<TDriveInfo>& drives, const std::string& folder) {
  if (folder.empty()) return -1;
  const std::string path = AddSlash(folder);
  int best = -1;
  size_t bestLength = 0;
  for (size_t i = 0; i < drives.size(); ++i) {
    const std::string root = AddSlash(drives[i].RootPath);
    if (path.compare(0, root.size(), root) == 0 && (best < 0 || root.size() > bestLength)) {
      best = static_cast<int>(i);
      bestLength = root.size();
    }
  }
  return best;
}

}  // namespace tw
