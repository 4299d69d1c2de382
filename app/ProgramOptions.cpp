#include "app/ProgramOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qs {

const char* const kProgramHelp =
    "Usage: quellscope [--home-folder] [--start] [--spectrogram]\n"
    "EEG analysis workstation for the operating room: talks to a bedside\n"
    "depth-of-anaesthesia EEG monitor over a serial line, records its traffic,\n"
    "replays recordings, and computes its own EEG indices every 10 seconds\n"
    "(power spectrum, SEF, burst suppression, beta ratio, bispectrum and\n"
    "bicoherence maps, pBIC, signal quality) with live graphs, a trend, a log\n"
    "and comments.\n"
    "\n"
    "Options:\n"
    "  --home-folder   work in ~/Quellscope (created if missing): the settings\n"
    "                  file Kvo_V2000.ini is read there, and the file dialogs\n"
    "                  open there unless the settings name a WorkDir. The\n"
    "                  desktop menu entry starts the program this way.\n"
    "  --start         press Start once the window is up.\n"
    "  --spectrogram   open the Spectrogram window beside the main window.\n"
    "  --help          print this text and exit.\n"
    "  --version       print the version and exit.\n"
    "\n"
    "Files:\n"
    "  Kvo_V2000.ini   the settings, read from the current directory at start\n"
    "                  (built-in defaults without it). Without --home-folder the\n"
    "                  current directory is where the program was started from.\n"
    "\n"
    "Serial port: the monitor's device (the settings key COM_Device, or the\n"
    "Set COM window) must be readable and writable by the user; on Debian that\n"
    "means membership of the dialout group (sudo adduser $USER dialout, then\n"
    "log in again).\n"
    "\n"
    "See also: quellscope-cli(1), quellscope-monitor-sim(1), quellscope-recgen(1).\n";

std::string EnterHomeFolder(const std::string& home) {
  if (home.empty()) return "no home directory (HOME is not set)";
  const std::filesystem::path folder = std::filesystem::path(home) / "Quellscope";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) std::filesystem::current_path(folder, error);
  if (error) return folder.string() + ": " + error.message();
  return {};
}

std::optional<int> EarlyProgramOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kProgramHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quellscope %s\n", QS_VERSION);
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--home-folder") != 0) continue;
    const char* home = std::getenv("HOME");
    if (const std::string problem = EnterHomeFolder(home != nullptr ? home : ""); !problem.empty()) {
      std::fprintf(stderr, "quellscope: cannot work in the home folder: %s\n", problem.c_str());
      return 1;
    }
  }
  return std::nullopt;
}

}  // namespace qs
