// The pieces of shindo-batch's output: number texts, CSV and JSON rows, the
// options, and the texts of the exported and output files.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "batch/files.h"
#include "batch/options.h"
#include "batch/pipeline.h"
#include "batch/table.h"
#include "readers/readers.h"

namespace {

batch::ReportRow computed_row() {
  batch::ReportRow row;
  row.record = "d/AOM0170806140843";
  row.format = "knet";
  row.station = "AOM017";
  row.latitude = 40.6363;
  row.longitude = 139.9284;
  row.read = shindo::pictures::ReadRecord{.samples = 11500, .dt = 0.01f, .pga = 21.5f};
  row.computed = shindo::pictures::ComputedRecord{.amax = 20.5f, .a0 = 10.25f, .intensity = 2.96875f};
  return row;
}

TEST(BatchTable, CsvRowsQuoteWhatNeedsIt) {
  EXPECT_EQ(batch::csv_header(),
            "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,error\n");
  EXPECT_EQ(batch::csv_line(computed_row()),
            "d/AOM0170806140843,knet,AOM017,40.6363,139.9284,11500,0.01,21.5,20.5,10.25,2.96875,2.9,3,\n");
  batch::ReportRow failed;
  failed.record = "a,\"b\".txt";
  failed.error = "a,\"b\".txt:2: not a number: \"x\"\nsecond";
  EXPECT_EQ(batch::csv_line(failed), "\"a,\"\"b\"\".txt\",,,,,,,,,,,,,\"a,\"\"b\"\".txt:2: not a number: \"\"x\"\"\nsecond\"\n");
}

TEST(BatchTable, JsonRowsUseNullForWhatIsAbsent) {
  EXPECT_EQ(batch::json_line(computed_row()),
            "{\"record\":\"d/AOM0170806140843\",\"format\":\"knet\",\"station\":\"AOM017\",\"latitude\":40.6363,"
            "\"longitude\":139.9284,\"samples\":11500,\"dt\":0.01,\"pga\":21.5,\"amax\":20.5,\"a0\":10.25,"
            "\"intensity\":2.96875,\"reported\":2.9,\"class\":\"3\",\"error\":null}\n");
  batch::ReportRow failed;
  failed.record = "t\\ab\t\x01";
  failed.error = "bad";
  EXPECT_EQ(batch::json_line(failed),
            "{\"record\":\"t\\\\ab\\t\\u0001\",\"format\":\"\",\"station\":\"\",\"latitude\":null,\"longitude\":null,"
            "\"samples\":null,\"dt\":null,\"pga\":null,\"amax\":null,\"a0\":null,\"intensity\":null,\"reported\":null,"
            "\"class\":null,\"error\":\"bad\"}\n");
}

TEST(BatchTable, JsonHasNoBareNonFiniteNumberAndOnlyValidUtf8) {
  batch::ReportRow row = computed_row();
  row.record = "d/\x93\x8C.csv";           // Shift_JIS bytes
  row.station = "AB\xE6\x9D";              // cut inside a character
  row.error = "e\x7f";
  row.read->pga = std::numeric_limits<float>::infinity();
  row.computed->a0 = std::numeric_limits<float>::quiet_NaN();
  row.latitude = std::numeric_limits<double>::infinity();
  const std::string line = batch::json_line(row);
  EXPECT_NE(line.find("\"record\":\"d/\xEF\xBF\xBD\xEF\xBF\xBD.csv\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"station\":\"AB\xEF\xBF\xBD\xEF\xBF\xBD\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"latitude\":null"), std::string::npos) << line;
  EXPECT_NE(line.find("\"pga\":null"), std::string::npos) << line;
  EXPECT_NE(line.find("\"a0\":null"), std::string::npos) << line;
  EXPECT_NE(line.find("\"error\":\"e\\u007f\""), std::string::npos) << line;
  EXPECT_EQ(line.find("inf"), std::string::npos) << line;
  EXPECT_EQ(line.find("nan"), std::string::npos) << line;
  row.strongest = shindo::pictures::StrongestWindow{5.0f, std::numeric_limits<double>::quiet_NaN()};
  EXPECT_NE(batch::json_line(row, true).find("\"running_max\":5,\"running_max_time\":null"), std::string::npos)
      << batch::json_line(row, true);
  // The CSV line leaves the value empty too.
  EXPECT_NE(batch::csv_line(row).find(",0.01,,20.5,,"), std::string::npos) << batch::csv_line(row);
}

TEST(BatchTable, CsvShowsControlBytesEscaped) {
  using namespace std::string_literals;
  const struct {
    std::string raw;
    std::string field;
  } cases[] = {
      {"a\x1b[2Jb"s, "a\\x1b[2Jb"s},
      {"nul\0here"s, "nul\\x00here"s},
      {"tab\there"s, "tab\there"s},
      {"line\nend"s, "\"line\nend\""s},
      {"\x93\x8C"s, "\xEF\xBF\xBD\xEF\xBF\xBD"s},
  };
  for (const auto& c : cases) {
    batch::ReportRow row;
    row.record = c.raw;
    row.error = "x";
    EXPECT_EQ(batch::csv_line(row), c.field + ",,,,,,,,,,,,,x\n") << c.field;
  }
}

struct OptionsCase {
  const char* name;
  std::vector<std::string_view> arguments;
  const char* usage_error;  // empty: accepted
  unsigned jobs;
  bool json;
  std::size_t paths;
};

const OptionsCase kOptions[] = {
    {"defaults", {"d"}, "", 2, false, 1},
    {"everything", {"--format", "json", "-j", "4", "--export", "e", "--output=o", "--keep-offset", "a", "b"}, "", 4, true, 2},
    {"equals_forms", {"--format=csv", "--jobs=256", "d"}, "", 256, false, 1},
    {"attached_jobs", {"-j3", "d"}, "", 3, false, 1},
    {"after_double_dash", {"--", "--help"}, "", 2, false, 1},
    {"help_alone", {"-h"}, "", 2, false, 0},
    {"no_path", {"--format", "json"}, "no PATH given", 0, false, 0},
    {"jobs_zero", {"--jobs", "0", "d"}, "--jobs needs a whole number from 1 to 256: \"0\"", 0, false, 0},
    {"jobs_too_many", {"-j", "257", "d"}, "-j needs a whole number", 0, false, 0},
    {"format_missing", {"d", "--format"}, "--format needs csv or json", 0, false, 0},
    {"export_empty", {"--export=", "d"}, "--export needs a directory", 0, false, 0},
    {"unknown", {"-x", "d"}, "unknown option -x", 0, false, 0},
    {"value_on_a_flag", {"--keep-offset=yes", "d"}, "unknown option --keep-offset=yes", 0, false, 0},
    {"memory_limit", {"--memory-limit", "512M", "d"}, "", 2, false, 1},
    {"memory_limit_too_small", {"--memory-limit=1000K", "d"}, "--memory-limit needs a size of at least 1M", 0, false, 0},
    {"memory_limit_unit", {"--memory-limit", "2T", "d"}, "--memory-limit needs a size of at least 1M (K, M, G", 0, false, 0},
    {"memory_limit_beyond", {"--memory-limit", "99999999999999999999G", "d"}, "--memory-limit needs", 0, false, 0},
};

TEST(BatchOptions, CommandLines) {
  for (const OptionsCase& c : kOptions) {
    const auto parsed = batch::parse_options(c.arguments, 2);
    if (*c.usage_error != '\0') {
      ASSERT_TRUE(std::holds_alternative<batch::UsageError>(parsed)) << c.name;
      EXPECT_NE(std::get<batch::UsageError>(parsed).message.find(c.usage_error), std::string::npos)
          << c.name << ": " << std::get<batch::UsageError>(parsed).message;
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<batch::Options>(parsed)) << c.name << ": " << std::get<batch::UsageError>(parsed).message;
    const batch::Options& options = std::get<batch::Options>(parsed);
    EXPECT_EQ(options.jobs, c.jobs) << c.name;
    EXPECT_EQ(options.format == batch::TableFormat::json, c.json) << c.name;
    EXPECT_EQ(options.paths.size(), c.paths) << c.name;
  }
  const auto limited = batch::parse_options(std::vector<std::string_view>{"--memory-limit=3G", "d"}, 2);
  EXPECT_EQ(std::get<batch::Options>(limited).memory_limit, std::size_t{3} << 30);
  const auto plain = batch::parse_options(std::vector<std::string_view>{"d"}, 2);
  EXPECT_EQ(std::get<batch::Options>(plain).memory_limit, std::size_t{1} << 30);
}

TEST(BatchFiles, ExportedValuesReadBackAsTheSameFloats) {
  const std::vector<float> hard = {0.0f,
                                   -0.0f,
                                   std::numeric_limits<float>::denorm_min(),
                                   -std::numeric_limits<float>::min(),
                                   std::numeric_limits<float>::max(),
                                   -std::numeric_limits<float>::max(),
                                   0.1f,
                                   1.0f / 3.0f,
                                   8388609.0f,
                                   std::bit_cast<float>(0x3f7fffffu),
                                   std::bit_cast<float>(0x00800001u)};
  for (float dt : {0.01f, 0.005f, 0.02f, 1.0f / 3.0f, 0.0f}) {
    readers::Record record;
    record.acc1 = hard;
    record.acc2.assign(hard.rbegin(), hard.rend());
    record.acc3.assign(hard.size(), 1.5f);
    record.dt = dt;
    const readers::Result<readers::Record> back = readers::read_console_text("x", batch::export_text(record));
    ASSERT_TRUE(std::holds_alternative<readers::Record>(back)) << readers::error_text(std::get<readers::Error>(back));
    const readers::Record& read = std::get<readers::Record>(back);
    ASSERT_EQ(read.acc1.size(), hard.size());
    for (std::size_t i = 0; i < hard.size(); ++i) {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(read.acc1[i]), std::bit_cast<std::uint32_t>(record.acc1[i])) << i;
      EXPECT_EQ(std::bit_cast<std::uint32_t>(read.acc2[i]), std::bit_cast<std::uint32_t>(record.acc2[i])) << i;
    }
    EXPECT_EQ(std::bit_cast<std::uint32_t>(read.dt), std::bit_cast<std::uint32_t>(dt)) << dt;
  }
}

TEST(BatchFiles, WaveAndLevelRecordsAreTwoE12FieldsEndedByCrLf) {
  shindo::Intensity intensity;
  intensity.dt = 0.01f;
  intensity.wave = {0.0f, 1.089f, 155.7923f, -1e-40f, 3e38f};
  intensity.levels = {{155.6f, 1, 0.01f}, {0.1f, 1000, 10.0f}};
  EXPECT_EQ(batch::wave_text(intensity),
            "   .0000E+00   .0000E+00\r\n"
            "   .1000E-01   .1089E+01\r\n"
            "   .2000E-01   .1558E+03\r\n"
            "   .3000E-01  -.1000E-39\r\n"
            "   .4000E-01   .3000E+39\r\n");
  EXPECT_EQ(batch::level_table_text(intensity), "   .1556E+03   .1000E-01\r\n   .1000E+00   .1000E+02\r\n");
}


}  // namespace
