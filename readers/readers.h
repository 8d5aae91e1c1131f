// Readers of strong-motion records as the networks publish them and of the
// console program's own input text: bytes in, one three-component record with
// its metadata out, or an error value naming the file and line. No process
// exit, no global state; every function may run on several threads at once.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace readers {

enum class Format {
  knet,          // K-NET: X.NS, X.EW, X.UD
  kiknet,        // KiK-net: X.NS1/.EW1/.UD1 (borehole), X.NS2/.EW2/.UD2 (surface)
  jma_csv,       // the agency's CSV file
  console_text,  // the console program's input: time and three components per sample
};

// The name of a format as the batch program's `format` column shows it:
//   Format::jma_csv → "jma-csv", Format::console_text → "text"
std::string_view format_name(Format format);

// What is wrong with an input and where. `line` counts from 1; 0 when the
// fault belongs to the file as a whole.
struct Error {
  std::string file;
  std::size_t line = 0;
  std::string message;
};

// One line for a person: {"d/X.NS", 19, "not an integer: \"12a\""} →
// "d/X.NS:19: not an integer: \"12a\""; without a line "d/X.NS: ...".
std::string error_text(const Error& error);

// One component of a record as its file describes it.
struct Component {
  std::string file;                    // the file (or archive member) it was read from
  std::string direction;               // "N-S", "E-W", "U-D", "1".."6" (K-NET/KiK-net), "NS"/"EW"/"UD"
  double scale_numerator = 1.0;        // gal per count = numerator / denominator (K-NET/KiK-net)
  double scale_denominator = 1.0;
  std::optional<double> header_peak;   // "Max. Acc. (gal)" of the header
  std::string header_peak_text;        // as written, for messages
  double offset = 0.0;                 // gal subtracted from every sample (0 when kept)
};

// Everything the headers say about a record. Times are as written, Japan time
// (a K-NET/KiK-net Record Time includes the logger's 15 s pre-trigger delay).
struct Metadata {
  std::string station_code;
  std::string station_name;  // UTF-8 (JMA CSV only)
  std::optional<double> station_latitude;   // degrees north
  std::optional<double> station_longitude;  // degrees east
  std::optional<double> station_height;     // m (K-NET/KiK-net)
  std::optional<double> epicentre_latitude;
  std::optional<double> epicentre_longitude;
  std::optional<double> epicentre_depth;    // km
  std::optional<double> magnitude;
  std::string origin_time;      // "2008/06/14 08:43:00" (K-NET/KiK-net)
  std::string record_time;      // K-NET/KiK-net Record Time; JMA "INITIAL TIME" as "2000/10/06 13:30:10"
  std::string last_correction;  // K-NET/KiK-net
  double sampling_frequency = 0.0;  // Hz as the header gives it; 0 for console text
  std::array<Component, 3> components;
};

// The time of one sample of the console program's text as written: the
// float the console program reads, the same text read in double, and the
// line it stands on.
struct SampleTime {
  float value = 0.0f;
  double wide = 0.0;
  std::size_t line = 0;
};

// A record ready for the computation: three components in gal, equal length,
// sampled at `dt` seconds.
struct Record {
  std::string name;  // the record name (see record_name_of)
  Format format = Format::console_text;
  Metadata metadata;
  std::vector<float> acc1, acc2, acc3;
  float dt = 0.0f;
  std::vector<SampleTime> times;      // console text: every sample's time; empty for the networks' files
  std::vector<std::string> warnings;  // e.g. a header peak the samples do not reproduce
};

template <class T>
using Result = std::variant<T, Error>;

// ---------------------------------------------------------------------------
// The console program's input text

// Reads the text the console program reads as its acceleration file, with its
// free-format rules: values separated by blanks, tabs or commas; `r*value`
// and `r*` (r null values); a null value keeps the item's previous value,
// 0.0 in a fresh sample; `/` ends the sample's values; a sample may go on over
// following lines and values after its fourth are ignored; a final sample cut
// short by the end of the file is ignored; empty lines are ignored. Each value
// is read by numtext::read_real, so the floats have the bits the console
// program reads. dt = float(double(time 2) - double(time 1)), where time 2 is
// whatever the second sample's time holds, also when that sample is incomplete.
// A text whose every line holds exactly three values is refused (a time
// column is missing); so is anything the console program refuses.
//   "0 1 2 3\n0.01 4 5 6\n" → 2 samples, acc1 {1, 4}, dt 0.01f
//   "0,1,,3\n"              → acc2 {0.0f} (null value of a fresh sample)
//   "1 2 3\n4 5 6\n"        → Error{file, 1, "each line holds three values: ..."}
// `times` holds every sample's time for settle_interval.
Result<Record> read_console_text(std::string_view file, std::string_view text);

// How far a time may lie from its place first + (i - 1) x dt: 1 % of the
// interval, plus half the spacing of single-precision numbers at the time's
// size (times written from floats are that far off).
//   (0.01f, 0.0) → 0.0001;  (0.01f, 50000.0) → 0.0001 + 0.001953125
[[nodiscard]] double time_tolerance(float dt, double time);

// The interval of a stream from its first two times: the console program's
// float(double(second.value) - double(first.value)) when the times read in
// double give the same float, else float(second.wide - first.wide).
//   {0, 0}, {0.01f, 0.01}           → 0.01f
//   {50000, 50000}, {50000.01f, 50000.01} → 0.01f (the console program's rule gives 0.01171875)
[[nodiscard]] float stream_interval(const SampleTime& first, const SampleTime& second);

// Why sample `index` (0 for the first) at `time` is not where the interval
// puts it, or nullopt when it lies within time_tolerance:
//   (first 0, index 2, time 0.03, 0.01f) →
//   "time 0.03 where 0.02 was expected (the first time + 2 x 0.01 s, within 0.0001 s)"
[[nodiscard]] std::optional<std::string> misplaced_time(double first, std::size_t index, double time, float dt);

// The batch program's check of a console text's times (the console program
// itself keeps its rule: the record is its own input). Every time must lie
// within time_tolerance of first + (i - 1) x dt. The record's dt, the console
// program's, stays when every time agrees with it; otherwise the times read
// in double give the interval, float(time 2 - time 1), and every time must
// agree with that one. An interval of 0 or less, or a record of one sample,
// is left to the computation, which refuses it.
//   times 0, 0.01, ..., 0.99 → dt 0.01f kept
//   times 50000, 50000.01, ... → dt 0.01f (the console program's rule gives 0.01171875)
//   times 0, 0.01, 0.02, 0.04 → Error{file, 4, "time 0.04 where 0.03 was expected (...)"}
[[nodiscard]] std::optional<Error> settle_interval(Record& record);

// The values of one line of a live stream, read with the same free-format
// rules: blanks, tabs or commas between values, `r*value` and `r*`, a null
// value as nullopt, `/` ending the values. At most `limit` values are read;
// `more` says the line holds another, so that a line of too many values can
// be refused without reading a long repetition. An error names `file` and
// `line_number`.
//   ("s", 7, "0.01 2*1.5,,3 / 9", 6) → values {0.01f, 1.5f, 1.5f, nullopt, 3.0f}, more false
//   ("s", 7, "1 2 3 4", 3)            → values {1, 2, 3}, more true
//   ("s", 7, "1 x", 3)                → Error{"s", 7, "not a number: \"x\""}
struct LineValues {
  std::vector<std::optional<float>> values;
  bool more = false;
};
Result<LineValues> read_console_line(std::string_view file, std::size_t line_number, std::string_view line,
                                     std::size_t limit);

// ---------------------------------------------------------------------------
// JMA CSV

// Reads a JMA CSV file (Shift_JIS, CR LF): the site line with the 3-character
// station code, its name, the epicentre, the magnitude and the origin time (a
// day number counted from 1899-12-30, Japan time, with its fraction of a day);
// LAT., LON. (both 0.0000: unknown);
// SAMPLING RATE; UNIT (gal); INITIAL TIME; the column line NS,EW,UD; then one
// line "ns,ew,ud" per sample. Values are converted as the console program
// reads them (numtext::read_real); dt = float(1.0 / rate). A file saved again
// by a spreadsheet reads the same: empty fields at the end of any line
// ("NS,EW,UD,,,,,"), numbers of the site line without their padding, LF
// line ends.
//   "SITE CODE= EA0<name>   ,35.27,133.35,  9,7.3,...\r\n LAT.=  0.0000\r\n..."
//   → station_code "EA0", station_name "<name in UTF-8>", magnitude 7.3
Result<Record> read_jma_csv(std::string_view file, std::string_view bytes);

// ---------------------------------------------------------------------------
// What the headers say, for a table

// A header time "yyyy/mm/dd hh:mm:ss" (seconds may carry a fraction), Japan
// time, moved by `seconds`, in ISO 8601 with the networks' +09:00 offset; the
// seconds show up to three decimals, none when whole. A time already in that
// ISO form is read too. "" when the text is no such time.
//   ("2008/06/14 08:43:00", 0)   → "2008-06-14T08:43:00+09:00"
//   ("2008/06/14 08:44:18", -15) → "2008-06-14T08:44:03+09:00"
//   ("2000/12/31 23:59:59", 1.5) → "2001-01-01T00:00:00.5+09:00"
//   ("2008-06-14T08:44:03+09:00", 61) → "2008-06-14T08:45:04+09:00"
[[nodiscard]] std::string iso_japan_time(std::string_view header_time, double seconds = 0.0);

// The header time of a JMA CSV origin time, a day number counted from
// 1899-12-30 with the fraction of its day, to a tenth of a second; "" when
// it is no day of the years 1900 to 9999.
//   36805.562707 → "2000/10/06 13:30:17.9"
[[nodiscard]] std::string header_time_of_day_number(double day_number);

// The seconds a K-NET/KiK-net logger adds to its Record Time: the header's
// time is this much after the record's first sample.
inline constexpr double kKnetRecordDelay = 15.0;

// The clock time of a record's first sample in ISO 8601 (+09:00): the JMA CSV
// INITIAL TIME; the K-NET/KiK-net Record Time less kKnetRecordDelay; "" for
// console text and when the header does not say.
//   K-NET "Record Time 2008/06/14 08:44:18" → "2008-06-14T08:44:03+09:00"
[[nodiscard]] std::string record_time_iso(const Record& record);
// The event's origin time in ISO 8601 (+09:00), "" when unknown.
[[nodiscard]] std::string origin_time_iso(const Metadata& metadata);

// The hypocentral distance (km) from the station to the event: the distance
// along the WGS84 ellipsoid between the station and the epicentre (the
// geodesic, by Vincenty's inverse method) combined with the depth as
// sqrt(surface² + depth²); the station's height is neglected. nullopt unless
// the station's place, the epicentre and the depth are all known.
//   station 40.6363 N 139.9284 E, epicentre 39.028 N 140.880 E, depth 8 km → 195.9...
[[nodiscard]] std::optional<double> hypocentral_distance_km(const Metadata& metadata);

// ---------------------------------------------------------------------------
// K-NET and KiK-net

// One K-NET/KiK-net file: its header values and its integer counts.
struct KnetFile {
  std::string file;
  Metadata metadata;   // components[0] describes this file
  double duration = 0.0;
  std::vector<std::int64_t> counts;
};

// Reads one file: 17 header lines "Label             value" (labels matched
// ignoring blanks, periods and case), then signed integer counts, 8 to a
// line, the last line maybe short, Duration x frequency of them in all.
//   "...Scale Factor      3920(gal)/6182761\n..." → scale 3920 / 6182761
Result<KnetFile> read_knet_file(std::string_view file, std::string_view text);

enum class Offset { remove_mean, keep };

// Joins the three files of one record (NS, EW, UD order) into a record named
// `name`. They must agree on station, sampling frequency and number of
// samples. Acceleration (gal), each file with its own scale:
//   remove_mean: mean = double(sum of counts) / n;
//                a = float((double(count) - mean) * N / D)
//   keep:        a = float(double(count) * N / D)
// With the mean removed, each header "Max. Acc." must equal the peak |a| to
// its printed decimals; a warning says so when it does not.
// dt = float(1.0 / frequency).
Result<Record> join_knet_record(std::string_view name, Format format,
                                std::span<const KnetFile, 3> files, Offset offset);

// ---------------------------------------------------------------------------
// Names and formats

// A K-NET/KiK-net component file name: the record name (component letters
// removed from the extension) and the component (0 NS, 1 EW, 2 UD).
//   "d/AOM0170806140843.NS"  → {"d/AOM0170806140843", 0, knet}
//   "d/ISKH012401011610.UD2" → {"d/ISKH012401011610.2", 2, kiknet}
//   "d/notes.txt"            → nullopt
struct KnetName {
  std::string record;
  int component = 0;
  Format format = Format::knet;
};
std::optional<KnetName> knet_name(std::string_view path);

// The format of a file from its name and first bytes, nullopt when it is no
// record: K-NET/KiK-net by name and an "Origin Time" first line; JMA CSV by a
// "SITE CODE=" first line; console text when the first line with anything on
// it starts like a number and the first bytes are plain text.
std::optional<Format> detect_format(std::string_view path, std::string_view head);

// ---------------------------------------------------------------------------
// Archives and compressed files (libarchive, read in memory)

// True when this build reads archives.
bool archives_supported();

// ".tar", ".tar.gz", ".tgz" (and ".tar.bz2", ".tar.xz"): an archive of files.
bool is_archive_name(std::string_view path);
// ".gz" that is not ".tar.gz": one compressed file.
bool is_compressed_name(std::string_view path);

// One file inside an archive. `name` is "ARCHIVE:MEMBER"; members of an
// archive inside an archive are "ARCHIVE:INNER:MEMBER"; a compressed member
// "X.NS.gz" is given decompressed as "ARCHIVE:X.NS". A member that could not
// be read whole (larger than the limit) comes with `error` and no bytes.
struct Member {
  std::string name;
  std::string bytes;
  std::optional<Error> error;
};

// The largest member (decompressed) a reading holds unless told otherwise.
inline constexpr std::size_t kLargestMember = std::size_t{1} << 30;

// What a reading of an archive may hold, and when it stops.
//   largest: bytes of one member, decompressed, or of an archive inside one;
//     a member beyond it is given with an error naming it, and the reading
//     goes on.
//   hold(name, n): asked before n more bytes of member `name` (or of the
//     archive inside an archive `name`) are kept; false gives the member up (its data are skipped, `take` never sees it). The bytes of a
//     member given to `take` are the caller's to count from then on; bytes
//     the reading lets go itself (an archive inside once read, a compressed
//     member once decompressed, a member given up) are told to `release`.
//   stop(): asked before each member; true ends the reading without an error.
// Empty functions hold everything and never stop.
struct MemberLimits {
  std::size_t largest = kLargestMember;
  std::function<bool(std::string_view name, std::size_t bytes)> hold;
  std::function<void(std::size_t bytes)> release;
  std::function<bool()> stop;
};

// Reads the archive at `path` member by member, giving each regular file
// that `wants` (asked with the member's name) to `take` in archive order and
// then letting it go; the bytes of a member not wanted are skipped unread.
// Archives and compressed files inside it are opened in memory, never
// unpacked to disk. An error of the archive itself ends the reading (members
// already given stay given); a member beyond `limits.largest` does not.
//   "event.tar" holding "a.knt.tar.gz" holding "X.NS" → take({"event.tar:a.knt.tar.gz:X.NS", ...})
//   a member of 2 GiB, largest 1 GiB → take({"e.tar:big.csv", "", Error{"e.tar:big.csv", 0,
//     "larger than 1073741824 bytes, the largest member read"}})
std::optional<Error> for_each_member(const std::string& path,
                                     const std::function<bool(std::string_view name)>& wants,
                                     const std::function<void(Member&&)>& take, const MemberLimits& limits = {});

// The decompressed bytes of a gzip file, each piece held as for a member:
// an error when they are more than `limits.largest` or are given up, or with
// `head_only` just the first `limits.largest` of them.
//   ("a.csv.gz", {.largest = 4096}, true) → the first 4096 bytes of a.csv
Result<std::string> decompress_file(const std::string& path, const MemberLimits& limits = {},
                                    bool head_only = false);

}  // namespace readers
