#include "cli/ChannelRuns.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "link/ComChoices.h"
#include "record/RecordPrescan.h"

extern char** environ;

namespace qs::cli {
namespace {

// The options whose value is a file or folder the run writes.
const std::set<std::string>& OutputOptions() {
  static const std::set<std::string> options = {"--records",   "--log",        "--png-dir",   "--snapshot",
                                                 "--pow-binary", "--pow-ascii", "--bic-binary", "--bic-ascii",
                                                 "--amp",        "--bis-variables", "--wave-ascii", "--dsa"};
  return options;
}

}  // namespace

std::string ChannelPath(const std::string& path, int channel) {
  std::filesystem::path p(path);
  const std::string suffix = "_ch" + std::to_string(channel);
  if (p.filename().empty()) p = p.parent_path();  // "dir/": the folder itself
  const std::filesystem::path name = p.filename();
  const std::string stem = name.stem().string();
  const std::string extension = name.extension().string();
  return (p.parent_path() / (stem + suffix + extension)).string();
}

int RunEveryChannel(const std::string& record, int argc, char** argv) {
  const PrescanResult scan = PrescanRecord(record);
  if (scan.outcome != ReplayOpenOutcome::Ok) {
    std::fprintf(stderr, "%s: %s\n", record.c_str(), ReplayOpenMessage(scan.outcome));
    return 2;
  }
  const int channels = ChannelsOfEngine(scan.engineKind);
  std::vector<pid_t> children;
  int code = 0;
  for (int c = 0; c < channels; ++c) {
    std::vector<std::string> args = {"quellscope-cli", "replay"};
    for (int i = 0; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--all-channels") continue;
      args.push_back(a);
      if (OutputOptions().count(a) != 0 && i + 1 < argc) args.push_back(ChannelPath(argv[++i], c));
    }
    args.push_back("--channel");
    args.push_back(std::to_string(c));
    std::vector<char*> raw;
    for (std::string& a : args) raw.push_back(a.data());
    raw.push_back(nullptr);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, raw.data(), environ);
    if (error != 0) {
      std::fprintf(stderr, "replay: cannot start the run of channel %d: %s\n", c, std::strerror(error));
      code = 1;
      break;
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const int child = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    if (code == 0) code = child;
  }
  return code;
}

}  // namespace qs::cli
