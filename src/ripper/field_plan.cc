// Building the delimited column plan. Every decision mirrors convertTyped in
// convert_field.cc: a column is planned only where the plan stores what the
// general path would, and the module's number readers are used only where
// the host's readers of the field encoding give the same values on the
// probe texts (a host that reads numbers its own way keeps reading them).
#include "src/ripper/field_plan.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

namespace kova {
namespace {

// Signs, leading zeros, every digit and the ends of the 18-digit range.
constexpr std::string_view kIntegerProbes[] = {"0",
                                               "7",
                                               "-1",
                                               "+42",
                                               "-0",
                                               "0009",
                                               "1234567890",
                                               "-987654321",
                                               "999999999999999999",
                                               "-999999999999999999"};

// Points, fractions that are no exact binary, the ends of 15 digits.
constexpr std::string_view kDoubleProbes[] = {"0",
                                              "-0",
                                              "1.5",
                                              "0.1",
                                              "-123.456",
                                              "2.675",
                                              "999999999999999",
                                              "0.00000000000001",
                                              "3.14159265358979",
                                              "-0.3",
                                              "100",
                                              "123456.789012345"};

const uint8_t* bytesOf(std::string_view text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

// True when the host's reader (readInteger or readDouble) gives every probe
// the value, bit for bit, that the module's reader gives it.
template <typename T, size_t kCount, typename Mine, typename Host>
bool readersAgree(KovaRipper* ripper, KovaEncodingHandle* handle,
                  const std::string_view (&probes)[kCount], Mine mine, Host host) {
  for (std::string_view probe : probes) {
    T ours{};
    T theirs{};
    uint64_t scratch = 0;
    if (!mine(bytesOf(probe), uint32_t(probe.size()), &ours)) return false;
    const KovaStatus status =
        host(handle, ripper->locale, probe.data(), probe.size(), 0, &theirs, &scratch);
    if (status != kStatusOk || std::memcmp(&ours, &theirs, sizeof(T)) != 0) return false;
  }
  return true;
}

}  // namespace

FieldPlan planColumn(KovaRipper* ripper, KovaColumnState* state) {
  FieldPlan plan{};
  const KovaLayoutEntry* entry = state->typedEntry;
  if (!entry) return plan;
  plan.indicatorWidth = uint8_t(entry->indicatorWidth & kIndicatorWidthMask);
  plan.storageType = uint8_t(entry->storageType);
  plan.nullIndicator = nullIndicator(ripper, entry);
  plan.octetLength = entry->octetLength;
  plan.dataOffset = entry->dataOffset;
  plan.indicatorOffset = entry->indicatorOffset;
  ColumnSettings& settings = settingsOf(ripper, state);
  switch (entry->storageType) {
    case kStorageChar:
    case kStorageBinary: {
      // What plainCopy allows: no informat on a column without a character
      // length, and no transcoding beyond ASCII passing through.
      const uint64_t charLength = state->charLength;
      if (charLength == 0 && state->formatObject) return plan;
      if (state->directTranscoder && !settings.asciiPasses) return plan;
      uint64_t limit = std::min<uint64_t>(entry->octetLength, uint64_t(INT32_MAX));
      if (charLength != 0) limit = std::min(limit, charLength);
      plan.textLimit = uint32_t(limit);
      plan.asciiOnly = state->directTranscoder != nullptr;
      plan.kind = FieldKind::kText;
      return plan;
    }
    case kStorageInt64:
    case kStorageInt32:
    case kStorageInt16:
    case kStorageInt8:
      if (state->formatObject || !state->sourceHandle) return plan;
      probeNumberReaders(ripper, state);
      if (settings.integersInModule) plan.kind = FieldKind::kInteger;
      return plan;
    case kStorageDouble: {
      if (!state->formatObject) {
        if (!state->sourceHandle) return plan;
        probeNumberReaders(ripper, state);
        if (settings.doublesInModule) plan.kind = FieldKind::kDouble;
        return plan;
      }
      if (state->formatObject->inputKind != kFormatKindWide) return plan;
      plan.dateReader = dateReaderOf(ripper, state);
      if (plan.dateReader != DateReader::kNone) plan.kind = FieldKind::kDate;
      return plan;
    }
    case kStorageDecimal: {
      // Precision and scale as convertDecimalText takes them.
      const KovaColumn* column = state->column;
      plan.precision = static_cast<uint8_t>(column->charlength);
      plan.scale = static_cast<int8_t>(column->bytelength);
      if (plan.precision >= 1 && plan.precision <= kAsciiDecimalPrecision && plan.scale >= 0 &&
          plan.scale <= int8_t(plan.precision)) {
        plan.kind = FieldKind::kDecimal;
      }
      return plan;
    }
    default:
      return plan;
  }
}

void probeNumberReaders(KovaRipper* ripper, const KovaColumnState* state) {
  ColumnSettings& settings = moduleSide(ripper)->settings[state - ripper->columns];
  KovaEncodingHandle* handle = state->sourceHandle;
  if (settings.probedHandle == handle && handle && settings.probedOps == handle->ops) return;
  settings.probedHandle = handle;
  settings.probedOps = handle ? handle->ops : nullptr;
  settings.integersInModule =
      handle && handle->ops->readInteger &&
      readersAgree<int64_t>(ripper, handle, kIntegerProbes, asciiInteger, handle->ops->readInteger);
  settings.doublesInModule =
      handle && handle->ops->readDouble &&
      readersAgree<double>(ripper, handle, kDoubleProbes, asciiDouble, handle->ops->readDouble);
}

uint32_t prepareFieldPlans(KovaRipper* ripper) {
  ModuleRipper* m = moduleSide(ripper);
  const KovaObject* table = ripper->table;
  if (ripper->rowImage || m->rejects || !m->settings || !ripper->columns) return 0;
  const uint32_t count = table->columnCount > 0 ? uint32_t(table->columnCount) : 0;
  for (uint32_t i = 0; i < count; ++i) {
    m->settings[i].plan = planColumn(ripper, &ripper->columns[i]);
  }
  return count;
}

}  // namespace kova
