// Reading a metadata document file into a new table instance for the tool's
// commands. Large documents are fed to readXmlChunk in pieces.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kova/extension.h"
#include "tools/kova/session.h"

namespace kova::tool {

// Bytes per readXmlChunk piece.
inline constexpr size_t kDocumentPiece = 64 * 1024;

// A new instance (created with flags) filled from the document at path ("-"
// reads stdin), or null with *error set ("cannot open ...", "not a metadata
// document: ..."). A well-formed document whose root element is not "kova" is
// refused too: the module's reader would take it silently. The caller
// destroys the instance.
KovaObject* loadTable(Session& session, const std::string& path, std::string* error,
                      uint32_t flags = 0);

// The opening of a command that works on one document's table: loads and
// starts the module in session, then reads the document. Null after printing
// "kova COMMAND: why" on stderr when either fails. The caller destroys the
// table before the session ends.
KovaObject* openTable(Session& session, const char* command, const std::string& document);

// The name of the root element of an XML text (after any byte order mark,
// declaration, comments, processing instructions and document type), or ""
// when there is none.
std::string rootElementName(std::string_view xml);

// True when path names a directory.
bool isDirectory(const std::string& path);

// The whole file ("-": stdin); false and *error when it cannot be read (a
// directory included).
bool readFile(const std::string& path, std::string* bytes, std::string* error);

}  // namespace kova::tool
