// The search tree sibling: items found by their text keys, first of equal keys
// kept, and the tree staying balanced whatever order keys come in.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "runtime/tree/tree_extension.h"
#include "tests/siblings/sibling_test_util.h"

namespace kova::runtime {
namespace {

// Laid out like the ripper's per-column state: the key at byte 16.
struct Item {
  uint8_t reserved[16] = {};
  const char16_t* tagName = nullptr;
  uint32_t tagLength = 0;
  uint32_t index = 0;
  uint8_t rest[136] = {};
};
static_assert(offsetof(Item, tagName) == 16 && sizeof(Item) == 168);

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = loadSibling(host_, u"zreavl");
    ASSERT_NE(handle_, nullptr);
    KovaTreeConfig config{{1, 16, 14, 1, 0, 0, 0, 0}};
    tree_ =
        static_cast<KovaTree*>(handle_->ops->createObject(handle_, &config, nullptr, "tag avl"));
    ASSERT_NE(tree_, nullptr);
  }
  void TearDown() override {
    if (tree_) tree_->ops->destroyObject(tree_);
    if (handle_) handle_->ops->releaseExtension(handle_);
    EXPECT_TRUE(host_.account().empty());
  }

  Item* add(std::u16string key, uint32_t index) {
    keys_.push_back(std::make_unique<std::u16string>(std::move(key)));
    items_.push_back(std::make_unique<Item>());
    Item* item = items_.back().get();
    item->tagName = keys_.back()->data();
    item->tagLength = uint32_t(keys_.back()->size());
    item->index = index;
    EXPECT_EQ(tree_->ops->insertItem(tree_, item), kStatusOk);
    return item;
  }
  Item* find(std::u16string_view key) {
    KovaTreeKey k{key.data(), uint32_t(key.size())};
    return static_cast<Item*>(tree_->ops->findItem(tree_, &k));
  }
  void expectBalanced() {
    const TextTree& tree = textTreeOf(tree_);
    EXPECT_TRUE(tree.wellFormed());
    // An AVL tree of n nodes is at most about 1.44 log2(n + 2) high.
    double bound = 1.4405 * std::log2(double(tree.size()) + 2) - 0.3277;
    EXPECT_LE(tree.height(), int(bound)) << tree.size() << " items";
  }

  Host host_;
  KovaExtensionHandle* handle_ = nullptr;
  KovaTree* tree_ = nullptr;
  std::vector<std::unique_ptr<std::u16string>> keys_;
  std::vector<std::unique_ptr<Item>> items_;
};

std::u16string randomKey(std::mt19937& random) {
  // Few distinct units and short lengths, so prefixes and repeats are common;
  // high units check that order is by unsigned code unit.
  static const char16_t kUnits[] = {u'a', u'b', u'c', u'\0', 0xD834, 0xDD1E, 0xFFFF, u'\u00e9'};
  std::u16string key(random() % 6, u'a');
  for (char16_t& c : key) c = kUnits[random() % std::size(kUnits)];
  return key;
}

TEST_F(TreeTest, RandomKeysAreAllFoundAndTheFirstOfEqualKeysStays) {
  std::mt19937 random(42);
  std::map<std::u16string, uint32_t> expected;
  for (uint32_t i = 0; i < 5000; ++i) {
    std::u16string key = randomKey(random);
    expected.emplace(key, i);  // keeps the first index too
    add(key, i);
    if (i % 500 == 0) expectBalanced();
  }
  EXPECT_EQ(textTreeOf(tree_).size(), expected.size());
  expectBalanced();
  for (const auto& [key, index] : expected) {
    Item* item = find(key);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->index, index);
  }
  for (int i = 0; i < 2000; ++i) {
    std::u16string key = randomKey(random) + u"zz";
    EXPECT_EQ(find(key), nullptr);
  }
}

TEST_F(TreeTest, SortedAndReverseSortedInsertionsStayBalanced) {
  for (uint32_t i = 0; i < 4096; ++i) {
    char16_t key[3] = {char16_t(u'A' + i / 64), char16_t(u'A' + i % 64), 0};
    add(key, i);
  }
  expectBalanced();
  for (uint32_t i = 0; i < 4096; ++i) {
    char16_t key[3] = {char16_t(0x4E00 - i / 64), char16_t(0x4E00 - i % 64), 0};
    add(key, 4096 + i);
  }
  expectBalanced();
  EXPECT_EQ(textTreeOf(tree_).size(), 8192u);
  EXPECT_EQ(find(u"AA")->index, 0u);
  EXPECT_EQ(find(std::u16string{char16_t(0x4E00 - 63), char16_t(0x4E00 - 63)})->index,
            4096u + 63 * 64 + 63);
}

TEST_F(TreeTest, KeysDifferingOnlyInLengthOrEmptinessAreDistinct) {
  Item* empty = add(u"", 0);
  Item* a = add(u"a", 1);
  Item* aa = add(u"aa", 2);
  Item* zero = add(std::u16string(1, u'\0'), 3);
  EXPECT_EQ(find(u""), empty);
  EXPECT_EQ(find(u"a"), a);
  EXPECT_EQ(find(u"aa"), aa);
  EXPECT_EQ(find(std::u16string_view(u"\0", 1)), zero);
  EXPECT_EQ(find(u"aaa"), nullptr);
  // The length decides, not a terminator.
  EXPECT_EQ(find(std::u16string_view(u"aab", 2)), aa);
  KovaTreeKey nullKey{nullptr, 0};
  EXPECT_EQ(tree_->ops->findItem(tree_, &nullKey), empty);
}

TEST_F(TreeTest, ItemsAreKeptByAddressNotCopied) {
  Item* item = add(u"name", 7);
  item->index = 99;
  EXPECT_EQ(find(u"name"), item);
  EXPECT_EQ(find(u"name")->index, 99u);
}

TEST_F(TreeTest, AnInsertionIsAnAllocationEventThatCanFail) {
  Item item;
  const std::u16string key = u"k";
  item.tagName = key.data();
  item.tagLength = 1;
  host_.failAllocation(1);
  EXPECT_EQ(tree_->ops->insertItem(tree_, &item), kStatusNoMemory);
  EXPECT_EQ(find(u"k"), nullptr);
  EXPECT_EQ(tree_->ops->insertItem(tree_, &item), kStatusOk);
  EXPECT_EQ(find(u"k"), &item);
}

TEST_F(TreeTest, MalformedItemsAndKeysAreRefused) {
  Item broken;
  broken.tagLength = 3;  // no text
  EXPECT_EQ(tree_->ops->insertItem(tree_, &broken), kStatusNotSupported);
  EXPECT_EQ(tree_->ops->insertItem(tree_, nullptr), kStatusNotSupported);
  KovaTreeKey brokenKey{nullptr, 2};
  EXPECT_EQ(tree_->ops->findItem(tree_, &brokenKey), nullptr);
  EXPECT_EQ(tree_->ops->findItem(tree_, nullptr), nullptr);
  EXPECT_EQ(textTreeOf(tree_).size(), 0u);
}

TEST_F(TreeTest, KeyOffsetComesFromTheConfiguration) {
  struct Front {
    const char16_t* key;
    uint32_t length;
  };
  KovaTreeConfig config{{1, 0, 14, 1, 0, 0, 0, 0}};
  auto* tree = static_cast<KovaTree*>(handle_->ops->createObject(handle_, &config, nullptr, "t"));
  ASSERT_NE(tree, nullptr);
  Front item{u"front", 5};
  EXPECT_EQ(tree->ops->insertItem(tree, &item), kStatusOk);
  KovaTreeKey key{u"front", 5};
  EXPECT_EQ(tree->ops->findItem(tree, &key), &item);
  tree->ops->destroyObject(tree);

  config.words[1] = 1u << 30;
  EXPECT_EQ(handle_->ops->createObject(handle_, &config, nullptr, "t"), nullptr);
  EXPECT_EQ(handle_->ops->createObject(handle_, nullptr, nullptr, "t"), nullptr);
}

TEST_F(TreeTest, TreesOutliveTheHandleAndFailedCreationLeavesNothing) {
  KovaTreeConfig config{{1, 16, 14, 1, 0, 0, 0, 0}};
  host_.failAllocation(1);
  EXPECT_EQ(handle_->ops->createObject(handle_, &config, nullptr, "tag avl"), nullptr);
  EXPECT_TRUE(host_.failureFired());
  host_.clearFailure();
  EXPECT_EQ(host_.account().objects, 2u);

  handle_->ops->releaseExtension(handle_);
  handle_ = nullptr;
  add(u"still", 1);
  EXPECT_EQ(find(u"still")->index, 1u);
}

}  // namespace
}  // namespace kova::runtime
