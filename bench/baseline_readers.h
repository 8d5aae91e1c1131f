// The K-NET/KiK-net and JMA CSV readers as they were before their counts and
// values took the fast paths: the same records and errors, the older way
// (every count stored, then the join's samples zero-filled and overwritten;
// every JMA value split out, trimmed and read by numtext::read_real).
#pragma once

#include <span>
#include <string_view>

#include "readers/readers.h"

namespace baseline {

readers::Result<readers::KnetFile> read_knet_file(std::string_view file, std::string_view text);

readers::Result<readers::Record> join_knet_record(std::string_view name, readers::Format format,
                                                  std::span<const readers::KnetFile, 3> files,
                                                  readers::Offset offset);

readers::Result<readers::Record> read_jma_csv(std::string_view file, std::string_view bytes);

}  // namespace baseline
