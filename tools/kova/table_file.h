// Reading a metadata document file into a new table instance for the tool's
// commands. Large documents are fed to readXmlChunk in pieces.
#pragma once

#include <string>

#include "kova/extension.h"
#include "tools/kova/session.h"

namespace kova::tool {

// Bytes per readXmlChunk piece.
inline constexpr size_t kDocumentPiece = 64 * 1024;

// A new instance filled from the document at path ("-" reads stdin), or null
// with *error set ("cannot open ...", "not a metadata document: ...").
// The caller destroys the instance.
KovaObject* loadTable(Session& session, const std::string& path, std::string* error);

// The whole file ("-": stdin); false and *error when it cannot be read.
bool readFile(const std::string& path, std::string* bytes, std::string* error);

}  // namespace kova::tool
