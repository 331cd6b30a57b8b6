// kova rip --rejects, --max-rejects and --strict on FIXED and VARBIN tables:
// one JSON line per value not stored as read, with the record's and the
// field's offsets in the file at every block size, the field's bytes in hex
// when they are no printable text, and the rows unchanged.
#include <gtest/gtest.h>

#include <string>

#include "bench/binary_records.h"
#include "tests/support/tool_run.h"

namespace kova::testing {
namespace {

std::string hexOf(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) out += {kDigits[c >> 4], kDigits[c & 15]};
  return out;
}

size_t countLines(const std::string& text) {
  return size_t(std::count(text.begin(), text.end(), '\n'));
}

// The example payroll table with its 4-byte employee_id read as a TINYINT:
// every id (10001 and up) is out of range.
std::string tinyIdDocument() {
  std::string doc = fileContent(examplePath("payroll.fixed.xml"));
  const std::string from = "<name>employee_id</name>\n<type>INT</type>";
  const size_t at = doc.find(from);
  EXPECT_NE(at, std::string::npos);
  doc.replace(at, from.size(), "<name>employee_id</name>\n<type>TINYINT</type>");
  return tempFile("tiny_id.fixed.xml", doc);
}

TEST(BinaryRejectsCommand, FixedValuesOutOfRangeAreListedWithTheirBytesAtEveryBlockSize) {
  const std::string doc = tinyIdDocument();
  const std::string data = examplePath("payroll.fixed");
  const std::string bytes = fileContent(data);
  ASSERT_EQ(bytes.size(), 12u * 64);
  std::string expected;
  for (size_t r = 0; r < 12; ++r) {
    const std::string id = bytes.substr(r * 64, 4);
    const std::string offset = std::to_string(r * 64);
    // The id's bytes 00 00 27 xx: the text member escapes them.
    std::string text = "\\u0000\\u0000'";
    const unsigned char last = static_cast<unsigned char>(id[3]);
    if (last < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", last);
      text += escaped;
    } else {
      text += char(last);
    }
    expected += "{\"file\":\"" + data + "\",\"offset\":" + offset + ",\"fieldOffset\":" + offset +
                ",\"record\":" + std::to_string(r + 1) + ",\"column\":\"employee_id\",\"text\":\"" +
                text + "\",\"reason\":\"out of range\",\"hex\":\"" + hexOf(id) + "\"}\n";
  }
  const std::string rejects = ::testing::TempDir() + "fixed_rejects.jsonl";
  const ToolRun plain = runKova("rip " + doc + " " + data + " --format jsonl");
  ASSERT_EQ(plain.exit, 0);
  for (const char* size : {"1", "7", "64", "100", "1M"}) {
    SCOPED_TRACE(size);
    const ToolRun run = runKova("rip " + doc + " " + data + " --format jsonl --rejects " + rejects +
                                " --block-size " + size);
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out, plain.out);
    EXPECT_EQ(fileContent(rejects), expected);
  }
  const ToolRun summary =
      runKova("rip " + doc + " " + data + " --format none --rejects " + rejects, true);
  EXPECT_EQ(summary.out.find("warning"), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("12 truncations"), std::string::npos) << summary.out;
  EXPECT_NE(summary.out.find("12 rejected values"), std::string::npos) << summary.out;

  // --max-rejects stops after the row of the 3rd value, also in small blocks.
  for (const char* size : {"10", "1M"}) {
    const ToolRun stopped = runKova("rip " + doc + " " + data + " --format jsonl --rejects " +
                                    rejects + " --max-rejects 3 --block-size " + size);
    EXPECT_EQ(stopped.exit, 1);
    EXPECT_EQ(countLines(stopped.out), 3u) << stopped.out;
    EXPECT_EQ(countLines(fileContent(rejects)), 3u);
  }
}

// VARBIN: a text cut to its column is listed as text, a DOUBLE of 4 bytes
// (stored null) with its hex too; --strict exits 1 on the value not read,
// naming its record and its bytes.
TEST(BinaryRejectsCommand, VarbinValuesAreListedAndStrictRefusesAValueNotRead) {
  using records::VarbinRecord;
  const std::string doc = tempFile("pair.varbin.xml",
                                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kova>\n"
                                   "<recfm>VARBIN</recfm>\n"
                                   "<encoding cei=\"20\">UTF-8</encoding>\n<columns>\n"
                                   "<column><name>name</name><type>VARCHAR</type>"
                                   "<charlength>4</charlength><bytelength>4</bytelength></column>\n"
                                   "<column><name>reading</name><type>DOUBLE</type></column>\n"
                                   "</columns>\n</kova>\n");
  const std::string first = VarbinRecord().sized(1, "ok").real(2, 1.5).bytes();
  const std::string second = VarbinRecord().sized(1, "abcdefg").integer(2, 9, 4).bytes();
  const std::string data = tempFile("pair.varbin", first + second);
  const size_t record = first.size();
  const size_t text = record + 4 + 5 + 4;  // after the field header and the data length
  const size_t reading = text + 7 + 5;     // after the text and the next field header
  const std::string expected =
      "{\"file\":\"" + data + "\",\"offset\":" + std::to_string(record) +
      ",\"fieldOffset\":" + std::to_string(text) +
      ",\"record\":2,\"column\":\"name\",\"text\":\"abcdefg\",\"reason\":\"cut to the column\"}\n"
      "{\"file\":\"" +
      data + "\",\"offset\":" + std::to_string(record) +
      ",\"fieldOffset\":" + std::to_string(reading) +
      ",\"record\":2,\"column\":\"reading\",\"text\":\"\\t\\u0000\\u0000\\u0000\","
      "\"reason\":\"not readable for its column\",\"hex\":\"09000000\"}\n";
  const std::string rejects = ::testing::TempDir() + "varbin_rejects.jsonl";
  const ToolRun run = runKova("rip " + doc + " " + data + " --format csv --rejects " + rejects);
  EXPECT_EQ(run.exit, 0);
  EXPECT_EQ(run.out, "name,reading\r\nok,1.5\r\nabcd,\r\n");  // RFC 4180 line ends
  EXPECT_EQ(fileContent(rejects), expected);

  const ToolRun strict = runKova("rip " + doc + " " + data + " --format none --strict", true);
  EXPECT_EQ(strict.exit, 1);
  EXPECT_NE(strict.out.find("--strict: " + data + ": record at byte " + std::to_string(record) +
                            ", column 2: bytes 09000000 is no value of its column's type"),
            std::string::npos)
      << strict.out;
}

}  // namespace
}  // namespace kova::testing
