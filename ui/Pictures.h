// The pictures of the trees and the file list: taken from the desktop's icon
// theme, with a drawn set of our own where the theme has none, so that the
// program looks complete without a desktop session. File-type pictures come
// from the file's MIME type, found by its extension alone (no file is read),
// once per extension.
//
// Used on the window's thread only.
#pragma once

#include <QIcon>
#include <QString>
#include <string>
#include <unordered_map>
#include <vector>

namespace tw {

class TGlobalData;

class TPictures {
 public:
  // The fixed file-list pictures, in the order of the picture set.
  enum TFixed { FolderEntry = 0, ArchiveEntry = 1, PlainFile = 2, Program = 3 };
  // The folder-tree pictures (the records' view presentation).
  enum TTree { TreeFolder, TreeFolderOpen, TreeVolume, TreeArchive };

  explicit TPictures(TGlobalData& g);

  QIcon Tree(TTree kind) const;
  // The picture of a file-list row: its position in the set, as the picture
  // lookup of a file name gives it (fixed pictures first, then one per
  // file type met).
  int FileIconIndex(const std::string& fileName);
  const QIcon& Icon(int index) const { return fileIcons_[static_cast<size_t>(index)]; }

  // The collection pictures: the user's images file when the settings name
  // one, else the built-in set.
  void LoadCollectionImages();
  QIcon Collection(int index) const;
  int CollectionCount() const { return static_cast<int>(collection_.size()); }

  // Toolbar and menu pictures by command name ("tbNew"); empty when none.
  QIcon Command(const QString& name) const;

  // A picture of the drawn set (for the tests and the fallback).
  static QIcon Drawn(const QString& kind);

 private:
  TGlobalData& g_;
  std::vector<QIcon> fileIcons_;
  std::vector<QIcon> tree_;
  std::vector<QIcon> collection_;
};

// Icons read one by one from an icon file with several images (.ico) or from
// a horizontal strip of square images, until the first index that gives none.
std::vector<QIcon> ReadImageList(const QString& file);

}  // namespace tw
