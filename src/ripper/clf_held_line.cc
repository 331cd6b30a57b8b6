#include "src/ripper/clf_held_line.h"

#include <algorithm>
#include <cstring>

#include "src/ripper/column_settings.h"
#include "src/ripper/fragment.h"
#include "src/ripper/held_field.h"
#include "src/ripper/rejects.h"

namespace kova {
namespace {

// The parts of a line in order: the seven fields and what lies between.
enum ClfPart : uint8_t {
  kHost,           // up to a blank
  kIdent,          // up to a blank
  kUser,           // up to a blank
  kBeforeTime,     // skipped up to "["
  kTime,           // up to "]"
  kBeforeRequest,  // skipped up to '"'
  kRequest,        // up to '"'
  kBeforeStatus,   // blanks, skipped
  kStatus,         // up to a blank
  kSize,           // the rest of the line
};

// The field of a part, or -1 for a part that is skipped.
int fieldOf(uint8_t part) {
  static constexpr int kFields[] = {0, 1, 2, -1, 3, -1, 4, -1, 5, 6};
  return kFields[part];
}

// The byte that ends a part (the field's closing byte, or what the skipped
// bytes lead to); 0 for the blanks before the status and for the size.
uint8_t endOf(uint8_t part) {
  static constexpr uint8_t kEnds[] = {' ', ' ', ' ', '[', ']', '"', '"', 0, ' ', 0};
  return kEnds[part];
}

const uint8_t* find(const uint8_t* at, const uint8_t* end, uint8_t c) {
  if (c == 0) return end;
  const void* hit = std::memchr(at, c, size_t(end - at));
  return hit ? static_cast<const uint8_t*>(hit) : end;
}

}  // namespace

KovaStatus holdClfBytes(KovaRipper* ripper, const uint8_t* bytes, uint64_t n,
                        std::u16string_view label) {
  ModuleRipper* m = moduleSide(ripper);
  if (ripper->fragmentLength == 0) {
    m->clfPart = kHost;
    m->clfFieldBytes = 0;
  }
  const uint64_t heldBefore = ripper->fragmentLength;
  const uint8_t partBefore = m->clfPart;
  const uint64_t fieldBytesBefore = m->clfFieldBytes;
  const uint8_t* at = bytes;
  const uint8_t* const end = bytes + n;
  KovaStatus status = kStatusOk;
  while (at < end && status == kStatusOk) {
    const uint8_t part = m->clfPart;
    if (part == kBeforeStatus) {
      if (at < end && *at == ' ') noteFragmentGap(ripper);
      while (at < end && *at == ' ') ++at;
      if (at < end) m->clfPart = kStatus;
      continue;
    }
    const uint8_t* stop = find(at, end, endOf(part));
    const int field = fieldOf(part);
    if (field >= 0) {
      const uint64_t run = uint64_t(stop - at);
      const uint64_t limit = heldColumnLimit(ripper, uint64_t(field));
      const uint64_t room = limit > m->clfFieldBytes ? limit - m->clfFieldBytes : 0;
      const uint64_t keep = std::min(run, room);
      if (keep > 0) status = appendFrag(ripper, at, keep, label);
      if (keep < run) noteFragmentGap(ripper);
      m->clfFieldBytes = run > UINT64_MAX - m->clfFieldBytes ? UINT64_MAX : m->clfFieldBytes + run;
    }
    if (field < 0 && stop > at) noteFragmentGap(ripper);
    if (stop == end || status != kStatusOk) break;
    // The byte that ends the part is held: cutting the held line again
    // finds it where the line had it.
    status = appendFrag(ripper, stop, 1, label);
    m->clfPart = uint8_t(part + 1);
    m->clfFieldBytes = 0;
    at = stop + 1;
  }
  if (status != kStatusOk) {
    ripper->fragmentLength = heldBefore;
    m->clfPart = partBefore;
    m->clfFieldBytes = fieldBytesBefore;
  }
  return status;
}

}  // namespace kova
