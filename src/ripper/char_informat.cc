// charInformat: one character or binary field into its row area. Plain
// copies stay one memcpy; a value longer than its column's character length
// is cut on characters (in place for UTF-8 rows, through 16-bit text
// otherwise); a column without a character length may go through its
// character informat. Every cut counts one truncation per value.
#include <algorithm>
#include <cstring>
#include <limits>

#include "src/host/grow.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/host/siblings.h"
#include "src/ripper/convert_value.h"

namespace kova {
namespace {

// Bytes a UTF-8 character takes, judged by its first byte (a stray
// continuation byte counts as a character of its own).
inline uint64_t utf8Length(uint8_t lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF8) return 4;
  if (lead < 0xFC) return 5;
  return 6;
}

// Where a cut at `at` (0 < at < n) must be made so that it does not split a
// UTF-8 character: the start of the character that would cross `at`, or `at`
// itself when it already lies between characters.
uint64_t utf8CutPoint(const uint8_t* text, uint64_t n, uint64_t at) {
  uint64_t lead = at;
  while (lead > 0 && at - lead < 5 && (text[lead] & 0xC0) == 0x80) --lead;
  if (lead == at || text[lead] < 0xC0) return at;  // no lead byte behind: leave it
  return lead + std::min(utf8Length(text[lead]), n - lead) > at ? lead : at;
}

// Copies min(n, capacity) bytes; a longer value is cut (on a character
// boundary when the row holds UTF-8) and counted.
int64_t copyWithCut(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* text,
                    uint64_t n, uint8_t* destination, int64_t capacity) {
  const uint64_t room = capacity > 0 ? uint64_t(capacity) : 0;
  if (n <= room) {
    if (n > 0) std::memcpy(destination, text, n);
    return int64_t(n);
  }
  uint64_t keep = room;
  if (state->rowEncoding == kEncodingUtf8 && keep > 0) keep = utf8CutPoint(text, n, keep);
  if (keep > 0) std::memcpy(destination, text, keep);
  ++ripper->truncations;
  return int64_t(keep);
}

// A column with a character length and a UTF-8 row, no transcoding: take
// whole characters in place up to the character length and the capacity.
int64_t utf8Cut(KovaRipper* ripper, uint64_t charLength, const uint8_t* text, uint64_t n,
                uint8_t* destination, int64_t capacity) {
  const uint64_t room = capacity > 0 ? uint64_t(capacity) : 0;
  uint64_t last = std::min(utf8Length(text[0]), n);
  uint64_t taken = last;
  uint64_t characters = 1;
  bool cut = false;
  while (taken < n) {
    if (characters >= charLength || taken >= room) {
      cut = true;
      break;
    }
    last = std::min(utf8Length(text[taken]), n - taken);
    taken += last;
    ++characters;
  }
  if (taken > room) {  // only the last character can cross the capacity
    taken -= last;
    cut = true;
  }
  if (taken > 0) std::memcpy(destination, text, taken);
  if (cut) ++ripper->truncations;
  return int64_t(taken);
}

// Any other column with a character length: cut the 16-bit text of the
// field at charLength units (never inside a surrogate pair), then store it.
int64_t wideCut(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, uint32_t n,
                uint8_t* destination, int64_t capacity) {
  uint64_t units = 0;
  if (fieldToWideInput(ripper, state, text, n, u"charInformat[1]", &units) != kStatusOk) {
    return -1;
  }
  return storeWideText(ripper, state, ripper->wideInput, units, destination, capacity);
}

// A column without a character length that has a character informat.
int64_t throughInformat(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, uint32_t n,
                        uint8_t* destination, int64_t capacity) {
  uint64_t units = 0;
  if (fieldToWideInput(ripper, state, text, n, u"charInformat[2]", &units) != kStatusOk) {
    return -1;
  }
  return wideThroughInformat(ripper, state, ripper->wideInput, units, destination, capacity,
                             u"charInformat[3]");
}

// Widens n bytes into 16-bit units while they are ASCII; false (with part
// of buffer written) at the first byte that is not.
bool widenAscii(const uint8_t* text, uint32_t n, char16_t* buffer) {
  for (uint32_t i = 0; i < n; ++i) {
    if (text[i] >= 0x80) return false;
    buffer[i] = char16_t(text[i]);
  }
  return true;
}

}  // namespace

KovaStatus fieldToWideInput(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* text,
                            uint32_t n, std::u16string_view label, uint64_t* units) {
  *units = 0;
  // Every encoding gives at most one 16-bit unit per byte.
  if (ripper->wideInputCapacity < n) {
    const uint64_t bytes = 2 * uint64_t(n);
    void* grown = poolResize(ripper->pool, ripper->wideInput, bytes);
    if (grown) {
      ripper->wideInput = static_cast<char16_t*>(grown);
      ripper->wideInputCapacity = n;
    } else {
      logAllocationFailure(ripper->diagnostics, label, int64_t(bytes));
    }
  }
  return convertToWide(ripper, state, text, n, ripper->wideInput, 2 * ripper->wideInputCapacity,
                       units);
}

KovaStatus convertToWide(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* text,
                         uint32_t n, char16_t* buffer, uint64_t room, uint64_t* units) {
  *units = 0;
  if (state->toWide && state->fieldEncoding == kEncodingUtf8 && 2 * uint64_t(n) <= room &&
      widenAscii(text, n, buffer)) {
    *units = n;  // what the transcoder gives for ASCII bytes
    return kStatusOk;
  }
  if (state->toWide) {
    uint64_t written = 0;
    KovaStatus status =
        state->toWide->ops->transcode(state->toWide, text, n, buffer, room, &written, 0);
    // Substituted characters still give the whole text.
    if (status != kStatusOk && status != kStatusTranscodeWarning) return status;
    *units = written / 2;
    return kStatusOk;
  }
  const uint64_t copied = std::min<uint64_t>(n, room);
  if (copied > 0) std::memcpy(buffer, text, copied);
  if (n > room) {
    ++ripper->truncations;
    return kStatusTargetTooSmall;
  }
  *units = copied / 2;
  return kStatusOk;
}

void padWithBlanks(const KovaColumnState* state, uint8_t* at, uint64_t count) {
  if (state->targetHandle) {
    uint64_t scratch = 0;
    (void)state->targetHandle->ops->fillBlanks(state->targetHandle, at, count, 0, &scratch);
  } else {
    std::memset(at, ' ', count);
  }
}

int64_t storeWide(const KovaColumnState* state, const char16_t* text, uint64_t units,
                  uint8_t* destination, int64_t capacity, bool* cut) {
  const uint64_t room = capacity > 0 ? uint64_t(capacity) : 0;
  KovaTranscoder* fromWide = state->fromWide;
  if (!fromWide) {
    uint64_t keep = units;
    if (2 * units > room) {
      keep = wholeUnits(text, units, room / 2);
      *cut = true;
    }
    if (keep > 0) std::memcpy(destination, text, 2 * keep);
    return int64_t(2 * keep);
  }
  uint64_t written = 0;
  KovaStatus status =
      fromWide->ops->transcode(fromWide, text, 2 * units, destination, room, &written, 0);
  if (status != kStatusTargetTooSmall) return int64_t(written);
  // Too long: the longest prefix of whole characters that fits. lo fits
  // (nothing always does), hi does not.
  *cut = true;
  uint64_t lo = 0;
  uint64_t hi = units;
  while (hi - lo > 1) {
    uint64_t mid = lo + (hi - lo) / 2;
    if ((text[mid - 1] & 0xFC00) == 0xD800) {  // keep a surrogate pair together
      if (mid + 1 < hi) {
        ++mid;
      } else if (mid - 1 > lo) {
        --mid;
      } else {
        break;
      }
    }
    written = 0;
    status = fromWide->ops->transcode(fromWide, text, 2 * mid, destination, room, &written, 0);
    if (status == kStatusTargetTooSmall) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  written = 0;
  if (lo == 0) return 0;
  status = fromWide->ops->transcode(fromWide, text, 2 * lo, destination, room, &written, 0);
  return status == kStatusTargetTooSmall ? 0 : int64_t(written);
}

int64_t transcodeDirect(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, uint32_t n,
                        uint8_t* destination, int64_t capacity) {
  KovaTranscoder* direct = state->directTranscoder;
  uint64_t written = 0;
  KovaStatus status = direct->ops->transcode(direct, text, n, destination,
                                             capacity > 0 ? uint64_t(capacity) : 0, &written, 0);
  if (status != kStatusTargetTooSmall || n == 0) return int64_t(written);
  // The host's transcoder writes nothing into a target that is too small:
  // go through 16-bit text and keep the whole characters that fit.
  uint64_t units = 0;
  if (fieldToWideInput(ripper, state, text, n, u"charInformat[1]", &units) != kStatusOk) {
    return -1;
  }
  bool cut = false;
  int64_t stored = storeWide(state, ripper->wideInput, units, destination, capacity, &cut);
  ++ripper->truncations;
  return stored;
}

int64_t charInformat(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, int32_t n,
                     uint8_t* destination, int64_t capacity) {
  const uint32_t length = n > 0 ? uint32_t(n) : 0;
  const uint64_t charLength = state->charLength;
  if (length == 0 || (charLength == 0 && !state->formatObject) ||
      (charLength != 0 && length <= charLength)) {
    if (!state->directTranscoder) {
      return copyWithCut(ripper, state, text, length, destination, capacity);
    }
    return transcodeDirect(ripper, state, text, length, destination, capacity);
  }
  if (charLength == 0) return throughInformat(ripper, state, text, length, destination, capacity);
  if (state->rowEncoding == kEncodingUtf8 && !state->directTranscoder) {
    return utf8Cut(ripper, charLength, text, length, destination, capacity);
  }
  return wideCut(ripper, state, text, length, destination, capacity);
}

int64_t wideThroughInformat(KovaRipper* ripper, KovaColumnState* state, const char16_t* text,
                            uint64_t units, uint8_t* destination, int64_t capacity,
                            std::u16string_view label) {
  // The informat's capacity is 32-bit: a larger value area is offered only
  // its first 4 GiB.
  const uint64_t room = formatCapacityOf(capacity > 0 ? uint64_t(capacity) : 0);
  const uint64_t need = 2 * room;
  if (growInSteps(ripper->pool, ripper->diagnostics, ripper->wideScratch, ripper->wideScratchSize,
                  need, true, label) != kStatusOk) {
    return -1;
  }
  KovaFormatObject* informat = state->formatObject;
  // A text longer than the informat's input length can say is not converted.
  if (!setFormatInput(informat, text, units)) return -1;
  informat->width = formatWidthOf(units);
  // A failing informat reports nothing: an empty value, never the length of
  // an earlier field.
  setFormatOutput(informat, ripper->wideScratch, room);
  if (informat->run) (void)informat->run(informat, 0);
  const uint64_t m = std::min<uint64_t>(informat->outputLength, room);
  if (informat->outputKind != kFormatKindWide) {
    // Bytes (or anything else) the informat delivered: as they are.
    return copyWithCut(ripper, state, reinterpret_cast<const uint8_t*>(ripper->wideScratch), m,
                       destination, capacity);
  }
  bool cut = false;
  int64_t stored = storeWide(state, ripper->wideScratch, m, destination, capacity, &cut);
  if (cut) ++ripper->truncations;
  return stored;
}

int64_t storeWideText(KovaRipper* ripper, const KovaColumnState* state, const char16_t* text,
                      uint64_t units, uint8_t* destination, int64_t capacity) {
  bool cut = false;
  if (state->charLength != 0 && units > state->charLength) {
    units = wholeUnits(text, units, state->charLength);
    cut = true;
  }
  // ASCII text into a UTF-8 row needs no transcoder.
  if (state->fromWide && state->rowEncoding == kEncodingUtf8 && capacity > 0 &&
      units <= uint64_t(capacity)) {
    uint64_t i = 0;
    while (i < units && text[i] < 0x80) {
      destination[i] = uint8_t(text[i]);
      ++i;
    }
    if (i == units) {
      if (cut) ++ripper->truncations;
      return int64_t(units);
    }
  }
  int64_t stored = storeWide(state, text, units, destination, capacity, &cut);
  if (cut) ++ripper->truncations;
  return stored;
}

}  // namespace kova
