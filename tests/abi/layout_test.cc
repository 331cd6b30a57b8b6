// The layout list compiled as C++, compared with what the C compiler
// measured, checked for members that overlap or leave their structure, and
// rendered as the table of docs/abi.md, which must match it. Set
// KOVA_WRITE_ABI_DOC=1 to rewrite that table after a deliberate change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/abi/layout_rows.h"

#define KOVA_ABI_STRUCT KOVA_ABI_ASSERT_STRUCT
#define KOVA_ABI_FIELD KOVA_ABI_ASSERT_FIELD
#include "tests/abi/layouts.inc"
#undef KOVA_ABI_STRUCT
#undef KOVA_ABI_FIELD

namespace kova::testing {
namespace {

const KovaAbiRow kRowsCxx[] = {
#define KOVA_ABI_STRUCT KOVA_ABI_ROW_STRUCT
#define KOVA_ABI_FIELD KOVA_ABI_ROW_FIELD
#include "tests/abi/layouts.inc"
#undef KOVA_ABI_STRUCT
#undef KOVA_ABI_FIELD
};

constexpr std::string_view kTableBegin =
    "<!-- layout table: rendered from tests/abi/layouts.inc -->";
constexpr std::string_view kTableEnd = "<!-- end of layout table -->";

std::string where(const KovaAbiRow& row) {
  return std::string(row.structure) + (row.member ? std::string(".") + row.member : "");
}

TEST(AbiLayout, CAndCxxMeasureEveryListedOffsetAndWidth) {
  ASSERT_GE(kovaAbiCVersion, 201112L);
  const size_t count = sizeof kRowsCxx / sizeof kRowsCxx[0];
  ASSERT_EQ(kovaAbiRowCountC, count);
  for (size_t i = 0; i < count; ++i) {
    const KovaAbiRow& c = kovaAbiRowsC[i];
    const KovaAbiRow& cxx = kRowsCxx[i];
    SCOPED_TRACE(where(cxx));
    EXPECT_STREQ(c.structure, cxx.structure);
    EXPECT_EQ(c.member == nullptr, cxx.member == nullptr);
    for (const KovaAbiRow* row : {&c, &cxx}) {
      EXPECT_EQ(row->offset, row->listedOffset);
      EXPECT_EQ(row->width, row->listedWidth);
    }
  }
}

// Members in declared order: each begins at or after the end of the one
// before (or shares its offset, in an anonymous union) and ends inside the
// structure; every structure is listed once.
TEST(AbiLayout, MembersFollowEachOtherInsideTheirStructure) {
  std::set<std::string> structures;
  const KovaAbiRow* owner = nullptr;
  size_t end = 0;
  size_t previousOffset = 0;
  for (const KovaAbiRow& row : kRowsCxx) {
    if (!row.member) {
      EXPECT_TRUE(structures.insert(row.structure).second) << row.structure << " listed twice";
      owner = &row;
      end = 0;
      previousOffset = 0;
      continue;
    }
    SCOPED_TRACE(where(row));
    ASSERT_NE(owner, nullptr);
    EXPECT_STREQ(row.structure, owner->structure);
    const bool unionMember = row.listedOffset == previousOffset && end > 0;
    EXPECT_TRUE(unionMember || row.listedOffset >= end) << "overlaps the member before";
    EXPECT_LE(row.listedOffset + row.listedWidth, owner->listedWidth) << "ends past the structure";
    previousOffset = row.listedOffset;
    end = std::max(end, row.listedOffset + row.listedWidth);
  }
  EXPECT_GE(structures.size(), 50u);
}

std::string renderTable() {
  std::ostringstream out;
  out << "| Structure | Field | Offset | Width |\n|---|---|---:|---:|\n";
  for (const KovaAbiRow& row : kRowsCxx) {
    if (!row.member) {
      out << "| `" << row.structure << "` | (size) | | " << row.listedWidth << " |\n";
    } else {
      out << "| `" << row.structure << "` | `" << row.member << "` | " << row.listedOffset << " | "
          << row.listedWidth << " |\n";
    }
  }
  return out.str();
}

TEST(AbiLayout, DocumentListsEveryStructureAsAsserted) {
  const std::string path = std::string(KOVA_SOURCE_DIR) + "/docs/abi.md";
  std::string text;
  {
    std::ifstream in(path);
    ASSERT_TRUE(in) << "cannot read " << path;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
  }
  const size_t begin = text.find(kTableBegin);
  const size_t stop = text.find(kTableEnd);
  ASSERT_NE(begin, std::string::npos) << path << " lacks the line " << kTableBegin;
  ASSERT_NE(stop, std::string::npos) << path << " lacks the line " << kTableEnd;
  ASSERT_LT(begin, stop);
  const size_t from = begin + kTableBegin.size() + 1;
  const std::string expected = renderTable();
  const std::string documented = text.substr(from, stop - from);
  if (documented != expected && std::getenv("KOVA_WRITE_ABI_DOC")) {
    std::ofstream(path) << text.substr(0, from) << expected << text.substr(stop);
    GTEST_SKIP() << "rewrote the table of " << path;
  }
  EXPECT_EQ(documented, expected) << path
                                  << " does not match tests/abi/layouts.inc; run this test with "
                                  << "KOVA_WRITE_ABI_DOC=1 to rewrite its table";
}

}  // namespace
}  // namespace kova::testing
