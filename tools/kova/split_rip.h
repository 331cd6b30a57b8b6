// Ripping the records of one byte range of a data file with a ripper of its
// own, and keeping the rows as they will be printed: the unit of work of
// `kova rip --split` and `--jobs`. One RangeRipper per thread; it makes a
// fresh ripper for each range (so nothing of one split leaks into the next)
// from a table instance only that thread uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/split/split_rules.h"
#include "tools/kova/rip_output.h"
#include "tools/kova/session.h"

namespace kova::tool {

// What ripping one range gave.
struct SplitOutput {
  uint64_t begin = 0;  // the first byte whose records were ripped
  uint64_t end = 0;    // the byte after the last record ripped
  uint64_t rows = 0;
  uint64_t truncations = 0;
  std::string text;                      // csv and jsonl: the rows as printed (no header)
  std::vector<size_t> rowEnds;           // when asked for: where each row's text ends
  std::vector<std::vector<Cell>> cells;  // table: the rows' values, for one aligned table
  std::string error;                     // empty when the range went well
};

struct RangeSettings {
  std::string document;  // for messages
  OutputFormat format = OutputFormat::kCsv;
  bool raw = false;
  uint32_t flags = 0;  // KovaRipperOptions flags
  uint64_t blockSize = 1 << 20;
  bool rowEnds = false;  // fill SplitOutput::rowEnds (a --limit needs them)
};

class RangeRipper {
 public:
  // session, table, rules and source must outlive the RangeRipper; table is
  // used by this RangeRipper alone.
  RangeRipper(Session& session, KovaObject* table, const RangeSettings& settings,
              const runtime::SplitRules& rules, const runtime::ByteSource& source);

  // Rips the records in [begin, end), or, with untilBoundary, the records
  // from begin up to the first record boundary the ripper itself reaches at
  // or after end (a qualified field may hold line ends, so only the parser
  // knows where a record ends). The ripper first skips headerLines lines
  // (DELIMITED and NATIVE); a boundary is not reached before they are.
  SplitOutput rip(uint64_t begin, uint64_t end, bool untilBoundary, int32_t headerLines);

 private:
  Session& session_;
  KovaObject* table_;
  const RangeSettings& settings_;
  const runtime::SplitRules& rules_;
  const runtime::ByteSource& source_;
  std::vector<uint8_t> buffer_;
};

}  // namespace kova::tool
