#pragma once
// The program's command line, looked at before any window exists: --help and
// --version answer and end the program (they need no display, so the manual
// page can be made from --help on a build machine), and --home-folder makes
// the working directory ~/Quellscope (created if missing) before the settings
// file is read from it, as the desktop menu entry starts the program.
#include <optional>
#include <string>

namespace qs {

// The text --help prints, which the manual page is made from.
extern const char* const kProgramHelp;

// Handles the options that act before the program starts. Returns an exit
// code when the program must end at once (after --help, --version, or a home
// folder that cannot be made), nothing when it goes on.
std::optional<int> EarlyProgramOptions(int argc, char** argv);

// ~/Quellscope, made if missing, as the working directory; the error message
// when it cannot be, empty on success.
std::string EnterHomeFolder(const std::string& home);

}  // namespace qs
