#include "session/events.h"

const char* stateWord(LineState state) {
  switch (state) {
    case LineState::waiting:
      return "waiting";
    case LineState::opening:
      return "opening";
    case LineState::sending:
      return "sending";
    case LineState::closing:
      return "closing";
    case LineState::ended:
      break;
  }
  return "ended";
}

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
