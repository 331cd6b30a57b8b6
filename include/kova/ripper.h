/* Rippers and burners: the object the extension's createRipper makes for a
 * table, its operation slots, the host's RipperOptions, the two row layouts
 * describe returns and the per-column state bind prepares.
 * A ripper (or burner) lives in a pool of its own from createRipper until its
 * destroy operation; everything it makes is in that pool or in its resource
 * can. One thread at a time; the host reads the layouts, never writes them
 * (except the indicator width code, see KovaLayoutEntry). Usable from C. */
#ifndef KOVA_RIPPER_H
#define KOVA_RIPPER_H

#include <stddef.h>
#include <stdint.h>

#include "kova/host.h"
#include "kova/metadata.h"
#include "kova/siblings.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KovaRipper KovaRipper;

/* ---- RipperOptions ------------------------------------------------------ */

/* Option bits of KovaRipperOptions.flags. */
#define kRipperRowImage 0x1u                /* row-image rows instead of typed rows */
#define kRipperOutput 0x2u                  /* the object is a burner */
#define kRipperNullAsMissing 0x4u           /* a null DOUBLE gets indicator -88 */
#define kRipperWriteNullText 0x10u          /* delimited writer: null text for missing values */
#define kRipperBinaryAsBase64 0x20u         /* delimited writer: binary values as Base64 */
#define kRipperTimePrecisionFromScale 0x40u /* TIME precision from the column's scale */
#define kRipperMoxeClient 0x80u     /* the client byte-order rule of FIXED/VARBIN/NATIVE burners */
#define kRipperEscapeStyle 0x100u   /* delimited writer: escape instead of doubling qualifiers */
#define kRipperReportRejects 0x200u /* diagnostics is a KovaRejectDiagnostics (below) */

/* The byte order value of clientByteOrder that means big-endian. */
#define kClientBigEndian 2

/* The host's options for createRipper (called RipperOptions in the docs). A
 * null options pointer counts as all zero. */
typedef struct KovaRipperOptions {
  uint32_t flags; /* kRipper* bits */
  uint32_t reserved0;
  double charExpansion; /* bytes per character for sizing; 0: ask the encoding */
  int32_t traceLevel;   /* 9 or more: trace lines */
  uint32_t reserved1;
  const char16_t* clientOsName; /* may be null */
  int64_t clientOsNameLength;   /* characters */
  int32_t clientByteOrder;      /* 2: big-endian */
  uint32_t reserved2;
} KovaRipperOptions;

/* ---- Rejected values ----------------------------------------------------- */

/* Why a value was not stored as read (KovaReject.reason). */
#define kRejectNotReadable 1u /* no number, date or decimal for its column: stored null */
/* A number that does not fit its column: stored null (FIXED and VARBIN
 * integers wider than their column: their low-order bytes). */
#define kRejectOutOfRange 2u
#define kRejectCut 3u /* text or binary cut to the column's length */
/* A field after the table's last column: dropped (column: its 0-based field number). */
#define kRejectBeyondLastColumn 4u
/* No value: the block ended inside a qualified field, which began at fieldOffset
 * (column: its field number; lineEnds: the line ends it has taken in so far);
 * said after every such block. */
#define kRejectOpenQualified 5u
/* No value: a qualified field that took in line ends has closed (fieldOffset:
 * its opening qualifier; column: its field number; lineEnds: how many; field:
 * null). Said once for each such field, also when the end of the input closes
 * it. */
#define kRejectQualifiedLineEnds 6u

/* One value a ripper could not store as read. Handed to the host during the
 * ripBlock or flushPending call that converts the field; every pointer is
 * valid only for the duration of the callback. */
typedef struct KovaReject {
  uint32_t column; /* 0-based table column */
  uint32_t reason; /* kReject* */
  uint32_t row;    /* index of the value's row among the rows this call hands back; a
                      row carried into the next call is that call's row 0 */
  uint32_t reserved0;
  int64_t fieldOffset;  /* byte offset of the field's text in the input the ripper has been
                           fed since it was bound (every ripBlock counted); -1 when the
                           parser read the field from a transcoded copy of the input */
  const uint8_t* field; /* the field's bytes as the parser delivered them (UTF-8 for a table
                           the ripper transcodes first), unqualified */
  int64_t fieldLength;
  int64_t recordOffset; /* byte offset of the first byte of the field's record, counted like
                           fieldOffset (a header line's bytes included); -1 when unknown */
  uint64_t lineEnds;    /* kRejectOpenQualified, kRejectQualifiedLineEnds: line feeds taken
                           into the qualified field; 0 otherwise */
} KovaReject;

/* With kRipperReportRejects in the options, createRipper takes its
 * diagnostics as this larger record, whose first member is the ordinary
 * KovaDiagnostics (log lines and statuses go there as always). The ripper
 * then calls reject once for each value of a DELIMITED, NATIVE, CLF, FIXED
 * or VARBIN table that it stores null or cut (typed rows: every reason; row
 * images: cuts only), and once for each non-empty field after the table's
 * last column and after each block that ends inside a qualified field, and once for
 * each qualified field that took in line ends when it closes (DELIMITED,
 * NATIVE); truncationCount and the rows are the same as without the flag.
 * The layouts of KovaReject and of this record are part of the binary
 * interface (docs/abi.md); members are only ever added at the end of
 * KovaReject, which the module fills and the host only reads.
 * FIXED and VARBIN values: field holds the field's bytes as they lie in the
 * record (binary numbers too) and both offsets are known (a FIXED record
 * converted by convertRecord outside ripBlock: -1, row 0); a FIXED partial
 * record the input ends inside is no value and is not reported; a VARBIN
 * block that fails may have reported values of rows it does not hand back.
 * JSON and XML rippers call nothing. Without the flag the module never reads
 * past the KovaDiagnostics. */
typedef struct KovaRejectDiagnostics KovaRejectDiagnostics;
struct KovaRejectDiagnostics {
  KovaDiagnostics base;
  void (*reject)(KovaRejectDiagnostics* self, KovaRipper* ripper, const KovaReject* reject);
};

/* ---- Row layouts -------------------------------------------------------- */

/* Host storage type codes (storageType of a typed layout entry). */
#define kStorageChar 1u
#define kStorageBinary 2u
#define kStorageDecimal 5u
#define kStorageDouble 6u
#define kStorageInt64 8u
#define kStorageEightBytes 9u
#define kStorageInt32 10u
#define kStorageUint32 11u
#define kStorageInt16 12u
#define kStorageUint16 13u
#define kStorageInt8 14u
#define kStorageUint8 15u
#define kStorageDateRecord 17u
#define kStorageTimeRecord 18u
#define kStorageTimestampRecord 19u

/* SQL type codes (sqlType of a typed layout entry). */
#define kSqlChar 1
#define kSqlNumeric 2
#define kSqlDecimal 3
#define kSqlInteger 4
#define kSqlSmallint 5
#define kSqlDouble 8
#define kSqlVarchar 12
#define kSqlDate 91
#define kSqlTime 92
#define kSqlTimestamp 93
#define kSqlBinary (-3)
#define kSqlBigint (-5)
#define kSqlTinyint (-6)

/* usage of a typed layout entry. */
#define kUsageRipper 13u
#define kUsageBurner 11u

/* Indicator width codes (low four bits of indicatorWidth). */
#define kIndicatorWidth8 0u
#define kIndicatorWidth1 1u
#define kIndicatorWidth2 2u
#define kIndicatorWidth4 4u
#define kIndicatorNone 8u /* the host may store it: no indicator */
#define kIndicatorWidthMask 0xFu
#define kIndicatorNumberMark 0x10u /* read by the VARBIN writer */

/* Indicator values. */
#define kIndicatorNull (-1)
#define kIndicatorNullDouble (-88) /* a null DOUBLE with kRipperNullAsMissing */

/* The value kinds of KovaColumnState.valueKind: how binary converters and
 * writers move a value. 0: none (decimals, and typed text formats). */
#define kValueBytes 1u
#define kValueText 2u
#define kValueDouble 3u
#define kValueInteger 4u
#define kValueDateRecord 5u
#define kValueTimeRecord 6u
#define kValueTimestampRecord 7u

/* A typed layout entry: one per column that is not dropped, in column order.
 * The value of the column lies at dataOffset (octetLength bytes), its null
 * indicator at indicatorOffset: a signed integer of the width the code gives,
 * -1 (or -88) for a null, else the value's length in bytes. */
typedef struct KovaLayoutEntry {
  uint32_t columnNumber; /* 0: 1-based among the columns in the layout */
  uint32_t ordinal;      /* 4: 1-based in the table (dropped columns count) */
  int32_t sqlType;       /* 8: kSql*; 0 for a column that is not supported */
  uint32_t encoding;   /* 12: the value's encoding (character, decimal, binary in binary formats) */
  uint64_t columnSize; /* 16: display size or precision */
  uint32_t decimalDigits;     /* 24 */
  uint32_t nullable;          /* 28: always 1 */
  const char16_t* columnName; /* 32: the column's name text (not copied) */
  uint32_t columnNameLength;  /* 40: characters */
  uint32_t storageType;       /* 44: kStorage* */
  uint32_t usage;             /* 48: kUsageRipper or kUsageBurner */
  uint32_t reserved0;
  uint64_t octetLength;     /* 56: bytes of the value */
  uint64_t dataOffset;      /* 64 */
  uint64_t indicatorOffset; /* 72 */
  uint8_t reserved1[12];    /* 80 */
  uint32_t indicatorWidth;  /* 92: kIndicatorWidth* code (describe writes 0, 1, 2, 4) */
  uint8_t reserved2[8];     /* 96 */
} KovaLayoutEntry;

/* A row-image layout entry: a character column's blank-padded text of length
 * bytes, or (length -8) an 8-byte double, at offset. */
typedef struct KovaRowImageEntry {
  int32_t offset;
  int32_t length;
} KovaRowImageEntry;

#define kRowImageNumber (-8)

/* What describe returns: a view of the ripper's layout, layoutCount and
 * rowLength fields. layout points at layoutCount KovaLayoutEntry (typed) or
 * KovaRowImageEntry (row-image) records. */
typedef struct KovaRowLayout {
  void* layout;
  uint32_t layoutCount;
  uint32_t reserved0;
  uint64_t rowLength;
} KovaRowLayout;

/* ---- Per-column state --------------------------------------------------- */

/* One 168-byte record per table column (also dropped ones) in the ripper's
 * columns array. describe fills column, entry, the two encodings, bigEndian,
 * valueKind and charLength; bind the rest. The tag tree keys these records by
 * the text at offset 16 with its length at offset 24. */
typedef struct KovaColumnState {
  uint8_t reserved0[16];
  const char16_t* tagName; /* 16: the column's tag (JSON key, XML element) */
  uint32_t tagLength;      /* 24: characters */
  uint32_t reserved1;
  int32_t index; /* 32: 0-based position in the table; -1 the XML record tag */
  uint32_t reserved2;
  KovaColumn* column; /* 40 */
  union {             /* 48: null for a dropped column */
    void* entry;
    KovaLayoutEntry* typedEntry;
    KovaRowImageEntry* imageEntry;
  };
  uint32_t fieldEncoding;   /* 56: as the parser delivers it / as it goes to the file */
  uint32_t rowEncoding;     /* 60: in the row */
  KovaTranscoder* toWide;   /* 64: into 25 (ripper: from fieldEncoding; burner: from rowEncoding) */
  KovaTranscoder* fromWide; /* 72: out of 25 (ripper: to rowEncoding; burner: to fieldEncoding) */
  KovaTranscoder* directTranscoder; /* 80: ripper field->row; burner row->field */
  KovaEncodingHandle* targetHandle; /* 88: ripper rowEncoding; burner fieldEncoding */
  KovaEncodingHandle* sourceHandle; /* 96: ripper only: fieldEncoding */
  KovaFormatObject* formatObject;   /* 104: the bound informat (ripper) or format (burner) */
  uint32_t valueKind;               /* 112: kValue* */
  uint8_t bigEndian;                /* 116 */
  uint8_t reserved3[3];
  const char16_t* formatName; /* 120: name of the informat or format as chosen (NAMEw.d) */
  int64_t formatNameLength;   /* 128 */
  uint8_t reserved4[8];       /* 136 */
  uint64_t charLength;        /* 144: text formats: the column's length in characters */
  uint8_t reserved5[16];      /* 152 */
} KovaColumnState;

/* ---- Parser state of JSON and XML rippers ------------------------------- */

/* The callback table a JSON ripper hands its zrejson parser (8 slots; the
 * first two are null). Every callback gets the table itself; the ripper is
 * in the word after the table (callbackOwner). String flags: bit 0 a member
 * name, bit 1 more pieces of the same string follow. Lengths are in bytes. */
typedef struct KovaJsonCallbacks KovaJsonCallbacks;
struct KovaJsonCallbacks {
  void* unused0;
  void* unused1;
  KovaStatus (*startObject)(KovaJsonCallbacks* table);
  KovaStatus (*endObject)(KovaJsonCallbacks* table);
  KovaStatus (*nullValue)(KovaJsonCallbacks* table);
  KovaStatus (*booleanValue)(KovaJsonCallbacks* table, uint8_t value);
  KovaStatus (*numberValue)(KovaJsonCallbacks* table, const char16_t* text, int32_t lengthBytes);
  KovaStatus (*stringValue)(KovaJsonCallbacks* table, const char16_t* text, int32_t lengthBytes,
                            uint32_t flags);
};

#define kJsonNoColumnHints INT32_MIN
#define kJsonStringMemberName 0x1u
#define kJsonStringMorePieces 0x2u

typedef struct KovaJsonState {
  KovaExtensionHandle* jsonExtension; /* zrejson, loaded by createRipper, in the can */
  KovaJsonParser* jsonParser;         /* made by bind, in the can */
  KovaJsonCallbacks callbacks;
  KovaRipper* callbackOwner; /* right after the table */
  int32_t currentColumn;     /* -1 record level, -2 unknown member */
  uint32_t reserved0;
  char16_t* pendingText;
  int64_t pendingLength;
  int64_t pendingCapacity;
  int32_t objectDepth; /* objects open in the current record (0: none) */
  int32_t nextColumn;  /* tried first for the next member name; kJsonNoColumnHints:
                          two columns share a tag, the tree decides */
} KovaJsonState;

typedef struct KovaXmlState {
  KovaXmlObject* xmlParser; /* made by bind, in the can */
  KovaXmlCallbacks callbacks;
  KovaRipper* callbackOwner; /* right after the table */
  char16_t* xmlText;
  int64_t xmlTextLength;
  int64_t xmlTextCapacity;
  const KovaColumnState* lastStarted; /* the tag tree's item for the last start element, or null */
  int32_t nextColumn;                 /* tried first for the next element name; -1 none */
  uint32_t tagsUnique;                /* bind found every tag the tree's answer for its text */
} KovaXmlState;

/* Room kept for the JSON and XML parsers' state (they share it): 64 words.
 * Parsers may add fields at the end of their state struct up to this size. */
#define kParserStateWords 64

/* ---- The ripper --------------------------------------------------------- */

/* Contracts of createRipper (extension word 15) and of the slots below.
 *
 * createRipper(table, options, diagnostics): a ripper (or, with
 *   kRipperOutput, a burner) for table, in a pool of its own with a resource
 *   can for the host objects it makes. Null when table is null, the kernel or
 *   NLS service is missing, the table's encoding is outside 0..264, the
 *   columns are missing or negative in number, the record format cannot be
 *   ripped (or burned) in the chosen mode, a JSON ripper's zrejson sibling
 *   cannot be loaded, or any allocation fails; nothing is left behind then.
 *   A null options counts as all zero. The table and diagnostics must
 *   outlive the ripper; the ripper reads the table's columns at describe and
 *   bind, so they must not change in between. With kRipperReportRejects,
 *   diagnostics must be a KovaRejectDiagnostics.
 * destroy (1): releases everything the ripper made (can, format engine,
 *   pool); answers 0, also for null. Rows and layouts it handed out die with it.
 * describe (2): the row layout, a view of the ripper's own fields valid until
 *   the next describe or destroy; null when the layout cannot be allocated
 *   (a later describe may succeed). Installs bind.
 * bind (3): 0, or kStatusNoMemory (an allocation or host object failed; the
 *   ripper stays unbound and bind may be called again), kStatusNotSupported
 *   (a rule of the table refuses it: the module's log line says which), or
 *   the host's status. A bound ripper answers 0 at once.
 * convertRecord (4): one record without its terminator into the caller's row
 *   of rowLength bytes; 0, or kStatusNotSupported before bind.
 * ripBlock (6): parses length bytes, which are only read during the call;
 *   *rows points at the ripper's row block, valid until the next ripBlock,
 *   flushPending or destroy, and *rowCount is the number of complete rows.
 *   A record the block does not finish is kept and completed by the next
 *   block (FIXED, text formats, JSON, XML); VARBIN blocks must hold whole
 *   records. Failures: kStatusNotSupported before bind, for a negative
 *   length or for null bytes with a positive length (*rowCount 0);
 *   kStatusNoMemory when the row block or a buffer cannot grow (a
 *   level-4 line names it); a parser's status for data it cannot read
 *   (VARBIN: 0xFFFFFFFF with a level-4 line). A failing text block still
 *   hands back the rows it completed before the failure; a failing VARBIN
 *   block hands back none; a FIXED block fails before it uses any record,
 *   so it may be fed again.
 * writeRows (7), writeRowsInto (8): burners; the bytes out are valid until
 *   the next call or destroy; kStatusNoMemory when the output cannot grow.
 * flushPending (9): ends the input: a record left without its terminator
 *   (text formats, CLF) becomes one row, a partial FIXED record is logged,
 *   counted and dropped; *rows and *rowCount as for ripBlock. A second call
 *   hands back nothing.
 * truncationCount (10) .. resetReservedCount (13): read or clear the two
 *   counters; they never fail. */

/* The operation slots, in slot order 1 to 13. Slots 4 to 7 answer
 * kStatusNotSupported until bind installs the record format's operations;
 * bind is null until describe; writeRowsInto null until bind (VARBIN burners
 * only). Row counts are rows; lengths are bytes. */
typedef struct KovaRipperOps {
  int32_t (*destroy)(KovaRipper* ripper);               /* 1 */
  const KovaRowLayout* (*describe)(KovaRipper* ripper); /* 2 */
  KovaStatus (*bind)(KovaRipper* ripper);               /* 3 */
  /* One whole record (without its terminator) into one row. */
  KovaStatus (*convertRecord)(KovaRipper* ripper, const uint8_t* bytes, int64_t length,
                              uint8_t* row); /* 4 */
  KovaStatus (*unused5)(KovaRipper* ripper); /* 5 */
  /* The next block of file bytes; rowCount: the caller's estimate in (0: none),
   * the complete rows out; rows: the ripper's row block, valid until the next call. */
  KovaStatus (*ripBlock)(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t** rows,
                         int32_t* rowCount); /* 6 */
  /* Burner: byteCount / rowLength rows in; the bytes out, valid until the next call. */
  KovaStatus (*writeRows)(KovaRipper* burner, const uint8_t* rows, uint64_t byteCount,
                          const uint8_t** data, uint64_t* dataLength); /* 7 */
  /* VARBIN burner: rowCount rows written into the caller's destination. */
  KovaStatus (*writeRowsInto)(KovaRipper* burner, const uint8_t* rows, uint64_t ignored0,
                              uint32_t rowCount, uint8_t* destination, uint64_t ignored1,
                              uint64_t* dataLength); /* 8 */
  /* End of input: a record left without its terminator, as one row. XML
   * tables: tells the parser the document is complete; the rows that
   * completes, or the parser's status for a document that is not well-formed. */
  KovaStatus (*flushPending)(KovaRipper* ripper, uint8_t** rows, int32_t* rowCount); /* 9 */
  uint32_t (*truncationCount)(KovaRipper* ripper);                                   /* 10 */
  uint32_t (*reservedCount)(KovaRipper* ripper);                                     /* 11 */
  void (*resetTruncationCount)(KovaRipper* ripper);                                  /* 12 */
  void (*resetReservedCount)(KovaRipper* ripper);                                    /* 13 */
} KovaRipperOps;

/* Entries of the transcoder cache: from * 265 + to holds the transcoder
 * between two encodings, kHandleCacheBase + e the encoding handle of e. */
#define kHandleCacheBase (kEncodingLimit * kEncodingLimit)
#define kTranscoderCacheEntries (kHandleCacheBase + kEncodingLimit)

/* The object behind every ripper and burner; zero-filled at creation. The
 * host calls it through ops; the record formats' parsers and writers share
 * the fields below. */
struct KovaRipper {
  char eyecatcher[4]; /* "nevo" */
  uint32_t reserved0;
  const char* name;  /* the table's instanceName */
  KovaRipperOps ops; /* 16: slots 1 to 13 */
  KovaObject* table;
  KovaPool* pool;                       /* "zrekova ripper" */
  KovaFormatEngine* formatEngine;       /* made on first need by bind */
  KovaExtensionHandle* formatExtension; /* zrefmt */
  KovaNls* nls;
  KovaExtensionHandle* avlExtension; /* zreavl (JSON, XML), in the can */
  KovaCan* resourceCan;              /* "riprcan" */
  union {                            /* the row layout built by describe */
    void* layout;
    KovaLayoutEntry* typedLayout;
    KovaRowImageEntry* imageLayout;
  };
  uint32_t layoutCount;
  uint32_t reserved1;
  uint64_t rowLength;
  KovaColumnState* columns; /* one per table column */
  uint8_t* recordBuffer;    /* FIXED records, converted values, XML text */
  uint64_t recordLength;
  uint64_t recordBufferSize;
  KovaLocale* locale;     /* the extension's */
  KovaTree* tagTree;      /* column tags of JSON and XML records */
  KovaTranscoder* toUtf8; /* file encoding to 20, when needed */
  uint32_t rowEncoding;   /* character values in rows */
  uint32_t fieldEncoding; /* field bytes as the parser delivers them */
  uint8_t rowImage;       /* option bit 0x1 */
  uint8_t output;         /* option bit 0x2 */
  uint8_t nullAsMissing;  /* option bit 0x4 */
  uint8_t rowStarted;     /* a JSON or XML record has produced a value */
  uint32_t reserved2;
  char16_t* wideScratch;
  uint64_t wideScratchSize; /* bytes (a burner counts 16-bit units) */
  char16_t* wideInput;
  uint64_t wideInputCapacity; /* 16-bit units */
  uint8_t* rowBlock;          /* the rows being filled */
  uint32_t rowsInBlock;       /* complete rows in it */
  int32_t blockCapacity;      /* rows it can hold */
  uint8_t* fragment;          /* bytes of an unfinished record */
  uint64_t fragmentLength;
  uint64_t fragmentCapacity; /* a multiple of 1024 */
  uint8_t* carriedRow;       /* a begun row the next initBlock continues */
  uint32_t fieldIndex;       /* next field of the current record */
  uint32_t reserved3;
  uint8_t* transcodeBuffer; /* a block transcoded to UTF-8 */
  uint64_t transcodeCapacity;
  union { /* JSON or XML parser state */
    KovaJsonState json;
    KovaXmlState xml;
    uint64_t parserStateWords[kParserStateWords];
  };
  void** transcoders; /* null: the module keeps its transcoder cache, numbered
                         as below, on its own side and fills it on need */
  uint32_t qualifierState;
  uint8_t terminators[3]; /* 13, 10, fieldsep */
  uint8_t reserved4;
  uint32_t terminatorCount;
  int32_t headerLinesLeft;
  uint8_t lastTerminator;
  uint8_t writeNullText; /* option bit 0x10 */
  uint8_t reserved5[2];
  uint32_t reservedCounter; /* read through slot 11; nothing raises it */
  uint32_t truncations;     /* values cut or not convertible */
  uint32_t reserved6;
  KovaDiagnostics* diagnostics; /* target of every log line; may be null */
  uint8_t bound;                /* bind has completed */
  uint8_t reserved7[3];
  uint32_t recordsParsed; /* JSON: records of earlier blocks */
  uint32_t bytesParsed;   /* JSON: bytes of earlier blocks */
  uint8_t binaryAsBase64; /* option bit 0x20 */
  uint8_t reserved8[3];
  double charExpansion;
  int32_t traceLevel;
  uint8_t timePrecisionFromScale; /* option bit 0x40 */
  uint8_t moxeClient;             /* option bit 0x80 */
  uint8_t reserved9[2];
  const char16_t* clientOsName; /* a copy in the pool, or null */
  uint64_t clientOsNameLength;
  uint8_t escapeStyle;         /* option bit 0x100 */
  uint8_t transcodeTailLength; /* bytes held in transcodeTail */
  uint8_t transcodeTail[3];    /* an unfinished character at the end of the last
                                  block (newlineRipBlock), transcoded with the next */
  uint8_t reserved10[3];
};

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(KovaRipperOptions) == 48, "RipperOptions layout");
static_assert(offsetof(KovaRipperOptions, charExpansion) == 8, "RipperOptions.charExpansion");
static_assert(offsetof(KovaRipperOptions, traceLevel) == 16, "RipperOptions.traceLevel");
static_assert(offsetof(KovaRipperOptions, clientOsName) == 24, "RipperOptions.clientOsName");
static_assert(offsetof(KovaRipperOptions, clientByteOrder) == 40, "RipperOptions.clientByteOrder");

static_assert(sizeof(KovaLayoutEntry) == 104, "typed layout entry");
static_assert(offsetof(KovaLayoutEntry, sqlType) == 8, "entry.sqlType");
static_assert(offsetof(KovaLayoutEntry, encoding) == 12, "entry.encoding");
static_assert(offsetof(KovaLayoutEntry, columnSize) == 16, "entry.columnSize");
static_assert(offsetof(KovaLayoutEntry, decimalDigits) == 24, "entry.decimalDigits");
static_assert(offsetof(KovaLayoutEntry, nullable) == 28, "entry.nullable");
static_assert(offsetof(KovaLayoutEntry, columnName) == 32, "entry.columnName");
static_assert(offsetof(KovaLayoutEntry, columnNameLength) == 40, "entry.columnNameLength");
static_assert(offsetof(KovaLayoutEntry, storageType) == 44, "entry.storageType");
static_assert(offsetof(KovaLayoutEntry, usage) == 48, "entry.usage");
static_assert(offsetof(KovaLayoutEntry, octetLength) == 56, "entry.octetLength");
static_assert(offsetof(KovaLayoutEntry, dataOffset) == 64, "entry.dataOffset");
static_assert(offsetof(KovaLayoutEntry, indicatorOffset) == 72, "entry.indicatorOffset");
static_assert(offsetof(KovaLayoutEntry, indicatorWidth) == 92, "entry.indicatorWidth");
static_assert(sizeof(KovaRowImageEntry) == 8, "row-image entry");
static_assert(offsetof(KovaRowImageEntry, length) == 4, "row-image entry length");

static_assert(sizeof(KovaColumnState) == 168, "per-column state");
static_assert(offsetof(KovaColumnState, tagName) == 16, "state.tagName");
static_assert(offsetof(KovaColumnState, tagLength) == 24, "state.tagLength");
static_assert(offsetof(KovaColumnState, index) == 32, "state.index");
static_assert(offsetof(KovaColumnState, column) == 40, "state.column");
static_assert(offsetof(KovaColumnState, entry) == 48, "state.entry");
static_assert(offsetof(KovaColumnState, fieldEncoding) == 56, "state.fieldEncoding");
static_assert(offsetof(KovaColumnState, rowEncoding) == 60, "state.rowEncoding");
static_assert(offsetof(KovaColumnState, toWide) == 64, "state.toWide");
static_assert(offsetof(KovaColumnState, fromWide) == 72, "state.fromWide");
static_assert(offsetof(KovaColumnState, directTranscoder) == 80, "state.directTranscoder");
static_assert(offsetof(KovaColumnState, targetHandle) == 88, "state.targetHandle");
static_assert(offsetof(KovaColumnState, sourceHandle) == 96, "state.sourceHandle");
static_assert(offsetof(KovaColumnState, formatObject) == 104, "state.formatObject");
static_assert(offsetof(KovaColumnState, valueKind) == 112, "state.valueKind");
static_assert(offsetof(KovaColumnState, bigEndian) == 116, "state.bigEndian");
static_assert(offsetof(KovaColumnState, formatName) == 120, "state.formatName");
static_assert(offsetof(KovaColumnState, formatNameLength) == 128, "state.formatNameLength");
static_assert(offsetof(KovaColumnState, charLength) == 144, "state.charLength");
static_assert(offsetof(KovaColumnState, tagName) + 8 == offsetof(KovaColumnState, tagLength) &&
                  offsetof(KovaTreeKey, length) == 8,
              "a column state carries a tree key at offset 16");

static_assert(sizeof(KovaJsonCallbacks) == 8 * sizeof(void*), "eight JSON callback slots");
static_assert(offsetof(KovaJsonCallbacks, startObject) == 2 * sizeof(void*), "third slot");
static_assert(offsetof(KovaJsonState, callbackOwner) ==
                  offsetof(KovaJsonState, callbacks) + sizeof(KovaJsonCallbacks),
              "the JSON ripper follows its callback table");
static_assert(offsetof(KovaXmlState, callbackOwner) ==
                  offsetof(KovaXmlState, callbacks) + sizeof(KovaXmlCallbacks),
              "the XML ripper follows its callback table");
static_assert(sizeof(KovaJsonState) <= kParserStateWords * 8, "JSON state fits its room");
static_assert(sizeof(KovaXmlState) <= kParserStateWords * 8, "XML state fits its room");

static_assert(sizeof(KovaRipperOps) == 13 * sizeof(void*), "thirteen operation slots");
static_assert(offsetof(KovaRipper, name) == 8, "ripper.name");
static_assert(offsetof(KovaRipper, ops) == 16, "ripper slot 1");
static_assert(offsetof(KovaRipper, ops) + offsetof(KovaRipperOps, ripBlock) == 16 + 5 * 8,
              "ripper slot 6");
static_assert(offsetof(KovaRipper, table) == 16 + 13 * 8, "ripper.table");
static_assert(offsetof(KovaRipper, layout) == 176, "ripper.layout");
static_assert(offsetof(KovaRipper, layoutCount) - offsetof(KovaRipper, layout) ==
                      offsetof(KovaRowLayout, layoutCount) &&
                  offsetof(KovaRipper, rowLength) - offsetof(KovaRipper, layout) ==
                      offsetof(KovaRowLayout, rowLength),
              "describe's result is a view of layout, layoutCount and rowLength");
static_assert(offsetof(KovaRipper, columns) == 200, "ripper.columns");
static_assert(offsetof(KovaRipper, rowEncoding) == 256, "ripper.rowEncoding");
static_assert(offsetof(KovaRipper, rowImage) == 264, "ripper.rowImage");
static_assert(offsetof(KovaRipper, rowBlock) == 304, "ripper.rowBlock");
static_assert(offsetof(KovaRipper, fragment) == 320, "ripper.fragment");
static_assert(offsetof(KovaRipper, transcodeBuffer) == 360, "ripper.transcodeBuffer");
static_assert(offsetof(KovaRipper, json) == 376, "ripper parser state");
static_assert(offsetof(KovaRipper, transcoders) == 376 + kParserStateWords * 8,
              "ripper.transcoders");
static_assert(sizeof(KovaRipper) % 8 == 0, "ripper size");
static_assert(offsetof(KovaRipper, reserved10) + 3 == sizeof(KovaRipper), "ripper tail");
#endif

#endif
