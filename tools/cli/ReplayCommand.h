#pragma once
// quellscope-cli replay: a Calculation Only run of a record file, headless,
// writing every interval record.
namespace qs::cli {

int ReplayCommand(int argc, char** argv);

}  // namespace qs::cli
