// A balanced (AVL) search tree of caller-owned items keyed by 16-bit text.
// Items are not copied: the tree keeps their addresses and the key each had
// when it was inserted, so an item and its key text must stay in place and
// unchanged for the tree's lifetime. Keys order by code unit, then by length.
// One thread at a time.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kova::runtime {

class TextTree {
 public:
  TextTree() = default;

  // Adds item under key unless an item with an equal key is there already
  // (the first one stays). True when added. May throw std::bad_alloc.
  bool insert(void* item, std::u16string_view key);
  // The item whose key equals key, or null.
  void* find(std::u16string_view key) const;

  size_t size() const { return nodes_.size(); }
  // Levels on the longest path from the root (0 when empty).
  int height() const { return heightOf(root_); }
  // True when keys are in order and every node's subtrees differ in height
  // by at most one (and the stored heights are right).
  bool wellFormed() const;

 private:
  struct Node {
    void* item;
    std::u16string_view key;
    int32_t left;
    int32_t right;
    int32_t height;
  };
  static constexpr int32_t kNone = -1;

  int heightOf(int32_t node) const { return node == kNone ? 0 : nodes_[size_t(node)].height; }
  void update(int32_t node);
  int32_t rotateLeft(int32_t node);
  int32_t rotateRight(int32_t node);
  int32_t rebalance(int32_t node);
  int32_t insertAt(int32_t node, int32_t fresh, bool* added);
  int checkedHeight(int32_t node, std::u16string_view* low, std::u16string_view* high,
                    bool* ok) const;

  std::vector<Node> nodes_;  // nodes by index; never removed
  int32_t root_ = kNone;
};

}  // namespace kova::runtime
