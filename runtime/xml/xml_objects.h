// The two kinds of object the zrexml sibling makes: the escaper and the
// streaming parser (on expat). Both are self-releasing KovaXmlObjects: the
// first slot of their table (destroyObject) frees them. They keep the Host
// (for its account), not the handle, so they may outlive the handle.
#pragma once

#include <cstdint>

#include "kova/siblings.h"

namespace kova::runtime {

class Host;

// An escaper; config may be null (then UTF-16 is assumed). Null when the
// text encoding is neither 0 nor 25, or on failure. The caller has counted
// the allocation event.
KovaXmlObject* createXmlEscaper(Host& host, const KovaXmlConfig* config);

// A parser for config. The document's byte order mark or declared encoding
// decides how it is read; the input encoding is the default for documents
// that have neither: 0 or 20 mean UTF-8, any other registered identifier
// that encoding. Callback encoding 25 (or 0, meaning 25). The options word is
// accepted and not used. Log lines go to config->diagnostics, else to
// diagnostics. Null for an unregistered input encoding or on failure. The
// caller has counted the allocation event.
KovaXmlObject* createXmlParser(Host& host, const KovaXmlConfig& config,
                               KovaDiagnostics* diagnostics);

// Where and why a parser's document failed to parse (not for a callback's
// status). Byte offsets count the bytes of the document as given.
struct XmlParseError {
  bool failed = false;
  uint64_t line = 0;
  uint64_t column = 0;  // from 1
  uint64_t byteOffset = 0;
  const char* message = "";  // static text
};

// The error of a parser made by createXmlParser, or null when the object is
// no such parser or its document has not failed. Valid while the parser lives.
const XmlParseError* xmlParseError(const KovaXmlObject* object);

}  // namespace kova::runtime
