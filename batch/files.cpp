// The texts of the files the batch program writes.
#include <string>

#include "batch/files.h"
#include "numtext/writing.h"

namespace batch {

std::string export_text(const readers::Record& record) {
  std::string out;
  out.reserve(record.acc1.size() * 40);
  for (std::size_t i = 0; i < record.acc1.size(); ++i) {
    numtext::append_console_number(out, numtext::sample_time(i + 1, record.dt));
    out += ' ';
    numtext::append_console_number(out, record.acc1[i]);
    out += ' ';
    numtext::append_console_number(out, record.acc2[i]);
    out += ' ';
    numtext::append_console_number(out, record.acc3[i]);
    out += '\n';
  }
  return out;
}

std::string_view export_suffix(readers::Format format) { return format == readers::Format::kiknet ? "" : ".txt"; }

std::optional<std::string> export_name_note(std::string_view directory, std::string_view name) {
  if (name.size() <= kConsoleNameLength) return std::nullopt;
  return std::string(directory) + "/" + std::string(name) + ": shindo reads file names of at most " +
         std::to_string(kConsoleNameLength) + " characters: run it as a shorter name, e.g. ln -s " +
         std::string(name) + " r.txt";
}

std::string wave_text(const shindo::Intensity& intensity) {
  std::string out;
  out.reserve(intensity.wave.size() * 26);
  for (std::size_t i = 0; i < intensity.wave.size(); ++i) {
    numtext::append_e12_4_pair(out, numtext::sample_time(i + 1, intensity.dt), intensity.wave[i]);
  }
  return out;
}

std::string level_table_text(const shindo::Intensity& intensity) {
  std::string out;
  out.reserve(intensity.levels.size() * 26);
  for (const shindo::LevelRow& row : intensity.levels) numtext::append_e12_4_pair(out, row.level, row.duration);
  return out;
}

std::string spectra_text(const shindo::GroundMotion& motion) {
  const auto& [ns, ew] = motion.spectra;
  std::string out = "period,psa_ns,psa_ew,sa_ns,sa_ew,sd_ns,sd_ew,sv_ns,sv_ew,sva_ns,sva_ew\n";
  out.reserve(out.size() + motion.periods.size() * 200);
  for (std::size_t p = 0; p < motion.periods.size(); ++p) {
    out += numtext::shortest_text(motion.periods[p]);
    for (const double value : {ns.psa[p], ew.psa[p], ns.sa[p], ew.sa[p], ns.sd[p], ew.sd[p], ns.sv[p], ew.sv[p],
                               ns.sva[p], ew.sva[p]}) {
      out += ',';
      out += numtext::shortest_text(value);
    }
    out += '\n';
  }
  return out;
}

}  // namespace batch
