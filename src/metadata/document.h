// The metadata document: writeXml renders a KovaObject as its UTF-8 XML
// document in the instance's outBuffer; readXml and readXmlChunk fill an
// object from such a document through the zrexml parser. All three are
// reached through the extension's operation table; one thread at a time per
// instance.
#pragma once

#include <cstdint>

#include "kova/extension.h"

namespace kova {

// Writes the whole document (prologue included, not NUL-terminated) into
// outBuffer, which grows in the instance pool as far as the document needs,
// and points *document and *length at it; valid until the next writeXml or
// the instance's destruction. On failure both outputs are null and 0 and the
// status is: kStatusNoMemory (escaper, buffers), kStatusBadRecordFormat
// (recfm 7, 8 or above 10), kStatusNotSupported (a text holding a character
// XML 1.0 cannot carry), or the host formatter's, transcoder's or escaper's
// status. The escaper sits in xmlObject while the call runs; a parser held
// there by a chunked read is put back afterwards.
KovaStatus writeXml(KovaObject* object, const uint8_t** document, uint64_t* length);

// Reads a whole document into object (merging: fields the document names are
// overwritten, columns appended). 0, kStatusNoMemory when the parser, its
// context or a copy cannot be made, or the parser's or a callback's status;
// the object keeps what was read before a failure. xmlObject is null after.
KovaStatus readXml(KovaObject* object, const void* bytes, int64_t length,
                   KovaDiagnostics* diagnostics);

// Reads one piece of a document; moreToCome is non-zero for every piece but
// the last. Between pieces the parser stays in xmlObject. A piece that fails
// ends the read (the parser is released and xmlObject cleared), so the next
// call starts a fresh document.
KovaStatus readXmlChunk(KovaObject* object, const void* bytes, int64_t length, int32_t moreToCome,
                        KovaDiagnostics* diagnostics);

}  // namespace kova
