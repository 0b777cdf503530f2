// The korvane command on sample machines: its output contract and its errors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "app/BalvikMain.h"
#include "backup/BackupTestSupport.h"
#include "platform/image/ImageMachine.h"
#include "support/ScriptedView.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::StartsWith;

struct CliRun {
  int exitCode = -1;
  std::string out, err;
  std::vector<std::string> outLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs korvane in the test's folder, or in the one given, with the input given.
CliRun korvane(const std::string& arguments, const fs::path& folder = {}, const std::string& input = {}) {
  TempDir capture;
  const fs::path out = capture.path() / "out", err = capture.path() / "err", in = capture.path() / "in";
  writeHostFile(in, input);
  const std::string command = (folder.empty() ? "" : "cd " + quoted(folder) + " && ") + quoted(KORVANE_CLI) + " " +
                              arguments + " >" + quoted(out) + " 2>" + quoted(err) + " <" + quoted(in);
  CliRun run;
  const int status = std::system(command.c_str());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = slurp(out);
  run.err = slurp(err);
  return run;
}

std::string machineArgument(const SampleMachine& sample) { return "--machine " + quoted(sample.host->path()); }

// No blank line (the window's spacing) and none of start-up's system details.
void expectOnlyTheCommandsLines(const CliRun& run) {
  for (const auto& line : run.outLines()) EXPECT_FALSE(line.empty()) << run.out;
  EXPECT_EQ(run.out.find("Operating System:"), std::string::npos) << run.out;
}

TEST(Cli, FastCollectPrintsMemoThenTabSeparatedRows) {
  const auto sample = copySample("xp");
  const CliRun run = korvane(machineArgument(sample) + " collect --fast");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  expectOnlyTheCommandsLines(run);
  const auto lines = run.outLines();
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ(lines[0], "The above shows the drivers you need to backup now.");
  std::vector<std::string> rows(lines.begin() + 3, lines.end());
  EXPECT_EQ(rows.size(), 18u);
  for (const auto& row : rows) EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 5) << row;
  // Providers "microsoft" and "Microsoft Corporation" are not exactly "Microsoft".
  const auto listed = [&](const std::string& start) {
    return std::any_of(rows.begin(), rows.end(), [&](const std::string& row) { return row.rfind(start, 0) == 0; });
  };
  EXPECT_TRUE(listed("Aldmoor SMBus Controller\toem4.inf\t5.1.2600.0\t7-1-2001\tmicrosoft\t"));
  EXPECT_TRUE(listed("USB Wheel Mouse\t"));
  EXPECT_FALSE(listed("Standard")) << "no driver of the Microsoft provider";
  EXPECT_EQ(run.err, "status: 18 devices are found.\n") << "into a file, the status bar's last text alone";
  // Shutdown wrote the settings into the image's Windows folder.
  EXPECT_NE(slurp(sample.host->path() / "drive_c/WINDOWS/Korvane.ini").find("AutoProxy=Oui"), std::string::npos);
}

TEST(Cli, CollectAllListsMoreThanFastCollect) {
  const auto sample = copySample("xp");
  const CliRun run = korvane(machineArgument(sample) + " collect");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("\tMicrosoft Corporation\t"), std::string::npos);
  EXPECT_NE(run.err.find("status: 41 devices are found."), std::string::npos) << run.err;
}

TEST(Cli, SysinfoOnWindows98) {
  const auto sample = copySample("win98");
  const CliRun run = korvane(machineArgument(sample) + " sysinfo");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.outLines().at(0), "Operating System: Microsoft Windows 98");
  EXPECT_EQ(run.outLines().at(2), "Build Numbered: 2222");
  EXPECT_EQ(run.outLines().size(), 7u) << "sysinfo fills no list";
  const auto plain = korvane(machineArgument(sample) + " collect --fast").outLines();
  const auto verbose = korvane(machineArgument(sample) + " --verbose collect --fast").outLines();
  ASSERT_EQ(verbose.size(), 7 + plain.size());
  EXPECT_EQ(std::vector<std::string>(verbose.begin(), verbose.begin() + 7), run.outLines()) << "details first";
  EXPECT_EQ(std::vector<std::string>(verbose.begin() + 7, verbose.end()), plain);
}

TEST(Cli, SysinfoOnWindows10) {
  const auto sample = copySample("win10");
  const CliRun run = korvane(machineArgument(sample) + " sysinfo");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.outLines().at(0), "Operating System: Microsoft Windows 10");
  EXPECT_EQ(run.outLines().at(2), "Build Numbered: 19045");
  EXPECT_EQ(run.outLines().at(5), "System Directory: C:\\Windows");
}

TEST(Cli, LanguageIsKeptAndUsedForEveryOutput) {
  const auto sample = copySample("xp");
  CliRun run = korvane(machineArgument(sample) + " language french");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("La langue de l'interface est maintenant le français."), std::string::npos) << run.out;
  run = korvane(machineArgument(sample) + " sysinfo");
  EXPECT_EQ(run.outLines().at(0), "Système d'exploitation : Microsoft Windows XP");
  run = korvane(machineArgument(sample) + " collect --fast");
  EXPECT_NE(run.err.find("status: 18 périphériques trouvés."), std::string::npos) << run.err;
  run = korvane(machineArgument(sample) + " nonsense");
  EXPECT_NE(run.err.find("commande ou option inconnue : nonsense"), std::string::npos) << run.err;
  run = korvane(machineArgument(sample) + " language Klingon");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("Klingon"), std::string::npos) << run.err;
}

TEST(Cli, BackupCopiesTheRowsIntoTheirFolders) {
  const auto sample = copySample("xp");
  const CliRun run = korvane(machineArgument(sample) + " backup 1 2 3 --to 'C:\\OUT' --fast");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const fs::path out = sample.host->path() / "drive_c/OUT";
  for (const char* folder : {"__ No Description 20 __", "Aldmoor SMBus Controller",
                             "Brennet FastLink 10 100 PCI Ethernet Adapter"}) {
    EXPECT_TRUE(fs::exists(out / folder / "Setup.DIY")) << folder;
  }
  EXPECT_TRUE(fs::exists(out / "Brennet FastLink 10 100 PCI Ethernet Adapter/brnfast.sys"));
  EXPECT_NE(run.err.find("message: Aldmoor SMBus Controller Installation Package created successfully!"),
            std::string::npos) << run.err;
  expectOnlyTheCommandsLines(run);
  EXPECT_EQ(run.out.find('\t'), std::string::npos) << "no driver list after the run";

  const CliRun bad = korvane(machineArgument(sample) + " backup 99 --fast");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("1 to 18"), std::string::npos) << bad.err;
}

TEST(Cli, BackupAsPackagesLeavesOnlyThePackages) {
  const auto sample = copySample("xp");
  const fs::path out = sample.host->path() / "drive_c/OUT";
  const CliRun cab = korvane(machineArgument(sample) + " backup 3 --to 'C:\\OUT' --fast --cab");
  ASSERT_EQ(cab.exitCode, 0) << cab.err;
  const CliRun exe = korvane(machineArgument(sample) + " backup 2 --to 'C:\\OUT' --fast --exe");
  ASSERT_EQ(exe.exitCode, 0) << exe.err;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Aldmoor SMBus Controller.EXE",
                                             "Brennet FastLink 10 100 PCI Ethernet Adapter.CAB"}));
  EXPECT_EQ(slurp(out / "Aldmoor SMBus Controller.EXE").compare(0, 2, "MZ"), 0);
}

// The 1-based row numbers of the captions, as collect --fast numbers them.
std::vector<size_t> rowNumbers(const SampleMachine& sample, const std::vector<std::string>& captions) {
  ScriptedView view;
  TForm1 form(*sample.machine, view);
  form.FormCreate();
  form.BitBtn8Click();
  std::vector<size_t> numbers;
  for (const auto& caption : captions)
    for (size_t row = 0; row < form.ListView1.Count(); ++row)
      if (form.ListView1.Text(row, 0) == caption) numbers.push_back(row + 1);
  EXPECT_EQ(numbers.size(), captions.size());
  return numbers;
}

// backup names every row it did not back up and exits as backup-all does.
TEST(Cli, BackupExitsOneForDriversLeftOutAndTwoWhenItCannotRun) {
  const auto sample = copySample("xp");
  const auto rows = rowNumbers(sample, {"Kestrow VPN Virtual Adapter", "Velmar TouchPad", "Orvik SoundWave 64"});
  ASSERT_EQ(rows.size(), 3u);
  const std::string numbers = " " + std::to_string(rows[0]) + " " + std::to_string(rows[1]) + " " + std::to_string(rows[2]);
  const CliRun run = korvane(machineArgument(sample) + " backup" + numbers + " --to 'C:\\OUT' --fast");
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.out.find("NOT backed up: Kestrow VPN Virtual Adapter (its INF file is no longer on this computer)"),
            std::string::npos) << run.out;
  EXPECT_NE(run.err.find("korvane: 1 of the drivers could not be backed up"), std::string::npos) << run.err;
  const fs::path out = sample.host->path() / "drive_c/OUT";
  EXPECT_TRUE(fs::exists(out / "Velmar TouchPad/Setup.DIY"));
  EXPECT_TRUE(fs::exists(out / "Orvik SoundWave 64/Setup.DIY")) << "the row after the missing driver too";
  EXPECT_FALSE(fs::exists(out / "Kestrow VPN Virtual Adapter"));

  fs::create_directories(out / "Velmar TouchPad.EXE");
  const CliRun exe = korvane(machineArgument(sample) + " backup " + std::to_string(rows[1]) + " --to 'C:\\OUT' --fast --exe");
  EXPECT_EQ(exe.exitCode, 1) << exe.err;
  EXPECT_NE(exe.err.find("could not be written"), std::string::npos) << exe.err;

  const CliRun nowhere = korvane(machineArgument(sample) + " backup" + numbers + " --to 'Q:\\X' --fast --cab");
  EXPECT_EQ(nowhere.exitCode, 2) << nowhere.err;
  EXPECT_NE(nowhere.err.find("Cannot create directory Q:\\X"), std::string::npos) << nowhere.err;
  EXPECT_EQ((nowhere.out + nowhere.err).find("created successfully"), std::string::npos) << nowhere.out << nowhere.err;
}

TEST(Cli, BackupAllShowsWhereItIsAndCountsWhatFailed) {
  const auto sample = copySample("xp");
  const CliRun run = korvane(machineArgument(sample) + " backup-all --fast --to 'C:\\ALL'");
  EXPECT_EQ(run.exitCode, 1) << "one driver of the sample is already gone\n" << run.err;
  // Into a file: no progress, the messages, the last status, and the closing line about the lines above.
  EXPECT_THAT(run.err, EndsWith("message: 17 driver collect and backup successfully.\n"
                                "status: Package created successfully!\n"
                                "korvane: 1 of the drivers could not be backed up; the lines marked NOT backed up say "
                                "why\n"));
  EXPECT_EQ(run.err.find("status: "), run.err.rfind("status: ")) << run.err;
  EXPECT_EQ(run.err.find("window"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("[Backup]->[Stop]"), std::string::npos) << "the window's menu means nothing here\n" << run.err;
  expectOnlyTheCommandsLines(run);
  EXPECT_EQ(run.out.find("The above shows"), std::string::npos) << "the list it speaks of is not shown";
  EXPECT_NE(run.out.find("NOT backed up: Kestrow VPN Virtual Adapter (its INF file is no longer on this computer)"),
            std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\tpci\\"), std::string::npos) << "no driver list after the run";
  EXPECT_TRUE(fs::exists(sample.host->path() / "drive_c/ALL/Aldmoor SMBus Controller/Setup.DIY"));

  const CliRun bad = korvane(machineArgument(sample) + " backup-all --exe");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("backup-all --exe"), std::string::npos) << bad.err;
}

TEST(Cli, BackupAllToOneInstaller) {
  const auto sample = copySample("xp");
  const CliRun run = korvane(machineArgument(sample) + " backup-all --fast --one-exe --to 'C:\\ALL'");
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("message: All your drivers are packed to the automatic installer C:\\ALL\\AllDrivers.EXE"),
            std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(sample.host->path() / "drive_c/ALL/AllDrivers.EXE"));
  EXPECT_FALSE(fs::exists(sample.host->path() / "drive_c/ALL/AllDrivers.CAB"));
}

// The third-party drivers of the Windows 10 sample: the store package each
// was installed from, and the hardware ID its backup records.
struct Windows10Driver {
  const char* caption;
  const char* package;
  const char* hardwareId;
  std::string inf() const {  // the package's own INF: "tessgfx.inf" of "tessgfx.inf_amd64_..."
    const std::string name = package;
    return name.substr(0, name.find(".inf_") + 4);
  }
};
constexpr Windows10Driver kWindows10Drivers[] = {
    {"Corvetta NVMe Storage Controller", "corvnvme.inf_amd64_548c06c4f5a08c19", "pci\\ven_1f4c&dev_5012"},
    {"Orvik SoundWave HD Audio", "orvkhda.inf_amd64_a51477f4b2a426ea", "hdaudio\\func_01&ven_1e2b&dev_0897"},
    {"Tessaline Vistra RX 6400", "tessgfx.inf_amd64_0e88d1a63d92a85d", "pci\\ven_1d4e&dev_0640"},
    {"Brennet WaveLink AX210 Wi-Fi 6E Adapter", "brnwave.inf_amd64_b23430c18e575d3f", "pci\\ven_1e91&dev_2725"},
    {"Velmar Precision TouchPad", "vlmptp.inf_amd64_500d843eabca77c7", "hid\\vid_1f3d&pid_0c21&col01"},
    {"Halden USB Serial Port", "hldnser.inf_amd64_85aa54f1007cd362", "usb\\vid_1f0c&pid_7301"},
    {"Pellwick USB 3.0 Card Reader", "pwcrdr.inf_amd64_373ba4d25f886b7d", "usb\\vid_1f7a&pid_0630"}};

fs::path windows10Store(const SampleMachine& sample) {
  return sample.host->path() / "drive_c/Windows/System32/DriverStore/FileRepository";
}

// On Windows 10 every third-party driver is backed up as the very package it
// was installed from, whichever way the package is found: the keys, the
// keys' Active one of two versions, the INF's bytes when the keys are
// missing, point nowhere or name a place outside the store.
TEST(Cli, BackupAllOnWindows10TakesEveryPackageWhole) {
  const auto sample = copySample("win10");
  const CliRun run = korvane(machineArgument(sample) + " backup-all --fast --to 'C:\\Backup'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const fs::path backup = sample.host->path() / "drive_c/Backup";
  std::vector<std::string> folders;
  for (const auto& entry : fs::directory_iterator(backup)) folders.push_back(entry.path().filename().string());
  EXPECT_EQ(folders.size(), std::size(kWindows10Drivers)) << "the inbox drivers stay out";
  for (const auto& driver : kWindows10Drivers) {
    auto backedUp = treeWithBytes(backup / driver.caption);
    EXPECT_EQ(backedUp.erase("Setup.DIY"), 1u) << driver.caption;
    EXPECT_EQ(backedUp, treeWithBytes(windows10Store(sample) / driver.package)) << driver.caption;
    EXPECT_NE(run.out.find("Backed up as its complete driver store package: C:\\Windows\\System32\\DriverStore\\"
                           "FileRepository\\" + std::string(driver.package)),
              std::string::npos)
        << driver.caption;
  }
  EXPECT_NE(run.out.find("Ignored the driver store package name \"../../../Temp\": it is not a single folder name."),
            std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("No driver store package found"), std::string::npos) << run.out;
}

// The lines of the image's actions.log: what would have been run.
std::string actionsOf(const SampleMachine& sample) { return slurp(sample.host->path() / "actions.log"); }

// The Windows folder's files with their bytes, but for the settings file that every run writes.
std::map<std::string, std::string> windowsFiles(const fs::path& drive) {
  auto files = treeWithBytes(drive / "Windows");
  files.erase("Korvane.ini");
  return files;
}

std::string installToolRun(const std::string& parameters, const std::string& folder) {
  return "execute\topen\t\"C:\\Windows\\devmount.exe\"\t" + parameters + "\t" + folder + "\t5\n";
}

// Each package backup of the Windows 10 sample goes back through the
// installation tool, run on the package's own INF where the backup lies, so
// that the sub-folders its INF names are still there; Korvane itself copies
// nothing into the Windows folder. Restore All hands the whole backup to the
// tool, and so does restoring an unpacked CAB package, which has no Setup.DIY.
TEST(Cli, EveryPackageBackupOfWindows10GoesBackThroughTheTool) {
  const auto sample = copySample("win10");
  ASSERT_EQ(korvane(machineArgument(sample) + " backup-all --fast --to 'C:\\Backup'").exitCode, 0);
  const fs::path drive = sample.host->path() / "drive_c";
  const auto backup = treeWithBytes(drive / "Backup"), windows = windowsFiles(drive);
  std::string tools;
  for (const auto& driver : kWindows10Drivers) {
    const std::string folder = std::string("C:\\Backup\\") + driver.caption, inf = folder + "\\" + driver.inf();
    const CliRun run = korvane(machineArgument(sample) + " restore " + quoted(fs::path(folder)));
    EXPECT_EQ(run.exitCode, 0) << driver.caption << ": " << run.err;
    EXPECT_NE(run.out.find("Installating " + inf + " device driver into your system"), std::string::npos) << run.out;
    tools += installToolRun("\"" + inf + "\" \"" + driver.hardwareId + "\"", folder);
  }
  EXPECT_EQ(actionsOf(sample), tools);

  const CliRun all = korvane(machineArgument(sample) + " restore-all 'C:\\Backup'");
  EXPECT_EQ(all.exitCode, 0) << all.err;
  tools += installToolRun("add-driver \"C:\\BACKUP\\.\"", "C:\\BACKUP\\");
  EXPECT_EQ(actionsOf(sample), tools);
  EXPECT_TRUE(treeWithBytes(drive / "Backup") == backup) << "the backup is restored as it lies";
  EXPECT_TRUE(windowsFiles(drive) == windows) << "the tool copies, Korvane does not";

  const CliRun cab = korvane(machineArgument(sample) + " backup 6 --fast --cab --to 'C:\\Cabs'");
  ASSERT_EQ(cab.exitCode, 0) << cab.err;
  const CliRun unpacked =
      korvane(machineArgument(sample) + " cab extract 'C:\\Cabs\\Tessaline Vistra RX 6400.CAB' 'C:\\Unpacked'");
  ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
  EXPECT_EQ(treeWithBytes(drive / "Unpacked"), treeWithBytes(windows10Store(sample) / kWindows10Drivers[2].package));
  const CliRun run = korvane(machineArgument(sample) + " restore 'C:\\Unpacked'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(actionsOf(sample), tools + installToolRun("add-driver \"C:\\Unpacked\\.\"", "C:\\Unpacked"));
  EXPECT_TRUE(windowsFiles(drive) == windows);
}

// details prints what selecting the row shows in the window, without its blank lines.
TEST(Cli, DetailsPrintsWhatSelectingTheRowShows) {
  const auto sample = copySample("xp");
  ScriptedView view;
  TForm1 form(*sample.machine, view);
  form.FormCreate();
  form.BitBtn8Click();
  for (size_t row = 0; row < form.ListView1.Count(); row += 4) {
    form.ListView1SelectItem(row, true);
    std::vector<std::string> shown;
    std::copy_if(form.Memo1.begin(), form.Memo1.end(), std::back_inserter(shown),
                 [](const std::string& line) { return line.find_first_not_of(' ') != std::string::npos; });
    const CliRun run = korvane(machineArgument(sample) + " details " + std::to_string(row + 1) + " --fast");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.outLines(), shown) << "row " << row + 1;
  }
}

TEST(Cli, DetailsTakesExactlyOneRowOfTheList) {
  const auto sample = copySample("xp");
  for (const char* rows : {"0", "19", "1 2", "x", ""}) {
    const CliRun run = korvane(machineArgument(sample) + " details " + rows + " --fast");
    EXPECT_EQ(run.exitCode, 2) << rows;
    EXPECT_NE(run.err.find("1 to 18"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Designed for"), std::string::npos) << "nothing described for '" << rows << "'";
  }
  const CliRun all = korvane(machineArgument(sample) + " details 41");
  EXPECT_EQ(all.exitCode, 0) << "Collect All lists every driver";
  EXPECT_EQ(all.out.find("\t"), std::string::npos) << "the list itself is not printed";
}

// remove asks first; only a yes removes, and the account of what went is printed.
TEST(Cli, RemoveAsksAndPrintsWhatWasRemoved) {
  const auto sample = copySample("xp");
  const fs::path windows = sample.host->path() / "drive_c/WINDOWS";
  const std::string question =
      "question: Are you sure that you are to remove the driver for \"Brennet FastLink 10/100 PCI Ethernet Adapter\" ?";
  const CliRun no = korvane(machineArgument(sample) + " --no remove 3 --fast");
  ASSERT_EQ(no.exitCode, 0) << no.err;
  EXPECT_NE(no.err.find(question + " [y/n] n"), std::string::npos) << no.err;
  EXPECT_TRUE(fs::exists(windows / "system32/drivers/brnfast.sys"));
  EXPECT_EQ(no.out.find("File deleted"), std::string::npos) << no.out;

  const CliRun yes = korvane(machineArgument(sample) + " --yes remove 3 --fast");
  ASSERT_EQ(yes.exitCode, 0) << yes.err;
  EXPECT_THAT(yes.out, StartsWith("Removal of the driver for \"Brennet FastLink 10/100 PCI Ethernet Adapter\":\n"));
  EXPECT_NE(yes.out.find("File deleted: C:\\WINDOWS\\System32\\drivers\\brnfast.sys\n"), std::string::npos)
      << yes.out;
  EXPECT_EQ(yes.out.find("Preparing to generate"), std::string::npos) << "the steps' own lines stay quiet";
  EXPECT_EQ(yes.out.find("\t"), std::string::npos) << "nor is the list printed";
  EXPECT_NE(yes.err.find("message: Removed successfully!"), std::string::npos) << yes.err;
  EXPECT_FALSE(fs::exists(windows / "system32/drivers/brnfast.sys"));
  std::string error;
  const auto after = openImageMachine(sample.host->path(), error);
  ASSERT_TRUE(after) << error;
  EXPECT_TRUE(after->files().exists(
      "C:\\Korvane\\Removed\\Brennet FastLink 10 100 PCI Ethernet Adapter\\C\\WINDOWS\\system32\\drivers\\brnfast.sys"));
  const CliRun listed = korvane(machineArgument(sample) + " collect");
  EXPECT_EQ(listed.out.find("Brennet FastLink"), std::string::npos) << "its class keys are gone from the registry";

  const CliRun bad = korvane(machineArgument(sample) + " --yes remove 1 2 --fast");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("1 to 17"), std::string::npos) << bad.err;
}

TEST(Cli, ErrorsSayWhatIsWrong) {
  CliRun run = korvane("collect");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("--machine"), std::string::npos);

  run = korvane("--machine /nonexistent/image collect");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("/nonexistent/image"), std::string::npos) << run.err;

  const auto sample = copySample("xp");
  run = korvane(machineArgument(sample) + " frobnicate");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("frobnicate"), std::string::npos) << run.err;

  run = korvane("--help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("collect --fast"), std::string::npos);
}

TEST(Cli, RestoreRunsTheInstallationToolOnTheFoldersDescriptor) {
  const auto sample = copySample("xp");
  writeHostFile(sample.host->path() / "drive_c/Korvane/Net/oem5.inf", "[Version]\r\n");
  writeHostFile(sample.host->path() / "drive_c/Korvane/Net/Setup.DIY", "PCI\\VEN_1E91\r\noem5.inf\r\n");
  const CliRun run = korvane(machineArgument(sample) + " restore 'C:\\Korvane\\Net'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Installating C:\\Korvane\\Net\\oem5.inf device driver into your system ......."),
            std::string::npos)
      << run.out;
  EXPECT_EQ(actionsOf(sample), "execute\topen\t\"C:\\WINDOWS\\devmount.exe\"\t\"C:\\Korvane\\Net\\oem5.inf\" "
                               "\"PCI\\VEN_1E91\"\tC:\\Korvane\\Net\t5\n");
  EXPECT_FALSE(fs::exists(sample.host->path() / "drive_c/WINDOWS/devmount.exe")) << "shutdown deletes the tool";
}

TEST(Cli, RestoreWithoutDescriptorCopiesAndAsksBeforeRestarting) {
  const auto sample = copySample("xp");
  writeHostFile(sample.host->path() / "drive_c/Korvane/Old/old.inf", "old inf");
  const CliRun no = korvane(machineArgument(sample) + " --no restore 'C:\\Korvane\\Old\\'");
  ASSERT_EQ(no.exitCode, 0) << no.err;
  EXPECT_NE(no.err.find("question: Restart Windows now to finish restoring the drivers? [y/n] n"), std::string::npos)
      << no.err;
  EXPECT_EQ(slurp(sample.host->path() / "drive_c/WINDOWS/inf/old.inf"), "old inf");
  EXPECT_EQ(actionsOf(sample), "");
  const CliRun yes = korvane(machineArgument(sample) + " --yes restore 'C:\\Korvane\\Old'");
  ASSERT_EQ(yes.exitCode, 0) << yes.err;
  EXPECT_EQ(actionsOf(sample), "restart 2\n");
}

TEST(Cli, RestoreAllCopiesTheChosenFolderAndReportsFailures) {
  const auto sample = copySample("xp");
  writeHostFile(sample.host->path() / "drive_c/Korvane/Net/net.inf", "net");
  writeHostFile(sample.host->path() / "drive_c/Empty/Setup.DIY", "");
  const CliRun run = korvane(machineArgument(sample) + " --yes restore-all 'c:\\korvane'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("-> C:\\KORVANE\\Net\\\n-> C:\\KORVANE\\\n"), std::string::npos) << run.out;
  EXPECT_EQ(slurp(sample.host->path() / "drive_c/WINDOWS/Options/Cabs/net.inf"), "net");
  EXPECT_EQ(actionsOf(sample), "restart 2\n");

  const CliRun empty = korvane(machineArgument(sample) + " --yes restore-all 'C:\\Empty'");
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_NE(empty.out.find("There is no file to restore in C:\\EMPTY\\"), std::string::npos) << empty.out;
  EXPECT_NE(empty.err.find("the restore did not complete"), std::string::npos) << empty.err;
  EXPECT_EQ(empty.err.find("question:"), std::string::npos) << "no restart offered";

  for (const char* folder : {"'C:\\Nowhere'", "nil", "''"}) {
    const CliRun missing = korvane(machineArgument(sample) + " --yes restore-all " + folder);
    EXPECT_EQ(missing.exitCode, 2) << folder;
    EXPECT_TRUE(missing.err.find("no such folder") != std::string::npos ||
                missing.err.find("Invalid Directory Name") != std::string::npos)
        << missing.err;
  }
  EXPECT_EQ(actionsOf(sample), "restart 2\n") << "nothing more was done";
}

TEST(Cli, InstallNewAndRestoreOnWindows98OpenTheWizard) {
  const auto sample = copySample("win98");
  CliRun run = korvane(machineArgument(sample) + " install-new");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("[2] Select the second item 'Choose from list (N)', click 'Next'"), std::string::npos);
  run = korvane(machineArgument(sample) + " restore 'C:\\WINDOWS'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string wizard = "execute\topen\trundll32.exe\tshell32.dll,Control_RunDLL sysdm.cpl @1\t\t5\n";
  EXPECT_EQ(actionsOf(sample), wizard + wizard);

  run = korvane(machineArgument(sample) + " restore");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("give one folder of the machine, for example C:\\Korvane\\<driver>"), std::string::npos)
      << run.err;
  run = korvane(machineArgument(sample) + " restore 'C:\\Missing'");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("no such folder on the machine: C:\\Missing"), std::string::npos) << run.err;
}

// Without --machine, cab packs and unpacks this computer's own folders.
TEST(Cli, CabWithoutMachineWorksOnHostFolders) {
  TempDir temp;
  const fs::path work = fs::canonical(temp.path());
  writeHostFile(work / "src/a.txt", "alpha");
  writeHostFile(work / "src/Sous-dossier/été.bin", std::string(70000, 'x'));
  const CliRun create = korvane("cab create out.cab src", work);
  ASSERT_EQ(create.exitCode, 0) << create.err;
  EXPECT_EQ(create.out, (work / "out.cab").string() + " written: 2 files.\n") << "shown as a path of this computer";

  const CliRun extract = korvane("cab extract " + quoted(work / "out.cab") + " " + quoted(work / "dst"));
  ASSERT_EQ(extract.exitCode, 0) << extract.err;
  EXPECT_EQ(extract.out, "2 files extracted to " + (work / "dst").string() + ".\n");
  EXPECT_NE(extract.err.find("extracted " + (work / "dst/Sous-dossier/été.bin").string() + "\n"), std::string::npos)
      << extract.err;
  EXPECT_EQ(slurp(work / "dst/a.txt"), "alpha");
  EXPECT_EQ(slurp(work / "dst/Sous-dossier/été.bin"), std::string(70000, 'x'));

  const CliRun backslash = korvane("cab extract out.cab 'a\\b'", work);
  EXPECT_EQ(backslash.exitCode, 2);
  EXPECT_NE(backslash.err.find("cannot use a\\b: a backslash"), std::string::npos) << backslash.err;
  EXPECT_FALSE(fs::exists(work / "a\\b"));
  const CliRun missing = korvane("cab extract nothing.cab dst2", work);
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("nothing.cab"), std::string::npos) << missing.err;
}

// On a terminal the status is rewritten on one line that fits its width, and the last one stays.
std::string storedProxy(const SampleMachine& sample, const char* key) {
  std::string error;
  const auto machine = openImageMachine(sample.host->path(), error);
  return machine ? machine->profiles().readString("Korvane.ini", "Proxy", key, "?") : error;
}

TEST(Cli, ProxyStoresWhatItIsGivenAndNeverShowsThePassword) {
  const auto sample = copySample("xp");
  const std::string proxy = machineArgument(sample) + " proxy";
  CliRun run = korvane(proxy + " --address 10.0.0.1 --port 8080 --user anna --password-stdin", {}, "s3cret\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> manual = {"proxy: 10.0.0.1:8080", "proxy user: anna, password stored"};
  EXPECT_EQ(run.outLines(), manual);
  EXPECT_EQ(storedProxy(sample, "AuthPassword"), "s3cret");
  EXPECT_EQ(storedProxy(sample, "AutoProxy"), "Non");
  run = korvane(proxy);
  EXPECT_EQ(run.outLines(), manual) << "without options it only shows";
  EXPECT_EQ((run.out + run.err).find("s3cret"), std::string::npos);

  run = korvane(proxy + " --system");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.outLines(), std::vector<std::string>{"proxy: the system's Internet settings"});
  EXPECT_EQ(storedProxy(sample, "AutoProxy"), "Oui");
  EXPECT_EQ(storedProxy(sample, "Address"), "10.0.0.1") << "kept, though not used";

  run = korvane(proxy + " --address 10.0.0.2 --port 3128");
  EXPECT_EQ(run.outLines(), std::vector<std::string>{"proxy: 10.0.0.2:3128"});
  EXPECT_EQ(storedProxy(sample, "AuthLoginName") + storedProxy(sample, "AuthPassword"), "")
      << "a proxy without a login drops the old one";
}

TEST(Cli, ProxyRefusesOptionsThatMakeNoSense) {
  const auto sample = copySample("xp");
  const std::string proxy = machineArgument(sample) + " proxy";
  for (const char* options : {" --address 10.0.0.1", " --system --port 8080", " --address a --port 70000",
                              " --address a --port 80x", " --address a:1 --port 80", " --address a --port 80 --password-stdin",
                              " --port 80 --port 81 --address a", " --socks"}) {
    const CliRun run = korvane(proxy + options);
    EXPECT_EQ(run.exitCode, 2) << options;
    EXPECT_NE(run.err.find("use: proxy [--system"), std::string::npos) << options << ": " << run.err;
  }
  const CliRun run = korvane(proxy + " --address a --port 80 --user anna --password-stdin");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("no password could be read"), std::string::npos) << run.err;
  EXPECT_EQ(storedProxy(sample, "AutoProxy"), "Oui") << "nothing was changed";
}

TEST(Cli, StatusLineOnATerminal) {
  if (std::system("script -qec true /dev/null </dev/null >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no script command, or no pseudo-terminal, to lend korvane a terminal";
  const auto sample = copySample("xp");
  TempDir capture;
  writeHostFile(capture.path() / "run.sh", "stty cols 40\n" + quoted(KORVANE_CLI) + " " + machineArgument(sample) +
                                              " backup 3 --fast --to 'C:\\OUT' >/dev/null\n");
  const fs::path typescript = capture.path() / "typescript";
  const std::string command =
      "script -qec \"sh " + quoted(capture.path() / "run.sh") + "\" /dev/null </dev/null >" + quoted(typescript);
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string shown = slurp(typescript);
  EXPECT_EQ(shown.find("status: "), std::string::npos) << shown;
  const size_t last = shown.rfind("\rPackage created successfully!");
  ASSERT_NE(last, std::string::npos) << shown;
  EXPECT_EQ(shown.find_first_not_of(" \r\n", last + 30), std::string::npos) << "it ends the output: " << shown;
  std::istringstream pieces(shown);
  for (std::string piece; std::getline(pieces, piece, '\r');)
    if (!piece.starts_with("message: ")) {
      EXPECT_LE(piece.find_last_not_of(' ') + 1, 39u) << piece;
    }
}

// An image with one driver whose listing goes to the backup-all folder given.
ImageBuilder& listingImage(ImageBuilder& image, const std::string& backupAllFolder) {
  image.registry("d.reg", "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{A}\\0000]\r\n"
                          "\"DriverDesc\"=\"Zeta Audio\"\r\n\"InfPath\"=\"oem1.inf\"\r\n\"ProviderName\"=\"Orvik\"\r\n\r\n");
  image.file("WINDOWS\\Korvane.ini", "[Folder]\r\nBackupAll=" + backupAllFolder + "\r\n");
  image.open();
  return image;
}

TEST(CliListing, SaveWritesTheFileAndSaysWhere) {
  ImageBuilder image;
  listingImage(image, "C:\\Lists\\New");
  const CliRun run = korvane("--machine " + quoted(image.root()) + " listing --save");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "OK\n");
  EXPECT_THAT(run.err, testing::HasSubstr("C:\\Lists\\New\\DeviceListing.txt"));
  EXPECT_THAT(slurp(image.root() / "drive_c/Lists/New/DeviceListing.txt"), testing::HasSubstr("[Zeta Audio]\r\n"));
}

TEST(CliListing, UnwritableFolderOrNoPrinterFailsWithoutOk) {
  ImageBuilder image;
  image.file("Blocked", "a file where the folder should be");
  listingImage(image, "C:\\Blocked\\Lists");
  for (const char* target : {"--save", "--print"}) {
    const CliRun run = korvane("--machine " + quoted(image.root()) + " listing " + target);
    EXPECT_EQ(run.exitCode, 2) << target;
    EXPECT_EQ(run.out.find("OK"), std::string::npos) << target << run.out;
  }
  EXPECT_FALSE(fs::exists(image.root() / "spool"));
}

TEST(CliHelp, AboutPrintsItsTextsAndLinksReachTheShell) {
  ImageBuilder image;
  image.set("Hosts", "www.example.com", "127.0.0.1");  // the web site goes nowhere: port 80 of loopback
  image.open();
  const std::string machine = "--machine " + quoted(image.root());
  const CliRun about = korvane(machine + " about");
  EXPECT_EQ(about.exitCode, 0);
  EXPECT_THAT(about.outLines(), testing::ElementsAre("Korvane 3.11", testing::_, "E-mail: info@example.com",
                                                     "http://www.example.com"));
  EXPECT_EQ(korvane(machine + " homepage").exitCode, 0);
  EXPECT_EQ(korvane(machine + " write-to-us").exitCode, 0);
  EXPECT_THAT(image.actions(), testing::ElementsAre("execute\topen\thttp://www.example.com\t\t\t1",
                                                    "execute\topen\tmailto:support@example.com?subject=Korvane%203.11%20"
                                                    "%5BEnglish%5D\t\t\t1"));
  const CliRun manual = korvane(machine + " manual");  // not beside the program, nor on the site
  EXPECT_EQ(manual.exitCode, 2);
  EXPECT_THAT(manual.err, testing::HasSubstr("The manual ManuelEN.chm could not be fetched"));
}

}  // namespace
}  // namespace korvane::test
