#include "cli/BatchCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/CaseRun.h"
#include "cli/CommandArgs.h"
#include "cli/SummaryCsv.h"

namespace qs::cli {
namespace {

namespace fs = std::filesystem;

volatile sig_atomic_t gInterrupted = 0;
extern "C" void OnInterrupt(int) {
  gInterrupted = 1;
}

struct Case {
  std::string input, stem;
  std::string row;  // the row tail, once finished
  bool done = false;
};

struct Worker {
  std::size_t caseIndex = 0;
  pid_t pid = -1;
  int out = -1;  // the child's stdout
  std::string text;
};

// Files named, and the .eeg, .edf and .bdf files under folders named (sorted,
// so the table's order does not depend on the file system).
bool CollectInputs(const std::vector<std::string>& inputs, std::vector<Case>& cases) {
  std::set<std::string> seen;
  for (const std::string& in : inputs) {
    std::error_code ec;
    std::vector<std::string> found;
    if (fs::is_directory(in, ec)) {
      for (auto it = fs::recursive_directory_iterator(in, fs::directory_options::skip_permission_denied, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && IsCaseFileName(it->path().string()))
          found.push_back(it->path().string());
      }
      std::sort(found.begin(), found.end());
    } else if (fs::exists(in, ec)) {
      found.push_back(in);
    } else {
      std::fprintf(stderr, "batch: %s does not exist\n", in.c_str());
      return false;
    }
    for (const std::string& f : found)
      if (seen.insert(f).second) cases.push_back(Case{f, "", "", false});
  }
  // Output names from the file names; equal stems from different folders get -2, -3, ...
  std::map<std::string, int> used;
  for (Case& c : cases) {
    const std::string stem = fs::path(c.input).stem().string();
    const int n = ++used[stem];
    c.stem = n == 1 ? stem : stem + "-" + std::to_string(n);
  }
  return true;
}

std::string Clock(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

bool StartWorker(const std::string& self, const std::vector<std::string>& args, Worker& w) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(self.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDERR_FILENO);
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::execv(self.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  w.pid = pid;
  w.out = fds[0];
  w.text.clear();
  return true;
}

// The row of a finished worker: its line, or what its end says.
std::string FinishedRow(const Worker& w, int status) {
  // The case's own verdict stands only when the process ended as it does
  // (0 ok, 2 failed); a crash after the line is still a failure.
  const std::size_t end = w.text.find('\n');
  const bool endedNormally = WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 2);
  if (end != std::string::npos && end > 0 && endedNormally) return w.text.substr(0, end);
  if (WIFSIGNALED(status))
    return FailedRowTail("the case's process ended on signal " + std::to_string(WTERMSIG(status)));
  return FailedRowTail("the case's process ended with exit code " + std::to_string(WEXITSTATUS(status)) +
                       " and no result");
}

// Waits for a worker, through signals (a second Ctrl+C) arriving meanwhile.
void Reap(pid_t pid, int* status) {
  while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
  }
}

void RemoveOutputs(const std::string& dir, const std::string& stem) {
  std::error_code ec;
  for (const char* ext : {".records.csv", ".log", ".pdf"}) fs::remove(dir + "/" + stem + ext, ec);
}

constexpr const char* kUsage =
    "usage: quellscope-cli batch INPUTS... --out DIR [--jobs N] [--report] [--settings F] [--channel N]\n";

}  // namespace

int BatchCommand(int argc, char** argv) {
  std::vector<std::string> inputs, passOn;
  std::string dir;
  std::string jobsText, settings;
  int channel = -1;
  bool report = false;
  const CommandArgs args{.command = "batch",
                         .usage = kUsage,
                         .values = {{"--out", &dir}, {"--jobs", &jobsText}, {"--settings", &settings}},
                         .switches = {{"--report", &report}},
                         .channel = &channel,
                         .moreNames = &inputs};
  if (!args.Parse(argc, argv)) return 2;
  long jobs = static_cast<long>(std::max(1u, std::thread::hardware_concurrency()));
  if (!jobsText.empty()) {
    char* end = nullptr;
    jobs = std::strtol(jobsText.c_str(), &end, 10);
    if (*end != '\0' || jobs < 1 || jobs > 256) {
      std::fprintf(stderr, "batch: --jobs takes 1 to 256, not '%s'\n", jobsText.c_str());
      return 2;
    }
  }
  if (inputs.empty() || dir.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // What every case's own run takes over.
  if (channel >= 0) passOn.insert(passOn.end(), {"--channel", std::to_string(channel)});
  if (!settings.empty()) passOn.insert(passOn.end(), {"--settings", settings});
  if (report) passOn.emplace_back("--report");
  std::vector<Case> cases;
  if (!CollectInputs(inputs, cases)) return 2;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (!fs::is_directory(dir, ec)) {
    std::fprintf(stderr, "batch: cannot create %s\n", dir.c_str());
    return 1;
  }
  char selfPath[4096];
  const ssize_t n = ::readlink("/proc/self/exe", selfPath, sizeof selfPath - 1);
  if (n <= 0) {
    std::fputs("batch: cannot find this program's own file\n", stderr);
    return 1;
  }
  const std::string self(selfPath, static_cast<std::size_t>(n));

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);

  const bool progress = ::isatty(STDERR_FILENO) == 1;
  const auto started = std::chrono::steady_clock::now();
  std::vector<Worker> running;
  std::size_t next = 0, finished = 0;
  std::string shown;
  auto showProgress = [&] {
    if (!progress) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::string left = "estimating";
    if (finished > 0)
      left = "about " +
             Clock(elapsed / static_cast<double>(finished) * static_cast<double>(cases.size() - finished)) +
             " left";
    char line[160];
    std::snprintf(line, sizeof line, "\r%zu/%zu cases, %s elapsed, %s\033[K", finished, cases.size(),
                  Clock(elapsed).c_str(), left.c_str());
    if (shown == line) return;
    shown = line;
    std::fputs(line, stderr);
    std::fflush(stderr);
  };

  while (!gInterrupted && (next < cases.size() || !running.empty())) {
    while (!gInterrupted && next < cases.size() && running.size() < static_cast<std::size_t>(jobs)) {
      Case& c = cases[next];
      std::vector<std::string> args = {"batch-case", c.input, "--out", dir, "--stem", c.stem};
      args.insert(args.end(), passOn.begin(), passOn.end());
      Worker w;
      w.caseIndex = next++;
      if (!StartWorker(self, args, w)) {
        c.row = FailedRowTail("cannot start a process for the case");
        c.done = true;
        ++finished;
        continue;
      }
      running.push_back(w);
    }
    showProgress();
    std::vector<pollfd> fds;
    for (const Worker& w : running) fds.push_back(pollfd{w.out, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 250) < 0 && errno != EINTR) break;
    for (std::size_t k = 0; k < running.size();) {
      Worker& w = running[k];
      bool ended = false;
      if (fds[k].revents != 0) {
        char buffer[4096];
        const ssize_t got = ::read(w.out, buffer, sizeof buffer);
        if (got > 0) w.text.append(buffer, static_cast<std::size_t>(got));
        ended = got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN);
      }
      if (!ended) {
        ++k;
        continue;
      }
      int status = 0;
      Reap(w.pid, &status);
      ::close(w.out);
      Case& c = cases[w.caseIndex];
      if (gInterrupted && WIFSIGNALED(status)) {
        RemoveOutputs(dir, c.stem);  // stopped halfway: not a result
      } else {
        c.row = FinishedRow(w, status);
        c.done = true;
        ++finished;
      }
      fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(k));
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
  if (gInterrupted) {
    // Stop the workers still running; their half-written files go.
    for (const Worker& w : running) ::kill(w.pid, SIGTERM);
    for (const Worker& w : running) {
      Reap(w.pid, nullptr);
      ::close(w.out);
      RemoveOutputs(dir, cases[w.caseIndex].stem);
    }
  }
  showProgress();
  if (progress) std::fputc('\n', stderr);

  const std::string summaryPath = dir + "/summary.csv";
  std::ofstream summary(summaryPath, std::ios::trunc);
  summary << SummaryCsvHeader() << "\n";
  int failed = 0;
  for (const Case& c : cases) {
    if (!c.done) continue;
    summary << CsvField(c.input) << "," << c.row << "\n";
    if (c.row.size() < 3 || c.row.compare(c.row.size() - 3, 3, ",ok") != 0) ++failed;
  }
  summary.close();
  if (!summary) {
    std::fprintf(stderr, "batch: cannot write %s\n", summaryPath.c_str());
    return 1;
  }
  std::printf("%zu of %zu cases done, %d failed; %s\n", finished, cases.size(), failed, summaryPath.c_str());
  if (gInterrupted) {
    std::fputs("batch: interrupted; summary.csv holds the cases that finished\n", stderr);
    return 130;
  }
  return failed > 0 ? 1 : 0;
}

}  // namespace qs::cli
