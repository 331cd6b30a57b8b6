#include "tests/conversion/conversion_test_util.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace kova::testing {
namespace {

KovaStatus runStandIn(KovaFormatObject* object, int32_t) {
  auto* self = reinterpret_cast<StandInInformat*>(object);
  self->seenWidth = object->width;
  self->seenInput.assign(static_cast<const char16_t*>(object->input), size_t(object->inputLength));
  if (self->failWith != kStatusOk) return self->failWith;
  if (self->kind == StandInInformat::Kind::kDouble) {
    std::string narrow(self->seenInput.begin(), self->seenInput.end());
    char* end = nullptr;
    double value = std::strtod(narrow.c_str(), &end);
    if (narrow.empty() || *end != '\0') return kStatusNotANumber;
    std::memcpy(object->output, &value, 8);
    object->outputLength = 8;
    return kStatusOk;
  }
  auto* out = static_cast<char16_t*>(object->output);
  int64_t n = 0;
  for (char16_t c : self->seenInput) {
    if (n == object->outputCapacity) break;
    out[n++] = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  }
  object->outputLength = n;
  return kStatusOk;
}

}  // namespace

StandInInformat::StandInInformat(Kind k) : kind(k) {
  object.inputKind = kFormatKindWide;
  object.outputKind = k == Kind::kDouble ? kFormatKindDouble : kFormatKindWide;
  object.run = runStandIn;
}

std::vector<uint8_t> ConversionTest::newRow(KovaRipper* ripper, uint8_t stale) {
  std::vector<uint8_t> row(ripper->rowLength, stale);
  clearRow(ripper, row.data());
  return row;
}

void ConversionTest::convert(KovaRipper* ripper, std::vector<uint8_t>& row, uint32_t field,
                             std::string_view text) {
  // A heap copy of exactly the field's size: a read past it is caught.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[text.size() ? text.size() : 1]);
  std::memcpy(copy.get(), text.data(), text.size());
  EXPECT_EQ(convertField(ripper, row.data(), field, copy.get(), uint32_t(text.size())), kStatusOk);
}

int64_t ConversionTest::indicator(KovaRipper* ripper, const std::vector<uint8_t>& row,
                                  uint32_t entry) {
  const KovaLayoutEntry& e = ripper->typedLayout[entry];
  const uint8_t* at = row.data() + e.indicatorOffset;
  switch (e.indicatorWidth & kIndicatorWidthMask) {
    case kIndicatorWidth1:
      return int8_t(at[0]);
    case kIndicatorWidth2: {
      int16_t v;
      std::memcpy(&v, at, 2);
      return v;
    }
    case kIndicatorWidth4: {
      int32_t v;
      std::memcpy(&v, at, 4);
      return v;
    }
    default: {
      int64_t v;
      std::memcpy(&v, at, 8);
      return v;
    }
  }
}

std::string ConversionTest::value(KovaRipper* ripper, const std::vector<uint8_t>& row,
                                  uint32_t entry, size_t n) {
  const KovaLayoutEntry& e = ripper->typedLayout[entry];
  return std::string(reinterpret_cast<const char*>(row.data() + e.dataOffset),
                     n ? n : size_t(e.octetLength));
}

std::string ConversionTest::imageValue(KovaRipper* ripper, const std::vector<uint8_t>& row,
                                       uint32_t entry) {
  const KovaRowImageEntry& e = ripper->imageLayout[entry];
  return std::string(reinterpret_cast<const char*>(row.data() + e.offset),
                     e.length < 0 ? 8 : size_t(e.length));
}

double ConversionTest::imageNumber(KovaRipper* ripper, const std::vector<uint8_t>& row,
                                   uint32_t entry) {
  double v;
  std::memcpy(&v, row.data() + ripper->imageLayout[entry].offset, 8);
  return v;
}

}  // namespace kova::testing
