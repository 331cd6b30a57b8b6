#include "tools/kova/byte_size.h"

namespace kova::tool {

bool parseByteSize(std::string_view text, uint64_t* value) {
  if (text.empty()) return false;
  uint64_t multiple = 1;
  const char last = text.back();
  if (last == 'k' || last == 'K') multiple = uint64_t(1) << 10;
  if (last == 'm' || last == 'M') multiple = uint64_t(1) << 20;
  if (last == 'g' || last == 'G') multiple = uint64_t(1) << 30;
  if (multiple != 1) text.remove_suffix(1);
  if (text.empty() || text.size() > 18) return false;
  uint64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + uint64_t(c - '0');
  }
  return !__builtin_mul_overflow(number, multiple, value);
}

}  // namespace kova::tool
