#include "runtime/split/range_rip.h"

#include <algorithm>
#include <cstdio>

namespace kova::runtime {
namespace {

constexpr uint8_t kCr = 13;

std::string statusText(KovaStatus status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08x", status);
  const char* name = kovaStatusName(status);
  return name ? std::string(name) + " (" + code + ")" : std::string(code);
}

// True when a DELIMITED or NATIVE ripper has ended a record and begun none
// (and has no header line left to skip).
bool atRecordBoundary(const KovaRipper* ripper) {
  return ripper->fieldIndex == 0 && ripper->fragmentLength == 0 && ripper->qualifierState == 0 &&
         ripper->transcodeTailLength == 0 && ripper->headerLinesLeft <= 0;
}

}  // namespace

RangeResult ripRange(KovaRipper* ripper, const SplitRules& rules, const ByteSource& source,
                     std::vector<uint8_t>& buffer, uint64_t begin, uint64_t end, bool untilBoundary,
                     const std::function<void(const uint8_t* rows, int32_t count)>& take) {
  RangeResult result;
  result.end = std::max(begin, end);
  auto feed = [&](uint64_t from, uint64_t to) {
    while (from < to) {
      const size_t want = size_t(std::min<uint64_t>(buffer.size(), to - from));
      const int64_t got = source.read(from, buffer.data(), want);
      if (got <= 0) {
        result.error = "cannot read the file at offset " + std::to_string(from);
        return false;
      }
      uint8_t* rows = nullptr;
      int32_t count = 0;
      KovaStatus status = ripper->ops.ripBlock(ripper, buffer.data(), got, &rows, &count);
      if (status != kStatusOk) {
        result.error =
            "the block at offset " + std::to_string(from) + " failed: " + statusText(status);
        return false;
      }
      if (count > 0) take(rows, count);
      from += uint64_t(got);
    }
    return true;
  };
  if (!feed(begin, result.end)) return result;
  const uint32_t recfm = ripper->table->recfm;
  if (untilBoundary && (recfm == kRecfmDelimited || recfm == kRecfmNative)) {
    const uint64_t unit = rules.shape().unit;
    uint64_t pos = result.end;
    for (;;) {
      if (atRecordBoundary(ripper)) {
        // A CR that ended the record and an LF right after it are one end.
        if (pos > begin && ripper->lastTerminator == kCr && rules.lineFeedAt(pos)) {
          if (!feed(pos, pos + unit)) return result;
          pos += unit;
        }
        break;
      }
      if (pos >= rules.fileSize()) break;
      uint64_t at = 0;
      if (!rules.nextLineEnd(pos, &at)) {
        result.error = "cannot read the file at offset " + std::to_string(pos);
        return result;
      }
      const uint64_t stop = std::min(rules.fileSize(), at + unit);
      if (!feed(pos, stop)) return result;
      pos = stop;
    }
    result.end = pos;
  }
  uint8_t* rows = nullptr;
  int32_t count = 0;
  KovaStatus status = ripper->ops.flushPending(ripper, &rows, &count);
  if (status != kStatusOk) {
    result.error = "the end of the input failed: " + statusText(status);
  } else if (count > 0) {
    take(rows, count);
  }
  return result;
}

}  // namespace kova::runtime
