#pragma once

#include "platform/machinery/AtomicFile.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

// A field of a /proc status file as a number (kB for memory), 0 when it cannot be read.
inline long procStatusField(const std::filesystem::path& status, const std::string& name)
{
    std::string text;
    if (!readFile(status, text))
        return 0;
    auto at = text.find(name + ":");
    return at == std::string::npos ? 0 : std::strtol(text.c_str() + at + name.size() + 1, nullptr, 10);
}

}
