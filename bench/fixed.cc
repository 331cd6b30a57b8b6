// Typed ripping of 2,000,000 FIXED records of 40 bytes (int32, int64,
// double, 20 bytes of text) in 1 MiB blocks, beside a plain loop that copies
// the same fields of the same bytes into a C struct, and VARBIN ripping of
// the same rows written as self-describing records. Throughput is bytes of
// file per second; the ratio to quote is FixedRip / PlainStructCopy.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/binary_records.h"
#include "bench/bench_support.h"
#include "kova/extension.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

namespace {

constexpr int64_t kRecords = 2000000;
constexpr int64_t kReclen = 40;
constexpr size_t kBlock = 1 << 20;

struct Fields {
  int32_t a;
  int64_t b;
  double c;
  char text[20];
};

struct Setup {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  KovaObject* fixedTable = nullptr;
  KovaObject* varbinTable = nullptr;
  std::string fixed;               // kRecords records of kReclen bytes
  std::string varbin;              // the same rows as VARBIN records
  std::vector<size_t> varbinCuts;  // record boundaries near every kBlock bytes

  Setup() {
    extension = kova::bench::startModule(host);
    fixedTable = table(kRecfmFixed);
    varbinTable = table(kRecfmVarbin);
    fixed.reserve(size_t(kRecords * kReclen));
    uint64_t seed = 11;
    auto next = [&] {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      return seed >> 17;
    };
    for (int64_t i = 0; i < kRecords; ++i) {
      const int32_t a = int32_t(next() % 2000000000);
      const int64_t b = int64_t(next()) - (1ll << 45);
      const double c = double(next() % 10000000) / 64.0;
      std::string text;
      const size_t length = 4 + next() % 17;
      for (size_t k = 0; k < length; ++k) text += char('a' + next() % 26);
      const std::string padded = text + std::string(20 - text.size(), ' ');
      kova::records::putInteger(fixed, uint32_t(a), 4);
      kova::records::putInteger(fixed, uint64_t(b), 8);
      kova::records::putDouble(fixed, c);
      fixed += padded;
      const std::string record = kova::records::VarbinRecord()
                                     .integer(1, a, 4)
                                     .integer(2, b, 8)
                                     .real(3, c)
                                     .sized(4, text)
                                     .bytes();
      if (varbin.size() + record.size() - (varbinCuts.empty() ? 0 : varbinCuts.back()) > kBlock) {
        varbinCuts.push_back(varbin.size());
      }
      varbin += record;
    }
    varbinCuts.push_back(varbin.size());
  }
  ~Setup() {
    fixedTable->destroy(fixedTable);
    varbinTable->destroy(varbinTable);
    extension->destroy(extension);
  }
  KovaObject* table(uint32_t recfm) {
    KovaObject* t = extension->createInstance(extension, nullptr, nullptr, "bench");
    t->recfm = recfm;
    t->encoding = 1;  // ISO-8859-1
    t->reclen = kReclen;
    addColumn(t, u"a", kTypeInt, kCTypeInt32, 0, 4);
    addColumn(t, u"b", kTypeBigint, kCTypeInt64, 4, 8);
    addColumn(t, u"c", kTypeDouble, kCTypeDouble, 12, 8);
    addColumn(t, u"text", kTypeVarchar, kCTypeChar, 20, 20);
    return t;
  }
  void addColumn(KovaObject* t, std::u16string_view name, uint32_t type, uint32_t cType,
                 int64_t offset, int64_t bytelength) {
    KovaColumn* c = extension->addColumn(t);
    c->name = extension->copyString(t, name.data(), int64_t(name.size()));
    c->nameLength = int64_t(name.size());
    c->type = type;
    c->c_type = cType;
    c->offset = offset;
    c->bytelength = bytelength;
    c->charlength = type == kTypeVarchar ? bytelength : 0;
  }
  KovaRipper* ripper(KovaObject* t) {
    KovaRipper* r = extension->createRipper(t, nullptr, nullptr);
    if (!r || !r->ops.describe(r) || r->ops.bind(r) != kStatusOk) std::abort();
    return r;
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

// The same fields of every record copied into a struct, in blocks of the
// same size, the text with its trailing blanks dropped as the ripper does.
void PlainStructCopy(benchmark::State& state) {
  const std::string& data = setup().fixed;
  std::vector<Fields> rows(kBlock / kReclen + 1);
  std::vector<int32_t> lengths(rows.size());
  for (auto _ : state) {
    for (size_t start = 0; start < data.size(); start += kBlock) {
      const size_t end = std::min(data.size(), start + kBlock);
      const char* at = data.data() + start;
      const size_t count = (end - start) / kReclen;
      for (size_t i = 0; i < count; ++i, at += kReclen) {
        Fields& f = rows[i];
        std::memcpy(&f.a, at, 4);
        std::memcpy(&f.b, at + 4, 8);
        std::memcpy(&f.c, at + 12, 8);
        int32_t n = 20;
        while (n > 0 && at[20 + n - 1] == ' ') --n;
        std::memcpy(f.text, at + 20, size_t(n));
        lengths[i] = n;
      }
      benchmark::DoNotOptimize(rows.data());
      benchmark::DoNotOptimize(lengths.data());
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

void FixedRip(benchmark::State& state) {
  const std::string& data = setup().fixed;
  KovaRipper* ripper = setup().ripper(setup().fixedTable);
  int64_t rows = 0;
  for (auto _ : state) {
    for (size_t start = 0; start < data.size(); start += kBlock) {
      const size_t length = std::min(kBlock, data.size() - start);
      uint8_t* out = nullptr;
      int32_t count = 0;
      if (ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(data.data()) + start,
                               int64_t(length), &out, &count) != kStatusOk) {
        state.SkipWithError("ripBlock failed");
        break;
      }
      rows += count;
      benchmark::DoNotOptimize(out);
    }
  }
  if (rows != int64_t(state.iterations()) * kRecords) state.SkipWithError("rows lost");
  ripper->ops.destroy(ripper);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

void VarbinRip(benchmark::State& state) {
  const std::string& data = setup().varbin;
  const std::vector<size_t>& cuts = setup().varbinCuts;
  KovaRipper* ripper = setup().ripper(setup().varbinTable);
  int64_t rows = 0;
  for (auto _ : state) {
    size_t start = 0;
    for (size_t end : cuts) {
      uint8_t* out = nullptr;
      int32_t count = 0;
      if (ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(data.data()) + start,
                               int64_t(end - start), &out, &count) != kStatusOk) {
        state.SkipWithError("ripBlock failed");
        break;
      }
      rows += count;
      benchmark::DoNotOptimize(out);
      start = end;
    }
  }
  if (rows != int64_t(state.iterations()) * kRecords) state.SkipWithError("rows lost");
  ripper->ops.destroy(ripper);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * kRecords);
}

BENCHMARK(PlainStructCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FixedRip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VarbinRip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
