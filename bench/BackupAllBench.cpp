// Backup All on a large machine image (scripts/make-bench-image): the command
// line's `backup-all --fast`, start-up and collect included, against the
// limit of one plain walk of the drive folder on the host, past our file
// layer, that picks out the file names the backup copied, plus the same
// copies. The two run in turns; the medians and their ratio are printed.
// With --check-targets the run fails when Korvane takes more than 1.5 times
// the limit's processor time.
//
// With --store the image is a Windows 10 machine whose drivers lie in the
// driver store (--drivers 200 for the store's own target): Korvane then
// copies each package whole, and the limit is the same walk plus the same
// copies.
//
// With --windows the image becomes the Windows disk it stands for
// (make_bench_disk: the same files, the registry as hive files) and Korvane
// rescues its drivers with `--windows DISK ... --to HOSTFOLDER`; the limit
// walks that disk.
//
// Usage: backup_all_bench [--files N] [--folders N] [--drivers N] [--store] [--image DIR]
//                         [--korvane PROGRAM] [--runs N] [--windows] [--smoke] [--check-targets]
// The image is written under the build folder on first use (--files 300000
// for the larger set), the disk beside it; --image takes one written before.
#include <ftw.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

namespace fs = std::filesystem;
using korvane::runQuietly;

constexpr double kTarget = 1.5;

struct Times {
  double cpu = 0;   // user and system time: what a shared machine disturbs least
  double wall = 0;
};

double seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }
double cpuSeconds(const rusage& usage) { return seconds(usage.ru_utime) + seconds(usage.ru_stime); }

std::string upper(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// What the runs back up: the drive the limit walks, the folder that takes
// every run's copies, and Korvane's command up to its --to.
struct Subject {
  std::vector<std::string> backUpAll;
  fs::path drive, copies;
  bool hostFolders = false;  // --to names a host folder, not one on the image's drive D

  std::string target(const std::string& folder) const {
    return hostFolders ? (copies / folder).string() : "D:\\" + folder;
  }
};

Times backUpWithKorvane(const Subject& subject, const std::string& folder) {
  const auto start = std::chrono::steady_clock::now();
  rusage usage{};
  std::vector<std::string> command = subject.backUpAll;
  command.insert(command.end(), {"--to", subject.target(folder)});
  const int code = runQuietly(command, &usage);
  // 1: done, but some drivers were left out: the image has files that lie nowhere.
  if (code != 0 && code != 1) {
    std::cerr << "backup_all_bench: " << command.front() << " failed with exit code " << code << "\n";
    std::exit(2);
  }
  return {cpuSeconds(usage), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// What a backup copied: each file's place in its output folder, by the
// upper-cased name the walk looks for.
using Copies = std::unordered_map<std::string, std::vector<fs::path>>;

Copies copiesIn(const fs::path& folder) {
  Copies copies;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      copies[upper(entry.path().filename().string())].push_back(fs::relative(entry.path(), folder));
  return copies;
}

// nftw takes no context: the walk in progress.
struct Walk {
  const Copies* wanted = nullptr;
  std::unordered_map<std::string, fs::path> found;  // the first file of each wanted name
  size_t entries = 0;
} walk;

int visit(const char* path, const struct stat*, int type, FTW* where) {
  ++walk.entries;
  if (type != FTW_F) return 0;
  const std::string name = upper(path + where->base);
  if (walk.wanted->count(name)) walk.found.try_emplace(name, path);
  return 0;
}

// The limit: one walk of the drive, a stat per entry as our layer needs for
// sizes and times, then the same copies into the same folders, each keeping
// its source's date.
Times walkAndCopy(const fs::path& drive, const Copies& wanted, const fs::path& out) {
  const auto start = std::chrono::steady_clock::now();
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  walk = Walk();
  walk.wanted = &wanted;
  nftw(drive.c_str(), visit, 64, FTW_PHYS);
  for (const auto& [name, source] : walk.found) {
    for (const auto& place : wanted.at(name)) {
      const fs::path target = out / place;
      fs::create_directories(target.parent_path());
      fs::copy_file(source, target, fs::copy_options::overwrite_existing);
      fs::last_write_time(target, fs::last_write_time(source));
    }
  }
  getrusage(RUSAGE_SELF, &after);
  return {cpuSeconds(after) - cpuSeconds(before),
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// Whether a copy lies in a sub-folder of its driver's folder: only a store
// package taken whole brings one.
bool anyInSubFolder(const Copies& copies) {
  for (const auto& [name, places] : copies)
    for (const auto& place : places)
      if (std::distance(place.begin(), place.end()) > 2) return true;
  return false;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Options {
  std::string files = "100000", folders = "3000", drivers = "150";
  fs::path image;
  fs::path korvane = KORVANE_CLI;  // another build's, to compare
  int runs = 5;
  bool windows = false;
  bool smoke = false;
  bool checkTargets = false;
  bool store = false;
};

Options parse(int argc, char** argv) {
  Options options;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool valued = k + 1 < argc;
    if (arg == "--files" && valued) options.files = argv[++k];
    else if (arg == "--folders" && valued) options.folders = argv[++k];
    else if (arg == "--drivers" && valued) options.drivers = argv[++k];
    else if (arg == "--image" && valued) options.image = argv[++k];
    else if (arg == "--korvane" && valued) options.korvane = argv[++k];
    else if (arg == "--runs" && valued) options.runs = std::max(1, std::atoi(argv[++k]));
    else if (arg == "--windows") options.windows = true;
    else if (arg == "--smoke") options.smoke = true;
    else if (arg == "--store") options.store = true;
    else if (arg == "--check-targets") options.checkTargets = true;
    else {
      std::cerr << "backup_all_bench: unknown option " << arg << "\n";
      std::exit(2);
    }
  }
  if (options.smoke) options.runs = 1;
  if (options.image.empty())
    options.image = fs::path(KORVANE_BENCH_DIR) /
                    ("backup-image-" + options.files + "-" + options.folders + "-" + options.drivers +
                     (options.store ? "-store" : ""));
  return options;
}

// The generated image, written on first use; false when it cannot be.
bool haveImage(const Options& options) {
  if (fs::exists(options.image / "bench-drivers.txt")) return true;
  std::cerr << "backup_all_bench: writing " << options.image << "\n";
  std::vector<std::string> command{"/usr/bin/env", "python3", KORVANE_SOURCE_DIR "/scripts/make-bench-image",
                                   "--files", options.files, "--folders", options.folders,
                                   "--drivers", options.drivers, options.image.string()};
  if (options.store) command.push_back("--store");
  return runQuietly(command) == 0;
}

// The disk made from the image, written on first use.
fs::path haveDisk(const Options& options) {
  const fs::path disk = options.image.string() + "-disk";
  if (fs::exists(disk)) return disk;
  std::cerr << "backup_all_bench: writing " << disk << "\n";
  if (runQuietly({KORVANE_MAKE_DISK, options.image.string(), disk.string()}) != 0)
    throw std::runtime_error("could not write the disk at " + disk.string() + " (run make_bench_disk to see why)");
  return disk;
}

Subject subjectOf(const Options& options) {
  if (!options.windows)
    return {{options.korvane.string(), "--machine", options.image.string(), "--yes", "backup-all", "--fast"},
            options.image / "drive_c",
            options.image / "drive_d"};
  const fs::path disk = haveDisk(options), rescued = options.image.string() + "-rescued";
  // Korvane's settings and temporary files, which never go to the disk.
  setenv("XDG_CONFIG_HOME", (rescued / "config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (rescued / "cache").c_str(), 1);
  return {{options.korvane.string(), "--windows", disk.string(), "--yes", "backup-all", "--fast"}, disk, rescued, true};
}

int backUpAll(int argc, char** argv) {
  const Options options = parse(argc, argv);
  if (!haveImage(options)) {
    std::cerr << "backup_all_bench: could not write the image at " << options.image << "\n";
    return 2;
  }
  const Subject subject = subjectOf(options);
  const fs::path& drive = subject.drive;
  const fs::path& copies = subject.copies;
  // The first run of each fills the host's caches; no measured run pays for that.
  backUpWithKorvane(subject, "warm");
  const Copies wanted = copiesIn(copies / "warm");
  walkAndCopy(drive, wanted, copies / "warm-limit");
  const size_t driveEntries = walk.entries, found = walk.found.size();
  // Every run writes folders of its own, all removed at the end: files
  // removed just before ext4 makes new ones slow down their making.
  std::vector<std::string> outputs{"warm", "warm-limit"};
  std::vector<double> korvaneCpu, korvaneWall, limitCpu, limitWall;
  for (int run = 1; run <= options.runs; ++run) {
    outputs.push_back("korvane-" + std::to_string(run));
    const Times korvane = backUpWithKorvane(subject, outputs.back());
    outputs.push_back("limit-" + std::to_string(run));
    const Times limit = walkAndCopy(drive, wanted, copies / outputs.back());
    korvaneCpu.push_back(korvane.cpu);
    korvaneWall.push_back(korvane.wall);
    limitCpu.push_back(limit.cpu);
    limitWall.push_back(limit.wall);
  }
  for (const auto& output : outputs) fs::remove_all(copies / output);

  const double ratio = median(korvaneCpu) / median(limitCpu);
  std::cout << (options.windows ? drive : options.image).filename().string() << ": " << driveEntries
            << " entries on drive C, " << wanted.size() << " file names copied, " << found
            << " of them found by the walk; medians of " << options.runs << " runs\n"
            << (options.windows ? "--windows DISK " : "") << "backup-all --fast: " << median(korvaneCpu)
            << " s processor, " << median(korvaneWall) << " s clock\n"
            << "limit (walk + copies): " << median(limitCpu) << " s processor, " << median(limitWall) << " s clock\n"
            << "Korvane takes " << ratio << " times the limit (" << median(korvaneWall) / median(limitWall)
            << " by the clock; target at most " << kTarget << ")\n";
  if (wanted.empty() || found == 0) {
    std::cout << "FAILED: the backup copied nothing the walk could find\n";
    return 1;
  }
  if (options.store && !anyInSubFolder(wanted)) {
    std::cout << "FAILED: the backup took no store package whole\n";
    return 1;
  }
  return options.checkTargets && ratio > kTarget ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) { return korvane::runBench("backup_all_bench", backUpAll, argc, argv); }
