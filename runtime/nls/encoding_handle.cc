#include "runtime/nls/encoding_handle.h"

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include "runtime/kernel/host.h"
#include "runtime/nls/nls_service.h"
#include "runtime/nls/number_text.h"
#include "runtime/nls/unicode_codec.h"

namespace kova::runtime {
namespace {

// How the bytes of the encoding hold ASCII: as themselves, through a byte
// table (EBCDIC), or as 16- or 32-bit units.
enum class Form : uint8_t { kAsciiBytes, kTable, kUtf16Le, kUtf16Be, kUtf32Le, kUtf32Be };

// How to step from one character to the next in the ASCII-compatible
// multi-byte encodings, whose trail bytes may look like ASCII.
enum class Walk : uint8_t { kBytes, kShiftJis, kEucJp, kEucKr, kGb18030, kBig5 };

constexpr char kNotAscii = '\x01';  // stands for any byte that is no ASCII character

struct Handle {
  KovaEncodingHandle abi;  // first: the module sees only this
  Host* host;
  const EncodingEntry* entry;
  Form form;
  Walk walk;
  Codec codec;          // a fast validity check, or kNone
  uint32_t unit;        // bytes per code unit
  uint8_t blank[4];     // the encoding's U+0020
  bool singleByte;      // every character is one byte: validByte decides checkValue
  bool everyByteValid;  // single-byte and no byte refused: checkValue has nothing to check
  bool validByte[256];
  char toAscii[256];       // kTable: the ASCII character of each byte, or kNotAscii
  uint8_t fromAscii[128];  // kTable: the byte of each ASCII character
  bool hasAscii[128];
  UConverter* validator;  // multi-byte encodings without a fast check

  ~Handle() {
    if (validator) ucnv_close(validator);
  }
};

Handle* self(KovaEncodingHandle* handle) { return reinterpret_cast<Handle*>(handle); }

void clearScratch(uint64_t* scratch) {
  if (scratch) *scratch = 0;
}

uint32_t charLength(Walk walk, const uint8_t* p, const uint8_t* end) {
  uint8_t b = p[0];
  uint32_t n = 1;
  switch (walk) {
    case Walk::kBytes:
      break;
    case Walk::kShiftJis:
      n = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC) ? 2 : 1;
      break;
    case Walk::kEucJp:
      n = b == 0x8F ? 3 : (b == 0x8E || (b >= 0xA1 && b <= 0xFE)) ? 2 : 1;
      break;
    case Walk::kEucKr:
      n = b >= 0xA1 && b <= 0xFE ? 2 : 1;
      break;
    case Walk::kGb18030:
      if (b >= 0x81 && b <= 0xFE) n = end - p > 1 && p[1] >= 0x30 && p[1] <= 0x39 ? 4 : 2;
      break;
    case Walk::kBig5:
      n = b >= 0x81 && b <= 0xFE ? 2 : 1;
      break;
  }
  return uint32_t(end - p) < n ? uint32_t(end - p) : n;
}

bool isBlankAt(const Handle* h, const uint8_t* p) { return std::memcmp(p, h->blank, h->unit) == 0; }

// The text as ASCII: the bytes themselves when the encoding is
// ASCII-compatible, else its blank-trimmed middle mapped into buffer.
// False when the middle is too long to be a number.
bool asciiView(const Handle* h, const void* text, uint64_t length, char* buffer, const char** view,
               size_t* viewLength) {
  auto* p = static_cast<const uint8_t*>(text);
  if (h->form == Form::kAsciiBytes) {
    *view = reinterpret_cast<const char*>(p);
    *viewLength = length;
    return true;
  }
  uint32_t unit = h->unit;
  uint64_t units = length / unit;
  if (length % unit != 0) return false;
  uint64_t first = 0, last = units;
  while (first < last && isBlankAt(h, p + first * unit)) ++first;
  while (last > first && isBlankAt(h, p + (last - 1) * unit)) --last;
  if (last - first > kMaxNumberText) return false;
  size_t n = 0;
  for (uint64_t i = first; i < last; ++i) {
    const uint8_t* u = p + i * unit;
    uint32_t value;
    switch (h->form) {
      case Form::kTable:
        buffer[n++] = h->toAscii[u[0]];
        continue;
      case Form::kUtf16Le:
        value = u[0] | (u[1] << 8);
        break;
      case Form::kUtf16Be:
        value = (u[0] << 8) | u[1];
        break;
      case Form::kUtf32Le:
        value = u[0] | (u[1] << 8) | (u[2] << 16) | (uint32_t(u[3]) << 24);
        break;
      default:
        value = (uint32_t(u[0]) << 24) | (u[1] << 16) | (u[2] << 8) | u[3];
        break;
    }
    buffer[n++] = value < 0x80 ? char(value) : kNotAscii;
  }
  *view = buffer;
  *viewLength = n;
  return true;
}

// Writes ASCII text in the handle's encoding.
KovaStatus emit(const Handle* h, const char* ascii, size_t n, void* output, uint64_t capacity,
                uint64_t* length) {
  *length = 0;
  uint64_t bytes = uint64_t(n) * h->unit;
  if (bytes > capacity) return kStatusBufferTooSmall;
  if (n > 0 && !output) return kStatusBufferTooSmall;
  auto* out = static_cast<uint8_t*>(output);
  for (size_t i = 0; i < n; ++i) {
    auto c = static_cast<uint8_t>(ascii[i]);
    switch (h->form) {
      case Form::kAsciiBytes:
        out[i] = c;
        break;
      case Form::kTable:
        if (!h->hasAscii[c]) return kStatusNotSupported;
        out[i] = h->fromAscii[c];
        break;
      case Form::kUtf16Le:
        out[2 * i] = c, out[2 * i + 1] = 0;
        break;
      case Form::kUtf16Be:
        out[2 * i] = 0, out[2 * i + 1] = c;
        break;
      case Form::kUtf32Le:
        std::memset(out + 4 * i, 0, 4), out[4 * i] = c;
        break;
      case Form::kUtf32Be:
        std::memset(out + 4 * i, 0, 4), out[4 * i + 3] = c;
        break;
    }
  }
  *length = bytes;
  return kStatusOk;
}

// The common number texts of ASCII-compatible encodings, read without the
// general reader's detours: blanks around an optional sign and digits. False
// sends the text to the general reader, which also gives the status.
inline void trimAsciiBlanks(const char*& p, uint64_t& n) {
  while (n > 0 && p[0] == ' ') ++p, --n;
  while (n > 0 && p[n - 1] == ' ') --n;
}

bool fastInteger(const char* p, uint64_t n, int64_t* value) {
  trimAsciiBlanks(p, n);
  bool negative = false;
  if (n > 0 && (p[0] == '-' || p[0] == '+')) {
    negative = p[0] == '-';
    ++p, --n;
  }
  if (n == 0 || n > 18) return false;  // 18 digits cannot overflow
  uint64_t result = 0;
  for (uint64_t i = 0; i < n; ++i) {
    const unsigned digit = static_cast<unsigned char>(p[i]) - unsigned('0');
    if (digit > 9) return false;
    result = result * 10 + digit;
  }
  *value = negative ? -static_cast<int64_t>(result) : static_cast<int64_t>(result);
  return true;
}

// Plain and scientific decimal texts (no "+", infinity or NaN) that
// std::from_chars reads whole and in range.
bool fastDouble(const char* p, uint64_t n, double* value) {
  trimAsciiBlanks(p, n);
  if (n == 0 || n > kMaxNumberText) return false;
  const char first = p[0] == '-' && n > 1 ? p[1] : p[0];
  if (!((first >= '0' && first <= '9') || first == '.')) return false;
  auto [end, error] = std::from_chars(p, p + n, *value, std::chars_format::general);
  return error == std::errc() && end == p + n;
}

void release(KovaEncodingHandle* handle) {
  if (!handle) return;
  Handle* h = self(handle);
  Host* host = h->host;
  delete h;
  host->trackObject(-1);
}

KovaStatus formatDouble(KovaEncodingHandle* handle, KovaLocale*, double value, int32_t width,
                        int32_t decimals, uint32_t, void* output, uint64_t capacity,
                        uint64_t* length) {
  char text[kNumberBufferSize];
  KovaStatus status;
  size_t n = runtime::formatDouble(value, width, decimals, text, &status);
  if (status != kStatusOk) {
    *length = 0;
    return status;
  }
  return emit(self(handle), text, n, output, capacity, length);
}

KovaStatus formatInteger(KovaEncodingHandle* handle, KovaLocale*, int64_t value, int32_t width,
                         uint32_t, void* output, uint64_t capacity, uint64_t* length) {
  char text[24];
  KovaStatus status;
  size_t n = formatInt64(value, width, text, &status);
  if (status != kStatusOk) {
    *length = 0;
    return status;
  }
  return emit(self(handle), text, n, output, capacity, length);
}

KovaStatus readDouble(KovaEncodingHandle* handle, KovaLocale*, const void* text, uint64_t length,
                      uint32_t, double* value, uint64_t* scratch) {
  clearScratch(scratch);
  if (self(handle)->form == Form::kAsciiBytes &&
      fastDouble(static_cast<const char*>(text), length, value)) {
    return kStatusOk;
  }
  char buffer[kMaxNumberText];
  const char* view;
  size_t n;
  KovaStatus status = kStatusNotANumber;
  if (asciiView(self(handle), text, length, buffer, &view, &n))
    status = parseDouble(view, n, value);
  if (status != kStatusOk) *value = std::bit_cast<double>(kMissingValueBits);
  return status;
}

KovaStatus readInteger(KovaEncodingHandle* handle, KovaLocale*, const void* text, uint64_t length,
                       uint32_t, int64_t* value, uint64_t* scratch) {
  clearScratch(scratch);
  if (self(handle)->form == Form::kAsciiBytes &&
      fastInteger(static_cast<const char*>(text), length, value)) {
    return kStatusOk;
  }
  char buffer[kMaxNumberText];
  const char* view;
  size_t n;
  if (!asciiView(self(handle), text, length, buffer, &view, &n)) return kStatusNotANumber;
  return parseInt64(view, n, value);
}

KovaStatus checkValue(KovaEncodingHandle* handle, const void* bytes, uint64_t length, uint32_t,
                      uint64_t* scratch) {
  clearScratch(scratch);
  Handle* h = self(handle);
  auto* p = static_cast<const uint8_t*>(bytes);
  if (length == 0 || h->everyByteValid) return kStatusOk;
  if (h->codec != Codec::kNone)
    return wellFormed(h->codec, p, length) ? kStatusOk : kStatusCorruptData;
  if (h->singleByte) {
    for (uint64_t i = 0; i < length; ++i) {
      if (!h->validByte[p[i]]) return kStatusCorruptData;
    }
    return kStatusOk;
  }
  // Multi-byte: let ICU read it, stopping at the first ill-formed sequence.
  ucnv_reset(h->validator);
  UChar units[512];
  const char* s = reinterpret_cast<const char*>(p);
  const char* end = s + length;
  while (true) {
    const char* limit = end - s > (1 << 29) ? s + (1 << 29) : end;
    UChar* t = units;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(h->validator, &t, units + 512, &s, limit, nullptr, limit == end, &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) continue;
    if (U_FAILURE(error)) return kStatusCorruptData;
    if (limit == end) return kStatusOk;
  }
}

KovaStatus fillBlanks(KovaEncodingHandle* handle, void* target, uint64_t byteCount, uint32_t,
                      uint64_t* scratch) {
  clearScratch(scratch);
  Handle* h = self(handle);
  auto* out = static_cast<uint8_t*>(target);
  if (h->unit == 1) {
    std::memset(out, h->blank[0], byteCount);
    return kStatusOk;
  }
  uint64_t whole = byteCount - byteCount % h->unit;
  for (uint64_t i = 0; i < whole; i += h->unit) std::memcpy(out + i, h->blank, h->unit);
  std::memset(out + whole, 0, byteCount - whole);
  return kStatusOk;
}

int64_t find(KovaEncodingHandle* handle, const void* text, uint64_t length, const void* pattern,
             uint64_t patternLength) {
  Handle* h = self(handle);
  if (patternLength == 0) return 0;
  if (patternLength > length) return -1;
  auto* p = static_cast<const uint8_t*>(text);
  const uint8_t* end = p + length;
  uint64_t boundary = 0;  // the start of a character at or before the candidate (walked encodings)
  uint64_t from = 0;
  while (from + patternLength <= length) {
    const void* hit = memmem(p + from, length - from, pattern, patternLength);
    if (!hit) return -1;
    uint64_t at = uint64_t(static_cast<const uint8_t*>(hit) - p);
    bool starts;
    if (h->unit > 1) {
      starts = at % h->unit == 0;
    } else if (h->walk == Walk::kBytes) {
      starts = true;
    } else {
      while (boundary < at) boundary += charLength(h->walk, p + boundary, end);
      starts = boundary == at;
    }
    if (starts) return int64_t(at);
    from = at + 1;
  }
  return -1;
}

uint64_t trimmed(const Handle* h, const uint8_t* p, uint64_t length) {
  if (h->unit == 1) {
    // The common case, eight bytes at a time from the end: the first word
    // that is not all blanks tells at once how many of its bytes are.
    const uint64_t blanks = 0x0101010101010101ull * h->blank[0];
    auto keptOf = [](uint64_t differ) {  // bytes up to the last one that differs (differ != 0)
      const auto trailing =
          unsigned(std::endian::native == std::endian::little ? std::countl_zero(differ)
                                                              : std::countr_zero(differ));
      return uint64_t(8 - trailing / 8);
    };
    if (length < 8) {
      while (length > 0 && p[length - 1] == h->blank[0]) --length;
      return length;
    }
    if (length <= 64) {
      // A short field, every word from the start and the last 8 bytes: the
      // last word that is not all blanks wins, chosen without branching on
      // where the text ends (it ends at a different place in every record).
      uint64_t kept = 0;
      for (uint64_t at = 0;; at += 8) {
        const uint64_t start = at + 8 <= length ? at : length - 8;
        uint64_t word;
        std::memcpy(&word, p + start, 8);
        const uint64_t differ = word ^ blanks;
        // differ | 1 keeps the count defined; the mask drops an all-blank word.
        const uint64_t candidate = start + keptOf(differ | 1);
        const uint64_t take = uint64_t(0) - uint64_t(differ != 0);
        kept = (candidate & take) | (kept & ~take);
        if (start == length - 8) return kept;
      }
    }
    for (; length >= 8; length -= 8) {
      uint64_t word;
      std::memcpy(&word, p + length - 8, 8);
      const uint64_t differ = word ^ blanks;
      if (differ != 0) return length - 8 + keptOf(differ);
    }
    if (length == 0) return 0;
    // Fewer than 8 bytes are left: the first 8 bytes of the text hold them,
    // followed by bytes already found to be blanks.
    uint64_t word;
    std::memcpy(&word, p, 8);
    const uint64_t differ = word ^ blanks;
    return differ == 0 ? 0 : keptOf(differ);
  }
  if (length % h->unit != 0) return length;
  while (length >= h->unit && isBlankAt(h, p + length - h->unit)) length -= h->unit;
  return length;
}

#if defined(__SSE2__)
// Bit i set when byte i of the 16 at p is not the blank b.
inline uint64_t nonBlank16(const uint8_t* p, __m128i b) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return uint64_t(~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, b))) & 0xFFFFu);
}

// Bit i set when byte i of the 8 at p is not the blank b.
inline uint64_t nonBlank8(const uint8_t* p, __m128i b) {
  const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  return uint64_t(~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, b))) & 0xFFu);
}
#endif

uint64_t trimmedLength(KovaEncodingHandle* handle, const void* text, uint64_t length, uint32_t) {
  const Handle* h = self(handle);
  auto* p = static_cast<const uint8_t*>(text);
#if defined(__SSE2__)
  // Fields of 8 to 64 one-byte characters, the usual ones, here without a
  // call: one bit per byte that is no blank, over the whole field, from
  // overlapping loads; the highest set bit ends the text.
  if (h->unit == 1 && length >= 8 && length <= 64) {
    const __m128i b = _mm_set1_epi8(char(h->blank[0]));
    uint64_t bits;
    if (length < 16) {
      bits = nonBlank8(p, b) | (nonBlank8(p + length - 8, b) << (length - 8));
    } else {
      bits = 0;
      for (uint64_t at = 0;; at += 16) {
        const uint64_t start = at + 16 <= length ? at : length - 16;
        bits |= nonBlank16(p + start, b) << start;
        if (start == length - 16) break;
      }
    }
    return bits == 0 ? 0 : uint64_t(64 - std::countl_zero(bits));
  }
#endif
  return trimmed(h, p, length);
}

KovaStatus alignLeft(KovaEncodingHandle* handle, void* text, uint64_t length, uint32_t mode,
                     uint64_t* resultLength) {
  Handle* h = self(handle);
  auto* p = static_cast<uint8_t*>(text);
  *resultLength = length;
  if (length % h->unit != 0) return kStatusOk;  // not whole characters: left as it is
  uint64_t lead = 0;
  while (lead < length && isBlankAt(h, p + lead)) lead += h->unit;
  if (lead > 0 && lead < length) {
    std::memmove(p, p + lead, length - lead);
    fillBlanks(handle, p + length - lead, lead, 0, nullptr);
  }
  if (mode == kAlignDropTrailing) *resultLength = trimmed(h, p, length);
  return kStatusOk;
}

constexpr KovaEncodingHandleOps kOps = {release,       formatDouble, formatInteger, readDouble,
                                        readInteger,   checkValue,   fillBlanks,    find,
                                        trimmedLength, alignLeft};
static_assert(offsetof(Handle, abi) == 0);

Walk walkFor(const char* converter) {
  struct Name {
    const char* name;
    Walk walk;
  };
  static constexpr Name kNames[] = {{"Shift_JIS", Walk::kShiftJis},
                                    {"EUC-JP", Walk::kEucJp},
                                    {"EUC-KR", Walk::kEucKr},
                                    {"GB18030", Walk::kGb18030},
                                    {"Big5", Walk::kBig5}};
  for (const Name& n : kNames) {
    if (std::strcmp(n.name, converter) == 0) return n.walk;
  }
  return Walk::kBytes;
}

// Fills the byte tables of a single-byte encoding from ICU.
bool describeBytes(Handle* h) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(h->entry->converter, &error);
  if (U_FAILURE(error)) return false;
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  for (int b = 0; b < 256; ++b) {
    char byte = static_cast<char>(b);
    const char* s = &byte;
    UChar unit[2];
    UChar* t = unit;
    error = U_ZERO_ERROR;
    ucnv_reset(converter);
    ucnv_toUnicode(converter, &t, unit + 2, &s, &byte + 1, nullptr, true, &error);
    h->validByte[b] = U_SUCCESS(error) && t == unit + 1;
    h->toAscii[b] = kNotAscii;
    if (h->validByte[b] && unit[0] < 0x80) {
      h->toAscii[b] = char(unit[0]);
      if (!h->hasAscii[unit[0]]) {
        h->hasAscii[unit[0]] = true;
        h->fromAscii[unit[0]] = uint8_t(b);
      }
    }
  }
  ucnv_close(converter);
  return true;
}

}  // namespace

KovaStatus createEncodingHandle(Host& host, const EncodingEntry& entry,
                                KovaEncodingHandle** handle) {
  *handle = nullptr;
  if (!host.consumeAllocation()) return kStatusNoMemory;
  auto* h = new (std::nothrow) Handle{};
  if (!h) return kStatusNoMemory;
  h->abi.ops = &kOps;
  h->abi.encoding = entry.id;
  h->host = &host;
  h->entry = &entry;
  h->codec = codecForConverter(entry.converter);
  h->walk = walkFor(entry.converter);
  h->singleByte = entry.maxBytesPerChar == 1;
  h->unit = 1;
  switch (h->codec) {
    case Codec::kUtf16Le:
      h->form = Form::kUtf16Le, h->unit = 2;
      break;
    case Codec::kUtf16Be:
      h->form = Form::kUtf16Be, h->unit = 2;
      break;
    case Codec::kUtf32Le:
      h->form = Form::kUtf32Le, h->unit = 4;
      break;
    case Codec::kUtf32Be:
      h->form = Form::kUtf32Be, h->unit = 4;
      break;
    default:
      h->form = entry.asciiCompatible ? Form::kAsciiBytes : Form::kTable;
      break;
  }
  if (h->form == Form::kTable && !h->singleByte) {
    delete h;
    return kStatusNotSupported;  // no such encoding is registered
  }
  if (h->codec == Codec::kNone && h->singleByte && !describeBytes(h)) {
    delete h;
    return kStatusNotSupported;
  }
  h->everyByteValid = h->codec == Codec::kLatin1;
  if (h->codec == Codec::kNone && h->singleByte) {
    h->everyByteValid = true;
    for (bool valid : h->validByte) h->everyByteValid = h->everyByteValid && valid;
  }
  if (h->codec == Codec::kNone && !h->singleByte) {
    UErrorCode error = U_ZERO_ERROR;
    h->validator = ucnv_open(entry.converter, &error);
    if (U_SUCCESS(error)) {
      ucnv_setToUCallBack(h->validator, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    }
    if (U_FAILURE(error)) {
      delete h;
      return kStatusNotSupported;
    }
  }
  // The blank: U+0020 in the encoding's own form.
  char space = ' ';
  uint64_t ignored;
  if (h->form == Form::kTable) {
    if (!h->hasAscii[uint8_t(' ')]) {
      delete h;
      return kStatusNotSupported;
    }
    h->blank[0] = h->fromAscii[uint8_t(' ')];
  } else {
    emit(h, &space, 1, h->blank, sizeof h->blank, &ignored);
  }
  host.trackObject(+1);
  *handle = &h->abi;
  return kStatusOk;
}

}  // namespace kova::runtime
