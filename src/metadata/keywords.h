// The reader's vocabulary: every element name and value word the metadata
// reader acts on, with its role and code. Lookup is an exact, case-sensitive
// match of the whole text. Immutable; any caller may use it.
#pragma once

#include <cstdint>
#include <string_view>

namespace kova {

enum class KeywordRole : uint8_t {
  kElement,  // an element name; code is an ElementId
  kRecfm,    // a value of "recfm"; code is the record format code
  kType,     // a value of "type"; code is the SQL type code
  kCType,    // a value of "c_type"; code is the storage type code
  kBoolean,  // "TRUE" (code 1) or "FALSE" (code 0)
};

enum class ElementId : uint8_t {
  kNoAction,  // known names the reader passes over: "columns", "kova", "ordinal"
  kBigendian,
  kBytelength,
  kCType,
  kCei,
  kCharlength,
  kColendian,
  kColumn,
  kDatabaseName,
  kDatahost,
  kDropped,
  kEncoding,
  kExpectFile,
  kFieldsep,
  kFileType,
  kFormat,
  kHeaderLines,
  kIndLength,
  kIndOffset,
  kInformat,
  kInputDir,
  kKeylen,
  kKeysep,
  kManagedData,
  kMetaDir,
  kMrTempDir,
  kName,
  kNumTasks,
  kOffset,
  kOutputDir,
  kRecfm,
  kReclen,
  kRecordTag,
  kReturnCode,
  kScale,
  kSchemaName,
  kSelect,
  kTableName,
  kTag,
  kTextqual,
  kType,
  kUserInputFormat,
  kWhereExpression,
};

struct Keyword {
  std::u16string_view text;
  KeywordRole role;
  uint8_t code;
};

inline constexpr int kKeywordCount = 83;

// The keyword equal to text, or null.
const Keyword* findKeyword(std::u16string_view text);

}  // namespace kova
