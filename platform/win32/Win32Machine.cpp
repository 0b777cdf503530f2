#include "platform/win32/Win32Machine.h"

#include "platform/win32/Win32Util.h"

namespace korvane {

namespace {

class Win32Machine : public Machine {
 public:
  Registry& registry() override { return *registry_; }
  ProfileFiles& profiles() override { return *profiles_; }
  FileSystem& files() override { return *files_; }
  SystemInfo& system() override { return *system_; }
  Environment& environment() override { return *environment_; }
  CodePages& codePages() override { return *codePages_; }
  Shell& shell() override { return *shell_; }
  Clock& clock() override { return *clock_; }
  NetworkShares& shares() override { return *shares_; }
  Internet& internet() override { return *internet_; }
  Printer& printer() override { return *printer_; }
  // Every change already went to the system.
  bool flush(std::string&) override { return true; }

 private:
  std::unique_ptr<Registry> registry_ = win32::makeRegistry();
  std::unique_ptr<ProfileFiles> profiles_ = win32::makeProfileFiles();
  std::unique_ptr<FileSystem> files_ = win32::makeFileSystem();
  std::unique_ptr<SystemInfo> system_ = win32::makeSystemInfo();
  std::unique_ptr<Environment> environment_ = win32::makeEnvironment();
  std::unique_ptr<CodePages> codePages_ = win32::makeCodePages();
  std::unique_ptr<Shell> shell_ = win32::makeShell();
  std::unique_ptr<Clock> clock_ = win32::makeClock();
  std::unique_ptr<NetworkShares> shares_ = win32::makeShares();
  std::unique_ptr<Internet> internet_ = win32::makeInternet();
  std::unique_ptr<Printer> printer_ = win32::makePrinter();
};

}  // namespace

std::unique_ptr<Machine> openLiveMachine() { return std::make_unique<Win32Machine>(); }

}  // namespace korvane
