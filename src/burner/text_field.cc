#include "src/burner/text_field.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "src/burner/output.h"

namespace kova {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

// Nonzero when one of the eight bytes of word is the byte spread in pattern.
inline uint64_t holdsByte(uint64_t word, uint64_t pattern) {
  const uint64_t x = word ^ pattern;
  return (x - kOnes) & ~x & kHighs;
}

// True when the text holds the qualifier or one of the three terminators;
// sixteen bytes at a time where the output buffer goes on for sixteen more
// bytes (the bytes past the text are looked at and their answer dropped),
// else eight at a time.
bool needsQualifiers(const KovaRipper* burner, const uint8_t* text, uint64_t n, uint8_t q) {
  const uint8_t a = burner->terminators[2], b = burner->terminators[0], c = burner->terminators[1];
#if defined(__SSE2__)
  const uint8_t* bufferEnd = burner->recordBuffer + burner->recordBufferSize;
  if (uint64_t(bufferEnd - text) >= ((n + 15) & ~uint64_t(15))) {
    const __m128i vq = _mm_set1_epi8(char(q)), va = _mm_set1_epi8(char(a));
    const __m128i vb = _mm_set1_epi8(char(b)), vc = _mm_set1_epi8(char(c));
    for (uint64_t i = 0; i < n; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
      const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, vq), _mm_cmpeq_epi8(x, va)),
                                       _mm_or_si128(_mm_cmpeq_epi8(x, vb), _mm_cmpeq_epi8(x, vc)));
      uint32_t mask = uint32_t(_mm_movemask_epi8(hit));
      if (n - i < 16) mask &= (1u << (n - i)) - 1;
      if (mask) return true;
    }
    return false;
  }
#endif
  if (n < 8) {
    bool found = false;
    for (uint64_t i = 0; i < n; ++i) {
      const uint8_t x = text[i];
      found |= (x == q) | (x == a) | (x == b) | (x == c);
    }
    return found;
  }
  const uint64_t pq = kOnes * q, pa = kOnes * a, pb = kOnes * b, pc = kOnes * c;
  auto any = [&](const uint8_t* at) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    return (holdsByte(word, pq) | holdsByte(word, pa) | holdsByte(word, pb) |
            holdsByte(word, pc)) != 0;
  };
  uint64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (any(text + i)) return true;
  }
  return i < n && any(text + n - 8);  // the last bytes, overlapping
}

// Where the next qualifier byte that starts a character lies in text, or -1.
int64_t findQualifier(const KovaColumnState* state, const uint8_t* text, uint64_t n, uint8_t q) {
  if (!std::memchr(text, q, n)) return -1;
  KovaEncodingHandle* handle = state->targetHandle;
  if (!handle) {
    const void* hit = std::memchr(text, q, n);
    return hit ? static_cast<const uint8_t*>(hit) - text : -1;
  }
  return handle->ops->find(handle, text, n, &q, 1);
}

// The escape of one byte in the escape style, or 0 when it stays as it is.
inline uint8_t escapeOf(uint8_t x) {
  switch (x) {
    case '\\':
      return '\\';
    case '\r':
      return 'r';
    case '\n':
      return 'n';
    case '\t':
      return 't';
    case '"':
      return '"';
    default:
      return 0;
  }
}

}  // namespace

KovaStatus characterText(KovaRipper* burner, const KovaColumnState* state, const uint8_t* bytes,
                         uint64_t length, uint64_t* n) {
  *n = 0;
  KovaTranscoder* transcoder = state->directTranscoder;
  const uint64_t room = transcoder ? 8 * length + 3 : length;
  KovaStatus status = makeRoom(burner, room);
  if (status != kStatusOk) return status;
  uint8_t* out = outputEnd(burner);
  if (!transcoder) {
    std::memcpy(out, bytes, length);
    *n = length;
    return kStatusOk;
  }
  uint64_t written = 0;
  status = transcoder->ops->transcode(transcoder, bytes, length, out, room, &written, 0);
  if (status != kStatusOk) return status;
  *n = written < room ? written : room;
  return kStatusOk;
}

uint64_t trimCharacter(const KovaColumnState* state, uint8_t* text, uint64_t n) {
  KovaEncodingHandle* handle = state->targetHandle;
  if (!handle) return n;
  const uint64_t kept = handle->ops->trimmedLength(handle, text, n, 0);
  return kept < n ? kept : n;
}

uint64_t alignNumber(const KovaColumnState* state, uint8_t* text, uint64_t n) {
  KovaEncodingHandle* handle = state->targetHandle;
  if (!handle) return n;
  // Most numbers have no blank at either end: nothing to move or drop.
  if (asciiField(state) && n > 0 && text[0] != ' ' && text[n - 1] != ' ') return n;
  uint64_t kept = n;
  if (handle->ops->alignLeft(handle, text, n, 0x6c, &kept) != kStatusOk) return n;
  return kept < n ? kept : n;
}

// Both styles: the text of n bytes moves to the end of its room of
// n + extra + 2 bytes, then is copied forward behind the opening qualifier
// with extra bytes inserted; the writing position never passes the reading
// one, so the copy is safe in place.
KovaStatus qualifyDefault(KovaRipper* burner, const KovaColumnState* state, uint64_t n,
                          uint64_t* final) {
  *final = n;
  const uint8_t q = burner->table->textqual;
  if (q == 0 || n == 0) return kStatusOk;
  uint8_t* text = outputEnd(burner);
  // A qualifier anywhere in the field is doubled inside qualifiers, so that
  // a reader never takes it for the end of the field.
  if (!needsQualifiers(burner, text, n, q)) return kStatusOk;
  uint64_t doubled = 0;
  for (uint64_t at = 0;;) {
    const int64_t hit = findQualifier(state, text + at, n - at, q);
    if (hit < 0) break;
    ++doubled;
    at += uint64_t(hit) + 1;
  }
  KovaStatus status = makeRoom(burner, n + doubled + 2, true);
  if (status != kStatusOk) return status;
  text = outputEnd(burner);
  const uint64_t from = doubled + 1;
  std::memmove(text + from, text, n);
  uint64_t read = from;
  const uint64_t end = from + n;
  uint64_t write = 1;
  text[0] = q;
  while (read < end) {
    const int64_t hit = doubled ? findQualifier(state, text + read, end - read, q) : -1;
    const uint64_t take = hit < 0 ? end - read : uint64_t(hit) + 1;
    std::memmove(text + write, text + read, take);
    write += take;
    read += take;
    if (hit >= 0) text[write++] = q;
  }
  text[write++] = q;
  *final = write;
  return kStatusOk;
}

KovaStatus qualifyEscaped(KovaRipper* burner, uint64_t n, uint64_t* final) {
  *final = n;
  const uint8_t q = burner->table->textqual;
  if (q == 0) return kStatusOk;
  uint8_t* text = outputEnd(burner);
  uint64_t escaped = 0;
  for (uint64_t i = 0; i < n; ++i) escaped += escapeOf(text[i]) != 0;
  KovaStatus status = makeRoom(burner, n + escaped + 2, true);
  if (status != kStatusOk) return status;
  text = outputEnd(burner);
  if (escaped == 0) {
    std::memmove(text + 1, text, n);
  } else {
    const uint64_t from = escaped + 1;
    std::memmove(text + from, text, n);
    uint64_t write = 1;
    for (uint64_t read = from; read < from + n; ++read) {
      const uint8_t x = text[read];
      if (const uint8_t e = escapeOf(x)) {
        text[write++] = '\\';
        text[write++] = e;
      } else {
        text[write++] = x;
      }
    }
  }
  text[0] = q;
  text[n + escaped + 1] = q;
  *final = n + escaped + 2;
  return kStatusOk;
}

}  // namespace kova
