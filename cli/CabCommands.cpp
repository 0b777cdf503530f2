#include "cli/CabCommands.h"

#include <iostream>

#include "app/CabinetErrors.h"
#include "packaging/CabNames.h"
#include "packaging/CabSTComps.h"

namespace korvane {

namespace {

std::string say(Lang lang, Msg msg, std::initializer_list<std::string> arguments) {
  return formatMessage(message(msg, lang), arguments);
}

// A line on stderr in one write: a command reports each of thousands of files.
void note(const std::string& line) { std::cerr << line + '\n'; }

bool createCabinet(Machine& machine, Lang lang, const std::string& cabinet, const std::string& folder,
                   const CabPaths& paths, std::string& error) {
  TSTCabWriter writer(machine);
  writer.SetCompressionType(cctMsZip);
  size_t count = 0;
  writer.OnFilePlaced = [&](TSTCabWriter&, const TCCAB&, const std::string& name, int size, bool continuation,
                            bool&) {
    if (continuation) return;
    ++count;
    note(say(lang, Msg::CabCliAdded, {name, std::to_string(size)}));
  };
  try {
    writer.Open(cabinet);
    writer.AddFiles(catPath(folder, "*.*"), "", true);
    writer.Close(true);
  } catch (const ESTCabinet& failure) {
    error = cabinetErrorMessage(failure, lang);
    return false;
  } catch (const ESystemError& failure) {
    error = systemErrorMessage(failure, lang);
    return false;
  }
  std::cout << say(lang, Msg::CabCliWritten,
                   {paths.shown(expandFileName(machine.files(), cabinet)), std::to_string(count)})
            << '\n';
  return true;
}

bool extractCabinet(Machine& machine, Lang lang, const std::string& cabinet, const std::string& folder,
                    const CabPaths& paths, std::string& error) {
  TSTCabReader reader(machine);
  reader.OnCloseFile = [&](TSTCabReader&, const std::string&, uint16_t, uint16_t, uint16_t, uint16_t, bool&,
                           const std::string& target, bool&) {
    note(say(lang, Msg::CabCliExtracted, {paths.shown(target)}));
  };
  try {
    reader.ExtractFiles(cabinet, folder);
  } catch (const ESystemError& failure) {
    error = systemErrorMessage(failure, lang);
    return false;
  }
  for (const std::string& name : reader.RefusedNames()) note(say(lang, Msg::CabCliRefused, {name}));
  for (const std::string& target : reader.FailedFiles())
    note(say(lang, Msg::CabCliFailed, {paths.shown(target)}));
  if (reader.LastError().fError) {
    error = say(lang, Msg::CabCliReadFailed, {paths.shown(cabinet), fdiErrorText(reader.LastError(), lang)});
    return false;
  }
  if (!reader.RefusedNames().empty() || !reader.FailedFiles().empty()) {
    error = say(lang, Msg::CabCliIncomplete, {paths.shown(cabinet)});
    return false;
  }
  std::cout << say(lang, Msg::CabCliExtractedCount,
                   {std::to_string(reader.ExtractedFiles().size()), paths.shown(folder)})
            << '\n';
  return true;
}

}  // namespace

bool runCabCommand(Machine& machine, Lang lang, const std::vector<std::string>& words, std::string& error,
                   const CabPaths& paths) {
  const bool known = words.size() == 3 && (words[0] == "create" || words[0] == "extract");
  if (!known) {
    error = std::string(message(Msg::CabCliUsage, lang));
    return false;
  }
  const auto cabinet = paths.fromArgument(words[1]), folder = paths.fromArgument(words[2]);
  if (!cabinet || !folder) {
    error = say(lang, Msg::CliHostPathBackslash, {cabinet ? words[2] : words[1]});
    return false;
  }
  return words[0] == "create" ? createCabinet(machine, lang, *cabinet, *folder, paths, error)
                              : extractCabinet(machine, lang, *cabinet, *folder, paths, error);
}

}  // namespace korvane
