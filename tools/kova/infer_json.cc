// JSON records (objects one after another, or an array of objects): the
// union of the records' member names in first-seen order, each typed by its
// values, parsed with yajl.
#include <yajl/yajl_parse.h>

#include <memory>

#include "kova/metadata.h"
#include "tools/kova/infer_formats.h"
#include "tools/kova/infer_named.h"

namespace kova::tool::infer {
namespace {

class JsonInference : public Inference {
 public:
  ~JsonInference() override { closeParser(); }

  bool start(std::string_view head, bool, Findings* f, std::string*) override {
    // Objects one per line can be sampled from inside the file too.
    size_t first = head.find_first_not_of(" \t\r\n");
    size_t line = head.find('\n', first);
    std::string_view firstLine =
        head.substr(first, line == std::string_view::npos ? line : line - first);
    while (!firstLine.empty() && (firstLine.back() == '\r' || firstLine.back() == ' '))
      firstLine.remove_suffix(1);
    linePerRecord_ = head[first] == '{' && !firstLine.empty() && firstLine.back() == '}';
    f->dialectEvidence.push_back(
        linePerRecord_ ? "one object per line: spans inside the file are sampled too"
                       : "records run over lines: only the start of the file is sampled");
    return true;
  }

  size_t feed(std::string_view text, bool final, bool, bool span) override {
    if (span && !linePerRecord_) return text.size();
    if (span || !parser_) openParser();
    if (!failed_) {
      auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
      yajl_status status = yajl_parse(parser_, bytes, text.size());
      if (status == yajl_status_ok && final) status = yajl_complete_parse(parser_);
      if (status == yajl_status_error) {
        failed_ = true;
        unsigned char* message = yajl_get_error(parser_, 0, bytes, text.size());
        error_ = reinterpret_cast<char*>(message);
        while (!error_.empty() && (error_.back() == '\n' || error_.back() == ' '))
          error_.pop_back();
        yajl_free_error(parser_, message);
        // The head is cut on a line end and never completed, so this is a
        // fault of the data itself.
        stoppedEarly_ = true;
      }
    }
    if (span) closeParser();
    return text.size();
  }

  bool finish(Findings* f, std::string* error) override {
    if (records_ == 0) {
      *error = "no JSON object records" + (error_.empty() ? std::string() : ": " + error_);
      return false;
    }
    f->records += records_;
    f->dialectEvidence.push_back(std::to_string(records_) + " record objects" +
                                 (inArray_ ? " in an array" : ""));
    if (stoppedEarly_) f->warnings.push_back("the JSON is not valid: " + error_);
    members_.finish(records_, "member", "holds objects or arrays", f);
    for (ColumnFinding& column : f->columns) {
      if (column.type != kTypeInt) continue;
      // JSON integers are 64-bit: a later, larger one still fits.
      column.type = kTypeBigint;
      column.cType = kCTypeInt64;
      column.evidence.push_back("JSON integers are read as BIGINT");
    }
    if (f->columns.empty()) {
      *error = "the records have no member with a plain value";
      return false;
    }
    return true;
  }

 private:
  static JsonInference* self(void* context) { return static_cast<JsonInference*>(context); }

  void openParser() {
    closeParser();
    static const yajl_callbacks kCallbacks = {onNull,   onBoolean,    nullptr,    nullptr,
                                              onNumber, onString,     onStartMap, onKey,
                                              onEndMap, onStartArray, onEndArray};
    parser_ = yajl_alloc(&kCallbacks, nullptr, this);
    yajl_config(parser_, yajl_allow_multiple_values, 1);
    failed_ = false;
    depth_ = 0;
    recordDepth_ = 0;
    member_ = SIZE_MAX;
  }
  void closeParser() {
    if (parser_) yajl_free(parser_);
    parser_ = nullptr;
  }

  // The member a value at the current depth belongs to, or null.
  NamedColumn* valueMember() {
    return recordDepth_ > 0 && depth_ == recordDepth_ && member_ < members_.size()
               ? &members_[member_]
               : nullptr;
  }

  static int onNull(void* c) {
    if (NamedColumn* m = self(c)->valueMember()) m->profile.observeNull(), ++m->seen;
    return 1;
  }
  static int onBoolean(void* c, int) {
    if (NamedColumn* m = self(c)->valueMember()) m->profile.observeBoolean(), ++m->seen;
    return 1;
  }
  static int onNumber(void* c, const char* text, size_t n) {
    if (NamedColumn* m = self(c)->valueMember()) m->profile.observe({text, n}), ++m->seen;
    return 1;
  }
  static int onString(void* c, const unsigned char* text, size_t n) {
    if (NamedColumn* m = self(c)->valueMember()) {
      m->profile.observeString({reinterpret_cast<const char*>(text), n}), ++m->seen;
    }
    return 1;
  }
  static int onKey(void* c, const unsigned char* text, size_t n) {
    JsonInference* s = self(c);
    if (s->depth_ != s->recordDepth_ || s->recordDepth_ == 0) return 1;
    s->member_ = s->members_.indexOf(std::string(reinterpret_cast<const char*>(text), n));
    return 1;
  }
  static int onStartMap(void* c) {
    JsonInference* s = self(c);
    if (NamedColumn* m = s->valueMember()) ++m->nested, ++m->seen;
    ++s->depth_;
    // A record: an object at the top, or directly inside a top-level array.
    if (s->recordDepth_ == 0 && (s->depth_ == 1 || (s->depth_ == 2 && s->topArray_))) {
      s->recordDepth_ = s->depth_;
      s->member_ = SIZE_MAX;
    }
    return 1;
  }
  static int onEndMap(void* c) {
    JsonInference* s = self(c);
    if (s->depth_ == s->recordDepth_) {
      ++s->records_;
      s->recordDepth_ = 0;
    }
    --s->depth_;
    return 1;
  }
  static int onStartArray(void* c) {
    JsonInference* s = self(c);
    if (NamedColumn* m = s->valueMember()) ++m->nested, ++m->seen;
    ++s->depth_;
    if (s->depth_ == 1) s->topArray_ = s->inArray_ = true;
    return 1;
  }
  static int onEndArray(void* c) {
    JsonInference* s = self(c);
    if (s->depth_ == 1) s->topArray_ = false;
    --s->depth_;
    return 1;
  }

  yajl_handle parser_ = nullptr;
  bool linePerRecord_ = false;
  bool failed_ = false;
  bool stoppedEarly_ = false;
  std::string error_;
  int depth_ = 0;
  int recordDepth_ = 0;  // depth of the open record object, 0 when none
  bool topArray_ = false;
  bool inArray_ = false;
  size_t member_ = SIZE_MAX;  // the member whose value comes next
  NamedColumns members_;
  uint64_t records_ = 0;
};

}  // namespace

std::unique_ptr<Inference> makeJsonInference() { return std::make_unique<JsonInference>(); }

}  // namespace kova::tool::infer
