// An ordered tree of nodes, each carrying one owned record. The tree owns
// every node; nodes know their parent, level and position among siblings.
// All walks are iterative: a damaged library may nest very deeply.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tw {

template <class T>
class TTree;

template <class T>
class TTreeNode {
 public:
  TTreeNode* Parent() const { return parent_; }
  int Count() const { return static_cast<int>(children_.size()); }
  TTreeNode* Item(int i) const { return children_[i].get(); }
  TTreeNode* GetNextSibling() const;
  TTreeNode* GetPrevSibling() const;
  int Level() const { return level_; }
  // The row among its siblings (the top-level nodes for a top-level node).
  int Index() const { return static_cast<int>(pos_); }
  int AbsoluteIndex() const;
  bool IsTopLevel() const { return parent_ == nullptr; }
  T* Data() const { return data_.get(); }
  TTree<T>* Owner() const { return tree_; }
  // Node after this one in pre-order, nullptr at the end of the tree.
  TTreeNode* GetNext() const;
  // Node after this node's whole subtree in pre-order.
  TTreeNode* GetNextSkippingChildren() const;

  std::string Text;
  int ImageIndex = -1;
  int SelectedIndex = -1;
  int StateIndex = -1;
  bool Expanded = false;

 private:
  friend class TTree<T>;
  using Children = std::vector<std::unique_ptr<TTreeNode>>;
  const Children& Siblings() const { return parent_ ? parent_->children_ : tree_->top_; }

  TTree<T>* tree_ = nullptr;
  TTreeNode* parent_ = nullptr;
  Children children_;
  int level_ = 0;
  size_t pos_ = 0;  // index among siblings
  mutable int absIndex_ = -1;
  std::unique_ptr<T> data_;
};

template <class T>
class TTree {
 public:
  using Node = TTreeNode<T>;

  TTree() = default;
  TTree(const TTree&) = delete;
  TTree& operator=(const TTree&) = delete;
  ~TTree() { Clear(); }

  // Appends a node after the last child of `parent`, or after the last
  // top-level node when `parent` is nullptr.
  Node* Add(Node* parent, std::unique_ptr<T> data, std::string text) {
    auto node = std::make_unique<Node>();
    node->tree_ = this;
    node->parent_ = parent;
    node->level_ = parent ? parent->level_ + 1 : 0;
    node->data_ = std::move(data);
    node->Text = std::move(text);
    auto& list = parent ? parent->children_ : top_;
    node->pos_ = list.size();
    // Appending after the last node in pre-order (as loading and scanning
    // do) keeps every absolute index; anything else renumbers on demand.
    indexValid_ = indexValid_ && (!parent || IsOnLastPath(parent));
    list.push_back(std::move(node));
    ++count_;
    Node* added = list.back().get();
    if (indexValid_) {
      added->absIndex_ = static_cast<int>(count_ - 1);
      last_ = added;
    }
    return added;
  }

  // Removes the node with its whole subtree, freeing their records.
  void Delete(Node* node) {
    auto& list = node->parent_ ? node->parent_->children_ : top_;
    size_t pos = node->pos_;
    std::unique_ptr<Node> owned = std::move(list[pos]);
    list.erase(list.begin() + pos);
    for (size_t i = pos; i < list.size(); ++i) list[i]->pos_ = i;
    count_ -= DestroySubtree(std::move(owned));
    indexValid_ = false;
  }

  // Takes a node with its subtree out of the tree; Insert puts it back.
  std::unique_ptr<Node> Take(Node* node) {
    auto& list = node->parent_ ? node->parent_->children_ : top_;
    const size_t pos = node->pos_;
    std::unique_ptr<Node> owned = std::move(list[pos]);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(pos));
    for (size_t i = pos; i < list.size(); ++i) list[i]->pos_ = i;
    size_t moved = 0;
    for (Node* n = owned.get(); n; n = NextWithin(n, owned.get())) ++moved;
    count_ -= moved;
    owned->parent_ = nullptr;
    indexValid_ = false;
    return owned;
  }

  // Puts a subtree taken from this or another tree in as child `pos` of
  // `parent` (a top-level node for nullptr); levels follow its new place.
  Node* Insert(Node* parent, int pos, std::unique_ptr<Node> node) {
    const int delta = (parent ? parent->level_ + 1 : 0) - node->level_;
    size_t moved = 0;
    for (Node* n = node.get(); n; n = NextWithin(n, node.get())) {
      n->tree_ = this;
      n->level_ += delta;
      ++moved;
    }
    node->parent_ = parent;
    auto& list = parent ? parent->children_ : top_;
    Node* inserted = list.insert(list.begin() + pos, std::move(node))->get();
    for (size_t i = static_cast<size_t>(pos); i < list.size(); ++i) list[i]->pos_ = i;
    count_ += moved;
    indexValid_ = false;
    return inserted;
  }

  // Takes a top-level node with its subtree out of the tree.
  std::unique_ptr<Node> TakeTop(int index) { return Take(top_[index].get()); }

  // Appends a node taken from another tree, with its subtree, after the
  // last top-level node.
  Node* AddTop(std::unique_ptr<Node> node) { return Insert(nullptr, TopCount(), std::move(node)); }

  void Clear() {
    for (auto& n : top_) count_ -= DestroySubtree(std::move(n));
    top_.clear();
    count_ = 0;
    indexValid_ = true;
    last_ = nullptr;
  }

  size_t Count() const { return count_; }
  Node* GetFirstNode() const { return top_.empty() ? nullptr : top_.front().get(); }
  int TopCount() const { return static_cast<int>(top_.size()); }
  Node* Top(int i) const { return top_[i].get(); }

  // Calls f(node) for every node in pre-order.
  template <class F>
  void ForEach(F&& f) const {
    for (Node* n = GetFirstNode(); n; n = n->GetNext()) f(n);
  }

  // Stable sort of the children of `parent` (the top-level nodes for
  // nullptr); `less` compares two node texts.
  template <class Less>
  void SortChildren(Node* parent, Less less) {
    auto& list = parent ? parent->children_ : top_;
    std::stable_sort(list.begin(), list.end(),
                     [&](const std::unique_ptr<Node>& a, const std::unique_ptr<Node>& b) { return less(a->Text, b->Text); });
    for (size_t i = 0; i < list.size(); ++i) list[i]->pos_ = i;
    indexValid_ = false;
  }

  // Stable sort of the top-level nodes; `less` compares two node texts.
  template <class Less>
  void SortTopLevel(Less less) {
    SortChildren(nullptr, less);
  }

  void Renumber() const {
    int i = 0;
    last_ = nullptr;
    for (Node* n = GetFirstNode(); n; n = n->GetNext()) {
      n->absIndex_ = i++;
      last_ = n;
    }
    indexValid_ = true;
  }
  bool IndexValid() const { return indexValid_; }

 private:
  friend class TTreeNode<T>;

  // Whether `n` lies on the path from the last top-level node down to the
  // last node in pre-order. Cheap for the appends of loading and scanning.
  bool IsOnLastPath(const Node* n) const {
    const Node* p = last_;
    while (p && p->level_ > n->level_) p = p->parent_;
    return p == n;
  }

  // The node after `n` in pre-order within the subtree of `root`.
  static Node* NextWithin(Node* n, Node* root) {
    if (!n->children_.empty()) return n->children_.front().get();
    for (; n && n != root; n = n->parent_) {
      const auto& siblings = n->parent_->children_;
      if (n->pos_ + 1 < siblings.size()) return siblings[n->pos_ + 1].get();
    }
    return nullptr;
  }

  // Frees a subtree without recursion; returns the number of nodes freed.
  static size_t DestroySubtree(std::unique_ptr<Node> root) {
    size_t freed = 0;
    std::vector<std::unique_ptr<Node>> stack;
    stack.push_back(std::move(root));
    while (!stack.empty()) {
      std::unique_ptr<Node> n = std::move(stack.back());
      stack.pop_back();
      for (auto& c : n->children_) stack.push_back(std::move(c));
      n->children_.clear();
      ++freed;
    }
    return freed;
  }

  std::vector<std::unique_ptr<Node>> top_;
  size_t count_ = 0;
  mutable bool indexValid_ = true;
  mutable Node* last_ = nullptr;  // last node in pre-order while indexValid_
};

template <class T>
TTreeNode<T>* TTreeNode<T>::GetNextSibling() const {
  const auto& sib = Siblings();
  return pos_ + 1 < sib.size() ? sib[pos_ + 1].get() : nullptr;
}

template <class T>
TTreeNode<T>* TTreeNode<T>::GetPrevSibling() const {
  return pos_ > 0 ? Siblings()[pos_ - 1].get() : nullptr;
}

template <class T>
TTreeNode<T>* TTreeNode<T>::GetNextSkippingChildren() const {
  for (const TTreeNode* n = this; n; n = n->parent_)
    if (TTreeNode* s = n->GetNextSibling()) return s;
  return nullptr;
}

template <class T>
TTreeNode<T>* TTreeNode<T>::GetNext() const {
  if (!children_.empty()) return children_.front().get();
  return GetNextSkippingChildren();
}

template <class T>
int TTreeNode<T>::AbsoluteIndex() const {
  if (!tree_->IndexValid()) tree_->Renumber();
  return absIndex_;
}

}  // namespace tw
