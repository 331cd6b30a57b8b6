#include "src/ripper/create.h"

#include <algorithm>
#include <cstring>

#include "src/host/kernel.h"
#include "src/host/log.h"
#include "src/host/nls.h"
#include "src/host/options.h"
#include "src/host/pool.h"
#include "src/host/siblings.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/layout.h"
#include "src/ripper/operations.h"
#include "src/ripper/rejects.h"
#include "src/ripper/row_block.h"
#include "src/ripper/transcoder_cache.h"

namespace kova {
namespace {

constexpr int32_t kTraceLevel = 9;

// The can's releaser of format objects: each releases itself through its
// hook, when it has one.
void releaseFormatObject(void* object) {
  auto* format = static_cast<KovaFormatObject*>(object);
  if (format && format->release) format->release(format);
}

uint32_t truncationCount(KovaRipper* ripper) { return ripper->truncations; }
uint32_t reservedCount(KovaRipper* ripper) { return ripper->reservedCounter; }
void resetTruncationCount(KovaRipper* ripper) { ripper->truncations = 0; }
void resetReservedCount(KovaRipper* ripper) { ripper->reservedCounter = 0; }

bool binaryRecords(uint32_t recfm) {
  return recfm == kRecfmFixed || recfm == kRecfmVarbin || recfm == kRecfmNative;
}

// Row-image rows know DELIMITED, FIXED, CLF, XML and JSON; typed rows also
// VARBIN and NATIVE.
bool recordFormatAllowed(uint32_t recfm, bool rowImage) {
  switch (recfm) {
    case kRecfmDelimited:
    case kRecfmFixed:
    case kRecfmClf:
    case kRecfmXml:
    case kRecfmJson:
      return true;
    case kRecfmVarbin:
    case kRecfmNative:
      return !rowImage;
    default:
      return false;
  }
}

int clampedLength(uint64_t length) {
  return static_cast<int>(std::min<uint64_t>(length, 0x7FFFFFFF));
}

// Copies the client's OS name into the pool and writes the trace lines that
// go with it. False when the copy cannot be made.
bool takeClientOsName(KovaRipper* ripper, const KovaRipperOptions& options) {
  if (!options.clientOsName || options.clientOsNameLength <= 0) return true;
  uint64_t length = static_cast<uint64_t>(options.clientOsNameLength);
  auto* copy = static_cast<char16_t*>(poolAllocate(ripper->pool, length * 2));
  if (!copy) return false;
  std::memcpy(copy, options.clientOsName, length * 2);
  ripper->clientOsName = copy;
  ripper->clientOsNameLength = length;
  if (ripper->traceLevel >= kTraceLevel) {
    logLine(ripper->diagnostics, kLogTrace,
            u"KOVA RIPPER/BURNER byte order provided in the KOVA object isBigEndian=[%d]",
            static_cast<int>(ripper->table->bigendian));
    logLine(ripper->diagnostics, kLogTrace,
            u"KOVA RIPPER/BURNER Client OS Name [%.*s] Client OS byte order [%d] Is MOXE [%d]",
            clampedLength(length), copy, static_cast<int>(options.clientByteOrder),
            static_cast<int>(options.flags & kRipperMoxeClient));
  }
  return true;
}

// The encoding of character values in rows. Row-image rows use the host's
// session encoding; when the host cannot say (or names no encoding), the
// table's, else UTF-8. Typed rows use the table's; a DELIMITED table without
// one is set to UTF-8.
uint32_t chooseRowEncoding(KovaObject* table, bool rowImage) {
  if (rowImage) {
    int64_t session = 0;
    if (readIntegerOption(kOptionSessionEncoding, &session) && session > 0 &&
        validEncoding(session)) {
      return static_cast<uint32_t>(session);
    }
    return table->encoding != 0 ? static_cast<uint32_t>(table->encoding) : kEncodingUtf8;
  }
  if (table->recfm == kRecfmDelimited && table->encoding == 0) table->encoding = kEncodingUtf8;
  return static_cast<uint32_t>(table->encoding);
}

// A burner writes delimited text for every text format; binary formats take
// the byte order the client asks for.
void prepareOutput(KovaRipper* ripper, KovaObject* table, const KovaRipperOptions& options) {
  ripper->output = 1;
  if (!binaryRecords(table->recfm)) {
    table->recfm = kRecfmDelimited;
    if (table->fieldsep == 0) table->fieldsep = 0x01;
    return;
  }
  table->bigendian = (ripper->moxeClient && options.clientByteOrder == kClientBigEndian) ? 1 : 0;
  if (ripper->traceLevel >= kTraceLevel) {
    logLine(ripper->diagnostics, kLogTrace,
            u"KOVA BURNER (OUTPUT) processing MOXE. Is BIG_ENDIAN=[%d]",
            static_cast<int>(table->bigendian));
  }
}

// The encoding of field bytes as the parsers deliver them. A JSON table
// needs zrejson, which is registered in the can. False when it is missing.
// True when every character of encoding is one byte and ASCII keeps its
// bytes: no byte of a value can be taken for a separator it is not.
bool writesAsciiBytes(KovaRipper* ripper, int32_t encoding) {
  if (encoding <= 0 || encoding == int32_t(kEncodingUtf8)) return false;
  KovaEncodingInfo info{};
  KovaNls* nls = ripper->nls;
  return nls && nls->ops->encodingInfo(nls, encoding, &info) == kStatusOk &&
         info.maxBytesPerChar == 1 &&
         !needsTranscoding(ripper, kEncodingLiteral, uint32_t(encoding));
}

bool chooseFieldEncoding(KovaRipper* ripper, const KovaObject* table) {
  if (binaryRecords(table->recfm)) {
    ripper->fieldEncoding = static_cast<uint32_t>(table->encoding);
    // A NATIVE ripper splits its records as text, from the UTF-8 copy of
    // each block when the table's encoding is not UTF-8: its fields then
    // reach the converters in UTF-8.
    if (table->recfm == kRecfmNative && !ripper->output && table->encoding != 0 &&
        needsTranscoding(ripper, ripper->fieldEncoding, kEncodingUtf8)) {
      ripper->fieldEncoding = kEncodingUtf8;
    }
  } else if (table->recfm == kRecfmJson) {
    KovaExtensionHandle* json = loadSibling(kJsonSibling, ripper->diagnostics);
    if (!json || registerHostObject(ripper, json) != kStatusOk) return false;
    ripper->json.jsonExtension = json;
    ripper->fieldEncoding = kEncodingWide;
  } else if (table->recfm == kRecfmXml) {
    ripper->fieldEncoding = kEncodingWide;
  } else if (ripper->output && writesAsciiBytes(ripper, table->encoding)) {
    // A text burner writes its separators, qualifiers and line ends as
    // ASCII bytes and looks for them in the values byte by byte: its values
    // go out in the table's own encoding when that is safe (an ISO-8859-1
    // table gets ISO-8859-1 text), otherwise in UTF-8.
    ripper->fieldEncoding = uint32_t(table->encoding);
  } else {
    ripper->fieldEncoding = kEncodingUtf8;
  }
  return true;
}

void installOperations(KovaRipper* ripper, uint32_t flags) {
  ripper->ops.destroy = destroyRipper;
  ripper->ops.convertRecord = convertRecordUnbound;
  ripper->ops.unused5 = unusedSlotUnbound;
  ripper->ops.ripBlock = ripBlockUnbound;
  ripper->ops.writeRows = writeRowsUnbound;
  ripper->ops.flushPending = flushPending;
  ripper->ops.truncationCount = truncationCount;
  ripper->ops.reservedCount = reservedCount;
  ripper->ops.resetTruncationCount = resetTruncationCount;
  ripper->ops.resetReservedCount = resetReservedCount;
  ripper->nullAsMissing = (flags & kRipperNullAsMissing) ? 1 : 0;
  ripper->writeNullText = (flags & kRipperWriteNullText) ? 1 : 0;
  ripper->binaryAsBase64 = (flags & kRipperBinaryAsBase64) ? 1 : 0;
  ripper->timePrecisionFromScale = (flags & kRipperTimePrecisionFromScale) ? 1 : 0;
  ripper->escapeStyle = (flags & kRipperEscapeStyle) ? 1 : 0;
}

// The pool, the ripper in it, and the can with its two releasers. Null when
// any of them cannot be had (what was made is released).
KovaRipper* newRipper(KovaDiagnostics* diagnostics) {
  KovaKernel* k = kernel();
  KovaPool* pool = createPool(k, 0, diagnostics, "zrekova ripper");
  if (!pool) return nullptr;
  auto* whole = static_cast<ModuleRipper*>(poolAllocate(pool, sizeof(ModuleRipper), true));
  if (!whole) {
    destroyPool(pool);
    return nullptr;
  }
  KovaRipper* ripper = &whole->ripper;
  ripper->pool = pool;
  ripper->diagnostics = diagnostics;
  KovaCanOptions canOptions{};
  canOptions.kind = 3;
  canOptions.mode = 2;
  KovaCan* can = k->ops->createResourceCan(k, &canOptions, diagnostics, "riprcan");
  if (!can) {
    destroyRipper(ripper);
    return nullptr;
  }
  ripper->resourceCan = can;
  if (can->ops->canSetReleaser(can, kCanKindHost, kCanReleaseSelf) != kStatusOk ||
      can->ops->canSetReleaser(can, kCanKindFormat,
                               reinterpret_cast<uintptr_t>(&releaseFormatObject)) != kStatusOk) {
    destroyRipper(ripper);
    return nullptr;
  }
  return ripper;
}

KovaRipper* abandon(KovaRipper* ripper) {
  destroyRipper(ripper);
  return nullptr;
}

}  // namespace

int32_t destroyRipper(KovaRipper* ripper) {
  if (!ripper) return 0;
  KovaCan* can = ripper->resourceCan;
  KovaExtensionHandle* formatExtension = ripper->formatExtension;
  KovaFormatEngine* formatEngine = ripper->formatEngine;
  KovaPool* pool = ripper->pool;
  if (can) can->ops->destroyCan(can);
  destroyFormatEngine(formatExtension, formatEngine);
  releaseSibling(formatExtension);
  destroyPool(pool);
  return 0;
}

KovaRipper* createRipper(KovaObject* table, const KovaRipperOptions* givenOptions,
                         KovaDiagnostics* diagnostics) {
  if (!table || !kernel() || !nls()) return nullptr;
  if (!validEncoding(table->encoding) || table->columnCount < 0 ||
      (table->columnCount > 0 && !table->columns)) {
    return nullptr;
  }
  const KovaRipperOptions options = givenOptions ? *givenOptions : KovaRipperOptions{};
  const bool rowImage = (options.flags & kRipperRowImage) != 0;

  KovaRipper* ripper = newRipper(diagnostics);
  if (!ripper) return nullptr;
  std::memcpy(ripper->eyecatcher, "nevo", 4);
  ripper->name = table->instanceName;
  ripper->ops.destroy = destroyRipper;
  ripper->table = table;
  ripper->nls = nls();
  ripper->charExpansion = options.charExpansion;
  ripper->traceLevel = options.traceLevel;
  ripper->moxeClient = (options.flags & kRipperMoxeClient) ? 1 : 0;
  ripper->rowImage = rowImage ? 1 : 0;

  takeRejectSink(ripper, options.flags, diagnostics);
  if (!takeClientOsName(ripper, options)) return abandon(ripper);

  if (table->columnCount > 0) {
    ripper->columns = static_cast<KovaColumnState*>(
        poolAllocate(ripper->pool, sizeof(KovaColumnState) * uint64_t(table->columnCount), true));
    if (!ripper->columns) return abandon(ripper);
    moduleSide(ripper)->settings = static_cast<ColumnSettings*>(
        poolAllocate(ripper->pool, sizeof(ColumnSettings) * uint64_t(table->columnCount), true));
    if (!moduleSide(ripper)->settings) return abandon(ripper);
  }

  ripper->rowEncoding = chooseRowEncoding(table, rowImage);
  if (options.flags & kRipperOutput) prepareOutput(ripper, table, options);
  if (!chooseFieldEncoding(ripper, table)) return abandon(ripper);
  installOperations(ripper, options.flags);
  KovaExtensionObject* extension = table->extension;
  ripper->locale = extension ? extension->locale : nullptr;
  if (!recordFormatAllowed(table->recfm, rowImage)) return abandon(ripper);

  ripper->ops.describe = rowImage ? describeRowImage : describeTyped;
  if (!rowImage && table->encoding != 0) {
    // The table's encoding handle, made ahead when the host gives one; a
    // refusal here is not an error (bind asks again where a column needs it).
    KovaEncodingHandle* handle = nullptr;
    (void)cachedHandle(ripper, static_cast<uint32_t>(table->encoding), &handle);
  }
  return ripper;
}

// ---- Slots 4 to 7 until bind ------------------------------------------------

KovaStatus convertRecordUnbound(KovaRipper*, const uint8_t*, int64_t, uint8_t*) {
  return kStatusNotSupported;
}

KovaStatus unusedSlotUnbound(KovaRipper*) { return kStatusNotSupported; }

KovaStatus ripBlockUnbound(KovaRipper*, const uint8_t*, int64_t, uint8_t**, int32_t*) {
  return kStatusNotSupported;
}

KovaStatus writeRowsUnbound(KovaRipper*, const uint8_t*, uint64_t, const uint8_t**, uint64_t*) {
  return kStatusNotSupported;
}

}  // namespace kova
