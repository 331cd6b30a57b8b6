// A KovaRejectDiagnostics for the fuzz targets of binary tables: every value
// a ripper reports must lie where it says in the file it was fed (its bytes
// at fieldOffset, inside its record), name a column of the table and give a
// reason a binary ripper has. Counts what it saw.
#pragma once

#include <cstring>

#include "fuzz/fuzz_support.h"

namespace kova::fuzzing {

struct RejectCheck {
  KovaRejectDiagnostics abi;  // first: the module hands back its address
  const uint8_t* file;
  size_t size;
  uint64_t seen = 0;

  RejectCheck(const uint8_t* bytes, size_t length) : file(bytes), size(length) {
    static const KovaDiagnosticsOps kOps = {&RejectCheck::log, &RejectCheck::status};
    abi.base.ops = &kOps;
    abi.reject = &RejectCheck::reject;
  }
  static void log(KovaDiagnostics*, int32_t, const char16_t*, int64_t, va_list) {}
  static void status(KovaDiagnostics*, int32_t, KovaStatus) {}
  static void reject(KovaRejectDiagnostics* self, KovaRipper* ripper, const KovaReject* r) {
    auto* c = reinterpret_cast<RejectCheck*>(self);
    ++c->seen;
    check(r->column < uint32_t(ripper->table->columnCount), "a reject of no column");
    check(r->reason == kRejectNotReadable || r->reason == kRejectOutOfRange ||
              r->reason == kRejectCut,
          "a reject reason no binary ripper gives");
    check(r->recordOffset >= 0 && r->fieldOffset >= r->recordOffset && r->fieldLength >= 0 &&
              uint64_t(r->fieldOffset) + uint64_t(r->fieldLength) <= c->size,
          "a reject placed outside the file");
    check(r->fieldLength == 0 ||
              std::memcmp(r->field, c->file + r->fieldOffset, size_t(r->fieldLength)) == 0,
          "a reject's bytes are not those at its offset");
    const KovaObject* table = ripper->table;
    if (table->recfm == kRecfmFixed) {
      check(r->recordOffset % table->reclen == 0, "a FIXED record offset off the record grid");
      check(r->fieldOffset - r->recordOffset == ripper->columns[r->column].column->offset,
            "a FIXED field not at its column's offset");
    }
  }
};

// Created, described and bound with kRipperReportRejects into sink.
inline KovaRipper* trackingRipper(KovaObject* table, uint32_t flags, RejectCheck* sink) {
  KovaRipperOptions options{};
  options.flags = flags | kRipperReportRejects;
  KovaRipper* ripper = module().extension->createRipper(table, &options, &sink->abi.base);
  check(ripper != nullptr, "createRipper failed");
  check(ripper->ops.describe(ripper) != nullptr, "describe failed");
  check(ripper->ops.bind(ripper) == kStatusOk, "bind failed");
  return ripper;
}

}  // namespace kova::fuzzing
