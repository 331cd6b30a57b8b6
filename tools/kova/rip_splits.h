// `kova rip ... --split OFFSET:LENGTH` (the rows of one split, for engines
// that schedule a task per split and concatenate the outputs in split order)
// and `kova rip ... --jobs N` (every split of the file on N threads, printed
// in file order exactly as a whole-file rip prints them). Called by
// cmd_rip.cc once its own options are read.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tools/kova/split_rip.h"

namespace kova::tool {

struct PartitionOptions {
  bool split = false;  // --split OFFSET:LENGTH
  uint64_t offset = 0;
  uint64_t length = 0;
  bool jobsGiven = false;  // --jobs N
  unsigned jobs = 1;       // 0: one per core
  uint64_t splitSize = 0;  // --split-size (with --jobs); 0: chosen from the file's size
  bool noQuotedNewlines = false;
  bool active() const { return split || jobsGiven; }
};

// Reads the option at args[*i] when it is one of --split, --jobs,
// --split-size, --no-quoted-newlines: 1 when it was (*i moves past its value),
// 0 when it is another argument, -1 after a usage error (*exitCode set).
int parsePartitionOption(std::span<char*> args, size_t* i, PartitionOptions* options,
                         int* exitCode);

// Rips DATA by the options; the exit code. limit: rows to print at most.
int ripPartitioned(const std::string& document, const std::string& data,
                   const RangeSettings& settings, uint64_t limit, const PartitionOptions& options);

}  // namespace kova::tool
