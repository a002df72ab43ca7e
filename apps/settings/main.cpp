// The Settings app of the simulated phone (see SettingsHost.h).
//
//   Settings [--root DIR] [--port N] [--web DIR]
//
// --root names the device root (else HUSHLINE_DEVICE_ROOT); --web the folder that holds the page
// (Hushline's data folder beside this program by default). Prints the page's address.
// The Today screen runs the phonectl named by $HUSHLINE_PHONECTL (phonectl settings sets it).

#include "apps/common/HostMain.h"
#include "apps/common/InstalledFiles.h"
#include "apps/settings/SettingsHost.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

namespace {

int usage(const std::string& problem)
{
    std::fprintf(stderr, "Settings: %s\nusage: Settings [--root DIR] [--port N] [--web DIR]\n", problem.c_str());
    return 2;
}

}

int main(int argc, char** argv)
{
    SettingsHostOptions options { .port = 0, .webFolder = InstalledFiles::fromHost().webFolder(), .launched = nullptr };
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if ((argument == "--root" || argument == "--port" || argument == "--web") && i + 1 >= argc)
            return usage(argument + " needs a value");
        if (argument == "--root") {
            setenv("HUSHLINE_DEVICE_ROOT", argv[++i], 1);
        } else if (argument == "--port") {
            char* end = nullptr;
            long port = std::strtol(argv[++i], &end, 10);
            if (*end || port < 0 || port > 65535)
                return usage(std::string("--port ") + argv[i] + ": expected 0 to 65535");
            options.port = static_cast<uint16_t>(port);
        } else if (argument == "--web") {
            options.webFolder = argv[++i];
        } else {
            return usage("unknown argument " + argument);
        }
    }
    runHostAndExit("Settings", [&options] { return runSettingsHost(options); });
}
