#include "session/events.h"

const char* outcomeWord(Outcome outcome) {
  switch (outcome) {
    case Outcome::done:
      return "done";
    case Outcome::notVerified:
      return "not verified";
    case Outcome::failed:
      return "failed";
    case Outcome::refused:
      return "refused";
    case Outcome::stopped:
      return "stopped";
    case Outcome::skipped:
      return "skipped";
  }
  return "failed";
}
