// Fuzz target for the CLF parser and the transcoding front end. The first
// byte of an input picks the table's encoding, the next two seed how the
// rest, the file, is cut into blocks. Checks, for every input:
// - ripping the file in blocks of 1 to 64 bytes gives the same rows, value
//   for value, as ripping it as one block (characters split between blocks
//   included), and every rip ends with status 0. In the double-byte
//   encodings this is checked for valid text only: how many substitutes an
//   ill-formed sequence that meets a block boundary becomes follows the
//   host's converter tables, which the module does not know;
// - in UTF-8, with the time also as a TIMESTAMP read by ANYDTDTM, the block
//   parser's own path (marks of the whole block, the column plan) gives the
//   rows of the general one (each line through convertRecord and
//   convertField);
// - nothing stays alive in the host once the ripper and table are destroyed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "src/ripper/operations.h"
#include "unicode/ucnv.h"

namespace kova::fuzzing {
const char* const kTargetName = "clf_ripper";
}  // namespace kova::fuzzing

namespace {

using kova::fuzzing::appendRows;
using kova::fuzzing::check;
using kova::fuzzing::module;

// UTF-8 (no transcoding), single-byte, Unicode and double-byte encodings.
constexpr int32_t kEncodings[] = {20, 1, 12, 50, 21, 22, 23, 24, 40, 41, 42, 43, 44};

// The converter names of the double-byte encodings, or null.
const char* doubleByteName(int32_t encoding) {
  switch (encoding) {
    case 40:
      return "Shift_JIS";
    case 41:
      return "EUC-JP";
    case 42:
      return "EUC-KR";
    case 43:
      return "GB18030";
    case 44:
      return "Big5";
    default:
      return nullptr;
  }
}

// True when data is well-formed text of the named encoding.
bool wellFormed(const char* name, const uint8_t* data, size_t size) {
  UErrorCode error = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &error);
  if (U_FAILURE(error)) return false;
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
  std::u16string out(size + 1, u'\0');
  ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                reinterpret_cast<const char*>(data), int32_t(size), &error);
  ucnv_close(converter);
  return U_SUCCESS(error);
}

void name(KovaObject* table, KovaColumn* column, std::u16string_view text) {
  column->name = table->extension->copyString(table, text.data(), int64_t(text.size()));
  column->nameLength = int64_t(text.size());
}

// The line converter under another address: the block parser then calls it
// once per line instead of cutting lines itself.
KovaStatus generalLine(KovaRipper* ripper, const uint8_t* bytes, int64_t length, uint8_t* row) {
  return kova::splitClfLine(ripper, bytes, length, row);
}

// timestamp: the time as a TIMESTAMP read by ANYDTDTM, else as text.
KovaObject* logTable(int32_t encoding, bool timestamp = false) {
  KovaExtensionObject* e = module().extension;
  KovaObject* table = e->createInstance(e, nullptr, nullptr, "fuzz");
  check(table != nullptr, "createInstance failed");
  table->recfm = kRecfmClf;
  table->encoding = encoding;
  for (std::u16string_view text : {u"host", u"ident", u"user", u"time", u"request"}) {
    KovaColumn* column = e->addColumn(table);
    check(column != nullptr, "addColumn failed");
    name(table, column, text);
    column->type = kTypeVarchar;
    column->charlength = 24;
    column->cei = 20;
    if (timestamp && text == u"time") {
      static constexpr std::u16string_view kInformat = u"ANYDTDTM.";
      column->type = kTypeTimestamp;
      column->charlength = 0;
      column->informat = e->copyString(table, kInformat.data(), int64_t(kInformat.size()));
      column->informatLength = int64_t(kInformat.size());
    }
  }
  for (std::u16string_view text : {u"status", u"size"}) {
    KovaColumn* column = e->addColumn(table);
    check(column != nullptr, "addColumn failed");
    name(table, column, text);
    column->type = kTypeInt;
  }
  return table;
}

// general: every line through convertRecord.
std::string rip(KovaObject* table, const uint8_t* data, size_t size, uint32_t seed,
                bool general = false) {
  KovaRipper* ripper = kova::fuzzing::boundRipper(table, 0);
  if (general) ripper->ops.convertRecord = generalLine;
  std::string out;
  size_t offset = 0;
  while (offset < size) {
    size_t piece = size - offset;
    if (seed) {
      seed = seed * 1103515245u + 12345u;
      piece = std::min<size_t>(piece, 1 + (seed >> 16) % 64);
    }
    uint8_t* rows = nullptr;
    int32_t count = 0;
    check(ripper->ops.ripBlock(ripper, data + offset, int64_t(piece), &rows, &count) == kStatusOk,
          "ripBlock failed");
    appendRows(ripper, rows, count, &out);
    offset += piece;
  }
  uint8_t* rows = nullptr;
  int32_t count = 0;
  check(ripper->ops.flushPending(ripper, &rows, &count) == kStatusOk, "flushPending failed");
  appendRows(ripper, rows, count, &out);
  ripper->ops.destroy(ripper);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  kova::runtime::Account before = module().host.account();
  const int32_t encoding = kEncodings[data[0] % (sizeof kEncodings / sizeof kEncodings[0])];
  const uint32_t seed = (uint32_t(data[1]) << 8 | data[2]) + 1;
  data += 3;
  size -= 3;

  KovaObject* table = logTable(encoding);
  const std::string whole = rip(table, data, size, 0);
  const std::string pieces = rip(table, data, size, seed);
  const char* dbcs = doubleByteName(encoding);
  if (!dbcs || wellFormed(dbcs, data, size)) {
    check(pieces == whole, "blocks and one block give different rows");
  }
  if (encoding == 20) {
    check(rip(table, data, size, seed, true) == pieces, "the general path gives other rows");
    KovaObject* typed = logTable(encoding, true);
    check(rip(typed, data, size, seed) == rip(typed, data, size, 0, true),
          "the general path gives other typed rows");
    typed->destroy(typed);
  }
  table->destroy(table);
  kova::fuzzing::checkAccount(before);
  return 0;
}
