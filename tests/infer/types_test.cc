// Column types from their values: the narrowest type that reads every value,
// the informat of dates and times, and a warning whenever the values cannot
// settle the choice.
#include <gtest/gtest.h>

#include "tests/infer/infer_testing.h"

namespace {

using namespace kova::testing;

struct TypeCase {
  const char* values;  // one per line, after the header line "v"
  const char* type;
  const char* informat;
  const char* warning;  // a part of the warning due, or ""
};

TEST(InferTypes, NarrowestTypeInformatAndWarningPerColumn) {
  const TypeCase cases[] = {
      {"1\n-2147483648\n2147483647", "INT", "", ""},
      {"1\n2147483648", "BIGINT", "", ""},
      {"1\n123456789012345678901234", "DECIMAL", "", ""},
      {"1\n1234567890123456789012345678901234567890", "DOUBLE", "", ""},
      {"1.50\n-2.25\n100.00", "DECIMAL", "", ""},
      {"1.5\n2\n3.25", "DOUBLE", "", ""},
      {"1e5\n2.5", "DOUBLE", "", ""},
      {"01234\n12345", "CHAR", "", ""},     // a leading zero stays text
      {"0\n0.5\n-0.25", "DOUBLE", "", ""},  // a lone zero is a number
      {"1\n2\nNA\n\\N\n", "INT", "", ""},
      {"2024-02-29\n2023-12-31", "DATE", "YYMMDD10.", ""},
      {"2023-02-29\n2023-12-31", "CHAR", "", ""},  // no 29 February in 2023
      {"01/13/2024\n02/03/2024", "DATE", "MMDDYY10.", ""},
      {"13/01/2024\n02/03/2024", "DATE", "DDMMYY10.", ""},
      {"01/02/2024\n03/04/2024", "DATE", "MMDDYY10.", "took month-first (MMDDYY10.)"},
      {"01.02.2024\n03.04.2024", "DATE", "DDMMYY10.", "took day-first (DDMMYY10.)"},
      {"05JAN2024\n5-Feb-2024", "DATE", "DATE11.", ""},
      {"January 5, 2024\nFeb 29, 2024", "DATE", "ANYDTDTE.", ""},
      {"10:30\n23:59:59.125", "TIME", "TIME8.", ""},
      {"3:04 PM\n11:00 am", "TIME", "ANYDTTME.", ""},
      {"2024-01-05 10:30:00\n2024-01-05T10:30:00+02:00", "TIMESTAMP", "ANYDTDTM.", ""},
      {"05JAN2024:10:30:00\n06FEB2024:00:00:01", "TIMESTAMP", "DATETIME.", ""},
      {"01/25/2024 10:30\n02/03/2024 11:00", "TIMESTAMP", "ANYDTDTM.", ""},
      {"25/01/2024 10:30\n02/03/2024 11:00", "VARCHAR", "",
       "day-first timestamps separated by '/'"},
      {"25.01.2024 10:30\n02.03.2024 11:00", "TIMESTAMP", "ANYDTDTM.", ""},
      {"ab\ncd\nef", "CHAR", "", ""},
      {"ab\ncde", "VARCHAR", "", ""},
      {"NA\nNA", "VARCHAR", "", "holds only null texts"},
  };
  for (const TypeCase& c : cases) {
    // A second, integer column makes the header line plain to see.
    std::string body = "v,k\n";
    std::string values = c.values;
    int row = 0;
    for (size_t at = 0; at <= values.size();) {
      size_t end = values.find('\n', at);
      if (end == std::string::npos) end = values.size();
      std::string value = values.substr(at, end - at);
      if (value.find(',') != std::string::npos) value = "\"" + value + "\"";
      if (end > at) body += value + "," + std::to_string(++row) + "\n";
      at = end + 1;
    }
    Inferred inferred = inferFindings(writeTemp("types.csv", body));
    SCOPED_TRACE(std::string(c.values) + "\n" + inferred.output);
    ASSERT_EQ(inferred.exit, 0);
    ASSERT_EQ(inferred.columns.size(), 2u);
    EXPECT_EQ(inferred.columns[0].name, "v");
    EXPECT_EQ(inferred.columns[0].type, c.type);
    EXPECT_EQ(inferred.columns[0].informat, c.informat);
    bool warned = false;
    for (const std::string& w : inferred.warnings)
      warned |= w.starts_with("column v: ") && *c.warning && w.find(c.warning) != std::string::npos;
    EXPECT_EQ(warned, *c.warning != '\0');
  }
}

TEST(InferTypes, LengthsLeaveRoomAndDecimalsKeepTheirScale) {
  Inferred inferred =
      inferFindings(writeTemp("lengths.csv", "name,amount\nAda Lindqvist,12.50\nChen,-3.75\n"));
  ASSERT_EQ(inferred.exit, 0) << inferred.output;
  EXPECT_EQ(inferred.columns[0].type, "VARCHAR");
  EXPECT_GT(inferred.columns[0].charlength, 13);  // room above the longest value
  EXPECT_EQ(inferred.columns[1].type, "DECIMAL");
  EXPECT_EQ(inferred.columns[1].bytelength, 2);
  EXPECT_GE(inferred.columns[1].charlength, 4);
  // Characters, not bytes.
  Inferred wide = inferFindings(writeTemp("chars.csv", "code,n\nÄÖ,1\nüé,2\n"));
  EXPECT_EQ(wide.columns[0].type, "CHAR");
  EXPECT_EQ(wide.columns[0].charlength, 2);
}

TEST(InferTypes, HeaderNamesAreMadeValidAndUnique) {
  Inferred inferred =
      inferFindings(writeTemp("names.csv", "Order ID,order id,2nd,,größe\n1,2,3,4,5\n"));
  ASSERT_EQ(inferred.exit, 0) << inferred.output;
  ASSERT_EQ(inferred.columns.size(), 5u);
  EXPECT_EQ(inferred.columns[0].name, "Order_ID");
  EXPECT_EQ(inferred.columns[1].name, "order_id");
  EXPECT_EQ(inferred.columns[2].name, "c2nd");
  EXPECT_EQ(inferred.columns[3].name, "c4");
  EXPECT_EQ(inferred.columns[4].name, "größe");
  Inferred twice = inferFindings(writeTemp("twice.csv", "a,a,a_2\n1,2,3\n"));
  EXPECT_EQ(twice.columns[1].name, "a_2");
  EXPECT_EQ(twice.columns[2].name, "a_2_2");
}

}  // namespace
