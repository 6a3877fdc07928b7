// The volume tree over the library's folder tree: one row per folder-tree
// node, in the library's own sibling order, each index carrying its node.
// Follows the library's change reports; while an operation has the library
// busy the model shows no rows and reads nothing.
//
// Used on the window's thread only.
#pragma once

#include <QAbstractItemModel>

#include "core/LibClasses.h"

namespace tw {

class TPictures;

class TFolderTreeModel : public QAbstractItemModel, public TLibraryListener {
  Q_OBJECT
 public:
  TFolderTreeModel(TPictures& pictures, QObject* parent = nullptr);

  // The library shown (none: no rows).
  void SetLibrary(TLibObj* lib);
  TLibObj* Library() const { return lib_; }
  bool Busy() const { return busy_; }

  TFolderNode* Node(const QModelIndex& index) const;
  QModelIndex IndexOf(TFolderNode* node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::LinkAction; }

  // TLibraryListener
  void OnBusy(bool busy) override;
  void OnResetting() override;
  void OnReset() override;
  void OnInserting(const TLibraryChange& change) override;
  void OnInserted(const TLibraryChange& change) override;
  void OnRemoving(const TLibraryChange& change) override;
  void OnRemoved(const TLibraryChange& change) override;
  void OnReordering(const TLibraryChange& change) override;
  void OnReordered(const TLibraryChange& change) override;
  void OnChanged(const TLibraryChange& change) override;

 signals:
  // A volume's caption was edited in place.
  void VolumeRenamed(TFolderNode* node, const QString& text);

 private:
  TLibObj* lib_ = nullptr;
  TPictures& pictures_;
  bool busy_ = false;
  std::vector<std::pair<QPersistentModelIndex, TFolderNode*>> moving_;
};

// The MIME type under which folder-tree nodes and file-list entries are
// dragged inside the program (pointers, valid only in this process while
// the drag lasts).
inline constexpr const char* kFoldersMime = "application/x-tarnwex-folders";
inline constexpr const char* kEntriesMime = "application/x-tarnwex-entries";

}  // namespace tw
