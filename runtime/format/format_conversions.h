// The conversions behind the names of the format engine, one per side: the
// `run` slots of format objects. Each reads the object's input and writes its
// output as kova/siblings.h describes; docs/formats.md says what each
// accepts and writes. REQUIRES: the object was made by the engine's lookup.
#pragma once

#include "kova/siblings.h"

namespace kova::runtime {

using FormatRun = KovaStatus (*)(KovaFormatObject* object, int32_t zero);

// Numbers (format_numbers.cc).
KovaStatus readPlainNumber(KovaFormatObject* object, int32_t zero);  // F, BEST, E
KovaStatus readCommaNumber(KovaFormatObject* object, int32_t zero);  // COMMA
KovaStatus writeFixed(KovaFormatObject* object, int32_t zero);       // F
KovaStatus writeBest(KovaFormatObject* object, int32_t zero);        // BEST
KovaStatus writeComma(KovaFormatObject* object, int32_t zero);       // COMMA
KovaStatus writeScientific(KovaFormatObject* object, int32_t zero);  // E

// Dates, times and datetimes in one written form each (format_dates.cc).
KovaStatus readYearFirst(KovaFormatObject* object, int32_t zero);     // YYMMDD
KovaStatus readMonthFirst(KovaFormatObject* object, int32_t zero);    // MMDDYY
KovaStatus readDayFirst(KovaFormatObject* object, int32_t zero);      // DDMMYY
KovaStatus readDayMonthName(KovaFormatObject* object, int32_t zero);  // DATE
KovaStatus readTime(KovaFormatObject* object, int32_t zero);          // TIME
KovaStatus readDatetime(KovaFormatObject* object, int32_t zero);      // DATETIME
KovaStatus writeYearFirst(KovaFormatObject* object, int32_t zero);
KovaStatus writeMonthFirst(KovaFormatObject* object, int32_t zero);
KovaStatus writeDayFirst(KovaFormatObject* object, int32_t zero);
KovaStatus writeDayMonthName(KovaFormatObject* object, int32_t zero);
KovaStatus writeTime(KovaFormatObject* object, int32_t zero);
KovaStatus writeDatetime(KovaFormatObject* object, int32_t zero);

// Dates, times and datetimes in any common written form (format_any_date.cc).
KovaStatus readAnyDate(KovaFormatObject* object, int32_t zero);      // ANYDTDTE
KovaStatus readAnyTime(KovaFormatObject* object, int32_t zero);      // ANYDTTME
KovaStatus readAnyDatetime(KovaFormatObject* object, int32_t zero);  // ANYDTDTM

// Character text and binary doubles (format_char_binary.cc).
KovaStatus copyCharacters(KovaFormatObject* object, int32_t zero);  // $CHAR both sides, $ format
KovaStatus readTrimmedCharacters(KovaFormatObject* object, int32_t zero);   // $ informat
KovaStatus readBigEndianDouble(KovaFormatObject* object, int32_t zero);     // IEEE
KovaStatus readLittleEndianDouble(KovaFormatObject* object, int32_t zero);  // IEEER
KovaStatus writeBigEndianDouble(KovaFormatObject* object, int32_t zero);
KovaStatus writeLittleEndianDouble(KovaFormatObject* object, int32_t zero);

}  // namespace kova::runtime
