#include "tests/support/run_fixture.h"

#include <cstdlib>

#include "recio/run.h"
#include "recio/units.h"

namespace recio::testing {

FreshRun::FreshRun() : previous_directory(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "shindo_test_XXXXXX").string();
  directory = mkdtemp(pattern.data());
  std::filesystem::current_path(directory);
}

FreshRun::~FreshRun() {
  std::filesystem::current_path(previous_directory);
  std::filesystem::remove_all(directory);
}

void FreshRun::start(std::initializer_list<std::string> arguments) {
  argument_storage = {"shindo"};
  argument_storage.insert(argument_storage.end(), arguments);
  argument_pointers.clear();
  for (std::string& argument : argument_storage) argument_pointers.push_back(argument.data());
  begin_run(static_cast<int>(argument_pointers.size()), argument_pointers.data());
}

const std::string& FreshRun::shown() {
  release_console_output();
  return console.output;
}

}  // namespace recio::testing
