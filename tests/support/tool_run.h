// Running the kova tool from tests: its exit status and what it printed.
#pragma once

#include <string>

namespace kova::testing {

struct ToolRun {
  int exit = -1;
  std::string out;
};

// Runs `kova ARGUMENTS` (a shell command line) from the build tree; stderr
// joins stdout when withErrors is set, else it is dropped.
ToolRun runKova(const std::string& arguments, bool withErrors = false);

// The path of a file in examples/.
std::string examplePath(const std::string& name);

// Writes content to a file of that name in the test's temporary folder and
// returns its path.
std::string tempFile(const std::string& name, const std::string& content);

// The whole content of the file at path ("" when it cannot be read).
std::string fileContent(const std::string& path);

}  // namespace kova::testing
