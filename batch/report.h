// The page of a run: the rows of its records, the same rows as the table's,
// drawn as DIR/report.html and written like the records' files.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "batch/output.h"
#include "pictures/pictures.h"

namespace batch {

// Writes DIRECTORY/report.html of the rows, titled with the paths of the
// run; `number` names its temporary file apart from the records' files.
// The message when it cannot be written or placed.
//   ("out", {"d", "e.tar"}, rows, 7, inputs) → nullopt, out/report.html titled "d e.tar"
[[nodiscard]] std::optional<std::string> write_report(const std::string& directory,
                                                      std::span<const std::string> paths,
                                                      std::vector<shindo::pictures::ReportRow> rows,
                                                      std::size_t number, const std::set<FileIdentity>& inputs);

}  // namespace batch
