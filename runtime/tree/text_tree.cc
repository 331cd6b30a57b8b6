#include "runtime/tree/text_tree.h"

#include <algorithm>

namespace kova::runtime {

void TextTree::update(int32_t node) {
  Node& n = nodes_[size_t(node)];
  n.height = 1 + std::max(heightOf(n.left), heightOf(n.right));
}

int32_t TextTree::rotateLeft(int32_t node) {
  int32_t pivot = nodes_[size_t(node)].right;
  nodes_[size_t(node)].right = nodes_[size_t(pivot)].left;
  nodes_[size_t(pivot)].left = node;
  update(node);
  update(pivot);
  return pivot;
}

int32_t TextTree::rotateRight(int32_t node) {
  int32_t pivot = nodes_[size_t(node)].left;
  nodes_[size_t(node)].left = nodes_[size_t(pivot)].right;
  nodes_[size_t(pivot)].right = node;
  update(node);
  update(pivot);
  return pivot;
}

int32_t TextTree::rebalance(int32_t node) {
  update(node);
  Node& n = nodes_[size_t(node)];
  int balance = heightOf(n.left) - heightOf(n.right);
  if (balance > 1) {
    const Node& l = nodes_[size_t(n.left)];
    if (heightOf(l.left) < heightOf(l.right)) n.left = rotateLeft(n.left);
    return rotateRight(node);
  }
  if (balance < -1) {
    const Node& r = nodes_[size_t(n.right)];
    if (heightOf(r.right) < heightOf(r.left)) n.right = rotateRight(n.right);
    return rotateLeft(node);
  }
  return node;
}

// Depth is bounded by about 1.44 log2(size), so recursion stays shallow.
int32_t TextTree::insertAt(int32_t node, int32_t fresh, bool* added) {
  if (node == kNone) {
    *added = true;
    return fresh;
  }
  int order = nodes_[size_t(fresh)].key.compare(nodes_[size_t(node)].key);
  if (order == 0) return node;
  if (order < 0) {
    int32_t child = insertAt(nodes_[size_t(node)].left, fresh, added);
    nodes_[size_t(node)].left = child;
  } else {
    int32_t child = insertAt(nodes_[size_t(node)].right, fresh, added);
    nodes_[size_t(node)].right = child;
  }
  return *added ? rebalance(node) : node;
}

bool TextTree::insert(void* item, std::u16string_view key) {
  nodes_.push_back(Node{item, key, kNone, kNone, 1});
  bool added = false;
  root_ = insertAt(root_, int32_t(nodes_.size() - 1), &added);
  if (!added) nodes_.pop_back();  // an equal key was there; nothing links to the new node
  return added;
}

void* TextTree::find(std::u16string_view key) const {
  int32_t node = root_;
  while (node != kNone) {
    const Node& n = nodes_[size_t(node)];
    int order = key.compare(n.key);
    if (order == 0) return n.item;
    node = order < 0 ? n.left : n.right;
  }
  return nullptr;
}

int TextTree::checkedHeight(int32_t node, std::u16string_view* low, std::u16string_view* high,
                            bool* ok) const {
  if (node == kNone) return 0;
  const Node& n = nodes_[size_t(node)];
  if ((low && !(*low < n.key)) || (high && !(n.key < *high))) *ok = false;
  std::u16string_view key = n.key;
  int left = checkedHeight(n.left, low, &key, ok);
  int right = checkedHeight(n.right, &key, high, ok);
  if (left - right > 1 || right - left > 1) *ok = false;
  int h = 1 + std::max(left, right);
  if (h != n.height) *ok = false;
  return h;
}

bool TextTree::wellFormed() const {
  bool ok = true;
  checkedHeight(root_, nullptr, nullptr, &ok);
  return ok;
}

}  // namespace kova::runtime
