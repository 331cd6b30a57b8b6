// The per-column half of bind: the informat (ripper) or format (burner) of
// each column, by its name or by a default, and the transcoders and encoding
// handles its values need, all taken from the ripper's cache.
#include <algorithm>
#include <string_view>

#include "src/host/kernel.h"
#include "src/host/pool.h"
#include "src/host/siblings.h"
#include "src/metadata/text.h"
#include "src/ripper/bind.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/transcoder_cache.h"

namespace kova {
namespace {

// Room for a formatted default name: the longest ("ANYDTTME" or "TIME" with
// two 64-bit numbers) is well below this many characters.
constexpr int64_t kDefaultNameUnits = 64;

constexpr std::u16string_view kAnyDate = u"ANYDTDTE.";
constexpr std::u16string_view kAnyTime = u"ANYDTTME.";
constexpr std::u16string_view kAnyDatetime = u"ANYDTDTM.";
constexpr std::u16string_view kIeeeBig = u"IEEE.";
constexpr std::u16string_view kIeeeLittle = u"IEEER.";
constexpr std::u16string_view kDateOut = u"YYMMDD10.";
constexpr std::u16string_view kTimeOut = u"TIME8.";

void setName(KovaColumnState* state, std::u16string_view name) {
  state->formatName = name.data();
  state->formatNameLength = static_cast<int64_t>(name.size());
}

bool fixedLike(const KovaRipper* ripper) {
  uint32_t recfm = ripper->table->recfm;
  return recfm == kRecfmFixed || recfm == kRecfmNative;
}

// A default name with numbers in it, printed into a buffer from the pool.
template <typename... Numbers>
KovaStatus setFormattedName(KovaRipper* ripper, KovaColumnState* state, std::u16string_view format,
                            Numbers... numbers) {
  KovaKernel* k = kernel();
  if (!k) return kStatusNotSupported;
  auto* buffer = static_cast<char16_t*>(poolAllocate(ripper->pool, kDefaultNameUnits * 2, true));
  if (!buffer) return kStatusNoMemory;
  int64_t length = 0;
  KovaStatus status =
      k->ops->printWide(k, nullptr, format.data(), static_cast<int64_t>(format.size()), buffer,
                        kDefaultNameUnits, &length, 0, static_cast<long long>(numbers)...);
  if (status != kStatusOk) return status;
  state->formatName = buffer;
  state->formatNameLength = length;
  return kStatusOk;
}

// The ripper's informat name: the column's, else a default by type.
KovaStatus chooseInformat(KovaRipper* ripper, KovaColumnState* state) {
  const KovaColumn* column = state->column;
  if (textSet(column->informat, column->informatLength)) {
    setName(state, textView(column->informat, column->informatLength));
    return kStatusOk;
  }
  if (fixedLike(ripper)) {
    bool dateOrNumber = column->type == kTypeDouble || column->type == kTypeDate ||
                        column->type == kTypeTime || column->type == kTypeTimestamp;
    if (dateOrNumber && column->c_type == kCTypeDouble) {
      setName(state, state->bigEndian ? kIeeeBig : kIeeeLittle);
    }
    return kStatusOk;
  }
  switch (column->type) {
    case kTypeDate:
      setName(state, kAnyDate);
      return kStatusOk;
    case kTypeTime: {
      if (!ripper->timePrecisionFromScale) {
        setName(state, kAnyTime);
        return kStatusOk;
      }
      int64_t scale = column->scale;
      return setFormattedName(ripper, state, u"ANYDTTME%lld.", scale < 1 ? 11 : scale + 12);
    }
    case kTypeTimestamp:
      setName(state, kAnyDatetime);
      return kStatusOk;
    default:
      return kStatusOk;
  }
}

// The burner's format name: in row-image mode the column's when it has one;
// otherwise a default by type (FIXED and NATIVE have none).
KovaStatus chooseFormat(KovaRipper* ripper, KovaColumnState* state) {
  const KovaColumn* column = state->column;
  if (ripper->rowImage && textSet(column->format, column->formatLength)) {
    setName(state, textView(column->format, column->formatLength));
    return kStatusOk;
  }
  if (fixedLike(ripper)) return kStatusOk;
  switch (column->type) {
    case kTypeDate:
      setName(state, kDateOut);
      return kStatusOk;
    case kTypeTime: {
      if (!ripper->timePrecisionFromScale) {
        setName(state, kTimeOut);
        return kStatusOk;
      }
      // A scale below 1 means whole seconds: no decimals, never negative ones.
      int64_t scale = column->scale;
      return setFormattedName(ripper, state, u"TIME%lld.%lld", scale < 1 ? 8 : scale + 9,
                              std::max<int64_t>(scale, 0));
    }
    default:
      return kStatusOk;
  }
}

// Looks the chosen name up in the format engine and registers the result in
// the can. A name that does not split, an engine that cannot be had or an
// unknown name bind nothing; the engine is not asked for again once it
// could not be made.
KovaStatus bindFormat(KovaRipper* ripper, KovaColumnState* state, int32_t kind,
                      bool* engineUnavailable) {
  if (!textSet(state->formatName, state->formatNameLength)) return kStatusOk;
  const char16_t* name = nullptr;
  int64_t nameLength = 0;
  int32_t width = 0;
  int32_t decimals = 0;
  if (!splitFormatName(ripper->locale, state->formatName, state->formatNameLength, &name,
                       &nameLength, &width, &decimals)) {
    return kStatusOk;
  }
  if (!ripper->formatEngine) {
    if (*engineUnavailable) return kStatusOk;
    ripper->formatEngine = createFormatEngine(&ripper->formatExtension);
    if (!ripper->formatEngine) {
      *engineUnavailable = true;
      return kStatusOk;
    }
  }
  KovaFormatObject* format =
      lookupFormat(ripper->formatEngine, name, nameLength, ripper->locale, kind);
  if (!format) return kStatusOk;
  KovaCan* can = ripper->resourceCan;
  if (can->ops->canAdd(can, 0, kCanKindFormat, format, 0, 0, 0, 0) != kStatusOk) {
    if (format->release) format->release(format);
    return kStatusNoMemory;
  }
  format->width = width;
  format->decimals = decimals;
  state->formatObject = format;
  return kStatusOk;
}

KovaStatus transcoderIfNeeded(KovaRipper* ripper, uint32_t from, uint32_t to,
                              KovaTranscoder** transcoder) {
  if (!needsTranscoding(ripper, from, to)) return kStatusOk;
  return cachedTranscoder(ripper, from, to, transcoder);
}

// Ripper: field bytes to the row (direct), through 16-bit text (toWide,
// fromWide), and the handles of both encodings.
KovaStatus ripperTranscoders(KovaRipper* ripper, KovaColumnState* state) {
  const uint32_t field = state->fieldEncoding;
  const uint32_t row = state->rowEncoding;
  KovaStatus status = kStatusOk;
  if (field != 0 && row != 0) {
    status = transcoderIfNeeded(ripper, field, row, &state->directTranscoder);
    if (status != kStatusOk) return status;
    // UTF-8 fields into a row encoding that writes ASCII as ASCII: a field
    // of ASCII bytes is its own transcoding, so it may skip the transcoder.
    settingsOf(ripper, state).asciiPasses = state->directTranscoder && field == kEncodingUtf8 &&
                                            !needsTranscoding(ripper, kEncodingLiteral, row);
  }
  if (row != 0) {
    status = cachedHandle(ripper, row, &state->targetHandle);
    if (status != kStatusOk) return status;
  }
  if (field != 0) {
    status = cachedHandle(ripper, field, &state->sourceHandle);
    if (status != kStatusOk) return status;
    status = transcoderIfNeeded(ripper, field, kEncodingWide, &state->toWide);
    if (status != kStatusOk) return status;
  }
  if (row != 0) status = transcoderIfNeeded(ripper, kEncodingWide, row, &state->fromWide);
  return status;
}

// Burner: row bytes to the file (direct), the file encoding's handle, row
// text to 16-bit text for a format (toWide) and formatted text to the file
// (fromWide).
KovaStatus burnerTranscoders(KovaRipper* ripper, KovaColumnState* state) {
  const uint32_t field = state->fieldEncoding;
  const uint32_t row = state->rowEncoding;
  KovaStatus status = kStatusOk;
  if (field != 0 && row != 0) {
    status = transcoderIfNeeded(ripper, row, field, &state->directTranscoder);
    if (status != kStatusOk) return status;
  }
  if (field != 0) {
    status = cachedHandle(ripper, field, &state->targetHandle);
    if (status != kStatusOk) return status;
    settingsOf(ripper, state).asciiPasses = !needsTranscoding(ripper, kEncodingLiteral, field);
  }
  if (state->formatObject && row != 0) {
    status = transcoderIfNeeded(ripper, row, kEncodingWide, &state->toWide);
    if (status != kStatusOk) return status;
  }
  if (field != 0) status = transcoderIfNeeded(ripper, kEncodingWide, field, &state->fromWide);
  return status;
}

}  // namespace

KovaStatus bindColumns(KovaRipper* ripper) {
  const KovaObject* table = ripper->table;
  const int32_t kind = ripper->output ? kFormatLookupFormat : kFormatLookupInformat;
  bool engineUnavailable = false;
  for (int32_t i = 0; i < table->columnCount; ++i) {
    KovaColumnState* state = &ripper->columns[i];
    state->index = i;
    KovaStatus nameStatus =
        ripper->output ? chooseFormat(ripper, state) : chooseInformat(ripper, state);
    KovaStatus status = bindFormat(ripper, state, kind, &engineUnavailable);
    if (nameStatus != kStatusOk) return nameStatus;
    if (status != kStatusOk) return status;
    status = ripper->output ? burnerTranscoders(ripper, state) : ripperTranscoders(ripper, state);
    if (status != kStatusOk) return status;
  }
  return kStatusOk;
}

}  // namespace kova
