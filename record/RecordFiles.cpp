#include "record/RecordFiles.h"

namespace qs {

const char* ReplayOpenMessage(ReplayOpenOutcome outcome) {
  switch (outcome) {
    case ReplayOpenOutcome::Ok: return "";
    case ReplayOpenOutcome::NotSelected: return "File not selected";
    case ReplayOpenOutcome::OpenError: return "File open error";
    case ReplayOpenOutcome::SizeError: return "File size error";
    case ReplayOpenOutcome::TypeError: return "File type error";
  }
  return "File open error";
}

}  // namespace qs
