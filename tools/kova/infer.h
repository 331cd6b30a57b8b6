// `kova meta infer`: what the sniffer found about a data file, with the
// evidence for each decision. The detectors (infer_*.cc) fill one Findings;
// infer_document.cc turns it into a table instance, cmd_infer.cc prints it.
// Plain values only: no host objects, so tests can build and read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova::tool::infer {

enum class RecordFormat { kAuto, kDelimited, kClf, kJson, kXml };

const char* formatName(RecordFormat format);

// One column as it will be written to the document.
struct ColumnFinding {
  std::string name;
  uint32_t type = 0;       // SQL type code (kTypeVarchar, ...)
  uint32_t cType = 0;      // storage type code
  int64_t charlength = 0;  // characters; DECIMAL: precision; TIME/TIMESTAMP: fraction digits
  int64_t bytelength = 0;  // DECIMAL: scale
  std::string informat;    // NAMEw.d, or ""
  std::string format;      // NAMEw.d, or ""
  std::string tag;         // JSON member or XML element, or ""
  uint64_t values = 0;     // non-null values seen
  uint64_t nulls = 0;      // null texts seen
  std::vector<std::string> evidence;
};

struct Findings {
  RecordFormat format = RecordFormat::kDelimited;
  std::vector<std::string> formatEvidence;
  int32_t encoding = 20;
  std::string encodingName = "UTF-8";
  size_t bomLength = 0;
  std::vector<std::string> encodingEvidence;
  // Delimited.
  uint8_t fieldsep = 0;
  uint8_t textqual = 0;
  std::string lineEnd;  // "LF", "CR LF", "CR" or "" (one record, no line end)
  int32_t headerLines = 0;
  std::vector<std::string> dialectEvidence;
  // XML.
  std::string recordTag;
  // The null text most fields that hold one use ("" when none is seen).
  std::string nullText;
  std::vector<ColumnFinding> columns;
  // Decisions the sample could not settle; printed on stderr.
  std::vector<std::string> warnings;
  // The sample.
  uint64_t fileBytes = 0;
  uint64_t sampledBytes = 0;
  uint64_t records = 0;
  bool wholeFile = false;
};

// One record format's inference: start() decides from the head of the file,
// feed() profiles text (the head again, spans, or the whole file in
// chunks), finish() gives the columns.
class Inference {
 public:
  virtual ~Inference() = default;
  // head: the start of the file as UTF-8; whole: head is all of it. False
  // and *error when the text is not a table of this format.
  virtual bool start(std::string_view head, bool whole, Findings* findings, std::string* error) = 0;
  // Returns the bytes used: a record not ended is left unless final.
  // fromStart: text begins at the start of the file. span: a piece from
  // inside the file, cut to whole lines.
  virtual size_t feed(std::string_view text, bool final, bool fromStart, bool span) = 0;
  virtual bool finish(Findings* findings, std::string* error) = 0;
};

}  // namespace kova::tool::infer
