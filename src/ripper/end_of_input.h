// The end of a ripper's input: flushPending (declared in row_block.h, in
// end_of_input.cc) and the end-of-input halves of the CLF parser and of the
// transcoding front end that it calls. All work on a bound ripper.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// A CLF line left in fragment without its line feed (a last CR dropped)
// becomes one row through convertRecord: 0 with rows and rowCount set (count
// 1, or 0 when nothing was pending), kStatusNoMemory when no row can be had,
// or convertRecord's status.
KovaStatus flushClfLine(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount);

// The bytes of a character that the last transcoded block left unfinished:
// the input has ended, so they are transcoded alone (the host substitutes
// them; one truncation is counted) and parsed as a last piece of text, which
// joins the pending record. 0 when nothing is held back; otherwise the
// status of the transcoding or of the parser.
KovaStatus flushTranscodeTail(KovaRipper* ripper);

}  // namespace kova
