// Fields that cross blocks are held only as far as their column can take
// them: at every block size the rows and the truncation count are those of
// the same input with each long field shortened to a prefix that is still
// longer than its column (which one block holds whole).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/delimited/delimited_fixture.h"

namespace kova::testing {
namespace {

class HeldFieldTest : public DelimitedTest {
 protected:
  using Result = BlockRip;

  // A table of a VARCHAR(8), an INT and a VARCHAR(8) column.
  KovaObject* table() {
    KovaObject* t = newTable(kRecfmDelimited);
    t->fieldsep = ',';
    t->textqual = '"';
    addColumn(t, u"a", kTypeVarchar, 8, 8);
    addColumn(t, u"n", kTypeInt);
    addColumn(t, u"b", kTypeVarchar, 8, 8);
    return t;
  }
};

// A long text whose every third character is a doubled qualifier or a
// two-byte character, so that cuts fall between and inside them.
std::string longText(size_t characters, bool qualified) {
  std::string text;
  for (size_t i = 0; i < characters; ++i) {
    switch (i % 3) {
      case 0:
        text += qualified ? "\"\"" : "q";
        break;
      case 1:
        text += "\xC3\xA9";
        break;
      default:
        text += char('a' + i % 26);
        break;
    }
  }
  return text;
}

std::string input(size_t characters) {
  const std::string quoted = "\"" + longText(characters, true) + "\"";
  const std::string plain = longText(characters, false);
  const std::string zeros = std::string(30, '0') + "7";
  return quoted + "," + zeros + "," + plain + "\n" + "short," + zeros + "," + quoted + ",extra," +
         quoted + "\n" + plain + ",1,\"x\"\"y\"tail" + plain + "\n" + "last,2," +
         quoted;  // an open field at the end
}

TEST_F(HeldFieldTest, RowsAndTruncationsAtEveryBlockSizeAreThoseOfTheFieldHeldWhole) {
  KovaObject* t = table();
  // 40 characters are already far more than 8: the reference, in one block.
  const Result reference = ripInBlocks(t, input(40), SIZE_MAX);
  ASSERT_EQ(reference.rows.size(), 4u);
  EXPECT_GT(reference.truncations, 4u);
  const std::string hostile = input(700);
  for (size_t size = 1; size <= hostile.size(); ++size) {
    Result result = ripInBlocks(t, hostile, size);
    ASSERT_EQ(result.rows, reference.rows) << "blocks of " << size;
    ASSERT_EQ(result.truncations, reference.truncations) << "blocks of " << size;
  }
}

TEST_F(HeldFieldTest, AFieldOfMegabytesIsNotHeld) {
  KovaObject* t = table();
  const std::string big = "\"" + std::string(8 << 20, 'x') + "\",1,b\n";
  const Result result = ripInBlocks(t, big, 64 * 1024);
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.truncations, 1u);
  EXPECT_LT(result.fragmentCapacity, 4096u);
  // A number column holds its field whole: every leading zero counts.
  const std::string zeros = "a," + std::string(1 << 20, '0') + "9,b\n";
  EXPECT_EQ(ripInBlocks(t, zeros, 4096).rows, ripInBlocks(t, zeros, SIZE_MAX).rows);
}

}  // namespace
}  // namespace kova::testing
