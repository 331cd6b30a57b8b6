// The typed FIXED plan: one step per column with a typed entry, in column
// order, each a specialised move chosen from the column state once per
// block. The decisions mirror fixedTypedRecord in fixed_record.cc; the
// differential tests in tests/fixed_varbin keep the two in step.
#include "src/ripper/fixed_plan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "src/convert/missing.h"
#include "src/host/kernel.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/short_copy.h"

namespace kova {

enum class StepKind : uint8_t {
  kNull,  // bytes outside the record, or nothing to convert: the null indicator
  kInt1,  // integers of octets bytes, as they are or byte-reversed
  kInt2,
  kInt4,
  kInt8,
  kInt2Swap,
  kInt4Swap,
  kInt8Swap,
  kIntOther,     // any other width
  kDouble,       // 8 bytes in native order
  kDoubleSwap,   // 8 bytes reversed
  kDoubleShort,  // fewer than 8 bytes, widened
  kText,         // checked, trimmed, copied
  kBytes,        // octets bytes as they are
};

// How the bytes of a text step are checked against the row encoding.
enum class TextCheck : uint8_t {
  kNone,      // a one-byte encoding with a character for every byte
  kAscii,     // UTF-8: ASCII bytes pass, other texts go to the handle
  kByHandle,  // the handle's checkValue for every value
};

// The indicator widths a step can store: none (a code the layout does not
// know), 1, 2, 4 or 8 bytes.
constexpr unsigned kWidthClasses = 5;

struct FixedStep {
  StepKind kind;
  uint8_t op;               // kind and indicator width in one: what convertOne switches on
  uint8_t indicatorWidth;   // the entry's code (masked)
  uint8_t reverse;          // kIntOther, kDoubleShort: the column's bigEndian
  uint8_t keepMissingCode;  // doubles: a missing double keeps its code (nullAsMissing)
  uint8_t blended;          // text: stored word by word (copyBlended)
  TextCheck check;          // text: how its bytes are checked
  uint8_t blank;            // text: the encoding's blank when it is one byte (trimmedInPlace)
  uint8_t trimmedInPlace;   // text: trailing blanks dropped here rather than by the handle
  int32_t nullIndicator;    // what a null becomes: -1, or -88 for a DOUBLE with nullAsMissing
  uint64_t source;          // the column's offset in the record
  uint64_t length;  // bytes taken: octets (integers, bytes), width (doubles), bytelength (text)
  uint64_t limit;   // text: the entry's octetLength
  uint64_t dataOffset;
  uint64_t indicatorOffset;
  KovaEncodingHandle* handle;  // text: the row encoding's handle
  // text: the handle's checks, looked up once per block
  KovaStatus (*checkValue)(KovaEncodingHandle*, const void*, uint64_t, uint32_t, uint64_t*);
  uint64_t (*trimmedLength)(KovaEncodingHandle*, const void*, uint64_t, uint32_t);
};

constexpr unsigned widthClass(unsigned code) {
  switch (code) {
    case kIndicatorWidth1:
      return 1;
    case kIndicatorWidth2:
      return 2;
    case kIndicatorWidth4:
      return 3;
    case kIndicatorWidth8:
      return 4;
    default:
      return 0;
  }
}

constexpr uint8_t opOf(StepKind kind, unsigned widthClassOfStep) {
  return uint8_t(unsigned(kind) * kWidthClasses + widthClassOfStep);
}

struct FixedPlan {
  uint64_t capacity;  // steps the room holds
  uint64_t count;
  uint64_t reclen;
  FixedStep steps[];
};

namespace {

// Whether count bytes at offset lie inside a record of reclen bytes.
bool inside(int64_t offset, uint64_t count, uint64_t reclen) {
  return offset >= 0 && uint64_t(offset) <= reclen && count <= reclen - uint64_t(offset);
}

StepKind integerKind(uint64_t octets, bool reverse) {
  switch (octets) {
    case 1:
      return StepKind::kInt1;
    case 2:
      return reverse ? StepKind::kInt2Swap : StepKind::kInt2;
    case 4:
      return reverse ? StepKind::kInt4Swap : StepKind::kInt4;
    case 8:
      return reverse ? StepKind::kInt8Swap : StepKind::kInt8;
    default:
      return StepKind::kIntOther;
  }
}

// Decides, once per block, what the row encoding's handle would do with
// every text: whether any byte can be refused and which byte is the blank.
// Each decision is checked against the handle itself; where one cannot be
// made, the handle is asked per value as before.
void planTextChecks(FixedStep* step) {
  KovaEncodingHandle* handle = step->handle;
  const KovaEncodingHandleOps* ops = handle->ops;
  step->check = TextCheck::kByHandle;
  KovaNls* service = nls();
  KovaEncodingInfo info{};
  const bool oneByte = service &&
                       service->ops->encodingInfo(service, handle->encoding, &info) == kStatusOk &&
                       info.maxBytesPerChar == 1;
  uint64_t scratch = 0;
  if (oneByte) {
    // One byte, one character: a text is valid when each of its bytes is.
    uint8_t every[256];
    for (unsigned i = 0; i < 256; ++i) every[i] = uint8_t(i);
    if (ops->checkValue(handle, every, sizeof every, 0, &scratch) == kStatusOk) {
      step->check = TextCheck::kNone;
    }
  } else if (handle->encoding == kEncodingUtf8) {
    step->check = TextCheck::kAscii;
  }
  // A blank of one byte: four blanks are four equal bytes, and the handle
  // trims exactly those.
  uint8_t blanks[4] = {1, 2, 3, 4};
  if (ops->fillBlanks(handle, blanks, sizeof blanks, 0, &scratch) != kStatusOk) return;
  const uint8_t b = blanks[0];
  if (blanks[1] != b || blanks[2] != b || blanks[3] != b || b == 'q') return;
  const uint8_t probe[4] = {'q', b, 'q', b};
  if (ops->trimmedLength(handle, blanks, sizeof blanks, 0) != 0 ||
      ops->trimmedLength(handle, probe, sizeof probe, 0) != 3) {
    return;
  }
  step->blank = b;
  step->trimmedInPlace = 1;
}

FixedStep planColumn(const KovaRipper* ripper, const KovaColumnState* state, uint64_t reclen) {
  const KovaLayoutEntry* entry = state->typedEntry;
  const KovaColumn* column = state->column;
  const bool reverse = state->bigEndian != 0;
  FixedStep step{};
  step.kind = StepKind::kNull;
  step.indicatorWidth = uint8_t(entry->indicatorWidth & kIndicatorWidthMask);
  step.reverse = reverse;
  step.keepMissingCode = ripper->nullAsMissing;
  step.nullIndicator = (ripper->nullAsMissing && entry->sqlType == kSqlDouble)
                           ? kIndicatorNullDouble
                           : kIndicatorNull;
  step.source = uint64_t(column->offset);
  step.dataOffset = entry->dataOffset;
  step.indicatorOffset = entry->indicatorOffset;
  const uint64_t octets = entry->octetLength;
  const uint64_t bytelength = column->bytelength > 0 ? uint64_t(column->bytelength) : 0;
  switch (state->valueKind) {
    case kValueInteger:
      if (!inside(column->offset, octets, reclen)) break;
      step.kind = integerKind(octets, reverse);
      step.length = octets;
      break;
    case kValueDouble: {
      const uint64_t width = std::min<uint64_t>(bytelength, 8);
      if (!inside(column->offset, width, reclen)) break;
      step.kind = width < 8 ? StepKind::kDoubleShort
                  : reverse ? StepKind::kDoubleSwap
                            : StepKind::kDouble;
      step.length = width;
      break;
    }
    case kValueText:
      if (!inside(column->offset, bytelength, reclen) || !state->targetHandle) break;
      step.kind = StepKind::kText;
      step.length = bytelength;
      step.limit = octets;
      step.handle = state->targetHandle;
      step.checkValue = step.handle->ops->checkValue;
      step.trimmedLength = step.handle->ops->trimmedLength;
      planTextChecks(&step);
      // Word moves need a slot of 8 bytes or more and as many text bytes.
      step.blended = std::endian::native == std::endian::little && octets >= 8 &&
                     octets <= bytelength && octets <= 64;
      break;
    case kValueBytes:
      if (!inside(column->offset, octets, reclen)) break;
      step.kind = StepKind::kBytes;
      step.length = octets;
      break;
    default:
      break;
  }
  step.op = opOf(step.kind, widthClass(step.indicatorWidth));
  return step;
}

// Stores an indicator of the width class W (0: none) at at.
template <unsigned W>
inline void storeIndicator(uint8_t* at, int64_t value) {
  if constexpr (W == 1) {
    *at = uint8_t(value);
  } else if constexpr (W == 2) {
    const auto narrow = static_cast<int16_t>(value);
    std::memcpy(at, &narrow, 2);
  } else if constexpr (W == 3) {
    const auto narrow = static_cast<int32_t>(value);
    std::memcpy(at, &narrow, 4);
  } else if constexpr (W == 4) {
    std::memcpy(at, &value, 8);
  }
}

inline uint64_t loadBits(const uint8_t* at) {
  uint64_t bits;
  std::memcpy(&bits, at, 8);
  return bits;
}

inline uint16_t swapBytes(uint16_t v) { return __builtin_bswap16(v); }
inline uint32_t swapBytes(uint32_t v) { return __builtin_bswap32(v); }
inline uint64_t swapBytes(uint64_t v) { return __builtin_bswap64(v); }

template <typename T>
inline void moveInteger(uint8_t* to, const uint8_t* from, bool reverse) {
  T value;
  std::memcpy(&value, from, sizeof value);
  if (reverse) value = swapBytes(value);
  std::memcpy(to, &value, sizeof value);
}

// Stores the first n bytes of a text of room bytes or more into a slot of
// room bytes (8 or more) without branching on n: every word of the slot is
// rewritten, its bytes from n on with what they held. REQUIRES: n <= room,
// a little-endian host.
[[gnu::always_inline]] inline void copyBlended(uint8_t* to, const uint8_t* from, uint64_t n,
                                               uint64_t room) {
#if defined(__SSE2__)
  if (room >= 16) {
    // Sixteen bytes at a time, every old byte read before any is written so
    // no load waits on an overlapping store; where chunks overlap they
    // agree, both taking each byte by its place against n.
    const __m128i iota = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i limit = _mm_set1_epi8(static_cast<char>(n));  // n <= room <= 64
    __m128i out[4];
    uint64_t starts[4];
    unsigned chunks = 0;
    for (uint64_t at = 0;; at += 16) {
      const uint64_t start = at + 16 <= room ? at : room - 16;
      const __m128i place = _mm_add_epi8(iota, _mm_set1_epi8(static_cast<char>(start)));
      const __m128i keep = _mm_cmplt_epi8(place, limit);
      const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + start));
      const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + start));
      out[chunks] = _mm_or_si128(_mm_and_si128(keep, text), _mm_andnot_si128(keep, held));
      starts[chunks++] = start;
      if (start == room - 16) break;
    }
    for (unsigned i = 0; i < chunks; ++i) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + starts[i]), out[i]);
    }
    return;
  }
#endif
  for (uint64_t at = 0;; at += 8) {
    const uint64_t start = at + 8 <= room ? at : room - 8;
    const uint64_t taken = std::min<uint64_t>(n - std::min(n, start), 8);
    // The low taken bytes: (1 << 8 * taken) - 1, written so taken = 8 needs no branch.
    const uint64_t mask = ((uint64_t(1) << (4 * taken)) << (4 * taken)) - 1;
    uint64_t text, held;
    std::memcpy(&text, from + start, 8);
    std::memcpy(&held, to + start, 8);
    held = (text & mask) | (held & ~mask);
    std::memcpy(to + start, &held, 8);
    if (start == room - 8) return;
  }
}

// The length of the n bytes at p without the blank bytes they end with:
// for 16 to 64 bytes one bit per byte that is no blank, from overlapping
// loads, the highest set bit ending the text (no branch on where it ends);
// otherwise eight bytes at a time from the end.
inline uint64_t withoutTrailing(const uint8_t* p, uint64_t n, uint8_t blank) {
#if defined(__SSE2__)
  if (n >= 16 && n <= 64) {
    const __m128i blanks16 = _mm_set1_epi8(static_cast<char>(blank));
    uint64_t bits = 0;
    for (uint64_t at = 0;; at += 16) {
      const uint64_t start = at + 16 <= n ? at : n - 16;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + start));
      const auto same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blanks16)));
      bits |= uint64_t(~same & 0xFFFFu) << start;
      if (start == n - 16) break;
    }
    return bits == 0 ? 0 : uint64_t(64 - std::countl_zero(bits));
  }
#endif
  const uint64_t blanks = 0x0101010101010101ull * blank;
  while (n >= 8) {
    const uint64_t differ = loadBits(p + n - 8) ^ blanks;
    if (differ != 0) {
      // The bytes past the last one that differs are blanks.
      const int trailing = std::endian::native == std::endian::little ? std::countl_zero(differ)
                                                                      : std::countr_zero(differ);
      return n - uint64_t(trailing / 8);
    }
    n -= 8;
  }
  while (n > 0 && p[n - 1] == blank) --n;
  return n;
}

// The indicator of the double stored at value: 8, or for a missing value
// its code (-89 "_", -87 to -62 "A" to "Z", -88 any other; complemented
// byte 5) when the codes are kept and -1 when they are not.
inline int64_t doubleIndicator(const uint8_t* value, bool keepMissingCode) {
  if (!isMissing(std::bit_cast<double>(loadBits(value)))) return 8;
  if (!keepMissingCode) return kIndicatorNull;
  const auto code = static_cast<uint8_t>(~value[5]);
  if (code == 0x2D) return -89;
  if (code >= 0x41 && code <= 0x5A) return -87 + (code - 0x41);
  return -88;
}

// The value of one step moved from from to at; returns its indicator (a
// negative one for a double is its missing code). A text the row encoding
// refuses sets *refused and returns 0.
template <StepKind K>
[[gnu::always_inline]] inline int64_t moveValue(const FixedStep& step, const uint8_t* from,
                                                uint8_t* at, KovaStatus* refused) {
  if constexpr (K == StepKind::kNull) {
    return step.nullIndicator;
  } else if constexpr (K == StepKind::kInt1) {
    *at = *from;
    return 1;
  } else if constexpr (K == StepKind::kInt2 || K == StepKind::kInt2Swap) {
    moveInteger<uint16_t>(at, from, K == StepKind::kInt2Swap);
    return 2;
  } else if constexpr (K == StepKind::kInt4 || K == StepKind::kInt4Swap) {
    moveInteger<uint32_t>(at, from, K == StepKind::kInt4Swap);
    return 4;
  } else if constexpr (K == StepKind::kInt8 || K == StepKind::kInt8Swap) {
    moveInteger<uint64_t>(at, from, K == StepKind::kInt8Swap);
    return 8;
  } else if constexpr (K == StepKind::kIntOther) {
    copyOrdered(at, from, step.length, step.reverse != 0);
    return int64_t(step.length);
  } else if constexpr (K == StepKind::kDouble || K == StepKind::kDoubleSwap) {
    uint64_t bits;
    std::memcpy(&bits, from, 8);
    if constexpr (K == StepKind::kDoubleSwap) bits = swapBytes(bits);
    std::memcpy(at, &bits, 8);
    if ((bits >> 48) != 0xFFFFu) return 8;  // not missing: the common case, decided in a register
    return doubleIndicator(at, step.keepMissingCode != 0);
  } else if constexpr (K == StepKind::kDoubleShort) {
    // The bytes are the double's high-order ones in the column's order.
    uint8_t wide[8] = {};
    std::memcpy(step.reverse ? wide : wide + 8 - step.length, from, step.length);
    uint8_t ordered[8];
    copyOrdered(ordered, wide, 8, step.reverse != 0);
    uint64_t bits;
    std::memcpy(&bits, ordered, 8);
    std::memcpy(at, &bits, 8);
    return doubleIndicator(at, step.keepMissingCode != 0);
  } else if constexpr (K == StepKind::kText) {
    KovaEncodingHandle* handle = step.handle;
    const uint64_t length = step.length;
    if (step.check == TextCheck::kByHandle ||
        (step.check == TextCheck::kAscii && !allAscii(from, length))) {
      uint64_t scratch = 0;
      const KovaStatus status = step.checkValue(handle, from, length, 0, &scratch);
      if (status != kStatusOk) {
        *refused = status;
        return 0;
      }
    }
    const uint64_t text = step.trimmedInPlace ? withoutTrailing(from, length, step.blank)
                                              : step.trimmedLength(handle, from, length, 0);
    const uint64_t kept = std::min(text, step.limit);
    if (step.blended) {
      copyBlended(at, from, kept, step.limit);
    } else {
      copyShort(at, from, kept);
    }
    return int64_t(kept);
  } else {
    static_assert(K == StepKind::kBytes);
    if (step.length > 0) std::memcpy(at, from, step.length);
    return int64_t(step.length);
  }
}

// One step of the kind K with an indicator of width class W. Returns the
// status of a refused text, else 0.
template <StepKind K, unsigned W>
[[gnu::always_inline]] inline KovaStatus runStep(const FixedStep& step, const uint8_t* record,
                                                 uint8_t* row) {
  KovaStatus refused = kStatusOk;
  const int64_t v = moveValue<K>(step, record + step.source, row + step.dataOffset, &refused);
  if constexpr (K == StepKind::kText) {
    if (refused != kStatusOk) return refused;
  }
  storeIndicator<W>(row + step.indicatorOffset, v);
  return kStatusOk;
}

// Records a chunk holds: the chunk's records and rows stay in the cache
// while each column's move runs over all of them.
constexpr int64_t kChunkRecords = 128;

// One column of n consecutive records into n consecutive rows, by the step
// of kind K with an indicator of width class W: the same moves for every
// record, without a choice between them. Returns the status of the first
// refused text, else 0.
template <StepKind K, unsigned W>
KovaStatus runColumn(const FixedStep& planned, const uint8_t* record, int64_t n, uint64_t reclen,
                     uint8_t* row, uint64_t rowLength) {
  // A local copy: the rows are bytes, so the compiler would otherwise read
  // the step anew after every store.
  const FixedStep step = planned;
  for (int64_t i = 0; i < n; ++i) {
    const KovaStatus status = runStep<K, W>(step, record, row);
    if constexpr (K == StepKind::kText) {
      if (status != kStatusOk) return status;
    }
    record += reclen;
    row += rowLength;
  }
  return kStatusOk;
}

// One column of n records: one switch on its kind and indicator width
// together, then the column's loop.
KovaStatus convertColumn(const FixedStep& step, const uint8_t* records, int64_t n, uint64_t reclen,
                         uint8_t* row, uint64_t rowLength) {
  switch (step.op) {
#define KOVA_STEP_CASE(K, W) \
  case opOf(StepKind::K, W): \
    return runColumn<StepKind::K, W>(step, records, n, reclen, row, rowLength);
#define KOVA_STEP_CASES(K) \
  KOVA_STEP_CASE(K, 0)     \
  KOVA_STEP_CASE(K, 1)     \
  KOVA_STEP_CASE(K, 2)     \
  KOVA_STEP_CASE(K, 3)     \
  KOVA_STEP_CASE(K, 4)
    KOVA_STEP_CASES(kNull)
    KOVA_STEP_CASES(kInt1)
    KOVA_STEP_CASES(kInt2)
    KOVA_STEP_CASES(kInt4)
    KOVA_STEP_CASES(kInt8)
    KOVA_STEP_CASES(kInt2Swap)
    KOVA_STEP_CASES(kInt4Swap)
    KOVA_STEP_CASES(kInt8Swap)
    KOVA_STEP_CASES(kIntOther)
    KOVA_STEP_CASES(kDouble)
    KOVA_STEP_CASES(kDoubleSwap)
    KOVA_STEP_CASES(kDoubleShort)
    KOVA_STEP_CASES(kText)
    KOVA_STEP_CASES(kBytes)
#undef KOVA_STEP_CASES
#undef KOVA_STEP_CASE
    default:
      return kStatusOk;
  }
}

}  // namespace

KovaStatus prepareFixedPlan(KovaRipper* ripper, int64_t reclen, FixedPlan** result) {
  const KovaObject* table = ripper->table;
  const uint64_t columns = table->columnCount > 0 ? uint64_t(table->columnCount) : 0;
  FixedPlan* plan = moduleSide(ripper)->fixedPlan;
  if (!plan || plan->capacity < columns) {
    const uint64_t room = columns > 0 ? columns : 1;
    const uint64_t size = sizeof(FixedPlan) + room * sizeof(FixedStep);
    void* grown = poolResize(ripper->pool, plan, size, true);
    if (!grown) {
      logAllocationFailure(ripper->diagnostics, u"fixedRipBlock", int64_t(size));
      return kStatusNoMemory;
    }
    plan = static_cast<FixedPlan*>(grown);
    plan->capacity = room;
    moduleSide(ripper)->fixedPlan = plan;
  }
  plan->reclen = uint64_t(reclen);
  plan->count = 0;
  for (uint64_t i = 0; i < columns; ++i) {
    const KovaColumnState* state = &ripper->columns[i];
    if (!state->typedEntry) continue;
    // An integer field wider or narrower than its slot: the table is left
    // to the record converter.
    const int64_t bytelength = state->column->bytelength;
    if (state->valueKind == kValueInteger && bytelength > 0 &&
        uint64_t(bytelength) != state->typedEntry->octetLength) {
      return kStatusOk;
    }
    plan->steps[plan->count++] = planColumn(ripper, state, plan->reclen);
  }
  *result = plan;
  return kStatusOk;
}

KovaStatus convertFixedRecords(const FixedPlan* plan, const uint8_t* records, int64_t count,
                               uint8_t* row, uint64_t rowLength) {
  const uint64_t reclen = plan->reclen;
  const FixedStep* const steps = plan->steps;
  const FixedStep* const end = steps + plan->count;
  for (int64_t start = 0; start < count; start += kChunkRecords) {
    const int64_t n = std::min(kChunkRecords, count - start);
    const uint8_t* chunk = records + uint64_t(start) * reclen;
    uint8_t* rows = row + uint64_t(start) * rowLength;
    for (const FixedStep* step = steps; step != end; ++step) {
      const KovaStatus status = convertColumn(*step, chunk, n, reclen, rows, rowLength);
      if (status != kStatusOk) return status;
    }
  }
  return kStatusOk;
}

}  // namespace kova
