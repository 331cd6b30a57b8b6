/* The host kernel as the module sees it: the kernel handle, memory pools,
 * resource cans, diagnostics contexts and the NLS service (transcoders,
 * encoding handles, the locale). The host owns every object here; the module
 * only calls through the operation tables, in slot order. Usable from C. */
#ifndef KOVA_HOST_H
#define KOVA_HOST_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#include "kova/status.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KovaKernel KovaKernel;
typedef struct KovaPool KovaPool;
typedef struct KovaCan KovaCan;
typedef struct KovaDiagnostics KovaDiagnostics;
typedef struct KovaNls KovaNls;
typedef struct KovaTranscoder KovaTranscoder;
typedef struct KovaEncodingHandle KovaEncodingHandle;
typedef struct KovaLocale KovaLocale;
typedef struct KovaExtensionHandle KovaExtensionHandle;

/* Encoding identifiers are small integers below kEncodingLimit. */
#define kEncodingLimit 265
#define kEncodingUtf8 20
#define kEncodingWide 25    /* the module's 16-bit text, native byte order */
#define kEncodingLiteral 62 /* the encoding of the module's narrow literals */

/* ---- Memory pools ------------------------------------------------------ */

#define kPoolZeroFill 0x80000000u /* allocate/resize: clear the new bytes */
#define kPoolDiscard 0x40000000u  /* resize: the old contents need not be kept */

typedef struct KovaPoolOptions {
  uint32_t kind; /* 1 for instance pools, 0 otherwise */
  uint32_t reserved0;
  uint64_t reserved[3];
} KovaPoolOptions;

typedef struct KovaPoolOps {
  /* Returns size bytes (zeroed with kPoolZeroFill) or null. */
  void* (*allocate)(KovaPool* pool, uint64_t size, uint32_t flags);
  /* Grows or shrinks block (null: a new block); the block may move. Null on
   * failure, the old block then stays valid. */
  void* (*resize)(KovaPool* pool, void* block, uint64_t size, uint32_t flags);
  void (*free)(KovaPool* pool, void* block);
  /* Releases the pool and every block in it. */
  void (*destroyPool)(KovaPool* pool);
} KovaPoolOps;

struct KovaPool {
  const KovaPoolOps* ops;
};

/* ---- Resource cans ----------------------------------------------------- */

#define kCanKindHost 0u   /* transcoders, parsers, trees, extension handles, encoding handles */
#define kCanKindFormat 1u /* format-engine objects, released by the registered releaser */
/* canSetReleaser(can, kCanKindHost, kCanReleaseSelf): host objects release
 * themselves through the first slot of their operation table. */
#define kCanReleaseSelf ((uintptr_t)1)

typedef struct KovaCanOptions {
  uint32_t kind; /* 3 */
  uint32_t reserved0;
  uint64_t reserved1;
  uint64_t mode; /* 2 */
  uint64_t reserved[2];
} KovaCanOptions;

/* A releaser for objects of one kind; gets the registered object. */
typedef void (*KovaReleaser)(void* object);

typedef struct KovaCanOps {
  /* Registers object of the given kind; destroying the can releases it.
   * The four trailing arguments are zero. */
  KovaStatus (*canAdd)(KovaCan* can, uint32_t zero, uint32_t kind, void* object, uint64_t z1,
                       uint64_t z2, uint64_t z3, uint64_t z4);
  /* kind 0 takes kCanReleaseSelf; kind 1 takes a KovaReleaser cast to uintptr_t. */
  KovaStatus (*canSetReleaser)(KovaCan* can, uint32_t kind, uintptr_t releaser);
  /* Releases every registered object, newest first, then the can itself. */
  void (*destroyCan)(KovaCan* can);
} KovaCanOps;

struct KovaCan {
  const KovaCanOps* ops;
};

/* Every host object that may be registered with kCanKindHost (transcoders,
 * encoding handles, sibling extension handles and sibling objects) begins with
 * a pointer to an operation table whose first slot releases the object. */
typedef struct KovaSelfReleasingOps {
  void (*release)(void* object);
} KovaSelfReleasingOps;

/* ---- Diagnostics ------------------------------------------------------- */

#define kLogTrace 2
#define kLogWarning 3
#define kLogError 4

typedef struct KovaDiagnosticsOps {
  /* One log line: a 16-bit printf-style format (printWide's subset) and its
   * arguments. */
  void (*log)(KovaDiagnostics* context, int32_t level, const char16_t* format, int64_t formatLength,
              va_list args);
  void (*reportStatus)(KovaDiagnostics* context, int32_t level, KovaStatus status);
} KovaDiagnosticsOps;

struct KovaDiagnostics {
  const KovaDiagnosticsOps* ops;
};

/* ---- Kernel handle ----------------------------------------------------- */

#define kOptionTypeInteger 3

typedef struct KovaKernelOps {
  KovaPool* (*createPool)(KovaKernel* kernel, const KovaPoolOptions* options,
                          KovaDiagnostics* diagnostics, const char* name);
  KovaCan* (*createResourceCan)(KovaKernel* kernel, const KovaCanOptions* options,
                                KovaDiagnostics* diagnostics, const char* name);
  /* Loads a sibling extension ("zrexml", "zrejson", "zreavl", "zrefmt") by
   * its 16-bit name; null when unknown or not loadable. */
  KovaExtensionHandle* (*loadExtension)(KovaKernel* kernel, const char16_t* name, int32_t length,
                                        KovaDiagnostics* diagnostics);
  /* Reads an option; type 3 is a 64-bit integer written to value, whose size
   * (8) is passed in and out through size. 0 when the value was written. */
  KovaStatus (*getOption)(KovaKernel* kernel, const char16_t* key, int32_t keyLength, int32_t type,
                          void* value, int64_t* size);
  /* Formats 16-bit text into target (no terminator is written). Supports
   * %d %u %ld %lld %x %X %s %.*s %% with flags '-' and '0', width and
   * precision; %s and %.*s take 16-bit text (%s NUL-terminated, %.*s an int
   * length first). When capacity is too small: kStatusBufferTooSmall and the
   * needed length in *length. */
  KovaStatus (*printWide)(KovaKernel* kernel, void* context, const char16_t* format,
                          int64_t formatLength, char16_t* target, int64_t capacity, int64_t* length,
                          int32_t zero, ...);
} KovaKernelOps;

struct KovaKernel {
  const KovaKernelOps* ops;
  KovaNls* nls; /* the NLS service, or null when the host has none */
};

/* ---- NLS service ------------------------------------------------------- */

typedef struct KovaTranscoderOps {
  void (*destroyTranscoder)(KovaTranscoder* transcoder);
  /* Converts source (bytes) into target. 0 on success with *written set;
   * kStatusTargetTooSmall when target cannot hold the result (nothing
   * useful is in target then). */
  KovaStatus (*transcode)(KovaTranscoder* transcoder, const void* source, uint64_t sourceBytes,
                          void* target, uint64_t capacity, uint64_t* written, uint32_t zero);
} KovaTranscoderOps;

struct KovaTranscoder {
  const KovaTranscoderOps* ops;
};

typedef struct KovaEncodingInfo {
  const char16_t* name;        /* e.g. u"UTF-8" */
  int64_t nameLength;          /* in code units */
  const char16_t* description; /* e.g. u"Unicode, 8-bit variable width" */
  int64_t descriptionLength;
  int8_t maxBytesPerChar;
  uint8_t reserved[7];
} KovaEncodingInfo;

/* Number readers and writers and text helpers of one encoding. Texts are
 * bytes in the handle's encoding; lengths are in bytes. */
typedef struct KovaEncodingHandleOps {
  void (*release)(KovaEncodingHandle* handle);
  /* (handle, locale, value, width, decimals, flags, output, capacity, length out) */
  KovaStatus (*formatDouble)(KovaEncodingHandle* handle, KovaLocale* locale, double value,
                             int32_t width, int32_t decimals, uint32_t flags, void* output,
                             uint64_t capacity, uint64_t* length);
  /* (handle, locale, value, width, zero, output, capacity, length out) */
  KovaStatus (*formatInteger)(KovaEncodingHandle* handle, KovaLocale* locale, int64_t value,
                              int32_t width, uint32_t zero, void* output, uint64_t capacity,
                              uint64_t* length);
  /* (handle, locale, text, length, zero, value out, scratch out) */
  KovaStatus (*readDouble)(KovaEncodingHandle* handle, KovaLocale* locale, const void* text,
                           uint64_t length, uint32_t zero, double* value, uint64_t* scratch);
  KovaStatus (*readInteger)(KovaEncodingHandle* handle, KovaLocale* locale, const void* text,
                            uint64_t length, uint32_t zero, int64_t* value, uint64_t* scratch);
  /* 0 when the bytes are valid text of the encoding. */
  KovaStatus (*checkValue)(KovaEncodingHandle* handle, const void* bytes, uint64_t length,
                           uint32_t zero, uint64_t* scratch);
  /* Writes byteCount bytes of blanks of the encoding. */
  KovaStatus (*fillBlanks)(KovaEncodingHandle* handle, void* target, uint64_t byteCount,
                           uint32_t zero, uint64_t* scratch);
  /* Offset of the first occurrence of pattern in text, or -1. */
  int64_t (*find)(KovaEncodingHandle* handle, const void* text, uint64_t length,
                  const void* pattern, uint64_t patternLength);
  /* The length of text without its trailing blanks. */
  uint64_t (*trimmedLength)(KovaEncodingHandle* handle, const void* text, uint64_t length,
                            uint32_t zero);
  /* Moves the text left over its leading blanks (mode 0x6c: and drops the
   * trailing ones); writes the resulting length. */
  KovaStatus (*alignLeft)(KovaEncodingHandle* handle, void* text, uint64_t length, uint32_t mode,
                          uint64_t* resultLength);
} KovaEncodingHandleOps;

struct KovaEncodingHandle {
  const KovaEncodingHandleOps* ops;
  int32_t encoding;
};

typedef struct KovaLocaleOps {
  /* Integers from 16-bit decimal digits; strict refuses anything but an
   * optional sign and digits, lenient also skips surrounding blanks.
   * 0 and the value, or a status (the value is then left unchanged). */
  KovaStatus (*parseIntegerStrict)(KovaLocale* locale, const char16_t* digits, int64_t length,
                                   uint32_t zero, int32_t* value, uint64_t* scratch);
  KovaStatus (*parseInteger)(KovaLocale* locale, const char16_t* digits, int64_t length,
                             uint32_t zero, int32_t* value, uint64_t* scratch);
  KovaStatus (*readWideDouble)(KovaLocale* locale, const char16_t* text, int64_t length,
                               double* value, uint64_t* scratch);
  KovaStatus (*readWideInteger)(KovaLocale* locale, const char16_t* text, int64_t length,
                                uint32_t zero, int64_t* value, uint64_t* scratch);
} KovaLocaleOps;

struct KovaLocale {
  const KovaLocaleOps* ops;
};

/* Unicode classification bits answered by classify. */
#define kCharPrintable 1u
#define kCharWhiteSpace 2u

typedef struct KovaNlsOps {
  /* Non-zero when text in encoding from must be converted to be text in to. */
  int32_t (*needsTranscoding)(KovaNls* nls, int32_t from, int32_t to, uint32_t zero);
  /* The byte length source takes in encoding to. */
  KovaStatus (*transcodedLength)(KovaNls* nls, int32_t from, const void* source,
                                 uint64_t sourceBytes, int32_t to, uint64_t* length);
  KovaTranscoder* (*createTranscoder)(KovaNls* nls, int32_t from, int32_t to, uint32_t zero,
                                      KovaDiagnostics* diagnostics);
  /* A transcoder from encoding 25 to the given encoding. */
  KovaTranscoder* (*createWideTranscoder)(KovaNls* nls, int32_t to, uint32_t zero,
                                          KovaDiagnostics* diagnostics);
  KovaStatus (*encodingInfo)(KovaNls* nls, int32_t encoding, KovaEncodingInfo* info);
  KovaStatus (*encodingHandle)(KovaNls* nls, int32_t encoding, uint32_t zero,
                               KovaEncodingHandle** handle);
  /* The host's locale; owned by the host, never released by the module. */
  KovaLocale* (*currentLocale)(KovaNls* nls);
  /* kCharPrintable / kCharWhiteSpace bits of a Unicode code point. */
  uint32_t (*classify)(KovaNls* nls, uint32_t codePoint);
} KovaNlsOps;

struct KovaNls {
  const KovaNlsOps* ops;
};

#ifdef __cplusplus
}
#endif

#endif
