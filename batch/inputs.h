// The records of a run: the paths walked and their files classified, the
// component files of K-NET/KiK-net records grouped into one record each, the
// bytes of every input read once within the run's memory budget, and the
// members of archives read with that budget however they lie.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "batch/output.h"
#include "batch/pool.h"
#include "readers/readers.h"

namespace batch {

// Bytes of a file's beginning that tell its format.
inline constexpr std::size_t kHeadBytes = 4096;

// One input file of a record.
struct Input {
  std::string name;         // as shown: the path, or ARCHIVE:MEMBER
  std::string path;         // on disk; empty once the bytes are held (an archive member always)
  bool compressed = false;  // a .gz file on disk
  std::string bytes;
};

// One record to compute, or one row that is an error already.
struct Job {
  std::string record;
  std::optional<readers::Format> format;  // nullopt: told by the bytes once read
  std::vector<Input> inputs;  // one, or three in NS, EW, UD order
  std::string error;
  std::size_t held = 0;       // bytes of the run's budget it holds until it is done
};

// What the walk over the paths found.
struct Walk {
  std::vector<Job> jobs;               // records of files on disk (and errors) in record-name order
  std::vector<std::string> archives;   // read later, by read_archive
  std::set<FileIdentity> inputs;       // every file given, never written
  std::vector<std::string> skipped;    // files of a directory that hold no record
};

// A size for a person, in the largest unit that divides it.
//   1073741824 → "1 GiB", 1500 → "1500 bytes"
[[nodiscard]] std::string size_text(std::size_t bytes);

// A job's error row "<name>: <what>" as an error value.
//   "d/x.txt: no such file or directory" → Error{"d/x.txt", 0, "no such file or directory"}
[[nodiscard]] readers::Error job_error(const std::string& text);

// Walks the paths: a file is a record (or a component of one), a directory
// is walked recursively in name order, skipping files that hold no record,
// the directories in `written` (where the run writes) and the files the
// program writes (*.wave.txt, *.a0tau.txt, *.running.csv, *.spectra.csv,
// *.svg, report.html, report.csv, the leaflet folder beside a page, its
// temporary files). A file met twice, by any path, is one
// input. A file that can be read only once (a pipe) is not read here.
//   {"d"} with d/X.NS, d/X.EW, d/X.UD, d/notes → one job "d/X" of three inputs, skipped {"d/notes"}
//   {"t", "./t"} → one job "t"
//   {"missing"} → a job with the error "missing: no such file or directory"
[[nodiscard]] Walk walk_paths(std::span<const std::string> paths, const std::set<FileIdentity>& written = {});

// How a run's producer holds bytes: the budget shared with the workers, and
// when to stop reading (an interrupt).
struct Holding {
  ByteBudget& budget;
  std::function<bool()> stop;
};

// Reads the files of a job that are on disk into its inputs, once each, the
// bytes taken from the budget as they come (waiting for the workers to give
// some back when it is full) and counted in job.held. A job whose files do
// not fit in the whole budget gets an error naming the file, as does a file
// that cannot be read; a job whose format was not told by the walk is told
// it from the bytes read.
//   Job{"d/a.csv.gz", inputs {path "d/a.csv.gz", compressed}} → inputs[0].bytes = the bytes of a.csv
void load_job(Job& job, const Holding& holding);

// Reads an archive, giving `take` each record as soon as its files are
// together, its bytes counted in job.held; members that hold no record add
// to `skipped`. Components that lie far apart are held within the budget;
// the records that do not fit are read in a later reading of the archive,
// which reads only until they are all found. A record whose files do not fit
// in the whole budget, and a member larger than it, is an error row naming
// the member.
//   "e.tar" holding X.NS, X.EW, X.UD, y.csv → jobs "X" (three inputs) and "e.tar:y.csv"
void read_archive(const std::string& path, const std::function<void(Job&&)>& take, std::vector<std::string>& skipped,
                  const Holding& holding);

}  // namespace batch
