#include "src/metadata/object.h"

#include <cstring>
#include <limits>

#include "src/host/pool.h"
#include "src/host/siblings.h"
#include "src/metadata/file_types.h"
#include "src/metadata/format_spec.h"
#include "src/metadata/text.h"

namespace kova {
namespace {

constexpr int32_t kColumnBlock = 32;
constexpr char16_t kDefaultFileType[] = u"DELIMITED";

}  // namespace

int32_t setFormats(KovaObject* object) {
  const FileTypeRow* row = &kFileTypes[0];
  int32_t result = 1;
  if (object->fileTypeLength <= 0 || !object->fileType) {
    object->fileType = kDefaultFileType;
    object->fileTypeLength = literalLength(kDefaultFileType);
  } else {
    std::u16string_view fileType = textView(object->fileType, object->fileTypeLength);
    for (const FileTypeRow& candidate : kFileTypes) {
      if (equalsIgnoringCase(fileType, {candidate.keyword, size_t(candidate.keywordLength)})) {
        row = &candidate;
        result = 0;
        break;
      }
    }
  }
  int64_t inputLength = literalLength(row->inputFormat);
  object->inputFormat = copyString(object, row->inputFormat, inputLength);
  object->inputFormatLength = object->inputFormat ? inputLength : 0;
  int64_t outputLength = literalLength(kGenericOutputFormat);
  object->outputFormat = copyString(object, kGenericOutputFormat, outputLength);
  object->outputFormatLength = object->outputFormat ? outputLength : 0;
  return result;
}

KovaColumn* addColumn(KovaObject* object) {
  if (object->columnCount >= object->columnCapacity) {
    // The count is 32-bit: a table never holds more columns than it can count.
    if (object->columnCapacity > std::numeric_limits<int32_t>::max() - kColumnBlock) return nullptr;
    auto* block =
        static_cast<KovaColumn*>(poolAllocate(object->pool, sizeof(KovaColumn) * kColumnBlock));
    if (!block) return nullptr;
    const int32_t capacity = object->columnCapacity + kColumnBlock;
    auto* slots = static_cast<KovaColumn**>(
        poolResize(object->pool, object->columns, sizeof(KovaColumn*) * uint64_t(capacity)));
    if (!slots) {
      poolFree(object->pool, block);
      return nullptr;
    }
    for (int32_t i = 0; i < kColumnBlock; ++i) slots[object->columnCapacity + i] = &block[i];
    object->columns = slots;
    object->columnCapacity = capacity;
  }
  KovaColumn* column = object->columns[object->columnCount++];
  std::memset(column, 0, sizeof(KovaColumn));
  return column;
}

const char16_t* copyString(KovaObject* object, const char16_t* text, int64_t length) {
  if (!text || length <= 0) return nullptr;
  auto* copy = static_cast<char16_t*>(poolAllocate(object->pool, uint64_t(length) * 2));
  if (copy) std::memcpy(copy, text, uint64_t(length) * 2);
  return copy;
}

KovaStatus checkFormat(KovaObject* object, const char16_t* name, int64_t length, int32_t informat) {
  if (!object->formatEngine) {
    object->formatEngine = createFormatEngine(&object->formatExtension);
    if (!object->formatEngine) return kStatusNotSupported;
  }
  KovaLocale* locale = object->extension ? object->extension->locale : nullptr;
  int32_t width = 0;
  int32_t decimals = 0;
  int64_t nameLength = parseFormatSpec(locale, name, length, &width, &decimals);
  if (nameLength < 0) return kStatusNotSupported;
  const char16_t* lookupName = nameLength == 0 ? u"F" : name;
  int64_t lookupLength = nameLength == 0 ? 1 : nameLength;
  KovaFormatObject* format = lookupFormat(object->formatEngine, lookupName, lookupLength, locale,
                                          informat ? kFormatLookupInformat : kFormatLookupFormat);
  if (!format) return kStatusNotSupported;
  if (format->release) format->release(format);
  return kStatusOk;
}

}  // namespace kova
