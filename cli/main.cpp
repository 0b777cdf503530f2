// korvane: the main window's commands on a terminal. Each run is one program
// run: start-up, the command, shutdown.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/BalvikMain.h"
#include "cli/TerminalView.h"

#ifdef _WIN32
#include "platform/win32/Win32Machine.h"
#else
#include "platform/image/ImageMachine.h"
#endif

namespace {

using korvane::TForm1;

const char* const kUsage =
    "usage: korvane [--machine DIR] [--yes|--no] COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  collect          list every installed driver (Collect All)\n"
    "  collect --fast   list the drivers that do not come from Microsoft (Fast Collect)\n"
    "  sysinfo          show the system details of start-up\n"
    "\n"
    "Options:\n"
#ifdef _WIN32
    "  --machine DIR    not available here: this build works on the live machine\n"
#else
    "  --machine DIR    the machine image to work on (required)\n"
#endif
    "  --yes, --no      answer every question with yes or no\n"
    "  --help           show this text\n";

struct Arguments {
  std::optional<std::string> machine;
  std::optional<bool> answer;
  std::vector<std::string> words;  // the command and its own options
};

std::optional<Arguments> parseArguments(int argc, char** argv, std::string& error) {
  Arguments args;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--machine") {
      if (k + 1 >= argc) {
        error = "--machine needs the folder of a machine image";
        return std::nullopt;
      }
      args.machine = argv[++k];
    } else if (arg == "--yes" || arg == "--no") {
      args.answer = arg == "--yes";
    } else {
      args.words.push_back(arg);
    }
  }
  return args;
}

// Runs the command on a started window; false for an unknown command.
bool runCommand(TForm1& form, const std::vector<std::string>& words, std::string& error) {
  const std::string& command = words.front();
  const std::vector<std::string> options(words.begin() + 1, words.end());
  if (command == "collect" && options.empty()) {
    form.BitBtn1Click();
  } else if (command == "collect" && options == std::vector<std::string>{"--fast"}) {
    form.BitBtn8Click();
  } else if (command == "sysinfo" && options.empty()) {
    // Start-up has written the system details already.
  } else {
    error = "unknown command or option: ";
    for (const auto& word : words) error += word + " ";
    error += "(see korvane --help)";
    return false;
  }
  return true;
}

std::unique_ptr<korvane::Machine> openMachine(const Arguments& args, std::string& error) {
#ifdef _WIN32
  if (args.machine) {
    error = "--machine is not available in the Windows build: it works on this machine";
    return nullptr;
  }
  return korvane::openLiveMachine();
#else
  if (!args.machine) {
    error = "no machine image given: use --machine DIR (for example --machine samples/xp)";
    return nullptr;
  }
  return korvane::openImageMachine(*args.machine, error);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto args = parseArguments(argc, argv, error);
  if (!args) {
    std::cerr << "korvane: " << error << '\n';
    return 2;
  }
  if (args->words.empty() || args->words.front() == "--help" || args->words.front() == "help") {
    (args->words.empty() ? std::cerr : std::cout) << kUsage;
    return args->words.empty() ? 2 : 0;
  }
  auto machine = openMachine(*args, error);
  if (!machine) {
    std::cerr << "korvane: " << error << '\n';
    return 2;
  }

  korvane::TerminalView view(std::cout, std::cerr, args->answer);
  TForm1 form(*machine, view);
  form.FormCreate();
  view.resetListChanges();
  const bool ran = runCommand(form, args->words, error);
  view.printListIfChanged();
  const bool closed = form.FormCloseQuery();
  std::string flushError;
  const bool flushed = machine->flush(flushError);
  if (!ran) std::cerr << "korvane: " << error << '\n';
  if (!flushed) std::cerr << "korvane: could not write the machine's registry back: " << flushError << '\n';
  if (!ran) return 2;
  return closed && flushed ? 0 : 1;
}
