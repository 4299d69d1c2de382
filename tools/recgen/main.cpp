// quellscope-recgen: writes packet record files of synthetic EEG with known
// content, for tests, demonstrations and anyone who needs test material.
// Everything but the process boundary lives in the quellscope_recgen library.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/recgen/RecordingGenerator.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const qs::recgen::CommandLine cl = qs::recgen::ParseCommandLine(args);
  if (cl.help) {
    std::fputs(qs::recgen::UsageText().c_str(), stdout);
    return 0;
  }
  if (!cl.error.empty()) {
    // The message and the usage line only: the whole help would scroll the
    // message out of sight.
    const std::string usage = qs::recgen::UsageText();
    std::fprintf(stderr, "quellscope-recgen: %s\n%s  (--help describes every option)\n", cl.error.c_str(),
                 usage.substr(0, usage.find('\n')).c_str());
    return 2;
  }
  const qs::recgen::GeneratedRecording recording = qs::recgen::GenerateRecording(cl.options);
  std::string error;
  if (!qs::recgen::WriteRecording(cl.outPath, recording, &error)) {
    std::fprintf(stderr, "quellscope-recgen: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", qs::recgen::Summary(cl.outPath, recording).c_str());
  return 0;
}
