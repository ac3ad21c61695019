#include "session/read_back_lines.h"

#include <system_error>
#include <thread>

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
