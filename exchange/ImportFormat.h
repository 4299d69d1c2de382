#pragma once
// Which converter a picked or listed file needs, by its name's extension
// without case: .edf and .bdf are EDF files, .vital a Vital file, anything
// else a packet record file (the replay takes a record under any name). The
// program's Offline pick and the command-line cases decide alike.
#include <string>

namespace qs {

enum class ImportFormat { Record, Edf, Vital };

ImportFormat ImportFormatOf(const std::string& path);

// The extensions a folder search takes as cases: .eeg, .edf, .bdf, .vital.
bool IsCaseFileName(const std::string& path);

}  // namespace qs
