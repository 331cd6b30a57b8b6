// The two kinds of object the zrexml sibling makes: the escaper and the
// streaming parser (on expat). Both are self-releasing KovaXmlObjects: the
// first slot of their table (destroyObject) frees them. They keep the Host
// (for its account), not the handle, so they may outlive the handle.
#pragma once

#include "kova/siblings.h"

namespace kova::runtime {

class Host;

// An escaper; config may be null (then UTF-16 is assumed). Null when the
// text encoding is neither 0 nor 25, or on failure. The caller has counted
// the allocation event.
KovaXmlObject* createXmlEscaper(Host& host, const KovaXmlConfig* config);

// A parser for config: input encoding 20 (UTF-8) or 0 (detected from the
// document: byte order mark, declaration, else UTF-8); callback encoding 25
// (or 0, meaning 25). The options word is accepted and not used. Log lines
// go to config->diagnostics, else to diagnostics. Null for other encodings
// or on failure. The caller has counted the allocation event.
KovaXmlObject* createXmlParser(Host& host, const KovaXmlConfig& config,
                               KovaDiagnostics* diagnostics);

}  // namespace kova::runtime
