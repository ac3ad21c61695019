#include "session/read_back_lines.h"

#include <system_error>
#include <thread>

#include "session/exit_codes.h"

namespace {

using Step = ReadBackStatus (*)(const ReadBackRequest&, ReadBack&, ReadBackObserver&,
                                const ReadBackTuning&);

void runAll(std::vector<LineReadBack>& lines, const LineObservers& observers,
            const ReadBackTuning& tuning, Step step) {
  const auto one = [&](std::size_t i) {
    LineReadBack& l = lines[i];
    l.status = step(l.request, l.readBack, observers(i), tuning);
  };
  if (lines.size() == 1) {
    one(0);
    return;
  }
  std::vector<std::thread> threads;
  std::size_t i = 0;
  for (; i < lines.size(); ++i) {
    try {
      threads.emplace_back(one, i);
    } catch (const std::system_error&) {
      break;  // no thread to be had: the rest are read here, one after another
    }
  }
  for (; i < lines.size(); ++i) one(i);
  for (std::thread& t : threads) t.join();
}

}  // namespace

void readBackLinesBefore(std::vector<LineReadBack>& lines, const LineObservers& observers,
                         const ReadBackTuning& tuning) {
  runAll(lines, observers, tuning, readBackBefore);
}

void readBackLinesAfter(std::vector<LineReadBack>& lines, const LineObservers& observers,
                        const ReadBackTuning& tuning) {
  runAll(lines, observers, tuning, readBackAfter);
}

namespace {

int exitOf(ReadBackStatus status) {
  switch (status) {
    case ReadBackStatus::go:
      return exitDone;
    case ReadBackStatus::noRdm:
      return exitUsage;
    case ReadBackStatus::lineFailed:
      return exitLineFailed;
    case ReadBackStatus::stopped:
      return exitInterrupted;
    case ReadBackStatus::notConfirmed:
      break;
  }
  return exitReadBack;
}

int rank(int status) {
  switch (status) {
    case exitDone:
      return 0;
    case exitInterrupted:
      return 5;
    case exitUsage:
      return 4;
    case exitLineFailed:
      return 3;
    default:
      return 2;
  }
}

}  // namespace

int readBackExit(const std::vector<LineReadBack>& lines) {
  int status = exitDone;
  for (const LineReadBack& l : lines) {
    const int s = exitOf(l.status);
    if (rank(s) > rank(status)) status = s;
  }
  return status;
}
