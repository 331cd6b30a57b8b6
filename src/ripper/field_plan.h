// The delimited parser's column plan: at the start of each block every
// column's state is resolved once into a FieldPlan (column_settings.h), and
// each field is then converted inline by its plan; whatever a plan does not
// cover (a field it cannot read in place, informats other than the date
// readers, row images, rejected-value reports) goes to convertField, which
// stays the general path. A planned conversion stores exactly the bytes
// convertField would. Used on the ripper's one thread by the delimited block
// parser.
#pragma once

#include <cstdint>
#include <cstring>

#include "kova/ripper.h"
#include "src/ripper/ascii_number.h"
#include "src/ripper/column_settings.h"
#include "src/ripper/convert_dates.h"
#include "src/ripper/convert_value.h"
#include "src/ripper/iso_fixed.h"
#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"
#include "src/ripper/force_inline.h"

namespace kova {

// Resolves every column's plan for the block about to be parsed. Returns
// the number of planned columns: 0 when the block must take the general
// path for every field (row images, rejected-value reports, no columns).
uint32_t prepareFieldPlans(KovaRipper* ripper);

// One column's plan (kind kGeneral when the general path must convert its
// fields); the CLF parser plans its number columns with it too.
FieldPlan planColumn(KovaRipper* ripper, KovaColumnState* state);

// Whether the host's number readers of the column's field encoding read
// the probe texts exactly as asciiInteger and asciiDouble do. Asked once
// per encoding handle; the answers are kept in the column's settings.
void probeNumberReaders(KovaRipper* ripper, const KovaColumnState* state);

namespace field_plan_detail {

KOVA_ALWAYS_INLINE inline void writeIndicatorOf(uint8_t* row, const FieldPlan& plan,
                                                int64_t value) {
  writeIndicatorAt(row + plan.indicatorOffset, plan.indicatorWidth, value);
}

// Stores value in the plan's integer slot; false when it does not fit.
inline bool storeInSlot(uint8_t* row, const FieldPlan& plan, int64_t value) {
  uint8_t* at = row + plan.dataOffset;
  switch (plan.storageType) {
    case kStorageInt8: {
      if (value < INT8_MIN || value > INT8_MAX) return false;
      const auto narrow = static_cast<int8_t>(value);
      std::memcpy(at, &narrow, 1);
      return true;
    }
    case kStorageInt16: {
      if (value < INT16_MIN || value > INT16_MAX) return false;
      const auto narrow = static_cast<int16_t>(value);
      std::memcpy(at, &narrow, 2);
      return true;
    }
    case kStorageInt32: {
      if (value < INT32_MIN || value > INT32_MAX) return false;
      const auto narrow = static_cast<int32_t>(value);
      std::memcpy(at, &narrow, 4);
      return true;
    }
    default:
      std::memcpy(at, &value, 8);
      return true;
  }
}

// The plan's conversion of a field of n >= 1 bytes; false when the field
// must go to the general path (nothing was written then). readable: bytes
// that may be read from bytes on (0 when unknown), at least n.
KOVA_ALWAYS_INLINE inline bool convertByPlan(const FieldPlan& plan, uint8_t* row,
                                             const uint8_t* bytes, uint32_t n,
                                             uint64_t readable = 0) {
  switch (plan.kind) {
    case FieldKind::kText:
      if (n > plan.textLimit || (plan.asciiOnly && !allAscii(bytes, n))) return false;
      copyField(row + plan.dataOffset, bytes, n);
      writeIndicatorOf(row, plan, int64_t(n));
      return true;
    case FieldKind::kInteger: {
      int64_t value;
      // A value outside the slot's range is left to the general path, which
      // counts and notes it.
      // Up to eight plain digits with a word readable: one load.
      const bool read = readable >= 8 && n <= 8 && asciiShortInteger(bytes, n, &value);
      if ((!read && !asciiInteger(bytes, n, &value)) || !storeInSlot(row, plan, value)) {
        return false;
      }
      writeIndicatorOf(row, plan, int64_t(plan.octetLength));
      return true;
    }
    case FieldKind::kDouble: {
      double value;
      if (!asciiDouble(bytes, n, &value)) return false;
      std::memcpy(row + plan.dataOffset, &value, 8);
      writeIndicatorOf(row, plan, 8);
      return true;
    }
    case FieldKind::kDate: {
      double value;
      if (!readIsoFixed(plan.dateReader, bytes, n, &value) &&
          !readDateText(plan.dateReader, bytes, n, &value)) {
        return false;
      }
      std::memcpy(row + plan.dataOffset, &value, 8);
      writeIndicatorOf(row, plan, 8);
      return true;
    }
    case FieldKind::kDecimal: {
      // Written in place: a text the 64-bit path refuses leaves the row as it was.
      auto* value = reinterpret_cast<DecimalValue*>(row + plan.dataOffset);
      if (!asciiDecimal(bytes, n, plan.precision, plan.scale, value)) return false;
      writeIndicatorOf(row, plan, kDecimalSize);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace field_plan_detail

// Converts field number field (n bytes at bytes) into row: by the column's
// plan when planned (prepareFieldPlans' result) covers it and the plan can
// read the text, else by convertField. readable: as for convertByPlan.
KOVA_ALWAYS_INLINE inline void convertPlannedField(KovaRipper* ripper, uint32_t planned,
                                                   uint8_t* row, uint32_t field,
                                                   const uint8_t* bytes, uint32_t n,
                                                   uint64_t readable = 0) {
  if (field < planned) {
    const FieldPlan& plan = moduleSide(ripper)->settings[field].plan;
    if (plan.kind != FieldKind::kGeneral) {
      if (n == 0) {  // an empty field is a null
        field_plan_detail::writeIndicatorOf(row, plan, plan.nullIndicator);
        return;
      }
      // "\N" (a null) and the texts a plan cannot read take the general path.
      if (!(n == 2 && bytes[0] == '\\') &&
          field_plan_detail::convertByPlan(plan, row, bytes, n, readable)) {
        return;
      }
    }
  }
  (void)convertField(ripper, row, field, bytes, n);
}

}  // namespace kova
