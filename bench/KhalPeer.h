#pragma once

#include "platform/eventkit/EKEventStore.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

// Runs khal_peer.sh on the phone's calendars: khal's own figures as "name value" lines (empty
// when khal is missing or the script fails).
inline std::map<std::string, std::string> runKhalPeer()
{
    std::string script = std::filesystem::path(__FILE__).parent_path() / "khal_peer.sh";
    std::string command = "bash '" + script + "' '" + EKEventStore::calendarsFolder().string() + "'";
    std::map<std::string, std::string> figures;
    FILE* output = popen(command.c_str(), "r");
    if (!output)
        return figures;
    char line[256];
    while (fgets(line, sizeof line, output)) {
        std::istringstream fields(line);
        std::string key, value;
        if (fields >> key >> value)
            figures[key] = value;
    }
    pclose(output);
    return figures;
}

// Runs khal on the phone's calendars and prints its figures beside ours: "what" took `ms`
// milliseconds, set against khal's warm run.
inline void printKhalComparison(const char* what, double ms)
{
    auto khal = runKhalPeer();
    if (!khal.count("khal_warm_ms")) {
        printf("khal peer not measured (bench/khal_peer.sh failed)\n");
        return;
    }
    double peer = std::stod(khal["khal_warm_ms"]);
    printf("khal list today today: warm %s ms, cold %s ms, %s events\n", khal["khal_warm_ms"].c_str(), khal["khal_cold_ms"].c_str(),
        khal["khal_events"].c_str());
    printf("%s %.3f ms; khal warm / %s = %.1f\n", what, ms, what, ms > 0 ? peer / ms : 0.0);
}
