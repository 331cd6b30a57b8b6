/* A format engine for the tests, in plain C, written from the documented
 * shape of the format object alone: its format objects are declared here
 * (TestFormat), not taken from kova/siblings.h, so a header whose format
 * object drifts from that shape makes the module talk past this engine.
 * The sibling handle and the engine around it use the kova tables.
 *
 * Informats (lookup kind 2):
 *   UPCASE    16-bit text to 16-bit text, ASCII letters upper-cased
 *   HALF      16-bit decimal digits (optional '-') to the double value / 2
 *   BYTESUM   bytes to the double sum of their values
 *   LOWBYTES  16-bit text to bytes: the low byte of each unit, lower-cased
 * Formats (lookup kind 1), each reading the double at the input address:
 *   STARS     16-bit text: the whole part right-aligned in width, '*'-filled
 *   RAW       bytes: the double's bytes, least significant first, width of them
 * Every run records the width, decimals, input length and capacity it saw. */
#ifndef KOVA_TESTS_ABI_FORMAT_ENGINE_H
#define KOVA_TESTS_ABI_FORMAT_ENGINE_H

#include <stdint.h>

#include "kova/siblings.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TestFormat TestFormat;

/* The documented shape, then the engine's own data. */
struct TestFormat {
  int32_t width;
  int32_t decimals;
  const void* input;   /* a value address, or text */
  int32_t inputLength; /* characters (text) or bytes */
  void* output;
  uint32_t outputCapacity; /* 16-bit units (text) or bytes */
  uint32_t outputLength;   /* 16-bit units (text) or bytes */
  int32_t inputKind;       /* 1 double, 2 16-bit text, 3 bytes */
  int32_t outputKind;
  int32_t (*operation)(TestFormat* object, int32_t zero); /* apply / formatValue */
  void (*release)(TestFormat* object);
  /* the engine's own */
  struct TestFormatSibling* sibling;
  int32_t runs;
  int32_t seenWidth;
  int32_t seenDecimals;
  int32_t seenInputLength;
  uint32_t seenCapacity;
  char name[12];
};

/* The zrefmt handle a test hands the module, and what it saw. */
typedef struct TestFormatSibling {
  KovaExtensionHandle handle; /* first: the module holds &handle */
  int32_t tagged;             /* the engine carries "ZRFM" and a table, or is its table */
  int32_t enginesLive;
  int32_t objectsLive;
  int32_t objectsMade;
  int32_t releases; /* format objects released through their hook */
  int32_t handleReleases;
  int32_t lastLookupKind;
  TestFormat* lastObject; /* the last one looked up (it may be released) */
} TestFormatSibling;

void testFormatSiblingInit(TestFormatSibling* sibling, int32_t tagged);

#ifdef __cplusplus
}
#endif

#endif
