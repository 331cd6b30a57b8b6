#include "tests/metadata/metadata_test_util.h"

#include <cstdio>

namespace kova::testing {
namespace {

void text(std::string& out, const char* name, const char16_t* value, int64_t length) {
  out += name;
  out += '=';
  if (!value || length <= 0) {
    out += "(unset)\n";
    return;
  }
  for (int64_t i = 0; i < length; ++i) {
    char16_t c = value[i];
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += char(c);
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "\\u{%x}", unsigned(c));
      out += buffer;
    }
  }
  out += '\n';
}

void number(std::string& out, const char* name, int64_t value) {
  out += name;
  out += '=' + std::to_string(value) + '\n';
}

}  // namespace

std::string writeDocument(KovaObject* object, KovaStatus* status) {
  const uint8_t* bytes = nullptr;
  uint64_t length = 0;
  KovaStatus result = object->extension->writeXml(object, &bytes, &length);
  if (status) *status = result;
  if (result != kStatusOk) return "";
  return std::string(reinterpret_cast<const char*>(bytes), length);
}

KovaStatus readDocument(KovaObject* object, std::string_view document, size_t piece,
                        KovaDiagnostics* diagnostics) {
  KovaExtensionObject* extension = object->extension;
  if (piece == 0)
    return extension->readXml(object, document.data(), int64_t(document.size()), diagnostics);
  size_t offset = 0;
  for (;;) {
    size_t n = std::min(piece, document.size() - offset);
    bool more = offset + n < document.size();
    KovaStatus status =
        extension->readXmlChunk(object, document.data() + offset, int64_t(n), more, diagnostics);
    offset += n;
    if (!more || (status != kStatusOk && status != kStatusDocumentComplete)) return status;
  }
}

std::string dumpObject(const KovaObject* o) {
  std::string out;
  number(out, "recfm", o->recfm);
  number(out, "reclen", o->reclen);
  number(out, "fieldsep", o->fieldsep);
  number(out, "textqual", o->textqual);
  number(out, "keysep", o->keysep);
  number(out, "encoding", o->encoding);
  text(out, "inputFormat", o->inputFormat, o->inputFormatLength);
  text(out, "userInputFormat", o->userInputFormat, o->userInputFormatLength);
  text(out, "outputFormat", o->outputFormat, o->outputFormatLength);
  text(out, "inputDir", o->inputDir, o->inputDirLength);
  text(out, "outputDir", o->outputDir, o->outputDirLength);
  text(out, "recordTag", o->recordTag, o->recordTagLength);
  text(out, "fileType", o->fileType, o->fileTypeLength);
  text(out, "metaDir", o->metaDir, o->metaDirLength);
  text(out, "mrTempDir", o->mrTempDir, o->mrTempDirLength);
  number(out, "returnCode", o->returnCode);
  number(out, "headerLines", o->headerLines);
  number(out, "numTasks", o->numTasks);
  number(out, "managedData", o->managedData);
  number(out, "bigendian", o->bigendian);
  number(out, "keylen", o->keylen);
  number(out, "expectFile", o->expectFile);
  text(out, "whereExpression", o->whereExpression, o->whereExpressionLength);
  text(out, "datahost", o->datahost, o->datahostLength);
  text(out, "tableName", o->tableName, o->tableNameLength);
  text(out, "schemaName", o->schemaName, o->schemaNameLength);
  text(out, "databaseName", o->databaseName, o->databaseNameLength);
  number(out, "columnCount", o->columnCount);
  for (int32_t i = 0; i < o->columnCount; ++i) {
    const KovaColumn* c = o->columns[i];
    out += "column " + std::to_string(i) + "\n";
    text(out, " name", c->name, c->nameLength);
    number(out, " offset", c->offset);
    number(out, " indOffset", c->indOffset);
    number(out, " charlength", c->charlength);
    number(out, " bytelength", c->bytelength);
    number(out, " indLength", c->indLength);
    number(out, " type", c->type);
    number(out, " c_type", c->c_type);
    number(out, " cei", c->cei);
    text(out, " format", c->format, c->formatLength);
    text(out, " informat", c->informat, c->informatLength);
    text(out, " tag", c->tag, c->tagLength);
    number(out, " dropped", c->dropped);
    number(out, " select", c->select);
    number(out, " scale", c->scale);
    number(out, " colendian", c->colendian);
  }
  return out;
}

std::string document(std::string_view lines) {
  return std::string(kPrologueText) + "<kova>\n" + std::string(lines) + "</kova>\n\n";
}

}  // namespace kova::testing
