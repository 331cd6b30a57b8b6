// XML records: the record tag (the most repeated element under the root
// that has child elements, or the one the user names) and the children of
// the record elements as columns, typed by their text; parsed with expat.
#include <expat.h>

#include <map>
#include <memory>

#include "tools/kova/infer_formats.h"
#include "tools/kova/infer_named.h"

namespace kova::tool::infer {
namespace {

// An expat parser over UTF-8 text (the sample is decoded before).
class Expat {
 public:
  explicit Expat(void* owner) : parser_(XML_ParserCreate("UTF-8")) {
    XML_SetUserData(parser_, owner);
  }
  ~Expat() { XML_ParserFree(parser_); }
  Expat(const Expat&) = delete;
  Expat& operator=(const Expat&) = delete;
  XML_Parser get() { return parser_; }
  // False and *error on a parse error.
  bool parse(std::string_view text, bool final, std::string* error) {
    if (XML_Parse(parser_, text.data(), int(text.size()), final) == XML_STATUS_OK) return true;
    *error = std::string(XML_ErrorString(XML_GetErrorCode(parser_))) + " at line " +
             std::to_string(XML_GetCurrentLineNumber(parser_));
    return false;
  }

 private:
  XML_Parser parser_;
};

// Element counts of the head: how often each name occurs, how shallow, and
// whether it has child elements.
struct ElementStats {
  struct Name {
    uint64_t count = 0;
    int depth = 1 << 30;
    bool children = false;
  };
  std::map<std::string, Name> names;
  std::vector<std::string> open;

  static void XMLCALL start(void* data, const XML_Char* name, const XML_Char**) {
    auto* s = static_cast<ElementStats*>(data);
    if (s->open.size() >= 2) s->names[s->open.back()].children = true;  // not the root
    s->open.emplace_back(name);
    if (s->open.size() >= 2) {
      Name& n = s->names[name];
      ++n.count;
      n.depth = std::min(n.depth, int(s->open.size()));
    }
  }
  static void XMLCALL end(void* data, const XML_Char*) {
    static_cast<ElementStats*>(data)->open.pop_back();
  }
};

class XmlInference : public Inference {
 public:
  explicit XmlInference(std::string recordTag) : recordTag_(std::move(recordTag)) {}

  bool start(std::string_view head, bool whole, Findings* f, std::string* error) override {
    ElementStats stats;
    Expat parser(&stats);
    XML_SetElementHandler(parser.get(), ElementStats::start, ElementStats::end);
    std::string problem;
    if (!parser.parse(head, whole, &problem) && stats.names.empty()) {
      *error = "not XML: " + problem;
      return false;
    }
    if (recordTag_.empty()) {
      const ElementStats::Name* best = nullptr;
      for (const auto& [name, n] : stats.names) {
        if (!n.children) continue;
        if (!best || n.count > best->count || (n.count == best->count && n.depth < best->depth)) {
          best = &n;
          recordTag_ = name;
        }
      }
      if (!best) {
        *error =
            "no element under the root has child elements to make a record of (give --record-tag)";
        return false;
      }
      f->dialectEvidence.push_back("record tag " + recordTag_ +
                                   ": the most repeated element with "
                                   "child elements (" +
                                   std::to_string(best->count) + " times)");
    } else {
      f->dialectEvidence.push_back("record tag " + recordTag_ + ": given with --record-tag");
    }
    f->recordTag = recordTag_;
    return true;
  }

  size_t feed(std::string_view text, bool final, bool fromStart, bool span) override {
    if (span) return text.size();  // a piece from inside a document does not parse alone
    if (fromStart || !parser_) {
      parser_ = std::make_unique<Expat>(this);
      XML_SetElementHandler(parser_->get(), onStart, onEnd);
      XML_SetCharacterDataHandler(parser_->get(), onText);
      depth_ = 0;
      recordDepth_ = 0;
    }
    if (error_.empty()) parser_->parse(text, final, &error_);
    return text.size();
  }

  bool finish(Findings* f, std::string* error) override {
    if (records_ == 0) {
      *error =
          "no <" + recordTag_ + "> record element" + (error_.empty() ? "" : " (" + error_ + ")");
      return false;
    }
    if (!error_.empty()) f->warnings.push_back("the XML is not well-formed: " + error_);
    f->records += records_;
    f->dialectEvidence.push_back(std::to_string(records_) + " <" + recordTag_ + "> records");
    children_.finish(records_, "element", "has child elements", f);
    if (attributes_) {
      f->warnings.push_back(
          std::to_string(attributes_) +
          " attributes in the records are left out: the ripper reads element text");
    }
    if (f->columns.empty()) {
      *error = "the <" + recordTag_ + "> elements have no child element with text";
      return false;
    }
    return true;
  }

 private:
  static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* s = static_cast<XmlInference*>(data);
    ++s->depth_;
    if (s->recordDepth_ == 0) {
      if (s->recordTag_ == name) s->recordDepth_ = s->depth_;
      return;
    }
    if (attributes && attributes[0]) ++s->attributes_;
    if (s->depth_ == s->recordDepth_ + 1) {
      s->child_ = s->children_.indexOf(name);
      s->text_.clear();
    } else if (s->depth_ == s->recordDepth_ + 2 && s->child_ < s->children_.size()) {
      ++s->children_[s->child_].nested;
      s->child_ = SIZE_MAX;
    }
  }
  static void XMLCALL onEnd(void* data, const XML_Char*) {
    auto* s = static_cast<XmlInference*>(data);
    if (s->recordDepth_ && s->depth_ == s->recordDepth_ + 1 && s->child_ < s->children_.size()) {
      NamedColumn& c = s->children_[s->child_];
      c.profile.observe(s->text_);
      ++c.seen;
      s->child_ = SIZE_MAX;
    } else if (s->depth_ == s->recordDepth_) {
      ++s->records_;
      s->recordDepth_ = 0;
    }
    --s->depth_;
  }
  static void XMLCALL onText(void* data, const XML_Char* text, int n) {
    auto* s = static_cast<XmlInference*>(data);
    if (s->recordDepth_ && s->depth_ == s->recordDepth_ + 1) s->text_.append(text, size_t(n));
  }

  std::string recordTag_;
  std::unique_ptr<Expat> parser_;
  std::string error_;
  int depth_ = 0;
  int recordDepth_ = 0;
  size_t child_ = SIZE_MAX;
  std::string text_;
  NamedColumns children_;
  uint64_t records_ = 0;
  uint64_t attributes_ = 0;
};

}  // namespace

std::unique_ptr<Inference> makeXmlInference(const std::string& recordTag) {
  return std::make_unique<XmlInference>(recordTag);
}

}  // namespace kova::tool::infer
