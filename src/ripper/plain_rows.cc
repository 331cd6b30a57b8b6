#include "src/ripper/plain_rows.h"

#include "src/ripper/column_settings.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/row_block.h"
#include "src/ripper/force_inline.h"

namespace kova {
namespace {

constexpr uint8_t kCr = 13;
constexpr uint8_t kLf = 10;
constexpr uint8_t kMixedWidths = 0xFF;

// Writes a plan's indicator; kWidthCode is the width every column shares,
// or kMixedWidths to take the plan's own.
template <uint32_t kWidthCode>
KOVA_ALWAYS_INLINE inline void writePlanIndicator(uint8_t* row, const FieldPlan& plan,
                                                  int64_t value) {
  writeIndicatorAt(row + plan.indicatorOffset,
                   kWidthCode == kMixedWidths ? plan.indicatorWidth : kWidthCode, value);
}

}  // namespace

PlainRows::PlainRows(KovaRipper* ripper, uint32_t planned, int separator, const TerminatorSet& set,
                     const uint8_t* begin, const uint8_t* end, ScanPath path)
    : ripper_(ripper),
      set_(set),
      begin_(begin),
      end_(end),
      size_(uint64_t(end - begin)),
      window_(windowMaskOf(path)) {
  const ModuleRipper* m = moduleSide(ripper);
  // Every column planned as text, each with its own layout entry, and a
  // separator that is none of the line ends.
  if (m->generalRowsOnly || planned == 0 || planned != ripper->layoutCount || separator < 0 ||
      separator == kCr || separator == kLf || !set.matches(kCr) || !set.matches(kLf)) {
    return;
  }
  uint8_t width = m->settings[0].plan.indicatorWidth;
  bool backToBack = true;
  uint64_t nextOffset = m->settings[0].plan.indicatorOffset;
  for (uint32_t i = 0; i < planned; ++i) {
    const FieldPlan& plan = m->settings[i].plan;
    if (plan.kind != FieldKind::kText) return;
    const uint32_t code = plan.indicatorWidth;
    if (code != kIndicatorWidth8 && code != kIndicatorWidth1 && code != kIndicatorWidth2 &&
        code != kIndicatorWidth4) {
      return;  // a column without indicator: left to the record loop
    }
    if (plan.indicatorWidth != width) width = kMixedWidths;
    if (plan.indicatorOffset != nextOffset) backToBack = false;
    nextOffset = plan.indicatorOffset + (code == kIndicatorWidth8 ? 8 : code);
  }
  columns_ = planned;
  separator_ = uint8_t(separator);
  qualifier_ = ripper->table->textqual;
  sharedWidth_ = width;
  fillsIndicators_ = width != kMixedWidths && backToBack;
}

void PlainRows::load(uint64_t at) {
  loaded_ = true;
  base_ = at;
  const uint64_t n = size_ - at < 64 ? size_ - at : 64;
  full_ = n == 64 ? window_(begin_ + at, set_.bytes) : n ? set_.mask(begin_ + at, n) : 0;
  bits_ = full_;
}

template <bool kQualified>
KovaStatus PlainRows::read(const uint8_t** p, uint8_t** row, const RowClearer& clearer) {
  switch (sharedWidth_) {
    case kIndicatorWidth1:
      return readRows<kQualified, kIndicatorWidth1>(p, row, clearer);
    case kIndicatorWidth2:
      return readRows<kQualified, kIndicatorWidth2>(p, row, clearer);
    case kIndicatorWidth4:
      return readRows<kQualified, kIndicatorWidth4>(p, row, clearer);
    default:  // 8-byte indicators (columns of 2 GiB) too: no row of them is small
      return readRows<kQualified, kMixedWidths>(p, row, clearer);
  }
}

template <bool kQualified, uint32_t kWidthCode>
KovaStatus PlainRows::readRows(const uint8_t** at, uint8_t** rowAt, const RowClearer& clearer) {
  KovaRipper* ripper = ripper_;
  const ColumnSettings* settings = moduleSide(ripper)->settings;
  const uint32_t last = columns_ - 1;
  const uint8_t separator = separator_;
  const uint8_t qualifier = qualifier_;
  const uint8_t* p = *at;
  uint8_t* row = *rowAt;
  bool cleared = true;  // the row's indicators say "nothing read yet"
  KovaStatus status = kStatusOk;
  // The window's pending bits are kept here, not in members: a store into
  // a row may alias any member, which would then be read again per field.
  seek(p);
  uint64_t bits = bits_;
  const uint8_t* window = begin_ + base_;
  auto nextStop = [&]() -> const uint8_t* {
    while (bits == 0) {
      if (size_ - base_ <= 64) return nullptr;
      load(base_ + 64);
      bits = bits_;
      window = begin_ + base_;
    }
    const uint8_t* stop = window + __builtin_ctzll(bits);
    bits &= bits - 1;
    return stop;
  };
  // Field n bytes at from into the row by its plan; false when it is the
  // record loop's: a cut value, "\N" (a null) or non-ASCII transcoded text.
  auto take = [&](const FieldPlan& plan, const uint8_t* from, uint64_t n) {
    if (n == 0) {
      writePlanIndicator<kWidthCode>(row, plan, plan.nullIndicator);
      return true;
    }
    if (n > plan.textLimit || (n == 2 && from[0] == '\\') ||
        (plan.asciiOnly && !allAscii(from, n))) {
      return false;
    }
    copyField(row + plan.dataOffset, from, n);
    writePlanIndicator<kWidthCode>(row, plan, int64_t(n));
    return true;
  };
  uint32_t i = ripper->fieldIndex;  // the first row may be begun
  for (;;) {
    const uint8_t* stop = nullptr;
    for (; i < last; ++i) {
      stop = nextStop();
      if (!stop || (kQualified && *p == qualifier) || *stop != separator ||
          !take(settings[i].plan, p, uint64_t(stop - p))) {
        break;
      }
      p = stop + 1;
    }
    if (i == last) {
      stop = nextStop();
      if (stop && !(kQualified && *p == qualifier) &&
          (*stop == kLf || (*stop == kCr && stop + 1 != end_ && stop[1] == kLf)) &&
          take(settings[i].plan, p, uint64_t(stop - p))) {
        ++i;
      }
    }
    if (i <= last) {
      // Field i goes to the record loop, as though it had read the fields
      // before it.
      if (!cleared) {
        for (uint32_t j = i; j <= last; ++j) {
          const FieldPlan& plan = settings[j].plan;
          writePlanIndicator<kWidthCode>(row, plan, plan.nullIndicator);
        }
      }
      ripper->fieldIndex = i;
      if (i > 0) ripper->lastTerminator = separator;
      break;
    }
    const uint8_t* lastField = p;
    p = stop + 1;
    if (*stop == kCr) {
      (void)nextStop();  // the LF after it
      ++p;
    }
    ripper->lastTerminator = kLf;
    ripper->fieldIndex = 0;
    const uint32_t complete = ripper->rowsInBlock + 1;
    if (complete < uint32_t(ripper->blockCapacity)) {
      ripper->rowsInBlock = complete;
      row = ripper->rowBlock + uint64_t(complete) * ripper->rowLength;
      cleared = !fillsIndicators_;
      if (cleared) clearer.clear(row);
    } else {
      uint8_t* next = nextRecord(ripper, row, end_ - begin_, end_ - lastField, &clearer);
      if (!next) {
        status = kStatusNoMemory;
        break;
      }
      row = next;
      cleared = true;
    }
    if (p == end_) break;
    i = 0;
  }
  *at = p;
  *rowAt = row;
  return status;
}

template KovaStatus PlainRows::read<true>(const uint8_t**, uint8_t**, const RowClearer&);
template KovaStatus PlainRows::read<false>(const uint8_t**, uint8_t**, const RowClearer&);

}  // namespace kova
