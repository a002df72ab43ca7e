#include "apps/phonectl/CalendarFolders.h"

#include "apps/phonectl/ControlClient.h"

#include <algorithm>

namespace {

bool isHidden(const std::string& name)
{
    return name.empty() || name.front() == '.';
}

// What the phone reads in a calendar's folder (hidden files aside, as the phone skips them).
bool isCalendarEntry(const std::string& name)
{
    bool ics = name.size() > 4 && name.compare(name.size() - 4, 4, ".ics") == 0;
    return !isHidden(name) && (ics || name == "displayname" || name == "color");
}

struct FolderContent {
    bool calendarFiles { false };
    std::vector<std::filesystem::path> subFolders;
};

FolderContent contentOf(const std::filesystem::path& folder)
{
    FolderContent content;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code ignored;
        if (isHidden(name))
            continue;
        if (it->is_directory(ignored))
            content.subFolders.push_back(it->path());
        else if (isCalendarEntry(name))
            content.calendarFiles = true;
    }
    std::sort(content.subFolders.begin(), content.subFolders.end());
    return content;
}

std::filesystem::path absoluteFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(folder, error).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    if (!std::filesystem::is_directory(path, error))
        throw PhonectlError("--calendars " + folder.string() + (std::filesystem::exists(path, error) ? ": not a folder" : ": no such folder"));
    return path;
}

// The accounts one folder yields; none when it holds neither calendars nor pairs.
std::vector<LinkedAccount> accountsOf(const std::filesystem::path& source)
{
    FolderContent top = contentOf(source);
    if (top.calendarFiles)
        return { { phoneFolderName(source), source, { source } } };
    std::vector<std::filesystem::path> pairs, calendars, empty;
    for (const auto& sub : top.subFolders) {
        FolderContent inner = contentOf(sub);
        auto& kind = inner.calendarFiles ? calendars : inner.subFolders.empty() ? empty : pairs;
        kind.push_back(sub);
    }
    if (pairs.empty())
        return top.subFolders.empty() ? std::vector<LinkedAccount> {} : std::vector<LinkedAccount> { { phoneFolderName(source), source, {} } };
    // Beside pairs, an empty folder is a pair vdirsyncer has not synced yet: linked whole, its
    // calendars are read once they are synced.
    pairs.insert(pairs.end(), empty.begin(), empty.end());
    std::sort(pairs.begin(), pairs.end());
    std::vector<LinkedAccount> accounts;
    for (const auto& pair : pairs)
        accounts.push_back({ phoneFolderName(pair), pair, {} });
    if (!calendars.empty())
        accounts.push_back({ phoneFolderName(source), source, calendars });
    return accounts;
}

bool sameFolder(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    return a == b || std::filesystem::equivalent(a, b, error);
}

bool sameAccount(const LinkedAccount& a, const LinkedAccount& b)
{
    return a.name == b.name && sameFolder(a.folder, b.folder) && a.calendars.size() == b.calendars.size()
        && std::equal(a.calendars.begin(), a.calendars.end(), b.calendars.begin(), sameFolder);
}

void addAccount(CalendarAccounts& plan, LinkedAccount account)
{
    auto named = std::find_if(plan.accounts.begin(), plan.accounts.end(), [&](const LinkedAccount& known) { return known.name == account.name; });
    if (named == plan.accounts.end())
        plan.accounts.push_back(std::move(account));
    else if (!sameAccount(*named, account))
        throw PhonectlError("--calendars: two calendar accounts would be named \"" + account.name + "\": " + named->folder.string() + " and "
            + account.folder.string() + " (the phone names an account after its folder; rename one of them)");
}

}

std::string phoneFolderName(const std::filesystem::path& folder)
{
    std::string name = folder.filename().string();
    name.erase(0, name.find_first_not_of('.'));
    return name.empty() ? "Calendars" : name;
}

CalendarAccounts planCalendarAccounts(const std::vector<std::filesystem::path>& folders)
{
    CalendarAccounts plan;
    for (const auto& folder : folders) {
        std::filesystem::path source = absoluteFolder(folder);
        auto accounts = accountsOf(source);
        if (accounts.empty()) {
            accounts.push_back({ phoneFolderName(source), source, {} });
            plan.warnings.push_back("--calendars " + folder.string() + " holds no calendar yet; it is linked as the account \""
                + accounts.front().name + "\" and read once calendars are synced into it");
        }
        for (auto& account : accounts)
            addAccount(plan, std::move(account));
    }
    return plan;
}
