// Qualified fields: reading one from its opening qualifier, continuing one
// that an earlier block began, and removing the qualifiers from a field held
// in the fragment.
#include <cstring>

#include "src/ripper/fragment.h"
#include "src/ripper/qualified_field.h"
#include "src/ripper/rejects.h"
#include "src/ripper/terminator_scan.h"

namespace kova {
namespace {

// The separator as a comparable value; -1 when the table has none (a NUL
// byte is then data).
int separatorOf(const KovaRipper* ripper) {
  return ripper->terminators[2] != 0 ? int(ripper->terminators[2]) : -1;
}

struct Outcome {
  int64_t consumed = 0;
  uint8_t terminator = 0;
};

// After the closing qualifier at close (which is in the fragment already,
// dequalified): the bytes up to the next terminator belong to the field as
// they are.
KovaStatus textAfterClose(KovaRipper* ripper, const uint8_t* bytes, const uint8_t* from,
                          const uint8_t* end, Outcome* out) {
  ripper->qualifierState = 0;
  TerminatorSet terminators(ripper);
  const uint8_t* stop = terminators.find(from, end);
  const uint8_t* textEnd = stop ? stop : end;
  KovaStatus status = appendFrag(ripper, from, uint64_t(textEnd - from));
  if (status != kStatusOk) return status;
  out->consumed = textEnd - bytes;
  out->terminator = stop ? *stop : 0;
  return kStatusOk;
}

// Scans the inside of a qualified field from p, with the bytes from pending
// on (up to p) still to be appended to the fragment. bytes is where consumed
// counts from. inPlace: nothing of the field is in the fragment yet and the
// field began at bytes[0], so a field without doubled qualifiers can be left
// in the block.
KovaStatus scanInside(KovaRipper* ripper, const uint8_t* bytes, const uint8_t* pending,
                      const uint8_t* p, const uint8_t* end, bool inPlace, Outcome* out) {
  const uint8_t q = ripper->table->textqual;
  const int separator = separatorOf(ripper);
  TerminatorSet terminators(ripper);
  for (;;) {
    const uint8_t* at =
        p < end ? static_cast<const uint8_t*>(std::memchr(p, q, size_t(end - p))) : nullptr;
    if (!at || at + 1 == end) {
      // The field goes on in the next block; a qualifier as the last byte
      // may close it or begin a doubled pair.
      KovaStatus status = appendFrag(ripper, pending, uint64_t(end - pending));
      if (status != kStatusOk) return status;
      ripper->qualifierState = at ? 2 : 1;
      out->terminator = 0;
      out->consumed = end - bytes;
      return kStatusOk;
    }
    const uint8_t after = at[1];
    if (after == q && int(after) != separator) {  // a doubled qualifier: one qualifier of text
      inPlace = false;
      p = at + 2;
      continue;
    }
    if (int(after) == separator || (inPlace && terminators.matches(after))) {
      ripper->qualifierState = 0;
      out->consumed = at + 1 - bytes;
      out->terminator = after;
      if (inPlace) return kStatusOk;  // the text lies between the qualifiers
      KovaStatus status = appendFrag(ripper, pending, uint64_t(at + 1 - pending));
      if (status != kStatusOk) return status;
      dequalify(ripper);
      return kStatusOk;
    }
    // The closing qualifier, followed by text that joins the field.
    KovaStatus status = appendFrag(ripper, pending, uint64_t(at + 1 - pending));
    if (status != kStatusOk) return status;
    dequalify(ripper);
    return textAfterClose(ripper, bytes, at + 1, end, out);
  }
}

// With a reject sink: the line feeds of what one call took into the field
// (text after the closing qualifier holds none: a line end ends it), and
// the field's end when it closed.
inline void noteQualifiedRun(KovaRipper* ripper, const uint8_t* bytes, KovaStatus status,
                             const Outcome& out) {
  if (!moduleSide(ripper)->rejects || status != kStatusOk) return;
  noteQualifiedBytes(ripper, bytes, out.consumed);
  if (ripper->qualifierState == 0) noteQualifiedEnd(ripper, ripper->rowsInBlock);
}

}  // namespace

void dequalify(KovaRipper* ripper, bool closed) {
  uint8_t* text = ripper->fragment;
  const uint64_t length = ripper->fragmentLength;
  if (length == 0) return;
  const uint8_t q = ripper->table->textqual;
  const uint64_t stop = closed && length >= 2 ? length - 1 : length;
  uint64_t written = 0;
  for (uint64_t i = 1; i < stop; ++i) {
    if (text[i] == q) {
      if (++i == stop) break;  // a lone qualifier at the end of an open field
    }
    text[written++] = text[i];
  }
  ripper->fragmentLength = written;
  noteFragmentShift(ripper, 1);  // the text now begins after the opening qualifier
}

KovaStatus startQualified(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                          int64_t* consumed, uint8_t* terminator) {
  Outcome out;
  const uint8_t* end = bytes + length;
  noteQualifiedStart(ripper, bytes);
  KovaStatus status = scanInside(ripper, bytes, bytes, bytes + 1, end, true, &out);
  *consumed = out.consumed;
  *terminator = out.terminator;
  noteQualifiedRun(ripper, bytes, status, out);
  return status;
}

KovaStatus continueQualified(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             int64_t* consumed, uint8_t* terminator) {
  Outcome out;
  const uint8_t* end = bytes + length;
  KovaStatus status = kStatusOk;
  if (length == 0) {
    // Nothing to add: the field stays pending as it is.
  } else if (ripper->qualifierState == 2) {
    const uint8_t first = bytes[0];
    if (int(first) == separatorOf(ripper)) {
      // The qualifier that ended the last block closed the field.
      dequalify(ripper);
      ripper->qualifierState = 0;
      out.terminator = first;
    } else if (first == ripper->table->textqual) {
      // It was the first of a doubled pair; the pair stays in the fragment
      // until dequalify.
      ripper->qualifierState = 1;
      status = scanInside(ripper, bytes, bytes, bytes + 1, end, false, &out);
    } else {
      dequalify(ripper);
      status = textAfterClose(ripper, bytes, bytes, end, &out);
    }
  } else {
    status = scanInside(ripper, bytes, bytes, bytes, end, false, &out);
  }
  *consumed = out.consumed;
  *terminator = out.terminator;
  noteQualifiedRun(ripper, bytes, status, out);
  return status;
}

}  // namespace kova
