// "Did you mean ...?": the valid word nearest to a mistyped one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Edit distance (insertions, deletions, substitutions and swaps of two
// neighbouring characters, each counting one).
std::size_t editDistance(const std::string& a, const std::string& b);

// The candidate nearest to `word`, when it is near enough to be the one
// meant (at most a third of the word's characters off, 1 for short words,
// 3 at most); "" when none is.
std::string nearestWord(const std::string& word, const std::vector<std::string>& candidates);
