// Running `kova meta infer` and `kova rip` from the tests and reading what
// they print: the findings of --json, the rows of --format jsonl.
#pragma once

#include <yajl/yajl_tree.h>

#include <memory>
#include <string>
#include <vector>

namespace kova::testing {

struct JsonFree {
  void operator()(yajl_val v) const { yajl_tree_free(v); }
};
using Json = std::unique_ptr<yajl_val_s, JsonFree>;

// The parsed text, or null.
Json parseJson(const std::string& text);
// A member of an object, or null.
yajl_val member(yajl_val object, const char* name);
std::string stringOf(yajl_val value);  // "" when not a string
// Same JSON value: numbers compared as doubles, strings and null exactly.
bool sameValue(yajl_val a, yajl_val b);
std::string show(yajl_val value);

// A file in the test's temporary folder holding bytes; its path.
std::string writeTemp(const std::string& name, const std::string& bytes);

struct InferredColumn {
  std::string name, type, informat, tag;
  long long charlength = 0, bytelength = 0;
};

struct Inferred {
  int exit = -1;
  std::string output;  // stdout and stderr
  Json findings;       // --json output, or null
  std::vector<InferredColumn> columns;
  std::vector<std::string> warnings;
};

// True when one of the warnings holds text.
bool warned(const Inferred& inferred, const std::string& text);

// kova meta infer DATA OPTIONS --json.
Inferred inferFindings(const std::string& data, const std::string& options = "");

struct Ripped {
  int exit = -1;
  std::string summary;        // the tool's last line on stderr
  std::vector<Json> rows;     // one parsed object per row
  bool notSupported = false;  // the ripper cannot rip this record format yet
};

// kova meta infer DATA > DATA.xml, then kova rip DATA.xml DATA --format jsonl.
Ripped inferAndRip(const std::string& data, const std::string& inferOptions = "");

}  // namespace kova::testing
