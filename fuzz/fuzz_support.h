// Shared pieces of the fuzz targets: the module started
// once per process, a check that aborts with the target's name, a table
// created with columns, rippers created, described and bound, typed rows
// rendered as the bytes that carry meaning, and the host account compared.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kova/extension.h"
#include "kova/metadata.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

extern "C" int32_t zrextver(KovaKernel* kernel, int64_t* major, int64_t* minor);
extern "C" KovaExtensionObject* zrekova(KovaKernel* kernel, KovaDiagnostics* diagnostics);

namespace kova::fuzzing {

// The fuzz target's name, for the messages of check.
extern const char* const kTargetName;

struct Module {
  runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  Module() {
    zrextver(host.kernel(), nullptr, nullptr);
    extension = zrekova(host.kernel(), nullptr);
    if (!extension) {
      std::fprintf(stderr, "zrekova failed\n");
      std::abort();
    }
  }
};

inline Module& module() {
  static Module* m = new Module;
  return *m;
}

inline void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s: %s\n", kTargetName, what);
    std::abort();
  }
}

inline KovaObject* newTable(uint32_t recfm, int32_t encoding) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, "fuzz");
  check(table != nullptr, "createInstance failed");
  table->recfm = recfm;
  table->encoding = encoding;
  return table;
}

inline KovaColumn* newColumn(KovaObject* table, uint32_t type) {
  KovaColumn* column = module().extension->addColumn(table);
  check(column != nullptr, "addColumn failed");
  column->name = table->extension->copyString(table, u"c", 1);
  column->nameLength = 1;
  column->type = type;
  return column;
}

inline KovaRipper* boundRipper(KovaObject* table, uint32_t flags) {
  KovaRipperOptions options{};
  options.flags = flags;
  KovaRipper* ripper = module().extension->createRipper(table, &options, nullptr);
  check(ripper != nullptr, "createRipper failed");
  check(ripper->ops.describe(ripper) != nullptr, "describe failed");
  check(ripper->ops.bind(ripper) == kStatusOk, "bind failed");
  return ripper;
}

inline int64_t indicator(const uint8_t* at, uint32_t code) {
  switch (code & kIndicatorWidthMask) {
    case kIndicatorWidth1:
      return int8_t(*at);
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

// A row image whole; a typed row as every indicator and the value bytes it
// counts (the value bytes of a null are undefined). An indicator may not
// claim more bytes than the value's room.
inline void appendRows(const KovaRipper* ripper, const uint8_t* rows, int32_t count,
                       std::string* out) {
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* row = rows + uint64_t(r) * ripper->rowLength;
    if (ripper->rowImage) {
      out->append(reinterpret_cast<const char*>(row), ripper->rowLength);
      continue;
    }
    for (uint32_t i = 0; i < ripper->layoutCount; ++i) {
      const KovaLayoutEntry& e = ripper->typedLayout[i];
      int64_t n = indicator(row + e.indicatorOffset, e.indicatorWidth);
      check(n <= int64_t(e.octetLength), "an indicator above the value's room");
      out->append(reinterpret_cast<const char*>(&n), sizeof n);
      if (n > 0) out->append(reinterpret_cast<const char*>(row + e.dataOffset), size_t(n));
    }
    out->push_back('\n');
  }
}

// Feeds data to the ripper in blocks whose sizes nextPiece(left) gives (at
// least 1), then flushPending; appends every row to out and returns the
// first failing status, or kStatusOk.
template <typename NextPiece>
KovaStatus ripInPieces(KovaRipper* ripper, const uint8_t* data, size_t size, NextPiece nextPiece,
                       std::string* out) {
  size_t offset = 0;
  KovaStatus status = kStatusOk;
  while (offset < size && status == kStatusOk) {
    const size_t piece = nextPiece(size - offset);
    uint8_t* rows = nullptr;
    int32_t count = 0;
    status = ripper->ops.ripBlock(ripper, data + offset, int64_t(piece), &rows, &count);
    if (status == kStatusOk) appendRows(ripper, rows, count, out);
    offset += piece;
  }
  if (status == kStatusOk) {
    uint8_t* rows = nullptr;
    int32_t count = 0;
    status = ripper->ops.flushPending(ripper, &rows, &count);
    if (status == kStatusOk) appendRows(ripper, rows, count, out);
  }
  return status;
}

// Aborts unless the host holds what it held at before.
inline void checkAccount(const runtime::Account& before) {
  const runtime::Account after = module().host.account();
  check(after.pools == before.pools && after.blocks == before.blocks &&
            after.bytes == before.bytes && after.objects == before.objects,
        "the host account changed");
}

}  // namespace kova::fuzzing
