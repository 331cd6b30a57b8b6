#include "src/metadata/file_types.h"

namespace kova {

#define KOVA_ROW(keyword, in, out) \
  { keyword, sizeof(keyword) / 2 - 1, in, out }

const FileTypeRow kFileTypes[kFileTypeCount] = {
    KOVA_ROW(u"DELIMITED", u"com.qel.access.hadoop.xq.delimited.DelimitedInputFormat",
             u"com.qel.access.hadoop.xq.delimited.DelimitedOutputFormat"),
    KOVA_ROW(u"CUSTOM", u"com.qel.access.hadoop.xq.custom.CustomFileInputFormat",
             u"com.qel.access.hadoop.xq.custom.CustomFileOutputFormat"),
    KOVA_ROW(u"CUSTOM_SEQUENCE", u"com.qel.access.hadoop.xq.custom.CustomSequenceFileInputFormat",
             u"com.qel.access.hadoop.xq.custom.CustomSequenceFileOutputFormat"),
    KOVA_ROW(u"SEQUENCE", u"com.qel.access.hadoop.xq.sequence.XqSequenceFileInputFormat",
             u"com.qel.access.hadoop.xq.blah.blah.blah"),
    KOVA_ROW(u"BINARY", u"com.qel.access.hadoop.xq.binary.FixedRecLenBinaryInputFormat",
             u"com.qel.access.hadoop.xq.binary.FixedRecLenBinaryOutputFormat"),
    KOVA_ROW(u"XML", u"com.qel.access.hadoop.xq.xml.XmlInputFormat",
             u"com.qel.access.hadoop.xq.xml.XmlOutputFormat"),
    KOVA_ROW(u"JSON", u"com.qel.access.hadoop.xq.json.JsonInputFormat",
             u"com.qel.access.hadoop.xq.json.JsonOutputFormat"),
    KOVA_ROW(u"RUNE", u"com.qel.hadoop.xq.qelrune.XQRUNEInputFormat",
             u"com.qel.hadoop.xq.qelrune.XQRUNEOutputFormat"),
    KOVA_ROW(u"MOX", u"com.qel.hadoop.xq.mox.XQMOXInputFormat",
             u"com.qel.hadoop.xq.mox.XQMOXOutputFormat"),
    KOVA_ROW(u"TOLKA", u"com.qel.hadoop.xq.tolka.XQTolkaInputFormat",
             u"com.qel.hadoop.xq.tolka.XQTolkaOutputFormat"),
};

#undef KOVA_ROW

}  // namespace kova
