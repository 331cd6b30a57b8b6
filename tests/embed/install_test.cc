// `cmake --install` into a fresh prefix gives what another program needs to
// embed kova: the example C program builds against it through find_package
// and through pkg-config, loads the installed module and rips a file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

// Runs a shell command; its exit status and output (stderr too).
ToolRun shell(const std::string& command) {
  ToolRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(InstallTest, ExampleBuildsAgainstTheInstalledPackageAndRips) {
  char pattern[] = "/tmp/kova-install-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string prefix = pattern;
  const std::string source = KOVA_SOURCE_DIR;
  // The example table: integer ids first, so the program prints them.
  const std::string doc = source + "/examples/orders.delimited.xml";
  const std::string data = source + "/examples/orders.csv";
  const std::string expectedCount =
      std::to_string(std::stoul(
          runKova("rip " + doc + " " + data + " --format jsonl 2>/dev/null | wc -l").out)) +
      " rows\n";

  ToolRun installed = shell("cmake --install " KOVA_BINARY_DIR " --prefix " + prefix);
  ASSERT_EQ(installed.exit, 0) << installed.out;
  for (const char* file : {"/include/kova/embed.h", "/include/kova/ripper.h",
                           "/include/kova/runtime/split/split_rules.h"}) {
    EXPECT_EQ(access((prefix + file).c_str(), R_OK), 0) << file;
  }

  ToolRun configured = shell("cmake -S " + source + "/examples/embed -B " + prefix +
                             "/build -G Ninja -DCMAKE_PREFIX_PATH=" + prefix);
  ASSERT_EQ(configured.exit, 0) << configured.out;
  ToolRun built = shell("cmake --build " + prefix + "/build");
  ASSERT_EQ(built.exit, 0) << built.out;
  ToolRun ripped = shell("env -u KOVA_MODULE " + prefix + "/build/embed " + doc + " " + data);
  ASSERT_EQ(ripped.exit, 0) << ripped.out;
  EXPECT_NE(ripped.out.find("1001\n"), std::string::npos) << ripped.out;
  EXPECT_NE(ripped.out.find(expectedCount), std::string::npos) << ripped.out;

  const std::string pkg = "PKG_CONFIG_PATH=" + prefix + "/lib/pkgconfig pkg-config";
  ToolRun compiled =
      shell("cc " + source + "/examples/embed/embed.c -o " + prefix + "/embed-pc $(" + pkg +
            " --cflags --libs kova) -Wl,-rpath," + prefix + "/lib");
  ASSERT_EQ(compiled.exit, 0) << compiled.out;
  ToolRun viaPkg = shell("env -u KOVA_MODULE " + prefix + "/embed-pc " + doc + " " + data);
  EXPECT_EQ(viaPkg.exit, 0) << viaPkg.out;
  EXPECT_EQ(viaPkg.out, ripped.out);
  std::system(("rm -rf " + prefix).c_str());
}

}  // namespace
}  // namespace kova::testing
