#pragma once

namespace qs::cli {

// quellscope-cli acquire --device PATH --seconds N [--settings FILE]
//   [--record OUT.eeg] [--log OUT.log] [--records OUT.csv]
// argv holds the arguments after "acquire".
int AcquireCommand(int argc, char** argv);

}  // namespace qs::cli
