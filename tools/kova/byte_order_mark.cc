#include "tools/kova/byte_order_mark.h"

namespace kova::tool {

size_t byteOrderMarkLength(int32_t encoding, std::string_view bytes) {
  std::string_view mark;
  switch (encoding) {
    case 20:
      mark = std::string_view("\xEF\xBB\xBF", 3);
      break;
    case 21:
      mark = std::string_view("\xFF\xFE", 2);
      break;
    case 22:
      mark = std::string_view("\xFE\xFF", 2);
      break;
    case 23:
      mark = std::string_view("\xFF\xFE\0\0", 4);
      break;
    case 24:
      mark = std::string_view("\0\0\xFE\xFF", 4);
      break;
    default:
      return 0;
  }
  return bytes.starts_with(mark) ? mark.size() : 0;
}

}  // namespace kova::tool
