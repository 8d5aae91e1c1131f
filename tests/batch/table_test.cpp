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
  row.ground = shindo::pictures::GroundMotionValues{.pga = {15.25, 12.5, 7.75},
                                                    .pga_h = 18.5,
                                                    .pgv = {2.25, 1.75, 0.5},
                                                    .pgv_h = 2.5,
                                                    .si = 3.125,
                                                    .sva_max = 6.5,
                                                    .sva_period = 3.4,
                                                    .lp_class = 1};
  return row;
}

constexpr const char* kHeader =
    "record,format,station,latitude,longitude,samples,dt,pga,amax,a0,intensity,reported,class,error,"
    "station_name,record_time,origin_time,magnitude,event_latitude,event_longitude,depth_km,distance_km,"
    "pga_ns,pga_ew,pga_ud,pga_h,pgv_ns,pgv_ew,pgv_ud,pgv_h,si,sva_max,sva_period,lp_class\n";
// The ground-motion cells of computed_row(), and of a row without them.
constexpr const char* kGround = "15.25,12.5,7.75,18.5,2.25,1.75,0.5,2.5,3.125,6.5,3.4,1\n";
constexpr const char* kJsonGround =
    "\"pga_ns\":15.25,\"pga_ew\":12.5,\"pga_ud\":7.75,\"pga_h\":18.5,\"pgv_ns\":2.25,\"pgv_ew\":1.75,"
    "\"pgv_ud\":0.5,\"pgv_h\":2.5,\"si\":3.125,\"sva_max\":6.5,\"sva_period\":3.4,\"lp_class\":1}\n";

// What the headers of the K-NET record above say.
batch::ReportRow described_row() {
  batch::ReportRow row = computed_row();
  row.epicentre = shindo::pictures::GeoPoint{39.028, 140.88};
  row.event = shindo::pictures::EventInfo{.station_name = "",
                                          .record_time = "2008-06-14T08:44:03+09:00",
                                          .origin_time = "2008-06-14T08:43:00+09:00",
                                          .magnitude = 7.2,
                                          .depth_km = 8.0,
                                          .distance_km = 196.43449};
  return row;
}

TEST(BatchTable, CsvRowsQuoteWhatNeedsIt) {
  EXPECT_EQ(batch::csv_header(), kHeader);
  EXPECT_EQ(batch::csv_line(computed_row()),
            std::string("d/AOM0170806140843,knet,AOM017,40.6363,139.9284,11500,0.01,21.5,20.5,10.25,2.96875,2.9,3,,,,,,,,,,") +
                kGround);
  EXPECT_EQ(batch::csv_line(described_row()),
            "d/AOM0170806140843,knet,AOM017,40.6363,139.9284,11500,0.01,21.5,20.5,10.25,2.96875,2.9,3,,"
            ",2008-06-14T08:44:03+09:00,2008-06-14T08:43:00+09:00,7.2,39.028,140.88,8,196.434," + std::string(kGround));
  batch::ReportRow failed;
  failed.record = "a,\"b\".txt";
  failed.error = "a,\"b\".txt:2: not a number: \"x\"\nsecond";
  failed.event.station_name = "米子,\"旧\"";
  EXPECT_EQ(batch::csv_line(failed),
            "\"a,\"\"b\"\".txt\",,,,,,,,,,,,,\"line 2: not a number: \"\"x\"\"\nsecond\",\"米子,\"\"旧\"\"\",,,,,,,,,,,,,,,,,,,\n");
}

TEST(BatchTable, GroundMotionValuesAreExactTexts) {
  batch::ReportRow row = computed_row();
  // A component's PGA is a float sample; the other values are doubles.
  row.ground->pga = {static_cast<double>(0.1f), 1e-7, 3.0};
  row.ground->pgv_h = 0.1 + 0.2;
  row.ground->lp_class = 4;
  EXPECT_TRUE(batch::csv_line(row).ends_with(",,0.1,1e-07,3,18.5,2.25,1.75,0.5,0.30000000000000004,3.125,6.5,3.4,4\n"))
      << batch::csv_line(row);
}

TEST(BatchTable, JsonRowsUseNullForWhatIsAbsent) {
  EXPECT_EQ(batch::json_line(computed_row()),
            "{\"record\":\"d/AOM0170806140843\",\"format\":\"knet\",\"station\":\"AOM017\",\"latitude\":40.6363,"
            "\"longitude\":139.9284,\"samples\":11500,\"dt\":0.01,\"pga\":21.5,\"amax\":20.5,\"a0\":10.25,"
            "\"intensity\":2.96875,\"reported\":2.9,\"class\":\"3\",\"error\":null,\"station_name\":null,"
            "\"record_time\":null,\"origin_time\":null,\"magnitude\":null,\"event_latitude\":null,"
            "\"event_longitude\":null,\"depth_km\":null,\"distance_km\":null," + std::string(kJsonGround));
  EXPECT_TRUE(batch::json_line(described_row())
                  .ends_with("\"error\":null,\"station_name\":null,\"record_time\":\"2008-06-14T08:44:03+09:00\","
                             "\"origin_time\":\"2008-06-14T08:43:00+09:00\",\"magnitude\":7.2,\"event_latitude\":39.028,"
                             "\"event_longitude\":140.88,\"depth_km\":8,\"distance_km\":196.434," + std::string(kJsonGround)));
  batch::ReportRow failed;
  failed.record = "t\\ab\t\x01";
  failed.error = "bad";
  EXPECT_EQ(batch::json_line(failed),
            "{\"record\":\"t\\\\ab\\t\\u0001\",\"format\":\"\",\"station\":\"\",\"latitude\":null,\"longitude\":null,"
            "\"samples\":null,\"dt\":null,\"pga\":null,\"amax\":null,\"a0\":null,\"intensity\":null,\"reported\":null,"
            "\"class\":null,\"error\":\"bad\",\"station_name\":null,\"record_time\":null,\"origin_time\":null,"
            "\"magnitude\":null,\"event_latitude\":null,\"event_longitude\":null,\"depth_km\":null,"
            "\"distance_km\":null,\"pga_ns\":null,\"pga_ew\":null,\"pga_ud\":null,\"pga_h\":null,\"pgv_ns\":null,"
            "\"pgv_ew\":null,\"pgv_ud\":null,\"pgv_h\":null,\"si\":null,\"sva_max\":null,\"sva_period\":null,"
            "\"lp_class\":null}\n");
}

// The error column without the name the record column already shows.
TEST(BatchTable, ErrorsDoNotRepeatTheRecordName) {
  const struct {
    const char* record;
    const char* error;
    const char* shown;
  } rows[] = {
      {"d/x.txt", "d/x.txt: not a record of a known format", "not a record of a known format"},
      {"d/x.txt", "d/x.txt:4: time 0.04 where 0.03 was expected", "line 4: time 0.04 where 0.03 was expected"},
      {"d/X", "d/X.EW:19: not an integer count", "d/X.EW:19: not an integer count"},
      {"d/X", "d/X: the UD file(s) of this record are missing", "the UD file(s) of this record are missing"},
      {"a.tar:m.csv", "a.tar:m.csv:3: not a number", "line 3: not a number"},
      {"d/x", "d/x:y: odd", "d/x:y: odd"},
      {"d/x", "running intensity: refused", "running intensity: refused"},
  };
  for (const auto& row : rows) {
    batch::ReportRow failed;
    failed.record = row.record;
    failed.error = row.error;
    EXPECT_NE(batch::json_line(failed).find(std::string("\"error\":\"") + row.shown + "\""), std::string::npos)
        << batch::json_line(failed);
  }
}

// --follow --format json: one JSON object a step.
TEST(BatchTable, RunningStepsAsJsonLines) {
  shindo::RunningStep step;
  step.time = 61.0;
  step.result.shindo = 5.1593127f;
  EXPECT_EQ(batch::running_json_line(step, 1.0f),
            "{\"time\":61,\"intensity\":5.1593127,\"reported\":5.1,\"class\":\"5+\",\"error\":null}\n");
  step.result.fault = shindo::Fault::log10_singularity;
  step.result.stage = shindo::Stage::intensity;
  EXPECT_EQ(batch::running_json_line(step, 1.0f),
            "{\"time\":61,\"intensity\":null,\"reported\":null,\"class\":null,"
            "\"error\":\"log10 of 0: no level lasts more than 0.299 s (intensity)\"}\n");
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
    EXPECT_EQ(batch::csv_line(row), c.field + ",,,,,,,,,,,,,x" + std::string(20, ',') + "\n") << c.field;
  }
}

struct OptionsCase {
  const char* name;
  std::vector<std::string_view> arguments;
  const char* usage_error;  // empty: accepted
  unsigned jobs;
  bool json;
  std::size_t paths;
  double damping = 0.05;
  double highpass = 0.1;
  bool spectra = false;
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
    {"ground_motion", {"--damping", "0.2", "--highpass=0.05", "--spectra", "--output", "o", "d"}, "", 2, false, 1, 0.2, 0.05, true},
    {"no_filter", {"--highpass", "0", "d"}, "", 2, false, 1, 0.05, 0.0},
    {"damping_one", {"--damping", "1", "d"}, "--damping needs a damping ratio between 0 and 1 (both excluded), such as 0.05: \"1\"", 0, false, 0},
    {"damping_zero", {"--damping=0", "d"}, "--damping needs a damping ratio between 0 and 1", 0, false, 0},
    {"damping_nan", {"--damping", "nan", "d"}, "--damping needs a damping ratio", 0, false, 0},
    {"damping_percent", {"--damping", "5%", "d"}, "--damping needs a damping ratio", 0, false, 0},
    {"damping_missing", {"d", "--damping"}, "--damping needs a damping ratio", 0, false, 0},
    {"highpass_negative", {"--highpass", "-0.1", "d"}, "--highpass needs a corner frequency in Hz, 0 or more (0: no filter): \"-0.1\"", 0, false, 0},
    {"highpass_infinite", {"--highpass", "inf", "d"}, "--highpass needs a corner frequency", 0, false, 0},
    {"spectra_without_output", {"--spectra", "d"}, "--spectra writes DIR/<record>.spectra.csv: it needs --output DIR", 0, false, 0},
    {"spectra_with_a_value", {"--spectra=yes", "--output", "o", "d"}, "unknown option --spectra=yes", 0, false, 0},
    {"damping_with_follow", {"--follow", "-", "--damping", "0.1"}, "--damping belongs to the table of records, not to --follow", 0, false, 0},
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
    EXPECT_EQ(options.damping, c.damping) << c.name;
    EXPECT_EQ(options.highpass_hz, c.highpass) << c.name;
    EXPECT_EQ(options.spectra, c.spectra) << c.name;
  }
  const auto limited = batch::parse_options(std::vector<std::string_view>{"--memory-limit=3G", "d"}, 2);
  EXPECT_EQ(std::get<batch::Options>(limited).memory_limit, std::size_t{3} << 30);
  const auto plain = batch::parse_options(std::vector<std::string_view>{"d"}, 2);
  EXPECT_EQ(std::get<batch::Options>(plain).memory_limit, std::size_t{1} << 30);
}

TEST(BatchFiles, SpectraRowsArePeriodsWithTheTwoComponentsSideBySide) {
  shindo::GroundMotion motion;
  motion.periods = {0.05, 10.0};
  motion.spectra[0] = {.psa = {101.1, 2.5}, .sd = {0.0064, 6.3}, .sv = {0.8, 4.0}, .sa = {101.2, 2.6}, .sva = {31.8, 4.1}};
  motion.spectra[1] = {.psa = {0.1 + 0.2, 0}, .sd = {1e-9, 0}, .sv = {0, 0}, .sa = {0, 0}, .sva = {0, 1e300}};
  EXPECT_EQ(batch::spectra_text(motion),
            "period,psa_ns,psa_ew,sa_ns,sa_ew,sd_ns,sd_ew,sv_ns,sv_ew,sva_ns,sva_ew\n"
            "0.05,101.1,0.30000000000000004,101.2,0,0.0064,1e-09,0.8,0,31.8,0\n"
            "10,2.5,0,2.6,0,6.3,0,4,0,4.1,1e+300\n");
  EXPECT_EQ(batch::spectra_text(shindo::GroundMotion{}),
            "period,psa_ns,psa_ew,sa_ns,sa_ew,sd_ns,sd_ew,sv_ns,sv_ew,sva_ns,sva_ew\n");
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
