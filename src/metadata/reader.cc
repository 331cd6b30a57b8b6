// readXml and readXmlChunk: fill a KovaObject from a metadata document through
// a zrexml parser. The reader merges: it sets the fields the document names
// and appends one column per "column" element; it never checks the root.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "src/host/log.h"
#include "src/host/nls.h"
#include "src/host/pool.h"
#include "src/metadata/document.h"
#include "src/metadata/keywords.h"
#include "src/metadata/reader_context.h"
#include "src/metadata/text.h"

namespace kova {
namespace {

constexpr char16_t kDocumentName[] = u"hadoop_metadata.xml";
constexpr int32_t kDocumentNameLength = 19;
constexpr uint32_t kParserOptions = 0x25000000u;
constexpr char kParserName[] = "metadata parser";
constexpr uint32_t kTextGrain = 1024;

ReaderContext* contextOf(KovaXmlObject* handle) {
  return reinterpret_cast<ReaderContext*>(reinterpret_cast<char*>(handle) -
                                          offsetof(ReaderContext, handle));
}

KovaLocale* localeOf(const KovaObject* object) {
  return object->extension ? object->extension->locale : nullptr;
}

// ---- the handle kept in xmlObject --------------------------------------

void destroyReader(KovaXmlObject* handle) {
  ReaderContext* context = contextOf(handle);
  KovaPool* pool = context->object->pool;
  context->parser->ops->destroyObject(context->parser);
  if (context->text != context->inlineText) poolFree(pool, context->text);
  poolFree(pool, context);
}

KovaStatus parseThrough(KovaXmlObject* handle, const void* bytes, int64_t length, int32_t final) {
  KovaXmlObject* parser = contextOf(handle)->parser;
  return parser->ops->parse(parser, bytes, length, final);
}

constexpr KovaXmlObjectOps kReaderOps = {destroyReader, nullptr, parseThrough};

// ---- callbacks ----------------------------------------------------------

std::u16string_view view(const char16_t* text, int32_t bytes) {
  return text && bytes > 0 ? std::u16string_view(text, size_t(bytes) / 2) : std::u16string_view();
}

// The value of the first attribute called name; false when there is none.
bool findAttribute(int32_t count, const KovaXmlAttribute* attributes, std::u16string_view name,
                   std::u16string_view* value) {
  for (int32_t i = 0; attributes && i < count; ++i) {
    if (view(attributes[i].name, attributes[i].nameLength) == name) {
      *value = view(attributes[i].value, attributes[i].valueLength);
      return true;
    }
  }
  return false;
}

// Reads a lenient integer; the target is left alone when the text is not one.
bool readInt32(KovaLocale* locale, std::u16string_view text, int32_t* target) {
  int32_t value = 0;
  if (parseInteger(locale, text.data(), int64_t(text.size()), &value) != kStatusOk) return false;
  *target = value;
  return true;
}

bool readInt64(KovaLocale* locale, std::u16string_view text, int64_t* target) {
  if (!locale) return true;
  int64_t value = 0;
  uint64_t scratch = 0;
  if (locale->ops->readWideInteger(locale, text.data(), int64_t(text.size()), 0, &value,
                                   &scratch) != kStatusOk) {
    return false;
  }
  *target = value;
  return true;
}

// A number element of the document: its value, or, for text that is no
// number its field can hold, the field left unchanged and a warning that
// names the element (the document is still read).
template <typename Number>
void readNumber(ReaderContext* context, std::u16string_view element, std::u16string_view text,
                Number* target) {
  KovaLocale* locale = localeOf(context->object);
  bool read;
  if constexpr (sizeof(Number) == 8) {
    read = readInt64(locale, text, target);
  } else {
    read = readInt32(locale, text, target);
  }
  if (read) return;
  logLine(context->diagnostics, kLogWarning,
          u"[readXml] : <%.*s>%.*s</%.*s> is no number; the element is ignored.",
          int(element.size()), element.data(), int(std::min<size_t>(text.size(), 64)), text.data(),
          int(element.size()), element.data());
}

// The one-byte value of a control-byte attribute or text.
void readControlAttribute(KovaLocale* locale, std::u16string_view text, uint8_t* target) {
  int32_t value = 0;
  if (parseInteger(locale, text.data(), int64_t(text.size()), &value) == kStatusOk) {
    *target = static_cast<uint8_t>(value & 0xFF);
  }
}

KovaStatus startElement(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes,
                        int32_t attributeCount, const KovaXmlAttribute* attributes) {
  auto* context = reinterpret_cast<ReaderContext*>(table);
  const Keyword* keyword = findKeyword(view(name, nameBytes));
  if (!keyword || keyword->role != KeywordRole::kElement) return kStatusOk;
  context->textLength = 0;
  KovaObject* object = context->object;
  KovaLocale* locale = localeOf(object);
  std::u16string_view value;
  switch (static_cast<ElementId>(keyword->code)) {
    case ElementId::kBigendian:
      object->bigendian = 1;
      break;
    case ElementId::kExpectFile:
      object->expectFile = 1;
      break;
    case ElementId::kColumn:
      context->column = object->extension->addColumn(object);
      // A lost column would shift every later column element onto the
      // wrong column: stop the read instead.
      if (!context->column) return kStatusNoMemory;
      break;
    case ElementId::kEncoding:
      if (findAttribute(attributeCount, attributes, u"cei", &value)) {
        readInt32(locale, value, &object->encoding);
      }
      break;
    case ElementId::kCei:
      if (context->column && findAttribute(attributeCount, attributes, u"cei", &value)) {
        readInt32(locale, value, &context->column->cei);
      }
      break;
    case ElementId::kFieldsep:
    case ElementId::kTextqual:
    case ElementId::kKeysep:
      if (findAttribute(attributeCount, attributes, u"ctrl", &value)) {
        ElementId id = static_cast<ElementId>(keyword->code);
        readControlAttribute(locale, value,
                             id == ElementId::kFieldsep   ? &object->fieldsep
                             : id == ElementId::kTextqual ? &object->textqual
                                                          : &object->keysep);
      }
      break;
    default:
      break;
  }
  return kStatusOk;
}

KovaStatus characters(KovaXmlCallbacks* table, const char16_t* text, int32_t lengthBytes) {
  auto* context = reinterpret_cast<ReaderContext*>(table);
  if (!text || lengthBytes < 2) return kStatusOk;
  uint64_t units = uint64_t(lengthBytes) / 2;
  uint64_t needed = uint64_t(context->textLength) + units;
  if (needed > context->textCapacity) {
    uint64_t capacity = uint64_t(context->textCapacity) * 2;
    if (capacity < needed) capacity = (needed + kTextGrain - 1) / kTextGrain * kTextGrain;
    if (capacity > UINT32_MAX) return kStatusNoMemory;
    KovaPool* pool = context->object->pool;
    auto* grown = static_cast<char16_t*>(poolAllocate(pool, capacity * 2));
    if (!grown) {
      logAllocationFailure(context->diagnostics, u"readXml", int64_t(capacity * 2));
      return kStatusNoMemory;
    }
    std::memcpy(grown, context->text, size_t(context->textLength) * 2);
    if (context->text != context->inlineText) poolFree(pool, context->text);
    context->text = grown;
    context->textCapacity = uint32_t(capacity);
  }
  std::memcpy(context->text + context->textLength, text, units * 2);
  context->textLength = uint32_t(needed);
  return kStatusOk;
}

// Stores a copy of text in a text field; the field is unchanged when the
// copy cannot be made.
KovaStatus setText(KovaObject* object, std::u16string_view text, const char16_t** field,
                   int64_t* length) {
  const char16_t* copy = object->extension->copyString(object, text.data(), int64_t(text.size()));
  if (!copy) return kStatusNoMemory;
  *length = int64_t(text.size());
  *field = copy;
  return kStatusOk;
}

// The boolean test of managedData, dropped and select: the collected text is
// upper-cased in place, then must be "TRUE".
bool isTrue(ReaderContext* context) {
  for (uint32_t i = 0; i < context->textLength; ++i) {
    context->text[i] = asciiUpper(context->text[i]);
  }
  const Keyword* keyword = findKeyword({context->text, context->textLength});
  return keyword && keyword->role == KeywordRole::kBoolean && keyword->code == 1;
}

// The code of text when it is a value of the given role.
bool valueCode(std::u16string_view text, KeywordRole role, uint32_t* code) {
  const Keyword* keyword = findKeyword(text);
  if (!keyword || keyword->role != role) return false;
  *code = keyword->code;
  return true;
}

bool isColumnElement(ElementId id) {
  switch (id) {
    case ElementId::kName:
    case ElementId::kFormat:
    case ElementId::kInformat:
    case ElementId::kTag:
    case ElementId::kBytelength:
    case ElementId::kCharlength:
    case ElementId::kOffset:
    case ElementId::kIndOffset:
    case ElementId::kIndLength:
    case ElementId::kScale:
    case ElementId::kColendian:
    case ElementId::kDropped:
    case ElementId::kSelect:
    case ElementId::kType:
    case ElementId::kCType:
    case ElementId::kCei:
      return true;
    default:
      return false;
  }
}

KovaStatus tableText(KovaObject* o, ElementId id, std::u16string_view text) {
  switch (id) {
    case ElementId::kUserInputFormat:
      return setText(o, text, &o->userInputFormat, &o->userInputFormatLength);
    case ElementId::kInputDir:
      return setText(o, text, &o->inputDir, &o->inputDirLength);
    case ElementId::kOutputDir:
      return setText(o, text, &o->outputDir, &o->outputDirLength);
    case ElementId::kRecordTag:
      return setText(o, text, &o->recordTag, &o->recordTagLength);
    case ElementId::kMetaDir:
      return setText(o, text, &o->metaDir, &o->metaDirLength);
    case ElementId::kMrTempDir:
      return setText(o, text, &o->mrTempDir, &o->mrTempDirLength);
    case ElementId::kWhereExpression:
      return setText(o, text, &o->whereExpression, &o->whereExpressionLength);
    case ElementId::kDatahost:
      return setText(o, text, &o->datahost, &o->datahostLength);
    case ElementId::kTableName:
      return setText(o, text, &o->tableName, &o->tableNameLength);
    case ElementId::kSchemaName:
      return setText(o, text, &o->schemaName, &o->schemaNameLength);
    case ElementId::kDatabaseName:
      return setText(o, text, &o->databaseName, &o->databaseNameLength);
    default:
      return kStatusOk;
  }
}

KovaStatus columnEnd(ReaderContext* context, ElementId id, std::u16string_view elementName,
                     std::u16string_view text) {
  KovaObject* o = context->object;
  KovaColumn* c = context->column;
  uint32_t code = 0;
  if (id == ElementId::kName) {
    // An empty name leaves the column without one (nothing to copy, and
    // no memory lacking); the tools show it by its number.
    if (text.empty()) {
      c->name = nullptr;
      c->nameLength = 0;
      return kStatusOk;
    }
    return setText(o, text, &c->name, &c->nameLength);
  }
  if (text.empty()) return kStatusOk;
  switch (id) {
    case ElementId::kFormat:
      return setText(o, text, &c->format, &c->formatLength);
    case ElementId::kInformat:
      return setText(o, text, &c->informat, &c->informatLength);
    case ElementId::kTag:
      return setText(o, text, &c->tag, &c->tagLength);
    case ElementId::kBytelength:
      readNumber(context, elementName, text, &c->bytelength);
      break;
    case ElementId::kCharlength:
      readNumber(context, elementName, text, &c->charlength);
      break;
    case ElementId::kOffset:
      readNumber(context, elementName, text, &c->offset);
      break;
    case ElementId::kIndOffset:
      readNumber(context, elementName, text, &c->indOffset);
      break;
    case ElementId::kIndLength:
      readNumber(context, elementName, text, &c->indLength);
      break;
    case ElementId::kScale:
      readNumber(context, elementName, text, &c->scale);
      break;
    case ElementId::kColendian:
      readNumber(context, elementName, text, &c->colendian);
      break;
    case ElementId::kDropped:
      if (isTrue(context)) c->dropped = 1;
      break;
    case ElementId::kSelect:
      if (isTrue(context)) c->select = 1;
      break;
    case ElementId::kType:
      if (valueCode(text, KeywordRole::kType, &code)) c->type = code;
      break;
    case ElementId::kCType:
      if (valueCode(text, KeywordRole::kCType, &code)) c->c_type = code;
      break;
    default:
      break;
  }
  return kStatusOk;
}

KovaStatus endElement(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes) {
  auto* context = reinterpret_cast<ReaderContext*>(table);
  std::u16string_view elementName = view(name, nameBytes);
  const Keyword* keyword = findKeyword(elementName);
  if (!keyword || keyword->role != KeywordRole::kElement) return kStatusOk;
  ElementId id = static_cast<ElementId>(keyword->code);
  KovaObject* o = context->object;
  KovaLocale* locale = localeOf(o);
  std::u16string_view text(context->text, context->textLength);

  if (isColumnElement(id)) {
    if (context->column) return columnEnd(context, id, elementName, text);
    logLine(context->diagnostics, kLogWarning,
            u"[readXml] : Element <%.*s> outside a column is ignored.", int(elementName.size()),
            elementName.data());
    return kStatusOk;
  }
  if (text.empty()) return kStatusOk;

  int32_t number = 0;
  uint32_t code = 0;
  KovaStatus status = kStatusOk;
  switch (id) {
    case ElementId::kFileType:
      status = setText(o, text, &o->fileType, &o->fileTypeLength);
      if (status == kStatusOk) o->extension->setFormats(o);
      return status;
    case ElementId::kReclen:
      readNumber(context, elementName, text, &o->reclen);
      break;
    case ElementId::kHeaderLines:
      readNumber(context, elementName, text, &o->headerLines);
      break;
    case ElementId::kKeylen:
      readNumber(context, elementName, text, &o->keylen);
      break;
    case ElementId::kNumTasks:
      status = parseInteger(locale, text.data(), int64_t(text.size()), &number, true);
      if (status == kStatusOk) o->numTasks = number;
      return status;
    case ElementId::kReturnCode:
      status = parseInteger(locale, text.data(), int64_t(text.size()), &number, true);
      o->returnCode = status == kStatusOk ? number : int32_t(kStatusNotSupported);
      return status;
    case ElementId::kFieldsep:
      o->fieldsep = static_cast<uint8_t>(text[0] & 0xFF);
      break;
    case ElementId::kTextqual:
      o->textqual = static_cast<uint8_t>(text[0] & 0xFF);
      break;
    case ElementId::kKeysep:
      o->keysep = static_cast<uint8_t>(text[0] & 0xFF);
      break;
    case ElementId::kManagedData:
      if (isTrue(context)) o->managedData = 1;
      break;
    case ElementId::kRecfm:
      if (valueCode(text, KeywordRole::kRecfm, &code)) o->recfm = code;
      break;
    default:
      return tableText(o, id, text);
  }
  return kStatusOk;
}

// ---- reading ------------------------------------------------------------

// A fresh context and parser for object, or null.
ReaderContext* startReader(KovaObject* object, KovaDiagnostics* diagnostics) {
  KovaExtensionHandle* xml = object->extension ? object->extension->xmlExtension : nullptr;
  if (!xml) return nullptr;
  auto* context =
      static_cast<ReaderContext*>(poolAllocate(object->pool, sizeof(ReaderContext), true));
  if (!context) return nullptr;
  context->callbacks.characters = characters;
  context->callbacks.endElement = endElement;
  context->callbacks.startElement = startElement;
  context->diagnostics = diagnostics;
  context->object = object;
  context->text = context->inlineText;
  context->textCapacity = kInlineTextUnits;
  context->handle.ops = &kReaderOps;
  KovaXmlConfig& record = context->record;
  record.inputEncoding = kEncodingUtf8;
  record.callbackEncoding = kEncodingWide;
  record.documentName = kDocumentName;
  record.documentNameLength = kDocumentNameLength;
  record.options = kParserOptions;
  record.diagnostics = diagnostics;
  record.callbacks = &context->callbacks;
  context->parser =
      static_cast<KovaXmlObject*>(xml->ops->createObject(xml, &record, diagnostics, kParserName));
  if (!context->parser) {
    poolFree(object->pool, context);
    return nullptr;
  }
  return context;
}

// Ends the read: derives the format classes when the document named none,
// then releases the parser and its context.
void endRead(KovaObject* object) {
  if (!object->inputFormat) object->extension->setFormats(object);
  auto* handle = static_cast<KovaXmlObject*>(object->xmlObject);
  object->xmlObject = nullptr;
  handle->ops->destroyObject(handle);
}

KovaStatus readPiece(KovaObject* object, const void* bytes, int64_t length, bool final,
                     KovaDiagnostics* diagnostics) {
  if (!object || !object->extension) return kStatusNotSupported;
  auto* handle = static_cast<KovaXmlObject*>(object->xmlObject);
  if (!handle) {
    ReaderContext* context = startReader(object, diagnostics);
    if (!context) return kStatusNoMemory;
    handle = &context->handle;
    object->xmlObject = handle;
  } else if (handle->ops != &kReaderOps) {
    return kStatusNotSupported;  // xmlObject holds something that is not a read
  }
  contextOf(handle)->diagnostics = diagnostics;
  KovaStatus status = handle->ops->parse(handle, bytes, length, final ? 1 : 0);
  if (!final && (status == kStatusOk || status == kStatusDocumentComplete)) return status;
  if (status == kStatusDocumentComplete) status = kStatusOk;
  endRead(object);
  return status;
}

}  // namespace

KovaStatus readXml(KovaObject* object, const void* bytes, int64_t length,
                   KovaDiagnostics* diagnostics) {
  return readPiece(object, bytes, length, true, diagnostics);
}

KovaStatus readXmlChunk(KovaObject* object, const void* bytes, int64_t length, int32_t moreToCome,
                        KovaDiagnostics* diagnostics) {
  return readPiece(object, bytes, length, moreToCome == 0, diagnostics);
}

}  // namespace kova
