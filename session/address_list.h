// Device addresses as a person lists them: "7", "1,5,9-12".
#pragma once

#include <string>
#include <vector>

// The addresses `text` lists, in its order, each 1 to 512 and each once;
// false with `error` (one line, naming --address) when it lists anything else.
bool parseAddressList(const std::string& text, std::vector<int>& out, std::string& error);

// The list written back the short way: "1, 5, 9-12".
std::string addressListText(const std::vector<int>& addresses);
