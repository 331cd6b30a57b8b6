// convertField on INT, DOUBLE and VARCHAR fields against the host's bare
// number readers, and those readers against std::from_chars on the same
// 10-character texts: what the field converter adds over the reader, and
// what the reader adds over the plainest parse.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "kova/extension.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"
#include "src/ripper/operations.h"
#include "src/ripper/row_block.h"

namespace {

constexpr int kTexts = 4096;

struct Setup {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  KovaObject* table = nullptr;
  KovaRipper* ripper = nullptr;
  std::vector<uint8_t> row;
  std::vector<std::string> integers;  // 10 characters: "1234567890"
  std::vector<std::string> doubles;   // 10 characters: "12345.6789", "-1.2345678"
  std::vector<std::string> words;     // 10 characters of text

  Setup() {
    extension = kova::bench::startModule(host);
    table = extension->createInstance(extension, nullptr, nullptr, "bench");
    table->recfm = kRecfmDelimited;
    table->fieldsep = ',';
    addColumn(u"n", kTypeInt, 0, 0);
    addColumn(u"x", kTypeDouble, 0, 0);
    addColumn(u"s", kTypeVarchar, 16, 16);
    ripper = extension->createRipper(table, nullptr, nullptr);
    if (!ripper || !ripper->ops.describe(ripper) || ripper->ops.bind(ripper) != kStatusOk) {
      std::abort();
    }
    row.assign(ripper->rowLength, 0);
    kova::clearRow(ripper, row.data());

    uint64_t seed = 7;
    auto next = [&] {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      return seed >> 17;
    };
    for (int i = 0; i < kTexts; ++i) {
      // Below 2^31 so that every text fits the INT column.
      integers.push_back(std::to_string(1000000000 + next() % 1147483647));
      std::string d = std::to_string(next() % 10000000000ull);
      d.insert(d.begin(), 10 - d.size(), '1');
      d.insert(1 + next() % 8, ".");
      d.pop_back();
      if (next() % 4 == 0) d = "-" + d.substr(0, 9);
      doubles.push_back(d);
      std::string w;
      for (int k = 0; k < 10; ++k) w += char('a' + next() % 26);
      words.push_back(w);
    }
  }
  ~Setup() {
    ripper->ops.destroy(ripper);
    table->destroy(table);
    extension->destroy(extension);
  }
  void addColumn(std::u16string_view name, uint32_t type, int64_t charlength, int64_t bytelength) {
    KovaColumn* c = extension->addColumn(table);
    c->name = extension->copyString(table, name.data(), int64_t(name.size()));
    c->nameLength = int64_t(name.size());
    c->type = type;
    c->charlength = charlength;
    c->bytelength = bytelength;
  }
  KovaEncodingHandle* handle() const { return ripper->columns[0].sourceHandle; }
};

Setup& setup() {
  static Setup s;
  return s;
}

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Runs read on the texts in turn, one text per iteration.
template <typename Read>
void overTexts(benchmark::State& state, const std::vector<std::string>& texts, Read read) {
  size_t i = 0;
  for (auto _ : state) {
    const std::string& t = texts[i++ & (kTexts - 1)];
    read(t);
  }
  state.SetItemsProcessed(state.iterations());
}

void convertFieldInto(benchmark::State& state, uint32_t field,
                      const std::vector<std::string>& texts) {
  Setup& s = setup();
  overTexts(state, texts, [&](const std::string& t) {
    kova::convertField(s.ripper, s.row.data(), field, bytesOf(t), uint32_t(t.size()));
    benchmark::DoNotOptimize(s.row.data());
  });
}

void convertFieldInt(benchmark::State& state) { convertFieldInto(state, 0, setup().integers); }
void convertFieldDouble(benchmark::State& state) { convertFieldInto(state, 1, setup().doubles); }
void convertFieldVarchar(benchmark::State& state) { convertFieldInto(state, 2, setup().words); }

void hostReadInteger(benchmark::State& state) {
  Setup& s = setup();
  KovaEncodingHandle* h = s.handle();
  overTexts(state, s.integers, [&](const std::string& t) {
    int64_t value;
    uint64_t scratch;
    if (h->ops->readInteger(h, s.ripper->locale, t.data(), t.size(), 0, &value, &scratch) != 0) {
      std::abort();
    }
    benchmark::DoNotOptimize(value);
  });
}

void hostReadDouble(benchmark::State& state) {
  Setup& s = setup();
  KovaEncodingHandle* h = s.handle();
  overTexts(state, s.doubles, [&](const std::string& t) {
    double value;
    uint64_t scratch;
    if (h->ops->readDouble(h, s.ripper->locale, t.data(), t.size(), 0, &value, &scratch) != 0) {
      std::abort();
    }
    benchmark::DoNotOptimize(value);
  });
}

template <typename Number>
void fromChars(benchmark::State& state, const std::vector<std::string>& texts) {
  overTexts(state, texts, [](const std::string& t) {
    Number value;
    if (std::from_chars(t.data(), t.data() + t.size(), value).ec != std::errc()) std::abort();
    benchmark::DoNotOptimize(value);
  });
}

void fromCharsInteger(benchmark::State& state) { fromChars<int64_t>(state, setup().integers); }
void fromCharsDouble(benchmark::State& state) { fromChars<double>(state, setup().doubles); }

}  // namespace

BENCHMARK(convertFieldInt);
BENCHMARK(hostReadInteger);
BENCHMARK(fromCharsInteger);
BENCHMARK(convertFieldDouble);
BENCHMARK(hostReadDouble);
BENCHMARK(fromCharsDouble);
BENCHMARK(convertFieldVarchar);

BENCHMARK_MAIN();
