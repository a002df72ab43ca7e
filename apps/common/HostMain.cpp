#include "apps/common/HostMain.h"

#include <cstdio>
#include <exception>
#include <unistd.h>

void runHostAndExit(const char* program, const std::function<int()>& host)
{
    int status;
    try {
        status = host();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        status = 1;
    }
    std::fflush(nullptr);
    _exit(status);
}
