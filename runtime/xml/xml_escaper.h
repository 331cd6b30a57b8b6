// Escaping 16-bit text so that it reads back unchanged through an XML parser,
// either as element content or as the body of a CDATA section. Pure
// functions; any thread may call them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kova/status.h"

namespace kova::runtime {

// Appends text, escaped for mode (kXmlEscapeContent or kXmlEscapeCdata), to
// out.
//
// Content: & < > " ' become entity references and a carriage return becomes
// "&#13;" (a parser would turn a raw one into a line feed).
// CDATA: the caller writes "<![CDATA[" + out + "]]>". Every "]]>" is split
// across two sections ("]]]]><![CDATA[>") and every carriage return is taken
// out of the section as "]]>&#13;<![CDATA[", for the same reason as above.
//
// kStatusNotSupported, with out left as it was, for an unknown mode or for text
// that XML 1.0 cannot carry at all: controls other than tab, line feed and
// carriage return, U+FFFE, U+FFFF, and unpaired surrogates.
KovaStatus escapeXmlText(std::u16string_view text, int32_t mode, std::u16string& out);

}  // namespace kova::runtime
