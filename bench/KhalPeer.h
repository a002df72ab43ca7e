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
