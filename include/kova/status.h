/* Status codes shared by the module and its host.
 * Every operation that can fail returns one of these 32-bit codes; 0 is success.
 * Creation operations report failure with a null result instead. */
#ifndef KOVA_STATUS_H
#define KOVA_STATUS_H

#include <stdint.h>

typedef uint32_t KovaStatus;

#define kStatusOk ((KovaStatus)0u)
/* Memory could not be obtained, or a required copy or object could not be made. */
#define kStatusNoMemory ((KovaStatus)0x803fc002u)
/* A record format code that the metadata document cannot name. */
#define kStatusBadRecordFormat ((KovaStatus)0x803fc003u)
/* Not supported or not available (also: operation before bind, unknown format). */
#define kStatusNotSupported ((KovaStatus)0x803fc009u)
/* A parser's status for a complete document; counted as success. */
#define kStatusDocumentComplete ((KovaStatus)0x803fc064u)
/* The host's formatter needs a larger buffer; the needed length is reported. */
#define kStatusBufferTooSmall ((KovaStatus)0x803fc0c9u)
/* No NLS service for a number parse. */
#define kStatusNoNls ((KovaStatus)0x803fc32bu)
/* A transcoder's target is too small. */
#define kStatusTargetTooSmall ((KovaStatus)0x803fe807u)
/* A transcoder condition the metadata writer does not count as a failure. */
#define kStatusTranscodeWarning ((KovaStatus)0x803fe813u)
/* A JSON parse failure, or a decimal value without its 19-byte length (burner). */
#define kStatusJsonParse ((KovaStatus)0x80fff802u)
/* A decimal's text does not fit the room given. */
#define kStatusDecimalNoRoom ((KovaStatus)0x80fff83cu)
/* A decimal value does not fit its precision and scale. */
#define kStatusDecimalOverflow ((KovaStatus)0x80fff83eu)
/* A text is not a number (decimal parsing). */
#define kStatusNotANumber ((KovaStatus)0x80fff847u)
/* A decimal precision above 38 or a scale below -127. */
#define kStatusDecimalPrecision ((KovaStatus)0x80fff894u)
/* Corrupted variable-binary input. */
#define kStatusCorruptData ((KovaStatus)0xFFFFFFFFu)

/* The constant's name for a known code ("kStatusNoMemory"), or null. */
static inline const char* kovaStatusName(KovaStatus status) {
  switch (status) {
    case kStatusOk:
      return "kStatusOk";
    case kStatusNoMemory:
      return "kStatusNoMemory";
    case kStatusBadRecordFormat:
      return "kStatusBadRecordFormat";
    case kStatusNotSupported:
      return "kStatusNotSupported";
    case kStatusDocumentComplete:
      return "kStatusDocumentComplete";
    case kStatusBufferTooSmall:
      return "kStatusBufferTooSmall";
    case kStatusNoNls:
      return "kStatusNoNls";
    case kStatusTargetTooSmall:
      return "kStatusTargetTooSmall";
    case kStatusTranscodeWarning:
      return "kStatusTranscodeWarning";
    case kStatusJsonParse:
      return "kStatusJsonParse";
    case kStatusDecimalNoRoom:
      return "kStatusDecimalNoRoom";
    case kStatusDecimalOverflow:
      return "kStatusDecimalOverflow";
    case kStatusNotANumber:
      return "kStatusNotANumber";
    case kStatusDecimalPrecision:
      return "kStatusDecimalPrecision";
    case kStatusCorruptData:
      return "kStatusCorruptData";
    default:
      return 0;
  }
}

#endif
