// zreavl, the search tree sibling: trees made by createObject from a
// KovaTreeConfig (word 1 is the offset of the key inside an item; the other
// words are accepted and not used). For tests and host code: the tree behind
// a KovaTree this sibling made.
#pragma once

#include "kova/siblings.h"
#include "runtime/tree/text_tree.h"

namespace kova::runtime {

// REQUIRES: tree was made by the zreavl sibling of this host.
const TextTree& textTreeOf(const KovaTree* tree);

}  // namespace kova::runtime
