// quellscope-monitor-sim: a simulated monitor on a pseudo-terminal, for the
// tests, the demo and training without a monitor. Prints the device path on
// the first line of its output and runs until interrupted.
#include <csignal>
#include <cstdio>

#include "tools/monitorsim/MonitorSim.h"

namespace {
std::atomic<bool> stopRequested{false};
void OnSignal(int) {
  stopRequested.store(true);
}
}  // namespace

int main(int argc, char** argv) {
  const auto command = qs::monitorsim::ParseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (command.help) {
    std::fputs(qs::monitorsim::SimUsage().c_str(), stdout);
    return 0;
  }
  if (!command.error.empty()) {
    std::fprintf(stderr, "quellscope-monitor-sim: %s\n%s", command.error.c_str(),
                 qs::monitorsim::SimUsage().c_str());
    return 2;
  }
  qs::monitorsim::MonitorSim sim(command.options);
  std::string error;
  if (!sim.Open(&error)) {
    std::fprintf(stderr, "quellscope-monitor-sim: %s\n", error.c_str());
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);
  std::printf("%s\n", sim.DevicePath().c_str());
  std::fflush(stdout);
  sim.Run(stopRequested);
  // How much EEG went out, for scripts that compare it with what was recorded.
  std::printf("streamed %.3f seconds of data\n", sim.DataSeconds());
  return 0;
}
