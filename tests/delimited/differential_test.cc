// The block parsers against a plainly written reference splitter, on many
// generated inputs made of separators, qualifiers, CRs, LFs and text, each
// ripped whole and in random partitions down to one-byte blocks.
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/delimited/delimited_fixture.h"

namespace kova::testing {
namespace {

constexpr int kColumns = 4;

// Splits the whole input into records of fields, byte by byte. A field that
// begins with the qualifier runs to the closing qualifier (a doubled one is
// text); text after the closing qualifier joins the field. CR, LF and CR LF
// end records; an LF right after the CR that ended a record ends nothing.
std::vector<std::vector<std::string>> referenceRecords(std::string_view input, char separator,
                                                       int qualifier) {
  enum State { kStart, kPlain, kQuoted, kQuoteSeen, kAfterQuote };
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  State state = kStart;
  char last = 0;
  auto isTerminator = [&](char c) { return c == '\r' || c == '\n' || c == separator; };
  auto endField = [&](char t) {
    if (state == kStart && t == '\n' && last == '\r' && field.empty()) {
      last = t;
      return;
    }
    record.push_back(field);
    field.clear();
    state = kStart;
    last = t;
    if (t == separator) return;
    records.push_back(record);
    record.clear();
  };
  for (size_t i = 0; i < input.size(); ++i) {
    const char c = input[i];
    switch (state) {
      case kStart:
        if (qualifier >= 0 && c == char(qualifier)) {
          state = kQuoted;
        } else if (isTerminator(c)) {
          endField(c);
        } else {
          field += c;
          state = kPlain;
        }
        break;
      case kPlain:
      case kAfterQuote:
        if (isTerminator(c)) {
          endField(c);
        } else {
          field += c;
        }
        break;
      case kQuoted:
        if (c == char(qualifier)) {
          state = kQuoteSeen;
        } else {
          field += c;
        }
        break;
      case kQuoteSeen:
        if (c == separator) {
          endField(c);
        } else if (c == char(qualifier)) {
          field += c;
          state = kQuoted;
        } else if (isTerminator(c)) {
          endField(c);
        } else {
          field += c;
          state = kAfterQuote;
        }
        break;
    }
  }
  if (state != kStart || !record.empty()) {
    if (state != kStart) record.push_back(field);
    records.push_back(record);
  }
  return records;
}

// The rows the ripper should give for the records: text columns, where an
// empty field, a missing one and "\N" are null.
std::vector<std::string> expectedRows(const std::vector<std::vector<std::string>>& records) {
  std::vector<std::string> rows;
  for (const auto& record : records) {
    std::string row;
    for (int c = 0; c < kColumns; ++c) {
      if (c) row += '|';
      if (size_t(c) < record.size() && !record[c].empty() && record[c] != "\\N") {
        row += shown(record[c]);
      } else {
        row += "NULL";
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::string generate(std::mt19937& random, std::string_view alphabet, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) out += alphabet[random() % alphabet.size()];
  return out;
}

class DifferentialTest : public DelimitedTest {
 protected:
  void compare(char separator, int qualifier, std::string_view alphabet, int inputs) {
    KovaObject* table =
        textTable(kColumns, uint8_t(separator), qualifier < 0 ? 0 : uint8_t(qualifier));
    std::mt19937 random(1234 + uint32_t(separator) * 7 + uint32_t(qualifier + 1));
    for (int n = 0; n < inputs; ++n) {
      std::string input = generate(random, alphabet, 1 + random() % 40);
      SCOPED_TRACE(::testing::PrintToString(input));
      std::vector<std::string> expected =
          expectedRows(referenceRecords(input, separator, qualifier));
      std::vector<std::string> rows = splitEverywhere(
          input, [&](const std::vector<std::string_view>& blocks) { return rip(table, blocks); }, 6,
          uint32_t(n));
      ASSERT_EQ(rows, expected);
    }
  }
};

TEST_F(DifferentialTest, QualifiedTextMatchesTheReference) { compare(',', '"', "ab,\"\r\n", 300); }

TEST_F(DifferentialTest, QualifiedTextWithFewLineEndsMatchesTheReference) {
  compare('|', '\'', "abc||''\r\n'", 150);
}

TEST_F(DifferentialTest, UnqualifiedTextMatchesTheReference) {
  compare(';', -1, "ab;\"\r\n\\N", 200);
}

}  // namespace
}  // namespace kova::testing
