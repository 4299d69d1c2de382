// Calculation Only speed: a 24-hour generated recording replayed by
// quellscope-cli exactly as the program replays it, timed from outside, with
// the replay process's peak memory.
//
//   quellscope-bench RECGEN CLI WORKDIR
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

Outcome RunProcess(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Outcome o;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return o;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: quellscope-bench RECGEN CLI WORKDIR\n");
    return 2;
  }
  const std::filesystem::path work = argv[3];
  std::filesystem::create_directories(work);
  const std::string recording = (work / "day24h.eeg").string();
  constexpr int kSeconds = 86400;
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
  const Outcome r = RunProcess({argv[2], "replay", recording, "--settings", (work / "none.ini").string()});
  if (r.status != 0) {
    std::fprintf(stderr, "the replay failed (exit %d)\n", r.status);
    return 1;
  }
  const double hours = kSeconds / 3600.0;
  std::printf("machine: %u cores; build: %s %s\n", std::thread::hardware_concurrency(), QS_BUILD_TYPE, QS_CXX_FLAGS);
  std::printf("Calculation Only replay of 24 h of EEG: %.2f s wall, %.2f s CPU\n", r.seconds, r.cpuSeconds);
  std::printf("  %.1f hours of EEG per wall second, %.0f times real time\n", hours / r.seconds, kSeconds / r.seconds);
  // On a machine shared with other work the wall time includes waiting for a
  // core; the CPU time is what the replay itself took.
  std::printf("  %.1f hours of EEG per CPU second, %.0f times real time per core\n", hours / r.cpuSeconds,
              kSeconds / r.cpuSeconds);
  std::printf("  peak resident memory of the replay process: %.1f MB\n", r.maxRssKiB / 1024.0);
  return 0;
}
