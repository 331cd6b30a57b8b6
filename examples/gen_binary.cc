// Writes the binary example data files, deterministically:
//   payroll.fixed   64-byte EBCDIC records for payroll.fixed.xml
//   sensors.varbin  self-describing records for sensors.varbin.xml
// Usage: gen_binary DIR [COUNT]   (COUNT records each; default: the small
// files kept in examples/, whose rows include nulls and missing values).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/binary_records.h"

namespace {

using kova::records::putDouble;
using kova::records::putInteger;
using kova::records::VarbinRecord;

// Days from 1960-01-01 to a civil date (proleptic Gregorian).
int64_t daysSince1960(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yoe = unsigned(year - era * 400);
  const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468 - (-3653);
}

// Code page 037 for the letters, digits and the few marks the names use.
char ebcdic(char c) {
  if (c >= 'a' && c <= 'i') return char(0x81 + (c - 'a'));
  if (c >= 'j' && c <= 'r') return char(0x91 + (c - 'j'));
  if (c >= 's' && c <= 'z') return char(0xA2 + (c - 's'));
  if (c >= 'A' && c <= 'I') return char(0xC1 + (c - 'A'));
  if (c >= 'J' && c <= 'R') return char(0xD1 + (c - 'J'));
  if (c >= 'S' && c <= 'Z') return char(0xE2 + (c - 'S'));
  if (c >= '0' && c <= '9') return char(0xF0 + (c - '0'));
  if (c == '-') return char(0x60);
  if (c == '\'') return char(0x7D);
  if (c == '.') return char(0x4B);
  return char(0x40);  // blank
}

std::string ebcdicField(const std::string& text, size_t width) {
  std::string out;
  for (size_t i = 0; i < width; ++i) out += ebcdic(i < text.size() ? text[i] : ' ');
  return out;
}

const char* const kSurnames[] = {"Abernathy", "Brightwater", "Castellano",  "Dunmore",
                                 "Eckhardt",  "Fairweather", "Gallowglass", "Holloway",
                                 "Ivanova",   "Jorgensen",   "Kettleburn",  "O'Rourke-Vance"};
const char* const kGivenNames[] = {"Ada",  "Bruno", "Celia", "Dov",   "Elin", "Farid",
                                   "Gwen", "Hugo",  "Ines",  "Jonas", "Kaia", "Lorcan"};

// One payroll record: id, surname, given name, department, grade, filler,
// salary (big-endian double) and hire date (little-endian double).
std::string payrollRecord(int i) {
  std::string r;
  putInteger(r, uint32_t(10001 + i * 7), 4, true);
  r += ebcdicField(kSurnames[i % 12], 24);
  r += ebcdicField(kGivenNames[(i * 5) % 12], 16);
  putInteger(r, uint16_t(100 + (i % 4) * 10), 2, true);
  r += char(1 + i % 9);
  r += ebcdic(' ');
  putDouble(r, 41250.0 + 1375.5 * (i % 17), true);
  const int year = 1998 + i % 25;
  putDouble(r, double(daysSince1960(year, unsigned(1 + (i * 3) % 12), unsigned(1 + (i * 7) % 28))));
  return r;
}

const char* const kSensors[] = {"hall-north", "hall-south", "K\xC3\xBChlraum-3", "roof-east",
                                "boiler-1"};

// One reading: the fields in table order, with nulls, missing values and a
// record whose fields come in another order.
std::string sensorRecord(int i) {
  VarbinRecord r;
  const int64_t id = 900000 + int64_t(i) * 13;
  const int second = (i * 17) % 60;
  const int minute = (i * 7) % 60;
  const int day = 1 + i % 28;
  if (i % 6 == 5) {
    // Fields in reverse order, and no payload at all.
    r.real(6, 40.0 + i % 30).real(5, 18.25 + i * 0.5).date(4, 2024, 3, day);
    r.timestamp(3, 2024, 3, day, 8 + i % 12, minute, second, uint32_t(i % 1000) * 1000000u);
    r.integer(2, id, 8).sized(1, kSensors[i % 5]);
    return r.bytes();
  }
  r.sized(1, kSensors[i % 5]).integer(2, id, 8);
  r.timestamp(3, 2024, 3, day, 8 + i % 12, minute, second, uint32_t((i * 37) % 1000) * 1000000u);
  r.date(4, 2024, 3, day);
  if (i % 7 == 3) {
    r.null(5);  // no reading
  } else {
    r.real(5, -4.5 + i * 0.75);
  }
  if (i % 5 == 4) {
    r.null(6, -87);  // special missing "A"
  } else {
    r.real(6, 35.0 + (i * 3) % 50);
  }
  std::string payload;
  for (int k = 0; k < 16; ++k) payload += char((i * 31 + k * 7) & 0xFF);
  if (i % 4 == 1) payload.resize(size_t(4 + i % 9));  // shorter than the column
  r.sized(7, payload);
  return r.bytes();
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: gen_binary DIR [COUNT]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const long count = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  if (argc == 3 && count < 1) {
    std::fprintf(stderr, "gen_binary: COUNT must be a positive number\n");
    return 2;
  }
  std::string fixed;
  for (long i = 0; i < (count ? count : 12); ++i) fixed += payrollRecord(int(i));
  std::string varbin;
  for (long i = 0; i < (count ? count : 12); ++i) varbin += sensorRecord(int(i));
  if (!writeFile(dir + "/payroll.fixed", fixed) || !writeFile(dir + "/sensors.varbin", varbin)) {
    return 1;
  }
  return 0;
}
