/* The four sibling extensions of the host as the module sees them: zrexml
 * (XML parsing and escaping), zrejson (JSON parsing), zreavl (search trees)
 * and zrefmt (the format engine). Handles come from the kernel's
 * loadExtension and are released with releaseExtension (or a resource can);
 * every object they make has destroyObject first in its table. Usable from C. */
#ifndef KOVA_SIBLINGS_H
#define KOVA_SIBLINGS_H

#include <stddef.h>
#include <stdint.h>

#include "kova/host.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Common handle ----------------------------------------------------- */

typedef struct KovaExtensionHandleOps {
  void (*releaseExtension)(KovaExtensionHandle* handle);
  /* zrexml, zrejson, zreavl: a new object from a configuration record, or
   * null. zrefmt answers null. */
  void* (*createObject)(KovaExtensionHandle* handle, const void* configuration,
                        KovaDiagnostics* diagnostics, const char* objectName);
  /* zrefmt only (null elsewhere): the format engine, or null. */
  struct KovaFormatEngine* (*createEngine)(KovaExtensionHandle* handle);
  void (*destroyEngine)(struct KovaFormatEngine* engine);
} KovaExtensionHandleOps;

struct KovaExtensionHandle {
  const KovaExtensionHandleOps* ops;
};

/* ---- zrexml ------------------------------------------------------------ */

/* Object name that selects the escaper; any other name makes a parser. */
#define kXmlEscaperName "xml for escaping"
#define kXmlEscapeContent 0 /* escape for element content */
#define kXmlEscapeCdata 1   /* prepare for a CDATA section */

/* The 88-byte configuration of an escaper or a parser. */
typedef struct KovaXmlConfig {
  int32_t inputEncoding; /* 0: parser input (20 UTF-8, 0 auto); escaper: text encoding 25 */
  uint32_t reserved0;
  int32_t callbackEncoding; /* 8: 25 */
  uint32_t reserved1;
  const char16_t* documentName; /* 16 */
  int32_t documentNameLength;   /* 24: characters */
  uint32_t options;             /* 28 */
  void* pool;                   /* 32: escaper only, the caller's KovaPool */
  KovaDiagnostics* diagnostics; /* 40 */
  void* callbacks;              /* 48: a KovaXmlCallbacks table (parser) */
  uint64_t reserved2[4];
} KovaXmlConfig;

typedef struct KovaXmlCallbacks KovaXmlCallbacks;

/* One attribute of a start element; names and values are 16-bit text with
 * lengths in bytes. */
typedef struct KovaXmlAttribute {
  const char16_t* name;
  int32_t nameLength;
  const char16_t* value;
  int32_t valueLength;
} KovaXmlAttribute;

typedef KovaStatus (*KovaXmlCharacters)(KovaXmlCallbacks* table, const char16_t* text,
                                        int32_t lengthBytes);
typedef KovaStatus (*KovaXmlEndElement)(KovaXmlCallbacks* table, const char16_t* name,
                                        int32_t nameBytes);
typedef KovaStatus (*KovaXmlStartElement)(KovaXmlCallbacks* table, const char16_t* name,
                                          int32_t nameBytes, int32_t attributeCount,
                                          const KovaXmlAttribute* attributes);

/* The callback table; each caller keeps its own context in words after it
 * (the table is the first member of the caller's context record). */
struct KovaXmlCallbacks {
  KovaXmlCharacters characters;
  void* unused1;
  void* unused2;
  void* unused3;
  KovaXmlEndElement endElement;
  KovaXmlStartElement startElement;
  void* unused6[5];
};

typedef struct KovaXmlObject KovaXmlObject;

typedef struct KovaXmlObjectOps {
  void (*destroyObject)(KovaXmlObject* object);
  /* Escaper: 16-bit text (length in bytes) to the escaped text (length in
   * bytes), valid until the next call. */
  KovaStatus (*escape)(KovaXmlObject* object, int32_t mode, const char16_t* text,
                       int64_t lengthBytes, const char16_t** out, int64_t* outBytes);
  /* Parser: feeds bytes; final marks the last piece. Callbacks run inside;
   * a nonzero callback status stops the parse and is returned;
   * kStatusDocumentComplete when the document is complete. */
  KovaStatus (*parse)(KovaXmlObject* object, const void* bytes, int64_t length, int32_t final);
} KovaXmlObjectOps;

struct KovaXmlObject {
  const KovaXmlObjectOps* ops;
};

/* ---- zrejson ----------------------------------------------------------- */

typedef struct KovaJsonConfig {
  int32_t inputEncoding;    /* 0: the table's encoding */
  int32_t callbackEncoding; /* 4: 25 */
  int32_t value1536;        /* 8: 1536 */
  uint32_t reserved0;
  uint64_t reserved1[2];
  void* callbacks; /* 32: the caller's callback table */
  uint64_t reserved2[2];
} KovaJsonConfig;

typedef struct KovaJsonParser KovaJsonParser;

typedef struct KovaJsonParserOps {
  void (*destroyObject)(KovaJsonParser* parser);
  KovaStatus (*parse)(KovaJsonParser* parser, const void* bytes, int64_t length, int32_t zero);
} KovaJsonParserOps;

struct KovaJsonParser {
  const KovaJsonParserOps* ops;
};

/* ---- zreavl ------------------------------------------------------------ */

/* Eight 32-bit words: 1, 16 (key offset in an item), 14, 1, 0, 0, 0, 0. */
typedef struct KovaTreeConfig {
  uint32_t words[8];
} KovaTreeConfig;

/* A key: 16-bit text and its length in characters. Items carry one at the
 * key offset. */
typedef struct KovaTreeKey {
  const char16_t* text;
  uint32_t length;
} KovaTreeKey;

typedef struct KovaTree KovaTree;

typedef struct KovaTreeOps {
  void (*destroyObject)(KovaTree* tree);
  /* Adds item (not copied; it must outlive the tree). */
  KovaStatus (*insertItem)(KovaTree* tree, void* item);
  /* The item whose key equals key, or null. */
  void* (*findItem)(KovaTree* tree, const KovaTreeKey* key);
} KovaTreeOps;

struct KovaTree {
  const KovaTreeOps* ops;
};

/* ---- zrefmt ------------------------------------------------------------ */

#define kFormatLookupFormat 1
#define kFormatLookupInformat 2

/* Input and output kinds of a format object. */
#define kFormatKindDouble 1 /* an 8-byte double at the value address */
#define kFormatKindWide 2   /* 16-bit text */
#define kFormatKindBytes 3  /* raw bytes (binary informats such as IEEE) */

typedef struct KovaFormatObject KovaFormatObject;

/* A format or an informat; both have this one shape, 72 bytes with the
 * engine's own word. The caller sets width and decimals after the lookup,
 * fills the input, output and outputCapacity before each run and reads
 * outputLength after it. The lengths are 32-bit: a caller refuses an input
 * longer than INT32_MAX characters and cuts a capacity above UINT32_MAX
 * (see setFormatInput and setFormatOutput in src/host/siblings.h). */
struct KovaFormatObject {
  int32_t width;           /* 0 */
  int32_t decimals;        /* 4 */
  const void* input;       /* 8: a value address, or text */
  int32_t inputLength;     /* 16: characters (text) or bytes */
  uint32_t reserved0;      /* 20 */
  void* output;            /* 24 */
  uint32_t outputCapacity; /* 32: 16-bit units (text) or bytes */
  uint32_t outputLength;   /* 36: 16-bit units (text) or bytes */
  int32_t inputKind;       /* 40: kFormatKind* */
  int32_t outputKind;      /* 44: kFormatKind* */
  /* 48: apply (informat) or formatValue (format). */
  KovaStatus (*run)(KovaFormatObject* object, int32_t zero);
  /* 56: release hook; null when the object needs none. */
  void (*release)(KovaFormatObject* object);
  void* engineData; /* 64: the engine's own; never read by the module */
};

typedef struct KovaFormatEngine KovaFormatEngine;

typedef struct KovaFormatEngineOps {
  /* kind 1 a format, kind 2 an informat; null for an unknown name. */
  KovaFormatObject* (*lookup)(KovaFormatEngine* engine, const char16_t* name, int64_t length,
                              KovaLocale* locale, int32_t kind, uint32_t zero);
} KovaFormatEngineOps;

/* An engine tagged "ZRFM" (16-bit) keeps its table behind the tag; any other
 * engine is its own KovaFormatEngineOps. */
struct KovaFormatEngine {
  char16_t tag[4];
  const KovaFormatEngineOps* ops;
};

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(KovaXmlConfig) == 88, "zrexml configuration");
static_assert(offsetof(KovaXmlConfig, callbackEncoding) == 8, "zrexml callback encoding");
static_assert(offsetof(KovaXmlConfig, documentName) == 16, "zrexml document name");
static_assert(offsetof(KovaXmlConfig, documentNameLength) == 24, "zrexml name length");
static_assert(offsetof(KovaXmlConfig, options) == 28, "zrexml options");
static_assert(offsetof(KovaXmlConfig, pool) == 32, "zrexml pool");
static_assert(offsetof(KovaXmlConfig, diagnostics) == 40, "zrexml diagnostics");
static_assert(offsetof(KovaXmlConfig, callbacks) == 48, "zrexml callbacks");
static_assert(offsetof(KovaXmlCallbacks, endElement) == 4 * sizeof(void*), "fifth slot");
static_assert(offsetof(KovaXmlCallbacks, startElement) == 5 * sizeof(void*), "sixth slot");
static_assert(sizeof(KovaXmlCallbacks) == 11 * sizeof(void*), "eleven slots");
static_assert(sizeof(KovaJsonConfig) == 56, "zrejson configuration");
static_assert(offsetof(KovaJsonConfig, value1536) == 8, "zrejson 1536");
static_assert(offsetof(KovaJsonConfig, callbacks) == 32, "zrejson callbacks");
static_assert(sizeof(KovaTreeConfig) == 32, "zreavl configuration");
static_assert(offsetof(KovaFormatEngine, ops) == 8, "format engine table behind the tag");
#endif

/* The format object is read and written by engines built on their own
 * headers: its layout is checked in C and in C++. */
#ifdef __cplusplus
#define KOVA_FORMAT_LAYOUT(condition, what) static_assert(condition, what)
#else
#define KOVA_FORMAT_LAYOUT(condition, what) _Static_assert(condition, what)
#endif
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, width) == 0, "format.width");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, decimals) == 4, "format.decimals");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, input) == 8, "format.input");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, inputLength) == 16, "format.inputLength");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, output) == 24, "format.output");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, outputCapacity) == 32, "format.outputCapacity");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, outputLength) == 36, "format.outputLength");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, inputKind) == 40, "format.inputKind");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, outputKind) == 44, "format.outputKind");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, run) == 48, "format.run (apply / formatValue)");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, release) == 56, "format.release");
KOVA_FORMAT_LAYOUT(offsetof(KovaFormatObject, engineData) == 64, "format engine data behind");
KOVA_FORMAT_LAYOUT(sizeof(KovaFormatObject) == 72, "format object size");
#undef KOVA_FORMAT_LAYOUT

#endif
