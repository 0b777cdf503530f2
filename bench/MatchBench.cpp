// The update check's matching: 200 devices against a 50,000-line database,
// every device scanning every line against one pass over the lines through
// an index of the devices' IDs. Both must give the same rows; prints the
// ratio, and with --check-targets fails unless the one pass is at least 20
// times faster. --smoke: a small database, the rows compared, no target.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>

#include "bench/BenchSupport.h"
#include "update/DatabaseText.h"

namespace korvane {
namespace {

std::string hex(std::mt19937& random, int digits) {
  std::string text;
  for (int k = 0; k < digits; ++k) text += "0123456789ABCDEF"[random() % 16];
  return text;
}

std::string hardwareId(std::mt19937& random) {
  switch (random() % 4) {
    case 0: return "USB\\VID_" + hex(random, 4) + "&PID_" + hex(random, 4);
    case 1: return "ACPI\\PNP0" + hex(random, 3);
    default:
      return "PCI\\VEN_" + hex(random, 4) + "&DEV_" + hex(random, 4) + "&SUBSYS_" + hex(random, 8) + "&REV_" +
             hex(random, 2);
  }
}

std::vector<DeviceToMatch> devices(std::mt19937& random, size_t count) {
  std::vector<DeviceToMatch> list;
  for (size_t k = 0; k < count; ++k) list.push_back({"Device " + std::to_string(k), "7/1/2004", hardwareId(random)});
  return list;
}

// Lines for other hardware mostly; one in fifty names a device of the list,
// whole or by the part before its subsystem.
std::string database(std::mt19937& random, const std::vector<DeviceToMatch>& list, size_t lines) {
  std::string file;
  for (size_t k = 0; k < lines; ++k) {
    std::string id = hardwareId(random);
    if (random() % 50 == 0) {
      id = list[random() % list.size()].deviceId;
      if (random() % 2) id = id.substr(0, id.find("&SUBSYS_"));
    }
    const std::string line = id + "::5." + std::to_string(random() % 100) + "::http://download.example.net/drivers/" +
                             std::to_string(k) + ".cab::sample entry ";
    file += flipDatabaseLine(line) + "\r\n";
  }
  return file;
}

// Processor time: other work on a shared machine disturbs it less than the clock.
double secondsOf(const std::function<void()>& work) {
  const std::clock_t start = std::clock();
  work();
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

std::map<std::string, double>& bestTimes() {
  static std::map<std::string, double> best;
  return best;
}

void add(const std::string& kind, int repetitions, std::function<void()> work) {
  benchmark::RegisterBenchmark(kind.c_str(),
                               [kind, work](benchmark::State& state) {
                                 for (auto _ : state) {
                                   const double seconds = secondsOf(work);
                                   state.SetIterationTime(seconds);
                                   auto [slot, first] = bestTimes().emplace(kind, seconds);
                                   if (!first && seconds < slot->second) slot->second = seconds;
                                 }
                               })
      ->UseManualTime()
      ->Iterations(1)
      ->Repetitions(repetitions)
      ->Unit(benchmark::kMillisecond);
}

int run(int argc, char** argv) {
  bool checkTargets = false, smoke = false;
  std::vector<char*> rest = {argv[0]};
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--check-targets") checkTargets = true;
    else if (arg == "--smoke") smoke = true;
    else rest.push_back(argv[k]);
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());

  std::mt19937 random(16);
  const std::vector<DeviceToMatch> list = devices(random, smoke ? 20 : 200);
  const std::string file = database(random, list, smoke ? 2000 : 50000);
  const std::vector<UpdateCandidate> expected = matchEachDevice(list, file);
  if (expected.empty() || matchInOnePass(list, file) != expected)
    throw std::runtime_error("the one pass and the per-device scan give different rows");

  const int repetitions = smoke ? 1 : 3;
  add("PerDeviceScan", repetitions, [&] { benchmark::DoNotOptimize(matchEachDevice(list, file)); });
  add("OnePass", repetitions, [&] { benchmark::DoNotOptimize(matchInOnePass(list, file)); });
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const double ratio = bestTimes().at("PerDeviceScan") / std::max(bestTimes().at("OnePass"), 1e-6);
  std::printf("\n%zu devices, %zu candidate rows: one pass %.1f times faster than the per-device scan\n",
              list.size(), expected.size(), ratio);
  if (smoke) return 0;
  std::printf("Target: at least 20 times faster: %s\n", ratio >= 20 ? "met" : "NOT met");
  return ratio >= 20 || !checkTargets ? 0 : 1;
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) { return korvane::runBench("match_bench", korvane::run, argc, argv); }
