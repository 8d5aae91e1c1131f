#include <cstdio>
#include <thread>
#include <vector>

#include "batch/follow.h"
#include "batch/options.h"
#include "batch/run.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const auto parsed = batch::parse_options(arguments, std::thread::hardware_concurrency());
  if (const batch::UsageError* usage = std::get_if<batch::UsageError>(&parsed)) {
    std::fprintf(stderr, "shindo-batch: %s\nTry 'shindo-batch --help' for more information.\n", usage->message.c_str());
    return 2;
  }
  const batch::Options& options = std::get<batch::Options>(parsed);
  if (options.help) {
    std::fwrite(batch::help_text().data(), 1, batch::help_text().size(), stdout);
    return std::ferror(stdout) ? 1 : 0;
  }
  return options.follow ? batch::follow(options) : batch::run(options);
}
