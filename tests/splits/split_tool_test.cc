// `kova splits`, `kova rip --split` and `kova rip --jobs` as a scheduler and
// a person use them: every split run as its own process and the outputs
// concatenated equal the whole-file rip byte for byte; --jobs prints exactly
// what one thread prints, in every output format; failures and refusals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

const char* kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<kova>
<recfm>DELIMITED</recfm>
<encoding cei="20">UTF-8</encoding>
<fieldsep>,</fieldsep>
%s<headerLines>1</headerLines>
<columns>
<column><name>id</name><type>INT</type></column>
<column><name>name</name><type>VARCHAR</type><charlength>40</charlength></column>
<column><name>price</name><type>DOUBLE</type></column>
<column><name>day</name><type>DATE</type><informat>YYMMDD10.</informat></column>
</columns>
</kova>
)";

class SplitToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kova-splits-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string document(bool qualified) {
    char text[2048];
    std::snprintf(text, sizeof text, kDocument, qualified ? "<textqual>&quot;</textqual>\n" : "");
    return write(qualified ? "qualified.xml" : "plain.xml", text);
  }
  // Rows with CR LF and LF line ends and multi-byte names; with qualified,
  // quoted names full of line ends and separators.
  static std::string rows(int count, bool qualified) {
    std::string data = "id,name,price,day\r\n";
    for (int i = 0; i < count; ++i) {
      std::string name = "n\xC3\xA9" + std::to_string(i * 7919 % 1000);
      if (qualified && i % 3 == 0) name = "\"q,\n" + name + "\r\n\"\"x\"\"\n,\"";
      data += std::to_string(i) + "," + name + "," + std::to_string(i % 100) + ".25,2024-0" +
              std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10) +
              (i % 4 == 0 ? "\n" : "\r\n");
    }
    return data;
  }

  std::string dir_;
};

std::vector<std::pair<uint64_t, uint64_t>> splitList(const std::string& json) {
  std::vector<std::pair<uint64_t, uint64_t>> splits;
  std::regex pair("\\{\"offset\": (\\d+), \"length\": (\\d+)\\}");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), pair); it != std::sregex_iterator();
       ++it) {
    splits.emplace_back(std::stoull((*it)[1]), std::stoull((*it)[2]));
  }
  return splits;
}

TEST_F(SplitToolTest, EverySplitAsItsOwnProcessConcatenatesToTheWholeRip) {
  const std::string doc = document(false);
  const std::string data = write("plain.csv", rows(600, false));
  for (const char* format : {"csv", "jsonl"}) {
    SCOPED_TRACE(format);
    const ToolRun whole = runKova("rip " + doc + " " + data + " --format " + format);
    ASSERT_EQ(whole.exit, 0);
    for (const char* size : {"997", "4k"}) {
      const ToolRun listed = runKova("splits " + doc + " " + data + " --json --size " + size);
      ASSERT_EQ(listed.exit, 0);
      const auto splits = splitList(listed.out);
      ASSERT_GT(splits.size(), 3u);
      std::string joined;
      for (const auto& [offset, length] : splits) {
        const ToolRun part =
            runKova("rip " + doc + " " + data + " --format " + format + " --split " +
                    std::to_string(offset) + ":" + std::to_string(length));
        ASSERT_EQ(part.exit, 0) << offset;
        joined += part.out;
      }
      EXPECT_EQ(joined, whole.out) << "splits of " << size;
    }
  }
}

TEST_F(SplitToolTest, JobsPrintWhatOneThreadPrintsInEveryFormat) {
  for (bool qualified : {false, true}) {
    SCOPED_TRACE(qualified ? "qualified" : "plain");
    const std::string doc = document(qualified);
    const std::string data = write("rows.csv", rows(900, qualified));
    for (const char* format : {"csv", "jsonl", "table", "none"}) {
      const std::string rip = "rip " + doc + " " + data + " --format " + format;
      const ToolRun plain = runKova(rip);
      const ToolRun one = runKova(rip + " --jobs 1 --split-size 1000");
      ASSERT_EQ(plain.exit, 0);
      ASSERT_EQ(one.exit, 0);
      EXPECT_EQ(one.out, plain.out) << format;
      for (const char* jobs : {"2", "3", "0"}) {
        const ToolRun many = runKova(rip + " --jobs " + jobs + " --split-size 777");
        ASSERT_EQ(many.exit, 0);
        EXPECT_EQ(many.out, plain.out) << format << " with --jobs " << jobs;
      }
      const ToolRun limited = runKova(rip + " --limit 123");
      const ToolRun limitedJobs = runKova(rip + " --limit 123 --jobs 2 --split-size 500");
      EXPECT_EQ(limitedJobs.out, limited.out) << format << " with --limit";
    }
  }
}

// Few processes: the ThreadSanitizer build runs this one.
TEST_F(SplitToolTest, ParallelRipOfQualifiedFileMatchesOneThread) {
  const std::string doc = document(true);
  const std::string data = write("q.csv", rows(400, true));
  const std::string rip = "rip " + doc + " " + data + " --format jsonl";
  const ToolRun plain = runKova(rip);
  ASSERT_EQ(plain.exit, 0);
  const ToolRun many = runKova(rip + " --jobs 3 --split-size 300", true);
  EXPECT_EQ(many.exit, 0);
  EXPECT_EQ(many.out.substr(0, plain.out.size()), plain.out) << many.out;
  EXPECT_NE(many.out.find("re-ripped after verification"), std::string::npos) << many.out;
}

TEST_F(SplitToolTest, QualifiedTableIsRippedInSplitsOnlyWhenFieldsHoldNoLineEnds) {
  const std::string doc = document(true);
  const std::string data = write("q.csv", rows(50, false));
  const ToolRun refused = runKova("rip " + doc + " " + data + " --split 10:100", true);
  EXPECT_EQ(refused.exit, 2);
  EXPECT_NE(refused.out.find("--no-quoted-newlines"), std::string::npos) << refused.out;
  const ToolRun whole = runKova("rip " + doc + " " + data + " --format jsonl");
  std::string joined;
  for (uint64_t offset = 0; offset < 2000; offset += 300) {
    joined += runKova("rip " + doc + " " + data + " --format jsonl --no-quoted-newlines --split " +
                      std::to_string(offset) + ":300")
                  .out;
  }
  EXPECT_EQ(joined, whole.out);
  const ToolRun listed = runKova("splits " + doc + " " + data);
  EXPECT_NE(listed.out.find("qualified"), std::string::npos) << listed.out;
}

TEST_F(SplitToolTest, FilesWithoutSplitPointsAreOneSplitAndSayWhy) {
  const std::string doc = examplePath("sensors.varbin.xml");
  const std::string data = examplePath("sensors.varbin");
  const ToolRun listed = runKova("splits " + doc + " " + data + " --json --size 16");
  ASSERT_EQ(listed.exit, 0);
  EXPECT_NE(listed.out.find("\"splittable\": false"), std::string::npos) << listed.out;
  EXPECT_EQ(splitList(listed.out).size(), 1u);
  const ToolRun whole = runKova("rip " + doc + " " + data + " --format jsonl");
  EXPECT_EQ(runKova("rip " + doc + " " + data + " --format jsonl --split 0:16").out, whole.out);
  EXPECT_EQ(runKova("rip " + doc + " " + data + " --format jsonl --split 16:16").out, "");
  EXPECT_EQ(runKova("rip " + doc + " " + data + " --format jsonl --jobs 2").out, whole.out);
}

TEST_F(SplitToolTest, FailingSplitStopsTheRunNamingItsOffset) {
  // A VARBIN record whose length runs past the file: the one split fails.
  std::string bytes;
  const std::string source = examplePath("sensors.varbin");
  {
    std::ifstream in(source, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(bytes.size(), 8u);
  bytes[0] = '\x7f';  // the first record's length, far past the end
  const std::string data = write("broken.varbin", bytes);
  const ToolRun run = runKova(
      "rip " + examplePath("sensors.varbin.xml") + " " + data + " --format jsonl --jobs 2", true);
  EXPECT_EQ(run.exit, 1);
  EXPECT_NE(run.out.find("the split at offset 0 failed"), std::string::npos) << run.out;
}

TEST_F(SplitToolTest, BadSplitOptionsAreUsageErrors) {
  const std::string doc = document(false);
  const std::string data = write("d.csv", rows(5, false));
  for (const char* options : {"--split 10", "--split a:5", "--jobs x", "--jobs 2 --split 0:1",
                              "--split-size 0 --jobs 2"}) {
    EXPECT_EQ(runKova("rip " + doc + " " + data + " " + options).exit, 2) << options;
  }
  EXPECT_EQ(runKova("rip " + doc + " - --jobs 2 < " + data).exit, 2);
}

}  // namespace
}  // namespace kova::testing
