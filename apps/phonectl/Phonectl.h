#pragma once

#include <string>
#include <vector>

// phonectl's commands (see main.cpp for the list). Returns the exit status: 0 done, 1 refused
// or failed (a phone that is not booted, an unknown root, a refusal of the phone), 2 a wrong
// command or malformed input. Messages go to the error stream as "phonectl: ...".
int runPhonectl(const std::vector<std::string>& arguments);
