// A live online run at real time, measured from outside:
//  * CPU share: the simulated monitor streams at --speed 1 into
//    `quellscope-cli acquire --draw` (link, calculation and drawing threads,
//    as the program runs them) for SECONDS of EEG; the acquire process's own
//    CPU time (user + system, from wait4) over its wall time is its share of
//    one core. The figure includes the start (settings, buffers, the monitor
//    dialogue) and the stop sequence.
//  * Latency: the monitor writes the steady-clock time just before it sent the
//    eighth raw EEG message of each second (--send-times), acquire the time
//    at which each interval record became available (--record-times). The
//    clock is CLOCK_MONOTONIC, shared by every process on the machine. The
//    record that closes an interval belongs to the last second whose eighth
//    message went out before it (at real time seconds are a second apart and
//    processing takes milliseconds), so latency = record time - that send
//    time. It covers the pseudo-terminal, the receive thread's poll, the
//    data signal, the calculation thread's wake-up and the second's
//    processing up to the closed interval.
//  * Record file latency: this program also watches the record file's size
//    every millisecond; a second is on the disk when the file has grown past
//    its eighth raw EEG message (header, first message, 862 bytes a second).
//
//   quellscope-online-bench SIM CLI WORKDIR [SECONDS]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

long long NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

pid_t Spawn(std::vector<std::string> args, const std::string& out) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int r = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return r == 0 ? pid : -1;
}

std::vector<std::pair<long long, long long>> ReadPairs(const fs::path& file) {
  std::vector<std::pair<long long, long long>> pairs;
  std::ifstream in(file);
  long long a = 0, b = 0;
  while (in >> a >> b) pairs.emplace_back(a, b);
  return pairs;
}

struct Spread {
  double median = 0, max = 0;
  std::size_t count = 0;
};
Spread SpreadOf(std::vector<double> v) {
  Spread s;
  s.count = v.size();
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.median = v[v.size() / 2];
  s.max = v.back();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: quellscope-online-bench SIM CLI WORKDIR [SECONDS]\n");
    return 2;
  }
  const fs::path work = argv[3];
  const int seconds = argc == 5 ? std::atoi(argv[4]) : 60;
  fs::create_directories(work);
  const fs::path link = work / "monitor", sendTimes = work / "send-times.txt";
  const fs::path recordTimes = work / "record-times.txt", record = work / "online.eeg";
  fs::remove(link);
  fs::remove(record);
  const pid_t sim =
      Spawn({argv[1], "--link", link.string(), "--speed", "1", "--send-times", sendTimes.string(),
             "--scenario", "awake:0-30,deep", "--seconds", std::to_string(seconds + 60)},
            (work / "monitor.out").string());
  for (int i = 0; i < 100 && !fs::is_symlink(link); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (sim < 0 || !fs::is_symlink(link)) {
    std::fprintf(stderr, "the simulated monitor did not start\n");
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  const pid_t acquire = Spawn({argv[2], "acquire", "--device", link.string(), "--seconds",
                               std::to_string(seconds), "--settings", (work / "none.ini").string(), "--draw",
                               "--record", record.string(), "--record-times", recordTimes.string()},
                              (work / "acquire.out").string());
  // The record file's growth, every millisecond, until acquire ends.
  std::vector<std::pair<long long, long long>> growth;  // (time, size) at each change
  int status = 0;
  rusage usage{};
  long long lastSize = -1;
  for (;;) {
    const pid_t done = wait4(acquire, &status, WNOHANG, &usage);
    if (done == acquire || done < 0) break;
    struct stat st {};
    if (::stat(record.c_str(), &st) == 0 && st.st_size != lastSize) {
      lastSize = st.st_size;
      growth.emplace_back(NowNs(), static_cast<long long>(st.st_size));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "acquire failed (status %d); see %s\n", status, (work / "acquire.out").c_str());
    return 1;
  }
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;

  const auto sent = ReadPairs(sendTimes);       // (second, time sent)
  const auto records = ReadPairs(recordTimes);  // (index, time available)
  std::vector<double> recordLatency;
  for (const auto& [index, t] : records) {
    long long last = -1;
    for (const auto& [second, ts] : sent)
      if (ts <= t) last = ts;
    if (last >= 0) recordLatency.push_back(static_cast<double>(t - last) / 1e6);
  }
  // Second s is on the disk once the file holds 128 + 142 + 862 s + 8 x 90 bytes.
  std::vector<double> fileLatency;
  for (const auto& [second, ts] : sent) {
    const long long needed = 128 + 142 + 862 * second + 8 * 90;
    for (const auto& [t, size] : growth) {
      if (size >= needed) {
        fileLatency.push_back(std::max(0.0, static_cast<double>(t - ts) / 1e6));
        break;
      }
    }
  }
  const Spread r = SpreadOf(recordLatency), f = SpreadOf(fileLatency);
  std::printf("machine: %u cores; build: %s %s\n", std::thread::hardware_concurrency(), QS_BUILD_TYPE,
              QS_CXX_FLAGS);
  std::printf("Live online run at real time, %d s of EEG, drawing included: %.2f s CPU in %.1f s wall\n",
              seconds, cpu, wall);
  std::printf("  CPU share: %.2f %% of one core (user %.2f s, system %.2f s)\n", 100.0 * cpu / wall,
              static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6,
              static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6);
  std::printf(
      "Latency, eighth raw EEG message of a second sent -> its interval record available (%zu records):\n",
      r.count);
  std::printf("  median %.2f ms, max %.2f ms\n", r.median, r.max);
  std::printf(
      "Latency, eighth raw EEG message of a second sent -> the second in the record file (%zu seconds):\n",
      f.count);
  std::printf("  median %.2f ms, max %.2f ms (file size watched every 1 ms)\n", f.median, f.max);
  return 0;
}
