// Character boundaries in the byte encodings a text table may be stored in,
// for the transcoding block parser: how long the character at the start of a
// text is, and how many bytes at the end of a block belong to a character the
// block does not finish. Pure functions; any caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kova/host.h"

namespace kova {

// How an encoding builds its characters from bytes.
enum class CharFamily : uint8_t {
  kSingleByte,  // one byte per character (Latin-1, windows-*, EBCDIC, ...)
  kUtf8,
  kUtf16Le,
  kUtf16Be,
  kUtf32,  // either byte order: only the unit length matters
  kShiftJis,
  kEucJp,
  kGb18030,
  kEucKr,       // a lead byte 0xA1-0xFE and one trail byte 0xA1-0xFE; 0x80-0xA0 alone
  kDoubleByte,  // a lead byte 0x81-0xFE and one trail byte (Big5, GBK)
};

// The family of an encoding, from the NLS's name and maximum bytes per
// character. An encoding of more than one byte per character whose name is
// not known here counts as single-byte: its split characters are left to
// the transcoder.
CharFamily charFamily(KovaNls* nls, int32_t encoding);

// The byte length of the character that starts at text (available bytes).
// More than available when the character needs bytes that are not there
// yet. An ill-formed sequence counts as the bytes up to where it goes wrong
// (at least 1), the piece a transcoder replaces with one substitute.
size_t charLength(CharFamily family, const uint8_t* text, size_t available);

// The bytes at the end of text (0 to 3) that begin a character the text does
// not finish. text must start on a character boundary.
size_t unfinishedTail(CharFamily family, const uint8_t* text, size_t length);

}  // namespace kova
