// One Windows machine as the core sees it: the live system in the Windows
// build, a machine image folder on Linux.
#pragma once

#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Internet.h"
#include "platform/NetworkShares.h"
#include "platform/Printer.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/Text.h"

namespace korvane {

class Environment {
 public:
  virtual ~Environment() = default;
  virtual std::optional<std::string> get(const std::string& name) = 0;
};

class Machine {
 public:
  virtual ~Machine() = default;
  virtual Registry& registry() = 0;
  virtual ProfileFiles& profiles() = 0;
  virtual FileSystem& files() = 0;
  virtual SystemInfo& system() = 0;
  virtual Environment& environment() = 0;
  virtual CodePages& codePages() = 0;
  virtual Shell& shell() = 0;
  virtual Clock& clock() = 0;
  virtual NetworkShares& shares() = 0;
  virtual Internet& internet() = 0;
  virtual Printer& printer() = 0;
  // Writes back what the run changed (machine images); nothing to do live.
  virtual bool flush(std::string& error) = 0;
  // False where the Windows installation is only looked at (a disk that no
  // longer starts, mounted on another system): the program's work files then
  // go to the temporary folder instead of the Windows folder.
  virtual bool installationWritable() { return true; }
};

}  // namespace korvane
