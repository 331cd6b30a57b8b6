// Qualified fields of delimited text: a field that begins with the table's
// text qualifier runs to the matching closing qualifier, may hold separators,
// CRs and LFs, and writes a qualifier inside as two. A field that is not
// finished in its block waits in the ripper's fragment (qualifierState 1, or
// 2 when the block ended on a qualifier) and continues in the next block.
// Used by qualifiedRipBlock and flushPending; state lives in the ripper.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// Reads a field that begins with the qualifier at bytes[0]; length counts the
// bytes from there to the end of the block. On return with *terminator not 0
// the field is complete and *consumed is the terminator's position counted
// from the opening qualifier: the field is the fragment when it holds bytes
// (doubled qualifiers removed, text after the closing qualifier appended),
// else the *consumed - 2 bytes after the opening qualifier, in place. With
// *terminator 0 the field continues in the next block (in the fragment, with
// qualifierState 1 or 2, or 0 for text after the closing qualifier).
// REQUIRES: the fragment is empty; length >= 1.
// Fails only with kStatusNoMemory when the fragment cannot grow.
KovaStatus startQualified(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                          int64_t* consumed, uint8_t* terminator);

// Continues the qualified field held in the fragment (qualifierState 1 or 2)
// with the block's bytes. With *terminator not 0 the field is complete in the
// fragment (qualifiers removed) and *consumed is the terminator's position in
// the block; with 0 it goes on in the next block.
KovaStatus continueQualified(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                             int64_t* consumed, uint8_t* terminator);

// Removes the qualifiers from the qualified field in the fragment: the
// opening one, the closing one (when closed; an input that ends inside the
// field has none) and the first of each doubled pair.
void dequalify(KovaRipper* ripper, bool closed = true);

}  // namespace kova
