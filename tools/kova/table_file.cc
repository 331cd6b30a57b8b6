#include "tools/kova/table_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kova::tool {

bool readFile(const std::string& path, std::string* bytes, std::string* error) {
  FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, n);
  bool failed = std::ferror(file);
  if (file != stdin) std::fclose(file);
  if (failed) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

KovaObject* loadTable(Session& session, const std::string& path, std::string* error) {
  std::string bytes;
  if (!readFile(path, &bytes, error)) return nullptr;
  KovaExtensionObject* extension = session.extension();
  KovaObject* object =
      extension->createInstance(extension, nullptr, session.diagnostics(), "kova table");
  if (!object) {
    *error = "cannot create a table instance";
    return nullptr;
  }
  KovaStatus status = kStatusOk;
  size_t offset = 0;
  do {
    size_t piece = std::min(kDocumentPiece, bytes.size() - offset);
    bool more = offset + piece < bytes.size();
    status = extension->readXmlChunk(object, bytes.data() + offset, int64_t(piece), more,
                                     session.diagnostics());
    offset += piece;
    if (more && status == kStatusDocumentComplete) status = kStatusOk;
  } while (status == kStatusOk && offset < bytes.size());
  if (status != kStatusOk) {
    *error = "not a metadata document: " + path + " (" + statusText(status) + ")";
    object->destroy(object);
    return nullptr;
  }
  return object;
}

}  // namespace kova::tool
