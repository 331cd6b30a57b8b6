// The metadata document of a 10,000-column table: writeXml of the object,
// and readXml of the document into a fresh instance.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "kova/extension.h"
#include "kova/metadata.h"
#include "runtime/kernel/host.h"

namespace {

constexpr int kColumns = 10000;

struct Setup {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  KovaObject* table = nullptr;
  std::string document;

  Setup() {
    extension = kova::bench::startModule(host);
    table = extension->createInstance(extension, nullptr, nullptr, "bench");
    table->recfm = kRecfmDelimited;
    table->fieldsep = ',';
    table->textqual = '"';
    table->encoding = 20;
    text(&table->fileType, &table->fileTypeLength, u"DELIMITED");
    text(&table->inputDir, &table->inputDirLength, u"/warehouse/wide_table/input");
    for (int i = 0; i < kColumns; ++i) {
      KovaColumn* c = extension->addColumn(table);
      std::u16string name = u"column_";
      for (char d : std::to_string(i)) name += char16_t(d);
      if (i % 10 == 0) name += u" with blanks";
      text(&c->name, &c->nameLength, name);
      c->type = i % 3 == 0 ? kTypeDouble : kTypeVarchar;
      c->c_type = i % 3 == 0 ? kCTypeDouble : kCTypeChar;
      c->charlength = 8 + i % 64;
      c->offset = int64_t(i) * 72;
      if (i % 4 == 0) c->cei = 20;
      if (i % 3 == 0) text(&c->format, &c->formatLength, u"BEST12.");
    }
    const uint8_t* bytes = nullptr;
    uint64_t length = 0;
    if (extension->writeXml(table, &bytes, &length) != kStatusOk) std::abort();
    document.assign(reinterpret_cast<const char*>(bytes), length);
  }
  void text(const char16_t** field, int64_t* length, std::u16string_view value) {
    *field = extension->copyString(table, value.data(), int64_t(value.size()));
    *length = int64_t(value.size());
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

void BM_WriteXml10kColumns(benchmark::State& state) {
  Setup& s = setup();
  for (auto _ : state) {
    const uint8_t* bytes = nullptr;
    uint64_t length = 0;
    if (s.extension->writeXml(s.table, &bytes, &length) != kStatusOk) state.SkipWithError("write");
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.document.size()));
}
BENCHMARK(BM_WriteXml10kColumns)->Unit(benchmark::kMillisecond);

void BM_ReadXml10kColumns(benchmark::State& state) {
  Setup& s = setup();
  for (auto _ : state) {
    KovaObject* object = s.extension->createInstance(s.extension, nullptr, nullptr, nullptr);
    if (s.extension->readXml(object, s.document.data(), int64_t(s.document.size()), nullptr) !=
            kStatusOk ||
        object->columnCount != kColumns) {
      state.SkipWithError("read");
    }
    object->destroy(object);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(s.document.size()));
}
BENCHMARK(BM_ReadXml10kColumns)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
