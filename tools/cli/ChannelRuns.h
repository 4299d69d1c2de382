#pragma once
// `replay --channel N` and `replay --all-channels`.
//
// Every channel runs as its own replay process (this program, with the same
// arguments, `--channel N` instead of `--all-channels` and every output path
// given its channel), all at once: the runs share no memory at all, so each
// writes exactly what a single-channel run writes, and two channels use two
// cores.
#include <string>

namespace qs::cli {

// The output path of channel c: "_chC" before the extension of the last path
// element ("all.csv" -> "all_ch0.csv", "pictures" -> "pictures_ch0").
std::string ChannelPath(const std::string& path, int channel);
// Runs one replay per channel the record carries (2 or 4) and waits for all.
// args are the replay command's arguments. The exit code is the first
// non-zero code of a channel's run, else 0.
int RunEveryChannel(const std::string& record, int argc, char** argv);

}  // namespace qs::cli
