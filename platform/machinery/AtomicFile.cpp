#include "platform/machinery/AtomicFile.h"

#include "platform/machinery/FileDescriptor.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

// A writer's temporary file: "." + the target's name + "." + six characters of mkostemp.
constexpr size_t kUniqueLength = 6;

std::string temporaryPrefix(const std::string& name)
{
    return "." + name + ".";
}

// Creates the temporary file for the target `name` in `folder`, locked for as long as the
// returned descriptor (or a duplicate of it) is open, and names it in `temporary`; -1 on
// failure. A process killed while it writes leaves the file behind, but the kernel drops its
// lock, which is how a later writer tells an abandoned file from one still being written.
int createLockedTemporaryFile(const std::filesystem::path& folder, const std::string& name, std::string& temporary)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        temporary = (folder / (temporaryPrefix(name) + std::string(kUniqueLength, 'X'))).string();
        FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
        if (file.get() < 0)
            return -1;
        // Another writer may take the file for abandoned between its creation and the lock,
        // and remove it: then the name no longer leads to this file, and a fresh one is made.
        // On a file system without locks the file stays unlocked, and no writer removes
        // another's temporaries there (they cannot lock them either).
        int locked = flock(file.get(), LOCK_EX | LOCK_NB);
        struct stat mine { }, named { };
        bool unlockable = locked != 0 && errno != EWOULDBLOCK;
        bool stillNamed = locked == 0 && fstat(file.get(), &mine) == 0 && ::lstat(temporary.c_str(), &named) == 0
            && mine.st_ino == named.st_ino && mine.st_dev == named.st_dev;
        if (unlockable || stillNamed) {
            return file.release();
        }
    }
    errno = EAGAIN;
    return -1;
}

// Removes the temporary files of the target `name` that no process holds locked: those of a
// writer that died before its rename. Without this every killed save would leave one more.
void removeAbandonedTemporaryFiles(const std::filesystem::path& folder, const std::string& name)
{
    const std::string prefix = temporaryPrefix(name);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (entry.size() != prefix.size() + kUniqueLength || !entry.starts_with(prefix))
            continue;
        FileDescriptor file(::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (file.get() < 0 || flock(file.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Unlink only the file that was locked: its writer may have renamed it meanwhile.
        struct stat locked { }, named { };
        if (fstat(file.get(), &locked) == 0 && ::lstat(it->path().c_str(), &named) == 0 && locked.st_ino == named.st_ino
            && locked.st_dev == named.st_dev)
            unlink(it->path().c_str());
    }
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}

namespace {

std::atomic<bool> durableWrites { true };

}

void setAtomicWritesDurable(bool durable)
{
    durableWrites = durable;
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error)
{
    std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    removeAbandonedTemporaryFiles(folder, path.filename().string());
    std::string temporary;
    FileDescriptor file(createLockedTemporaryFile(folder, path.filename().string(), temporary));
    if (file.get() < 0)
        return fail(error, "cannot create a temporary file in " + folder.string());

    // Keep the permissions of the file being replaced; a new file is readable by everyone,
    // as the phone's preference files are.
    struct stat old { };
    mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    fchmod(file.get(), mode);

    bool written = writeAll(file.get(), bytes) && (!durableWrites || fsync(file.get()) == 0);
    if (!written) {
        fail(error, "cannot write " + temporary);
        unlink(temporary.c_str());
        return false;
    }
    // A second descriptor keeps the lock until the file carries the target's name, so that no
    // other writer takes it for abandoned in between.
    FileDescriptor lock(::dup(file.get()));
    if (lock.get() < 0 || file.close() != 0) {
        fail(error, "cannot close " + temporary);
        unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        fail(error, "cannot rename over " + path.string());
        unlink(temporary.c_str());
        return false;
    }
    lock.close();
    if (!durableWrites)
        return true;
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        fsync(directory.get());
    return true;
}

bool readFile(const std::filesystem::path& path, std::string& bytes, std::string* error)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return fail(error, "cannot open " + path.string());
    // Read straight into the string, sized for the file as it is now; a file that grows
    // meanwhile is read to its end all the same.
    struct stat info { };
    size_t expected = ::fstat(file.get(), &info) == 0 && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
    bytes.clear();
    size_t used = 0;
    for (;;) {
        if (bytes.size() - used < 4096)
            bytes.resize(std::max(expected + 1, bytes.size() * 2 + 65536));
        ssize_t n = ::read(file.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes.clear();
            return fail(error, "cannot read " + path.string());
        }
        if (n == 0) {
            bytes.resize(used);
            return true;
        }
        used += static_cast<size_t>(n);
    }
}
