#include "cli/DiskCommands.h"

#include <algorithm>

#include "cli/RestoreCommands.h"
#include "platform/image/ImageMachine.h"

namespace korvane {

namespace {

namespace fs = std::filesystem;

// A command that only reads the machine; some write files of their own,
// which go to the folder of --to.
struct DiskCommand {
  const char* name;
  const char* option;  // the one option it runs with on a disk, or nullptr for any
  bool writes;
};

constexpr DiskCommand kDiskCommands[] = {
    {"collect", nullptr, false},    {"details", nullptr, false}, {"sysinfo", nullptr, false},
    {"language", nullptr, false},   {"about", nullptr, false},   {"backup", nullptr, true},
    {"backup-all", nullptr, true},  {"listing", "--save", true}};

const DiskCommand* diskCommand(const std::vector<std::string>& words) {
  for (const auto& command : kDiskCommands)
    if (words.front() == command.name && (!command.option || (words.size() > 1 && words[1] == command.option)))
      return &command;
  return nullptr;
}

std::string say(Lang lang, Msg msg, std::initializer_list<std::string> arguments) {
  return formatMessage(message(msg, lang), arguments);
}

// The folder a typed Linux path names, its links followed: where the files would land.
fs::path landingFolder(const std::string& typed) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(typed, ec);
  if (ec) return fs::path(typed).lexically_normal();
  fs::path real = fs::weakly_canonical(absolute, ec);
  if (ec) real = absolute.lexically_normal();
  return real.has_filename() || !real.has_relative_path() ? real : real.parent_path();
}

bool liesInside(const fs::path& folder, const fs::path& path) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

}  // namespace

bool runsOnDisk(const std::vector<std::string>& words, Lang lang, std::string& error) {
  if (diskCommand(words)) return true;
  const std::string& command = words.front();
  if (isRestoreCommand(words) || command == "remove") {
    error = say(lang, Msg::CliDiskNotChanged, {command});
    return false;
  }
  std::string commands;
  bool known = false;  // a command of the list, with an option it does not run with here
  for (const auto& each : kDiskCommands) {
    commands += (commands.empty() ? "" : ", ") + std::string(each.name) + (each.option ? std::string(" ") + each.option : "");
    known = known || command == each.name;
  }
  error = say(lang, Msg::CliDiskCommands, {known && words.size() > 1 ? command + " " + words[1] : command, commands});
  return false;
}

std::optional<std::vector<std::string>> withDiskDestination(std::vector<std::string> words, const fs::path& disk,
                                                            Lang lang, std::string& error) {
  const DiskCommand* command = diskCommand(words);
  if (!command || !command->writes) return words;
  bool given = false;
  for (auto to = std::find(words.begin() + 1, words.end(), "--to"); to != words.end() && to + 1 != words.end();
       to = std::find(to + 2, words.end(), "--to")) {
    const fs::path folder = landingFolder(to[1]);
    if (liesInside(landingFolder(disk.string()), folder)) {
      error = say(lang, Msg::CliDiskDestinationInside, {to[1], disk.string()});
      return std::nullopt;
    }
    const auto windowsPath = windowsPathOfHost(folder.string());
    if (!windowsPath) {
      error = say(lang, Msg::CliHostPathBackslash, {to[1]});
      return std::nullopt;
    }
    to[1] = *windowsPath;
    given = true;
  }
  if (!given) error = say(lang, Msg::CliDiskNeedsDestination, {words.front()});
  return given ? std::optional(std::move(words)) : std::nullopt;
}

}  // namespace korvane
