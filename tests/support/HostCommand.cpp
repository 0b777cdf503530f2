#include "support/HostCommand.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace korvane::test {

int runCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  const int status = pclose(pipe);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

bool haveTool(const std::string& name) { return runCommand("command -v " + name) == 0; }

bool everySuiteExpected() {
  const char* value = std::getenv("KORVANE_EXPECT_EVERY_SUITE");
  return value && *value && std::string(value) != "0";
}

}  // namespace korvane::test
