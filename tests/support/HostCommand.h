// Linux only: runs a command line of the host, for tests that check our
// files with independent tools (cabextract, gcab).
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace korvane::test {

// The exit status; the output (stdout and stderr) goes to output when given.
int runCommand(const std::string& command, std::string* output = nullptr);
// A path in single quotes for the shell.
std::string quoted(const std::filesystem::path& path);
bool haveTool(const std::string& name);
// True when the run expects every suite to run (scripts/test sets
// KORVANE_EXPECT_EVERY_SUITE): a missing tool or build is then a failure.
bool everySuiteExpected();

}  // namespace korvane::test

// Skips the test when something it needs is missing, or fails it when the run
// expects every suite to run, so that a green scripts/test means all ran.
#define KORVANE_NEEDS(available, what)                                        \
  do {                                                                        \
    if (!(available)) {                                                       \
      if (::korvane::test::everySuiteExpected()) FAIL() << "missing: " << what; \
      GTEST_SKIP() << what;                                                   \
    }                                                                         \
  } while (0)
