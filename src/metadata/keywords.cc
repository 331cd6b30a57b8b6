#include "src/metadata/keywords.h"

#include <algorithm>
#include <array>

#include "kova/metadata.h"

namespace kova {
namespace {

using R = KeywordRole;
using E = ElementId;

constexpr Keyword element(std::u16string_view text, ElementId id) {
  return {text, R::kElement, static_cast<uint8_t>(id)};
}
constexpr Keyword value(std::u16string_view text, KeywordRole role, uint32_t code) {
  return {text, role, static_cast<uint8_t>(code)};
}

constexpr std::array<Keyword, kKeywordCount> kUnsorted = {{
    element(u"bigendian", E::kBigendian),
    element(u"bytelength", E::kBytelength),
    element(u"c_type", E::kCType),
    element(u"cei", E::kCei),
    element(u"charlength", E::kCharlength),
    element(u"colendian", E::kColendian),
    element(u"column", E::kColumn),
    element(u"databaseName", E::kDatabaseName),
    element(u"datahost", E::kDatahost),
    element(u"dropped", E::kDropped),
    element(u"encoding", E::kEncoding),
    element(u"expectFile", E::kExpectFile),
    element(u"fieldsep", E::kFieldsep),
    element(u"fileType", E::kFileType),
    element(u"format", E::kFormat),
    element(u"headerLines", E::kHeaderLines),
    element(u"indLength", E::kIndLength),
    element(u"indOffset", E::kIndOffset),
    element(u"informat", E::kInformat),
    element(u"inputDir", E::kInputDir),
    element(u"keylen", E::kKeylen),
    element(u"keysep", E::kKeysep),
    element(u"managedData", E::kManagedData),
    element(u"metaDir", E::kMetaDir),
    element(u"mrTempDir", E::kMrTempDir),
    element(u"name", E::kName),
    element(u"numTasks", E::kNumTasks),
    element(u"offset", E::kOffset),
    element(u"outputDir", E::kOutputDir),
    element(u"recfm", E::kRecfm),
    element(u"reclen", E::kReclen),
    element(u"recordTag", E::kRecordTag),
    element(u"returnCode", E::kReturnCode),
    element(u"scale", E::kScale),
    element(u"schemaName", E::kSchemaName),
    element(u"select", E::kSelect),
    element(u"tableName", E::kTableName),
    element(u"tag", E::kTag),
    element(u"textqual", E::kTextqual),
    element(u"type", E::kType),
    element(u"userInputFormat", E::kUserInputFormat),
    element(u"whereExpression", E::kWhereExpression),
    element(u"columns", E::kNoAction),
    element(u"kova", E::kNoAction),
    element(u"ordinal", E::kNoAction),
    value(u"CLF", R::kRecfm, kRecfmClf),
    value(u"DELIMITED", R::kRecfm, kRecfmDelimited),
    value(u"ELF", R::kRecfm, kRecfmElf),
    value(u"FIXED", R::kRecfm, kRecfmFixed),
    value(u"JSON", R::kRecfm, kRecfmJson),
    value(u"NATIVE", R::kRecfm, kRecfmNative),
    value(u"VARBIN", R::kRecfm, kRecfmVarbin),
    value(u"XML", R::kRecfm, kRecfmXml),
    value(u"BIGINT", R::kType, kTypeBigint),
    value(u"BINARY", R::kType, kTypeBinary),
    value(u"CHAR", R::kType, kTypeChar),
    value(u"DATE", R::kType, kTypeDate),
    value(u"DECIMAL", R::kType, kTypeDecimal),
    value(u"DOUBLE", R::kType, kTypeDouble),
    value(u"INT", R::kType, kTypeInt),
    value(u"REAL", R::kType, kTypeReal),
    value(u"SMALLINT", R::kType, kTypeSmallint),
    value(u"TIME", R::kType, kTypeTime),
    value(u"TIMESTAMP", R::kType, kTypeTimestamp),
    value(u"TINYINT", R::kType, kTypeTinyint),
    value(u"VARCHAR", R::kType, kTypeVarchar),
    value(u"binary", R::kCType, kCTypeBinary),
    value(u"char", R::kCType, kCTypeChar),
    value(u"double", R::kCType, kCTypeDouble),
    value(u"float", R::kCType, kCTypeFloat),
    value(u"int16", R::kCType, kCTypeInt16),
    value(u"int32", R::kCType, kCTypeInt32),
    value(u"int64", R::kCType, kCTypeInt64),
    value(u"int8", R::kCType, kCTypeInt8),
    value(u"uint16", R::kCType, kCTypeUint16),
    value(u"uint32", R::kCType, kCTypeUint32),
    value(u"uint64", R::kCType, kCTypeUint64),
    value(u"uint8", R::kCType, kCTypeUint8),
    value(u"ZRTS_C_TYPE_DATE", R::kCType, kCTypeDate),
    value(u"ZRTS_C_TYPE_TIME", R::kCType, kCTypeTime),
    value(u"ZRTS_C_TYPE_TIMESTAMP", R::kCType, kCTypeTimestamp),
    value(u"TRUE", R::kBoolean, 1),
    value(u"FALSE", R::kBoolean, 0),
}};

// Shorter names first, equal lengths in 16-bit code-unit order: a lookup
// only searches the keywords of its own length.
constexpr bool byLengthThenText(const Keyword& a, const Keyword& b) {
  return a.text.size() != b.text.size() ? a.text.size() < b.text.size() : a.text < b.text;
}

constexpr size_t kLongest = 21;

constexpr std::array<Keyword, kKeywordCount> kKeywords = [] {
  std::array<Keyword, kKeywordCount> sorted = kUnsorted;
  std::sort(sorted.begin(), sorted.end(), byLengthThenText);
  return sorted;
}();

// kFirstOfLength[n] is the index of the first keyword of n code units or more.
constexpr std::array<uint8_t, kLongest + 2> kFirstOfLength = [] {
  std::array<uint8_t, kLongest + 2> first{};
  size_t k = 0;
  for (size_t n = 0; n < first.size(); ++n) {
    while (k < kKeywords.size() && kKeywords[k].text.size() < n) ++k;
    first[n] = static_cast<uint8_t>(k);
  }
  return first;
}();

constexpr bool distinctAndShort() {
  for (size_t i = 0; i < kKeywords.size(); ++i) {
    if (kKeywords[i].text.empty() || kKeywords[i].text.size() > kLongest) return false;
    if (i > 0 && !byLengthThenText(kKeywords[i - 1], kKeywords[i])) return false;
  }
  return true;
}
static_assert(distinctAndShort(), "keywords are distinct and 1 to 21 code units long");

}  // namespace

const Keyword* findKeyword(std::u16string_view text) {
  size_t n = text.size();
  if (n == 0 || n > kLongest) return nullptr;
  const Keyword* low = kKeywords.data() + kFirstOfLength[n];
  const Keyword* high = kKeywords.data() + kFirstOfLength[n + 1];
  while (low < high) {
    const Keyword* middle = low + (high - low) / 2;
    int order = std::char_traits<char16_t>::compare(middle->text.data(), text.data(), n);
    if (order == 0) return middle;
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return nullptr;
}

}  // namespace kova
