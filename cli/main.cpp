// korvane: the main window's commands on a terminal. Each run is one program
// run: start-up, the command, shutdown.
#include <algorithm>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/CabCommands.h"
#include "cli/Console.h"
#include "cli/PluginCommands.h"
#include "cli/ProxyCommand.h"
#include "cli/RestoreCommands.h"
#include "cli/TerminalView.h"
#include "cli/TransferCommands.h"
#include "cli/UpdateCommands.h"
#include "platform/Text.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/Win32Machine.h"
#include "platform/win32/Win32Util.h"
#else
#include "cli/DiskCommands.h"
#include "platform/image/DiskMachine.h"
#include "platform/image/ImageMachine.h"
#endif

namespace {

using korvane::Lang;
using korvane::Msg;
using korvane::TForm1;

struct Arguments {
  std::optional<std::string> machine;
  std::optional<std::string> windows;  // a mounted Windows disk, only read
  std::string user;                    // the disk's profile to read, else the one last used
  std::optional<bool> answer;
  bool help = false;
  bool verbose = false;  // start-up's system details before the command
  std::vector<std::string> words;  // the command and its own options
};

// Texts of the command line itself, in the interface language once start-up has chosen it.
struct Texts {
  Lang lang = Lang::English;
  std::string operator()(Msg msg, const std::string& argument = {}) const {
    return korvane::formatMessage(korvane::message(msg, lang), {argument});
  }
};

int fail(const std::string& text, int code) {
  std::cerr << "korvane: " << text << '\n';
  return code;
}

std::optional<Arguments> parseArguments(const std::vector<std::string>& words, const Texts& text, std::string& error) {
  Arguments args;
  for (size_t k = 0; k < words.size(); ++k) {
    const std::string& arg = words[k];
    if (arg == "--machine") {
      if (k + 1 >= words.size()) {
        error = text(Msg::CliMachineNeedsFolder);
        return std::nullopt;
      }
      args.machine = words[++k];
    } else if (arg == "--windows") {
      if (k + 1 >= words.size()) {
        error = text(Msg::CliWindowsNeedsFolder);
        return std::nullopt;
      }
      args.windows = words[++k];
    } else if (arg == "--user" && args.words.empty()) {  // after the command, it is the command's own (proxy)
      if (k + 1 >= words.size() || words[k + 1].empty()) {
        error = text(Msg::CliUserNeedsName);
        return std::nullopt;
      }
      args.user = words[++k];
    } else if (arg == "--yes" || arg == "--no") {
      args.answer = arg == "--yes";
    } else if (arg == "--help" || arg == "help") {
      args.help = true;
    } else if (arg == "--verbose") {
      args.verbose = true;
    } else {
      args.words.push_back(arg);
    }
  }
  if (args.machine && args.windows) {
    error = text(Msg::CliMachineOrWindows);
    return std::nullopt;
  }
  if (!args.user.empty() && !args.windows) {
    error = text(Msg::CliUserNeedsWindows);
    return std::nullopt;
  }
  return args;
}

// The arguments after the program's name, in UTF-8 as every text inside;
// on Windows argv holds them in the ANSI code page, which loses the others.
std::vector<std::string> programArguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  return korvane::win32::commandLineArguments();
#else
  return {argv + 1, argv + argc};
#endif
}

std::string joined(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& word : words) out += (out.empty() ? "" : " ") + word;
  return out;
}

// The language command of a name, matched without regard to case.
bool switchLanguage(TForm1& form, const std::string& name) {
  const auto lang = korvane::languageNamed(name);
  if (!lang) return false;
  switch (*lang) {
    case Lang::English: form.English1Click(); break;
    case Lang::French: form.French1Click(); break;
    case Lang::Spanish: form.Spanish1Click(); break;
    case Lang::Russian: form.Russian1Click(); break;
    case Lang::Chinese: form.Chinese1Click(); break;
    case Lang::ChineseTW: form.ChineseTWClick(); break;
  }
  return true;
}

// Rows of the driver list by their 1-based number, as collect prints them.
std::optional<std::vector<size_t>> parseRows(const std::vector<std::string>& words, size_t rowCount) {
  std::vector<size_t> rows;
  for (const auto& word : words) {
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos || word.size() > 9) return std::nullopt;
    const size_t row = std::stoul(word);
    if (row == 0 || row > rowCount) return std::nullopt;
    rows.push_back(row - 1);
  }
  if (rows.empty()) return std::nullopt;
  return rows;
}

// What the backup commands take besides their rows.
struct BackupOptions {
  std::optional<std::string> destination;  // --to DIR
  bool fast = false;
  std::string kind;  // --cab, --exe or --one-exe; empty for folders
  std::vector<std::string> rest;
};

BackupOptions parseBackupOptions(const std::vector<std::string>& options) {
  BackupOptions parsed;
  for (size_t k = 0; k < options.size(); ++k) {
    if (options[k] == "--fast")
      parsed.fast = true;
    else if (options[k] == "--to" && k + 1 < options.size())
      parsed.destination = options[++k];
    else if (options[k] == "--cab" || options[k] == "--exe" || options[k] == "--one-exe")
      parsed.kind = options[k];
    else
      parsed.rest.push_back(options[k]);
  }
  return parsed;
}

// Keeps the memo off the terminal while it lives: the lines of steps the user did not ask to see.
class QuietMemo {
 public:
  explicit QuietMemo(korvane::TerminalView& view) : view_(view) { view_.memoShown = false; }
  ~QuietMemo() { view_.memoShown = true; }
  QuietMemo(const QuietMemo&) = delete;
  QuietMemo& operator=(const QuietMemo&) = delete;

 private:
  korvane::TerminalView& view_;
};

// Collect All or Fast Collect as the step of another command: the list and
// the memo's guidance to it are not shown.
void collectQuietly(TForm1& form, korvane::TerminalView& view, bool fast) {
  QuietMemo quiet(view);
  fast ? form.BitBtn8Click() : form.BitBtn1Click();
}

// An error the window's error box showed fails the command too.
bool succeeded(const TForm1& form, const Texts& text, std::string& error) {
  if (form.CommandFailed) error = text(Msg::CliCommandFailed);
  return !form.CommandFailed;
}

// A backup run fails too when it left drivers out.
bool backedUpAll(const TForm1& form, const Texts& text, std::string& error) {
  if (!succeeded(form, text, error)) return false;
  if (form.Backup().Result().failures.empty()) return true;
  error = text(Msg::CliBackupAllFailed, std::to_string(form.Backup().Result().failures.size()));
  return false;
}

// backup ROW... [--to DIR] [--fast] [--cab|--exe]: collects, selects the rows,
// runs Backup (or the package command) and presses Start for the user, with
// the folder box set to DIR if given.
bool backupCommand(TForm1& form, korvane::TerminalView& view, const std::vector<std::string>& options,
                   const Texts& text, std::string& error) {
  const BackupOptions parsed = parseBackupOptions(options);
  if (parsed.kind == "--one-exe") {
    error = text(Msg::CliUnknownCommand, "backup " + joined(options));
    return false;
  }
  collectQuietly(form, view, parsed.fast);
  const auto rows = parseRows(parsed.rest, form.ListView1.Count());
  if (!rows) {
    error = text(Msg::CliBadRows, std::to_string(form.ListView1.Count()));
    return false;
  }
  {
    QuietMemo quiet(view);  // the details of each row selected are no part of a backup's output
    for (size_t row : *rows) form.ListView1SelectItem(row, true);
  }
  const auto pressStart = [&] {
    if (!form.Control("Button1").Visible || form.Backup().StartFinished()) return;
    if (parsed.destination) form.Edit1Change(*parsed.destination);
    form.Click("Button1");
  };
  view.onPump = pressStart;
  form.Click(parsed.kind == "--cab" ? "PopBackup2" : parsed.kind == "--exe" ? "PopBackup3" : "BitBtn2");
  pressStart();  // a single driver waits for Start after the command
  view.onPump = nullptr;
  return backedUpAll(form, text, error);
}

// backup-all [--to DIR] [--fast] [--cab|--one-exe]: collects, then Backup All
// (folders or CAB packages) or the one installer for all drivers; DIR answers
// the folder dialog, which otherwise keeps its own folder.
bool backupAllCommand(TForm1& form, korvane::TerminalView& view, const std::vector<std::string>& options,
                      const Texts& text, std::string& error) {
  const BackupOptions parsed = parseBackupOptions(options);
  if (!parsed.rest.empty() || parsed.kind == "--exe") {
    error = text(Msg::CliUnknownCommand, "backup-all " + joined(options));
    return false;
  }
  collectQuietly(form, view, parsed.fast);
  view.folderAnswer = parsed.destination;
  // The window's closing note points at its memo, and its opening one at keys and the menu: the command's
  // own last line says the first for the terminal, and the second has no meaning there.
  view.leavesOutMessage = [&](const std::string& shown) {
    const std::string failed = std::to_string(form.Backup().Result().failures.size());
    return shown == korvane::formatMessage(korvane::message(Msg::BackupAllFailures, text.lang), {failed}) ||
           shown == korvane::message(Msg::BackupAllAttention, text.lang);
  };
  form.Click(parsed.kind == "--cab" ? "MenuSFX2" : parsed.kind == "--one-exe" ? "MenuSFX3" : "ms");
  view.leavesOutMessage = nullptr;
  return backedUpAll(form, text, error);
}

// ROW [--fast]: collects without showing the list and selects the one row
// named, as collect numbers them; nullopt with the error when there is none.
std::optional<size_t> selectOneRow(TForm1& form, korvane::TerminalView& view, const std::vector<std::string>& options,
                                   const Texts& text, std::string& error) {
  bool fast = false;
  std::vector<std::string> rowWords;
  for (const auto& option : options) {
    if (option == "--fast")
      fast = true;
    else
      rowWords.push_back(option);
  }
  collectQuietly(form, view, fast);
  const auto rows = parseRows(rowWords, form.ListView1.Count());
  if (!rows || rows->size() != 1) {
    error = text(Msg::CliBadDetailsRow, std::to_string(form.ListView1.Count()));
    return std::nullopt;
  }
  QuietMemo quiet(view);
  form.ListView1SelectItem(rows->front(), true);
  return rows->front();
}

// details ROW [--fast]: prints what the details view writes to the memo.
bool detailsCommand(TForm1& form, korvane::TerminalView& view, const std::vector<std::string>& options,
                    const Texts& text, std::string& error) {
  const auto row = selectOneRow(form, view, options, text, error);
  if (!row) return false;
  form.ListView1SelectItem(*row, true);
  return true;
}

// remove ROW [--fast]: Remove a driver on that row, the question answered by
// --yes/--no or on the terminal. The steps' memo lines stay quiet; the
// account the removal leaves in the memo is printed at the end.
bool removeCommand(TForm1& form, korvane::TerminalView& view, const std::vector<std::string>& options,
                   const Texts& text, std::string& error) {
  if (!selectOneRow(form, view, options, text, error)) return false;
  const std::vector<std::string> memoBefore = form.Memo1;
  {
    QuietMemo quiet(view);
    form.Remove1Click();
  }
  if (form.Memo1 != memoBefore)
    for (const auto& line : form.Memo1) view.memoAppended(line);
  if (form.RestoreState().LastRemovalIncomplete) error = text(Msg::CliRemovalIncomplete);
  return !form.RestoreState().LastRemovalIncomplete && succeeded(form, text, error);
}

// listing --save [--to DIR] | --print: collects, then Save listing (into DIR,
// which becomes the backup-all folder, as backup-all --to makes it) or Print listing.
bool listingCommand(TForm1& form, korvane::TerminalView& view, bool save, const std::optional<std::string>& folder,
                    const Texts& text, std::string& error) {
  if (folder) form.BackupAllFolder = *folder;
  collectQuietly(form, view, false);
  if (form.ListView1.Count() == 0) {
    error = text(Msg::ListingNothingToList);
    return false;
  }
  form.Click(save ? "SaveListing1" : "Print1");
  return succeeded(form, text, error);
}

// The Help menu item a command stands for; what it opens goes to the shell.
std::optional<std::string> helpMenuItem(const std::string& command) {
  if (command == "manual") return "Manual1";
  if (command == "homepage") return "Homepage2";
  if (command == "write-to-us") return "Writetome1";
  if (command == "about") return "About1";
  return std::nullopt;
}

// Runs the command on a started window; false with a message when it cannot.
bool runCommand(TForm1& form, korvane::TerminalView& view, const std::vector<std::string>& words, Texts& text,
                std::string& error) {
  const std::string& command = words.front();
  const std::vector<std::string> options(words.begin() + 1, words.end());
  if (command == "collect" && (options.empty() || options == std::vector<std::string>{"--fast"})) {
    options.empty() ? form.BitBtn1Click() : form.BitBtn8Click();
    view.printList();
  } else if (command == "backup") {
    return backupCommand(form, view, options, text, error);
  } else if (command == "backup-all") {
    return backupAllCommand(form, view, options, text, error);
  } else if (command == "details") {
    return detailsCommand(form, view, options, text, error);
  } else if (command == "remove") {
    return removeCommand(form, view, options, text, error);
  } else if (command == "proxy") {
    return korvane::runProxyCommand(form, view, options, text.lang, std::cin, std::cout, error);
  } else if (command == "listing" && options == std::vector<std::string>{"--print"}) {
    return listingCommand(form, view, false, std::nullopt, text, error);
  } else if (command == "listing" && (options == std::vector<std::string>{"--save"} ||
                                      (options.size() == 3 && options[0] == "--save" && options[1] == "--to"))) {
    return listingCommand(form, view, true, options.size() == 3 ? std::optional(options[2]) : std::nullopt, text,
                          error);
  } else if (const auto item = helpMenuItem(command); item && options.empty()) {
    form.Click(*item);
    return succeeded(form, text, error);
  } else if (command == "sysinfo" && options.empty()) {
    // Start-up has written the system details: sysinfo lets them through.
  } else if (command == "language" && options.size() == 1) {
    if (!switchLanguage(form, options[0])) {
      error = text(Msg::CliUnknownLanguage, options[0]);
      return false;
    }
    text.lang = korvane::languageOf(form.CurrentLanguage).value_or(Lang::English);
    std::cout << text(Msg::CliLanguageSet) << '\n';
  } else {
    error = text(Msg::CliUnknownCommand, joined(words));
    return false;
  }
  return true;
}

// The command's words as the machine runs them: on a disk opened with
// --windows, only a command that reads it, writing to a Linux folder.
std::optional<std::vector<std::string>> wordsToRun(const Arguments& args, [[maybe_unused]] Lang lang,
                                                   [[maybe_unused]] std::string& error) {
#ifndef _WIN32
  if (args.windows) {
    if (!korvane::runsOnDisk(args.words, lang, error)) return std::nullopt;
    return korvane::withDiskDestination(args.words, *args.windows, lang, error);
  }
#endif
  return args.words;
}

std::unique_ptr<korvane::Machine> openMachine(const Arguments& args, const Texts& text, std::string& error) {
#ifdef _WIN32
  if (args.machine || args.windows) {
    error = text(args.machine ? Msg::CliNoMachineOnWindows : Msg::CliNoWindowsOnWindows);
    return nullptr;
  }
  return korvane::openLiveMachine();
#else
  if (args.windows) return korvane::openWindowsDisk(*args.windows, args.user, error);
  if (!args.machine) {
    error = text(Msg::CliNoMachine);
    return nullptr;
  }
  return korvane::openImageMachine(*args.machine, error);
#endif
}

#ifndef _WIN32
// cab without --machine: a cabinet tool on this computer's own files.
int hostCabinetCommand(const std::vector<std::string>& words, const Texts& text) {
  std::string error;
  auto machine = korvane::openHostMachine(error);
  if (!machine) return fail(error, 2);
  const korvane::CabPaths hostPaths{korvane::windowsPathOfHost, korvane::hostPathOfWindows};
  return korvane::runCabCommand(*machine, text.lang, words, error, hostPaths) ? 0 : fail(error, 2);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // Every text is UTF-8 inside; the console shows it as such.
  SetConsoleOutputCP(CP_UTF8);
#endif
  Texts text;
  std::string error;
  const auto args = parseArguments(programArguments(argc, argv), text, error);
  if (!args) return fail(error, 2);
  if (args->words.empty() && !args->help) {
    std::cerr << text(Msg::CliUsage) << '\n';
    return 2;
  }
#ifndef _WIN32
  if (!args->help && !args->machine && !args->windows && args->words.front() == "cab")
    return hostCabinetCommand({args->words.begin() + 1, args->words.end()}, text);
#endif
  auto machine = (args->help && !args->machine && !args->windows) ? nullptr : openMachine(*args, text, error);
  if (!machine) {
    if (args->help) {
      std::cout << text(Msg::CliUsage) << '\n';
      return 0;
    }
    return fail(error, 2);
  }

  korvane::TerminalView view(std::cout, std::cerr, args->answer, korvane::statusLineOfStderr());
  TForm1 form(*machine, view);
  {
    // The system details open the window's memo; a terminal shows them when asked.
    const bool showStartUp = args->verbose || (!args->help && args->words.front() == "sysinfo");
    std::optional<QuietMemo> quiet;
    if (!showStartUp) quiet.emplace(view);
    form.FormCreate();
  }
  text.lang = korvane::languageOf(form.CurrentLanguage).value_or(Lang::English);
  bool ran = true;
  bool nothingFound = false;  // the update check ran and found no new driver
  const auto words = args->help ? std::nullopt : wordsToRun(*args, text.lang, error);
  if (args->help) {
    std::cout << text(Msg::CliUsage) << '\n';
  } else if (!words) {
    ran = false;
  } else if (words->front() == "cab") {
    ran = korvane::runCabCommand(*machine, text.lang, {words->begin() + 1, words->end()}, error);
  } else if (korvane::isTransferCommand(*words)) {
    ran = korvane::runTransferCommand(form, *machine, view, *words, text.lang, error);
  } else if (korvane::isUpdateCommand(*words)) {
    const int outcome = korvane::runUpdateCommand(form, view, *words, text.lang, error);
    ran = outcome != 2;
    nothingFound = outcome == 1;
  } else if (korvane::isRestoreCommand(*words)) {
    ran = korvane::runRestoreCommand(form, view, machine->files(), *words, text.lang, error);
  } else if (korvane::isPluginCommand(*words)) {
    ran = korvane::runPluginCommand(form, view, *words, text.lang, error);
  } else {
    ran = runCommand(form, view, *words, text, error);
  }
  view.finish();
  const bool closed = form.FormCloseQuery();
  std::string flushError;
  const bool flushed = machine->flush(flushError);
  if (!ran) std::cerr << "korvane: " << error << '\n';
  if (!flushed) std::cerr << "korvane: " << text(Msg::CliRegistryNotWritten, flushError) << '\n';
  // 1 for a run that went through but left drivers out, 2 for one that could not run.
  if (!ran) return form.Backup().Result().failures.empty() || form.CommandFailed ? 2 : 1;
  return closed && flushed && !nothingFound ? 0 : 1;
}
