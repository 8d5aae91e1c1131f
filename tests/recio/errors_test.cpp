#include <set>
#include <string>

#include <gtest/gtest.h>

#include "recio/errors.h"

namespace recio {
namespace {

template <typename Error, std::size_t N>
void expect_distinct_numbers_with_messages(const ErrorEntry<Error> (&table)[N]) {
  std::set<int> numbers;
  for (const ErrorEntry<Error>& row : table) {
    EXPECT_TRUE(numbers.insert(row.number).second) << "two errors numbered " << row.number;
    EXPECT_GT(row.number, 6000);
    EXPECT_LT(row.number, 7000);
    EXPECT_FALSE(row.message.empty()) << row.number;
  }
}

TEST(ErrorTable, EachNumberOfASpaceHasOneErrorAndAMessage) {
  expect_distinct_numbers_with_messages(kRunErrors);
  expect_distinct_numbers_with_messages(kMathErrors);
}

TEST(ErrorTable, AnFNumberAndAnMNumberMayBeEqualAndStillTwoErrors) {
  EXPECT_EQ(error_number(RunError::RealSyntax), error_number(MathError::FpDivideByZero));
  EXPECT_NE(error_message(RunError::RealSyntax), error_message(MathError::FpDivideByZero));
}

TEST(Reports, RunErrorReportsNameTheStatementAndTheFile) {
  struct Row {
    RunError error;
    StatementKind kind;
    const char* file;
    const char* report;
  };
  const Row rows[] = {
      {RunError::FileNotFound, StatementKind::Open, "x.dat",
       "\r\nrun-time error F6416: OPEN(x.dat)\r\n- file not found\r\n"},
      {RunError::RealSyntax, StatementKind::Read, "CON",
       "\r\nrun-time error F6103: READ(CON)\r\n- invalid real value in input\r\n"},
      {RunError::WriteFailed, StatementKind::Write, "/dev/full",
       "\r\nrun-time error F6605: WRITE(/dev/full)\r\n- write error\r\n"},
      {RunError::KeepScratch, StatementKind::Close, "ZZ0A1B2C",
       "\r\nrun-time error F6300: CLOSE(ZZ0A1B2C)\r\n- a scratch file cannot be kept\r\n"},
      {RunError::BadUnit, StatementKind::Write, "", "\r\nrun-time error F6314: WRITE()\r\n- unit number out of range\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(run_error_report(row.error, row.kind, row.file), row.report);
}

TEST(Reports, MathErrorReportsNameTheFunctionWhenThereIsOne) {
  struct Row {
    MathError error;
    const char* function;
    const char* report;
  };
  const Row rows[] = {
      {MathError::FpDivideByZero, "", "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
      {MathError::FpInvalid, "", "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
      {MathError::Domain, "sqrt", "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n"},
      {MathError::Singularity, "log10", "\r\nrun-time error M6202: MATH\r\n- log10: SING error\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(math_error_report(row.error, row.function), row.report);
}

}  // namespace
}  // namespace recio
