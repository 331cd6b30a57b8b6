// writeXml: renders a KovaObject as its metadata document, one element per
// line, in the instance's outBuffer. Lines are formatted with the host's
// printWide into lineBuffer and converted to UTF-8 straight into outBuffer;
// both buffers grow in the instance pool and are kept for the next call.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "src/host/kernel.h"
#include "src/host/pool.h"
#include "src/metadata/document.h"
#include "src/metadata/text.h"
#include "src/metadata/vocabulary.h"
#include "src/metadata/xml_chars.h"

namespace kova {
namespace {

constexpr uint64_t kGrain = 1024;
constexpr uint64_t kBytesPerColumn = 300;
constexpr uint64_t kBaseBytes = 4096;
// Longest encoding description written into a comment after sanitizing.
constexpr size_t kDescriptionRoom = 512;

uint64_t roundUp(uint64_t n) { return (n + kGrain - 1) / kGrain * kGrain; }

class Writer {
 public:
  Writer(KovaObject* object, KovaXmlObject* escaper)
      : object_(object), escaper_(escaper), kernel_(kernel()), nls_(kova::nls()) {}

  bool failed() const { return object_->writeStatus != kStatusOk; }
  void fail(KovaStatus status) {
    if (object_->writeStatus == kStatusOk) object_->writeStatus = status;
  }

  // Makes room for at least bytes more bytes after outLength.
  bool reserve(uint64_t bytes) {
    uint64_t needed = object_->outLength + bytes;
    if (needed <= object_->outCapacity) return true;
    uint64_t grown = object_->outCapacity + object_->outCapacity / 2;
    uint64_t capacity = roundUp(needed > grown ? needed : grown);
    void* buffer = poolResize(object_->pool, object_->outBuffer, capacity);
    if (!buffer) {
      fail(kStatusNoMemory);
      return false;
    }
    object_->outBuffer = static_cast<uint8_t*>(buffer);
    object_->outCapacity = capacity;
    return true;
  }

  void raw(const uint8_t* bytes, uint64_t length) {
    if (failed() || !reserve(length)) return;
    std::memcpy(object_->outBuffer + object_->outLength, bytes, length);
    object_->outLength += length;
  }

  // One document line: format with printWide, convert to UTF-8, add a line feed.
  template <typename... Args>
  void line(std::u16string_view format, Args... args) {
    if (failed()) return;
    int64_t units = 0;
    for (int attempt = 0;; ++attempt) {
      KovaStatus status = kernel_->ops->printWide(
          kernel_, nullptr, format.data(), int64_t(format.size()), object_->lineBuffer,
          int64_t(object_->lineCapacity), &units, 0, args...);
      if (status == kStatusOk) break;
      if (status != kStatusBufferTooSmall || attempt == 2 || units <= 0) {
        fail(status == kStatusBufferTooSmall ? kStatusNoMemory : status);
        return;
      }
      uint64_t capacity = roundUp(uint64_t(units));
      void* buffer = poolResize(object_->pool, object_->lineBuffer, capacity * 2, true);
      if (!buffer) {
        fail(kStatusNoMemory);
        return;
      }
      object_->lineBuffer = static_cast<char16_t*>(buffer);
      object_->lineCapacity = capacity;
    }
    emit(uint64_t(units));
  }

  void number(const char16_t* name, int64_t value) {
    line(u"<%s>%lld</%s>", name, static_cast<long long>(value), name);
  }

  void keyword(const char16_t* name, std::u16string_view word) {
    line(u"<%s>%.*s</%s>", name, int(word.size()), word.data(), name);
  }

  // The text form: escaped element content, or a CDATA section when some
  // character is not printable or is white space.
  void text(const char16_t* name, const char16_t* value, int64_t length) {
    if (failed() || !textSet(value, length)) return;
    TextClass kind = classifyText(nls_, {value, size_t(length)});
    if (!kind.carriable) {
      fail(kStatusNotSupported);
      return;
    }
    std::u16string_view escaped;
    if (!escape(kind.plain ? kXmlEscapeContent : kXmlEscapeCdata, value, length, &escaped)) return;
    if (kind.plain) {
      line(u"<%s>%.*s</%s>", name, int(escaped.size()), escaped.data(), name);
    } else {
      line(u"<%s><![CDATA[%.*s]]></%s>", name, int(escaped.size()), escaped.data(), name);
    }
  }

  void controlByte(const char16_t* name, uint8_t value) {
    if (value == 0) return;
    if (value < 32) {
      line(u"<%s ctrl=\"%d\"/>", name, int(value));
    } else {
      char16_t c = value;
      text(name, &c, 1);
    }
  }

  // The encoding form; left out when the host does not know the identifier.
  void encoding(const char16_t* name, int32_t id) {
    if (failed() || id == 0 || !nls_ || !nls_->ops->encodingInfo) return;
    KovaEncodingInfo info{};
    if (nls_->ops->encodingInfo(nls_, id, &info) != kStatusOk) return;
    std::u16string_view encodingName;
    if (info.name && info.nameLength > 0) {
      if (!classifyText(nls_, {info.name, size_t(info.nameLength)}).carriable) return;
      if (!escape(kXmlEscapeContent, info.name, info.nameLength, &encodingName)) return;
    }
    char16_t room[kDescriptionRoom];
    std::u16string_view description = commentText(
        {info.description, info.description ? size_t(info.descriptionLength) : 0}, room);
    line(u"<%s cei=\"%d\">%.*s</%s><!-- %.*s -->", name, int(id), int(encodingName.size()),
         encodingName.data(), name, int(description.size()), description.data());
  }

 private:
  bool escape(int32_t mode, const char16_t* value, int64_t length, std::u16string_view* out) {
    const char16_t* escaped = nullptr;
    int64_t bytes = 0;
    KovaStatus status = escaper_->ops->escape(escaper_, mode, value, length * 2, &escaped, &bytes);
    if (status != kStatusOk) {
      fail(status);
      return false;
    }
    if (bytes / 2 > INT32_MAX) {
      fail(kStatusNoMemory);
      return false;
    }
    *out = std::u16string_view(escaped, escaped ? size_t(bytes / 2) : 0);
    return true;
  }

  // A description a comment can hold: no "--" (a blank goes between two
  // hyphens) and no character XML cannot carry (each becomes "?"). Returns
  // the description itself when it needs no change, else a copy in room
  // (cut to its size).
  static std::u16string_view commentText(std::u16string_view description,
                                         char16_t (&room)[kDescriptionRoom]) {
    bool clean = description.find(u"--") == std::u16string_view::npos &&
                 classifyText(nullptr, description).carriable;
    if (clean) return description;
    size_t n = 0;
    for (size_t i = 0; i < description.size() && n + 2 <= kDescriptionRoom; ++i) {
      char16_t c = description[i];
      bool bad = (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF;
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < description.size() &&
          description[i + 1] >= 0xDC00 && description[i + 1] <= 0xDFFF) {
        room[n++] = c;
        room[n++] = description[++i];
        continue;
      }
      if (c >= 0xD800 && c <= 0xDFFF) bad = true;
      if (c == u'-' && n > 0 && room[n - 1] == u'-') room[n++] = u' ';
      if (n < kDescriptionRoom) room[n++] = bad ? u'?' : c;
    }
    return {room, n};
  }

  // Converts units of lineBuffer to UTF-8 at outLength and ends the line.
  void emit(uint64_t units) {
    // Three bytes per code unit bound every UTF-8 form (a surrogate pair,
    // two units, takes four bytes); one more for the line feed.
    if (!reserve(units * 3 + 1)) return;
    KovaTranscoder* transcoder = object_->extension->utf8Transcoder;
    for (int attempt = 0;; ++attempt) {
      uint64_t room = object_->outCapacity - object_->outLength - 1;
      uint64_t written = 0;
      KovaStatus status =
          transcoder->ops->transcode(transcoder, object_->lineBuffer, units * 2,
                                     object_->outBuffer + object_->outLength, room, &written, 0);
      if (status == kStatusOk || status == kStatusTranscodeWarning) {
        if (written > room) {
          fail(kStatusTargetTooSmall);
          return;
        }
        object_->outLength += written;
        object_->outBuffer[object_->outLength++] = '\n';
        return;
      }
      if (status != kStatusTargetTooSmall || attempt == 2) {
        fail(status);
        return;
      }
      if (!reserve(object_->outCapacity)) return;  // double and try again
    }
  }

  KovaObject* object_;
  KovaXmlObject* escaper_;
  KovaKernel* kernel_;
  KovaNls* nls_;
};

void writeColumn(Writer& w, const KovaObject* object, const KovaColumn* column) {
  w.line(u"<column>");
  w.text(u"name", column->name, column->nameLength);
  if (!typeName(column->type).empty()) w.keyword(u"type", typeName(column->type));
  if (!cTypeName(column->c_type).empty()) w.keyword(u"c_type", cTypeName(column->c_type));
  if (column->charlength != 0) w.number(u"charlength", column->charlength);
  if (column->offset != 0) w.number(u"offset", column->offset);
  if (column->indOffset != 0) w.number(u"indOffset", column->indOffset);
  if (column->indLength != 0) w.number(u"indLength", column->indLength);
  if (column->bytelength != 0) w.number(u"bytelength", column->bytelength);
  if (column->scale != 0) w.number(u"scale", column->scale);
  w.encoding(u"cei", column->cei);
  w.text(u"format", column->format, column->formatLength);
  w.text(u"informat", column->informat, column->informatLength);
  w.text(u"tag", column->tag, column->tagLength);
  if (column->dropped && (object->flags & kObjectFlagWriteDropped)) {
    w.text(u"dropped", u"TRUE", 4);
  }
  if (column->colendian != 0) w.number(u"colendian", column->colendian);
  w.line(u"</column>");
}

// The document after the prologue. kStatusBadRecordFormat for a recfm the
// document cannot name; other failures land in writeStatus.
KovaStatus writeBody(Writer& w, KovaObject* o) {
  w.line(u"<kova>");
  if (o->recfm != kRecfmNone) {
    std::u16string_view recfm = recfmName(o->recfm);
    if (recfm.empty()) return kStatusBadRecordFormat;
    w.keyword(u"recfm", recfm);
  }
  if (o->managedData) {
    w.text(u"managedData", u"TRUE", 4);
  } else {
    w.text(u"managedData", u"FALSE", 5);
  }
  if (o->reclen > 0) w.number(u"reclen", o->reclen);
  w.encoding(u"encoding", o->encoding);
  w.controlByte(u"fieldsep", o->fieldsep);
  w.controlByte(u"textqual", o->textqual);
  w.controlByte(u"keysep", o->keysep);
  w.text(u"recordTag", o->recordTag, o->recordTagLength);
  if (o->keylen > 0) w.number(u"keylen", o->keylen);
  if (o->bigendian) w.line(u"<bigendian />");
  if (o->headerLines != 0) w.number(u"headerLines", o->headerLines);
  w.text(u"fileType", o->fileType, o->fileTypeLength);
  w.text(u"userInputFormat", o->userInputFormat, o->userInputFormatLength);
  w.text(u"inputDir", o->inputDir, o->inputDirLength);
  w.text(u"outputDir", o->outputDir, o->outputDirLength);
  w.text(u"metaDir", o->metaDir, o->metaDirLength);
  w.text(u"mrTempDir", o->mrTempDir, o->mrTempDirLength);
  w.text(u"whereExpression", o->whereExpression, o->whereExpressionLength);
  w.text(u"datahost", o->datahost, o->datahostLength);
  w.text(u"tableName", o->tableName, o->tableNameLength);
  w.text(u"schemaName", o->schemaName, o->schemaNameLength);
  w.text(u"databaseName", o->databaseName, o->databaseNameLength);
  if (o->expectFile && o->inputDir) w.line(u"<expectFile />");
  if (o->returnCode != 0) w.number(u"returnCode", o->returnCode);
  if (o->numTasks > 0) w.number(u"numTasks", o->numTasks);
  if (o->columnCount > 0 && o->columns) {
    w.line(u"<columns>");
    for (int32_t i = 0; i < o->columnCount && !w.failed(); ++i) {
      if (o->columns[i]) writeColumn(w, o, o->columns[i]);
    }
    w.line(u"</columns>");
  }
  w.line(u"</kova>");
  static constexpr uint8_t kLineFeed = '\n';
  w.raw(&kLineFeed, 1);
  return o->writeStatus;
}

}  // namespace

KovaStatus writeXml(KovaObject* object, const uint8_t** document, uint64_t* length) {
  if (document) *document = nullptr;
  if (length) *length = 0;
  if (!object || !object->extension || !kernel()) return kStatusNotSupported;
  object->writeStatus = kStatusOk;
  KovaExtensionObject* extension = object->extension;
  KovaExtensionHandle* xml = extension->xmlExtension;
  if (!xml || !extension->utf8Transcoder) return kStatusNotSupported;

  KovaXmlConfig config{};
  config.inputEncoding = kEncodingWide;
  config.pool = object->pool;
  auto* escaper =
      static_cast<KovaXmlObject*>(xml->ops->createObject(xml, &config, nullptr, kXmlEscaperName));
  if (!escaper) return kStatusNoMemory;
  // A chunked read may hold its parser in xmlObject; it gets it back below.
  void* held = object->xmlObject;
  object->xmlObject = escaper;

  KovaStatus status = kStatusOk;
  uint64_t columns = object->columnCount > 0 ? uint64_t(object->columnCount) : 0;
  uint64_t needed = columns * kBytesPerColumn + kBaseBytes;
  if (needed > object->outCapacity) {
    void* buffer = poolResize(object->pool, object->outBuffer, needed, true);
    if (buffer) {
      object->outBuffer = static_cast<uint8_t*>(buffer);
      object->outCapacity = needed;
    } else {
      status = kStatusNoMemory;
    }
  }
  if (status == kStatusOk) {
    object->outLength = 0;
    Writer writer(object, escaper);
    writer.raw(extension->prologue, extension->prologueLength);
    status = writeBody(writer, object);
  }
  if (status != kStatusOk) object->writeStatus = status;

  escaper->ops->destroyObject(escaper);
  object->xmlObject = held;
  if (object->writeStatus != kStatusOk) return object->writeStatus;
  if (document) *document = object->outBuffer;
  if (length) *length = object->outLength;
  return kStatusOk;
}

}  // namespace kova
