#include "platform/session/testsupport/SessionFolder.h"

#include "platform/session/testsupport/ProcessTree.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace TestSession {

namespace {

constexpr const char* kPrefix = "hl-session-";

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::trunc);
    out << text;
    if (!out.flush())
        throw std::runtime_error("private session: cannot write " + path.string());
}

// The owner file names the test process by pid and start time; a folder whose owner is gone (a
// crash, a time-out's kill: its daemons ended with it) is abandoned.
bool isAbandoned(const std::filesystem::directory_entry& entry)
{
    std::ifstream ownerFile(entry.path() / "owner");
    long pid = 0;
    std::string started;
    if (ownerFile >> pid >> started)
        return processStartTime(static_cast<pid_t>(pid)) != started;
    std::error_code error;
    return std::filesystem::file_time_type::clock::now() - entry.last_write_time(error) > std::chrono::minutes(1);
}

void removeAbandonedFolders()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/tmp", error)) {
        if (entry.path().filename().string().rfind(kPrefix, 0) == 0 && entry.is_directory(error) && isAbandoned(entry))
            std::filesystem::remove_all(entry.path(), error);
    }
}

}

SessionFolder::SessionFolder()
{
    removeAbandonedFolders();
    std::string pattern = std::string("/tmp/") + kPrefix + "XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("private session: mkdtemp: ") + strerror(errno));
    m_path = pattern;
    try {
        layOut();
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
        throw;
    }
}

SessionFolder::~SessionFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void SessionFolder::layOut() const
{
    writeText(m_path / "owner", std::to_string(getpid()) + " " + processStartTime(getpid()) + "\n");
    for (const auto& folder : { soundRuntime(), soundState(), data(), cache(), m_path / "log", services() })
        std::filesystem::create_directories(folder);
    // GLib and PulseAudio refuse a runtime folder others may enter.
    for (const auto& folder : { runtime(), soundRuntime() })
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    // A client that finds no server must say so, not start a PulseAudio of its own outside the
    // session's control.
    writeText(soundState() / "client.conf", "autospawn = no\n");
}

}
