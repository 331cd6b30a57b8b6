// numInformat: one field of text as a double, through the column's numeric
// informat or the host's number reader. A text that cannot be read is the
// missing value; nothing here fails a record.
#include <algorithm>

#include "src/convert/missing.h"
#include "src/host/log.h"
#include "src/host/pool.h"
#include "src/host/siblings.h"
#include "src/ripper/convert_dates.h"
#include "src/ripper/convert_value.h"

namespace kova {
namespace {

// The field as 16-bit text in wideScratch for an informat that reads it;
// false when it cannot be converted whole.
bool fieldToWideScratch(KovaRipper* ripper, const KovaColumnState* state, const uint8_t* text,
                        uint32_t n, uint64_t* units) {
  const uint64_t need = 2 * uint64_t(n);
  if (ripper->wideScratchSize < need) {
    void* grown = poolResize(ripper->pool, ripper->wideScratch, need);
    if (grown) {
      ripper->wideScratch = static_cast<char16_t*>(grown);
      ripper->wideScratchSize = need;
    } else {
      logAllocationFailure(ripper->diagnostics, u"numInformat[2]", int64_t(need));
    }
  }
  return convertToWide(ripper, state, text, n, ripper->wideScratch, ripper->wideScratchSize,
                       units) == kStatusOk;
}

}  // namespace

double numInformat(KovaRipper* ripper, KovaColumnState* state, const uint8_t* text, uint32_t n) {
  KovaFormatObject* informat = state->formatObject;
  if (!informat) {
    KovaEncodingHandle* handle = state->sourceHandle;
    if (!handle) return kMissing;
    double value = kMissing;
    uint64_t scratch = 0;
    KovaStatus status =
        handle->ops->readDouble(handle, ripper->locale, text, n, 0, &value, &scratch);
    return status == kStatusOk ? value : kMissing;
  }
  const void* input = text;
  uint64_t length = n;
  if (informat->inputKind == kFormatKindWide) {
    // The common date and time texts need neither 16-bit text nor the
    // informat's general reader.
    double value;
    if (const DateReader reader = dateReaderOf(state);
        reader != DateReader::kNone && readDateText(reader, text, n, &value)) {
      return value;
    }
    if (!fieldToWideScratch(ripper, state, text, n, &length)) return kMissing;
    input = ripper->wideScratch;
  }
  double value = kMissing;
  // A field longer than the informat's input length can say is no number.
  if (!setFormatInput(informat, input, length)) return kMissing;
  informat->width = formatWidthOf(length);
  setFormatOutput(informat, &value, sizeof value);
  KovaStatus status = informat->run ? informat->run(informat, 0) : kStatusNotSupported;
  informat->output = nullptr;  // the double lives on this stack frame only
  if (status != kStatusOk) {
    logLine(ripper->diagnostics, kLogWarning,
            u"Unable to format numeric value. Returning MISSING value. RC=[%d]",
            static_cast<int>(status));
    return kMissing;
  }
  return value;
}

}  // namespace kova
