#include "tools/kova/infer_document.h"

#include <vector>

#include "kova/metadata.h"
#include "runtime/xml/utf8_to_utf16.h"
#include "tools/kova/infer_delimited.h"

namespace kova::tool::infer {
namespace {

// A pool copy of UTF-8 text as UTF-16; false when the module had no memory.
bool setText(KovaObject* object, const std::string& utf8, const char16_t** text, int64_t* length) {
  if (utf8.empty()) return true;
  std::vector<char16_t> wide(runtime::utf16Capacity(utf8.size()));
  size_t n = runtime::utf8ToUtf16(utf8.data(), utf8.size(), wide.data());
  const char16_t* copy = object->extension->copyString(object, wide.data(), int64_t(n));
  if (!copy) return false;
  *text = copy;
  *length = int64_t(n);
  return true;
}

uint32_t recfmOf(RecordFormat format) {
  switch (format) {
    case RecordFormat::kClf:
      return kRecfmClf;
    case RecordFormat::kJson:
      return kRecfmJson;
    case RecordFormat::kXml:
      return kRecfmXml;
    default:
      return kRecfmDelimited;
  }
}

}  // namespace

std::string tableNameOf(const std::string& path) {
  if (path == "-") return "";
  std::string base = path.substr(path.find_last_of('/') + 1);
  base = base.substr(0, base.find('.'));
  return columnNames({base}, 1)[0];
}

KovaObject* buildTable(Session& session, const Findings& f, const std::string& tableName,
                       std::string* error) {
  KovaExtensionObject* extension = session.extension();
  uint32_t flags = 0;
  KovaObject* o = extension->createInstance(extension, &flags, session.diagnostics(), "kova infer");
  if (!o) {
    *error = "cannot create a table instance";
    return nullptr;
  }
  o->recfm = recfmOf(f.format);
  o->encoding = f.encoding;
  if (f.format == RecordFormat::kDelimited) {
    o->fieldsep = f.fieldsep;
    o->textqual = f.textqual;
    o->headerLines = f.headerLines;
  }
  const char* fileType = f.format == RecordFormat::kJson  ? "JSON"
                         : f.format == RecordFormat::kXml ? "XML"
                                                          : "DELIMITED";
  bool ok = setText(o, fileType, &o->fileType, &o->fileTypeLength) &&
            setText(o, f.recordTag, &o->recordTag, &o->recordTagLength) &&
            setText(o, tableName, &o->tableName, &o->tableNameLength);
  if (ok) extension->setFormats(o);
  for (const ColumnFinding& c : f.columns) {
    if (!ok) break;
    KovaColumn* column = extension->addColumn(o);
    ok = column != nullptr;
    if (!ok) break;
    column->type = c.type;
    column->c_type = c.cType;
    column->charlength = c.charlength;
    column->bytelength = c.bytelength;
    ok = setText(o, c.name, &column->name, &column->nameLength) &&
         setText(o, c.format, &column->format, &column->formatLength) &&
         setText(o, c.informat, &column->informat, &column->informatLength) &&
         setText(o, c.tag, &column->tag, &column->tagLength);
  }
  if (!ok) {
    *error = "the module has no memory for the table";
    o->destroy(o);
    return nullptr;
  }
  return o;
}

}  // namespace kova::tool::infer
