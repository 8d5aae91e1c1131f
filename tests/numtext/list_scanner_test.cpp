// The free-format scanner item by item, over a text source that holds the
// scanner to the source's rules: no byte asked for once the source ended, a
// put-back only after a byte.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "numtext/list_scanner.h"

namespace numtext {
namespace {

class StrictSource {
 public:
  explicit StrictSource(std::string_view text) : text_(text) {}
  int next() {
    EXPECT_FALSE(ended_) << "a byte asked for after the source ended";
    const int c = text_.next();
    ended_ = c == kSourceEnded;
    gave_byte_ = !ended_;
    return c;
  }
  void put_back() {
    EXPECT_TRUE(gave_byte_) << "a put-back without a byte taken";
    gave_byte_ = false;
    text_.put_back();
  }
  bool next_record() {
    for (;;) {
      const int c = next();
      if (c == kSourceEnded) return false;
      if (c == '\n') return true;
    }
  }

 private:
  TextSource text_;
  bool ended_ = false;
  bool gave_byte_ = false;
};

std::string_view error_name(ScanError error) {
  switch (error) {
    case ScanError::none: return "none";
    case ScanError::repeat_not_integer: return "repeat_not_integer";
    case ScanError::repeat_too_large: return "repeat_too_large";
    case ScanError::repeat_zero: return "repeat_zero";
    case ScanError::repeat_twice: return "repeat_twice";
    case ScanError::value_too_long: return "value_too_long";
  }
  return "?";
}

// The items of statements of `per_statement` items each, in a short notation:
// a value as its text ('quoted', (paired), ^ before a repetition), _ a null,
// / the end of the list, | a statement's end, $ the end of the input,
// !error a failure.
std::string items_of(std::string_view text, int per_statement) {
  StrictSource source(text);
  ListScanner values;
  std::string out;
  for (;;) {
    values.begin();
    for (int i = 0; i < per_statement; ++i) {
      const ItemKind item = values.next_item(source);
      if (!out.empty()) out += ' ';
      switch (item) {
        case ItemKind::value: {
          if (values.repeated()) out += '^';
          const std::string value(values.text());
          if (values.form() == ValueForm::quoted) out += "'" + value + "'";
          if (values.form() == ValueForm::paired) out += "(" + value + ")";
          if (values.form() == ValueForm::plain) out += value;
          break;
        }
        case ItemKind::null: out += values.repeated() ? "^_" : "_"; break;
        case ItemKind::list_ended: out += '/'; break;
        case ItemKind::input_ended: return out + '$';
        case ItemKind::failed: return out + '!' + std::string(error_name(values.error()));
      }
    }
    if (!values.end(source)) return out + " $";
    out += " |";
  }
}

struct ItemsCase {
  const char* name;
  std::string text;
  int per_statement;
  const char* items;
};

const std::vector<ItemsCase> kItems = {
    {"blanks_tabs_commas", "1 2\t3,4\n", 4, "1 2 3 4 | $"},
    {"leading_blanks_and_blank_lines", " \t\n\n  5 6\n", 2, "5 6 | $"},
    {"statement_goes_on_over_records", "1\n2\n3 9\n4\n", 3, "1 2 3 | 4 $"},
    {"values_past_the_statement_dropped", "1 2 3\n4 5\n", 2, "1 2 | 4 5 | $"},
    {"two_commas_make_a_null", "1,,3\n", 3, "1 _ 3 | $"},
    {"comma_after_blanks_is_one_separator", "1 , 2 ,, 3\n", 4, "1 2 _ 3 | $"},
    {"leading_comma_is_a_null", ",2\n", 2, "_ 2 | $"},
    {"repeat_count", "3*2.5 1\n", 4, "2.5 ^2.5 ^2.5 1 | $"},
    {"repeat_of_one_before_a_blank_is_a_null", "1* 3\n", 2, "_ 3 | $"},
    {"repeated_nulls", "2*,4\n", 3, "_ ^_ 4 | $"},
    {"repeated_nulls_at_the_record_end", "1 2*\n5\n", 4, "1 _ ^_ 5 | $"},
    {"repeat_pending_at_the_end_is_dropped", "5*7\n8\n", 2, "7 ^7 | 8 $"},
    {"slash_ends_the_list", "1 / 7\n5\n", 3, "1 / / | 5 $"},
    {"slash_right_after_a_value", "1/ 7\n", 3, "1 / / | $"},
    {"slash_after_a_repeat_keeps_the_repetition", "3*5/ 9\n", 4, "5 ^5 ^5 / | $"},
    {"slash_after_a_count_gives_its_nulls", "2*/\n", 3, "_ ^_ / | $"},
    {"quoted_values", "'a b' \"c''d\" 'e''f'\n", 3, "'a b' 'c''d' 'e'f' | $"},
    {"quote_goes_on_after_a_record_end", "'ab\nxcd' 2\n", 2, "'abcd' 2 | $"},
    {"empty_quotes_are_a_null", "'' 2\n", 2, "_ 2 | $"},
    {"character_after_a_closing_quote_is_its_separator", "'a'x 2\n", 2, "'a' 2 | $"},
    {"slash_after_a_closing_quote", "'a'/ 2\n", 2, "'a' / | $"},
    {"paired_value_keeps_blanks_and_comma", "(1, 2) 3\n", 2, "(1,2) 3 | $"},
    {"empty_pair_is_a_null", "() 3\n", 2, "_ 3 | $"},
    {"lone_cr_ends_the_record", "1 2\r3 4\n5 6\n", 4, "1 2 5 6 | $"},
    {"cr_lf_lines", "1 2\r\n3 4\r\n", 2, "1 2 | 3 4 | $"},
    {"last_line_without_lf", "1 2\n3 4", 2, "1 2 | 3 4 | $"},
    {"input_ends_inside_a_statement", "1 2\n3\n", 2, "1 2 | 3 $"},
    {"input_ends_inside_quotes", "1 'ab", 2, "1 $"},
    {"input_ends_inside_a_pair", "1 (2", 2, "1 $"},
    {"empty_input", "", 1, "$"},
    {"repeat_count_zero", "0*1\n", 1, "!repeat_zero"},
    {"repeat_count_twice", "2*3*4\n", 1, "!repeat_twice"},
    {"repeat_count_of_one_twice", "1*2*4\n", 1, "!repeat_twice"},
    {"repeat_count_not_digits", "x*4\n", 1, "!repeat_not_integer"},
    {"repeat_count_missing", "*4\n", 1, "!repeat_not_integer"},
    {"repeat_count_too_large", "2147483648*4\n", 1, "!repeat_too_large"},
    {"largest_repeat_count", "2147483647*4\n", 2, "4 ^4 | $"},
    {"value_of_the_longest_length", std::string(260, '1') + " 2\n", 1, nullptr},
    {"value_too_long", "1 " + std::string(261, '1') + "\n", 2, "1 !value_too_long"},
    {"long_quoted_value_is_no_failure", "'" + std::string(300, 'q') + "' 2\n", 2, nullptr},
};

class ScannerItems : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(ScannerItems, FollowTheFreeFormatRules) {
  const ItemsCase& c = GetParam();
  const std::string items = items_of(c.text, c.per_statement);
  if (c.items != nullptr) {
    EXPECT_EQ(items, c.items);
  } else {
    EXPECT_EQ(items.find('!'), std::string::npos) << items;
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ScannerItems, ::testing::ValuesIn(kItems),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ListScanner, QuotedValueReachesTheCharacterItemWhole) {
  const std::string quoted(300, 'q');
  const std::string text = "'" + quoted + "'\n";
  TextSource source(text);
  ListScanner values;
  values.begin();
  std::string item(310, '#');
  ASSERT_EQ(values.next_item(source, item), ItemKind::value);
  EXPECT_EQ(values.length(), 300u);
  EXPECT_EQ(values.text(), quoted.substr(0, kLongestNumber));
  EXPECT_EQ(item, quoted + std::string(10, '#'));
}

TEST(ListScanner, ErrorsReadAsWords) {
  EXPECT_EQ(scan_error_text(ScanError::repeat_zero), "a repeat count of zero");
  EXPECT_EQ(scan_error_text(ScanError::value_too_long), "a value longer than 260 characters");
  EXPECT_EQ(scan_error_text(ScanError::none), "");
}

}  // namespace
}  // namespace numtext
