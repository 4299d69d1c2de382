#pragma once
// quellscope-cli import-vital: a Vital file to one or more record files.
namespace qs::cli {

int ImportVitalCommand(int argc, char** argv);

}  // namespace qs::cli
