// Which encoding a data file's bytes are in: byte-order marks, UTF-16 and
// UTF-32 by their zero bytes, UTF-8 when the bytes are valid UTF-8, else
// ISO-8859-1 or windows-1252 (by the bytes 0x80 to 0x9F). Pure functions over
// the sample's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova::tool::infer {

struct EncodingGuess {
  int32_t id = 20;  // the host's encoding identifier
  std::string name = "UTF-8";
  size_t bomLength = 0;  // bytes of a byte-order mark at the start
  int unit = 1;          // bytes per code unit: 1, 2 or 4
  bool bigEndian = false;
  std::vector<std::string> evidence;
};

// The encoding of head, the first bytes of the file. cutEnd: the sample may
// end inside a character (a UTF-8 sequence cut there is not held against it).
EncodingGuess detectEncoding(std::string_view head, bool cutEnd);

// The guess for an encoding given by its host identifier and name.
EncodingGuess forcedEncoding(int32_t id, const std::string& name, std::string_view head);

// Offset of the first byte after the first line feed at or after from
// (counted in code units of the encoding, aligned to the unit), or npos.
size_t afterLineFeed(std::string_view bytes, size_t from, const EncodingGuess& encoding);
// Offset just after the last line feed, or npos when there is none.
size_t afterLastLineFeed(std::string_view bytes, const EncodingGuess& encoding);

}  // namespace kova::tool::infer
