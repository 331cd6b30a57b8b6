// newlineRipBlock: the block parser of text tables whose encoding is not
// UTF-8. The block is transcoded into transcodeBuffer and the copy is parsed
// by the parser of the table's format (CLF lines, or delimited text).
//
// The host transcodes each call on its own, so a character whose bytes are
// split between two blocks would reach it in two ill-formed pieces. The
// bytes of a character the block does not finish are therefore held back in
// transcodeTail and transcoded together with the first bytes of the next
// block; at the end of the input flushTranscodeTail hands what is still held
// to the transcoder alone.
//
// Bytes that are not valid text of the encoding are replaced by the host's
// substitute and the block is parsed all the same: one truncation is counted
// for each block in which the host reported a substitution.
#include "src/ripper/end_of_input.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "src/host/grow.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/char_boundary.h"
#include "src/ripper/operations.h"

namespace kova {
namespace {

constexpr std::u16string_view kSizingLabel = u"newlineRipBlock[1]";
constexpr std::u16string_view kDoublingLabel = u"newlineRipBlock[2]";

// Room for the UTF-8 of the pieces completed from transcodeTail.
constexpr uint64_t kHeadRoom = 16;
// No encoding takes more than 3 bytes of UTF-8 per byte of its own (a
// substitute takes 3 for a single bad byte).
constexpr uint64_t kMaxGrowth = 3;

// The parser of the table's format, on UTF-8 text.
KovaStatus parseUtf8(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                     int32_t* rowCount) {
  if (ripper->table->recfm == kRecfmClf) {
    return newlineRipBlockUTF8(ripper, bytes, length, rows, rowCount);
  }
  if (ripper->table->textqual) return qualifiedRipBlock(ripper, bytes, length, rows, rowCount);
  return delimitedRipBlock(ripper, bytes, length, rows, rowCount);
}

// Makes transcodeBuffer hold at least size bytes (its contents are not kept).
KovaStatus growBuffer(KovaRipper* ripper, uint64_t size, std::u16string_view label) {
  return growInSteps(ripper->pool, ripper->diagnostics, ripper->transcodeBuffer,
                     ripper->transcodeCapacity, size, false, label);
}

// One text of the block into UTF-8 at transcodeBuffer + offset. 0, or the
// transcoder's status other than a substitution (which sets *substituted).
KovaStatus transcodeAt(KovaRipper* ripper, const uint8_t* text, uint64_t length, uint64_t offset,
                       uint64_t* written, bool* substituted) {
  *written = 0;
  if (length == 0) return kStatusOk;
  if (offset >= ripper->transcodeCapacity) return kStatusTargetTooSmall;
  KovaStatus status =
      ripper->toUtf8->ops->transcode(ripper->toUtf8, text, length, ripper->transcodeBuffer + offset,
                                     ripper->transcodeCapacity - offset, written, 0);
  if (status == kStatusTranscodeWarning) {
    *substituted = true;
    return kStatusOk;
  }
  if (status != kStatusOk) *written = 0;
  return status;
}

// The held-back bytes with the first bytes of the next block, cut into the
// pieces a transcoder would see in the whole text (characters, or ill-formed
// pieces). Each piece is transcoded on its own: together, a piece that the
// rest of the text ends early (a lead byte followed by a byte that cannot
// continue it) could look like the start of an unfinished longer one.
struct Head {
  uint8_t bytes[8];
  uint8_t pieceEnds[4];  // at most one piece per held byte, and one more
  uint32_t pieces = 0;
  uint64_t length = 0;  // bytes of the pieces

  void add(uint64_t n) {
    length += n;
    pieceEnds[pieces++] = uint8_t(length);
  }
};

// Transcodes the pieces of head, then body, into transcodeBuffer, doubling
// it while the transcoder finds it too small.
KovaStatus transcodeBlock(KovaRipper* ripper, const Head& head, const uint8_t* body,
                          uint64_t bodyLength, uint64_t* written) {
  for (;;) {
    bool substituted = false;
    uint64_t at = 0;
    uint64_t n = 0;
    KovaStatus status = kStatusOk;
    uint64_t start = 0;
    for (uint32_t i = 0; i < head.pieces && status == kStatusOk; ++i) {
      status =
          transcodeAt(ripper, head.bytes + start, head.pieceEnds[i] - start, at, &n, &substituted);
      at += n;
      start = head.pieceEnds[i];
    }
    if (status == kStatusOk) {
      status = transcodeAt(ripper, body, bodyLength, at, &n, &substituted);
      at += n;
    }
    if (status == kStatusOk) {
      if (substituted) ++ripper->truncations;
      *written = at;
      return kStatusOk;
    }
    if (status != kStatusTargetTooSmall) return status;
    const uint64_t capacity = ripper->transcodeCapacity;
    if (capacity == 0 || capacity > std::numeric_limits<uint64_t>::max() / 2) {
      return kStatusNoMemory;
    }
    status = growBuffer(ripper, capacity * 2, kDoublingLabel);
    if (status != kStatusOk) return status;
  }
}

// Makes transcodeBuffer large enough for body (and a completed character
// before it). The worst case is asked for first: when the pool grants it,
// later blocks of the same size need neither a larger buffer nor a measuring
// pass. Otherwise the host measures the text and the buffer gets that size.
KovaStatus sizeBuffer(KovaRipper* ripper, int32_t encoding, const uint8_t* body,
                      uint64_t bodyLength, bool withHead) {
  if (bodyLength == 0 && !withHead) return kStatusOk;
  // Anything near the top of the range is beyond every pool: measure it.
  const bool affordable = bodyLength < (uint64_t(1) << 60) / kMaxGrowth;
  const uint64_t worst = affordable ? roundUpToStep(bodyLength * kMaxGrowth + kHeadRoom) : 0;
  if (affordable && worst <= ripper->transcodeCapacity) return kStatusOk;
  if (affordable) {
    void* grown = poolResize(ripper->pool, ripper->transcodeBuffer, worst, true);
    if (grown) {
      ripper->transcodeBuffer = static_cast<uint8_t*>(grown);
      ripper->transcodeCapacity = worst;
      return kStatusOk;
    }
  }
  uint64_t size = 0;
  if (bodyLength > 0 && ripper->nls->ops->transcodedLength(ripper->nls, encoding, body, bodyLength,
                                                           kEncodingUtf8, &size) != kStatusOk) {
    size = bodyLength;  // a short guess: the doubling in transcodeBlock completes it
  }
  if (size > std::numeric_limits<uint64_t>::max() - kHeadRoom - 1023) {
    logAllocationFailure(ripper->diagnostics, kSizingLabel, std::numeric_limits<int32_t>::max());
    return kStatusNoMemory;
  }
  return growBuffer(ripper, roundUpToStep(size + kHeadRoom), kSizingLabel);
}

}  // namespace

KovaStatus newlineRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                           int32_t* rowCount) {
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;
  // A host that passes no outputs gets the block parsed all the same.
  uint8_t* unusedRows = nullptr;
  int32_t unusedCount = 0;
  if (!rows) rows = &unusedRows;
  if (!rowCount) rowCount = &unusedCount;
  const int32_t expected = *rowCount;
  *rows = ripper->rowBlock;
  *rowCount = 0;
  if (!ripper->toUtf8) return parseUtf8(ripper, bytes, length, rows, rowCount);

  const int32_t encoding = ripper->table->encoding;
  const CharFamily family = charFamily(ripper->nls, encoding);
  const uint64_t blockLength = uint64_t(length);

  // The bytes held back from the previous block, followed by the first
  // bytes of this one: the characters that begin in the held bytes are
  // transcoded as head. Held bytes can hold more than one piece (a lone lead
  // surrogate and the first byte of the next unit). When the block is too
  // short to finish the last of them, it joins the held bytes instead.
  Head head;
  const uint64_t held = ripper->transcodeTailLength;
  const uint64_t extra = std::min<uint64_t>(blockLength, sizeof head.bytes - held);
  const uint64_t headAvailable = held + extra;
  bool stillUnfinished = false;
  if (held > 0) {
    std::memcpy(head.bytes, ripper->transcodeTail, held);
    if (extra) std::memcpy(head.bytes + held, bytes, extra);
    while (head.length < held) {
      const uint64_t left = headAvailable - head.length;
      const uint64_t n = charLength(family, head.bytes + head.length, left);
      if (n > left) {
        stillUnfinished = true;  // n is at most 4, so extra is the whole block
        break;
      }
      head.add(n);
    }
  }
  const uint64_t taken = stillUnfinished      ? blockLength
                         : head.length > held ? head.length - held
                                              : 0;

  const uint8_t* body = bytes + taken;
  const uint64_t bodyLength = blockLength - taken;
  const uint64_t keep = stillUnfinished ? 0 : unfinishedTail(family, body, bodyLength);
  const uint64_t convertLength = bodyLength - keep;

  KovaStatus status = sizeBuffer(ripper, encoding, body, convertLength, head.length > 0);
  if (status != kStatusOk) return status;

  uint64_t written = 0;
  status = transcodeBlock(ripper, head, body, convertLength, &written);
  if (status != kStatusOk) return status;

  // Only now is the held-back character moved on.
  if (stillUnfinished) {
    std::memcpy(ripper->transcodeTail, head.bytes + head.length, headAvailable - head.length);
    ripper->transcodeTailLength = uint8_t(headAvailable - head.length);
  } else {
    std::memcpy(ripper->transcodeTail, body + convertLength, keep);
    ripper->transcodeTailLength = uint8_t(keep);
  }

  *rowCount = expected;
  return parseUtf8(ripper, ripper->transcodeBuffer, int64_t(written), rows, rowCount);
}

KovaStatus flushTranscodeTail(KovaRipper* ripper) {
  const uint64_t held = ripper->transcodeTailLength;
  if (held == 0 || !ripper->toUtf8) return kStatusOk;
  KovaStatus status = growBuffer(ripper, roundUpToStep(kHeadRoom), kSizingLabel);
  if (status != kStatusOk) return status;
  uint64_t written = 0;
  // At the end of the text the held bytes are one unfinished piece.
  Head tail;
  std::memcpy(tail.bytes, ripper->transcodeTail, held);
  tail.add(held);
  status = transcodeBlock(ripper, tail, nullptr, 0, &written);
  if (status != kStatusOk) return status;
  ripper->transcodeTailLength = 0;
  uint8_t* rows = nullptr;
  int32_t rowCount = 0;
  return parseUtf8(ripper, ripper->transcodeBuffer, int64_t(written), &rows, &rowCount);
}

}  // namespace kova
