// kova meta fmt DOC: read a metadata document and write it back in canonical
// form. kova meta show DOC [--json]: the table's fields and columns.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "kova/metadata.h"
#include "src/metadata/vocabulary.h"
#include "tools/kova/command.h"
#include "tools/kova/json.h"
#include "tools/kova/session.h"
#include "tools/kova/table_file.h"

namespace kova::tool {
namespace {

std::string text(const char16_t* value, int64_t length) {
  return value && length > 0 ? toUtf8({value, size_t(length)}) : std::string();
}

std::string word(std::u16string_view name) { return toUtf8(name); }

// The host's name of an encoding, or "" when it has none.
std::string encodingName(Session& session, int32_t id) {
  KovaNls* nls = session.host().kernel()->nls;
  KovaEncodingInfo info{};
  if (id == 0 || !nls || nls->ops->encodingInfo(nls, id, &info) != kStatusOk) return "";
  return text(info.name, info.nameLength);
}

// ---- JSON ---------------------------------------------------------------

class JsonObject {
 public:
  explicit JsonObject(std::string indent) : indent_(std::move(indent)) {}
  void raw(const char* name, const std::string& value) {
    out_ += first_ ? "{\n" : ",\n";
    first_ = false;
    out_ += indent_ + "  " + jsonString(name) + ": " + value;
  }
  void number(const char* name, int64_t value) { raw(name, std::to_string(value)); }
  void boolean(const char* name, bool value) { raw(name, value ? "true" : "false"); }
  void string(const char* name, const std::string& value, bool set = true) {
    raw(name, set ? jsonString(value) : "null");
  }
  void text(const char* name, const char16_t* value, int64_t length) {
    string(name, tool::text(value, length), value && length > 0);
  }
  void bytes(const char* name, const uint8_t* value, uint64_t length) {
    std::u16string wide(value ? value : reinterpret_cast<const uint8_t*>(""),
                        value ? value + length : reinterpret_cast<const uint8_t*>(""));
    string(name, toUtf8(wide), value && length > 0);
  }
  // A code and, beside it, its keyword (null when the code has none).
  void code(const char* name, uint32_t value, std::u16string_view keyword) {
    number(name, value);
    string((std::string(name) + "Name").c_str(), word(keyword), !keyword.empty());
  }
  std::string close() { return first_ ? "{}" : out_ + "\n" + indent_ + "}"; }

 private:
  std::string indent_;
  std::string out_;
  bool first_ = true;
};

std::string columnJson(Session& session, const KovaColumn* c) {
  JsonObject j("    ");
  j.text("name", c->name, c->nameLength);
  j.number("offset", c->offset);
  j.number("indOffset", c->indOffset);
  j.number("charlength", c->charlength);
  j.number("bytelength", c->bytelength);
  j.number("indLength", c->indLength);
  j.code("type", c->type, typeName(c->type));
  j.code("c_type", c->c_type, cTypeName(c->c_type));
  j.number("cei", c->cei);
  std::string cei = encodingName(session, c->cei);
  j.string("ceiName", cei, !cei.empty());
  j.text("format", c->format, c->formatLength);
  j.text("informat", c->informat, c->informatLength);
  j.text("tag", c->tag, c->tagLength);
  j.boolean("dropped", c->dropped);
  j.boolean("select", c->select);
  j.number("scale", c->scale);
  j.number("colendian", c->colendian);
  return j.close();
}

std::string tableJson(Session& session, const KovaObject* o) {
  JsonObject j("");
  j.string("instanceName", o->instanceName ? o->instanceName : "", o->instanceName != nullptr);
  j.code("recfm", o->recfm, recfmName(o->recfm));
  j.number("reclen", o->reclen);
  j.number("recordTerminator", o->recordTerminator);
  j.number("fieldsep", o->fieldsep);
  j.number("textqual", o->textqual);
  j.number("encoding", o->encoding);
  std::string encoding = encodingName(session, o->encoding);
  j.string("encodingName", encoding, !encoding.empty());
  j.text("inputFormat", o->inputFormat, o->inputFormatLength);
  j.text("userInputFormat", o->userInputFormat, o->userInputFormatLength);
  j.text("outputFormat", o->outputFormat, o->outputFormatLength);
  j.number("columnCount", o->columnCount);
  j.text("inputDir", o->inputDir, o->inputDirLength);
  j.text("outputDir", o->outputDir, o->outputDirLength);
  j.text("recordTag", o->recordTag, o->recordTagLength);
  j.text("fileType", o->fileType, o->fileTypeLength);
  j.text("metaDir", o->metaDir, o->metaDirLength);
  j.text("mrTempDir", o->mrTempDir, o->mrTempDirLength);
  j.number("returnCode", o->returnCode);
  j.number("headerLines", o->headerLines);
  j.number("numTasks", o->numTasks);
  j.boolean("managedData", o->managedData);
  j.boolean("bigendian", o->bigendian);
  j.number("keysep", o->keysep);
  j.number("keylen", o->keylen);
  j.boolean("expectFile", o->expectFile);
  j.text("whereExpression", o->whereExpression, o->whereExpressionLength);
  j.text("datahost", o->datahost, o->datahostLength);
  j.text("tableName", o->tableName, o->tableNameLength);
  j.text("schemaName", o->schemaName, o->schemaNameLength);
  j.text("databaseName", o->databaseName, o->databaseNameLength);
  j.bytes("recordEndText", o->recordEndText, o->recordEndTextLength);
  j.bytes("nullText", o->nullText, o->nullTextLength);
  j.number("columnCapacity", o->columnCapacity);
  j.number("flags", o->flags);
  std::string columns = "[";
  for (int32_t i = 0; i < o->columnCount; ++i) {
    columns += (i ? ",\n    " : "\n    ") + columnJson(session, o->columns[i]);
  }
  j.raw("columns", columns + (o->columnCount ? "\n  ]" : "]"));
  return j.close() + "\n";
}

// ---- for people ---------------------------------------------------------

// A text as it reads; quoted with escapes when it holds blanks or controls.
std::string readable(const std::string& value) {
  for (unsigned char c : value) {
    if (c <= ' ' || c == 0x7F || c == '"') return jsonString(value);
  }
  return value;
}

std::string byteValue(uint8_t value) {
  std::string shown = value >= 0x21 && value < 0x7F ? std::string(1, char(value))
                      : value == ' '                ? "blank"
                      : value == '\t'               ? "tab"
                                                    : "";
  return shown.empty() ? std::to_string(value) : shown + " (" + std::to_string(value) + ")";
}

std::string codeValue(uint32_t code, std::u16string_view keyword) {
  return keyword.empty() ? std::to_string(code) : word(keyword);
}

void printShow(Session& session, const std::string& path, const KovaObject* o) {
  std::vector<std::pair<std::string, std::string>> rows;
  auto add = [&](const char* name, const std::string& value) { rows.emplace_back(name, value); };
  auto addText = [&](const char* name, const char16_t* value, int64_t length) {
    if (value && length > 0) add(name, readable(text(value, length)));
  };
  auto addNumber = [&](const char* name, int64_t value) {
    if (value != 0) add(name, std::to_string(value));
  };
  if (o->recfm) add("recfm", codeValue(o->recfm, recfmName(o->recfm)));
  addText("fileType", o->fileType, o->fileTypeLength);
  addText("inputFormat", o->inputFormat, o->inputFormatLength);
  addText("outputFormat", o->outputFormat, o->outputFormatLength);
  addText("userInputFormat", o->userInputFormat, o->userInputFormatLength);
  if (o->encoding) {
    std::string name = encodingName(session, o->encoding);
    add("encoding", name.empty() ? std::to_string(o->encoding)
                                 : name + " (" + std::to_string(o->encoding) + ")");
  }
  if (o->fieldsep) add("fieldsep", byteValue(o->fieldsep));
  if (o->textqual) add("textqual", byteValue(o->textqual));
  if (o->keysep) add("keysep", byteValue(o->keysep));
  addNumber("reclen", o->reclen);
  addNumber("keylen", o->keylen);
  addNumber("headerLines", o->headerLines);
  addText("recordTag", o->recordTag, o->recordTagLength);
  add("managedData", o->managedData ? "true" : "false");
  if (o->bigendian) add("bigendian", "true");
  if (o->expectFile) add("expectFile", "true");
  addText("inputDir", o->inputDir, o->inputDirLength);
  addText("outputDir", o->outputDir, o->outputDirLength);
  addText("metaDir", o->metaDir, o->metaDirLength);
  addText("mrTempDir", o->mrTempDir, o->mrTempDirLength);
  addText("whereExpression", o->whereExpression, o->whereExpressionLength);
  addText("datahost", o->datahost, o->datahostLength);
  addText("databaseName", o->databaseName, o->databaseNameLength);
  addText("schemaName", o->schemaName, o->schemaNameLength);
  addText("tableName", o->tableName, o->tableNameLength);
  addNumber("returnCode", o->returnCode);
  addNumber("numTasks", o->numTasks);
  std::printf("table %s\n", path.c_str());
  for (const auto& [name, value] : rows) std::printf("  %-16s %s\n", name.c_str(), value.c_str());

  // Columns: one line each, with only the attributes some column has.
  struct Attribute {
    const char* title;
    std::string (*value)(Session&, const KovaColumn*);
  };
  static const Attribute kAttributes[] = {
      {"name",
       [](Session&, const KovaColumn* c) { return readable(text(c->name, c->nameLength)); }},
      {"type",
       [](Session&, const KovaColumn* c) {
         return c->type ? codeValue(c->type, typeName(c->type)) : "";
       }},
      {"c_type",
       [](Session&, const KovaColumn* c) {
         return c->c_type ? codeValue(c->c_type, cTypeName(c->c_type)) : "";
       }},
      {"charlength",
       [](Session&, const KovaColumn* c) {
         return c->charlength ? std::to_string(c->charlength) : "";
       }},
      {"bytelength",
       [](Session&, const KovaColumn* c) {
         return c->bytelength ? std::to_string(c->bytelength) : "";
       }},
      {"offset",
       [](Session&, const KovaColumn* c) { return c->offset ? std::to_string(c->offset) : ""; }},
      {"indOffset",
       [](Session&, const KovaColumn* c) {
         return c->indOffset ? std::to_string(c->indOffset) : "";
       }},
      {"indLength",
       [](Session&, const KovaColumn* c) {
         return c->indLength ? std::to_string(c->indLength) : "";
       }},
      {"scale",
       [](Session&, const KovaColumn* c) { return c->scale ? std::to_string(c->scale) : ""; }},
      {"cei",
       [](Session& s, const KovaColumn* c) {
         std::string name = encodingName(s, c->cei);
         return c->cei ? (name.empty() ? std::to_string(c->cei) : name) : std::string();
       }},
      {"format",
       [](Session&, const KovaColumn* c) { return readable(text(c->format, c->formatLength)); }},
      {"informat",
       [](Session&, const KovaColumn* c) {
         return readable(text(c->informat, c->informatLength));
       }},
      {"tag", [](Session&, const KovaColumn* c) { return readable(text(c->tag, c->tagLength)); }},
      {"colendian",
       [](Session&, const KovaColumn* c) {
         return c->colendian ? std::to_string(c->colendian) : "";
       }},
      {"flags",
       [](Session&, const KovaColumn* c) {
         std::string flags = c->dropped ? "dropped" : "";
         if (c->select) flags += flags.empty() ? "select" : ",select";
         return flags;
       }},
  };
  std::printf("columns %d\n", o->columnCount);
  if (o->columnCount <= 0) return;
  std::vector<std::vector<std::string>> cells(size_t(o->columnCount) + 1);
  cells[0].push_back("#");
  for (int32_t i = 0; i < o->columnCount; ++i)
    cells[size_t(i) + 1].push_back(std::to_string(i + 1));
  for (const Attribute& attribute : kAttributes) {
    std::vector<std::string> values;
    bool any = false;
    for (int32_t i = 0; i < o->columnCount; ++i) {
      values.push_back(attribute.value(session, o->columns[i]));
      any = any || !values.back().empty();
    }
    if (!any) continue;
    cells[0].push_back(attribute.title);
    for (size_t i = 0; i < values.size(); ++i) cells[i + 1].push_back(values[i]);
  }
  std::vector<size_t> widths(cells[0].size(), 0);
  for (const auto& row : cells) {
    for (size_t k = 0; k < row.size(); ++k) widths[k] = std::max(widths[k], row[k].size());
  }
  for (const auto& row : cells) {
    std::string line = " ";
    for (size_t k = 0; k < row.size(); ++k) {
      line += ' ' + row[k];
      if (k + 1 < row.size()) line += std::string(widths[k] - row[k].size(), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    std::printf("%s\n", line.c_str());
  }
}

int fmt(Session& session, const std::string& path) {
  std::string error;
  KovaObject* object = loadTable(session, path, &error, kObjectFlagWriteDropped);
  if (!object) {
    std::fprintf(stderr, "kova meta: %s\n", error.c_str());
    return kExitFailed;
  }
  KovaExtensionObject* extension = session.extension();
  const uint8_t* document = nullptr;
  uint64_t length = 0;
  KovaStatus status = extension->writeXml(object, &document, &length);
  if (status == kStatusOk) std::fwrite(document, 1, length, stdout);
  object->destroy(object);
  if (status != kStatusOk) {
    std::fprintf(stderr, "kova meta: cannot write %s back: %s\n", path.c_str(),
                 statusText(status).c_str());
    return kExitFailed;
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

int show(Session& session, const std::string& path, bool json) {
  std::string error;
  KovaObject* object = loadTable(session, path, &error);
  if (!object) {
    std::fprintf(stderr, "kova meta: %s\n", error.c_str());
    return kExitFailed;
  }
  if (json) {
    std::fputs(tableJson(session, object).c_str(), stdout);
  } else {
    printShow(session, path, object);
  }
  object->destroy(object);
  return kExitOk;
}

}  // namespace

int runMeta(std::span<char*> args) {
  if (args.empty()) return usageError("meta", "missing fmt, show or infer");
  std::string_view action = args[0];
  if (action == "infer") return runMetaInfer(args.subspan(1));
  if (action != "fmt" && action != "show") {
    return usageError("meta", "unknown action '" + std::string(action) + "'");
  }
  const char* path = nullptr;
  bool json = false;
  for (char* arg : args.subspan(1)) {
    if (action == "show" && std::strcmp(arg, "--json") == 0) {
      json = true;
    } else if (arg[0] == '-' && arg[1] != '\0') {
      return usageError("meta", std::string("unknown option ") + arg);
    } else if (path) {
      return usageError("meta", "takes one DOC");
    } else {
      path = arg;
    }
  }
  if (!path) return usageError("meta", "missing DOC");
  Session session;
  if (!session.open()) return kExitFailed;
  return action == "fmt" ? fmt(session, path) : show(session, path, json);
}

}  // namespace kova::tool
