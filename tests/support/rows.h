// Test support for block parsers: rendering rows as comparable text, ripping
// a sequence of blocks through a bound ripper, and the block-split check
// (any partition of an input gives the same rows as one block).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kova/ripper.h"

namespace kova::testing {

// One row as text, column by column in layout order, e.g.
// `1|"abc"|NULL|2.5`: typed rows show NULL (or NULL-88) for a null indicator,
// integers and doubles as numbers, text quoted, other values in hex;
// row-image rows show numbers as doubles (MISSING for the missing value) and
// text quoted with its blanks.
std::string renderRow(const KovaRipper* ripper, const uint8_t* row);

// A text value as renderRow shows it: quoted, '"' and '\' escaped, control
// bytes as \xHH.
std::string quotedText(std::string_view text);

// Feeds blocks to ripBlock in order, then calls flushPending, and returns
// every row rendered. A non-zero status from either ends the rip; it is
// appended as a last line "status 0x...".
std::vector<std::string> ripBlocks(KovaRipper* ripper, const std::vector<std::string_view>& blocks);

// What a rip of input in blocks of size bytes (the last one shorter, then
// flushPending) left: the rendered rows, the truncations counted and the
// fragment's capacity, which tells how much of a long field was held.
struct BlockRip {
  std::vector<std::string> rows;
  uint32_t truncations = 0;
  uint64_t fragmentCapacity = 0;
};
BlockRip ripInBlocksOf(KovaRipper* ripper, std::string_view input, size_t size);

// Rips one input given as blocks with a fresh ripper; returns rendered rows.
using RipFunction = std::function<std::vector<std::string>(const std::vector<std::string_view>&)>;

// Checks that input ripped as one block, cut at every single point (every
// cut in cuts, when given), and in randomPartitions random partitions with
// blocks down to one byte, always gives the rows of the one-block rip.
// Returns those rows. Reports failures through gtest with the cut points.
std::vector<std::string> splitEverywhere(std::string_view input, const RipFunction& rip,
                                         int randomPartitions = 40, uint32_t seed = 7,
                                         const std::vector<size_t>* cuts = nullptr);

}  // namespace kova::testing
