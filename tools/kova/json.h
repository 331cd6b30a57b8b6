// Small helpers for the tool's JSON output.
#pragma once

#include <string>
#include <string_view>

namespace kova::tool {

// A JSON string literal (quoted, escaped) of UTF-8 text; invalid bytes
// become U+FFFD.
std::string jsonString(std::string_view utf8);

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string toUtf8(std::u16string_view text);

}  // namespace kova::tool
