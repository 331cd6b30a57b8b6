// FileTypeTable: the file type keywords and the Java classes that read and
// write each kind of file, searched in order by setFormats.
#pragma once

#include <cstdint>

namespace kova {

struct FileTypeRow {
  const char16_t* keyword;
  int32_t keywordLength;
  const char16_t* inputFormat;
  const char16_t* outputFormat;  // kept for reference; setFormats does not use it
};

inline constexpr int kFileTypeCount = 10;
extern const FileTypeRow kFileTypes[kFileTypeCount];

// The OutputFormat class every file type gets.
inline constexpr const char16_t* kGenericOutputFormat =
    u"org.apache.hadoop.mapred.FileOutputFormat";

}  // namespace kova
