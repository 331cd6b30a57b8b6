// A plain hand-written typed reader of the benchmark table (gen_delimited.py:
// id INT, big BIGINT, x DOUBLE, name VARCHAR(24), code CHAR(8), day DATE,
// amount DECIMAL(12,2), at TIMESTAMP): what a programmer would write for
// this one file, single-threaded, to measure the typed rip against. Fields
// are found byte by byte, quoted fields unquoted (doubled quotes kept
// once), numbers read with std::from_chars, dates and timestamps by their
// fixed shape, the decimal as cents. Rows go into a struct per row, a
// reused batch of them at a time like the ripper's row block.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kova::bench {

struct HandRow {
  int32_t id;
  int64_t big;
  double x;
  char name[24];
  uint8_t nameLength;
  char code[8];
  uint8_t codeLength;
  double day;      // days from 1960-01-01
  int64_t amount;  // hundredths
  double at;       // seconds from 1960-01-01
  uint8_t nulls;   // bit i: field i empty or unreadable
};

class HandReader {
 public:
  uint64_t checksum = 0;
  uint64_t nullFields = 0;  // fields left null: a check that the reader reads

  // Reads every record of data after its header line; returns the rows.
  // The rows of one block of blockSize bytes are in batch_ at once.
  uint64_t read(std::string_view data, size_t blockSize) {
    const char* p = data.data();
    const char* end = p + data.size();
    while (p < end && *p != '\n') ++p;  // the header line
    if (p < end) ++p;
    uint64_t rows = 0;
    while (p < end) {
      const char* blockEnd = end - p > ptrdiff_t(blockSize) ? p + blockSize : end;
      size_t n = 0;
      while (p < blockEnd) {
        if (n == kBatch) {
          flush(n);
          n = 0;
        }
        p = record(p, end, &batch_[n++]);
      }
      flush(n);
      rows += n;
    }
    return rows;
  }

 private:
  static constexpr size_t kBatch = 16384;

  void flush(size_t n) {
    for (size_t i = 0; i < n; ++i) {
      checksum += uint64_t(batch_[i].id);
      nullFields += uint64_t(__builtin_popcount(batch_[i].nulls));
    }
  }

  // The next field: its text (unquoted into scratch when quoted); *p moves
  // past the separator or line feed.
  std::string_view field(const char*& p, const char* end, char* scratch, size_t room) {
    if (p < end && *p == '"') {
      size_t n = 0;
      ++p;
      while (p < end) {
        if (*p == '"') {
          if (p + 1 < end && p[1] == '"') {
            if (n < room) scratch[n++] = '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        if (n < room) scratch[n++] = *p;
        ++p;
      }
      if (p < end) ++p;  // the separator
      return {scratch, n};
    }
    const char* start = p;
    while (p < end && *p != ',' && *p != '\n') ++p;
    std::string_view text(start, size_t(p - start));
    if (p < end) ++p;
    return text;
  }

  template <typename T>
  static bool number(std::string_view text, T* value) {
    auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && at == text.data() + text.size();
  }

  static int digits2(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

  // Days from 1960-01-01 of yyyy-mm-dd (proleptic Gregorian).
  static bool date(const char* p, double* value) {
    if (p[4] != '-' || p[7] != '-') return false;
    int y = digits2(p) * 100 + digits2(p + 2);
    const int m = digits2(p + 5);
    const int d = digits2(p + 8);
    if (m < 1 || m > 12 || d < 1 || d > 31) return false;
    y -= m <= 2;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    *value = double(era * 146097 + doe - 719468 + 3653);  // 1970 is day 3653
    return true;
  }

  static bool amount(std::string_view text, int64_t* cents) {
    const size_t point = text.find('.');
    if (point == std::string_view::npos) {
      if (!number(text, cents)) return false;
      *cents *= 100;
      return true;
    }
    int64_t whole = 0;
    int64_t fraction = 0;
    const std::string_view head = text.substr(0, point);
    const std::string_view tail = text.substr(point + 1);
    if (tail.size() != 2 || !number(tail, &fraction)) return false;
    if (!head.empty() && head != "-" && !number(head, &whole)) return false;
    *cents = whole * 100 + (text[0] == '-' ? -fraction : fraction);
    return true;
  }

  const char* record(const char* p, const char* end, HandRow* row) {
    char scratch[64];
    row->nulls = 0;
    if (!number(field(p, end, scratch, sizeof scratch), &row->id)) row->nulls |= 1;
    if (!number(field(p, end, scratch, sizeof scratch), &row->big)) row->nulls |= 2;
    if (!number(field(p, end, scratch, sizeof scratch), &row->x)) row->nulls |= 4;
    std::string_view name = field(p, end, scratch, sizeof scratch);
    row->nameLength = uint8_t(name.size() < 24 ? name.size() : 24);
    std::memcpy(row->name, name.data(), row->nameLength);
    std::string_view code = field(p, end, scratch, sizeof scratch);
    row->codeLength = uint8_t(code.size() < 8 ? code.size() : 8);
    std::memcpy(row->code, code.data(), row->codeLength);
    std::string_view day = field(p, end, scratch, sizeof scratch);
    if (day.size() != 10 || !date(day.data(), &row->day)) row->nulls |= 32;
    if (!amount(field(p, end, scratch, sizeof scratch), &row->amount)) row->nulls |= 64;
    std::string_view at = field(p, end, scratch, sizeof scratch);
    double days = 0;
    if (at.size() == 19 && date(at.data(), &days) && at[10] == ' ' && at[13] == ':' &&
        at[16] == ':') {
      row->at = days * 86400 + digits2(at.data() + 11) * 3600 + digits2(at.data() + 14) * 60 +
                digits2(at.data() + 17);
    } else {
      row->nulls |= 128;
    }
    return p;
  }

  HandRow batch_[kBatch];
};

}  // namespace kova::bench
