#include "apps/phonectl/CalendarLinks.h"

#include "apps/phonectl/ControlClient.h"
#include "platform/machinery/AtomicFile.h"

#include <cstdio>

namespace {

// Marks a folder of the phone's calendars that phonectl made to hold links (hidden: the phone
// skips it).
constexpr const char* kLinkedMark = ".linked-by-phonectl";

std::filesystem::path calendarsOf(const std::filesystem::path& root)
{
    return root / "var" / "mobile" / "Calendars";
}

bool isLinked(const std::filesystem::path& place)
{
    std::error_code error;
    return std::filesystem::is_symlink(place, error) || std::filesystem::exists(place / kLinkedMark, error);
}

void refuseOwnAccounts(const std::filesystem::path& calendars, const std::vector<LinkedAccount>& accounts)
{
    for (const auto& account : accounts) {
        std::error_code error;
        auto place = calendars / account.name;
        if (std::filesystem::exists(std::filesystem::symlink_status(place, error)) && !isLinked(place))
            throw PhonectlError("--calendars " + account.folder.string() + ": the phone already has an account of its own named " + account.name);
    }
}

// Removes the links only, never what they point to: a marked folder is emptied of its links and
// its mark, then removed.
void unlinkEarlierAccounts(const std::filesystem::path& calendars)
{
    std::error_code error;
    std::vector<std::filesystem::path> linked;
    for (std::filesystem::directory_iterator it(calendars, error), end; !error && it != end; it.increment(error))
        if (isLinked(it->path()))
            linked.push_back(it->path());
    for (const auto& place : linked) {
        if (!std::filesystem::is_symlink(place, error)) {
            for (std::filesystem::directory_iterator it(place, error), end; !error && it != end; it.increment(error))
                if (it->is_symlink(error) || it->path().filename() == kLinkedMark)
                    std::filesystem::remove(it->path(), error);
        }
        std::filesystem::remove(place, error);
    }
}

void link(const std::filesystem::path& target, const std::filesystem::path& place, const LinkedAccount& account)
{
    std::error_code error;
    std::filesystem::create_directory_symlink(target, place, error);
    if (error)
        throw PhonectlError("--calendars " + account.folder.string() + ": cannot link it into the phone: " + error.message());
}

void linkAccount(const std::filesystem::path& calendars, const LinkedAccount& account)
{
    auto place = calendars / account.name;
    if (account.calendars.empty())
        return link(account.folder, place, account);
    std::error_code error;
    std::filesystem::create_directory(place, error);
    std::string why;
    if (error || !writeFileAtomically(place / kLinkedMark, "", &why))
        throw PhonectlError("--calendars " + account.folder.string() + ": cannot make the account " + account.name + " in the phone: "
            + (error ? error.message() : why));
    for (const auto& calendar : account.calendars)
        link(calendar, place / phoneFolderName(calendar), account);
}

}

void linkCalendarAccounts(const std::filesystem::path& root, const std::vector<LinkedAccount>& accounts)
{
    auto calendars = calendarsOf(root);
    std::error_code error;
    std::filesystem::create_directories(calendars, error);
    refuseOwnAccounts(calendars, accounts);
    unlinkEarlierAccounts(calendars);
    for (const auto& account : accounts)
        linkAccount(calendars, account);
}

void linkCalendarFolders(const std::filesystem::path& root, const std::vector<std::filesystem::path>& folders)
{
    if (folders.empty())
        return;
    CalendarAccounts plan = planCalendarAccounts(folders);
    for (const auto& warning : plan.warnings)
        std::fprintf(stderr, "phonectl: warning: %s\n", warning.c_str());
    linkCalendarAccounts(root, plan.accounts);
}
