#pragma once

#include "platform/machinery/RandomToken.h"

#include <string>

// The id a tab of the page names itself by: up to 64 letters, digits, '-' and '_'. The empty id
// is the tab of a caller that names none (a tool, an old page).
inline bool isTabId(const std::string& id)
{
    if (id.size() > 64)
        return false;
    for (char c : id)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

// A new tab's id, made by the host for a page it serves.
inline std::string newTabId()
{
    return "tab-" + randomToken();
}
