#include "apps/phonectl/BootCalendars.h"

#include "apps/phonectl/CalendarLinks.h"
#include "apps/phonectl/ControlClient.h"
#include "apps/phonectl/RememberedCalendars.h"

#include <cstdio>

namespace {

void warn(const std::string& warning)
{
    std::fprintf(stderr, "phonectl: warning: %s\n", warning.c_str());
}

bool forgets(const std::vector<std::filesystem::path>& given)
{
    bool none = false;
    for (const auto& folder : given)
        none = none || folder == "none";
    if (none && given.size() > 1)
        throw PhonectlError("--calendars none links no folder: give it alone");
    return none;
}

std::vector<std::filesystem::path> absoluteFolders(const std::vector<std::filesystem::path>& folders)
{
    std::vector<std::filesystem::path> absolute;
    for (const auto& folder : folders) {
        std::error_code error;
        absolute.push_back(std::filesystem::absolute(folder, error).lexically_normal());
    }
    return absolute;
}

void link(const std::filesystem::path& root, const std::vector<std::filesystem::path>& folders)
{
    CalendarAccounts plan = planCalendarAccounts(folders);
    for (const auto& warning : plan.warnings)
        warn(warning);
    linkCalendarAccounts(root, plan.accounts);
}

// The remembered folders that still exist; a warning for each of the others.
std::vector<std::filesystem::path> existingRemembered(const std::vector<std::filesystem::path>& remembered)
{
    std::vector<std::filesystem::path> existing;
    for (const auto& folder : remembered) {
        std::error_code error;
        if (std::filesystem::is_directory(folder, error))
            existing.push_back(folder);
        else
            warn(RememberedCalendars::file().string() + ": the calendar folder " + folder.string()
                + " no longer exists; the other calendars are linked (remove its line to forget it)");
    }
    return existing;
}

void linkRemembered(const std::filesystem::path& root)
{
    auto remembered = RememberedCalendars::read();
    if (!remembered)
        return;
    try {
        link(root, existingRemembered(*remembered));
    } catch (const PhonectlError& error) {
        throw PhonectlError(RememberedCalendars::file().string() + ": " + error.what());
    }
}

}

void linkBootCalendars(const std::filesystem::path& root, const std::vector<std::filesystem::path>& given, bool session)
{
    if (forgets(given)) {
        linkCalendarAccounts(root, {});
        if (session)
            RememberedCalendars::forget();
        return;
    }
    if (given.empty()) {
        if (session)
            linkRemembered(root);
        return;
    }
    auto folders = absoluteFolders(given);
    link(root, folders);
    std::string why;
    if (session && !RememberedCalendars::write(folders, &why))
        warn("cannot remember the calendar folders in " + RememberedCalendars::file().string() + ": " + why);
}
