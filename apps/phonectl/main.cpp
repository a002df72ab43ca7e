// phonectl: the command line of the simulated phone, for people and tests (phonectl help).

#include "apps/phonectl/Phonectl.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    int status = runPhonectl(std::vector<std::string>(argv + 1, argv + argc));
    std::fflush(nullptr);
    // The phone's singletons (its bus connection) stay until the process ends.
    _exit(status);
}
