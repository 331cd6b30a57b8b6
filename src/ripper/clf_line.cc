// splitClfLine: one line of the Common Log Format (host, identity, user,
// [time], "request", status, size) cut into its seven fields, each handed to
// convertField in place.
#include <cstring>
#include <limits>

#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

constexpr uint32_t kFieldCount = 7;

struct LineCutter {
  KovaRipper* ripper;
  uint8_t* row;
  const uint8_t* at;   // the next byte not yet looked at
  const uint8_t* end;  // one past the line's last byte

  // The byte c at or after at, or null.
  const uint8_t* find(uint8_t c) const {
    return at < end ? static_cast<const uint8_t*>(std::memchr(at, c, size_t(end - at))) : nullptr;
  }

  void field(uint32_t k, const uint8_t* first, const uint8_t* last) {
    uint64_t n = uint64_t(last - first);
    if (n > std::numeric_limits<uint32_t>::max()) n = std::numeric_limits<uint32_t>::max();
    (void)convertField(ripper, row, k, first, static_cast<uint32_t>(n));
  }

  // Field k runs from at to the next c (which is passed over) or, when there
  // is none, to the end of the line. False when the line has ended.
  bool fieldUpTo(uint32_t k, uint8_t c) {
    const uint8_t* stop = find(c);
    field(k, at, stop ? stop : end);
    at = stop ? stop + 1 : end;
    return stop != nullptr;
  }

  // Moves past the next c; false when the line has none.
  bool skipPast(uint8_t c) {
    const uint8_t* stop = find(c);
    if (!stop) return false;
    at = stop + 1;
    return true;
  }
};

}  // namespace

// A field whose closing byte is missing takes the rest of the line; the
// fields after it keep the cleared value of the row.
KovaStatus splitClfLine(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row) {
  clearRow(ripper, row);
  if (!bytes || length < 0) return kStatusOk;
  LineCutter line{ripper, row, bytes, bytes + length};
  static_assert(kFieldCount == 7, "host identity user time request status size");
  if (!line.fieldUpTo(0, ' ') || !line.fieldUpTo(1, ' ') || !line.fieldUpTo(2, ' ')) {
    return kStatusOk;
  }
  if (!line.skipPast('[') || !line.fieldUpTo(3, ']')) return kStatusOk;
  if (!line.skipPast('"') || !line.fieldUpTo(4, '"')) return kStatusOk;
  while (line.at < line.end && *line.at == ' ') ++line.at;
  if (line.at == line.end) return kStatusOk;
  if (!line.fieldUpTo(5, ' ')) return kStatusOk;
  line.field(6, line.at, line.end);
  return kStatusOk;
}

}  // namespace kova
