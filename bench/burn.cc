// Burning from memory. The rows of the delimited benchmark table (ripped
// once with bench/delimited_typed.xml and moved into the burner's layout
// before timing) are burned as delimited text in batches of 10,000 rows,
// against a plain hand-written writer of the same texts (std::to_chars for
// numbers, memcpy for text, the same date, decimal and timestamp texts); and
// generated rows are burned as FIXED records (bench/delimited_fixed.xml)
// against a plain struct-to-record copy.
// Data: bench/data/delimited.csv (bench/gen_delimited.py; run-burn.sh makes
// it), or the file named by $KOVA_DELIMITED_DATA.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "kova/decimal.h"
#include "kova/extension.h"
#include "kova/ripper.h"
#include "runtime/kernel/host.h"

namespace {

constexpr size_t kBlock = 1 << 20;
constexpr uint64_t kBatch = 10000;

std::string benchDir() {
  std::string file = __FILE__;
  return file.substr(0, file.find_last_of('/'));
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int64_t indicatorAt(const uint8_t* row, const KovaLayoutEntry& e) {
  const uint8_t* at = row + e.indicatorOffset;
  switch (e.indicatorWidth & kIndicatorWidthMask) {
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

void setIndicator(uint8_t* row, const KovaLayoutEntry& e, int64_t value) {
  uint8_t* at = row + e.indicatorOffset;
  switch (e.indicatorWidth & kIndicatorWidthMask) {
    case kIndicatorWidth1:
      *at = uint8_t(int8_t(value));
      break;
    case kIndicatorWidth2: {
      int16_t v = int16_t(value);
      std::memcpy(at, &v, 2);
      break;
    }
    case kIndicatorWidth4: {
      int32_t v = int32_t(value);
      std::memcpy(at, &v, 4);
      break;
    }
    default:
      std::memcpy(at, &value, 8);
      break;
  }
}

KovaRipper* bound(KovaExtensionObject* extension, KovaObject* table, uint32_t flags) {
  KovaRipperOptions options{};
  options.flags = flags;
  KovaRipper* r = extension->createRipper(table, &options, nullptr);
  if (!r || !r->ops.describe(r) || r->ops.bind(r) != kStatusOk) {
    std::fprintf(stderr, "cannot make a ripper or burner\n");
    std::abort();
  }
  return r;
}

struct Setup {
  kova::runtime::Host host;
  KovaExtensionObject* extension = nullptr;
  KovaObject* table = nullptr;
  KovaRipper* burner = nullptr;
  std::vector<uint8_t> rows;  // in the burner's layout
  uint64_t rowCount = 0;
  uint64_t textBytes = 0;  // what the burner writes for all rows

  KovaObject* load(const char* document) {
    KovaObject* object = extension->createInstance(extension, nullptr, nullptr, nullptr);
    std::string xml = slurp(benchDir() + "/" + document);
    if (!object || object->extension->readXml(object, xml.data(), int64_t(xml.size()), nullptr)) {
      std::fprintf(stderr, "cannot read %s\n", document);
      std::abort();
    }
    return object;
  }

  Setup() {
    host.setOption(u"ZRNLS.KPA_SESSION_CEI", kEncodingUtf8);
    host.setOption(u"ZR_NAME_YEARCUTOFF", 1926);
    extension = kova::bench::startModule(host);
    const char* path = std::getenv("KOVA_DELIMITED_DATA");
    const std::string data = slurp(path ? path : benchDir() + "/data/delimited.csv");
    if (data.empty()) return;
    KovaObject* source = load("delimited_typed.xml");
    KovaRipper* ripper = bound(extension, source, 0);
    ripper->headerLinesLeft = source->headerLines;
    table = load("delimited_typed.xml");
    burner = bound(extension, table, kRipperOutput);
    auto take = [&](const uint8_t* in, int32_t count) {
      for (int32_t r = 0; r < count; ++r, ++rowCount) {
        const uint8_t* from = in + uint64_t(r) * ripper->rowLength;
        rows.resize((rowCount + 1) * burner->rowLength);
        uint8_t* to = rows.data() + rowCount * burner->rowLength;
        for (uint32_t c = 0; c < burner->layoutCount; ++c) {
          const KovaLayoutEntry& a = ripper->typedLayout[c];
          const KovaLayoutEntry& b = burner->typedLayout[c];
          int64_t n = indicatorAt(from, a);
          if (n > int64_t(b.octetLength)) n = int64_t(b.octetLength);
          if (n > 0) std::memcpy(to + b.dataOffset, from + a.dataOffset, size_t(n));
          setIndicator(to, b, n);
        }
      }
    };
    rows.reserve(2000001 * burner->rowLength);
    for (size_t at = 0; at < data.size(); at += kBlock) {
      uint8_t* out = nullptr;
      int32_t count = 0;
      ripper->ops.ripBlock(ripper, reinterpret_cast<const uint8_t*>(data.data()) + at,
                           int64_t(std::min(kBlock, data.size() - at)), &out, &count);
      take(out, count);
    }
    uint8_t* out = nullptr;
    int32_t count = 0;
    ripper->ops.flushPending(ripper, &out, &count);
    take(out, count);
    ripper->ops.destroy(ripper);
    source->destroy(source);
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

void BM_BurnDelimited(benchmark::State& state) {
  Setup& s = setup();
  if (!s.burner) {
    state.SkipWithError("no data: run bench/run-burn.sh");
    return;
  }
  uint64_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (uint64_t at = 0; at < s.rowCount; at += kBatch) {
      const uint64_t n = std::min(kBatch, s.rowCount - at);
      const uint8_t* data = nullptr;
      uint64_t length = 0;
      if (s.burner->ops.writeRows(s.burner, s.rows.data() + at * s.burner->rowLength,
                                  n * s.burner->rowLength, &data, &length) != kStatusOk) {
        state.SkipWithError("writeRows failed");
        return;
      }
      bytes += length;
      benchmark::DoNotOptimize(data);
    }
  }
  s.textBytes = bytes;
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
  state.counters["rows"] = double(s.rowCount);
}

// ---- the plain hand-written writer ---------------------------------------

void civil(int64_t days, int* y, int* m, int* d) {
  int64_t z = days - 3653 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = int(doy - (153 * mp + 2) / 5 + 1);
  *m = int(mp < 10 ? mp + 3 : mp - 9);
  *y = int(int64_t(yoe) + era * 400 + (*m <= 2 ? 1 : 0));
}

char* two(char* p, int v) {
  p[0] = char('0' + v / 10);
  p[1] = char('0' + v % 10);
  return p + 2;
}

char* dateText(char* p, int64_t days) {
  int y, m, d;
  civil(days, &y, &m, &d);
  p = two(two(p, y / 100), y % 100);
  *p++ = '-';
  p = two(p, m);
  *p++ = '-';
  return two(p, d);
}

char* text(char* p, const uint8_t* bytes, size_t n, bool trim) {
  if (trim)
    while (n > 0 && bytes[n - 1] == ' ') --n;
  bool quote = false;
  for (size_t i = 0; i < n; ++i) quote |= bytes[i] == ',' || bytes[i] == '"' || bytes[i] == '\n';
  if (!quote) {
    std::memcpy(p, bytes, n);
    return p + n;
  }
  *p++ = '"';
  for (size_t i = 0; i < n; ++i) {
    if (bytes[i] == '"') *p++ = '"';
    *p++ = char(bytes[i]);
  }
  *p++ = '"';
  return p;
}

char* decimalText(char* p, const uint8_t* value) {
  DecimalValue d;
  std::memcpy(&d, value, sizeof d);
  uint64_t magnitude;
  std::memcpy(&magnitude, d.val, 8);
  if (!d.sign) *p++ = '-';
  uint64_t unit = 1;
  for (int i = 0; i < d.scale; ++i) unit *= 10;
  p = std::to_chars(p, p + 24, magnitude / unit).ptr;
  if (d.scale > 0) {
    *p++ = '.';
    char digits[24];
    char* e = std::to_chars(digits, digits + 24, magnitude % unit).ptr;
    for (int64_t pad = d.scale - (e - digits); pad > 0; --pad) *p++ = '0';
    std::memcpy(p, digits, size_t(e - digits));
    p += e - digits;
  }
  return p;
}

// One batch of rows as text into out; returns the bytes written. Not
// inlined, so that callgrind can count it alone.
[[gnu::noinline]] uint64_t handWriteBatch(const Setup& s, uint64_t at, uint64_t n, char* out) {
  const KovaLayoutEntry* e = s.burner->typedLayout;
  char* p = out;
  for (uint64_t r = 0; r < n; ++r) {
    const uint8_t* row = s.rows.data() + (at + r) * s.burner->rowLength;
    for (uint32_t c = 0; c < 8; ++c) {
      if (c > 0) *p++ = ',';
      const int64_t len = indicatorAt(row, e[c]);
      if (len < 0) continue;
      const uint8_t* v = row + e[c].dataOffset;
      switch (c) {
        case 0: {
          int32_t x;
          std::memcpy(&x, v, 4);
          p = std::to_chars(p, p + 16, x).ptr;
          break;
        }
        case 1: {
          int64_t x;
          std::memcpy(&x, v, 8);
          p = std::to_chars(p, p + 24, x).ptr;
          break;
        }
        case 2: {
          double x;
          std::memcpy(&x, v, 8);
          p = std::to_chars(p, p + 32, x).ptr;
          break;
        }
        case 3:
          p = text(p, v, size_t(len), false);
          break;
        case 4:
          p = text(p, v, size_t(len), true);
          break;
        case 5: {
          double x;
          std::memcpy(&x, v, 8);
          p = dateText(p, int64_t(x));
          break;
        }
        case 6:
          p = decimalText(p, v);
          break;
        case 7: {
          double x;
          std::memcpy(&x, v, 8);
          const double days = std::floor(x / 86400);
          p = dateText(p, int64_t(days));
          const int sec = int(x - days * 86400);
          *p++ = ' ';
          p = two(p, sec / 3600);
          *p++ = ':';
          p = two(p, sec / 60 % 60);
          *p++ = ':';
          p = two(p, sec % 60);
          break;
        }
      }
    }
    *p++ = '\n';
  }
  return uint64_t(p - out);
}

// The same texts as the burner for the table of delimited_typed.xml.
void BM_HandWritten(benchmark::State& state) {
  Setup& s = setup();
  if (!s.burner) {
    state.SkipWithError("no data: run bench/run-burn.sh");
    return;
  }
  std::vector<char> out(kBatch * 256);
  uint64_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    for (uint64_t at = 0; at < s.rowCount; at += kBatch) {
      bytes += handWriteBatch(s, at, std::min(kBatch, s.rowCount - at), out.data());
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations() * bytes));
}

// ---- FIXED ------------------------------------------------------------------

struct Record {
  int32_t id;
  int64_t big;
  double x;
  char name[24];
  char code[8];
  double day, amount, at;
};

struct FixedSetup {
  KovaObject* table = nullptr;
  KovaRipper* burner = nullptr;
  std::vector<uint8_t> rows;
  std::vector<Record> records;
  uint64_t kRows = 2000000;  // or $KOVA_FIXED_ROWS (a multiple of 10,000)

  FixedSetup() {
    if (const char* rows = std::getenv("KOVA_FIXED_ROWS")) kRows = std::strtoull(rows, nullptr, 10);
    Setup& s = setup();
    table = s.load("delimited_fixed.xml");
    burner = bound(s.extension, table, kRipperOutput);
    rows.assign(kRows * burner->rowLength, 0);
    records.resize(kRows);
    const KovaLayoutEntry* e = burner->typedLayout;
    for (uint64_t r = 0; r < kRows; ++r) {
      Record& rec = records[r];
      rec.id = int32_t(r);
      rec.big = int64_t(r) * 1000003;
      rec.x = double(r) / 7;
      std::memset(rec.name, 0, sizeof rec.name);
      const std::string name = "name " + std::to_string(r);
      std::memcpy(rec.name, name.data(), std::min(name.size(), sizeof rec.name - 1));
      std::memcpy(rec.code, "ABCD0001", 8);
      rec.day = double(r % 30000);
      rec.amount = double(r) / 100;
      rec.at = double(r) * 37;
      uint8_t* row = rows.data() + r * burner->rowLength;
      auto put = [&](int c, const void* v, size_t n) {
        std::memcpy(row + e[c].dataOffset, v, n);
        setIndicator(row, e[c], int64_t(n));
      };
      put(0, &rec.id, 4);
      put(1, &rec.big, 8);
      put(2, &rec.x, 8);
      put(3, rec.name, std::strlen(rec.name));
      put(4, rec.code, 8);
      put(5, &rec.day, 8);
      put(6, &rec.amount, 8);
      put(7, &rec.at, 8);
    }
  }
};

FixedSetup& fixedSetup() {
  static FixedSetup* s = new FixedSetup;
  return *s;
}

void BM_BurnFixed(benchmark::State& state) {
  FixedSetup& f = fixedSetup();
  for (auto _ : state) {
    for (uint64_t at = 0; at < f.kRows; at += kBatch) {
      const uint8_t* data = nullptr;
      uint64_t length = 0;
      f.burner->ops.writeRows(f.burner, f.rows.data() + at * f.burner->rowLength,
                              kBatch * f.burner->rowLength, &data, &length);
      benchmark::DoNotOptimize(data);
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations() * f.kRows * 76));
}

// kBatch records into out. Not inlined, so that callgrind can count it alone.
[[gnu::noinline]] void copyBatch(const Record* records, uint8_t* out) {
  for (uint64_t r = 0; r < kBatch; ++r) {
    const Record& rec = records[r];
    uint8_t* p = out + r * 76;
    std::memcpy(p, &rec.id, 4);
    std::memcpy(p + 4, &rec.big, 8);
    std::memcpy(p + 12, &rec.x, 8);
    const size_t n = strnlen(rec.name, 24);
    std::memcpy(p + 20, rec.name, n);
    std::memset(p + 20 + n, ' ', 24 - n);
    std::memcpy(p + 44, rec.code, 8);
    std::memcpy(p + 52, &rec.day, 8);
    std::memcpy(p + 60, &rec.amount, 8);
    std::memcpy(p + 68, &rec.at, 8);
  }
}

// Each record's fields copied into a 76-byte record; text padded with blanks.
void BM_StructCopy(benchmark::State& state) {
  FixedSetup& f = fixedSetup();
  std::vector<uint8_t> out(kBatch * 76);
  for (auto _ : state) {
    for (uint64_t at = 0; at < f.kRows; at += kBatch) {
      copyBatch(f.records.data() + at, out.data());
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations() * f.kRows * 76));
}

BENCHMARK(BM_BurnDelimited)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HandWritten)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BurnFixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StructCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
