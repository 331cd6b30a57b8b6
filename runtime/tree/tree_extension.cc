// zreavl: the handle and its tree objects. An item's key is a
// `const char16_t*` at the configured offset with a 32-bit length (in code
// units) right after the pointer.
#include "runtime/tree/tree_extension.h"

#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

#include "runtime/kernel/host.h"
#include "runtime/kernel/siblings.h"

namespace kova::runtime {
namespace {

// Keys sit inside items the caller lays out; an offset beyond this is a
// configuration mistake, not an item.
constexpr uint32_t kLargestKeyOffset = 1u << 16;

struct TreeHandle {
  KovaExtensionHandle abi;
  Host* host;
};

struct TreeObject {
  KovaTree abi;  // first: the caller holds &abi
  Host* host;
  uint32_t keyOffset;
  TextTree tree;
};
static_assert(std::is_standard_layout_v<TreeObject>);

TreeObject* treeOf(KovaTree* tree) { return reinterpret_cast<TreeObject*>(tree); }

// False when the text pointer is null but the length is not 0.
bool keyOf(const KovaTreeKey& key, std::u16string_view* out) {
  if (!key.text) {
    *out = {};
    return key.length == 0;
  }
  *out = std::u16string_view(key.text, key.length);
  return true;
}

void destroyObject(KovaTree* tree) {
  if (!tree) return;
  TreeObject* self = treeOf(tree);
  self->host->trackObject(-1);
  delete self;
}

KovaStatus insertItem(KovaTree* tree, void* item) {
  if (!tree || !item) return kStatusNotSupported;
  TreeObject* self = treeOf(tree);
  KovaTreeKey key;
  std::memcpy(&key.text, static_cast<const char*>(item) + self->keyOffset, sizeof(key.text));
  std::memcpy(&key.length, static_cast<const char*>(item) + self->keyOffset + sizeof(key.text),
              sizeof(key.length));
  std::u16string_view text;
  if (!keyOf(key, &text)) return kStatusNotSupported;
  if (!self->host->consumeAllocation()) return kStatusNoMemory;
  try {
    self->tree.insert(item, text);  // an equal key keeps the first item
  } catch (const std::bad_alloc&) {
    return kStatusNoMemory;
  }
  return kStatusOk;
}

void* findItem(KovaTree* tree, const KovaTreeKey* key) {
  std::u16string_view text;
  if (!tree || !key || !keyOf(*key, &text)) return nullptr;
  return treeOf(tree)->tree.find(text);
}

constexpr KovaTreeOps kTreeOps = {destroyObject, insertItem, findItem};

void* createObject(KovaExtensionHandle* handle, const void* configuration, KovaDiagnostics*,
                   const char*) {
  if (!handle || !configuration) return nullptr;
  const auto* config = static_cast<const KovaTreeConfig*>(configuration);
  uint32_t keyOffset = config->words[1];
  if (keyOffset > kLargestKeyOffset) return nullptr;
  Host* host = reinterpret_cast<TreeHandle*>(handle)->host;
  if (!host->consumeAllocation()) return nullptr;
  auto* tree = new (std::nothrow) TreeObject{{&kTreeOps}, host, keyOffset, {}};
  if (!tree) return nullptr;
  host->trackObject(+1);
  return &tree->abi;
}

void releaseExtension(KovaExtensionHandle* handle) {
  if (!handle) return;
  auto* self = reinterpret_cast<TreeHandle*>(handle);
  self->host->trackObject(-1);
  delete self;
}

constexpr KovaExtensionHandleOps kHandleOps = {releaseExtension, createObject, nullptr, nullptr};

}  // namespace

const TextTree& textTreeOf(const KovaTree* tree) {
  return reinterpret_cast<const TreeObject*>(tree)->tree;
}

// The kernel has already counted the allocation event of the handle.
KovaExtensionHandle* loadTreeExtension(Host& host, KovaDiagnostics*) {
  auto* handle = new (std::nothrow) TreeHandle{{&kHandleOps}, &host};
  if (!handle) return nullptr;
  host.trackObject(+1);
  return &handle->abi;
}

}  // namespace kova::runtime
