#include "platform/eventkit/CalendarFileStamps.h"

#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

// Fewer files than this are looked at by the calling thread alone: a thread costs more.
constexpr size_t kSharedFrom = 1000;

}

std::optional<CalendarFileStamp> calendarFileStamp(int folderFd, const std::filesystem::path& folder, const std::string& name)
{
    struct stat info { };
    int found = folderFd >= 0 ? ::fstatat(folderFd, name.c_str(), &info, 0) : ::stat((folder / name).c_str(), &info);
    if (found != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return CalendarFileStamp { static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
        static_cast<uint64_t>(info.st_size), static_cast<uint64_t>(info.st_ino) };
}

std::vector<std::optional<CalendarFileStamp>> calendarFileStamps(int folderFd, const std::filesystem::path& folder,
    const std::vector<std::string>& names)
{
    std::vector<std::optional<CalendarFileStamp>> stamps(names.size());
    auto look = [&](size_t from, size_t to) {
        for (size_t index = from; index < to; ++index)
            stamps[index] = calendarFileStamp(folderFd, folder, names[index]);
    };
    size_t half = names.size() / 2;
    if (names.size() < kSharedFrom || std::thread::hardware_concurrency() < 2) {
        look(0, names.size());
        return stamps;
    }
    std::thread other;
    try {
        other = std::thread(look, half, names.size());
    } catch (const std::system_error&) {
        look(half, names.size());
    }
    look(0, half);
    if (other.joinable())
        other.join();
    return stamps;
}
