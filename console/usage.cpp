#include "console/usage.h"

#include <fcntl.h>

#include "console/storage.h"
#include "recio/host.h"
#include "recio/report.h"
#include "recio/run.h"
#include "recio/units.h"
#include "shindo/version.h"

namespace console {

namespace {

constexpr std::string_view kUsage =
    "Usage: shindo [RESULTS-FILE]\n"
    "Computes the JMA instrumental seismic intensity of one strong-motion record.\n"
    "It asks for the record file (time and three components in gal per sample,\n"
    "a name of at most 20 characters) and writes A0 and the intensity to the\n"
    "results file (asked for when not given), wave1_dat and a0tau_dat.\n"
    "\n"
    "Many records, and records in the K-NET, KiK-net and JMA CSV formats:\n"
    "shindo-batch (shindo-batch --help).\n"
    "Manual pages: man shindo, man shindo-batch.\n";

// The record file's name as typed, without the blanks that fill its storage.
std::string record_file_name() {
  std::string_view name(file_name, kFileNameLength);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
  return std::string(name);
}

// The first bytes of the record file, through the host; empty when it cannot be read.
std::string record_file_head() {
  const std::string name = record_file_name();
  const int fd = recio::host().open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return "";
  char bytes[64];
  const ssize_t got = recio::read_retrying(fd, bytes, sizeof bytes);
  recio::host().close(fd);
  return got > 0 ? std::string(bytes, static_cast<std::size_t>(got)) : "";
}

void report_with_hint(std::string_view report) {
  recio::write_to_handle(2, report.data(), report.size());
  const std::string read_of_record = "READ(" + record_file_name() + ")";
  if (!record_file_name().empty() && report.find(read_of_record) != std::string_view::npos &&
      looks_like_network_file(record_file_head())) {
    recio::write_to_handle(2, kNetworkFileHint.data(), kNetworkFileHint.size());
  }
  recio::end_of_run(1);
}

}  // namespace

std::optional<std::string> usage_text(std::string_view first_argument) {
  if (first_argument == "--help") return std::string(kUsage);
  if (first_argument == "--version") return std::string("shindo ") + SHINDO_VERSION_STRING + "\n";
  return std::nullopt;
}

bool looks_like_network_file(std::string_view head) {
  return head.starts_with("Origin Time") || head.starts_with("SITE CODE=");
}

void add_network_file_hint() { recio::set_report_ending(report_with_hint); }

}  // namespace console
