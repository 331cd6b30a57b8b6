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

constexpr bool byText(const Keyword& a, const Keyword& b) { return a.text < b.text; }

// Sorted by 16-bit code units for binary search.
constexpr std::array<Keyword, kKeywordCount> kKeywords = [] {
  std::array<Keyword, kKeywordCount> sorted = kUnsorted;
  std::sort(sorted.begin(), sorted.end(), byText);
  return sorted;
}();

constexpr bool distinctAndShort() {
  for (size_t i = 0; i < kKeywords.size(); ++i) {
    if (kKeywords[i].text.size() > 21) return false;
    if (i > 0 && !(kKeywords[i - 1].text < kKeywords[i].text)) return false;
  }
  return true;
}
static_assert(distinctAndShort(), "keywords are distinct and at most 21 code units");

}  // namespace

const Keyword* findKeyword(std::u16string_view text) {
  if (text.empty() || text.size() > 21) return nullptr;
  const Keyword* end = kKeywords.data() + kKeywords.size();
  const Keyword* it = std::lower_bound(kKeywords.data(), end, text,
                                       [](const Keyword& k, std::u16string_view t) { return k.text < t; });
  return it != end && it->text == text ? it : nullptr;
}

}  // namespace kova
