#include "runtime/nls/unicode_codec.h"

#include <bit>
#include <cstring>

namespace kova::runtime {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr uint8_t kByteSubstitute = 0x1A;

struct Decoded {
  char32_t codePoint;
  uint32_t bytes;
  bool valid;
};

inline Decoded decodeUtf8(const uint8_t* p, const uint8_t* end) {
  uint8_t b0 = p[0];
  if (b0 < 0x80) return {b0, 1, true};
  uint32_t need;
  uint8_t low = 0x80, high = 0xBF;
  char32_t cp;
  if (b0 < 0xC2) {
    return {kReplacement, 1, false};
  } else if (b0 < 0xE0) {
    need = 1;
    cp = b0 & 0x1F;
  } else if (b0 < 0xF0) {
    need = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 < 0xF5) {
    need = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return {kReplacement, 1, false};
  }
  uint32_t taken = 1;
  for (uint32_t i = 0; i < need; ++i) {
    if (p + taken >= end) return {kReplacement, taken, false};
    uint8_t b = p[taken];
    if (b < low || b > high) return {kReplacement, taken, false};
    low = 0x80, high = 0xBF;
    cp = (cp << 6) | (b & 0x3F);
    ++taken;
  }
  return {cp, taken, true};
}

template <bool kLittle>
inline char16_t unit16(const uint8_t* p) {
  return kLittle ? char16_t(p[0] | (p[1] << 8)) : char16_t((p[0] << 8) | p[1]);
}

template <bool kLittle>
inline Decoded decodeUtf16(const uint8_t* p, const uint8_t* end) {
  if (end - p < 2) return {kReplacement, uint32_t(end - p), false};
  char16_t u = unit16<kLittle>(p);
  if (u < 0xD800 || u > 0xDFFF) return {u, 2, true};
  if (u >= 0xDC00) return {kReplacement, 2, false};
  if (end - p < 4) {
    // A lead surrogate at the end: it and any odd byte after it are one
    // truncated character.
    return {kReplacement, uint32_t(end - p), false};
  }
  char16_t v = unit16<kLittle>(p + 2);
  if (v < 0xDC00 || v > 0xDFFF) return {kReplacement, 2, false};
  return {char32_t(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00)), 4, true};
}

template <bool kLittle>
inline Decoded decodeUtf32(const uint8_t* p, const uint8_t* end) {
  if (end - p < 4) return {kReplacement, uint32_t(end - p), false};
  char32_t cp = kLittle ? char32_t(p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24))
                        : char32_t((uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {kReplacement, 4, false};
  return {cp, 4, true};
}

template <Codec C>
inline Decoded decode(const uint8_t* p, const uint8_t* end) {
  if constexpr (C == Codec::kUtf8) return decodeUtf8(p, end);
  if constexpr (C == Codec::kUtf16Le) return decodeUtf16<true>(p, end);
  if constexpr (C == Codec::kUtf16Be) return decodeUtf16<false>(p, end);
  if constexpr (C == Codec::kUtf32Le) return decodeUtf32<true>(p, end);
  if constexpr (C == Codec::kUtf32Be) return decodeUtf32<false>(p, end);
  if constexpr (C == Codec::kLatin1) return {p[0], 1, true};
  if constexpr (C == Codec::kAscii) {
    return p[0] < 0x80 ? Decoded{p[0], 1, true} : Decoded{kReplacement, 1, false};
  }
  return {kReplacement, 1, false};
}

// Encodes one scalar value; returns its byte count and whether it was
// representable (otherwise the substitute was written).
template <Codec C>
inline uint32_t encode(char32_t cp, uint8_t* out, bool* representable) {
  *representable = true;
  if constexpr (C == Codec::kUtf8) {
    if (cp < 0x80) {
      out[0] = uint8_t(cp);
      return 1;
    }
    if (cp < 0x800) {
      out[0] = uint8_t(0xC0 | (cp >> 6));
      out[1] = uint8_t(0x80 | (cp & 0x3F));
      return 2;
    }
    if (cp < 0x10000) {
      out[0] = uint8_t(0xE0 | (cp >> 12));
      out[1] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
      out[2] = uint8_t(0x80 | (cp & 0x3F));
      return 3;
    }
    out[0] = uint8_t(0xF0 | (cp >> 18));
    out[1] = uint8_t(0x80 | ((cp >> 12) & 0x3F));
    out[2] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
    out[3] = uint8_t(0x80 | (cp & 0x3F));
    return 4;
  }
  if constexpr (C == Codec::kUtf16Le || C == Codec::kUtf16Be) {
    auto put = [out](int at, char16_t u) {
      if constexpr (C == Codec::kUtf16Le) {
        out[at] = uint8_t(u), out[at + 1] = uint8_t(u >> 8);
      } else {
        out[at] = uint8_t(u >> 8), out[at + 1] = uint8_t(u);
      }
    };
    if (cp < 0x10000) {
      put(0, char16_t(cp));
      return 2;
    }
    put(0, char16_t(0xD800 + ((cp - 0x10000) >> 10)));
    put(2, char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    return 4;
  }
  if constexpr (C == Codec::kUtf32Le) {
    out[0] = uint8_t(cp), out[1] = uint8_t(cp >> 8), out[2] = uint8_t(cp >> 16), out[3] = 0;
    return 4;
  }
  if constexpr (C == Codec::kUtf32Be) {
    out[0] = 0, out[1] = uint8_t(cp >> 16), out[2] = uint8_t(cp >> 8), out[3] = uint8_t(cp);
    return 4;
  }
  if constexpr (C == Codec::kLatin1 || C == Codec::kAscii) {
    constexpr char32_t kLimit = C == Codec::kLatin1 ? 0x100 : 0x80;
    if (cp < kLimit) {
      out[0] = uint8_t(cp);
    } else {
      out[0] = kByteSubstitute;
      *representable = false;
    }
    return 1;
  }
  *representable = false;
  return 0;
}

// The end of the run of bytes below 0x80 that starts at s (eight at a time).
inline const uint8_t* asciiRunEnd(const uint8_t* s, const uint8_t* end) {
  while (end - s >= 8) {
    uint64_t word;
    std::memcpy(&word, s, 8);
    if (word & 0x8080808080808080ull) break;
    s += 8;
  }
  while (s < end && *s < 0x80) ++s;
  return s;
}

constexpr bool isByteCodec(Codec c) {
  return c == Codec::kUtf8 || c == Codec::kLatin1 || c == Codec::kAscii;
}

// Latin-1 into UTF-8 when the target holds the worst case (two bytes a
// character): one pass without capacity checks.
uint64_t latin1ToUtf8Roomy(const uint8_t* s, uint64_t n, uint8_t* t) {
  uint8_t* out = t;
  const uint8_t* end = s + n;
  while (s < end) {
    if (end - s >= 8) {
      uint64_t word;
      std::memcpy(&word, s, 8);
      if (!(word & 0x8080808080808080ull)) {
        std::memcpy(out, s, 8);
        out += 8;
        s += 8;
        continue;
      }
    }
    const uint8_t c = *s++;
    if (c < 0x80) {
      *out++ = c;
    } else {
      out[0] = uint8_t(0xC0 | (c >> 6));
      out[1] = uint8_t(0x80 | (c & 0x3F));
      out += 2;
    }
  }
  return uint64_t(out - t);
}

// UTF-8 into Latin-1 when the target holds as many bytes as the source (no
// character grows): one pass without capacity checks over ASCII and the
// two-byte forms of U+0080..U+00FF. Returns the source bytes consumed, which
// stop short at any other sequence (the general loop takes it from there).
uint64_t utf8ToLatin1Roomy(const uint8_t* s, uint64_t n, uint8_t* t, uint64_t* written) {
  const uint8_t* start = s;
  const uint8_t* end = s + n;
  uint8_t* out = t;
  while (s < end) {
    if (end - s >= 8) {
      uint64_t word;
      std::memcpy(&word, s, 8);
      if (!(word & 0x8080808080808080ull)) {
        std::memcpy(out, s, 8);
        out += 8;
        s += 8;
        continue;
      }
    }
    const uint8_t c = *s;
    if (c < 0x80) {
      *out++ = c;
      ++s;
    } else if ((c == 0xC2 || c == 0xC3) && end - s >= 2 && (s[1] & 0xC0) == 0x80) {
      *out++ = uint8_t((c << 6) | (s[1] & 0x3F));
      s += 2;
    } else {
      break;
    }
  }
  *written = uint64_t(out - t);
  return uint64_t(s - start);
}

template <Codec F, Codec T>
CodecResult convert(const uint8_t* s, uint64_t n, uint8_t* t, uint64_t capacity) {
  if constexpr (F == Codec::kLatin1 && T == Codec::kUtf8) {
    if (t && capacity / 2 >= n) return {kStatusOk, latin1ToUtf8Roomy(s, n, t)};
  }
  uint64_t done = 0;
  if constexpr (F == Codec::kUtf8 && T == Codec::kLatin1) {
    if (t && capacity >= n) {
      uint64_t consumed = utf8ToLatin1Roomy(s, n, t, &done);
      if (consumed == n) return {kStatusOk, done};
      s += consumed;
      n -= consumed;
    }
  }
  const uint8_t* end = s + n;
  uint64_t written = done;
  bool replaced = false;
  uint8_t scratch[4];
  while (s < end) {
    // Runs of ASCII between byte codecs are copied as they are.
    if constexpr (isByteCodec(F) && isByteCodec(T)) {
      const uint8_t* run = asciiRunEnd(s, end);
      uint64_t count = uint64_t(run - s);
      if (count > 0) {
        if (t) {
          if (capacity - written < count) return {kStatusTargetTooSmall, 0};
          std::memcpy(t + written, s, count);
        }
        written += count;
        s = run;
        continue;
      }
    }
    // And widened into UTF-16 of this machine's byte order.
    if constexpr (isByteCodec(F) && T == Codec::kUtf16Le &&
                  std::endian::native == std::endian::little) {
      const uint8_t* run = s;
      while (run < end && *run < 0x80) ++run;
      uint64_t count = uint64_t(run - s);
      if (count > 0) {
        if (t) {
          if ((capacity - written) / 2 < count) return {kStatusTargetTooSmall, 0};
          for (uint64_t i = 0; i < count; ++i)
            t[written + 2 * i] = s[i], t[written + 2 * i + 1] = 0;
        }
        written += 2 * count;
        s = run;
        continue;
      }
    }
    // And narrowed out of little-endian UTF-16.
    if constexpr (F == Codec::kUtf16Le && isByteCodec(T)) {
      const uint8_t* run = s;
      while (end - run >= 2 && run[0] < 0x80 && run[1] == 0) run += 2;
      uint64_t count = uint64_t(run - s) / 2;
      if (count > 0) {
        if (t) {
          if (capacity - written < count) return {kStatusTargetTooSmall, 0};
          for (uint64_t i = 0; i < count; ++i) t[written + i] = s[2 * i];
        }
        written += count;
        s = run;
        continue;
      }
    }
    // Latin-1 and UTF-8 into each other, one character at a time, without
    // the general decoder (the common case of Western European text).
    if constexpr (F == Codec::kLatin1 && T == Codec::kUtf8) {
      if (t) {
        if (capacity - written < 2) return {kStatusTargetTooSmall, 0};
        t[written] = uint8_t(0xC0 | (*s >> 6));
        t[written + 1] = uint8_t(0x80 | (*s & 0x3F));
      }
      written += 2;
      ++s;
      continue;
    }
    if constexpr (F == Codec::kUtf8 && T == Codec::kLatin1) {
      if ((s[0] == 0xC2 || s[0] == 0xC3) && end - s >= 2 && (s[1] & 0xC0) == 0x80) {
        if (t) {
          if (capacity == written) return {kStatusTargetTooSmall, 0};
          t[written] = uint8_t((s[0] << 6) | (s[1] & 0x3F));
        }
        ++written;
        s += 2;
        continue;
      }
    }
    Decoded d = decode<F>(s, end);
    s += d.bytes;
    bool representable;
    uint32_t bytes = encode<T>(d.codePoint, scratch, &representable);
    replaced |= !d.valid || !representable;
    if (t) {
      if (capacity - written < bytes) return {kStatusTargetTooSmall, 0};
      std::memcpy(t + written, scratch, bytes);
    }
    written += bytes;
  }
  return {replaced ? kStatusTranscodeWarning : kStatusOk, written};
}

using ConvertFn = CodecResult (*)(const uint8_t*, uint64_t, uint8_t*, uint64_t);

template <Codec F>
ConvertFn pickTarget(Codec to) {
  switch (to) {
    case Codec::kUtf8:
      return convert<F, Codec::kUtf8>;
    case Codec::kUtf16Le:
      return convert<F, Codec::kUtf16Le>;
    case Codec::kUtf16Be:
      return convert<F, Codec::kUtf16Be>;
    case Codec::kUtf32Le:
      return convert<F, Codec::kUtf32Le>;
    case Codec::kUtf32Be:
      return convert<F, Codec::kUtf32Be>;
    case Codec::kLatin1:
      return convert<F, Codec::kLatin1>;
    case Codec::kAscii:
      return convert<F, Codec::kAscii>;
    case Codec::kNone:
      break;
  }
  return nullptr;
}

ConvertFn pick(Codec from, Codec to) {
  switch (from) {
    case Codec::kUtf8:
      return pickTarget<Codec::kUtf8>(to);
    case Codec::kUtf16Le:
      return pickTarget<Codec::kUtf16Le>(to);
    case Codec::kUtf16Be:
      return pickTarget<Codec::kUtf16Be>(to);
    case Codec::kUtf32Le:
      return pickTarget<Codec::kUtf32Le>(to);
    case Codec::kUtf32Be:
      return pickTarget<Codec::kUtf32Be>(to);
    case Codec::kLatin1:
      return pickTarget<Codec::kLatin1>(to);
    case Codec::kAscii:
      return pickTarget<Codec::kAscii>(to);
    case Codec::kNone:
      break;
  }
  return nullptr;
}

template <Codec C>
bool allWellFormed(const uint8_t* p, uint64_t n) {
  const uint8_t* end = p + n;
  while (p < end) {
    if constexpr (C == Codec::kUtf8 || C == Codec::kAscii) {
      while (p < end && *p < 0x80) ++p;
      if (p == end) break;
      if constexpr (C == Codec::kAscii) return false;
    }
    Decoded d = decode<C>(p, end);
    if (!d.valid) return false;
    p += d.bytes;
  }
  return true;
}

}  // namespace

Codec codecForConverter(const char* name) {
  struct Name {
    const char* name;
    Codec codec;
  };
  static constexpr Name kNames[] = {
      {"UTF-8", Codec::kUtf8},       {"UTF-16LE", Codec::kUtf16Le}, {"UTF-16BE", Codec::kUtf16Be},
      {"UTF-32LE", Codec::kUtf32Le}, {"UTF-32BE", Codec::kUtf32Be}, {"ISO-8859-1", Codec::kLatin1},
      {"US-ASCII", Codec::kAscii},
  };
  for (const Name& n : kNames) {
    if (std::strcmp(n.name, name) == 0) return n.codec;
  }
  return Codec::kNone;
}

CodecResult convertFast(Codec from, Codec to, const uint8_t* source, uint64_t sourceBytes,
                        uint8_t* target, uint64_t capacity) {
  ConvertFn fn = pick(from, to);
  if (!fn) return {kStatusNotSupported, 0};
  return fn(source, sourceBytes, target, capacity);
}

bool wellFormed(Codec codec, const uint8_t* bytes, uint64_t length) {
  switch (codec) {
    case Codec::kUtf8:
      return allWellFormed<Codec::kUtf8>(bytes, length);
    case Codec::kUtf16Le:
      return allWellFormed<Codec::kUtf16Le>(bytes, length);
    case Codec::kUtf16Be:
      return allWellFormed<Codec::kUtf16Be>(bytes, length);
    case Codec::kUtf32Le:
      return allWellFormed<Codec::kUtf32Le>(bytes, length);
    case Codec::kUtf32Be:
      return allWellFormed<Codec::kUtf32Be>(bytes, length);
    case Codec::kLatin1:
      return true;
    case Codec::kAscii:
      return allWellFormed<Codec::kAscii>(bytes, length);
    case Codec::kNone:
      break;
  }
  return false;
}

}  // namespace kova::runtime
