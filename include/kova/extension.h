/* The module's front door: the four exported entry points and the extension
 * object of 25 pointer-sized words that zrekova builds. The extension lives
 * in its own pool from zrekova until its destroy; instances and rippers read
 * its xmlExtension, locale, utf8Transcoder and prologue, so it must outlive
 * them. Usable from C. */
#ifndef KOVA_EXTENSION_H
#define KOVA_EXTENSION_H

#include <stdint.h>

#include "kova/host.h"
#include "kova/metadata.h"
#include "kova/siblings.h"

#ifdef __cplusplus
extern "C" {
#endif

#define kExtensionMajor 7
#define kExtensionMinor 1
#define kPrologueLength 121

struct KovaRipper;
struct KovaRipperOptions;

typedef struct KovaExtensionObject KovaExtensionObject;

/* Contracts of the entry points and of the extension object's operations.
 * Statuses are the kStatus* codes of kova/host.h; "null" means nothing was
 * made and nothing is left behind in the host's account.
 *
 * zrextent, zrextver: store the kernel handle for everything that follows
 *   (one per process) and answer 0; zrextver also writes 7 and 1 through
 *   major and minor where they are not null. Call one of them first.
 * zrekova: builds the extension in a pool of its own; null when the kernel
 *   was never given, the NLS service or the zrexml sibling is missing, or any
 *   allocation or host object fails (what was made is released). The caller
 *   owns the extension until its destroy (word 6), which releases everything
 *   it holds and answers 0; instances and rippers made through it must be
 *   destroyed first.
 * zrvercn1: copies the 26-word version record into buffer (nothing when
 *   buffer is null).
 * getVersion, getSecondVersion: write 7, 1, 1 and 1, 1, 0 through the
 *   non-null pointers; answer 0.
 * createInstance: a table-metadata object in a pool of its own; null when
 *   the pool, the object or its name cannot be had. The caller owns it until
 *   its destroy; it must not outlive the extension.
 * addColumn: a zero-filled column appended to the object, owned by the
 *   object (columns never move); null when its pool is out of memory, the
 *   object then unchanged.
 * copyString: a copy of length code units in the object's pool, owned by
 *   the object; null for a null text, a length below 1, or no memory.
 * writeXml: the whole document in the object's output buffer; *document and
 *   *length valid until the next writeXml or the object's destroy. On failure
 *   both are null and 0 and the status is kStatusNoMemory, kStatusBadRecordFormat,
 *   kStatusNotSupported (a text XML 1.0 cannot carry) or the host's.
 * readXml, readXmlChunk: fill the object from a document (fields the
 *   document names are overwritten, columns appended); 0 or the parser's, a
 *   callback's or kStatusNoMemory. The object keeps what was read before a
 *   failure; a failed piece ends a chunked read, so the next call starts a
 *   new document. The bytes are only read during the call.
 * createRipper: see kova/ripper.h.
 * setFormats: derives inputFormat and outputFormat from fileType; 0 for a
 *   known file type, 1 when the DELIMITED row was taken.
 * checkFormat: 0 when the format engine knows the NAMEw.d format (informat
 *   0) or informat (informat non-zero), else kStatusNotSupported. */
struct KovaExtensionObject {
  char eyecatcher[4]; /* 0: "nevo" */
  uint32_t reserved0;
  void* word1; /* 1 */
  void* word2; /* 2 */
  int32_t (*getVersion)(KovaExtensionObject* extension, int64_t* a, int64_t* b,
                        int64_t* c); /* 3: 7, 1, 1 */
  int32_t (*getSecondVersion)(KovaExtensionObject* extension, int64_t* a, int64_t* b,
                              int64_t* c);            /* 4: 1, 1, 0 */
  void* word5;                                        /* 5 */
  int32_t (*destroy)(KovaExtensionObject* extension); /* 6 */
  void* word7;                                        /* 7 */
  void* word8;                                        /* 8 */
  KovaObject* (*createInstance)(KovaExtensionObject* extension, const uint32_t* flags,
                                KovaDiagnostics* diagnostics, const char* name);           /* 9 */
  KovaColumn* (*addColumn)(KovaObject* object);                                            /* 10 */
  const char16_t* (*copyString)(KovaObject* object, const char16_t* text, int64_t length); /* 11 */
  KovaStatus (*writeXml)(KovaObject* object, const uint8_t** document, uint64_t* length);  /* 12 */
  KovaStatus (*readXml)(KovaObject* object, const void* bytes, int64_t length,
                        KovaDiagnostics* diagnostics); /* 13 */
  void* word14;                                        /* 14 */
  struct KovaRipper* (*createRipper)(KovaObject* object, const struct KovaRipperOptions* options,
                                     KovaDiagnostics* diagnostics); /* 15 */
  int32_t (*setFormats)(KovaObject* object);                        /* 16 */
  KovaStatus (*checkFormat)(KovaObject* object, const char16_t* name, int64_t length,
                            int32_t informat); /* 17 */
  KovaStatus (*readXmlChunk)(KovaObject* object, const void* bytes, int64_t length,
                             int32_t moreToCome, KovaDiagnostics* diagnostics); /* 18 */
  KovaExtensionHandle* xmlExtension;                                            /* 19 */
  KovaPool* pool;                                                               /* 20 */
  KovaLocale* locale;                                                           /* 21 */
  KovaTranscoder* utf8Transcoder;                                               /* 22 */
  const uint8_t* prologue;                                                      /* 23 */
  uint64_t prologueLength;                                                      /* 24 */
};

/* The version record copied by zrvercn1: 26 pointer-sized words. */
#define kVersionRecordWords 26
typedef struct KovaVersionRecord {
  const char* productVersion;
  const char* buildBranch;
  const char* buildDate;
  const char* buildTime;
  const char* componentName;
  const char* componentLabel;
  const char* moduleName;
  const char* copyrightLabel;
  uintptr_t buildTimestamp; /* seconds since 1970, 32-bit value */
  uintptr_t zero[17];
} KovaVersionRecord;

/* Entry points (the only exported symbols of libzrekova.so). */
typedef int32_t (*KovaZrextent)(KovaKernel* kernel);
typedef int32_t (*KovaZrextver)(KovaKernel* kernel, int64_t* major, int64_t* minor);
typedef KovaExtensionObject* (*KovaZrekova)(KovaKernel* kernel, KovaDiagnostics* diagnostics);
typedef void (*KovaZrvercn1)(void* buffer);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(KovaExtensionObject) == 25 * sizeof(void*), "extension object words");
static_assert(offsetof(KovaExtensionObject, getVersion) == 3 * sizeof(void*), "word 3");
static_assert(offsetof(KovaExtensionObject, destroy) == 6 * sizeof(void*), "word 6");
static_assert(offsetof(KovaExtensionObject, createInstance) == 9 * sizeof(void*), "word 9");
static_assert(offsetof(KovaExtensionObject, createRipper) == 15 * sizeof(void*), "word 15");
static_assert(offsetof(KovaExtensionObject, readXmlChunk) == 18 * sizeof(void*), "word 18");
static_assert(offsetof(KovaExtensionObject, xmlExtension) == 19 * sizeof(void*), "word 19");
static_assert(offsetof(KovaExtensionObject, prologueLength) == 24 * sizeof(void*), "word 24");
static_assert(sizeof(KovaVersionRecord) == kVersionRecordWords * sizeof(void*), "version record");
#endif

#endif
