// The command line's `cab create` and `cab extract` against `gcab -c -z` and
// `cabextract` on generated sets: a driver-like mix, many small files in
// many folders, as many in one folder, and one big file. The programs run in
// turns; the medians of their clock times, their ratios, the cabinets' sizes
// and each program's peak memory are printed, with whether each target is
// met: creating at most as slow as gcab at no larger a size, extracting at
// most as slow as cabextract, and under 64 MiB for the big file either way.
// With --check-targets the run fails when one is missed.
//
// Usage: cab_bench [--files N] [--folders N] [--big-mb N] [--runs N] [--work DIR]
//                  [--korvane PROGRAM] [--smoke] [--check-targets]
// The sets are written under --work (by default beside the program, in the
// build folder) on first use and kept for later runs; --big-mb 700 for the
// size the target is set at.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr double kLargestPeakMiB = 64;

struct Options {
  size_t files = 20000, folders = 40, bigMiB = 64;
  int runs = 3;
  fs::path work = KORVANE_BENCH_DIR;
  fs::path korvane = KORVANE_CLI;
  bool smoke = false, checkTargets = false;
};

Options parse(int argc, char** argv) {
  Options options;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const bool valued = k + 1 < argc;
    if (arg == "--files" && valued) options.files = std::stoul(argv[++k]);
    else if (arg == "--folders" && valued) options.folders = std::max<size_t>(1, std::stoul(argv[++k]));
    else if (arg == "--big-mb" && valued) options.bigMiB = std::stoul(argv[++k]);
    else if (arg == "--runs" && valued) options.runs = std::max(1, std::atoi(argv[++k]));
    else if (arg == "--work" && valued) options.work = argv[++k];
    else if (arg == "--korvane" && valued) options.korvane = argv[++k];
    else if (arg == "--smoke") options.smoke = true;
    else if (arg == "--check-targets") options.checkTargets = true;
    else throw std::runtime_error("unknown option " + arg);
  }
  if (options.smoke) {
    options.files = std::min<size_t>(options.files, 300);
    options.folders = std::min<size_t>(options.folders, 6);
    options.bigMiB = std::min<size_t>(options.bigMiB, 3);
    options.runs = 1;
  }
  return options;
}

// ---- the sets

// Bytes shaped like a driver binary: repeated code-like runs with small
// changes, tables of small numbers, UTF-16 strings and some noise.
std::string binaryBytes(size_t size, std::mt19937& random) {
  std::string out;
  while (out.size() < size) {
    const unsigned kind = random() % 10;
    if (kind < 4 && out.size() > 4096) {
      const size_t length = 16 + random() % 200;
      std::string run = out.substr(random() % (out.size() - length), length);
      run[random() % run.size()] = static_cast<char>(random());
      out += run;
    } else if (kind < 7) {
      for (int k = 0; k < 32; ++k) {
        const uint32_t value = random() % 1024;
        out.append(reinterpret_cast<const char*>(&value), 4);
      }
    } else if (kind < 9) {
      for (const char c : std::string("DriverVersion\0Copyright (C) Device Maker\0", 42)) {
        out += c;
        out += '\0';
      }
    } else {
      for (int k = 0; k < 64; ++k) out += static_cast<char>(random());
    }
  }
  out.resize(size);
  return out;
}

std::string textBytes(size_t size, std::mt19937& random) {
  static const char* const kWords[] = {"[Version]", "Signature", "=", "\"$Windows NT$\"", "Class", "Net", "%DiskName%",
                                       "netcard.sys", "\r\n", "CopyFiles", "AddReg", "HKR", ",", "0x00000001", "Ndi",
                                       "Params", "\\", "DriverDesc", "Provider", "%Mfg%", ";", "Install"};
  std::string out;
  while (out.size() < size) out += std::string(kWords[random() % std::size(kWords)]) + ' ';
  out.resize(size);
  return out;
}

struct DataSet {
  DataSet(std::string setName, std::string what, fs::path where)
      : name(std::move(setName)), description(std::move(what)), folder(std::move(where)) {}
  std::string name, description;
  fs::path folder;
  std::vector<std::string> files;  // relative to the folder, for gcab's command line
  uintmax_t bytes = 0;
};

void listFiles(DataSet& set) {
  for (const auto& entry : fs::recursive_directory_iterator(set.folder)) {
    if (!entry.is_regular_file()) continue;
    set.files.push_back(fs::relative(entry.path(), set.folder).string());
    set.bytes += entry.file_size();
  }
  std::sort(set.files.begin(), set.files.end());
}

// A few hundred INF-like texts and driver-like binaries in three folders.
void writeMixedSet(const fs::path& folder, std::mt19937& random) {
  for (int k = 0; k < 300; ++k) {
    const bool binary = k % 5 == 0;
    const size_t size = binary ? 20000 + random() % 300000 : 500 + random() % 20000;
    const std::string sub = k % 3 == 0 ? "i386/" : k % 3 == 1 ? "help/" : "";
    const std::string name = sub + (binary ? "file" + std::to_string(k) + ".sys" : "page" + std::to_string(k) + ".inf");
    writeHostFile(folder / name, binary ? binaryBytes(size, random) : textBytes(size, random));
  }
}

// Small files as drivers carry them: mostly texts, every fourth a binary.
void writeSmallFiles(const fs::path& folder, size_t files, size_t folders, std::mt19937& random) {
  for (size_t k = 0; k < files; ++k) {
    const size_t size = 300 + random() % 6000;
    const fs::path sub = folders == 1 ? fs::path() : fs::path("dir" + std::to_string(k % folders));
    const std::string name = "file" + std::to_string(k) + (k % 4 == 0 ? ".sys" : ".inf");
    writeHostFile(folder / sub / name, k % 4 == 0 ? binaryBytes(size, random) : textBytes(size, random));
  }
}

// Slices of a driver-like pool at random places, each with a changed byte.
void writeBigFile(const fs::path& file, size_t bytes, std::mt19937& random) {
  const std::string pool = binaryBytes(size_t{8} << 20, random);
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  for (size_t written = 0; written < bytes;) {
    const size_t length = std::min<size_t>(bytes - written, 65536 + random() % 65536);
    std::string slice = pool.substr(random() % (pool.size() - length), length);
    slice[random() % length] = static_cast<char>(random());
    out.write(slice.data(), static_cast<std::streamsize>(slice.size()));
    written += length;
  }
  if (!out) throw std::runtime_error("could not write " + file.string());
}

std::vector<DataSet> dataSets(const Options& options) {
  const fs::path root = options.work / ("cab-sets-" + std::to_string(options.files) + "-" +
                                        std::to_string(options.folders) + "-" + std::to_string(options.bigMiB));
  std::vector<DataSet> sets = {
      {"mixed", "300 driver-like files", root / "mixed"},
      {"many", std::to_string(options.files) + " small files in " + std::to_string(options.folders) + " folders",
       root / "many"},
      {"flat", std::to_string(options.files) + " small files in one folder", root / "flat"},
      {"big", "one file of " + std::to_string(options.bigMiB) + " MiB", root / "big"},
  };
  if (!fs::exists(root / "complete")) {
    std::cerr << "cab_bench: writing the sets under " << root << "\n";
    fs::remove_all(root);
    std::mt19937 random(2024);
    writeMixedSet(sets[0].folder, random);
    writeSmallFiles(sets[1].folder, options.files, options.folders, random);
    writeSmallFiles(sets[2].folder, options.files, 1, random);
    writeBigFile(sets[3].folder / "driver.bin", options.bigMiB << 20, random);
    writeHostFile(root / "complete", "");
  }
  for (DataSet& set : sets) listFiles(set);
  return sets;
}

// ---- the runs

struct Run {
  double seconds = 0;
  double peakMiB = 0;
};

Run timed(const std::vector<std::string>& args, const fs::path& folder = {}) {
  rusage usage{};
  const auto start = std::chrono::steady_clock::now();
  const int code = runQuietly(args, &usage, folder);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (code != 0) throw std::runtime_error(args.front() + " " + args[1] + " failed with exit code " +
                                          std::to_string(code));
  return {wall, static_cast<double>(usage.ru_maxrss) / 1024};
}

struct Sample {
  std::vector<double> seconds;
  double peakMiB = 0;
  void add(const Run& run) {
    seconds.push_back(run.seconds);
    peakMiB = std::max(peakMiB, run.peakMiB);
  }
  double median() const {
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  }
};

struct Outcome {
  Sample create, gcab, extract, cabextract;
  uintmax_t ourSize = 0, gcabSize = 0;
};

// What an extraction left: its files and their bytes, to compare with the set.
std::pair<size_t, uintmax_t> contents(const fs::path& folder) {
  size_t files = 0;
  uintmax_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) ++files, bytes += entry.file_size();
  return {files, bytes};
}

void expectWhole(const DataSet& set, const fs::path& folder, const char* who) {
  const auto [files, bytes] = contents(folder);
  if (files != set.files.size() || bytes != set.bytes)
    throw std::runtime_error(std::string(who) + " extracted " + std::to_string(files) + " files of " +
                             std::to_string(bytes) + " bytes from the " + set.name + " set, not " +
                             std::to_string(set.files.size()) + " of " + std::to_string(set.bytes));
}

// The extractions of a set stay on disk until the bench ends: a file system
// that has just deleted thousands of files makes the next program to create
// as many skip over the freed entries, and that program would pay for the
// run before it. The two extractors take turns at going first.
Outcome measure(const Options& options, const DataSet& set, const fs::path& scratch) {
  Outcome outcome;
  const fs::path ours = scratch / "ours.cab", theirs = scratch / "gcab.cab";
  std::vector<std::string> gcab = {"gcab", "-c", "-z", theirs.string()};
  gcab.insert(gcab.end(), set.files.begin(), set.files.end());
  for (int run = 0; run < options.runs; ++run) {
    fs::remove(ours);
    outcome.create.add(timed({options.korvane.string(), "cab", "create", ours.string(), set.folder.string()}));
    fs::remove(theirs);
    outcome.gcab.add(timed(gcab, set.folder));
    const std::string suffix = set.name + "-" + std::to_string(run);
    const fs::path ourOut = scratch / ("korvane-" + suffix), theirOut = scratch / ("cabextract-" + suffix);
    const auto extractOurs = [&] {
      outcome.extract.add(timed({options.korvane.string(), "cab", "extract", ours.string(), ourOut.string()}));
    };
    const auto extractTheirs = [&] {
      outcome.cabextract.add(timed({"cabextract", "-q", "-d", theirOut.string(), ours.string()}));
    };
    if (run % 2 == 0) {
      extractOurs();
      extractTheirs();
    } else {
      extractTheirs();
      extractOurs();
    }
    expectWhole(set, ourOut, "Korvane");
    expectWhole(set, theirOut, "cabextract");
    // One big file frees no entries worth skipping, and takes much room.
    if (set.files.size() == 1) {
      fs::remove_all(ourOut);
      fs::remove_all(theirOut);
    }
  }
  outcome.ourSize = fs::file_size(ours);
  outcome.gcabSize = fs::file_size(theirs);
  return outcome;
}

bool report(const DataSet& set, const Outcome& outcome) {
  const double createRatio = outcome.create.median() / outcome.gcab.median();
  const double sizeRatio = static_cast<double>(outcome.ourSize) / static_cast<double>(outcome.gcabSize);
  const double extractRatio = outcome.extract.median() / outcome.cabextract.median();
  const bool big = set.name == "big";
  const bool memoryMet = !big || (outcome.create.peakMiB < kLargestPeakMiB && outcome.extract.peakMiB < kLargestPeakMiB);
  const auto verdict = [](bool met) { return met ? "met" : "NOT met"; };
  std::printf("\n%s: %s, %.1f MB\n", set.name.c_str(), set.description.c_str(), static_cast<double>(set.bytes) / 1e6);
  std::printf("  create   Korvane %7.2f s %6.1f MiB | gcab -c -z %7.2f s %6.1f MiB | ratio %5.2f (target 1.0: %s)\n",
              outcome.create.median(), outcome.create.peakMiB, outcome.gcab.median(), outcome.gcab.peakMiB,
              createRatio, verdict(createRatio <= 1.0));
  std::printf("  size     Korvane %llu bytes | gcab %llu bytes | ratio %.3f (target 1.0: %s)\n",
              static_cast<unsigned long long>(outcome.ourSize), static_cast<unsigned long long>(outcome.gcabSize),
              sizeRatio, verdict(sizeRatio <= 1.0));
  std::printf("  extract  Korvane %7.2f s %6.1f MiB | cabextract %7.2f s %6.1f MiB | ratio %5.2f (target 1.0: %s)\n",
              outcome.extract.median(), outcome.extract.peakMiB, outcome.cabextract.median(),
              outcome.cabextract.peakMiB, extractRatio, verdict(extractRatio <= 1.0));
  if (big) std::printf("  peak memory under %.0f MiB creating and extracting: %s\n", kLargestPeakMiB, verdict(memoryMet));
  return createRatio <= 1.0 && sizeRatio <= 1.0 && extractRatio <= 1.0 && memoryMet;
}

int compareCabinets(int argc, char** argv) {
  const Options options = parse(argc, argv);
  for (const char* tool : {"gcab", "cabextract"}) {
    if (runQuietly({tool, "--version"}) != 0) {
      std::cerr << "cab_bench: " << tool << " is not installed (scripts/setup installs it)\n";
      return 77;
    }
  }
  const std::vector<DataSet> sets = dataSets(options);
  const fs::path scratch = options.work / ("cab-scratch-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  bool allMet = true;
  std::printf("Medians of %d runs by the clock; peak memory is the largest of the program's runs.\n", options.runs);
  try {
    for (const DataSet& set : sets) allMet = report(set, measure(options, set, scratch)) && allMet;
  } catch (...) {
    fs::remove_all(scratch);
    throw;
  }
  fs::remove_all(scratch);
  std::printf("\nTargets %s\n", allMet ? "all met" : "NOT all met");
  return options.checkTargets && !allMet ? 1 : 0;
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) { return korvane::runBench("cab_bench", korvane::compareCabinets, argc, argv); }
