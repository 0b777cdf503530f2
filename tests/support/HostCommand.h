// Linux only: runs a command line of the host, for tests that check our
// files with independent tools (cabextract, gcab).
#pragma once

#include <filesystem>
#include <string>

namespace korvane::test {

// The exit status; the output (stdout and stderr) goes to output when given.
int runCommand(const std::string& command, std::string* output = nullptr);
// A path in single quotes for the shell.
std::string quoted(const std::filesystem::path& path);
bool haveTool(const std::string& name);

}  // namespace korvane::test
