// Encodings of XML documents for the zrexml parser. expat reads UTF-8,
// UTF-16, ISO-8859-1 and US-ASCII itself; the handler here lets it read the
// other ASCII-compatible encodings ICU knows, one byte a character or a lead
// byte that tells the character's length (windows-1252, ISO-8859-15,
// Shift_JIS, EUC-JP, Big5, ...). The encoding a document declares (or its
// byte order mark) wins; the one the parser was given is the default for
// documents that declare none. Pure functions; any thread may call them.
#pragma once

#include <expat.h>

#include <cstdint>
#include <string_view>

namespace kova::runtime {

// expat's unknown-encoding handler on ICU. Refuses (XML_STATUS_ERROR) an
// encoding ICU does not know, one that is not ASCII-compatible, or one whose
// characters lie outside the Basic Multilingual Plane.
int XMLCALL icuUnknownEncoding(void* unused, const XML_Char* name, XML_Encoding* info);

// The name expat is given for a registry encoding used as the default, or
// null when the identifier is not registered. 0 and 20 (UTF-8, expat's own
// default) need none and also answer null; see defaultIsNeeded.
const char* defaultEncodingName(int32_t id);
inline bool defaultIsNeeded(int32_t id) { return id != 0 && id != 20; }

// What the first bytes of a document say about its encoding.
enum class DeclaredEncoding {
  kNeedMore,  // too few bytes to tell (and more may come)
  kDeclared,  // a byte order mark, UTF-16 markup, or a declaration naming an encoding
  kNone,      // no such sign: the default applies
};
DeclaredEncoding declaredEncoding(std::string_view head, bool final);

}  // namespace kova::runtime
