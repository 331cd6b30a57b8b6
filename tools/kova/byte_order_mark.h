// Byte-order marks: the bytes a file in a Unicode encoding may begin with.
// They are no part of the data: `kova rip` passes over one at the start of
// a file, and the sniffer reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kova::tool {

// The length of the byte-order mark of the encoding (host identifier) that
// bytes begin with, or 0 (also for encodings that have none).
size_t byteOrderMarkLength(int32_t encoding, std::string_view bytes);

}  // namespace kova::tool
