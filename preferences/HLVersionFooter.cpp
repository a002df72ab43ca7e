#include "preferences/HLVersionFooter.h"

#include "preferences/HLLocalizedString.h"

#include <cstdio>

namespace {

constexpr const char* kVersion = "1.0";

}

std::string hl_versionFooter(long year)
{
    char text[160];
    std::snprintf(text, sizeof text, HLLocalizedString("HushlineMe %s\n© %ld Velloq. All rights reserved.").c_str(), kVersion, year);
    return text;
}

std::string hl_shareMessage()
{
    return HLLocalizedString("I'm Loving #Hushline, which automatically silence your iPhone by syncing with your calendar on your iDevice.");
}
