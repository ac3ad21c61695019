// Who ran an upload, for its record: the machine's name and the user's.
#pragma once

#include <string>

std::string hostName();
std::string userName();
