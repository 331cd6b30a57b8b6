// Dates, times and datetimes read straight from a field's bytes, for the
// columns whose bound informat is one of the host's date readers (YYMMDD,
// ANYDTDTE, ANYDTDTM, ANYDTTME, TIME). Only a few common written forms are
// recognised here; every other text still goes through the informat, so a
// text read here gives the very double the informat would give, and a text
// that is not (or names no value of the span) is left to it, failures and
// their log lines included.
#pragma once

#include <cstdint>

#include "kova/ripper.h"

namespace kova {

// Which of the host's date readers a column's informat is.
enum class DateReader : uint8_t {
  kUnknown = 0,  // not looked at yet (the zeroed state)
  kNone,         // another informat, or one that did not read like its name
  kYearFirst,    // YYMMDD: a date
  kAnyDate,      // ANYDTDTE: the date of a date or datetime
  kAnyDatetime,  // ANYDTDTM: a datetime (a date alone is its midnight)
  kAnyTime,      // ANYDTTME: the time of day of a time or datetime
  kTime,         // TIME: a time of day
};

// The reader a format name (NAMEw.d) stands for; kNone for any other name.
DateReader dateReaderNamed(const char16_t* name, int64_t length);

// Reads the n ASCII bytes of text as reader would when they are one of the
// forms below and name a value of the host's span (1582-01-01 to
// 20000-12-31); false for anything else:
//   yyyy-mm-dd
//   yyyy-mm-dd hh:mm:ss[.f...]   (also with "T" between date and time)
//   hh:mm:ss[.f...]
//   dd/Mon/yyyy:hh:mm:ss [+-hhmm] (the log form; the zone is ignored)
// Dates count days from 1960-01-01, datetimes and times seconds.
bool readDateText(DateReader reader, const uint8_t* text, uint32_t n, double* value);

// The reader of the column's bound informat, for a field in UTF-8; kNone
// when there is none. Decided once per informat object: by its name, and by
// reading a few probe texts through the informat itself, which must give
// what readDateText gives (a stand-in informat under the same name is
// never bypassed). Kept in the column's module-side settings.
DateReader dateReaderOf(KovaRipper* ripper, KovaColumnState* state);

}  // namespace kova
