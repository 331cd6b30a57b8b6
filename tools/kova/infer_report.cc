#include "tools/kova/infer_report.h"

#include "src/metadata/vocabulary.h"
#include "tools/kova/json.h"

namespace kova::tool::infer {
namespace {

std::string list(const std::vector<std::string>& items, const std::string& indent) {
  if (items.empty()) return "[]";
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    out += (i ? ",\n" : "\n") + indent + "  " + jsonString(items[i]);
  }
  return out + "\n" + indent + "]";
}

std::string byteText(uint8_t b) { return b ? jsonString(std::string(1, char(b))) : "null"; }

std::string column(const ColumnFinding& c) {
  const std::string in = "      ";
  std::string out = "    {\n";
  out += in + "\"name\": " + jsonString(c.name) + ",\n";
  out += in + "\"type\": " + jsonString(toUtf8(typeName(c.type))) + ",\n";
  out += in + "\"c_type\": " + jsonString(toUtf8(cTypeName(c.cType))) + ",\n";
  out += in + "\"charlength\": " + std::to_string(c.charlength) + ",\n";
  out += in + "\"bytelength\": " + std::to_string(c.bytelength) + ",\n";
  out += in + "\"informat\": " + (c.informat.empty() ? "null" : jsonString(c.informat)) + ",\n";
  out += in + "\"format\": " + (c.format.empty() ? "null" : jsonString(c.format)) + ",\n";
  out += in + "\"tag\": " + (c.tag.empty() ? "null" : jsonString(c.tag)) + ",\n";
  out += in + "\"values\": " + std::to_string(c.values) + ",\n";
  out += in + "\"nulls\": " + std::to_string(c.nulls) + ",\n";
  out += in + "\"evidence\": " + list(c.evidence, in) + "\n";
  return out + "    }";
}

}  // namespace

const char* formatName(RecordFormat format) {
  switch (format) {
    case RecordFormat::kDelimited:
      return "delimited";
    case RecordFormat::kClf:
      return "clf";
    case RecordFormat::kJson:
      return "json";
    case RecordFormat::kXml:
      return "xml";
    default:
      return "auto";
  }
}

std::string findingsJson(const Findings& f, const std::string& path) {
  std::string out = "{\n";
  out += "  \"file\": " + jsonString(path) + ",\n";
  out += "  \"sample\": {\"fileBytes\": " + std::to_string(f.fileBytes) +
         ", \"sampledBytes\": " + std::to_string(f.sampledBytes) +
         ", \"records\": " + std::to_string(f.records) +
         ", \"wholeFile\": " + (f.wholeFile ? "true" : "false") + "},\n";
  out += "  \"format\": {\"name\": " + jsonString(formatName(f.format)) +
         ", \"evidence\": " + list(f.formatEvidence, "  ") + "},\n";
  out += "  \"encoding\": {\"cei\": " + std::to_string(f.encoding) +
         ", \"name\": " + jsonString(f.encodingName) +
         ", \"byteOrderMark\": " + (f.bomLength ? "true" : "false") +
         ", \"evidence\": " + list(f.encodingEvidence, "  ") + "},\n";
  if (f.format == RecordFormat::kDelimited) {
    out += "  \"dialect\": {\"fieldsep\": " + byteText(f.fieldsep) +
           ", \"textqual\": " + byteText(f.textqual) +
           ", \"lineEnd\": " + (f.lineEnd.empty() ? "null" : jsonString(f.lineEnd)) +
           ", \"headerLines\": " + std::to_string(f.headerLines) +
           ", \"evidence\": " + list(f.dialectEvidence, "  ") + "},\n";
  } else if (!f.dialectEvidence.empty()) {
    out += "  \"records\": {\"evidence\": " + list(f.dialectEvidence, "  ") + "},\n";
  }
  if (f.format == RecordFormat::kXml) out += "  \"recordTag\": " + jsonString(f.recordTag) + ",\n";
  out += "  \"nullText\": " +
         (f.nullText.empty() && f.format != RecordFormat::kDelimited ? std::string("null")
                                                                     : jsonString(f.nullText)) +
         ",\n";
  out += "  \"columns\": [";
  for (size_t i = 0; i < f.columns.size(); ++i) out += (i ? ",\n" : "\n") + column(f.columns[i]);
  out += f.columns.empty() ? "],\n" : "\n  ],\n";
  out += "  \"warnings\": " + list(f.warnings, "  ") + "\n}\n";
  return out;
}

}  // namespace kova::tool::infer
