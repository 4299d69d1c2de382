#pragma once
// quellscope-cli export-edf and import-edf: a record file to EDF+ and an
// EDF/EDF+/BDF/BDF+ file to a record file.
namespace qs::cli {

int ExportEdfCommand(int argc, char** argv);
int ImportEdfCommand(int argc, char** argv);

}  // namespace qs::cli
