#include "tools/kova/table_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kova::tool {

KovaObject* openTable(Session& session, const char* command, const std::string& document) {
  if (!session.open()) return nullptr;
  std::string error;
  KovaObject* table = loadTable(session, document, &error);
  if (!table) std::fprintf(stderr, "kova %s: %s\n", command, error.c_str());
  return table;
}

bool isDirectory(const std::string& path) {
  struct stat status;
  return path != "-" && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool readFile(const std::string& path, std::string* bytes, std::string* error) {
  if (isDirectory(path)) {
    *error = path + " is a directory";
    return false;
  }
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
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::string rootElementName(std::string_view xml) {
  size_t i = xml.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  auto skipPast = [&](std::string_view end) {
    size_t at = xml.find(end, i);
    i = at == std::string_view::npos ? xml.size() : at + end.size();
  };
  while (i < xml.size()) {
    char c = xml[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
    } else if (xml.substr(i).starts_with("<?")) {
      skipPast("?>");
    } else if (xml.substr(i).starts_with("<!--")) {
      skipPast("-->");
    } else if (xml.substr(i).starts_with("<!")) {
      // A document type, perhaps with an internal subset in brackets.
      int depth = 0;
      for (; i < xml.size(); ++i) {
        if (xml[i] == '[') ++depth;
        if (xml[i] == ']') --depth;
        if (xml[i] == '>' && depth <= 0) break;
      }
      ++i;
    } else if (c == '<') {
      size_t end = xml.find_first_of(" \t\r\n/>", i + 1);
      if (end == std::string_view::npos) end = xml.size();
      return std::string(xml.substr(i + 1, end - i - 1));
    } else {
      return "";
    }
  }
  return "";
}

KovaObject* loadTable(Session& session, const std::string& path, std::string* error,
                      uint32_t flags) {
  std::string bytes;
  if (!readFile(path, &bytes, error)) return nullptr;
  if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
    *error = path + ": the document is empty";
    return nullptr;
  }
  session.nameDocument(path);
  KovaExtensionObject* extension = session.extension();
  KovaObject* object =
      extension->createInstance(extension, &flags, session.diagnostics(), "kova table");
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
  std::string root = rootElementName(bytes);
  if (root != "kova") {
    *error =
        "not a metadata document: " + path + " (its root element is <" + root + ">, not <kova>)";
    object->destroy(object);
    return nullptr;
  }
  return object;
}

}  // namespace kova::tool
