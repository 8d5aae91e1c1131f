#include "batch/pipeline.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

#include "batch/files.h"
#include "batch/running.h"

namespace batch {

readers::Result<readers::Record> read_record(Job& job, const Options& options) {
  if (job.inputs.size() == 3) {
    std::array<readers::KnetFile, 3> files;
    for (std::size_t c = 0; c < 3; ++c) {
      const std::string bytes = std::move(job.inputs[c].bytes);
      readers::Result<readers::KnetFile> file = readers::read_knet_file(job.inputs[c].name, bytes);
      if (const readers::Error* error = std::get_if<readers::Error>(&file)) return *error;
      files[c] = std::get<readers::KnetFile>(std::move(file));
    }
    return readers::join_knet_record(job.record, *job.format, files, options.offset);
  }
  Input& input = job.inputs.front();
  const std::string bytes = std::move(input.bytes);
  if (!job.format) job.format = readers::detect_format(job.record, std::string_view(bytes).substr(0, kHeadBytes));
  if (!job.format) return readers::Error{input.name, 0, "not a record of a known format"};
  readers::Result<readers::Record> record = *job.format == readers::Format::jma_csv
                                                ? readers::read_jma_csv(input.name, bytes)
                                                : readers::read_console_text(input.name, bytes);
  if (readers::Record* read = std::get_if<readers::Record>(&record)) {
    read->name = job.record;
    // Times that do not follow one interval refuse the record.
    if (std::optional<readers::Error> misplaced = readers::settle_interval(*read)) return *misplaced;
    read->times = {};
  }
  return record;
}

namespace {

namespace pictures = shindo::pictures;

// What the computation cannot take, found before anything is written: an
// interval or a sample that is not a finite float, more samples than the
// computation takes (an interval of 0 or below is the computation's own
// fault, named by it). The message, or nullopt.
std::optional<std::string> refusal(const readers::Record& record) {
  const std::string& file = record.metadata.components[0].file.empty() ? record.name : record.metadata.components[0].file;
  if (!std::isfinite(record.dt)) return file + ": the sampling interval is not a finite number of seconds";
  const std::array<const std::vector<float>*, 3> components = {&record.acc1, &record.acc2, &record.acc3};
  for (std::size_t c = 0; c < 3; ++c) {
    const std::vector<float>& samples = *components[c];
    const auto bad = std::find_if(samples.begin(), samples.end(), [](float a) { return !std::isfinite(a); });
    if (bad != samples.end()) {
      return file + ": sample " + std::to_string(bad - samples.begin() + 1) + " of component " +
             std::to_string(c + 1) + " is beyond the single-precision range";
    }
  }
  if (record.acc1.size() > shindo::kMaxSamples) {
    return file + ": " + shindo::describe_fault(shindo::Fault::too_long, shindo::Stage::input);
  }
  return std::nullopt;
}

// What the row says of a record once it is read: its station and the event
// as the headers give them, its samples and their peak.
void describe_record(pictures::ReportRow& row, const readers::Record& record) {
  const readers::Metadata& meta = record.metadata;
  row.station = meta.station_code;
  row.latitude = meta.station_latitude;
  row.longitude = meta.station_longitude;
  if (meta.epicentre_latitude && meta.epicentre_longitude) {
    row.epicentre = pictures::GeoPoint{*meta.epicentre_latitude, *meta.epicentre_longitude};
  }
  row.read = pictures::ReadRecord{record.acc1.size(), record.dt, shindo::peak_vector({record.acc1, record.acc2, record.acc3})};
  row.event = pictures::EventInfo{.station_name = meta.station_name,
                                  .record_time = readers::record_time_iso(record),
                                  .origin_time = readers::origin_time_iso(meta),
                                  .magnitude = meta.magnitude,
                                  .depth_km = meta.epicentre_depth,
                                  .distance_km = readers::hypocentral_distance_km(meta)};
}

// Adds a fault to the row's error: a record may meet more than one once its
// intensity is computed, and none is lost.
void add_error(pictures::ReportRow& row, std::string_view text) {
  if (!row.error.empty()) row.error += "; ";
  row.error += text;
}

// The ground-motion values of a computed record. The table's values do not
// depend on the response spectra, so the spectra are computed only where they
// are shown: the picture and the spectra file, both under --output.
shindo::GroundMotion ground_motion_of(const shindo::Record& view, const Options& options) {
  return shindo::compute_ground_motion(view, {.damping = options.damping,
                                              .highpass_hz = options.highpass_hz,
                                              .spectra = options.output_directory.has_value()});
}

pictures::GroundMotionValues ground_values(const shindo::GroundMotion& motion) {
  return {.pga = motion.pga,
          .pga_h = motion.pga_horizontal,
          .pgv = motion.pgv,
          .pgv_h = motion.pgv_horizontal,
          .si = motion.si_max,
          .sva_max = motion.lp_sva,
          .sva_period = motion.lp_period,
          .lp_class = motion.lp_class};
}

// The SVG image of a computed record, its panels named as its format names
// the components ("N-S" of a K-NET header is shown as "NS"), its title with
// what the row says of the station and the event.
std::string record_picture(const readers::Record& record, const shindo::Record& view,
                           const shindo::Intensity& intensity, const shindo::GroundMotion* motion,
                           const std::optional<RunningOfRecord>& running, const Options& options,
                           const pictures::ReportRow& row) {
  const readers::Metadata& meta = record.metadata;
  std::array<std::string, 3> names;
  for (std::size_t c = 0; c < 3; ++c) {
    std::erase(names[c] = meta.components[c].direction, '-');
  }
  pictures::RecordPicture picture{.name = record.name,
                                  .station = meta.station_code.empty() ? meta.station_name : meta.station_code,
                                  .event = &row.event,
                                  .epicentre = row.epicentre,
                                  .record = view,
                                  .ground_motion = motion};
  for (std::size_t c = 0; c < 3; ++c) {
    if (!names[c].empty()) picture.component_names[c] = names[c];
  }
  if (running) {
    picture.running = running->points;
    picture.running_window = options.window;
  }
  return pictures::record_svg(picture, intensity);
}

// Writes one of the record's files under a temporary name; when it cannot,
// the row says why and no longer shows the record's values.
bool stage(Outcome& outcome, const std::string& directory, std::size_t number, std::string_view suffix,
           std::string_view bytes) {
  std::variant<StagedFile, std::string> staged = stage_file(directory, number, suffix, bytes);
  if (const std::string* failure = std::get_if<std::string>(&staged)) {
    add_error(outcome.row, *failure);
    outcome.row.computed.reset();
    outcome.row.ground.reset();
    return false;
  }
  outcome.files.push_back(std::get<StagedFile>(std::move(staged)));
  return true;
}

// The strongest window of the record for its row and, with --output, the
// table of its steps, DIR/<record>.running.csv.
void add_running(const RunningOfRecord& running, const Options& options, std::size_t number, Outcome& outcome) {
  if (!running.refusal.empty()) {
    add_error(outcome.row, "running intensity: " + running.refusal);
    return;
  }
  outcome.row.strongest = running.strongest;
  if (options.output_directory) (void)stage(outcome, *options.output_directory, number, ".running.csv", running.table);
}

// The computation of a read record, the running intensity when asked, and
// the files of the result with --output.
void compute(const readers::Record& record, const Options& options, std::size_t number, Outcome& outcome) {
  const shindo::Record view{record.acc1, record.acc2, record.acc3, record.dt};
  const shindo::Intensity intensity = shindo::compute_intensity(view);
  if (intensity.fault != shindo::Fault::none) {
    outcome.row.error = record.metadata.components[0].file + ": " + shindo::describe_fault(intensity.fault, intensity.stage);
    return;
  }
  outcome.row.computed = pictures::ComputedRecord{intensity.amax, intensity.a0, intensity.shindo};
  const shindo::GroundMotion motion = ground_motion_of(view, options);
  const bool moved = motion.fault == shindo::GroundMotionFault::none;
  if (moved) {
    outcome.row.ground = ground_values(motion);
  } else {
    add_error(outcome.row, record.metadata.components[0].file + ": ground motion: " +
                               std::string(shindo::ground_motion_fault_text(motion.fault)));
  }
  std::optional<RunningOfRecord> running;
  if (options.running) running = running_of_record(view, options, options.output_directory.has_value());
  if (options.output_directory) {
    const std::string& directory = *options.output_directory;
    const shindo::GroundMotion* shown = moved ? &motion : nullptr;
    if (!stage(outcome, directory, number, ".wave.txt", wave_text(intensity)) ||
        !stage(outcome, directory, number, ".a0tau.txt", level_table_text(intensity)) ||
        !stage(outcome, directory, number, ".svg", record_picture(record, view, intensity, shown, running, options, outcome.row)) ||
        (options.spectra && moved && !stage(outcome, directory, number, ".spectra.csv", spectra_text(motion)))) {
      return;
    }
  }
  if (running) add_running(*running, options, number, outcome);
}

// Carries a job through to its outcome; see process.
void carry(Job& job, const Options& options, std::size_t number, Outcome& outcome) {
  pictures::ReportRow& row = outcome.row;
  if (!job.error.empty()) {
    row.error = job.error;
    return;
  }
  readers::Result<readers::Record> read = read_record(job, options);
  if (job.format) row.format = std::string(readers::format_name(*job.format));
  if (const readers::Error* error = std::get_if<readers::Error>(&read)) {
    row.error = readers::error_text(*error);
    return;
  }
  readers::Record& record = std::get<readers::Record>(read);
  job.inputs.clear();
  outcome.warnings = std::move(record.warnings);
  if (std::optional<std::string> refused = refusal(record)) {
    row.error = std::move(*refused);
    return;
  }
  describe_record(row, record);
  if (options.export_directory &&
      !stage(outcome, *options.export_directory, number, export_suffix(record.format), export_text(record))) {
    return;
  }
  compute(record, options, number, outcome);
}

// A record that could not be carried through: its files go, its row says why.
void fail(Outcome& outcome, const std::string& why) noexcept {
  for (const StagedFile& file : outcome.files) ::unlink(file.temporary.c_str());
  outcome.files.clear();
  outcome.row.computed.reset();
  outcome.row.ground.reset();
  outcome.row.strongest.reset();
  try {
    outcome.row.error = outcome.row.record + ": " + why;
  } catch (...) {
    outcome.row.error = "out of memory";  // short enough to need no allocation
  }
}

}  // namespace

Outcome process(Job&& job, const Options& options, std::size_t number) {
  Outcome outcome;
  try {
    outcome.row.record = job.record;
    carry(job, options, number, outcome);
  } catch (const std::bad_alloc&) {
    fail(outcome, "not enough memory to compute this record");
  } catch (const std::exception& error) {
    fail(outcome, error.what());
  }
  return outcome;
}


}  // namespace batch
