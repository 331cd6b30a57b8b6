// The block parser of XML tables and the callbacks its zrexml parser calls.
// Every element named like the table's recordTag is one row; inside it, the
// end of an element named like a column's tag stores the text collected
// since the last element boundary into that column. The parser keeps its
// own state between blocks; a row still open at the end of a block is saved
// in fragment and continues in the first row of the next.
//
// The first bytes of the document are gathered (recordBuffer, made by bind)
// until there are 7 of them or the XML declaration they begin is complete,
// and then parsed as one block.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/operations.h"
#include "src/ripper/parsed_rows.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

constexpr uint64_t kGatherAtLeast = 7;
// A document that begins "<?" gathers no more than this while waiting for
// the "?": the parser judges what follows.
constexpr uint64_t kGatherAtMost = 64 * 1024;

KovaRipper* ownerOf(KovaXmlCallbacks* table) {
  // The ripper sits in the word after the callback table (callbackOwner).
  KovaRipper* ripper;
  std::memcpy(&ripper, reinterpret_cast<const uint8_t*>(table) + sizeof(KovaXmlCallbacks),
              sizeof ripper);
  return ripper;
}

const KovaColumnState* findTag(const KovaRipper* ripper, const char16_t* name, int32_t nameBytes) {
  if (!ripper->tagTree || nameBytes < 0) return nullptr;
  const KovaTreeKey key = {name, static_cast<uint32_t>(nameBytes / 2)};
  return static_cast<const KovaColumnState*>(ripper->tagTree->ops->findItem(ripper->tagTree, &key));
}

// Tags are short: compared in place rather than through memcmp.
bool hasTag(const KovaColumnState* item, const char16_t* name, int32_t nameBytes) {
  if (!item || !item->tagName || int64_t(item->tagLength) * 2 != nameBytes) return false;
  const char16_t* tag = item->tagName;
  for (uint32_t i = 0, n = item->tagLength; i < n; ++i) {
    if (tag[i] != name[i]) return false;
  }
  return true;
}

// The item of a start element. Columns mostly come in order: with tags all
// different, the column after the last one matched answers as the tree would.
const KovaColumnState* findStartTag(KovaRipper* ripper, const char16_t* name, int32_t nameBytes) {
  KovaXmlState& xml = ripper->xml;
  if (xml.tagsUnique && xml.nextColumn >= 0 && xml.nextColumn < ripper->table->columnCount) {
    const KovaColumnState* next = &ripper->columns[xml.nextColumn];
    if (hasTag(next, name, nameBytes)) return next;
  }
  return findTag(ripper, name, nameBytes);
}

// The item of an end element: when the element has no children it is the
// one its start found.
const KovaColumnState* findEndTag(KovaRipper* ripper, const char16_t* name, int32_t nameBytes) {
  const KovaColumnState* last = ripper->xml.lastStarted;
  if (ripper->xml.tagsUnique && hasTag(last, name, nameBytes)) return last;
  return findTag(ripper, name, nameBytes);
}

uint8_t* openRow(KovaRipper* ripper) {
  return ripper->rowBlock + uint64_t(ripper->rowsInBlock) * ripper->rowLength;
}

// Appends n bytes to the gathered first bytes. True when gathering is over:
// 7 bytes or more and, when they begin "<?", a "?" from the third byte to
// the last but one (only the bytes not looked at before are scanned).
KovaStatus gather(KovaRipper* ripper, const uint8_t* bytes, uint64_t n, bool* done) {
  const uint64_t before = ripper->recordLength;
  const uint64_t after = before + n;
  if (after > ripper->recordBufferSize) {
    const uint64_t size = std::max(after, 2 * ripper->recordBufferSize);
    void* grown = poolResize(ripper->pool, ripper->recordBuffer, size);
    if (!grown) return kStatusNoMemory;
    ripper->recordBuffer = static_cast<uint8_t*>(grown);
    ripper->recordBufferSize = size;
  }
  if (n > 0) std::memcpy(ripper->recordBuffer + before, bytes, n);
  ripper->recordLength = after;
  const uint8_t* gathered = ripper->recordBuffer;
  *done = false;
  if (after < kGatherAtLeast) return kStatusOk;
  if (gathered[0] != '<' || gathered[1] != '?' || after >= kGatherAtMost) {
    *done = true;
    return kStatusOk;
  }
  const uint64_t from = before < kGatherAtLeast ? 2 : std::max<uint64_t>(2, before - 1);
  const uint64_t to = after - 1;  // the last byte does not count
  *done = from < to && std::memchr(gathered + from, '?', to - from) != nullptr;
  return kStatusOk;
}

// Sizes the block, continues an open row, feeds the parser and saves the
// row left open. A parser status other than 0 and complete comes back
// unchanged with the outputs unset.
KovaStatus parseBytes(KovaRipper* ripper, const uint8_t* bytes, int64_t length, bool final,
                      uint8_t** rows, int32_t* rowCount) {
  KovaStatus status = sizeBlockForBytes(ripper, length);
  if (status != kStatusOk) return status;
  restoreOpenRow(ripper);
  KovaXmlObject* parser = ripper->xml.xmlParser;
  status = parser->ops->parse(parser, bytes, length, final ? 1 : 0);
  if (status != kStatusOk && status != kStatusDocumentComplete) return status;
  status = saveOpenRow(ripper);
  if (status != kStatusOk) return status;
  if (rows) *rows = ripper->rowBlock;
  if (rowCount) *rowCount = static_cast<int32_t>(ripper->rowsInBlock);
  return kStatusOk;
}

// Leaves the gathering state: the gathered bytes are parsed as one block and
// their buffer given back. When the row block cannot be had the bytes stay
// gathered, so that the block can be given again.
KovaStatus parseGathered(KovaRipper* ripper, bool final, uint8_t** rows, int32_t* rowCount) {
  KovaStatus sized = sizeBlockForBytes(ripper, static_cast<int64_t>(ripper->recordLength));
  if (sized != kStatusOk) return sized;
  ripper->recordBufferSize = 0;
  KovaStatus status = parseBytes(ripper, ripper->recordBuffer,
                                 static_cast<int64_t>(ripper->recordLength), final, rows, rowCount);
  if (ripper->recordBuffer) poolFree(ripper->pool, ripper->recordBuffer);
  ripper->recordBuffer = nullptr;
  ripper->recordLength = 0;
  return status;
}

}  // namespace

KovaStatus xmlRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                       int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  if (rowCount) *rowCount = 0;
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;
  if (ripper->recordBufferSize != 0) {
    bool done = false;
    KovaStatus status = gather(ripper, bytes, uint64_t(length), &done);
    if (status != kStatusOk || !done) return status;
    return parseGathered(ripper, false, rows, rowCount);
  }
  return parseBytes(ripper, bytes, length, false, rows, rowCount);
}

KovaStatus xmlFlushPending(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  if (!ripper->xml.xmlParser) return kStatusOk;
  if (ripper->recordBufferSize != 0) return parseGathered(ripper, true, rows, rowCount);
  return parseBytes(ripper, nullptr, 0, true, rows, rowCount);
}

KovaStatus xmlStartElement(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes,
                           int32_t, const KovaXmlAttribute*) {
  KovaRipper* ripper = ownerOf(table);
  KovaXmlState& xml = ripper->xml;
  xml.xmlTextLength = 0;
  const KovaColumnState* item = findStartTag(ripper, name, nameBytes);
  xml.lastStarted = item;
  if (!item) return kStatusOk;
  xml.nextColumn = item->index + 1;
  if (item->index != -1) return kStatusOk;
  // A record inside an open record starts that row again.
  KovaStatus status = growRowBlock(ripper);
  if (status != kStatusOk) return status;
  clearRow(ripper, openRow(ripper));
  ripper->rowStarted = 1;
  return kStatusOk;
}

KovaStatus xmlCharacters(KovaXmlCallbacks* table, const char16_t* text, int32_t lengthBytes) {
  KovaRipper* ripper = ownerOf(table);
  // Text outside a record (the white space between records) has no column.
  if (lengthBytes < 2 || !ripper->rowStarted) return kStatusOk;
  KovaXmlState& xml = ripper->xml;
  const int64_t units = lengthBytes / 2;
  const int64_t needed = xml.xmlTextLength + units;
  if (needed > xml.xmlTextCapacity) {
    // At least double: one text node can arrive in very many pieces.
    const int64_t capacity = (std::max(needed, 2 * xml.xmlTextCapacity) + 1023) & ~int64_t(1023);
    void* grown =
        poolResize(ripper->pool, xml.xmlText, uint64_t(capacity) * 2, xml.xmlTextLength == 0);
    if (!grown) {
      logAllocationFailure(ripper->diagnostics, u"XMLcharData",
                           std::min<int64_t>(capacity * 2, std::numeric_limits<int32_t>::max()));
      return kStatusNoMemory;
    }
    xml.xmlText = static_cast<char16_t*>(grown);
    xml.xmlTextCapacity = capacity;
  }
  std::memcpy(xml.xmlText + xml.xmlTextLength, text, size_t(units) * 2);
  xml.xmlTextLength = needed;
  return kStatusOk;
}

KovaStatus xmlEndElement(KovaXmlCallbacks* table, const char16_t* name, int32_t nameBytes) {
  KovaRipper* ripper = ownerOf(table);
  const KovaColumnState* item = findEndTag(ripper, name, nameBytes);
  KovaXmlState& xml = ripper->xml;
  xml.lastStarted = nullptr;
  const int64_t units = xml.xmlTextLength;
  // The text of an element ends with it: a column element around it then
  // gets only the text after its last child.
  xml.xmlTextLength = 0;
  if (!item || !ripper->rowStarted) return kStatusOk;
  if (item->index == -1) {
    ++ripper->rowsInBlock;
    ripper->rowStarted = 0;
    return kStatusOk;
  }
  return convertWideValue(ripper, openRow(ripper), static_cast<uint32_t>(item->index), xml.xmlText,
                          units);
}

}  // namespace kova
