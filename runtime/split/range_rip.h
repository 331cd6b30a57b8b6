// Feeding a ripper the records of one byte range of a file: the bytes in
// [begin, end), or from begin up to the first record boundary the ripper
// itself reaches at or after end, then the end of input (flushPending).
// The ripper must be bound, fresh (no bytes fed yet) and used by the calling
// thread alone; rows go to take() block by block, valid during the call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kova/ripper.h"
#include "runtime/split/split_rules.h"

namespace kova::runtime {

struct RangeResult {
  uint64_t end = 0;   // the byte after the last record fed
  std::string error;  // empty when every block went well, else what failed and where
};

// untilBoundary: for DELIMITED and NATIVE tables whose qualified fields may
// hold line ends, where only the parser knows which line end ends a record.
// Past end the bytes go in line by line; after each line end the ripper's
// state says whether a record has ended (and header lines it still skips
// are not passed). buffer is the caller's block buffer (its size is the
// block size; at least 1 byte).
RangeResult ripRange(KovaRipper* ripper, const SplitRules& rules, const ByteSource& source,
                     std::vector<uint8_t>& buffer, uint64_t begin, uint64_t end, bool untilBoundary,
                     const std::function<void(const uint8_t* rows, int32_t count)>& take);

}  // namespace kova::runtime
