// The texts of the files the batch program writes for a record: its samples
// as the console program's input (--export), the console program's
// wave1_dat and a0tau_dat (--output) and its response spectra (--spectra).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "readers/readers.h"
#include "shindo/ground_motion.h"
#include "shindo/intensity.h"

namespace batch {

// The record as the console program's input text, one sample a line
// "time a1 a2 a3\n": each value the shortest text that the console program's reading
// reads back as the same float, time I = float((I-1) * dt) so that the first
// two times give dt exactly.
//   samples (1, 2, 3), (0.5, 0, -1) at 0.01 s → "0 1 2 3\n0.01 0.5 0 -1\n"
[[nodiscard]] std::string export_text(const readers::Record& record);

// The longest file name the console program reads at its prompt.
inline constexpr std::size_t kConsoleNameLength = 20;

// The suffix of a record's exported file, DIR/<record name><suffix>: ".txt";
// none for a KiK-net record, whose name ("ISKH012401011610.2", 18
// characters) with ".txt" would not fit the kConsoleNameLength characters
// the console program reads.
//   Format::knet → ".txt" ("AOM0170806140843.txt", 20); Format::kiknet → ""
[[nodiscard]] std::string_view export_suffix(readers::Format format);

// A note for an exported file whose name the console program cannot read
// (longer than kConsoleNameLength characters), saying how to run it; nullopt
// when it fits.
//   ("e", "a-long-record-name.txt") → "e/a-long-record-name.txt: shindo reads file names of at most
//   20 characters: run it as a shorter name, e.g. ln -s a-long-record-name.txt r.txt"
[[nodiscard]] std::optional<std::string> export_name_note(std::string_view directory, std::string_view name);

// The bytes wave1_dat and a0tau_dat of a console run hold: records of two
// E12.4 fields ended by CR LF; time I = float((I-1) * dt) and the filtered
// vector acceleration; each level and its exceedance time.
//   wave {0, 1.089} at 0.01 s → "   .0000E+00   .0000E+00\r\n   .1000E-01   .1089E+01\r\n"
[[nodiscard]] std::string wave_text(const shindo::Intensity& intensity);
[[nodiscard]] std::string level_table_text(const shindo::Intensity& intensity);

// The response spectra of the two horizontal components (ns: the record's
// first, ew: its second, whatever the network calls them), one CSV row a
// period: period (s), psa, sa (gal), sd (cm), sv, sva (cm/s), each the
// shortest text that reads back as the same double.
//   periods {0.05, 1}, psa_ns {101.1, 997.5} ... →
//   "period,psa_ns,psa_ew,sa_ns,sa_ew,sd_ns,sd_ew,sv_ns,sv_ew,sva_ns,sva_ew\n"
//   "0.05,101.1,0,...\n" "1,997.5,0,...\n"
[[nodiscard]] std::string spectra_text(const shindo::GroundMotion& motion);

}  // namespace batch
