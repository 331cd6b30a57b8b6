// Byte counts on the command line: "65536", "64k", "1M", "2G" (binary
// multiples). Shared by the commands that take sizes and offsets.
#pragma once

#include <cstdint>
#include <string_view>

namespace kova::tool {

// False when text is not such a count (or it does not fit in 64 bits).
bool parseByteSize(std::string_view text, uint64_t* value);

}  // namespace kova::tool
