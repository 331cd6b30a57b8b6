// formatForOutput: one 8-byte floating value as the text of a field. With a
// bound format the format engine writes it (16-bit results through the
// burner's wideScratch and the column's fromWide transcoder); without one,
// TIMESTAMP columns get "YYYY-MM-DD hh:mm:ss" with 0 to 9 fraction digits and
// every other column the host's number text.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "src/burner/output.h"
#include "src/convert/calendar.h"
#include "src/convert/missing.h"
#include "src/host/kernel.h"
#include "src/host/log.h"
#include "src/host/pool.h"

namespace kova {
namespace {

constexpr uint64_t kNumberRoom = 153;
constexpr uint64_t kNumberCapacity = 152;
constexpr int32_t kNumberWidth = 20;
constexpr uint32_t kNumberFlags = 0x800;
constexpr int64_t kStampUnits = 40;
constexpr std::u16string_view kScratchLabel = u"numFormat";
// A format bound without a width writes its own default width; this many
// characters leave room for any of them.
constexpr int32_t kDefaultFormatUnits = 32;

int32_t formatUnits(const KovaFormatObject* format) {
  return format->width > 0 ? format->width : kDefaultFormatUnits;
}

// 16-bit text of units characters to output: transcoded to the column's
// field encoding (at most limit bytes), or copied and cut to limit.
uint64_t wideToOutput(KovaRipper* burner, const KovaColumnState* state, const char16_t* text,
                      uint64_t units, uint8_t* output, uint64_t limit) {
  if (KovaTranscoder* transcoder = state->fromWide) {
    uint64_t written = 0;
    // A text that does not fit comes back cut; the status is not looked at.
    (void)transcoder->ops->transcode(transcoder, text, units * 2, output, limit, &written, 0);
    return std::min(written, limit);
  }
  uint64_t bytes = units * 2;
  if (bytes > limit) {
    bytes = limit;
    ++burner->truncations;
  }
  std::memcpy(output, text, bytes);
  return bytes;
}

uint64_t throughFormat(KovaRipper* burner, KovaColumnState* state, uint8_t* output,
                       double value) {
  KovaFormatObject* format = state->formatObject;
  const int32_t units = formatUnits(format);
  const bool wide = format->outputKind == kFormatKindWide;
  if (wide) {
    if (burner->wideScratchSize < uint64_t(units)) {
      void* grown = poolResize(burner->pool, burner->wideScratch, uint64_t(units) * 2);
      if (!grown) {
        logAllocationFailure(burner->diagnostics, kScratchLabel, int64_t(units) * 2);
        return 0;
      }
      burner->wideScratch = static_cast<char16_t*>(grown);
      burner->wideScratchSize = uint64_t(units);
    }
    format->output = burner->wideScratch;
  } else {
    format->output = output;
  }
  format->outputCapacity = static_cast<decltype(format->outputCapacity)>(units);
  format->input = &value;
  format->outputLength = 0;
  (void)format->run(format, 0);
  const int64_t n = std::clamp<int64_t>(static_cast<int64_t>(format->outputLength), 0, units);
  if (!wide) return uint64_t(n);
  return wideToOutput(burner, state, burner->wideScratch, uint64_t(n), output,
                      uint64_t(units) * 4);
}

uint64_t timestampText(KovaRipper* burner, const KovaColumnState* state, uint8_t* output,
                       double value) {
  const double date = datePart(value);
  const double time = timePart(value);
  const double yearDay = dateToJulian(date);
  if (isMissing(yearDay) || isMissing(time)) return 0;
  double year = 0, month = 0, day = 0;
  julianToYmd(yearDay, &year, &month, &day);
  if (isMissing(year)) return 0;
  const double seconds = secondOf(time);
  const double whole = static_cast<double>(static_cast<int64_t>(seconds));
  const int hour = static_cast<int>(hourOf(time));
  const int minute = static_cast<int>(minuteOf(time));
  const int second = static_cast<int>(whole);
  const int64_t digits = state->column->charlength;

  KovaKernel* k = kernel();
  if (!k) return 0;
  char16_t text[kStampUnits];
  int64_t length = 0;
  KovaStatus status;
  if (digits < 1) {
    constexpr std::u16string_view layout = u"%04d-%02d-%02d %02d:%02d:%02d";
    status = k->ops->printWide(k, burner->locale, layout.data(), int64_t(layout.size()), text,
                               kStampUnits, &length, 0, int(year), int(month), int(day), hour,
                               minute, second);
  } else {
    // The fraction is rounded at the last digit printed (a double holds a
    // far date's microseconds only approximately) and never carried into
    // the second: at most nine digits, never ten.
    const int shown = static_cast<int>(std::min<int64_t>(digits, 9));
    int unit = 1;
    for (int i = shown; i < 9; ++i) unit *= 10;
    const double units = std::floor((seconds - whole) * 1e9 / unit + 0.5);
    const int nanos = static_cast<int>(std::clamp(units, 0.0, 1e9 / unit - 1)) * unit;
    constexpr std::u16string_view layout = u"%04d-%02d-%02d %02d:%02d:%02d.%09d";
    status = k->ops->printWide(k, burner->locale, layout.data(), int64_t(layout.size()), text,
                               kStampUnits, &length, 0, int(year), int(month), int(day), hour,
                               minute, second, nanos);
    if (status == kStatusOk && digits < 9) length -= 9 - digits;
  }
  if (status != kStatusOk || length <= 0) return 0;
  return wideToOutput(burner, state, text, uint64_t(length), output, kNumberCapacity);
}

}  // namespace

uint64_t formattedRoom(const KovaColumnState* state) {
  if (!state->formatObject) return kNumberRoom;
  return std::max<uint64_t>(kNumberRoom, uint64_t(formatUnits(state->formatObject)) * 4);
}

uint64_t formatForOutput(KovaRipper* burner, KovaColumnState* state, uint8_t* output,
                         double value) {
  if (state->formatObject) return throughFormat(burner, state, output, value);
  if (state->column->type == kTypeTimestamp) return timestampText(burner, state, output, value);
  KovaEncodingHandle* handle = state->targetHandle;
  if (!handle) return 0;
  uint64_t length = 0;
  KovaStatus status = handle->ops->formatDouble(handle, burner->locale, value, kNumberWidth, 0,
                                                kNumberFlags, output, kNumberCapacity, &length);
  if (status != kStatusOk) return 0;
  return std::min(length, kNumberCapacity);
}

}  // namespace kova
