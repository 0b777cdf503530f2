// What only the Windows layer does: reaching the machine's own system folder
// and registry view from a 32-bit process on 64-bit Windows, and the answers
// of the environment that the machine images cannot show.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/Win32Machine.h"

namespace korvane {
namespace {

std::wstring wideOf(const std::string& utf8) {
  const std::u16string units = utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

bool rawExists(const std::string& path) { return GetFileAttributesW(wideOf(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool underWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool rawValueExists(const wchar_t* path, const wchar_t* name, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  const bool found = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

class Win32Platform : public ::testing::Test {
 protected:
  std::unique_ptr<Machine> machine_ = openLiveMachine();
};

std::wstring rawString(const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return L"";
  wchar_t text[64] = {};
  DWORD type = 0, size = sizeof text - sizeof(wchar_t);
  const LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && type == REG_SZ ? text : L"";
}

// The program has no manifest naming the newer systems: Windows 8.1 and later
// would give it 6.2 build 9200 if it asked GetVersionEx (Wine does not).
TEST_F(Win32Platform, VersionIsTheSystemsOwnBuild) {
  const std::wstring build = rawString(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber");
  if (build.empty()) GTEST_SKIP() << "the system does not say its build in the registry";
  const auto version = machine_->system().version();
  ASSERT_TRUE(version);
  EXPECT_EQ(version->platformId, platformNT);
  EXPECT_EQ(std::to_wstring(version->build), build);
}

TEST_F(Win32Platform, SystemFolderMeansTheMachinesOwnUnderWow64) {
  if (!underWow64()) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
  const std::string windows = machine_->system().windowsDirectory().value_or("");
  const std::string system = machine_->system().systemDirectory().value_or("");
  ASSERT_FALSE(system.empty());
  const std::string name = "korvane-probe-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  const std::string probe = joinPath(system, name);
  ASSERT_TRUE(machine_->files().writeFile(probe, "probe"));
  const bool inNativeFolder = rawExists(joinPath(joinPath(windows, "Sysnative"), name));
  const bool inWow64Folder = rawExists(joinPath(joinPath(windows, "SysWOW64"), name));
  EXPECT_EQ(machine_->files().readFile(probe), "probe");
  EXPECT_EQ(machine_->files().find(joinPath(system, "korvane-probe-*")).size(), 1u);
  ASSERT_TRUE(machine_->profiles().writeString(probe, "Probe", "Key", "value"));
  EXPECT_EQ(machine_->profiles().readString(probe, "Probe", "Key", ""), "value");
  EXPECT_TRUE(machine_->files().readFile(probe).value_or("").find("Key=value") != std::string::npos)
      << "the profile functions and the file functions see the same file";
  EXPECT_TRUE(machine_->files().deleteFile(probe));
  EXPECT_TRUE(inNativeFolder);
  EXPECT_FALSE(inWow64Folder);
  EXPECT_FALSE(rawExists(joinPath(joinPath(windows, "Sysnative"), name)));
}

TEST_F(Win32Platform, OtherFoldersAreNotRedirected) {
  const std::string windows = machine_->system().windowsDirectory().value_or("");
  const std::string system = machine_->system().systemDirectory().value_or("");
  // A folder that merely starts like the system folder's name keeps its path.
  const std::string lookalike = system + "-korvane-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(machine_->files().createDirectory(lookalike));
  EXPECT_TRUE(rawExists(lookalike));
  EXPECT_TRUE(machine_->files().removeDirectory(lookalike));
  EXPECT_TRUE(machine_->files().isDirectory(windows));
}

TEST_F(Win32Platform, RegistryWritesGoToTheMachinesOwnView) {
  if (!underWow64()) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
  const std::string key = "SOFTWARE\\KorvaneTest\\View";
  if (!machine_->registry().writeString(RegRoot::LocalMachine, key, "Probe", "x"))
    GTEST_SKIP() << "no write access to the local machine's keys";
  const bool native = rawValueExists(L"SOFTWARE\\KorvaneTest\\View", L"Probe", KEY_WOW64_64KEY);
  const bool redirected = rawValueExists(L"SOFTWARE\\KorvaneTest\\View", L"Probe", KEY_WOW64_32KEY);
  EXPECT_EQ(machine_->registry().readString(RegRoot::LocalMachine, key, "Probe"), "x");
  EXPECT_TRUE(machine_->registry().deleteTree(RegRoot::LocalMachine, "SOFTWARE\\KorvaneTest"));
  EXPECT_TRUE(native);
  EXPECT_FALSE(redirected);
  EXPECT_FALSE(rawValueExists(L"SOFTWARE\\KorvaneTest\\View", L"Probe", KEY_WOW64_64KEY));
}

TEST_F(Win32Platform, EmptyVariableIsNotAMissingOne) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"KORVANE_EMPTY", L""));
  EXPECT_EQ(machine_->environment().get("KORVANE_EMPTY"), "");
  SetEnvironmentVariableW(L"KORVANE_EMPTY", nullptr);
  EXPECT_FALSE(machine_->environment().get("KORVANE_EMPTY"));
}

TEST_F(Win32Platform, LongVariableComesBackWhole) {
  const std::string value(5000, 'x');
  ASSERT_TRUE(SetEnvironmentVariableW(L"KORVANE_LONG", wideOf(value).c_str()));
  EXPECT_EQ(machine_->environment().get("KORVANE_LONG"), value);
  SetEnvironmentVariableW(L"KORVANE_LONG", nullptr);
}

TEST_F(Win32Platform, ProcessorAndScreenAreReported) {
  const ProcessorInfo processor = machine_->system().processor();
  EXPECT_GE(processor.count, 1u);
  // The machine's processor, not the one the 32-bit process is shown.
  if (underWow64()) {
    EXPECT_EQ(processor.architecture, archAmd64);
  }
  EXPECT_GE(machine_->system().screenWidth(), 0);
}

}  // namespace
}  // namespace korvane
