// Program entry: --help and --version answered, or the record I/O layer
// prepared and the run performed.
#include <cstdio>
#include <optional>
#include <string>

#include "console/run.h"
#include "console/usage.h"
#include "recio/statement.h"

int main(int argc, char** argv) {
  if (argc > 1) {
    if (const std::optional<std::string> usage = console::usage_text(argv[1])) {
      std::fwrite(usage->data(), 1, usage->size(), stdout);
      return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
  }
  recio::start_run(argc, argv);
  console::add_network_file_hint();
  console::run();
}
