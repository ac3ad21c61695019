#include "session/nearest_word.h"

#include <algorithm>

std::size_t editDistance(const std::string& a, const std::string& b) {
  // d[i][j]: distance between the first i characters of a and the first j of b.
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

std::string nearestWord(const std::string& word, const std::vector<std::string>& candidates) {
  const std::size_t limit = std::clamp<std::size_t>(word.size() / 3, 1, 3);
  std::string best;
  std::size_t bestDistance = limit + 1;
  for (const std::string& c : candidates) {
    const std::size_t distance = editDistance(word, c);
    if (distance < bestDistance) {
      best = c;
      bestDistance = distance;
    }
  }
  return best;
}
