// The zrejson streaming parser. Input that is not UTF-8 goes through an ICU
// converter into 16-bit units and then into UTF-8, both steps keeping what
// a block ends inside of (a character's first bytes, a high surrogate) for
// the next block; yajl parses the UTF-8 and keeps its own state between
// blocks. Every text reaches the callbacks as 16-bit units.
#include "runtime/json/json_parser.h"

#include <unicode/ucnv.h>
#include <yajl/yajl_parse.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "runtime/kernel/host.h"
#include "runtime/nls/icu_conversion.h"
#include "runtime/nls/nls_service.h"
#include "runtime/xml/utf8_to_utf16.h"

namespace kova::runtime {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Appends the UTF-8 form of code point cp.
inline void putUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

inline bool isHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
inline bool isLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

class JsonParser {
 public:
  JsonParser(Host& host, KovaDiagnostics* diagnostics, KovaJsonCallbacks* callbacks,
             int64_t pieceUnits)
      : host_(&host),
        diagnostics_(diagnostics),
        callbacks_(callbacks),
        pieceUnits_(pieceUnits > 0 ? size_t(pieceUnits) : 0) {
    abi_.ops = &kOps;
  }
  ~JsonParser() {
    if (yajl_) yajl_free(yajl_);
    if (converter_) ucnv_close(converter_);
  }

  bool start(int32_t inputEncoding) {
    if (inputEncoding != 0 && inputEncoding != kEncodingUtf8) {
      const EncodingEntry* entry = findEncoding(inputEncoding);
      if (!entry) return false;
      converter_ = openConverter(entry->converter, nullptr);
      if (!converter_) return false;
    }
    yajl_ = yajl_alloc(&kYajlCallbacks, nullptr, this);
    if (!yajl_) return false;
    yajl_config(yajl_, yajl_allow_multiple_values, 1);
    return true;
  }

  KovaJsonParser* abi() { return &abi_; }
  static JsonParser* of(KovaJsonParser* p) { return reinterpret_cast<JsonParser*>(p); }

 private:
  enum class State { kOpen, kComplete, kFailed };

  KovaStatus parse(const void* bytes, int64_t length, bool final) {
    if (state_ == State::kFailed) return failure_;
    if (state_ == State::kComplete) return length == 0 ? kStatusDocumentComplete : kStatusJsonParse;
    if (length < 0 || (length > 0 && !bytes)) return kStatusNotSupported;
    const auto* in = static_cast<const unsigned char*>(bytes);
    const unsigned char* chunk = in;
    size_t chunkLength = size_t(length);
    if (converter_) {
      toUtf8(in, chunkLength, final);
      chunk = reinterpret_cast<const unsigned char*>(utf8_.data());
      chunkLength = utf8_.size();
    } else {
      skipUtf8Mark(chunk, chunkLength);
    }
    chunkStart_ = inputOffset_ + uint64_t(chunk - in);
    if (chunkLength > 0 && !feed(chunk, chunkLength, converter_ != nullptr)) return failure_;
    inputOffset_ += uint64_t(length);
    if (!final) return kStatusOk;
    if (yajl_complete_parse(yajl_) != yajl_status_ok) {
      chunkStart_ = inputOffset_;
      return fail(chunk, 0, 0, false);
    }
    state_ = State::kComplete;
    return kStatusDocumentComplete;
  }

  // One chunk of UTF-8 into yajl; false (with failure_ set) when it fails.
  // mapped: utf8Source_ gives the input offset of each byte of the chunk.
  bool feed(const unsigned char* chunk, size_t n, bool mapped) {
    const yajl_status status = yajl_parse(yajl_, chunk, n);
    if (status != yajl_status_ok) {
      fail(chunk, n, yajl_get_bytes_consumed(yajl_), mapped);
      return false;
    }
    advancePosition(chunk, n);
    return true;
  }

  // A byte order mark at the very start of UTF-8 input is no part of the
  // JSON text; it may arrive in blocks of one byte.
  void skipUtf8Mark(const unsigned char*& chunk, size_t& n) {
    static constexpr unsigned char kMark[3] = {0xEF, 0xBB, 0xBF};
    while (markSeen_ < 3 && n > 0) {
      if (chunk[0] != kMark[markSeen_]) {
        if (markSeen_ > 0) {  // not a mark after all: give yajl what was held
          const size_t held = std::exchange(markSeen_, 3);
          chunkStart_ = inputOffset_;
          if (!feed(kMark, held, false)) return;
        }
        markSeen_ = 3;
        return;
      }
      ++markSeen_;
      ++chunk;
      --n;
    }
  }

  // The block through the converter into utf8_; utf8Source_ keeps, for each
  // UTF-8 byte, the offset in the block of the input that gave it.
  void toUtf8(const unsigned char* in, size_t n, bool final) {
    units_.resize(2 * n + 16);
    offsets_.resize(units_.size());
    utf8_.clear();
    utf8Source_.clear();
    const char* source = reinterpret_cast<const char*>(in);
    const char* sourceLimit = source + n;
    bool more = true;
    while (more) {
      UChar* target = reinterpret_cast<UChar*>(units_.data());
      UErrorCode error = U_ZERO_ERROR;
      const char* before = source;
      ucnv_toUnicode(converter_, &target, target + units_.size(), &source, sourceLimit,
                     offsets_.data(), final, &error);
      const size_t produced = size_t(target - reinterpret_cast<UChar*>(units_.data()));
      const int32_t base = int32_t(before - reinterpret_cast<const char*>(in));
      for (size_t i = 0; i < produced; ++i) {
        putUnit(units_[i], offsets_[i] < 0 ? base : base + offsets_[i]);
      }
      more = error == U_BUFFER_OVERFLOW_ERROR;
    }
    if (final && high_ != 0) putUnit(0, 0);  // a lone high surrogate at the end
  }

  void putUnit(char16_t u, int32_t from) {
    if (high_ != 0) {
      const char16_t high = std::exchange(high_, 0);
      if (isLow(u)) {
        putUtf8(utf8_, 0x10000 + ((uint32_t(high) - 0xD800) << 10) + (uint32_t(u) - 0xDC00));
        utf8Source_.resize(utf8_.size(), highSource_);
        return;
      }
      putUtf8(utf8_, kReplacement);
      utf8Source_.resize(utf8_.size(), highSource_);
      if (u == 0) return;
    }
    if (isHigh(u)) {
      high_ = u;
      highSource_ = from;
      return;
    }
    if (!leadingMarkDone_) {
      leadingMarkDone_ = true;
      if (u == 0xFEFF) return;
    }
    putUtf8(utf8_, isLow(u) ? uint32_t(kReplacement) : uint32_t(u));
    utf8Source_.resize(utf8_.size(), from);
  }

  // Lines and the column (in characters) after a chunk that parsed, for the
  // place of a later error: line feeds found with memchr, characters
  // counted after the last one only.
  void advancePosition(const unsigned char* chunk, size_t n) {
    const unsigned char* end = chunk + n;
    const unsigned char* lineStart = nullptr;
    for (const unsigned char* p = chunk;
         (p = static_cast<const unsigned char*>(std::memchr(p, '\n', size_t(end - p))));) {
      ++line_;
      lineStart = ++p;
    }
    if (lineStart) column_ = 0;
    for (const unsigned char* p = lineStart ? lineStart : chunk; p < end; ++p) {
      column_ += (*p & 0xC0) != 0x80;
    }
  }

  // Logs where the input went wrong and fixes the failure: at bytes of the
  // chunk of n were read when yajl stopped.
  KovaStatus fail(const unsigned char* chunk, size_t n, size_t at, bool mapped) {
    state_ = State::kFailed;
    if (callbackStatus_ != kStatusOk) return failure_ = callbackStatus_;
    at = std::min(at, n);
    unsigned char* message = yajl_get_error(yajl_, 0, chunk, n);
    std::u16string text;
    for (const unsigned char* c = message; c && *c && *c != '\n'; ++c) text += char16_t(*c);
    if (message) yajl_free_error(yajl_, message);
    // yajl's lexer has taken the offending character; its parser stops
    // before the offending token.
    if (text.starts_with(u"lexical error") && at > 0) {
      --at;
      while (at > 0 && (chunk[at] & 0xC0) == 0x80) --at;
    }
    uint64_t line = line_;
    uint64_t column = column_;
    for (size_t i = 0; i < at; ++i) {
      if (chunk[i] == '\n') {
        ++line;
        column = 0;
      } else if ((chunk[i] & 0xC0) != 0x80) {
        ++column;
      }
    }
    uint64_t offset = chunkStart_ + at;
    if (mapped) {
      offset = at < utf8Source_.size() ? inputOffset_ + uint64_t(utf8Source_[at])
                                       : inputOffset_ + blockLength_;
    }
    static constexpr std::u16string_view kFormat =
        u"JSON input: near byte %lld (line %lld, column %lld): %.*s";
    log(kFormat, static_cast<long long>(offset), static_cast<long long>(line + 1),
        static_cast<long long>(column + 1), int(text.size()), text.data());
    return failure_ = kStatusJsonParse;
  }

  void log(std::u16string_view format, ...) {
    if (!diagnostics_) return;
    va_list args;
    va_start(args, format);
    diagnostics_->ops->log(diagnostics_, kLogError, format.data(), int64_t(format.size()), args);
    va_end(args);
  }

  // ---- yajl's callbacks ----------------------------------------------------

  // A callback's status: nonzero stops the parse (yajl is told to cancel).
  int settle(KovaStatus status) {
    if (status == kStatusOk) return 1;
    callbackStatus_ = status;
    return 0;
  }

  static JsonParser* self(void* context) { return static_cast<JsonParser*>(context); }

  // The UTF-8 text as 16-bit units in text_. ASCII, the common case, is
  // widened eight bytes at a time.
  size_t widen(const unsigned char* s, size_t n) {
    if (text_.size() < n) text_.resize(std::max(n, 2 * text_.size()));
    char16_t* out = text_.data();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ull) break;
      for (size_t k = 0; k < 8; ++k) out[i + k] = char16_t(s[i + k]);
    }
    for (; i < n && s[i] < 0x80; ++i) out[i] = char16_t(s[i]);
    if (i == n) return n;
    return i + utf8ToUtf16(reinterpret_cast<const char*>(s + i), n - i, out + i);
  }

  static int onNull(void* context) {
    JsonParser* p = self(context);
    return p->callbacks_->nullValue ? p->settle(p->callbacks_->nullValue(p->callbacks_)) : 1;
  }
  static int onBoolean(void* context, int value) {
    JsonParser* p = self(context);
    if (!p->callbacks_->booleanValue) return 1;
    return p->settle(p->callbacks_->booleanValue(p->callbacks_, uint8_t(value != 0)));
  }
  static int onNumber(void* context, const char* s, size_t n) {
    JsonParser* p = self(context);
    if (!p->callbacks_->numberValue) return 1;
    const size_t units = p->widen(reinterpret_cast<const unsigned char*>(s), n);
    return p->settle(
        p->callbacks_->numberValue(p->callbacks_, p->text_.data(), int32_t(units * 2)));
  }
  static int onString(void* context, const unsigned char* s, size_t n) {
    JsonParser* p = self(context);
    if (!p->callbacks_->stringValue) return 1;
    const size_t units = p->widen(s, n);
    // Long strings go in pieces that never split a surrogate pair.
    size_t at = 0;
    const size_t piece = p->pieceUnits_ > 1 ? p->pieceUnits_ : SIZE_MAX;
    while (units - at > piece) {
      size_t take = piece;
      if (isHigh(p->text_[at + take - 1])) --take;
      KovaStatus status = p->callbacks_->stringValue(p->callbacks_, p->text_.data() + at,
                                                     int32_t(take * 2), kJsonStringMorePieces);
      if (status != kStatusOk) return p->settle(status);
      at += take;
    }
    return p->settle(p->callbacks_->stringValue(p->callbacks_, p->text_.data() + at,
                                                int32_t((units - at) * 2), 0));
  }
  static int onKey(void* context, const unsigned char* s, size_t n) {
    JsonParser* p = self(context);
    if (!p->callbacks_->stringValue) return 1;
    const size_t units = p->widen(s, n);
    return p->settle(p->callbacks_->stringValue(p->callbacks_, p->text_.data(), int32_t(units * 2),
                                                kJsonStringMemberName));
  }
  static int onStartMap(void* context) {
    JsonParser* p = self(context);
    return p->callbacks_->startObject ? p->settle(p->callbacks_->startObject(p->callbacks_)) : 1;
  }
  static int onEndMap(void* context) {
    JsonParser* p = self(context);
    return p->callbacks_->endObject ? p->settle(p->callbacks_->endObject(p->callbacks_)) : 1;
  }

  static constexpr yajl_callbacks kYajlCallbacks = {onNull,   onBoolean, nullptr,    nullptr,
                                                    onNumber, onString,  onStartMap, onKey,
                                                    onEndMap, nullptr,   nullptr};

  // ---- the ABI -------------------------------------------------------------

  static void destroyObject(KovaJsonParser* object) {
    if (!object) return;
    JsonParser* p = of(object);
    p->host_->trackObject(-1);
    delete p;
  }
  static KovaStatus parseOp(KovaJsonParser* object, const void* bytes, int64_t length,
                            int32_t final) {
    if (!object) return kStatusNotSupported;
    JsonParser* p = of(object);
    try {
      p->blockLength_ = length > 0 ? uint64_t(length) : 0;
      return p->parse(bytes, length, final != 0);
    } catch (const std::bad_alloc&) {
      p->state_ = State::kFailed;
      return p->failure_ = kStatusNoMemory;
    }
  }
  static constexpr KovaJsonParserOps kOps = {destroyObject, parseOp};

  KovaJsonParser abi_;
  Host* host_;
  KovaDiagnostics* diagnostics_;
  KovaJsonCallbacks* callbacks_;
  size_t pieceUnits_;
  yajl_handle yajl_ = nullptr;
  UConverter* converter_ = nullptr;  // null for UTF-8 input
  State state_ = State::kOpen;
  KovaStatus failure_ = kStatusOk;
  KovaStatus callbackStatus_ = kStatusOk;
  // Transcoded input: the block's 16-bit units, their input offsets, the
  // UTF-8 yajl reads and, per UTF-8 byte, its input offset in the block.
  std::u16string units_;
  std::vector<int32_t> offsets_;
  std::string utf8_;
  std::vector<int32_t> utf8Source_;
  char16_t high_ = 0;  // a high surrogate whose pair is still to come
  int32_t highSource_ = 0;
  bool leadingMarkDone_ = false;
  size_t markSeen_ = 0;       // UTF-8 input: bytes of a leading mark seen (3: done)
  uint64_t blockLength_ = 0;  // bytes of the block being parsed
  uint64_t chunkStart_ = 0;   // input offset of the UTF-8 chunk's first byte
  // Where the input stands: bytes of earlier blocks,
  // lines ended and characters since the last line feed.
  uint64_t inputOffset_ = 0;
  uint64_t line_ = 0;
  uint64_t column_ = 0;
  std::u16string text_;  // the text of one callback
};

static_assert(std::is_standard_layout_v<JsonParser>);

}  // namespace

KovaJsonParser* createJsonParser(Host& host, const KovaJsonConfig& config,
                                 KovaDiagnostics* diagnostics) {
  if (config.callbackEncoding != kEncodingWide && config.callbackEncoding != 0) return nullptr;
  auto* callbacks = static_cast<KovaJsonCallbacks*>(config.callbacks);
  if (!callbacks) return nullptr;
  auto* parser = new (std::nothrow) JsonParser(host, diagnostics, callbacks, config.value1536);
  if (!parser) return nullptr;
  bool started = false;
  try {
    started = parser->start(config.inputEncoding);
  } catch (const std::bad_alloc&) {
  }
  if (!started) {
    delete parser;
    return nullptr;
  }
  host.trackObject(+1);
  return parser->abi();
}

}  // namespace kova::runtime
