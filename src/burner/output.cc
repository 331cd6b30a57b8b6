#include "src/burner/output.h"

#include <string_view>

#include "src/host/grow.h"
#include "src/host/pool.h"

namespace kova {
namespace {

constexpr std::u16string_view kMakeRoomLabel = u"resultMakeRoom";
constexpr uint8_t kDefaultNullText[] = {'\\', 'N'};
constexpr uint64_t kDefaultNullRoom = 16;

constexpr uint8_t kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

KovaStatus resultMakeRoom(KovaRipper* burner, uint64_t needed, bool pending) {
  uint64_t size = 0;
  // A sum that wraps is a request no pool can meet: growInSteps refuses it.
  if (__builtin_add_overflow(burner->recordLength, needed, &size)) size = ~uint64_t(0);
  return growInSteps(burner->pool, burner->diagnostics, burner->recordBuffer,
                     burner->recordBufferSize, size, burner->recordLength != 0 || pending,
                     kMakeRoomLabel);
}

KovaStatus reserveForRows(KovaRipper* burner, uint64_t perField, uint64_t rowCount) {
  const int32_t columns = burner->table->columnCount;
  uint64_t size = 0;
  if (__builtin_mul_overflow(uint64_t(columns > 0 ? columns : 0) * perField, rowCount, &size) ||
      __builtin_add_overflow(size, 20, &size)) {
    size = ~uint64_t(0);
  }
  return makeRoom(burner, size);
}

KovaStatus runWriter(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                     const uint8_t** data, uint64_t* dataLength,
                     KovaStatus (*write)(KovaRipper* burner, const uint8_t* rows,
                                         uint64_t rowCount)) {
  *data = nullptr;
  *dataLength = 0;
  burner->recordLength = 0;
  // A remainder shorter than a row is ignored.
  const uint64_t rowCount = burner->rowLength ? byteCount / burner->rowLength : 0;
  KovaStatus status = write(burner, rows, rowCount);
  if (status != kStatusOk) return status;
  *data = burner->recordBuffer;
  *dataLength = burner->recordLength;
  return kStatusOk;
}

int64_t readInteger(const uint8_t* value, uint32_t storageType) {
  switch (storageType) {
    case kStorageInt64: {
      int64_t v;
      std::memcpy(&v, value, 8);
      return v;
    }
    case kStorageInt32: {
      int32_t v;
      std::memcpy(&v, value, 4);
      return v;
    }
    case kStorageUint32: {
      uint32_t v;
      std::memcpy(&v, value, 4);
      return v;
    }
    case kStorageInt16: {
      int16_t v;
      std::memcpy(&v, value, 2);
      return v;
    }
    case kStorageUint16: {
      uint16_t v;
      std::memcpy(&v, value, 2);
      return v;
    }
    case kStorageInt8:
      return static_cast<int8_t>(*value);
    default:  // unsigned 8-bit
      return *value;
  }
}

KovaStatus appendNullText(KovaRipper* burner, uint64_t* length) {
  const KovaObject* table = burner->table;
  const bool own = table->nullTextLength != 0 && table->nullText != nullptr;
  const uint8_t* text = own ? table->nullText : kDefaultNullText;
  const uint64_t n = own ? table->nullTextLength : sizeof kDefaultNullText;
  *length = 0;
  KovaStatus status = makeRoom(burner, own ? n : kDefaultNullRoom);
  if (status != kStatusOk) return status;
  std::memcpy(outputEnd(burner), text, n);
  *length = n;
  return kStatusOk;
}

KovaStatus encodeBase64(KovaPool* pool, const uint8_t* source, uint64_t length,
                        uint8_t** destination, uint64_t* written) {
  const bool allocate = *destination == nullptr;
  uint8_t* out = *destination;
  if (allocate) {
    out = static_cast<uint8_t*>(poolAllocate(pool, base64Length(length) + 1));
    if (!out) {
      *written = 0;
      return kStatusNoMemory;
    }
    *destination = out;
  }
  uint8_t* p = out;
  uint64_t i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t group = uint32_t(source[i]) << 16 | uint32_t(source[i + 1]) << 8 | source[i + 2];
    p[0] = kAlphabet[group >> 18];
    p[1] = kAlphabet[(group >> 12) & 63];
    p[2] = kAlphabet[(group >> 6) & 63];
    p[3] = kAlphabet[group & 63];
    p += 4;
  }
  if (i < length) {
    const bool two = i + 1 < length;
    const uint32_t group = uint32_t(source[i]) << 16 | (two ? uint32_t(source[i + 1]) << 8 : 0);
    p[0] = kAlphabet[group >> 18];
    p[1] = kAlphabet[(group >> 12) & 63];
    p[2] = two ? kAlphabet[(group >> 6) & 63] : uint8_t('=');
    p[3] = '=';
    p += 4;
  }
  *written = uint64_t(p - out);
  if (allocate) *p = 0;
  return kStatusOk;
}

}  // namespace kova
