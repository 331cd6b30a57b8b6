// The record-format half of bind: what the table's record format needs (the
// FIXED record buffer, the XML or JSON parser and the tag tree, the UTF-8
// transcoder of text formats) and the operations it installs. The slots are
// written only once everything has been made, so a failed bind leaves them
// as they were.
#include <cstring>
#include <limits>
#include <string_view>

#include "kova/extension.h"
#include "src/burner/text_plan.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/host/siblings.h"
#include "src/metadata/text.h"
#include "src/ripper/bind.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/transcoder_cache.h"

namespace kova {
namespace {

constexpr std::u16string_view kXmlDocumentName = u"hadoop_xml_ripper.xml";
constexpr uint32_t kXmlRipperOptions = 0x21000000u;
constexpr int32_t kJsonParserValue = 1536;
constexpr uint64_t kXmlGatherBytes = 256;

// The transcoder to UTF-8 of a text table whose encoding needs one.
KovaStatus prepareToUtf8(KovaRipper* ripper) {
  const uint32_t encoding = static_cast<uint32_t>(ripper->table->encoding);
  if (encoding == 0 || !needsTranscoding(ripper, encoding, kEncodingUtf8)) return kStatusOk;
  return cachedTranscoder(ripper, encoding, kEncodingUtf8, &ripper->toUtf8);
}

void setTerminators(KovaRipper* ripper) {
  ripper->terminators[0] = 13;
  ripper->terminators[1] = 10;
  ripper->terminators[2] = ripper->table->fieldsep;
  ripper->terminatorCount = 3;
}

// The tree that maps JSON keys and XML element names to column states.
// Columns without a tag are left out. kStatusNotSupported when zreavl or the
// tree cannot be had: the JSON and XML parsers cannot work without it.
KovaStatus prepareTagTree(KovaRipper* ripper) {
  KovaStatus status = kStatusOk;
  if (!ripper->avlExtension) {
    KovaExtensionHandle* avl = loadSibling(kTreeSibling, ripper->diagnostics);
    if (!avl) return kStatusNotSupported;
    status = registerHostObject(ripper, avl);
    if (status != kStatusOk) return status;
    ripper->avlExtension = avl;
  }
  KovaTreeConfig config = {{1, 16, 14, 1, 0, 0, 0, 0}};
  auto* tree = static_cast<KovaTree*>(ripper->avlExtension->ops->createObject(
      ripper->avlExtension, &config, ripper->diagnostics, "tag avl"));
  if (!tree) return kStatusNotSupported;
  status = registerHostObject(ripper, tree);
  if (status != kStatusOk) return status;
  ripper->tagTree = tree;

  const KovaObject* table = ripper->table;
  if (table->recfm == kRecfmXml && textSet(table->recordTag, table->recordTagLength) &&
      uint64_t(table->recordTagLength) <= std::numeric_limits<uint32_t>::max()) {
    auto* item =
        static_cast<KovaColumnState*>(poolAllocate(ripper->pool, sizeof(KovaColumnState), true));
    if (!item) return kStatusNoMemory;
    item->index = -1;
    item->tagName = table->recordTag;
    item->tagLength = static_cast<uint32_t>(table->recordTagLength);
    if (tree->ops->insertItem(tree, item) == kStatusNoMemory) return kStatusNoMemory;
  }
  for (int32_t i = 0; i < table->columnCount; ++i) {
    KovaColumnState* state = &ripper->columns[i];
    const KovaColumn* column = state->column;
    state->index = i;
    if (!textSet(column->tag, column->tagLength) ||
        uint64_t(column->tagLength) > std::numeric_limits<uint32_t>::max()) {
      continue;
    }
    state->tagName = column->tag;
    state->tagLength = static_cast<uint32_t>(column->tagLength);
    if (tree->ops->insertItem(tree, state) == kStatusNoMemory) return kStatusNoMemory;
  }
  return kStatusOk;
}

KovaStatus prepareXml(KovaRipper* ripper) {
  std::memset(ripper->parserStateWords, 0, sizeof ripper->parserStateWords);
  KovaXmlState& xml = ripper->xml;
  xml.callbacks.characters = xmlCharacters;
  xml.callbacks.endElement = xmlEndElement;
  xml.callbacks.startElement = xmlStartElement;
  xml.callbackOwner = ripper;

  const KovaExtensionObject* extension = ripper->table->extension;
  KovaExtensionHandle* xmlExtension = extension ? extension->xmlExtension : nullptr;
  if (!xmlExtension) return kStatusNotSupported;
  KovaXmlConfig config{};
  config.inputEncoding = 0;
  config.callbackEncoding = kEncodingWide;
  config.documentName = kXmlDocumentName.data();
  config.documentNameLength = static_cast<int32_t>(kXmlDocumentName.size());
  config.options = kXmlRipperOptions;
  config.callbacks = &xml.callbacks;
  auto* parser = static_cast<KovaXmlObject*>(
      xmlExtension->ops->createObject(xmlExtension, &config, nullptr, "metadata parser"));
  if (!parser) return kStatusNotSupported;
  KovaStatus status = registerHostObject(ripper, parser);
  if (status != kStatusOk) return status;
  xml.xmlParser = parser;

  // The parser starts by gathering the document's first bytes here.
  ripper->recordBuffer = static_cast<uint8_t*>(poolAllocate(ripper->pool, kXmlGatherBytes));
  if (!ripper->recordBuffer) return kStatusNoMemory;
  ripper->recordBufferSize = kXmlGatherBytes;
  ripper->recordLength = 0;
  status = prepareTagTree(ripper);
  if (status != kStatusOk) return status;
  // Elements mostly come in column order, and the block parser tries the
  // column after the last one matched before the tree; that gives the
  // tree's answer only when no two tags (the record's included) are alike.
  xml.nextColumn = -1;
  xml.tagsUnique = 1;
  const KovaObject* table = ripper->table;
  for (int32_t i = -1; i < table->columnCount; ++i) {
    const char16_t* tag = i < 0 ? table->recordTag : ripper->columns[i].tagName;
    if (!tag) continue;
    const KovaTreeKey key = {
        tag, i < 0 ? uint32_t(table->recordTagLength) : ripper->columns[i].tagLength};
    const auto* found =
        static_cast<const KovaColumnState*>(ripper->tagTree->ops->findItem(ripper->tagTree, &key));
    if (!found || (i >= 0 && found != &ripper->columns[i]) || (i < 0 && found->index != -1)) {
      xml.tagsUnique = 0;
    }
  }
  return kStatusOk;
}

KovaStatus prepareJson(KovaRipper* ripper) {
  KovaExtensionHandle* jsonExtension = ripper->json.jsonExtension;
  std::memset(ripper->parserStateWords, 0, sizeof ripper->parserStateWords);
  KovaJsonState& json = ripper->json;
  json.jsonExtension = jsonExtension;
  json.callbacks.startObject = jsonStartObject;
  json.callbacks.endObject = jsonEndObject;
  json.callbacks.nullValue = jsonNullValue;
  json.callbacks.booleanValue = jsonBooleanValue;
  json.callbacks.numberValue = jsonNumberValue;
  json.callbacks.stringValue = jsonStringValue;
  json.callbackOwner = ripper;
  json.currentColumn = -1;
  if (!jsonExtension) return kStatusNotSupported;

  KovaJsonConfig config{};
  config.inputEncoding = ripper->table->encoding;
  config.callbackEncoding = kEncodingWide;
  config.value1536 = kJsonParserValue;
  config.callbacks = &json.callbacks;
  auto* parser = static_cast<KovaJsonParser*>(jsonExtension->ops->createObject(
      jsonExtension, &config, ripper->diagnostics, "metadata JSON parser"));
  if (!parser) return kStatusNotSupported;
  KovaStatus status = registerHostObject(ripper, parser);
  if (status != kStatusOk) return status;
  json.jsonParser = parser;
  status = prepareTagTree(ripper);
  if (status != kStatusOk) return status;
  // Member names mostly come in column order, and the block parser tries
  // the column after the last one matched before the tree; that gives the
  // tree's answer only when no two columns share a tag.
  json.nextColumn = 0;
  for (int32_t i = 0; i < ripper->table->columnCount; ++i) {
    const KovaColumnState* state = &ripper->columns[i];
    if (!state->tagName) continue;
    const KovaTreeKey key = {state->tagName, state->tagLength};
    if (ripper->tagTree->ops->findItem(ripper->tagTree, &key) != state) {
      json.nextColumn = kJsonNoColumnHints;
    }
  }
  return kStatusOk;
}

KovaStatus bindRipper(KovaRipper* ripper) {
  const KovaObject* table = ripper->table;
  KovaStatus status = kStatusOk;
  switch (table->recfm) {
    case kRecfmDelimited:
    case kRecfmNative:
      status = prepareToUtf8(ripper);
      if (status != kStatusOk) return status;
      ripper->ops.ripBlock = ripper->toUtf8    ? newlineRipBlock
                             : table->textqual ? qualifiedRipBlock
                                               : delimitedRipBlock;
      ripper->ops.convertRecord = splitRecord;
      setTerminators(ripper);
      if (ripper->rowImage) ripper->headerLinesLeft = table->headerLines;
      break;
    case kRecfmClf:
      status = prepareToUtf8(ripper);
      if (status != kStatusOk) return status;
      ripper->ops.ripBlock = ripper->toUtf8 ? newlineRipBlock : newlineRipBlockUTF8;
      ripper->ops.convertRecord = splitClfLine;
      break;
    case kRecfmFixed:
      ripper->recordBuffer =
          static_cast<uint8_t*>(poolAllocate(ripper->pool, static_cast<uint64_t>(table->reclen)));
      if (!ripper->recordBuffer) return kStatusNoMemory;
      ripper->recordBufferSize = static_cast<uint64_t>(table->reclen);
      ripper->ops.ripBlock = fixedRipBlock;
      ripper->ops.convertRecord = ripper->rowImage ? fixedImageRecord : fixedTypedRecord;
      break;
    case kRecfmVarbin:
      ripper->ops.ripBlock = varBinaryRipBlock;
      break;
    case kRecfmXml:
      status = prepareXml(ripper);
      if (status != kStatusOk) return status;
      ripper->ops.ripBlock = xmlRipBlock;
      break;
    case kRecfmJson:
      status = prepareJson(ripper);
      if (status != kStatusOk) return status;
      ripper->ops.ripBlock = jsonRipBlock;
      break;
    default:
      return kStatusNotSupported;
  }
  trackRejects(ripper);
  return kStatusOk;
}

void bindBurner(KovaRipper* burner) {
  const uint32_t recfm = burner->table->recfm;
  if (burner->rowImage) {
    burner->ops.writeRows = imageWriteRows;
  } else if (recfm == kRecfmFixed || recfm == kRecfmNative) {
    burner->ops.writeRows = fixedWriteRows;
  } else if (recfm == kRecfmVarbin) {
    burner->ops.writeRows = varbinWriteRows;
    burner->ops.writeRowsInto = varbinWriteRowsInto;
  } else {
    burner->ops.writeRows = delimitedWriteRows;
  }
  if (recfm == kRecfmDelimited) setTerminators(burner);
  planTextColumns(burner);
}

}  // namespace

KovaStatus bindRecordFormat(KovaRipper* ripper) {
  if (ripper->output) {
    bindBurner(ripper);
  } else {
    KovaStatus status = bindRipper(ripper);
    if (status != kStatusOk) return status;
  }
  ripper->bound = 1;
  return kStatusOk;
}

}  // namespace kova
