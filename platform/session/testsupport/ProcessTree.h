#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Processes as /proc shows them.
namespace TestSession {

// Every process whose parent chain leads to `root`.
std::vector<pid_t> descendantsOf(pid_t root);

// Every process of the process group.
std::vector<pid_t> processGroupMembers(pid_t group);

// The start time of a process in clock ticks since boot ("" when there is none): with the pid, it
// names one process even after its pid is reused.
std::string processStartTime(pid_t);

}
