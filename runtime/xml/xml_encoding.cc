#include "runtime/xml/xml_encoding.h"

#include <unicode/ucnv.h>

#include <new>

#include "runtime/nls/nls_service.h"

namespace kova::runtime {
namespace {

// A declaration longer than this is taken as no declaration at all.
constexpr size_t kLongestDeclaration = 1024;

struct IcuEncoding {
  UConverter* converter;
  int8_t length[256];  // bytes of the character a byte begins; 0 none
};

// The one character that bytes decode to, or -1 (invalid, incomplete, more
// than one character, or beyond the Basic Multilingual Plane).
int decodeOne(UConverter* converter, const char* bytes, int32_t n) {
  ucnv_reset(converter);
  UChar out[4];
  UChar* target = out;
  const char* source = bytes;
  UErrorCode error = U_ZERO_ERROR;
  ucnv_toUnicode(converter, &target, out + 4, &source, bytes + n, nullptr, true, &error);
  if (U_FAILURE(error) || source != bytes + n || target - out != 1) return -1;
  if (out[0] >= 0xD800 && out[0] <= 0xDFFF) return -1;
  return out[0];
}

int XMLCALL convertOne(void* data, const char* bytes) {
  auto* encoding = static_cast<IcuEncoding*>(data);
  int8_t n = encoding->length[static_cast<uint8_t>(bytes[0])];
  return n > 0 ? decodeOne(encoding->converter, bytes, n) : -1;
}

void XMLCALL release(void* data) {
  auto* encoding = static_cast<IcuEncoding*>(data);
  ucnv_close(encoding->converter);
  delete encoding;
}

// The length of the characters lead begins, found by trying trail bytes:
// expat needs it to depend on the first byte alone.
int8_t leadLength(UConverter* converter, uint8_t lead, int8_t maxBytes) {
  char bytes[3] = {char(lead), 0, 0};
  for (int8_t n = 2; n <= maxBytes && n <= 3; ++n) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      bytes[1] = bytes[2] = char(trail);
      if (decodeOne(converter, bytes, n) >= 0) return n;
    }
  }
  return 0;
}

}  // namespace

int XMLCALL icuUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  if (U_FAILURE(error)) return XML_STATUS_ERROR;
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  auto* encoding = new (std::nothrow) IcuEncoding{converter, {}};
  if (U_FAILURE(error) || !encoding) {
    ucnv_close(converter);
    delete encoding;
    return XML_STATUS_ERROR;
  }
  const auto maxBytes = static_cast<int8_t>(ucnv_getMaxCharSize(converter));
  bool multiByte = false;
  for (int b = 0; b < 256; ++b) {
    char byte = char(b);
    int single = decodeOne(converter, &byte, 1);
    if (single >= 0) {
      info->map[b] = single;
      encoding->length[b] = 1;
    } else if (int8_t n = maxBytes > 1 ? leadLength(converter, uint8_t(b), maxBytes) : 0; n > 0) {
      info->map[b] = -n;
      encoding->length[b] = n;
      multiByte = true;
    } else {
      info->map[b] = -1;
    }
  }
  // expat checks that the markup characters are ASCII and refuses otherwise.
  info->data = encoding;
  info->convert = multiByte ? convertOne : nullptr;
  info->release = release;
  return XML_STATUS_OK;
}

const char* defaultEncodingName(int32_t id) {
  if (!defaultIsNeeded(id)) return nullptr;
  const EncodingEntry* entry = findEncoding(id);
  return entry ? entry->converter : nullptr;
}

DeclaredEncoding declaredEncoding(std::string_view head, bool final) {
  auto startsWith = [&](std::string_view prefix) { return head.starts_with(prefix); };
  using namespace std::string_view_literals;
  if (startsWith("\xEF\xBB\xBF"sv) || startsWith("\xFE\xFF"sv) || startsWith("\xFF\xFE"sv) ||
      startsWith("<\0?\0"sv) || startsWith("\0<\0?"sv)) {
    return DeclaredEncoding::kDeclared;
  }
  constexpr std::string_view kOpen = "<?xml";
  if (head.size() < kOpen.size() && kOpen.starts_with(head) && !final) {
    return DeclaredEncoding::kNeedMore;
  }
  if (head.size() < 4 && !final) return DeclaredEncoding::kNeedMore;
  if (!startsWith(kOpen)) return DeclaredEncoding::kNone;
  size_t end = head.find("?>");
  if (end == std::string_view::npos) {
    return head.size() < kLongestDeclaration && !final ? DeclaredEncoding::kNeedMore
                                                       : DeclaredEncoding::kNone;
  }
  return head.substr(0, end).find("encoding") != std::string_view::npos
             ? DeclaredEncoding::kDeclared
             : DeclaredEncoding::kNone;
}

}  // namespace kova::runtime
