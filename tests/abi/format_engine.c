/* The plain-C format engine of format_engine.h. */
#ifdef __cplusplus
#error "format_engine.c is the C engine; compile it as C"
#endif

#include "tests/abi/format_engine.h"

#include <stdlib.h>
#include <string.h>

enum { kDouble = 1, kText = 2, kBytes = 3 };
enum { kOk = 0, kUnknown = (int32_t)0x803fc009, kTooSmall = (int32_t)0x803fc0c9 };

static void note(TestFormat* object) {
  ++object->runs;
  object->seenWidth = object->width;
  object->seenDecimals = object->decimals;
  object->seenInputLength = object->inputLength;
  object->seenCapacity = object->outputCapacity;
  object->outputLength = 0;
}

static int32_t upcase(TestFormat* object, int32_t zero) {
  (void)zero;
  note(object);
  const char16_t* in = (const char16_t*)object->input;
  char16_t* out = (char16_t*)object->output;
  uint32_t n = 0;
  for (int32_t i = 0; i < object->inputLength && n < object->outputCapacity; ++i) {
    char16_t c = in[i];
    out[n++] = (c >= u'a' && c <= u'z') ? (char16_t)(c - 32) : c;
  }
  object->outputLength = n;
  return kOk;
}

static int32_t deliver(TestFormat* object, double value) {
  if (object->outputCapacity < sizeof value) return kTooSmall;
  memcpy(object->output, &value, sizeof value);
  object->outputLength = sizeof value;
  return kOk;
}

static int32_t half(TestFormat* object, int32_t zero) {
  (void)zero;
  note(object);
  const char16_t* in = (const char16_t*)object->input;
  int32_t i = 0;
  int negative = object->inputLength > 0 && in[0] == u'-';
  if (negative) i = 1;
  if (i >= object->inputLength) return kUnknown;
  double value = 0;
  for (; i < object->inputLength; ++i) {
    if (in[i] < u'0' || in[i] > u'9') return kUnknown;
    value = value * 10 + (in[i] - u'0');
  }
  return deliver(object, (negative ? -value : value) / 2);
}

static int32_t byteSum(TestFormat* object, int32_t zero) {
  (void)zero;
  note(object);
  const unsigned char* in = (const unsigned char*)object->input;
  double sum = 0;
  for (int32_t i = 0; i < object->inputLength; ++i) sum += in[i];
  return deliver(object, sum);
}

static int32_t lowBytes(TestFormat* object, int32_t zero) {
  (void)zero;
  note(object);
  const char16_t* in = (const char16_t*)object->input;
  unsigned char* out = (unsigned char*)object->output;
  uint32_t n = 0;
  for (int32_t i = 0; i < object->inputLength && n < object->outputCapacity; ++i) {
    unsigned char c = (unsigned char)(in[i] & 0xFF);
    out[n++] = (c >= 'A' && c <= 'Z') ? (unsigned char)(c + 32) : c;
  }
  object->outputLength = n;
  return kOk;
}

static int32_t stars(TestFormat* object, int32_t zero) {
  (void)zero;
  note(object);
  if (object->width <= 0 || (uint32_t)object->width > object->outputCapacity) return kTooSmall;
  double value;
  memcpy(&value, object->input, sizeof value);
  char digits[24];
  int32_t count = 0;
  unsigned long long whole = value < 0 ? 0 : (unsigned long long)value;
  do {
    digits[count++] = (char)('0' + whole % 10);
    whole /= 10;
  } while (whole && count < (int32_t)sizeof digits);
  char16_t* out = (char16_t*)object->output;
  for (int32_t i = 0; i < object->width; ++i) {
    int32_t fromRight = object->width - 1 - i;
    out[i] = fromRight < count ? (char16_t)digits[fromRight] : u'*';
  }
  object->outputLength = (uint32_t)object->width;
  return kOk;
}

static int32_t raw(TestFormat* object, int32_t zero) {
  (void)zero;
  note(object);
  uint32_t n = object->width > 8 || object->width <= 0 ? 8 : (uint32_t)object->width;
  if (n > object->outputCapacity) n = object->outputCapacity;
  memcpy(object->output, object->input, n);
  object->outputLength = n;
  return kOk;
}

typedef struct Entry {
  const char* name;
  int32_t kind; /* 1 format, 2 informat */
  int32_t inputKind;
  int32_t outputKind;
  int32_t (*operation)(TestFormat* object, int32_t zero);
} Entry;

static const Entry kEntries[] = {
    {"UPCASE", 2, kText, kText, upcase},      {"HALF", 2, kText, kDouble, half},
    {"BYTESUM", 2, kBytes, kDouble, byteSum}, {"LOWBYTES", 2, kText, kBytes, lowBytes},
    {"STARS", 1, kDouble, kText, stars},      {"RAW", 1, kDouble, kBytes, raw},
};

static void releaseObject(TestFormat* object) {
  --object->sibling->objectsLive;
  ++object->sibling->releases;
  free(object);
}

static int sameName(const char* entry, const char16_t* name, int64_t length) {
  if ((int64_t)strlen(entry) != length) return 0;
  for (int64_t i = 0; i < length; ++i) {
    char16_t c = name[i];
    if (c >= u'a' && c <= u'z') c = (char16_t)(c - 32);
    if (c != (char16_t)entry[i]) return 0;
  }
  return 1;
}

/* The engine: tagged ("ZRFM", then its table), or its own table. */
typedef struct Engine {
  union {
    struct {
      char16_t tag[4];
      const KovaFormatEngineOps* ops;
    } tagged;
    KovaFormatEngineOps own;
  } front;
  TestFormatSibling* sibling;
} Engine;

static KovaFormatObject* lookup(KovaFormatEngine* engine, const char16_t* name, int64_t length,
                                KovaLocale* locale, int32_t kind, uint32_t zero) {
  (void)locale;
  (void)zero;
  TestFormatSibling* sibling = ((Engine*)engine)->sibling;
  sibling->lastLookupKind = kind;
  for (size_t i = 0; i < sizeof kEntries / sizeof kEntries[0]; ++i) {
    const Entry* entry = &kEntries[i];
    if (entry->kind != kind || !sameName(entry->name, name, length)) continue;
    TestFormat* object = (TestFormat*)calloc(1, sizeof(TestFormat));
    if (!object) return NULL;
    object->inputKind = entry->inputKind;
    object->outputKind = entry->outputKind;
    object->operation = entry->operation;
    object->release = releaseObject;
    object->sibling = sibling;
    object->seenWidth = -1;
    strcpy(object->name, entry->name);
    ++sibling->objectsLive;
    ++sibling->objectsMade;
    sibling->lastObject = object;
    return (KovaFormatObject*)object;
  }
  return NULL;
}

static const KovaFormatEngineOps kEngineOps = {lookup};

static KovaFormatEngine* createEngine(KovaExtensionHandle* handle) {
  TestFormatSibling* sibling = (TestFormatSibling*)handle;
  Engine* engine = (Engine*)calloc(1, sizeof(Engine));
  if (!engine) return NULL;
  if (sibling->tagged) {
    memcpy(engine->front.tagged.tag, u"ZRFM", sizeof engine->front.tagged.tag);
    engine->front.tagged.ops = &kEngineOps;
  } else {
    engine->front.own = kEngineOps;
  }
  engine->sibling = sibling;
  ++sibling->enginesLive;
  return (KovaFormatEngine*)engine;
}

static void destroyEngine(KovaFormatEngine* engine) {
  --((Engine*)engine)->sibling->enginesLive;
  free(engine);
}

static void releaseExtension(KovaExtensionHandle* handle) {
  ++((TestFormatSibling*)handle)->handleReleases;
}

static const KovaExtensionHandleOps kHandleOps = {releaseExtension, NULL, createEngine,
                                                  destroyEngine};

void testFormatSiblingInit(TestFormatSibling* sibling, int32_t tagged) {
  memset(sibling, 0, sizeof *sibling);
  sibling->handle.ops = &kHandleOps;
  sibling->tagged = tagged;
}
