// A fresh run for in-process tests of the record I/O layer: a temporary
// working directory, a fake console and a new unit table.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_host.h"

namespace recio::testing {

struct FreshRun : ::testing::Test {
  std::filesystem::path previous_directory;
  std::filesystem::path directory;
  ScopedFakeConsole fake;
  FakeConsole& console = fake.console;

  FreshRun();
  ~FreshRun() override;

  // Starts the run's units with these command-line arguments after the
  // program name; call after setting the console's terminal flags and input.
  void start(std::initializer_list<std::string> arguments = {});
  // Every byte the run has written to the console so far, the output it
  // still holds included (written out first).
  const std::string& shown();
  std::vector<std::string> argument_storage;
  std::vector<char*> argument_pointers;
};

}  // namespace recio::testing
