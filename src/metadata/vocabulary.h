// The names of the metadata object's codes as the document writes them:
// record formats (recfm), SQL types (type) and storage types (c_type). Header
// only, so the tool can print the same words. An empty name means the code
// has none and is never written.
#pragma once

#include <cstdint>
#include <string_view>

namespace kova {

inline constexpr std::u16string_view kRecfmNames[] = {
    u"", u"DELIMITED", u"FIXED", u"CLF", u"ELF", u"XML", u"JSON", u"", u"", u"VARBIN", u"NATIVE"};

inline constexpr std::u16string_view kTypeNames[] = {
    u"",        u"DOUBLE", u"CHAR", u"INT",       u"TINYINT", u"SMALLINT", u"BIGINT", u"REAL",
    u"VARCHAR", u"DATE",   u"TIME", u"TIMESTAMP", u"",        u"DECIMAL",  u"BINARY"};

inline constexpr std::u16string_view kCTypeNames[] = {u"",
                                                      u"double",
                                                      u"char",
                                                      u"int8",
                                                      u"uint8",
                                                      u"int16",
                                                      u"uint16",
                                                      u"int32",
                                                      u"uint32",
                                                      u"int64",
                                                      u"uint64",
                                                      u"float",
                                                      u"binary",
                                                      u"ZRTS_C_TYPE_DATE",
                                                      u"ZRTS_C_TYPE_TIME",
                                                      u"ZRTS_C_TYPE_TIMESTAMP"};

namespace detail {
template <size_t N>
constexpr std::u16string_view codeName(const std::u16string_view (&names)[N], uint32_t code) {
  return code < N ? names[code] : std::u16string_view();
}
}  // namespace detail

// The word for a code, or an empty view when the code has no name.
constexpr std::u16string_view recfmName(uint32_t code) {
  return detail::codeName(kRecfmNames, code);
}
constexpr std::u16string_view typeName(uint32_t code) { return detail::codeName(kTypeNames, code); }
constexpr std::u16string_view cTypeName(uint32_t code) {
  return detail::codeName(kCTypeNames, code);
}

}  // namespace kova
