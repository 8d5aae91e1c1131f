// Fuzzes the real-number text against the slow exact reference: every 8 bytes
// of the input are one double bit pattern and, by halves, two float bit
// patterns. Each float is written in the list form and the E12.4 field, both
// as text and as a whole console statement (the list item in its 15 columns,
// a "(4E12.4)" record of two fields); each double in the double-precision
// list form and an E12.4 field. Any difference aborts with the bits and both
// texts.
#include <bit>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "numtext/real_digits.h"
#include "recio/statement.h"
#include "recio/units.h"
#include "tests/support/exact_decimal.h"
#include "tests/support/fake_host.h"

namespace {

using numtext::DecimalDigits;
using numtext::Precision;
using numtext::RealField;
using numtext::RealForm;

constexpr RealField kE12_4Single{RealForm::E, 12, 4, 2, 0, false, Precision::Single};
constexpr RealField kE12_4Double{RealForm::E, 12, 4, 2, 0, false, Precision::Double};

// Patterns taken from one input, so that a long input still runs quickly.
constexpr std::size_t kMaxChunks = 64;

[[noreturn]] void mismatch(std::uint64_t bits, const char* what, const std::string& expected,
                           const std::string& actual) {
  std::fprintf(stderr, "\n*** real text: bits 0x%" PRIx64 ", %s\n    expected \"%s\"\n    actual   \"%s\"\n", bits,
               what, expected.c_str(), actual.c_str());
  std::abort();
}

std::string text_of(double value, const RealField& field) {
  const numtext::RealText text = numtext::format_real(value, field);
  return text.overflow ? "<overflow>" : std::string(text.text, static_cast<std::size_t>(text.length));
}

std::string reference_text(const DecimalDigits& digits, const RealField& field) {
  const numtext::testing::ReferenceText text = numtext::testing::reference_real_text(digits, field);
  return text.overflow ? "<overflow>" : text.text;
}

std::string describe(const DecimalDigits& digits) {
  if (!digits.finite) return digits.special;
  return std::string(1, digits.sign) + "0." + digits.digits + "E" + std::to_string(digits.exp10);
}

void check_digits(std::uint64_t bits, double value, const DecimalDigits& reference) {
  const DecimalDigits digits = numtext::decimal_digits(value);
  if (!numtext::testing::digits_difference(digits, reference).empty()) mismatch(bits, "decimal digits", describe(reference), describe(digits));
}

void check_text(std::uint64_t bits, double value, const DecimalDigits& reference, const RealField& field,
                const char* what) {
  const std::string expected = reference_text(reference, field);
  const std::string actual = text_of(value, field);
  if (actual != expected) mismatch(bits, what, expected, actual);
}

recio::testing::FakeConsole& console() {
  static recio::testing::ScopedFakeConsole fake;
  return fake.console;
}

std::string right_justified(const std::string& text, std::size_t columns) {
  return std::string(columns > text.size() ? columns - text.size() : 0, ' ') + text;
}

// The console bytes of one record on a console whose line is closed: its
// first character is taken as line control.
std::string console_record(const std::string& record) {
  switch (record[0]) {
    case '0': return "\r\n" + record.substr(1);
    case '1': return "\r\n\f\r \r" + record.substr(1);
    case '+': return "\r" + record.substr(1);
    default: return record.substr(1);
  }
}

void check_console_statements(std::uint32_t bits, float value, const DecimalDigits& reference) {
  const std::string list = reference_text(reference, numtext::kListSingle);
  const std::string field = right_justified(reference_text(reference, kE12_4Single), 12);

  console().output.clear();
  recio::console_output_unit().line_open = false;
  recio::begin_write(recio::kConsoleOutput);
  recio::write_real(value);
  recio::end_write();
  recio::release_console_output();
  std::string expected = console_record(" " + right_justified(list, 15));
  if (console().output != expected) mismatch(bits, "list-directed console record", expected, console().output);

  console().output.clear();
  recio::console_output_unit().line_open = false;
  recio::begin_write(recio::kConsoleOutput, "(4E12.4)", -1);
  recio::write_real(value);
  recio::write_real(value);
  recio::end_write();
  recio::release_console_output();
  expected = console_record(field + field);
  if (console().output != expected) mismatch(bits, "(4E12.4) console record", expected, console().output);
}

void check_float(std::uint32_t bits) {
  const float value = std::bit_cast<float>(bits);
  const double widened = static_cast<double>(value);
  const DecimalDigits reference = numtext::testing::reference_decimal_digits(widened);
  check_digits(bits, widened, reference);
  check_text(bits, widened, reference, numtext::kListSingle, "single-precision list form");
  check_text(bits, widened, reference, kE12_4Single, "single-precision E12.4 field");
  check_console_statements(bits, value, reference);
}

void check_double(std::uint64_t bits) {
  const double value = std::bit_cast<double>(bits);
  const DecimalDigits reference = numtext::testing::reference_decimal_digits(value);
  check_digits(bits, value, reference);
  check_text(bits, value, reference, numtext::kListDouble, "double-precision list form");
  check_text(bits, value, reference, kE12_4Double, "double-precision E12.4 field");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  console();
  static char program[] = "shindo";
  static char* argv[] = {program, nullptr};
  recio::create_console_units(1, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0, chunk = 0; at < size && chunk < kMaxChunks; at += 8, ++chunk) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, data + at, size - at < 8 ? size - at : 8);
    check_double(bits);
    check_float(static_cast<std::uint32_t>(bits));
    check_float(static_cast<std::uint32_t>(bits >> 32));
  }
  return 0;
}
