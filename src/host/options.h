// Host options read through the kernel's getOption.
#pragma once

#include <cstdint>
#include <string_view>

namespace kova {

inline constexpr std::u16string_view kOptionSessionEncoding = u"ZRNLS.KPA_SESSION_CEI";
inline constexpr std::u16string_view kOptionYearCutoff = u"ZR_NAME_YEARCUTOFF";

// Reads an integer option (type 3, 8 bytes). True when the host wrote it;
// *value keeps its preset otherwise.
bool readIntegerOption(std::u16string_view key, int64_t* value);

}  // namespace kova
