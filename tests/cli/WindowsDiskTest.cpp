// korvane --windows on disks made from the samples: the rows of the machine
// images, and nothing written to the disk.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "backup/BackupTestSupport.h"
#include "platform/image/ImageFileSystem.h"
#include "platform/image/ImageMachine.h"
#include "support/HiveWriter.h"
#include "support/HostCommand.h"
#include "support/TestMachine.h"

namespace korvane::test {
namespace {

namespace fs = std::filesystem;

// A Windows disk made from a sample: its drive C, the registry written as
// the hive files Windows keeps, and a home folder for the user running korvane.
class SampleDisk {
 public:
  explicit SampleDisk(const std::string& sample) {
    fs::copy(fs::path(KORVANE_SAMPLES) / sample / "drive_c", disk(), fs::copy_options::recursive);
    fs::create_directories(home());
    std::string error;
    const auto image = openImageMachine(fs::path(KORVANE_SAMPLES) / sample, error);
    if (!image) throw std::runtime_error(error);
    const auto hives = hivesOf(image->registry());
    const std::string config = image->environment().get("windir").value_or("") + "\\System32\\config\\";
    writeHostFile(place(config + "SYSTEM"), writeHive(hives.system));
    writeHostFile(place(config + "SOFTWARE"), writeHive(hives.software));
    writeHostFile(place(config + "DEFAULT"), writeHive(hives.defaultUser));
    writeHostFile(place(image->environment().get("USERPROFILE").value_or("") + "\\NTUSER.DAT"),
                  writeHive(hives.user));
  }

  fs::path disk() const { return folder_.path() / "disk"; }
  fs::path home() const { return folder_.path() / "home"; }
  // The host file a path on drive C stands for, found as Windows finds it.
  fs::path place(const std::string& pathOnC) const {
    ImageFileSystem files({{'C', disk()}}, "C:\\", "C:\\");
    return *files.hostPath(pathOnC);
  }

  // The folder korvane runs in, beside the disk.
  fs::path work() const { return folder_.path(); }

  // Every file and folder of the disk with its size, time and bytes: what a write would change.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(disk())) {
      const auto time = entry.last_write_time().time_since_epoch().count();
      entries[entry.path().string()] =
          std::to_string(entry.is_regular_file() ? entry.file_size() : 0) + " " + std::to_string(time) + " " +
          std::to_string(entry.is_regular_file() ? std::hash<std::string>()(hostBytes(entry.path())) : 0);
    }
    return entries;
  }

  // korvane --windows DISK with the arguments, in work(); the output of both streams.
  std::string run(const std::string& arguments, int& status) const {
    std::string output;
    status = runCommand("cd " + quoted(work()) + " && " + korvaneLine(arguments), &output);
    return output;
  }

  // As run, with the disk bound read-only over itself where this machine
  // lets a user mount in a namespace of its own, as a disk mounted read-only
  // is; false when it does not.
  bool runReadOnly(const std::string& arguments, int& status, std::string& output) const {
    static const bool canMount = runCommand("unshare -Urm true") == 0;
    if (!canMount) return false;
    const fs::path script = work() / "read-only.sh";
    writeHostFile(script, "mount --bind " + quoted(disk()) + " " + quoted(disk()) + " && mount -o remount,bind,ro " +
                              quoted(disk()) + " || exit 90\n" +
                              "if touch " + quoted(disk() / "probe") + " 2>/dev/null; then exit 91; fi\n" +
                              "cd " + quoted(work()) + " && " + korvaneLine(arguments) + "\n");
    status = runCommand("unshare -Urm sh " + quoted(script), &output);
    fs::remove(script);
    return true;
  }

 private:
  std::string korvaneLine(const std::string& arguments) const {
    return "env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME HOME=" + quoted(home()) + " " + quoted(KORVANE_CLI) +
           " --windows " + quoted(disk()) + " " + arguments;
  }

  TempDir folder_;
};

// A backup's files by their path below the folder, with their bytes; a
// cabinet, alone or joined to an installer, by the files it holds instead
// of its own bytes, which record when each file was written.
std::map<std::string, std::string> backupContents(const fs::path& folder) {
  auto files = treeWithBytes(folder);
  for (auto& [name, bytes] : files) {
    const size_t cabinet = bytes.find("MSCF");
    if (cabinet == std::string::npos || !(name.ends_with(".CAB") || name.ends_with(".EXE"))) continue;
    TempDir extracted;
    std::string output;
    EXPECT_EQ(runCommand("cabextract -q -d " + quoted(extracted.path()) + " " + quoted(folder / name), &output), 0)
        << name << output;
    bytes.resize(cabinet);
    for (const auto& [inside, content] : treeWithBytes(extracted.path())) bytes += "\n" + inside + "\n" + content;
  }
  return files;
}

// The names of the files that one tree lacks or holds with other bytes.
std::vector<std::string> differingFiles(const std::map<std::string, std::string>& first,
                                        const std::map<std::string, std::string>& second) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : first)
    if (!second.contains(name) || second.at(name) != bytes) names.push_back(name);
  for (const auto& [name, bytes] : second)
    if (!first.contains(name)) names.push_back(name);
  return names;
}

std::string onImage(const SampleMachine& image, const std::string& arguments) {
  std::string output;
  EXPECT_EQ(runCommand(quoted(KORVANE_CLI) + " --machine " + quoted(image.host->path()) + " " + arguments, &output), 0)
      << output;
  return output;
}

TEST(WindowsDisk, ListsTheDriversTheMachineImageListsAndWritesNothingThere) {
  for (const char* sample : {"xp", "win10"}) {
    SCOPED_TRACE(sample);
    const SampleDisk disk(sample);
    const auto image = copySample(sample);
    const auto before = disk.snapshot();
    for (const char* command : {"collect", "collect --fast", "details 1 --fast"}) {
      int status = -1;
      const std::string output = disk.run(command, status);
      EXPECT_EQ(status, 0) << output;
      EXPECT_EQ(output, onImage(image, command)) << command;
    }
    EXPECT_EQ(disk.snapshot(), before);
    // The settings live in the user's own folder.
    EXPECT_TRUE(fs::exists(disk.home() / ".config" / "korvane" / "Korvane.ini"));
  }
}

// The backups of the disk into a Linux folder, typed relative to the
// current folder, hold the same bytes as those of the machine image: the
// driver-store packages of Windows 10 too, and the one installer whose stub
// is written out on the way. The disk is never written, even bound read-only.
TEST(WindowsDisk, BacksUpWhatTheMachineImageBacksUpWithoutWritingThere) {
  KORVANE_NEEDS(haveTool("cabextract"), "cabextract, to read the cabinets");
  for (const auto& [sample, kinds] : {std::pair<const char*, std::vector<std::string>>{"xp", {"", "--cab"}},
                                      {"win10", {"", "--one-exe"}}}) {
    const SampleDisk disk(sample);
    const auto image = copySample(sample);
    const auto before = disk.snapshot();
    for (const std::string& kind : kinds) {
      SCOPED_TRACE(std::string(sample) + " backup-all " + kind);
      std::string imageOutput;
      const int imageStatus = runCommand(quoted(KORVANE_CLI) + " --machine " + quoted(image.host->path()) +
                                             " backup-all --fast " + kind + " --to 'C:\\Rescued'",
                                         &imageOutput);
      std::string output;
      int status = -1;
      if (!disk.runReadOnly("backup-all --fast " + kind + " --to rescued", status, output))
        output = disk.run("backup-all --fast " + kind + " --to rescued", status);
      EXPECT_EQ(status, imageStatus) << output;
      EXPECT_NE(output.find(*windowsPathOfHost((disk.work() / "rescued").string())), std::string::npos) << output;
      const auto backedUp = backupContents(disk.work() / "rescued");
      EXPECT_GT(backedUp.size(), 3u);
      EXPECT_EQ(differingFiles(backedUp, backupContents(image.host->path() / "drive_c" / "Rescued")),
                std::vector<std::string>());
      fs::remove_all(disk.work() / "rescued");
      fs::remove_all(image.host->path() / "drive_c" / "Rescued");
      // The package stub was written out beside, in the user's own folder, and is gone with the run.
      EXPECT_TRUE(fs::is_empty(disk.home() / ".cache" / "korvane"));
    }
    EXPECT_EQ(disk.snapshot(), before);
  }
}

// A driver backed up from the disk goes back on the machine: the tool is
// run on its store package's own INF.
TEST(WindowsDisk, ABackupFromTheDiskRestoresOnTheMachine) {
  const SampleDisk disk("win10");
  int status = -1;
  const std::string output = disk.run("backup-all --fast --to rescued", status);
  ASSERT_EQ(status, 0) << output;
  const auto image = copySample("win10");
  fs::copy(disk.work() / "rescued" / "Tessaline Vistra RX 6400", image.host->path() / "drive_c" / "Rescued",
           fs::copy_options::recursive);
  onImage(image, "restore 'C:\\Rescued'");
  EXPECT_EQ(hostBytes(image.host->path() / "actions.log"),
            "execute\topen\t\"C:\\Windows\\devmount.exe\"\t\"C:\\Rescued\\tessgfx.inf\" \"pci\\ven_1d4e&dev_0640\"\t"
            "C:\\Rescued\t5\n");
}

// The backup's folder is a Linux folder outside the disk: one on the disk,
// named straight or through a link, is refused before anything is written.
TEST(WindowsDisk, ABackupFolderOnTheDiskIsRefused) {
  const SampleDisk disk("xp");
  fs::create_directory_symlink(disk.disk() / "WINDOWS", disk.work() / "link");
  const auto before = disk.snapshot();
  for (const std::string& folder : {(disk.disk() / "Rescued").string(), std::string("link/Rescued"),
                                    std::string("disk/../disk")}) {
    SCOPED_TRACE(folder);
    int status = -1;
    const std::string output = disk.run("backup-all --fast --to " + quoted(fs::path(folder)), status);
    EXPECT_EQ(status, 2) << output;
    EXPECT_NE(output.find(folder + " lies on the Windows disk " + disk.disk().string() + ", which is only read"),
              std::string::npos)
        << output;
  }
  int status = -1;
  const std::string output = disk.run("listing --save", status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find("listing on a disk opened with --windows needs --to FOLDER"), std::string::npos) << output;
  EXPECT_EQ(disk.snapshot(), before);
}

// The computer's name and language come from the hives as the machine image
// gives them in machine.ini: start-up's details and the listing's heading
// are those of the image.
TEST(WindowsDisk, SystemDetailsAndListingAreThoseOfTheMachineImage) {
  for (const char* sample : {"xp", "win10"}) {
    SCOPED_TRACE(sample);
    const SampleDisk disk(sample);
    const auto image = copySample(sample);
    int status = -1;
    EXPECT_EQ(disk.run("sysinfo", status), onImage(image, "sysinfo"));
    const std::string output = disk.run("listing --save --to " + quoted(disk.home() / "lists"), status);
    EXPECT_EQ(status, 0) << output;
    onImage(image, "listing --save --to 'C:\\Lists'");
    // The heading ends with the time of the run, which the image's clock fixes.
    const auto withoutTime = [](std::string listing) { return listing.erase(listing.find(" - "), listing.find('\r') - listing.find(" - ")); };
    const std::string listing = hostBytes(disk.home() / "lists" / "DeviceListing.txt");
    EXPECT_EQ(withoutTime(listing), withoutTime(hostBytes(image.host->path() / "drive_c" / "Lists" / "DeviceListing.txt")));
  }
}

// The language shown is that of the system locale; a disk without one, or
// with one that is no locale, falls back on the language's Default.
TEST(WindowsDisk, LanguageIsThatOfTheSystemLocale) {
  const SampleDisk disk("xp");
  std::string error;
  const auto image = openImageMachine(fs::path(KORVANE_SAMPLES) / "xp", error);
  ASSERT_TRUE(image) << error;
  WindowsHives hives = hivesOf(image->registry());
  HiveKey* nls = hives.system.subkey("ControlSet001")->subkey("Control")->subkey("Nls");
  ASSERT_TRUE(nls && nls->subkey("Locale"));
  const fs::path system = disk.place("C:\\WINDOWS\\system32\\config\\SYSTEM");
  for (const auto& [locale, shown] : {std::pair<std::string, std::string>{"0000040c", "French (France)"},
                                      {"French", "English (United States)"},
                                      {"", "English (United States)"}}) {
    SCOPED_TRACE(locale);
    nls->subkey("Locale")->values = {{"", RegValue::fromString(locale)}};
    writeHostFile(system, writeHive(hives.system));
    int status = -1;
    const std::string output = disk.run("sysinfo", status);
    EXPECT_NE(output.find("Local Language: " + shown + "\n"), std::string::npos) << output;
  }
}

TEST(WindowsDisk, CommandsThatWouldWriteThereAreRefused) {
  const SampleDisk disk("xp");
  const auto before = disk.snapshot();
  int status = -1;
  std::string output = disk.run("restore-all " + quoted(disk.home()), status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find("restore-all would change the Windows installation"), std::string::npos) << output;
  output = disk.run("remove 1", status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find("only read"), std::string::npos) << output;
  output = disk.run("listing --print", status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find("listing --print does not run on a disk opened with --windows; commands that do: collect, "
                        "details, sysinfo, language, about, backup, backup-all, listing --save\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(disk.snapshot(), before);
}

TEST(WindowsDisk, TheUserIsTheOneWhoWorkedLastOrTheOneNamed) {
  const SampleDisk disk("xp");
  const fs::path anna = disk.place("C:\\Documents and Settings\\anna\\NTUSER.DAT");
  const fs::path bob = anna.parent_path().parent_path() / "bob" / "NTUSER.DAT";
  writeHostFile(bob, writeHive({"ROOT", {}, {}}));
  fs::last_write_time(anna, fs::last_write_time(bob) - std::chrono::hours(1));
  int status = -1;
  EXPECT_NE(disk.run("sysinfo", status).find("Current User: bob\n"), std::string::npos);
  EXPECT_NE(disk.run("--user ANNA sysinfo", status).find("Current User: anna\n"), std::string::npos);
  const std::string output = disk.run("--user carl sysinfo", status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(output.find("no profile of the user carl"), std::string::npos) << output;
}

TEST(WindowsDisk, AMissingOrBrokenHiveIsNamed) {
  const SampleDisk disk("win10");
  const fs::path software = disk.place("C:\\Windows\\System32\\config\\SOFTWARE");
  writeHostFile(software, "regf");
  int status = -1;
  std::string output = disk.run("collect", status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find(software.string() + ": not a registry hive"), std::string::npos) << output;
  fs::remove_all(disk.place("C:\\Windows\\System32\\config"));
  output = disk.run("collect", status);
  EXPECT_EQ(status, 2) << output;
  EXPECT_NE(output.find("no Windows\\System32\\config folder here"), std::string::npos) << output;
}

// Whatever path leads onto the disk, drive C or the host's drive Z, every
// change fails there and still works beside it.
TEST(WindowsDisk, TheFileSystemChangesNothingOnTheDisk) {
  TempDir folder;
  const fs::path disk = folder.path() / "disk";
  writeHostFile(disk / "Windows" / "win.ini", "[windows]\n");
  ImageFileSystem files({{'C', disk}, {kHostDrive, "/"}}, "C:\\", "C:\\");
  files.protect(disk);
  const std::string beside = *windowsPathOfHost(folder.path().string());
  const std::string viaHost = *windowsPathOfHost(disk.string());
  for (const std::string& root : {std::string("C:"), viaHost}) {
    SCOPED_TRACE(root);
    const std::string ini = root + "\\WINDOWS\\WIN.INI";
    EXPECT_EQ(files.readFile(ini), "[windows]\n");
    EXPECT_FALSE(files.writeFile(root + "\\new.txt", "x"));
    EXPECT_FALSE(files.appendFile(ini, "x"));
    EXPECT_FALSE(files.createDirectory(root + "\\Korvane"));
    EXPECT_FALSE(files.copyFile(ini, root + "\\copy.ini", false));
    EXPECT_FALSE(files.moveFile(ini, beside + "\\moved.ini"));
    EXPECT_FALSE(files.deleteFile(ini));
    EXPECT_FALSE(files.setAttributes(ini, faReadOnly));
    EXPECT_FALSE(files.setFileTimes(ini, 0));
    EXPECT_FALSE(files.openFile(ini, OpenFor::Writing));
    EXPECT_FALSE(files.openFile(root + "\\made.txt", OpenFor::NewFile));
    EXPECT_FALSE(files.tempFileName(root + "\\Windows", "kor"));
    EXPECT_TRUE(files.openFile(ini, OpenFor::Reading));
  }
  EXPECT_TRUE(files.copyFile("C:\\Windows\\win.ini", beside + "\\win.ini", true));
  EXPECT_EQ(files.readFile(beside + "\\win.ini"), "[windows]\n");
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(disk), fs::recursive_directory_iterator()), 2);
}

}  // namespace
}  // namespace korvane::test
