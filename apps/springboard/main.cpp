// The home-screen host of the simulated phone (see SpringBoardHost.h).
//
//   SpringBoard [--root DIR] [--clock now|resume|YYYY-MM-DDTHH:MM:SS] [--session]
//
// --root names the device root (else HUSHLINE_DEVICE_ROOT). phonectl boot starts it and
// restarts it whenever it exits.

#include "apps/common/HostMain.h"
#include "apps/springboard/SpringBoardHost.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

namespace {

int usage(const char* problem)
{
    std::fprintf(stderr, "SpringBoard: %s\nusage: SpringBoard [--root DIR] [--clock now|resume|YYYY-MM-DDTHH:MM:SS] [--session]\n", problem);
    return 2;
}

}

int main(int argc, char** argv)
{
    SpringBoardHostOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if ((argument == "--clock" || argument == "--root") && i + 1 >= argc)
            return usage((argument + " needs a value").c_str());
        if (argument == "--clock")
            options.clock = argv[++i];
        else if (argument == "--session")
            options.session = true;
        else if (argument == "--root")
            setenv("HUSHLINE_DEVICE_ROOT", argv[++i], 1);
        else
            return usage(("unknown argument " + argument).c_str());
    }
    runHostAndExit("SpringBoard", [&options] { return runSpringBoardHost(options); });
}
