// $CHAR and $ (character text to character text) and IEEE and IEEER
// (binary doubles, most or least significant byte first, to and from raw
// bytes).
#include <cstring>

#include "runtime/format/format_conversions.h"
#include "runtime/format/format_support.h"

namespace kova::runtime {
namespace {

constexpr int64_t kDoubleBytes = 8;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Copies text to the output: no more than the width (when set) and the
// output's capacity. A cut is not a failure.
KovaStatus copyText(KovaFormatObject* object, const char16_t* text, int64_t length) {
  int64_t limit = object->outputCapacity;
  if (object->width > 0 && object->width < limit) limit = object->width;
  if (length > limit) length = limit;
  if (length > 0 && !object->output) return noRoom(object);
  if (length > 0) std::memcpy(object->output, text, static_cast<size_t>(length) * sizeof(char16_t));
  object->outputLength = length > 0 ? static_cast<uint32_t>(length) : 0;
  return kStatusOk;
}

const char16_t* inputText(const KovaFormatObject* object, int64_t* length) {
  *length = object->input ? object->inputLength : 0;
  return static_cast<const char16_t*>(object->input);
}

// The bits of the double whose bytes are given most significant first; a
// field shorter than 8 bytes holds the high-order ones.
uint64_t bitsFromBigEndian(const unsigned char* bytes, int64_t count) {
  uint64_t bits = 0;
  for (int64_t i = 0; i < kDoubleBytes; ++i) bits = bits << 8 | (i < count ? bytes[i] : 0u);
  return bits;
}

uint64_t bitsFromLittleEndian(const unsigned char* bytes, int64_t count) {
  uint64_t bits = 0;
  for (int64_t i = 0; i < count; ++i) bits = bits << 8 | bytes[count - 1 - i];
  return bits << (8 * (kDoubleBytes - count));
}

KovaStatus readDouble(KovaFormatObject* object, bool bigEndian) {
  int64_t count = object->input ? object->inputLength : 0;
  if (object->width > 0 && object->width < count) count = object->width;
  if (count > kDoubleBytes) count = kDoubleBytes;  // the first eight bytes
  if (count <= 0) return deliverValue(object, missingValue());
  const auto* bytes = static_cast<const unsigned char*>(object->input);
  const uint64_t bits =
      bigEndian ? bitsFromBigEndian(bytes, count) : bitsFromLittleEndian(bytes, count);
  return deliverValue(object, std::bit_cast<double>(bits));
}

// The high-order `width` bytes of the value, in the order asked for.
KovaStatus writeDouble(KovaFormatObject* object, bool bigEndian) {
  int64_t count = formatFieldWidth(object);
  if (count == 0) return noRoom(object);
  if (count > kDoubleBytes) count = kDoubleBytes;
  const uint64_t bits = std::bit_cast<uint64_t>(formatInput(object));
  auto* out = static_cast<unsigned char*>(object->output);
  for (int64_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bits >> (8 * (kDoubleBytes - 1 - i)));
    out[bigEndian ? i : count - 1 - i] = byte;
  }
  object->outputLength = static_cast<uint32_t>(count);
  return kStatusOk;
}

}  // namespace

KovaStatus copyCharacters(KovaFormatObject* object, int32_t) {
  int64_t length;
  const char16_t* text = inputText(object, &length);
  return copyText(object, text, length);
}

KovaStatus readTrimmedCharacters(KovaFormatObject* object, int32_t) {
  int64_t length;
  const char16_t* text = inputText(object, &length);
  if (object->width > 0 && object->width < length) length = object->width;
  while (length > 0 && isBlank(*text)) ++text, --length;
  while (length > 0 && isBlank(text[length - 1])) --length;
  return copyText(object, text, length);
}

KovaStatus readBigEndianDouble(KovaFormatObject* object, int32_t) {
  return readDouble(object, true);
}

KovaStatus readLittleEndianDouble(KovaFormatObject* object, int32_t) {
  return readDouble(object, false);
}

KovaStatus writeBigEndianDouble(KovaFormatObject* object, int32_t) {
  return writeDouble(object, true);
}

KovaStatus writeLittleEndianDouble(KovaFormatObject* object, int32_t) {
  return writeDouble(object, false);
}

}  // namespace kova::runtime
