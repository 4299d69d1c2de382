#pragma once
// `quellscope-cli report`: one case's report page(s) as a PDF (and a PNG).
// `quellscope-cli batch-case`: one case of a batch, run by `batch` in its own
// process: records, log and (with --report) the PDF in the batch's folder,
// and the case's summary row on stdout.
namespace qs::cli {

int ReportCommand(int argc, char** argv);
int BatchCaseCommand(int argc, char** argv);

}  // namespace qs::cli
