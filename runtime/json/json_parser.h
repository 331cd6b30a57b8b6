// The zrejson sibling: its handle (loaded by name through the kernel's
// loadExtension) and its streaming parser object on yajl. A parser takes a
// stream of top-level JSON values (objects one after another, with or
// without line feeds between them, or arrays of them) in as many blocks as
// the caller likes, in any encoding of the host; the callbacks of the
// caller's KovaJsonCallbacks table receive every text as 16-bit units with
// lengths in bytes. Self-releasing: destroyObject frees it.
#pragma once

#include "kova/ripper.h"  // KovaJsonCallbacks, the table the callers hand over
#include "kova/siblings.h"

namespace kova::runtime {

class Host;

// "zrejson". The kernel has already counted the allocation event.
KovaExtensionHandle* loadJsonExtension(Host& host, KovaDiagnostics* diagnostics);

// A parser for config: input encoding any registered encoding (0 means
// UTF-8), callback encoding 25 (or 0, meaning 25). value1536 is the longest
// piece of a string value in 16-bit units: a longer string reaches the
// string callback in pieces, all but the last flagged kJsonStringMorePieces
// (0 or below: whole strings). Log lines go to diagnostics. Null for an
// unknown encoding or on failure. The caller has counted the allocation
// event.
//
// parse(parser, bytes, length, final): feeds the next block. 0 while the
// input may go on; with final set, kStatusDocumentComplete when the input
// ended between values. A callback's nonzero status stops the parse and
// comes back unchanged; bad input logs the byte offset of the input, the
// line and the column at level 4 and answers kStatusJsonParse; after a
// failure every call answers the same status.
KovaJsonParser* createJsonParser(Host& host, const KovaJsonConfig& config,
                                 KovaDiagnostics* diagnostics);

}  // namespace kova::runtime
