// The records of a run: the paths walked and their files classified, the
// component files of K-NET/KiK-net records grouped into one record each, the
// members of archives read with bounded memory, and the bytes of an input.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "batch/output.h"
#include "readers/readers.h"

namespace batch {

// Bytes of a file's beginning that tell its format.
inline constexpr std::size_t kHeadBytes = 4096;

// One input file of a record.
struct Input {
  std::string name;         // as shown: the path, or ARCHIVE:MEMBER
  std::string path;         // on disk; empty for an archive member, whose bytes are held
  bool compressed = false;  // a .gz file on disk
  std::string bytes;
};

// One record to compute, or one row that is an error already.
struct Job {
  std::string record;
  std::optional<readers::Format> format;
  std::vector<Input> inputs;  // one, or three in NS, EW, UD order
  std::string error;
};

// What the walk over the paths found.
struct Walk {
  std::vector<Job> jobs;               // records of files on disk (and errors), component files grouped
  std::vector<std::string> archives;   // read later, by read_archive
  std::set<FileIdentity> inputs;       // every file given, never written
  std::vector<std::string> skipped;    // files of a directory that hold no record
};

// Walks the paths: a file is a record (or a component of one), a directory
// is walked recursively in name order, skipping files that hold no record.
//   {"d"} with d/X.NS, d/X.EW, d/X.UD, d/notes → one job "d/X" of three inputs, skipped {"d/notes"}
//   {"missing"} → a job with the error "missing: no such file or directory"
[[nodiscard]] Walk walk_paths(std::span<const std::string> paths);

// Reads an archive, giving `take` each record as soon as its files are
// together; members that hold no record add to `skipped`.
//   "e.tar" holding X.NS, X.EW, X.UD, y.csv → jobs "X" (three inputs) and "e.tar:y.csv"
void read_archive(const std::string& path, const std::function<void(Job&&)>& take, std::vector<std::string>& skipped);

// The bytes of an input (decompressed), leaving an archive member's bytes
// moved out of it.
//   Input{"d/a.csv.gz", "d/a.csv.gz", true} → the bytes of a.csv
[[nodiscard]] readers::Result<std::string> read_input(Input& input);

}  // namespace batch
