// The zrexml streaming parser: expat underneath, callbacks in 16-bit text with
// lengths in bytes. A parser takes one document in as many pieces as the
// caller likes; after the document is complete or has failed it keeps
// answering that outcome.
//
// expat rescans a token it could not finish from its first byte at every
// piece, so a long attribute or comment arriving in small pieces would cost
// time quadratic in its length. The parser therefore holds pieces back while
// expat sits on an unfinished token and hands them over once they are at
// least as long as that token: each byte is then rescanned a bounded number
// of times, and what is held never exceeds the token itself.
#include <expat.h>

#include <algorithm>
#include <cstdarg>
#include <climits>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "runtime/kernel/host.h"
#include "runtime/xml/utf8_to_utf16.h"
#include "runtime/xml/xml_encoding.h"
#include "runtime/xml/xml_objects.h"

namespace kova::runtime {
namespace {

// expat takes an int length; larger inputs go in pieces of this size.
constexpr int64_t kLargestPiece = int64_t{1} << 26;
// Unfinished tokens up to this size are rescanned at once: cheap, and it
// keeps every event in the call whose bytes complete it.
constexpr uint64_t kRescanBelow = 64 * 1024;
// Room for element names kept in the scratch text, so that most names are
// converted without being measured first.
constexpr size_t kShortName = 256;

void logLine(KovaDiagnostics* diagnostics, int32_t level, const char16_t* format,
             int64_t formatLength, ...) {
  if (!diagnostics) return;
  va_list args;
  va_start(args, formatLength);
  diagnostics->ops->log(diagnostics, level, format, formatLength, args);
  va_end(args);
}

int clampToInt(uint64_t value) { return static_cast<int>(std::min<uint64_t>(value, INT_MAX)); }

class XmlParser {
 public:
  XmlParser(Host& host, KovaDiagnostics* diagnostics, KovaXmlCallbacks* callbacks)
      : host_(&host), diagnostics_(diagnostics), callbacks_(callbacks) {
    abi_.ops = &kOps;
  }
  ~XmlParser() {
    if (expat_) XML_ParserFree(expat_);
  }

  // defaultEncoding: the name of the encoding of documents that declare
  // none, or null for UTF-8.
  bool start(const char* defaultEncoding, std::u16string_view documentName) {
    expat_ = XML_ParserCreate(nullptr);
    if (!expat_) return false;
    defaultEncoding_ = defaultEncoding;
    decided_ = defaultEncoding == nullptr;
    XML_SetUnknownEncodingHandler(expat_, icuUnknownEncoding, nullptr);
    documentName_ =
        documentName.empty() ? std::u16string(u"XML document") : std::u16string(documentName);
    XML_SetUserData(expat_, this);
    if (callbacks_ && callbacks_->characters) XML_SetCharacterDataHandler(expat_, onCharacters);
    if (callbacks_ && callbacks_->startElement) XML_SetStartElementHandler(expat_, onStart);
    if (callbacks_ && callbacks_->endElement) XML_SetEndElementHandler(expat_, onEnd);
    return true;
  }

  KovaXmlObject* abi() { return &abi_; }
  const XmlParseError& error() const { return error_; }
  // abi_ is the first member: the object's address is the parser's.
  static XmlParser* of(KovaXmlObject* object) { return reinterpret_cast<XmlParser*>(object); }

 private:
  enum class State { kOpen, kComplete, kFailed };

  KovaStatus parse(const void* bytes, int64_t length, bool final) {
    if (state_ == State::kFailed) return failure_;
    if (state_ == State::kComplete) {
      if (length == 0) return kStatusDocumentComplete;
      static constexpr std::u16string_view kAfter = u"%.*s: data after the end of the document";
      logLine(diagnostics_, kLogError, kAfter.data(), int64_t(kAfter.size()),
              int(documentName_.size()), documentName_.data());
      return kStatusNotSupported;
    }
    if (length < 0 || (length > 0 && !bytes)) return kStatusNotSupported;
    const char* at = static_cast<const char*>(bytes);
    if (!decided_) {
      held_.append(at, size_t(length));
      DeclaredEncoding declared = declaredEncoding(held_, final);
      if (declared == DeclaredEncoding::kNeedMore) return kStatusOk;
      if (declared == DeclaredEncoding::kNone) XML_SetEncoding(expat_, defaultEncoding_);
      decided_ = true;
      return feedHeld(final);
    }
    if (!held_.empty() || (!final && unparsed_ > kRescanBelow && uint64_t(length) < unparsed_)) {
      held_.append(at, size_t(length));
      if (!final && held_.size() < unparsed_) return kStatusOk;
      return feedHeld(final);
    }
    return feed(at, length, final);
  }

  KovaStatus feedHeld(bool final) {
    KovaStatus status = feed(held_.data(), int64_t(held_.size()), final);
    held_.clear();
    // A long token's bytes are not kept once expat has them.
    if (held_.capacity() > kLargestPiece / 64) std::string().swap(held_);
    return status;
  }

  KovaStatus feed(const char* at, int64_t length, bool final) {
    do {
      int64_t piece = std::min(length, kLargestPiece);
      bool last = piece == length;
      // A callback may stop the parse on the document's last event, after
      // which expat reports success.
      if (XML_Parse(expat_, at, static_cast<int>(piece), final && last) != XML_STATUS_OK ||
          callbackStatus_ != kStatusOk) {
        return fail();
      }
      at += piece;
      length -= piece;
      fed_ += uint64_t(piece);
    } while (length > 0);
    if (!final) {
      // What expat keeps of an unfinished token: it begins where the last
      // event ended.
      XML_Index consumed = XML_GetCurrentByteIndex(expat_);
      unparsed_ = consumed >= 0 && uint64_t(consumed) <= fed_ ? fed_ - uint64_t(consumed) : 0;
      return kStatusOk;
    }
    state_ = State::kComplete;
    return kStatusDocumentComplete;
  }

  // After XML_Parse failed: the callback's status, or expat's error logged.
  KovaStatus fail() {
    state_ = State::kFailed;
    if (callbackStatus_ != kStatusOk) return failure_ = callbackStatus_;
    XML_Error code = XML_GetErrorCode(expat_);
    if (code == XML_ERROR_NO_MEMORY) return failure_ = kStatusNoMemory;
    const XML_LChar* message = XML_ErrorString(code);
    error_.message = message ? message : "unknown error";
    error_.line = XML_GetCurrentLineNumber(expat_);
    // expat counts columns from 0; people count them from 1.
    error_.column = XML_GetCurrentColumnNumber(expat_) + 1;
    XML_Index at = XML_GetCurrentByteIndex(expat_);
    error_.byteOffset = at >= 0 ? uint64_t(at) : fed_;
    error_.failed = true;
    std::u16string wide;
    for (const char* c = error_.message; *c; ++c) {
      wide += static_cast<char16_t>(static_cast<unsigned char>(*c));
    }
    static constexpr std::u16string_view kFormat = u"%.*s: line %d, column %d: %.*s";
    logLine(diagnostics_, kLogError, kFormat.data(), int64_t(kFormat.size()),
            int(documentName_.size()), documentName_.data(), clampToInt(error_.line),
            clampToInt(error_.column), int(wide.size()), wide.data());
    return failure_ = kStatusNotSupported;
  }

  // A callback's nonzero status stops the parse; expat may still deliver a
  // few events on its way out, which are dropped.
  void settle(KovaStatus status) {
    if (status == kStatusOk) return;
    callbackStatus_ = status;
    XML_StopParser(expat_, XML_FALSE);
  }

  // Converts into the scratch text at offset; returns the units written.
  size_t convert(const char* utf8, size_t bytes, std::u16string& into, size_t offset) {
    size_t need = offset + utf16Capacity(bytes);
    if (into.size() < need) into.resize(std::max(need, into.size() * 2));
    return utf8ToUtf16(utf8, bytes, into.data() + offset);
  }

  // A NUL-terminated name into the scratch text at offset: ASCII names in
  // one pass, others measured and converted.
  size_t convertName(const char* name, std::u16string& into, size_t offset) {
    if (into.size() < offset + kShortName) into.resize(offset + kShortName);
    size_t units = asciiNameToUtf16(name, into.data() + offset, into.size() - offset);
    if (units != kNotAscii) return units;
    return convert(name, std::char_traits<char>::length(name), into, offset);
  }

  static int32_t bytesOf(size_t units) { return static_cast<int32_t>(units * 2); }

  static void onCharacters(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<XmlParser*>(data);
    if (self->callbackStatus_ != kStatusOk || length <= 0) return;
    size_t units = self->convert(text, static_cast<size_t>(length), self->text_, 0);
    self->settle(
        self->callbacks_->characters(self->callbacks_, self->text_.data(), bytesOf(units)));
  }

  static void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<XmlParser*>(data);
    if (self->callbackStatus_ != kStatusOk) return;
    if (!attributes || !attributes[0]) {
      size_t units = self->convertName(name, self->names_, 0);
      self->settle(self->callbacks_->startElement(self->callbacks_, self->names_.data(),
                                                  bytesOf(units), 0, nullptr));
      return;
    }
    // Every text goes into one scratch buffer first; pointers are taken once
    // it has stopped growing.
    std::vector<size_t>& spans = self->spans_;
    spans.clear();
    size_t used = 0;
    auto add = [&](const XML_Char* s) {
      size_t units = self->convert(s, std::char_traits<char>::length(s), self->names_, used);
      spans.push_back(used);
      spans.push_back(units);
      used += units;
    };
    add(name);
    for (const XML_Char** a = attributes; a && a[0]; a += 2) {
      add(a[0]);
      add(a[1]);
    }
    const char16_t* base = self->names_.data();
    std::vector<KovaXmlAttribute>& list = self->attributes_;
    list.clear();
    for (size_t i = 2; i + 4 <= spans.size(); i += 4) {
      list.push_back(
          {base + spans[i], bytesOf(spans[i + 1]), base + spans[i + 2], bytesOf(spans[i + 3])});
    }
    self->settle(self->callbacks_->startElement(
        self->callbacks_, base + spans[0], bytesOf(spans[1]), static_cast<int32_t>(list.size()),
        list.empty() ? nullptr : list.data()));
  }

  static void onEnd(void* data, const XML_Char* name) {
    auto* self = static_cast<XmlParser*>(data);
    if (self->callbackStatus_ != kStatusOk) return;
    size_t units = self->convertName(name, self->names_, 0);
    self->settle(
        self->callbacks_->endElement(self->callbacks_, self->names_.data(), bytesOf(units)));
  }

  static void destroyObject(KovaXmlObject* object) {
    if (!object) return;
    XmlParser* self = of(object);
    self->host_->trackObject(-1);
    delete self;
  }
  static KovaStatus escape(KovaXmlObject*, int32_t, const char16_t*, int64_t, const char16_t** out,
                           int64_t* outBytes) {
    if (out) *out = nullptr;
    if (outBytes) *outBytes = 0;
    return kStatusNotSupported;
  }
  static KovaStatus parseOp(KovaXmlObject* object, const void* bytes, int64_t length,
                            int32_t final) {
    if (!object) return kStatusNotSupported;
    try {
      return of(object)->parse(bytes, length, final != 0);
    } catch (const std::bad_alloc&) {
      // Our scratch buffers could not grow inside a callback; the parser
      // cannot go on from there.
      XmlParser* self = of(object);
      self->state_ = State::kFailed;
      return self->failure_ = kStatusNoMemory;
    }
  }

 public:
  static constexpr KovaXmlObjectOps kOps = {destroyObject, escape, parseOp};

 private:
  KovaXmlObject abi_;
  Host* host_;
  KovaDiagnostics* diagnostics_;
  KovaXmlCallbacks* callbacks_;
  XML_Parser expat_ = nullptr;
  std::u16string documentName_;
  const char* defaultEncoding_ = nullptr;
  bool decided_ = true;    // the default encoding has been applied, or was not needed
  std::string held_;       // bytes not yet handed to expat
  uint64_t fed_ = 0;       // bytes handed to expat
  uint64_t unparsed_ = 0;  // of those, the unfinished token expat keeps
  XmlParseError error_;
  State state_ = State::kOpen;
  KovaStatus failure_ = kStatusOk;
  KovaStatus callbackStatus_ = kStatusOk;
  std::u16string text_;   // character data
  std::u16string names_;  // element name and attributes of one event
  std::vector<size_t> spans_;
  std::vector<KovaXmlAttribute> attributes_;
};

static_assert(std::is_standard_layout_v<XmlParser>);

}  // namespace

const XmlParseError* xmlParseError(const KovaXmlObject* object) {
  if (!object || object->ops != &XmlParser::kOps) return nullptr;
  const XmlParseError& error = XmlParser::of(const_cast<KovaXmlObject*>(object))->error();
  return error.failed ? &error : nullptr;
}

KovaXmlObject* createXmlParser(Host& host, const KovaXmlConfig& config,
                               KovaDiagnostics* diagnostics) {
  const char* encoding = defaultEncodingName(config.inputEncoding);
  if (defaultIsNeeded(config.inputEncoding) && !encoding) return nullptr;
  if (config.callbackEncoding != kEncodingWide && config.callbackEncoding != 0) return nullptr;
  std::u16string_view name;
  if (config.documentName && config.documentNameLength > 0) {
    name = std::u16string_view(config.documentName, size_t(config.documentNameLength));
  }
  auto* parser =
      new (std::nothrow) XmlParser(host, config.diagnostics ? config.diagnostics : diagnostics,
                                   static_cast<KovaXmlCallbacks*>(config.callbacks));
  if (!parser) return nullptr;
  bool started = false;
  try {
    started = parser->start(encoding, name);
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
