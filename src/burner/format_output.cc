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
  if (state->fromWide && asciiField(burner, state) && units <= limit) {
    // Formatted texts are nearly always ASCII: then they are their own
    // transcoding into a field encoding that writes ASCII as ASCII.
    char16_t high = 0;
    for (uint64_t i = 0; i < units; ++i) high |= text[i];
    if (high < 0x80) {
      for (uint64_t i = 0; i < units; ++i) output[i] = static_cast<uint8_t>(text[i]);
      return units;
    }
  }
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

uint64_t throughFormat(KovaRipper* burner, KovaColumnState* state, uint8_t* output, double value) {
  KovaFormatObject* format = state->formatObject;
  if (!format->run) return 0;
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
  return wideToOutput(burner, state, burner->wideScratch, uint64_t(n), output, uint64_t(units) * 4);
}

// Writes v as exactly digits decimal digits (v below 10^digits).
uint8_t* putDigits(uint8_t* p, uint32_t v, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    p[i] = static_cast<uint8_t>('0' + v % 10);
    v /= 10;
  }
  return p + digits;
}

// "%04d-%02d-%02d %02d:%02d:%02d" and ".%09d" cut to shown digits, in ASCII.
uint64_t asciiStamp(uint8_t* out, int year, int month, int day, int hour, int minute, int second,
                    int nanos, int shown) {
  uint8_t* p = out;
  p = putDigits(p, uint32_t(year), year >= 10000 ? 5 : 4);
  *p++ = '-';
  p = putDigits(p, uint32_t(month), 2);
  *p++ = '-';
  p = putDigits(p, uint32_t(day), 2);
  *p++ = ' ';
  p = putDigits(p, uint32_t(hour), 2);
  *p++ = ':';
  p = putDigits(p, uint32_t(minute), 2);
  *p++ = ':';
  p = putDigits(p, uint32_t(second), 2);
  if (shown > 0) {
    *p++ = '.';
    uint8_t fraction[9];
    putDigits(fraction, uint32_t(nanos), 9);
    std::memcpy(p, fraction, size_t(shown));
    p += shown;
  }
  return uint64_t(p - out);
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
  // The time of day lies in [0, 86400): its hour, minute and second (with
  // the fraction) by exact subtraction.
  const double hours = std::floor(time / 3600);
  const double inHour = time - hours * 3600;
  const double minutes = std::floor(inHour / 60);
  const double seconds = inHour - minutes * 60;
  const double whole = std::floor(seconds);
  const int hour = static_cast<int>(hours);
  const int minute = static_cast<int>(minutes);
  const int second = static_cast<int>(whole);
  const int64_t digits = state->column->charlength;
  const int shown = digits < 1 ? 0 : static_cast<int>(std::min<int64_t>(digits, 9));
  int nanos = 0;
  if (shown > 0) {
    // The fraction is rounded at the last digit printed (a double holds a
    // far date's microseconds only approximately) and never carried into
    // the second: at most nine digits, never ten.
    int unit = 1;
    for (int i = shown; i < 9; ++i) unit *= 10;
    const double units = std::floor((seconds - whole) * 1e9 / unit + 0.5);
    nanos = static_cast<int>(std::clamp(units, 0.0, 1e9 / unit - 1)) * unit;
  }
  if (asciiField(burner, state)) {
    return asciiStamp(output, int(year), int(month), int(day), hour, minute, second, nanos, shown);
  }

  KovaKernel* k = kernel();
  if (!k) return 0;
  char16_t text[kStampUnits];
  int64_t length = 0;
  KovaStatus status;
  if (shown == 0) {
    constexpr std::u16string_view layout = u"%04d-%02d-%02d %02d:%02d:%02d";
    status = k->ops->printWide(k, burner->locale, layout.data(), int64_t(layout.size()), text,
                               kStampUnits, &length, 0, int(year), int(month), int(day), hour,
                               minute, second);
  } else {
    constexpr std::u16string_view layout = u"%04d-%02d-%02d %02d:%02d:%02d.%09d";
    status = k->ops->printWide(k, burner->locale, layout.data(), int64_t(layout.size()), text,
                               kStampUnits, &length, 0, int(year), int(month), int(day), hour,
                               minute, second, nanos);
    if (status == kStatusOk) length -= 9 - shown;
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
