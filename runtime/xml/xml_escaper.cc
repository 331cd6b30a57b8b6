#include "runtime/xml/xml_escaper.h"

#include "kova/siblings.h"

namespace kova::runtime {
namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when every character of text may appear in an XML 1.0 document.
bool representable(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x20) {
      if (c != u'\t' && c != u'\n' && c != u'\r') return false;
    } else if (isHighSurrogate(c)) {
      if (i + 1 == text.size() || !isLowSurrogate(text[i + 1])) return false;
      ++i;
    } else if (isLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF) {
      return false;
    }
  }
  return true;
}

void escapeContent(std::u16string_view text, std::u16string& out) {
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case u'\'':
        out += u"&apos;";
        break;
      case u'\r':
        out += u"&#13;";
        break;
      default:
        out += c;
    }
  }
}

void escapeCdata(std::u16string_view text, std::u16string& out) {
  size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, 3) == u"]]>") {
      // "]]" closes this section with the next "]]>"; ">" opens the next one.
      out += u"]]]]><![CDATA[>";
      i += 3;
    } else if (text[i] == u'\r') {
      out += u"]]>&#13;<![CDATA[";
      ++i;
    } else {
      out += text[i];
      ++i;
    }
  }
}

}  // namespace

KovaStatus escapeXmlText(std::u16string_view text, int32_t mode, std::u16string& out) {
  if (mode != kXmlEscapeContent && mode != kXmlEscapeCdata) return kStatusNotSupported;
  if (!representable(text)) return kStatusNotSupported;
  out.reserve(out.size() + text.size() + text.size() / 8 + 16);
  if (mode == kXmlEscapeContent) {
    escapeContent(text, out);
  } else {
    escapeCdata(text, out);
  }
  return kStatusOk;
}

}  // namespace kova::runtime
