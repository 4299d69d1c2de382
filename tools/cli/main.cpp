// quellscope-cli: the program's work without its windows.
//
//   quellscope-cli info RECORD.eeg    what the pre-scan finds in a record file
//   quellscope-cli replay RECORD.eeg [--settings FILE] [--start-offset SEC] [--records OUT.csv]
//                         [--log OUT.log] [export flags, see the usage text]
//   quellscope-cli acquire --device PATH --seconds N [--settings FILE] [--record OUT.eeg]
//                          [--log OUT.log] [--records OUT.csv] [--draw] [--stats]
//   quellscope-cli export-edf RECORD.eeg OUT.edf [--comments FILE.cmt] [--indices] [--settings FILE]
//   quellscope-cli import-edf IN.edf OUT.eeg [--channel LABEL] [--channel2 LABEL]
//   quellscope-cli import-vital IN.vital OUT.eeg [--track NAME] [--track2 NAME]
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/AcquireCommand.h"
#include "cli/EdfCommands.h"
#include "cli/ReplayCommand.h"
#include "cli/VitalCommand.h"
#include "platform/TextLine.h"
#include "record/RecordPrescan.h"

namespace {

constexpr const char* kUsage =
    "usage: quellscope-cli COMMAND ...\n"
    "\n"
    "commands:\n"
    "  info RECORD.eeg   pre-scan a packet record file and print key=value lines:\n"
    "                    start (HH:MM:SS), seconds, rate (128 or 256), model,\n"
    "                    engine, bytes_per_second. A file the program would\n"
    "                    refuse prints its message and exits with 2.\n"
    "  replay RECORD.eeg [--settings FILE] [--start-offset SEC] [--records OUT.csv]\n"
    "                    replay the file in Calculation Only, as the program does,\n"
    "                    and write every 10-s interval record (index, time and the\n"
    "                    48 values, %.9g) to OUT.csv. Settings come from FILE, else\n"
    "                    from Kvo_V2000.ini in the current directory. --log OUT.log\n"
    "                    writes the log window's lines after the run (CR LF).\n"
    "                    Export files, opened before Start as the Save commands\n"
    "                    open them and written by the run:\n"
    "                      --pow-binary F | --pow-ascii F   power spectrum\n"
    "                      --bic-binary F | --bic-ascii F   bispectrum (at log lines)\n"
    "                      --amp F            half-wave amplitudes\n"
    "                      --bis-variables F  the monitor's variables\n"
    "                      --wave-ascii F     the wave, one sample per line\n"
    "                      --snapshot F       the \"Snap\" file at the end of the run\n"
    "                    --png-dir DIR runs the replay paced, with the drawing\n"
    "                    thread, as fast as drawing allows, and writes the graphs\n"
    "                    as the window would show them at the end: wave.png,\n"
    "                    power.png, bic.png, trend.png, sqi.png.\n"
    "  acquire --device PATH --seconds N [--settings FILE] [--record OUT.eeg]\n"
    "          [--log OUT.log] [--records OUT.csv] [--draw] [--stats]\n"
    "                    an online run on the serial device PATH (a monitor, or\n"
    "                    quellscope-monitor-sim) through the program's link and\n"
    "                    calculation threads: records the traffic to OUT.eeg,\n"
    "                    processes N seconds, runs the stop sequence and exits 0.\n"
    "                    A monitor that does not respond (or a device that does\n"
    "                    not open) prints the program's message and exits 3; one\n"
    "                    that never acknowledges the stop requests exits 4.\n"
    "                    --draw runs the drawing thread as the window would.\n"
    "                    --stats prints resident memory, the drawing queue's and\n"
    "                    the sample ring's high-water marks and CPU time.\n"
    "                    --record-times OUT.txt writes \"INDEX NANOSECONDS\" (steady\n"
    "                    clock) when each interval record becomes available.\n"
    "                    A monitor that falls silent or whose device vanishes is\n"
    "                    waited for (the device opened again every second) and\n"
    "                    the run goes on; after a gap the record continues in\n"
    "                    OUT_part2.eeg, OUT_part3.eeg, ...; --comments OUT.cmt\n"
    "                    writes the comment lines that note each of these.\n"
    "  export-edf RECORD.eeg OUT.edf [--comments FILE.cmt] [--indices] [--settings FILE]\n"
    "                    write the record as EDF+: every EEG channel at its rate in\n"
    "                    uV (digital values = the monitor's counts, physical range\n"
    "                    from the calibration), the monitor's BIS, SEF, BSR, SQI\n"
    "                    and EMG of the EEG channel of the settings as 1 Hz signals\n"
    "                    (not available = digital minimum, and an annotation), the\n"
    "                    comments of FILE.cmt as annotations at their times of day.\n"
    "                    --indices replays the file as `replay` does and adds the\n"
    "                    program's own indices as 0.1 Hz signals (10-s data records;\n"
    "                    a last part shorter than 10 s is left out).\n"
    "  import-edf IN.edf OUT.eeg [--channel LABEL] [--channel2 LABEL]\n"
    "                    convert one or two EEG signals of an EDF, EDF+, BDF or BDF+\n"
    "                    file into a 128-Hz packet record file the program replays:\n"
    "                    resampled to 128 Hz (low-pass FIR, pass band to 47 Hz,\n"
    "                    80 dB from 58 Hz), counts spanning the signal's physical\n"
    "                    range, the start time of the EDF, its annotations written\n"
    "                    to OUT.cmt. Without --channel the first signal whose label\n"
    "                    begins with EEG is taken (else the first signal); without\n"
    "                    --channel2 the next such signal of the same rate, else the\n"
    "                    first one again. A damaged file prints the field, the data\n"
    "                    record and the byte offset and exits with 2.\n"
    "  import-vital IN.vital OUT.eeg [--track NAME] [--track2 NAME]\n"
    "                    convert the EEG of a Vital file (the EEG waveform tracks\n"
    "                    by meaning code, else .../EEG1_WAV and .../EEG2_WAV, or\n"
    "                    the tracks named) into 128-Hz packet record files: the\n"
    "                    numeric tracks BIS, SEF, SR, SQI and EMG as the monitor\n"
    "                    variables of each second, the EVENT track's texts as\n"
    "                    comments in OUT.cmt at their local times. Overlapping\n"
    "                    records keep their first samples; gaps up to 2 s are\n"
    "                    bridged and their seconds flagged as artifacts; a longer\n"
    "                    gap starts OUT_part2.eeg, OUT_part3.eeg, ... A damaged\n"
    "                    file prints the packet and its byte offset in the\n"
    "                    decompressed data and exits with 2.\n"
    "  help              this text\n";

int Info(const char* path) {
  const qs::PrescanResult r = qs::PrescanRecord(path);
  if (r.outcome != qs::ReplayOpenOutcome::Ok) {
    std::fprintf(stderr, "%s: %s\n", path, qs::ReplayOpenMessage(r.outcome));
    return 2;
  }
  qs::TextLine start;
  start.Clock(r.fileStartSec);
  std::printf("start=%.*s\n", static_cast<int>(start.Size()), start.Data());
  std::printf("seconds=%d\n", r.fileSeconds);
  std::printf("rate=%d\n", r.rate256 ? 256 : 128);
  std::printf("model=%d\n", r.monitorModel);
  std::printf("engine=%d\n", r.engineKind);
  std::printf("bytes_per_second=%d\n", r.bytesPerSecond);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "acquire") == 0) return qs::cli::AcquireCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "export-edf") == 0) return qs::cli::ExportEdfCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "import-edf") == 0) return qs::cli::ImportEdfCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "import-vital") == 0) return qs::cli::ImportVitalCommand(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "replay") == 0) return qs::cli::ReplayCommand(argc - 2, argv + 2);
  std::fputs(kUsage, stderr);
  return 2;
}
