#include "platform/eventkit/CalendarMirror.h"

#include "platform/foundation/NSLog.h"
#include "platform/machinery/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kMark = ".mirror";
constexpr mode_t kWritableMode = 0755;
constexpr mode_t kReadOnlyMode = 0555;
// Longer names are cut to a digest: a folder entry holds 255 bytes.
constexpr size_t kLongestName = 200;

bool isKept(char c, bool first)
{
    if (first && c == '.')
        return false;
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '@'
        || c == '+' || c == '=' || c == ',';
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (isKept(c, i == 0)) {
            out += c;
            continue;
        }
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        out += hex;
    }
    return out;
}

std::string digest(const std::string& text)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

bool writeIfDifferent(const std::filesystem::path& path, const std::string& text)
{
    std::string current;
    if (readFile(path, current) && current == text)
        return true;
    std::string error;
    if (writeFileAtomically(path, text, &error))
        return true;
    NSLog("Calendars: %s cannot be written: %s", path.c_str(), error.c_str());
    return false;
}

void removeIfPresent(const std::filesystem::path& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// A folder without write permission is opened for the mirror's own writes, and closed again.
class OpenedForWriting {
public:
    explicit OpenedForWriting(std::filesystem::path folder) : m_folder(std::move(folder))
    {
        m_opened = access(m_folder.c_str(), W_OK) != 0 && chmod(m_folder.c_str(), kWritableMode) == 0;
    }
    ~OpenedForWriting()
    {
        if (m_opened)
            chmod(m_folder.c_str(), kReadOnlyMode);
    }
    OpenedForWriting(const OpenedForWriting&) = delete;
    OpenedForWriting& operator=(const OpenedForWriting&) = delete;

private:
    std::filesystem::path m_folder;
    bool m_opened { false };
};

bool isWritable(const std::filesystem::path& folder)
{
    struct stat info { };
    return stat(folder.c_str(), &info) == 0 && (info.st_mode & 0222) != 0;
}

}

CalendarMirror::CalendarMirror(std::filesystem::path calendarsFolder, std::string service)
    : m_root(std::move(calendarsFolder))
    , m_service(std::move(service))
{
}

std::string CalendarMirror::eventFileName(const std::string& uid, const std::string& recurrenceId)
{
    std::string name = escaped(uid.empty() ? "-" : uid);
    if (!recurrenceId.empty())
        name += "~" + escaped(recurrenceId);
    if (name.size() > kLongestName)
        name = name.substr(0, kLongestName - 17) + "~" + digest(uid + "\n" + recurrenceId);
    return name + ".ics";
}

std::filesystem::path CalendarMirror::folderOf(const Place& place) const
{
    return m_root / place.first / place.second;
}

bool CalendarMirror::isMirrored(const std::filesystem::path& folder) const
{
    std::string mark;
    return readFile(folder / kMark, mark) && mark == m_service + "\n";
}

void CalendarMirror::describe(const Calendar& calendar)
{
    describeAccount(calendar);
    std::filesystem::path folder = folderOf({ calendar.account, calendar.name });
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) {
        if (!isMirrored(folder))
            return;
        {
            OpenedForWriting opened(folder);
            writeFields(folder, calendar);
        }
        if (isWritable(folder) != calendar.writable)
            chmod(folder.c_str(), calendar.writable ? kWritableMode : kReadOnlyMode);
        return;
    }
    // Made aside and moved in: readers see the calendar whole, its name and colour included.
    std::filesystem::path partial = m_root / calendar.account / ("." + calendar.name + ".new");
    std::filesystem::remove_all(partial, error);
    std::filesystem::create_directories(partial, error);
    writeFields(partial, calendar);
    chmod(partial.c_str(), calendar.writable ? kWritableMode : kReadOnlyMode);
    std::filesystem::rename(partial, folder, error);
    if (error)
        NSLog("Calendars: %s cannot be made: %s", folder.c_str(), error.message().c_str());
}

void CalendarMirror::describeAccount(const Calendar& calendar)
{
    std::filesystem::path folder = m_root / calendar.account;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::filesystem::path partial = m_root / ("." + calendar.account + ".new");
        std::filesystem::remove_all(partial, error);
        std::filesystem::create_directories(partial, error);
        writeIfDifferent(partial / kMark, m_service + "\n");
        writeIfDifferent(partial / "displayname", calendar.accountTitle + "\n");
        std::filesystem::rename(partial, folder, error);
        return;
    }
    if (isMirrored(folder))
        writeIfDifferent(folder / "displayname", calendar.accountTitle + "\n");
}

void CalendarMirror::writeFields(const std::filesystem::path& folder, const Calendar& calendar)
{
    writeIfDifferent(folder / kMark, m_service + "\n");
    writeIfDifferent(folder / "displayname", calendar.title + "\n");
    if (calendar.color)
        writeIfDifferent(folder / "color", *calendar.color + "\n");
    else
        removeIfPresent(folder / "color");
}

bool CalendarMirror::putEvent(const Place& place, const std::string& fileName, const std::string& text)
{
    std::filesystem::path folder = folderOf(place);
    OpenedForWriting opened(folder);
    return writeIfDifferent(folder / fileName, text);
}

void CalendarMirror::removeEvent(const Place& place, const std::string& fileName)
{
    std::filesystem::path folder = folderOf(place);
    std::error_code error;
    if (!std::filesystem::exists(folder / fileName, error))
        return;
    OpenedForWriting opened(folder);
    removeIfPresent(folder / fileName);
}

std::vector<std::string> CalendarMirror::eventFiles(const Place& place) const
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(place), error)) {
        std::string name = entry.path().filename().string();
        if (name.front() != '.' && entry.path().extension() == ".ics")
            names.push_back(name);
    }
    return names;
}

void CalendarMirror::removeCalendar(const Place& place)
{
    std::filesystem::path folder = folderOf(place);
    if (!isMirrored(folder))
        return;
    std::error_code error;
    chmod(folder.c_str(), kWritableMode);
    // Moved aside first: readers see the calendar go whole.
    std::filesystem::path gone = m_root / place.first / ("." + place.second + ".gone");
    std::filesystem::remove_all(gone, error);
    std::filesystem::rename(folder, gone, error);
    std::filesystem::remove_all(error ? folder : gone, error);
    std::filesystem::path account = m_root / place.first;
    if (!isMirrored(account))
        return;
    for (const auto& entry : std::filesystem::directory_iterator(account, error))
        if (entry.path().filename().string().front() != '.' && entry.is_directory(error))
            return;
    std::filesystem::remove_all(account, error);
}

std::vector<CalendarMirror::Place> CalendarMirror::calendars() const
{
    std::vector<Place> places;
    std::error_code error;
    for (const auto& account : std::filesystem::directory_iterator(m_root, error)) {
        std::string accountName = account.path().filename().string();
        if (accountName.front() == '.' || !account.is_directory(error))
            continue;
        for (const auto& calendar : std::filesystem::directory_iterator(account.path(), error)) {
            std::string name = calendar.path().filename().string();
            if (name.front() != '.' && calendar.is_directory(error) && isMirrored(calendar.path()))
                places.emplace_back(accountName, name);
        }
    }
    std::sort(places.begin(), places.end());
    return places;
}
