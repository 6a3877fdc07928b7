// The collections tree over the library's collection tree: one row per
// collection node, in the library's own sibling order, each index carrying
// its node. Follows the library's change reports; while an operation has the
// library busy the model shows no rows and reads nothing. Besides mirroring,
// it makes the changes the collection commands ask for (new items, links,
// captions, moves, deletions) through the library, which reports them back.
//
// Owns nothing of the library. Used on the window's thread only.
#pragma once

#include <QAbstractItemModel>
#include <functional>
#include <memory>
#include <vector>

#include "core/LibClasses.h"

namespace tw {

class TPictures;

// Collection nodes dragged inside the collections tree (pointers, valid
// only in this process while the drag lasts).
inline constexpr const char* kCollectionsMime = "application/x-tarnwex-collections";

class TCollectionTreeModel : public QAbstractItemModel, public TLibraryListener {
  Q_OBJECT
 public:
  TCollectionTreeModel(TPictures& pictures, QObject* parent = nullptr);

  // The library shown (none: no rows).
  void SetLibrary(TLibObj* lib);
  TLibObj* Library() const { return lib_; }
  bool Busy() const { return busy_; }
  // Whether captions may change now (not while an operation reads the
  // library on the worker); none: always.
  std::function<bool()> Editable;

  TColNode* Node(const QModelIndex& index) const;
  QModelIndex IndexOf(TColNode* node) const;

  // --- changes; each marks the library modified ---
  // Appends `item` as the last child of `parent` (the last top-level node
  // for nullptr) and gives the node its pictures.
  TColNode* Add(TColNode* parent, std::unique_ptr<TLibColItem> item);
  // Appends an item captioned `caption` below `parent` and links it to a
  // folder-tree record (entry nullptr) or to an entry of `folder`; the node
  // then takes the target's name.
  TColNode* AddLink(TColNode* parent, const std::string& caption, TLibFolder* folder, TLibFolderItem* entry);
  // The node's caption becomes `caption`; its siblings follow in caption
  // order.
  void SetCaption(TColNode* node, const std::string& caption);
  // The item's values were edited: its node shows them again.
  void ItemEdited(TColNode* node);
  bool Move(TColNode* node, TColNode* parent);
  void Delete(TColNode* node);

  // What a drag carries, checked against the library shown: pointers that
  // are no node or entry of it (another process's, a freed record's) are
  // dropped without being followed. In the order of the drag.
  std::vector<TColNode*> DraggedCollections(const QMimeData* data) const;
  std::vector<TFolderNode*> DraggedFolders(const QMimeData* data) const;
  std::vector<TLibFolderItem*> DraggedEntries(const QMimeData* data) const;

  // Runs a drop on `target` (none: empty space); the window decides what a
  // drop does, since it involves the other views.
  std::function<bool(const QMimeData* data, TColNode* target)> DropHandler;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  // Collection nodes, volume-tree nodes and file-list rows; the last two
  // only onto a node, or anywhere while the tree is empty. Drops land on
  // the node under the pointer (`parent`; `row` and `column` are not used).
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;
  // No move action: a view would remove the dragged rows itself after one.
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::LinkAction; }
  Qt::DropActions supportedDropActions() const override { return Qt::CopyAction | Qt::LinkAction; }

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

 private:
  bool Follows(const TLibraryChange& c) const { return !busy_ && c.Kind == TLibraryChange::TKind::Collections; }

  TLibObj* lib_ = nullptr;
  TPictures& pictures_;
  bool busy_ = false;
  std::vector<std::pair<QPersistentModelIndex, TColNode*>> moving_;
};

}  // namespace tw
