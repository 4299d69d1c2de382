// Calculation Only speed: a 24-hour generated recording replayed by
// quellscope-cli exactly as the program replays it, timed from outside, with
// the replay process's peak memory. Each figure is the best of several runs
// (a shared machine only ever makes a run slower), on the processor's best
// kernel path and on the x86-64 baseline path.
//
//   quellscope-bench RECGEN CLI WORKDIR [--against OTHER_CLI] [--runs N]
//
// --against runs another build's replay on the same file, interleaved with
// this build's runs, and prints the ratios: a speed-up measured in one run of
// the benchmark, not between two sessions of a noisy machine.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
  int status = -1;
  double seconds = 0;
  double cpuSeconds = 0;  // user + system of the process
  long maxRssKiB = 0;
};

Outcome RunProcess(std::vector<std::string> args, const char* kernels = nullptr) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The kernel path goes to the child through its environment only.
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "QUELLSCOPE_KERNELS=", 19) != 0) envStrings.emplace_back(*e);
  if (kernels != nullptr) envStrings.push_back(std::string("QUELLSCOPE_KERNELS=") + kernels);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  Outcome o;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return o;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.maxRssKiB = usage.ru_maxrss;
  o.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return o;
}

// The best (lowest) CPU and wall time of a series of runs, and the peak memory.
struct Best {
  double cpu = 1e30, wall = 1e30;
  long maxRssKiB = 0;
  bool failed = false;
  void Add(const Outcome& o) {
    failed = failed || o.status != 0;
    cpu = std::min(cpu, o.cpuSeconds);
    wall = std::min(wall, o.seconds);
    maxRssKiB = std::max(maxRssKiB, o.maxRssKiB);
  }
};

constexpr int kSeconds = 86400;

void Print(const char* what, const Best& b) {
  std::printf("%-34s %6.3f s CPU %6.3f s wall  %7.0fx real time per CPU second  %7.0fx in wall time  %5.1f MB\n",
              what, b.cpu, b.wall, kSeconds / b.cpu, kSeconds / b.wall, b.maxRssKiB / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string against;
  int runs = 3;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--against") == 0 && i + 1 < argc) {
      against = argv[++i];
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      argc = 0;
    }
  }
  if (argc < 4) {
    std::fprintf(stderr, "usage: quellscope-bench RECGEN CLI WORKDIR [--against OTHER_CLI] [--runs N]\n");
    return 2;
  }
  const std::filesystem::path work = argv[3];
  std::filesystem::create_directories(work);
  const std::string recording = (work / "day24h.eeg").string();
  if (!std::filesystem::exists(recording)) {
    std::printf("generating a 24-hour recording ...\n");
    const Outcome g = RunProcess({argv[1], "--out", recording, "--seconds", std::to_string(kSeconds), "--start",
                                  "08:00:00", "--scenario",
                                  "awake:0-3600,deep:3600-50400,bs:50400-64800:fraction=0.4,deep:64800-82800,awake"});
    if (g.status != 0) {
      std::fprintf(stderr, "the generator failed\n");
      return 1;
    }
  }
  // The bare Calculation Only replay: no record file is written.
  const auto replay = [&](const std::string& cli) {
    return std::vector<std::string>{cli, "replay", recording, "--settings", (work / "none.ini").string()};
  };
  Best best, baseline, other;
  for (int r = 0; r < runs; ++r) {
    best.Add(RunProcess(replay(argv[2])));
    baseline.Add(RunProcess(replay(argv[2]), "sse2"));
    if (!against.empty()) other.Add(RunProcess(replay(against)));
  }
  if (best.failed || baseline.failed || other.failed) {
    std::fprintf(stderr, "a replay failed\n");
    return 1;
  }
  std::printf("machine: %u cores; build: %s %s\n", std::thread::hardware_concurrency(), QS_BUILD_TYPE, QS_CXX_FLAGS);
  std::printf("Calculation Only replay of 24 h of EEG, best of %d runs (CPU = user + system):\n", runs);
  Print("  this build, best kernel path", best);
  Print("  this build, x86-64 baseline path", baseline);
  if (!against.empty()) {
    Print("  the other build", other);
    std::printf("  other / this build: %.2fx CPU, %.2fx wall (%s)\n", other.cpu / best.cpu, other.wall / best.wall,
                against.c_str());
  }
  return 0;
}
