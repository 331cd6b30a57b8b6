#include "tests/infer/infer_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "tests/support/tool_run.h"

namespace kova::testing {

Json parseJson(const std::string& text) {
  char error[256];
  return Json(yajl_tree_parse(text.c_str(), error, sizeof error));
}

yajl_val member(yajl_val object, const char* name) {
  if (!YAJL_IS_OBJECT(object)) return nullptr;
  for (size_t i = 0; i < object->u.object.len; ++i) {
    if (std::string(object->u.object.keys[i]) == name) return object->u.object.values[i];
  }
  return nullptr;
}

std::string stringOf(yajl_val value) { return YAJL_IS_STRING(value) ? value->u.string : ""; }

bool sameValue(yajl_val a, yajl_val b) {
  if (YAJL_IS_NULL(a) || YAJL_IS_NULL(b)) return YAJL_IS_NULL(a) && YAJL_IS_NULL(b);
  if (YAJL_IS_NUMBER(a) && YAJL_IS_NUMBER(b)) {
    double x = YAJL_GET_DOUBLE(a), y = YAJL_GET_DOUBLE(b);
    return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(x));
  }
  if (YAJL_IS_STRING(a) && YAJL_IS_STRING(b)) return stringOf(a) == stringOf(b);
  return false;
}

std::string show(yajl_val v) {
  if (!v) return "(none)";
  if (YAJL_IS_NULL(v)) return "null";
  if (YAJL_IS_NUMBER(v)) return YAJL_GET_NUMBER(v);
  if (YAJL_IS_STRING(v)) return "\"" + stringOf(v) + "\"";
  return "(other)";
}

std::string writeTemp(const std::string& name, const std::string& bytes) {
  std::string path = ::testing::TempDir() + "kova_infer_" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

Inferred inferFindings(const std::string& data, const std::string& options) {
  Inferred result;
  std::string errors = data + ".err";
  ToolRun run = runKova("meta infer " + data + " " + options + " --json 2>" + errors + " #");
  result.exit = run.exit;
  std::ifstream in(errors);
  result.output = run.out + std::string(std::istreambuf_iterator<char>(in), {});
  result.findings = parseJson(run.out);
  yajl_val columns = member(result.findings.get(), "columns");
  if (YAJL_IS_ARRAY(columns)) {
    for (size_t i = 0; i < columns->u.array.len; ++i) {
      yajl_val c = columns->u.array.values[i];
      InferredColumn column{stringOf(member(c, "name")), stringOf(member(c, "type")),
                            stringOf(member(c, "informat")), stringOf(member(c, "tag"))};
      yajl_val length = member(c, "charlength");
      column.charlength = YAJL_IS_INTEGER(length) ? length->u.number.i : 0;
      yajl_val scale = member(c, "bytelength");
      column.bytelength = YAJL_IS_INTEGER(scale) ? scale->u.number.i : 0;
      result.columns.push_back(column);
    }
  }
  yajl_val warnings = member(result.findings.get(), "warnings");
  if (YAJL_IS_ARRAY(warnings)) {
    for (size_t i = 0; i < warnings->u.array.len; ++i)
      result.warnings.push_back(stringOf(warnings->u.array.values[i]));
  }
  return result;
}

bool warned(const Inferred& inferred, const std::string& text) {
  for (const std::string& w : inferred.warnings) {
    if (w.find(text) != std::string::npos) return true;
  }
  return false;
}

Ripped inferAndRip(const std::string& data, const std::string& inferOptions) {
  Ripped result;
  const std::string document = data + ".xml";
  ToolRun infer = runKova("meta infer " + data + " " + inferOptions + " > " + document);
  if (infer.exit != 0) return result;
  const std::string errors = data + ".rip-err";
  ToolRun rip = runKova("rip " + document + " " + data + " --format jsonl 2>" + errors + " #");
  result.exit = rip.exit;
  std::ifstream in(errors);
  std::string line, all;
  while (std::getline(in, line)) {
    all += line + "\n";
    if (!line.empty()) result.summary = line;
  }
  result.notSupported = all.find("kStatusNotSupported") != std::string::npos ||
                        all.find("cannot load the JSON sibling") != std::string::npos;
  size_t at = 0;
  while (at < rip.out.size()) {
    size_t end = rip.out.find('\n', at);
    if (end == std::string::npos) end = rip.out.size();
    result.rows.push_back(parseJson(rip.out.substr(at, end - at)));
    at = end + 1;
  }
  return result;
}

}  // namespace kova::testing
