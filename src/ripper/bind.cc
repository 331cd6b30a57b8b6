#include "src/ripper/bind.h"

#include <limits>

#include "src/host/log.h"
#include "src/metadata/format_spec.h"

namespace kova {
namespace {

bool textColumn(const KovaColumn* column) {
  return column->type == kTypeChar || column->type == kTypeVarchar;
}

// The parsers and writers that divide a block's length by the row length.
bool dividesByRowLength(const KovaRipper* ripper) {
  uint32_t recfm = ripper->table->recfm;
  return ripper->output || recfm == kRecfmDelimited || recfm == kRecfmNative ||
         recfm == kRecfmVarbin;
}

}  // namespace

bool splitFormatName(KovaLocale* locale, const char16_t* text, int64_t length,
                     const char16_t** name, int64_t* nameLength, int32_t* width,
                     int32_t* decimals) {
  int64_t parsed = parseFormatSpec(locale, text, length, width, decimals);
  if (parsed < 0) return false;
  if (parsed == 0) {
    *name = u"F";
    *nameLength = 1;
  } else {
    *name = text;
    *nameLength = parsed;
  }
  return true;
}

// Refuses tables whose block parsers or writers could not work on them
// safely: record arithmetic on a record length outside 1 to 2^31-1 or a row
// length of 0, text formats that size blocks by their column count, and
// binary character columns that would need an encoding handle they cannot
// have.
KovaStatus checkBindable(const KovaRipper* ripper) {
  const KovaObject* table = ripper->table;
  const uint32_t recfm = table->recfm;
  if (recfm == kRecfmFixed || (ripper->output && recfm == kRecfmNative)) {
    if (table->reclen < 1 || table->reclen > std::numeric_limits<int32_t>::max()) {
      logLine(ripper->diagnostics, kLogError,
              u"bind: the record length %lld is outside 1 to 2147483647.",
              static_cast<long long>(table->reclen));
      return kStatusNotSupported;
    }
  }
  if (ripper->rowLength == 0 && dividesByRowLength(ripper)) {
    logLine(ripper->diagnostics, kLogError,
            u"bind: the row has no bytes (no column can be laid out).");
    return kStatusNotSupported;
  }
  if (table->columnCount < 1 && (recfm == kRecfmJson || recfm == kRecfmXml || recfm == kRecfmClf)) {
    logLine(ripper->diagnostics, kLogError, u"bind: the table has no columns.");
    return kStatusNotSupported;
  }
  const bool binary = recfm == kRecfmFixed || recfm == kRecfmNative || recfm == kRecfmVarbin;
  if (!ripper->rowImage && binary) {
    // The typed FIXED record converter checks binary values through the
    // value's encoding handle as well.
    const bool fixedRipper = recfm == kRecfmFixed && !ripper->output;
    for (int32_t i = 0; i < table->columnCount; ++i) {
      const KovaColumnState& state = ripper->columns[i];
      if (!state.entry) continue;
      const KovaColumn* column = state.column;
      bool needsEncoding = textColumn(column) || (fixedRipper && column->type == kTypeBinary);
      if (needsEncoding && state.rowEncoding == 0) {
        logLine(ripper->diagnostics, kLogError,
                u"bind: column %d needs an encoding for its binary values and has none.", i + 1);
        return kStatusNotSupported;
      }
    }
  }
  return kStatusOk;
}

KovaStatus bind(KovaRipper* ripper) {
  if (ripper->bound) return kStatusOk;
  KovaStatus status = checkBindable(ripper);
  if (status != kStatusOk) return status;
  status = bindColumns(ripper);
  if (status != kStatusOk) return status;
  return bindRecordFormat(ripper);
}

}  // namespace kova
