// The block parser of JSON tables and the callbacks its zrejson parser
// calls. Each object that begins while no record is open is one record and
// one row; objects nested in it only deepen it, and its own end closes the
// row. A member whose name is a column's tag (looked up in the tag tree)
// delivers that column's value through convertWideValue. A record open at
// the end of a block is saved in fragment and continued in the first row of
// the next block; the parser keeps its own state between blocks.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace kova {
namespace {

constexpr std::u16string_view kParseError =
    u"Unable to parse JSON File [Error=0x%X]; While parsing byte chunk: [%d->%d] after "
    u"successfully parsing %d records";
constexpr std::u16string_view kParseErrorBetween =
    u"Unable to parse JSON File [Error=0x%X]; While parsing byte chunk after objectEnd: "
    u"[%d->%d] after successfully parsing %d records";

// The ripper is in the word right after the callback table.
inline KovaRipper* ownerOf(KovaJsonCallbacks* table) {
  static_assert(offsetof(KovaJsonState, callbackOwner) ==
                offsetof(KovaJsonState, callbacks) + sizeof(KovaJsonCallbacks));
  KovaRipper* ripper;
  std::memcpy(&ripper, reinterpret_cast<const uint8_t*>(table) + sizeof(KovaJsonCallbacks),
              sizeof ripper);
  return ripper;
}

inline uint8_t* openRow(KovaRipper* ripper) {
  return ripper->rowBlock + uint64_t(ripper->rowsInBlock) * ripper->rowLength;
}

// The column a member name belongs to, or -2. The column after the last
// one matched is tried before the tree unless two columns share a tag
// (bind sets kJsonNoColumnHints then).
int32_t columnOfName(KovaRipper* ripper, const char16_t* name, uint32_t units) {
  KovaJsonState& json = ripper->json;
  const int32_t next = json.nextColumn;
  if (next >= 0 && next < ripper->table->columnCount) {
    const KovaColumnState& state = ripper->columns[next];
    if (state.tagName && state.tagLength == units &&
        std::memcmp(state.tagName, name, size_t(units) * 2) == 0) {
      json.nextColumn = next + 1;
      return next;
    }
  }
  KovaTree* tree = ripper->tagTree;
  if (!tree) return -2;
  const KovaTreeKey key = {name, units};
  const auto* state = static_cast<const KovaColumnState*>(tree->ops->findItem(tree, &key));
  if (!state) return -2;
  if (next != kJsonNoColumnHints) json.nextColumn = state->index + 1;
  return state->index;
}

// Converts the text of a value into the current column of the open row;
// pieces of one string gather in pendingText until the last one.
KovaStatus deliver(KovaRipper* ripper, const char16_t* text, int32_t lengthBytes, bool more) {
  KovaJsonState& json = ripper->json;
  if (!ripper->rowStarted || json.currentColumn < 0) return kStatusOk;
  const int64_t units = lengthBytes > 0 ? lengthBytes / 2 : 0;
  if (!more && json.pendingLength == 0) {
    return convertWideValue(ripper, openRow(ripper), uint32_t(json.currentColumn), text, units);
  }
  const int64_t need = json.pendingLength + units;
  if (need > json.pendingCapacity) {
    const int64_t capacity = (need + 1023) & ~int64_t(1023);
    void* grown = poolResize(ripper->pool, json.pendingText, uint64_t(capacity) * 2);
    if (!grown) {
      logAllocationFailure(ripper->diagnostics, u"JSONString", capacity * 2);
      return kStatusNoMemory;
    }
    json.pendingText = static_cast<char16_t*>(grown);
    json.pendingCapacity = capacity;
  }
  if (units > 0) std::memcpy(json.pendingText + json.pendingLength, text, size_t(units) * 2);
  json.pendingLength = need;
  if (more) return kStatusOk;
  json.pendingLength = 0;
  return convertWideValue(ripper, openRow(ripper), uint32_t(json.currentColumn), json.pendingText,
                          need);
}

// Logs a parse failure of the block [bytesParsed, bytesParsed + length).
void logParseFailure(KovaRipper* ripper, KovaStatus status, int64_t length) {
  const int64_t from = ripper->bytesParsed;
  logLine(ripper->diagnostics, kLogError, ripper->rowStarted ? kParseError : kParseErrorBetween,
          static_cast<unsigned>(status), static_cast<int>(from), static_cast<int>(from + length),
          static_cast<int>(ripper->recordsParsed + ripper->rowsInBlock));
}

}  // namespace

KovaStatus jsonRipBlock(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                        int32_t* rowCount) {
  ripper->rowsInBlock = 0;
  if (refusedBlock(bytes, length, rowCount)) return kStatusNotSupported;
  // A host that passes no outputs gets the block parsed all the same.
  uint8_t* unusedRows = nullptr;
  int32_t unusedCount = 0;
  if (!rows) rows = &unusedRows;
  if (!rowCount) rowCount = &unusedCount;
  *rowCount = 0;
  const int64_t columns = ripper->table->columnCount > 0 ? ripper->table->columnCount : 1;
  const int64_t estimate =
      std::min<int64_t>(length / (columns * 10) + 10, std::numeric_limits<int32_t>::max());
  if (estimate > ripper->blockCapacity) {
    KovaStatus status = sizeRowBlock(ripper, uint64_t(estimate), true);
    if (status != kStatusOk) return status;
  }
  // The record the last block left open continues in the first row.
  if (ripper->rowStarted) std::memcpy(ripper->rowBlock, ripper->fragment, ripper->rowLength);

  KovaJsonParser* parser = ripper->json.jsonParser;
  KovaStatus status = parser ? parser->ops->parse(parser, bytes, length, 0) : kStatusNotSupported;
  if (status != kStatusOk && status != kStatusDocumentComplete) {
    // A callback that could not grow a buffer has logged its line already.
    if (status == kStatusNoMemory) return status;
    logParseFailure(ripper, status, length);
    return kStatusJsonParse;
  }
  if (ripper->rowStarted) {
    if (!ripper->fragment) {  // the row length never changes after describe
      ripper->fragment = static_cast<uint8_t*>(poolAllocate(ripper->pool, ripper->rowLength));
      if (!ripper->fragment) {
        logAllocationFailure(ripper->diagnostics, u"jsonRipBlock", int64_t(ripper->rowLength));
        return kStatusNoMemory;
      }
    }
    std::memcpy(ripper->fragment, openRow(ripper), ripper->rowLength);
  }
  ripper->bytesParsed += uint32_t(length);
  ripper->recordsParsed += ripper->rowsInBlock;
  *rows = ripper->rowBlock;
  *rowCount = int32_t(ripper->rowsInBlock);
  return kStatusOk;
}

KovaStatus jsonFinish(KovaRipper* ripper) {
  ripper->rowsInBlock = 0;  // the end of the input completes no row
  KovaJsonParser* parser = ripper->json.jsonParser;
  KovaStatus status = parser ? parser->ops->parse(parser, nullptr, 0, 1) : kStatusNotSupported;
  if (status == kStatusOk || status == kStatusDocumentComplete) {
    if (!ripper->rowStarted) return kStatusOk;
    status = kStatusJsonParse;  // a parser that let an open record pass
  }
  if (status == kStatusNoMemory) return status;
  logParseFailure(ripper, status, 0);
  return kStatusJsonParse;
}

KovaStatus jsonStartObject(KovaJsonCallbacks* table) {
  KovaRipper* ripper = ownerOf(table);
  KovaJsonState& json = ripper->json;
  if (ripper->rowStarted) {  // an object inside the record
    ++json.objectDepth;
    return kStatusOk;
  }
  const uint32_t used = ripper->rowsInBlock;
  if (int64_t(used) >= ripper->blockCapacity) {
    // Half as much again: blocks of many small records must not grow a few
    // rows at a time.
    KovaStatus status = sizeRowBlock(ripper, used + std::max<uint64_t>(10, used / 2), used == 0);
    if (status != kStatusOk) return status;
  }
  clearRow(ripper, openRow(ripper));
  ripper->rowStarted = 1;
  json.objectDepth = 1;
  if (json.nextColumn != kJsonNoColumnHints) json.nextColumn = 0;
  json.currentColumn = -1;
  json.pendingLength = 0;
  return kStatusOk;
}

KovaStatus jsonEndObject(KovaJsonCallbacks* table) {
  KovaRipper* ripper = ownerOf(table);
  KovaJsonState& json = ripper->json;
  if (!ripper->rowStarted) return kStatusOk;
  if (--json.objectDepth > 0) return kStatusOk;
  ++ripper->rowsInBlock;
  ripper->rowStarted = 0;
  json.objectDepth = 0;
  json.currentColumn = -1;
  json.pendingLength = 0;
  return kStatusOk;
}

KovaStatus jsonNullValue(KovaJsonCallbacks*) { return kStatusOk; }

KovaStatus jsonBooleanValue(KovaJsonCallbacks* table, uint8_t value) {
  static constexpr char16_t kTrue[1] = {u'1'};
  static constexpr char16_t kFalse[1] = {u'0'};
  return deliver(ownerOf(table), value ? kTrue : kFalse, 2, false);
}

KovaStatus jsonNumberValue(KovaJsonCallbacks* table, const char16_t* text, int32_t lengthBytes) {
  return deliver(ownerOf(table), text, lengthBytes, false);
}

KovaStatus jsonStringValue(KovaJsonCallbacks* table, const char16_t* text, int32_t lengthBytes,
                           uint32_t flags) {
  KovaRipper* ripper = ownerOf(table);
  if (flags & kJsonStringMemberName) {
    const uint32_t units = lengthBytes > 0 ? uint32_t(lengthBytes) / 2 : 0;
    ripper->json.currentColumn = columnOfName(ripper, text, units);
    return kStatusOk;
  }
  return deliver(ripper, text, lengthBytes, (flags & kJsonStringMorePieces) != 0);
}

}  // namespace kova
