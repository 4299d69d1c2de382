#pragma once
// `quellscope-cli batch INPUTS... --out DIR [--jobs N] [--report] [--settings F] [--channel N]`:
// every case in its own process (this program's `batch-case`), N at a time;
// DIR/summary.csv with one row per case in input order.
namespace qs::cli {

int BatchCommand(int argc, char** argv);

}  // namespace qs::cli
