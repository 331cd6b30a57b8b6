/* The table-metadata object (KovaObject) and its column record (KovaColumn),
 * with the code vocabularies of record formats, SQL types and storage types.
 * The host reads and writes these layouts directly; an instance and all its
 * texts and columns live in the instance pool until the instance's destroy.
 * Texts are 16-bit code units with a signed 64-bit length; a null pointer or
 * a length of 0 means "not set". Usable from C. */
#ifndef KOVA_METADATA_H
#define KOVA_METADATA_H

#include <stdint.h>

#include "kova/host.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Record format codes (recfm). */
#define kRecfmNone 0u
#define kRecfmDelimited 1u
#define kRecfmFixed 2u
#define kRecfmClf 3u
#define kRecfmElf 4u
#define kRecfmXml 5u
#define kRecfmJson 6u
#define kRecfmVarbin 9u
#define kRecfmNative 10u

/* SQL type codes (type). 12 has no name. */
#define kTypeDouble 1u
#define kTypeChar 2u
#define kTypeInt 3u
#define kTypeTinyint 4u
#define kTypeSmallint 5u
#define kTypeBigint 6u
#define kTypeReal 7u
#define kTypeVarchar 8u
#define kTypeDate 9u
#define kTypeTime 10u
#define kTypeTimestamp 11u
#define kTypeNumeric 12u
#define kTypeDecimal 13u
#define kTypeBinary 14u

/* Storage type codes (c_type). */
#define kCTypeDouble 1u
#define kCTypeChar 2u
#define kCTypeInt8 3u
#define kCTypeUint8 4u
#define kCTypeInt16 5u
#define kCTypeUint16 6u
#define kCTypeInt32 7u
#define kCTypeUint32 8u
#define kCTypeInt64 9u
#define kCTypeUint64 10u
#define kCTypeFloat 11u
#define kCTypeBinary 12u
#define kCTypeDate 13u
#define kCTypeTime 14u
#define kCTypeTimestamp 15u

/* Creation flag: write the "dropped" element of dropped columns. */
#define kObjectFlagWriteDropped 1u

typedef struct KovaColumn {
  const char16_t* name;
  int64_t nameLength;
  void* reserved0;
  int64_t offset;
  int64_t indOffset;
  int64_t charlength;
  int64_t bytelength;
  int32_t indLength;
  uint32_t type;
  uint32_t c_type;
  int32_t cei;
  const char16_t* format;
  int64_t formatLength;
  const char16_t* informat;
  int64_t informatLength;
  const char16_t* tag;
  int64_t tagLength;
  void* reserved1[3];
  uint8_t dropped;
  uint8_t select;
  uint8_t reserved2[2];
  int32_t scale;
  int32_t colendian;
  uint32_t reserved3;
} KovaColumn;

typedef struct KovaObject KovaObject;
struct KovaExtensionObject;

struct KovaObject {
  char eyecatcher[4];
  uint32_t reserved0;
  char* instanceName;
  int32_t (*destroy)(KovaObject* object);
  struct KovaExtensionObject* extension;
  uint32_t recfm;
  uint32_t reserved1;
  int64_t reclen;
  uint8_t recordTerminator;
  uint8_t fieldsep;
  uint8_t textqual;
  uint8_t reserved2;
  int32_t encoding;
  const char16_t* inputFormat;
  int64_t inputFormatLength;
  const char16_t* userInputFormat;
  int64_t userInputFormatLength;
  void* reserved3[2];
  const char16_t* outputFormat;
  int64_t outputFormatLength;
  KovaColumn** columns;
  int32_t columnCount;
  uint32_t reserved4;
  const char16_t* inputDir;
  int64_t inputDirLength;
  const char16_t* outputDir;
  int64_t outputDirLength;
  const char16_t* recordTag;
  int64_t recordTagLength;
  const char16_t* fileType;
  int64_t fileTypeLength;
  const char16_t* metaDir;
  int64_t metaDirLength;
  void* reserved5[4];
  const char16_t* mrTempDir;
  int64_t mrTempDirLength;
  int32_t returnCode;
  int32_t headerLines;
  int32_t numTasks;
  uint8_t managedData;
  uint8_t bigendian;
  uint8_t keysep;
  uint8_t reserved6;
  int32_t keylen;
  uint8_t expectFile;
  uint8_t reserved7[3];
  const char16_t* whereExpression;
  int64_t whereExpressionLength;
  const char16_t* datahost;
  int64_t datahostLength;
  const char16_t* tableName;
  int64_t tableNameLength;
  const char16_t* schemaName;
  int64_t schemaNameLength;
  const char16_t* databaseName;
  int64_t databaseNameLength;
  const uint8_t* recordEndText;
  uint64_t recordEndTextLength;
  const uint8_t* nullText;
  uint64_t nullTextLength;
  KovaExtensionHandle* formatExtension;
  struct KovaFormatEngine* formatEngine;
  struct KovaExtensionObject* extension2;
  KovaPool* pool;
  void* xmlObject;
  uint32_t writeStatus;
  uint32_t reserved8;
  uint8_t* outBuffer;
  uint64_t outCapacity;
  uint64_t outLength;
  char16_t* lineBuffer;
  uint64_t lineCapacity;
  int32_t columnCapacity;
  uint32_t flags;
};

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(KovaColumn) == 160, "KovaColumn layout");
static_assert(offsetof(KovaColumn, offset) == 24, "KovaColumn.offset");
static_assert(offsetof(KovaColumn, indLength) == 56, "KovaColumn.indLength");
static_assert(offsetof(KovaColumn, cei) == 68, "KovaColumn.cei");
static_assert(offsetof(KovaColumn, format) == 72, "KovaColumn.format");
static_assert(offsetof(KovaColumn, tag) == 104, "KovaColumn.tag");
static_assert(offsetof(KovaColumn, dropped) == 144, "KovaColumn.dropped");
static_assert(offsetof(KovaColumn, scale) == 148, "KovaColumn.scale");
static_assert(offsetof(KovaColumn, colendian) == 152, "KovaColumn.colendian");

static_assert(offsetof(KovaObject, instanceName) == 8, "KovaObject.instanceName");
static_assert(offsetof(KovaObject, destroy) == 16, "KovaObject.destroy");
static_assert(offsetof(KovaObject, extension) == 24, "KovaObject.extension");
static_assert(offsetof(KovaObject, recfm) == 32, "KovaObject.recfm");
static_assert(offsetof(KovaObject, reclen) == 40, "KovaObject.reclen");
static_assert(offsetof(KovaObject, recordTerminator) == 48, "KovaObject.recordTerminator");
static_assert(offsetof(KovaObject, encoding) == 52, "KovaObject.encoding");
static_assert(offsetof(KovaObject, inputFormat) == 56, "KovaObject.inputFormat");
static_assert(offsetof(KovaObject, outputFormat) == 104, "KovaObject.outputFormat");
static_assert(offsetof(KovaObject, columns) == 120, "KovaObject.columns");
static_assert(offsetof(KovaObject, columnCount) == 128, "KovaObject.columnCount");
static_assert(offsetof(KovaObject, metaDir) == 200, "KovaObject.metaDir");
static_assert(offsetof(KovaObject, mrTempDir) == 248, "KovaObject.mrTempDir");
static_assert(offsetof(KovaObject, returnCode) == 264, "KovaObject.returnCode");
static_assert(offsetof(KovaObject, managedData) == 276, "KovaObject.managedData");
static_assert(offsetof(KovaObject, keylen) == 280, "KovaObject.keylen");
static_assert(offsetof(KovaObject, expectFile) == 284, "KovaObject.expectFile");
static_assert(offsetof(KovaObject, whereExpression) == 288, "KovaObject.whereExpression");
static_assert(offsetof(KovaObject, recordEndText) == 368, "KovaObject.recordEndText");
static_assert(offsetof(KovaObject, formatExtension) == 400, "KovaObject.formatExtension");
static_assert(offsetof(KovaObject, pool) == 424, "KovaObject.pool");
static_assert(offsetof(KovaObject, outBuffer) == 448, "KovaObject.outBuffer");
static_assert(offsetof(KovaObject, flags) == 492, "KovaObject.flags");
static_assert(sizeof(KovaObject) == 496, "KovaObject layout");
#endif

#endif
