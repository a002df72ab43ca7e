#include "platform/foundation/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes a file descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }
    int get() const { return m_fd; }
    int close()
    {
        int result = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

bool fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
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

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error)
{
    std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return fail(error, "cannot create a temporary file in " + folder.string());

    // Keep the permissions of the file being replaced; a new file is readable by everyone,
    // as the phone's preference files are.
    struct stat old { };
    mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    fchmod(file.get(), mode);

    bool written = writeAll(file.get(), bytes) && fsync(file.get()) == 0;
    if (!written) {
        fail(error, "cannot write " + temporary);
        unlink(temporary.c_str());
        return false;
    }
    if (file.close() != 0) {
        fail(error, "cannot close " + temporary);
        unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        fail(error, "cannot rename over " + path.string());
        unlink(temporary.c_str());
        return false;
    }
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
    bytes.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(error, "cannot read " + path.string());
        if (n == 0)
            return true;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}
