// MS-ZIP cabinets of a driver-sized data set (a few hundred files, some MB
// of binaries and text, generated): our writer against gcab, our reader
// against cabextract, in the same run. Prints the ratios; with
// --check-targets fails unless our compression is at least 1.6 times as fast
// as gcab's at no larger a size, and our extraction at least as fast as
// cabextract's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/BenchSupport.h"
#include "packaging/CabSTComps.h"
#include "platform/image/ImageMachine.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// Bytes shaped like a driver binary: repeated code-like runs with small
// changes, tables of small numbers, UTF-16 strings and some noise.
std::string binaryBytes(size_t size, std::mt19937& random) {
  std::string out;
  while (out.size() < size) {
    const unsigned kind = random() % 10;
    if (kind < 4 && out.size() > 4096) {
      const size_t length = 16 + random() % 200;
      const size_t from = random() % (out.size() - length);
      std::string run = out.substr(from, length);
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

// Writes the data set below folder; its total size.
size_t generateDataSet(const fs::path& folder) {
  std::mt19937 random(2024);
  size_t total = 0;
  for (int k = 0; k < 300; ++k) {
    const bool binary = k % 5 == 0;
    const size_t size = binary ? 20000 + random() % 300000 : 500 + random() % 20000;
    const std::string sub = k % 3 == 0 ? "i386/" : k % 3 == 1 ? "help/" : "";
    const std::string name = sub + (binary ? "file" + std::to_string(k) + ".sys" : "page" + std::to_string(k) + ".inf");
    const std::string bytes = binary ? binaryBytes(size, random) : textBytes(size, random);
    writeHostFile(folder / name, bytes);
    total += bytes.size();
  }
  return total;
}

struct Timing {
  std::vector<double> seconds;
  double best() const { return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end()); }
};

std::map<std::string, Timing>& timings() {
  static std::map<std::string, Timing> all;
  return all;
}

struct Bench {
  fs::path root;
  std::unique_ptr<Machine> machine;
  std::string gcabFiles;  // the data set's names, for gcab's command line
};

Bench& bench() {
  static Bench state;
  return state;
}

// Each run writes into a folder of its own, removed after the clock stopped:
// re-creating files just deleted costs the file system more than new ones.
void timed(benchmark::State& state, const std::string& kind, const std::function<void(const std::string&)>& body) {
  static int runs = 0;
  for (auto _ : state) {
    const std::string output = "out" + std::to_string(++runs);
    const auto start = std::chrono::steady_clock::now();
    body(output);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    timings()[kind].seconds.push_back(seconds);
    fs::remove_all(bench().root / "drive_c" / output);
  }
}

void runShell(const std::string& command) {
  const int status = std::system(command.c_str());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("failed: " + command);
}

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

void ourCompression(const std::string&) {
  TSTCabWriter writer(*bench().machine);
  writer.SetCompressionType(cctMsZip);
  writer.Open("C:\\ours.cab");
  writer.AddFiles("C:\\data\\*.*", "", true);
  writer.Close(true);
}

void ourExtraction(const std::string& output) {
  TSTCabReader reader(*bench().machine);
  reader.ExtractFiles("C:\\ours.cab", "C:\\" + output);
  if (reader.LastError().fError || reader.ExtractedFiles().size() != 300) throw std::runtime_error("extraction failed");
}

void registerBenchmarks(int repetitions) {
  const fs::path drive = bench().root / "drive_c";
  const auto add = [&](const char* name, const std::string& kind, std::function<void(const std::string&)> body) {
    benchmark::RegisterBenchmark(name, [kind, body](benchmark::State& state) { timed(state, kind, body); })
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(repetitions)
        ->Unit(benchmark::kMillisecond);
  };
  add("Compress/Korvane", "ours-compress", ourCompression);
  add("Compress/gcab", "gcab-compress", [drive](const std::string&) {
    runShell("cd " + quoted(drive / "data") + " && gcab -c -z " + quoted(drive / "gcab.cab") + bench().gcabFiles);
  });
  add("Extract/Korvane", "ours-extract", ourExtraction);
  add("Extract/cabextract", "cabextract-extract", [drive](const std::string& output) {
    runShell("cabextract -q -d " + quoted(drive / output) + " " + quoted(drive / "ours.cab"));
  });
}

bool report(size_t dataSize, bool checkTargets) {
  const fs::path drive = bench().root / "drive_c";
  const double ours = timings()["ours-compress"].best(), gcab = timings()["gcab-compress"].best();
  const double ourRead = timings()["ours-extract"].best(), cabextract = timings()["cabextract-extract"].best();
  const auto oursSize = fs::file_size(drive / "ours.cab"), gcabSize = fs::file_size(drive / "gcab.cab");
  const double compressionSpeed = gcab / ours, sizeRatio = static_cast<double>(oursSize) / gcabSize;
  const double extractionSpeed = cabextract / ourRead;
  std::printf("\nData set: 300 files, %.1f MB\n", dataSize / 1e6);
  std::printf("Compression: Korvane %.0f ms, gcab %.0f ms: %.2f times as fast (target 1.6)\n", ours * 1e3, gcab * 1e3,
              compressionSpeed);
  std::printf("Size: Korvane %llu bytes, gcab %llu bytes: %.3f of gcab's (target at most 1)\n",
              static_cast<unsigned long long>(oursSize), static_cast<unsigned long long>(gcabSize), sizeRatio);
  std::printf("Extraction: Korvane %.0f ms, cabextract %.0f ms: %.2f times as fast (target 1)\n", ourRead * 1e3,
              cabextract * 1e3, extractionSpeed);
  const bool met = compressionSpeed >= 1.6 && sizeRatio <= 1.0 && extractionSpeed >= 1.0;
  if (checkTargets) std::printf("Targets %s\n", met ? "met" : "NOT met");
  return met || !checkTargets;
}

int run(int argc, char** argv) {
  bool checkTargets = false;
  int repetitions = 5;
  std::vector<char*> rest = {argv[0]};
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--check-targets") checkTargets = true;
    else if (arg == "--smoke") repetitions = 1;
    else rest.push_back(argv[k]);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());

  bench().root = fs::temp_directory_path() / ("korvane-cab-bench-" + std::to_string(::getpid()));
  writeHostFile(bench().root / "machine.ini", kBenchMachineIni);
  fs::create_directories(bench().root / "drive_c/TEMP");
  const size_t dataSize = generateDataSet(bench().root / "drive_c/data");
  for (const auto& entry : fs::recursive_directory_iterator(bench().root / "drive_c/data"))
    if (entry.is_regular_file())
      bench().gcabFiles += " " + quoted(fs::relative(entry.path(), bench().root / "drive_c/data"));
  std::string error;
  bench().machine = openImageMachine(bench().root, error);
  if (!bench().machine) throw std::runtime_error(error);

  registerBenchmarks(repetitions);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const bool ok = report(dataSize, checkTargets);
  bench().machine.reset();
  fs::remove_all(bench().root);
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) { return korvane::runBench("cab_bench", korvane::run, argc, argv); }
