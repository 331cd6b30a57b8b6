#include "tools/kova/infer_formats.h"

#include "tools/kova/infer_delimited.h"
#include "tools/kova/infer_values.h"

namespace kova::tool::infer {

RecordFormat detectFormat(std::string_view head, std::vector<std::string>* evidence) {
  size_t first = head.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && (head[first] == '{' || head[first] == '[')) {
    evidence->push_back(std::string("the text begins with '") + head[first] + "': JSON");
    return RecordFormat::kJson;
  }
  if (first != std::string_view::npos && head[first] == '<') {
    evidence->push_back("the text begins with '<': XML");
    return RecordFormat::kXml;
  }
  size_t lines = 0, clf = 0;
  for (size_t at = 0; at < head.size() && lines < 200;) {
    size_t end = head.find('\n', at);
    if (end == std::string_view::npos) end = head.size();
    std::string_view line = head.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    if (line.empty()) continue;
    ++lines;
    std::string_view fields[7];
    clf += splitClfLine(line, fields);
  }
  if (lines && clf * 10 >= lines * 8) {
    evidence->push_back(std::to_string(clf) + " of the first " + std::to_string(lines) +
                        " lines are Common Log Format lines");
    return RecordFormat::kClf;
  }
  evidence->push_back("not JSON, XML or Common Log Format lines (" + std::to_string(clf) + " of " +
                      std::to_string(lines) + " lines): delimited text");
  return RecordFormat::kDelimited;
}

std::unique_ptr<Inference> makeInference(RecordFormat format, const std::string& recordTag) {
  switch (format) {
    case RecordFormat::kClf:
      return makeClfInference();
    case RecordFormat::kJson:
      return makeJsonInference();
    case RecordFormat::kXml:
      return makeXmlInference(recordTag);
    default:
      return std::make_unique<DelimitedInference>();
  }
}

bool splitClfLine(std::string_view line, std::string_view f[7]) {
  size_t a = line.find(' ');
  if (a == std::string_view::npos) return false;
  size_t b = line.find(' ', a + 1);
  if (b == std::string_view::npos) return false;
  size_t c = line.find(' ', b + 1);
  if (c == std::string_view::npos) return false;
  f[0] = line.substr(0, a);
  f[1] = line.substr(a + 1, b - a - 1);
  f[2] = line.substr(b + 1, c - b - 1);
  size_t open = line.find('[', c + 1);
  size_t close = open == std::string_view::npos ? open : line.find(']', open + 1);
  if (close == std::string_view::npos) return false;
  f[3] = line.substr(open + 1, close - open - 1);
  size_t q1 = line.find('"', close + 1);
  size_t q2 = q1 == std::string_view::npos ? q1 : line.find('"', q1 + 1);
  if (q2 == std::string_view::npos) return false;
  f[4] = line.substr(q1 + 1, q2 - q1 - 1);
  size_t s = line.find_first_not_of(' ', q2 + 1);
  if (s == std::string_view::npos) return false;
  size_t e = line.find(' ', s);
  if (e == std::string_view::npos) return false;
  f[5] = line.substr(s, e - s);
  f[6] = line.substr(e + 1);
  return open == c + 1 && (classifyValue(f[3]).shapes & kShapeTimestamps) != 0;
}

}  // namespace kova::tool::infer
