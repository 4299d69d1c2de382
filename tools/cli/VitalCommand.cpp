#include "cli/VitalCommand.h"

#include <cstdio>
#include <string>

#include "cli/CommandArgs.h"
#include "exchange/VitalImport.h"

namespace qs::cli {

int ImportVitalCommand(int argc, char** argv) {
  constexpr const char* kUsage =
      "usage: quellscope-cli import-vital IN.vital OUT.eeg [--track NAME] [--track2 NAME]\n";
  std::string in, out;
  VitalImportOptions options;
  const CommandArgs args{.command = "import-vital",
                         .usage = kUsage,
                         .values = {{"--track", &options.track}, {"--track2", &options.track2}},
                         .names = {&in, &out}};
  if (!args.Parse(argc, argv)) return 2;
  if (in.empty() || out.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  const auto result = ImportVitalFile(in, out, options, &error);
  if (!result) {
    std::fprintf(stderr, "import-vital: %s: %s\n", in.c_str(), error.c_str());
    return 2;
  }
  for (const std::string& note : result->notes) std::fprintf(stderr, "import-vital: %s\n", note.c_str());
  if (result->clipped > 0)
    std::fprintf(stderr, "import-vital: %ld samples beyond the count range were held at its ends\n",
                 result->clipped);
  std::printf(
      "\"%s\" and \"%s\" from %g Hz to 128 Hz, gain %d/%d uV per count%s, offset %d/%d, %d monitor "
      "variable tracks\n",
      result->label1.c_str(), result->label2.c_str(), result->inputRate, result->calibration.gainNum,
      result->calibration.gainDen, result->exactCalibration ? " (the track's own)" : "",
      result->calibration.offsetNum, result->calibration.offsetDen, result->monitorTracks);
  for (std::size_t p = 0; p < result->parts.size(); ++p) {
    const VitalImportPart& part = result->parts[p];
    const std::string path = VitalPartPath(out, static_cast<int>(p) + 1);
    std::printf("%s: start %02d:%02d:%02d, %d s", path.c_str(), part.startSecondOfDay / 3600,
                part.startSecondOfDay / 60 % 60, part.startSecondOfDay % 60, part.seconds);
    if (part.filledSeconds > 0) std::printf(", %d s flagged for bridged gaps", part.filledSeconds);
    if (!part.commentLines.empty())
      std::printf(", %zu comments in %s", part.commentLines.size(), CommentsPathFor(path).c_str());
    std::printf("\n");
  }
  return 0;
}

}  // namespace qs::cli
