#include "platform/machinery/SharedClockFile.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

static_assert(std::atomic_ref<double>::is_always_lock_free, "the shared clock needs lock-free 8-byte atomics");

struct FileDescriptor {
    int fd { -1 };
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
};

double* mapClock(int fd, int protection)
{
    void* mapping = mmap(nullptr, sizeof(double), protection, MAP_SHARED, fd, 0);
    return mapping == MAP_FAILED ? nullptr : static_cast<double*>(mapping);
}

}

std::filesystem::path SharedClockFile::path(const std::filesystem::path& root)
{
    return root / "var" / "run" / "clock";
}

std::unique_ptr<SharedClockFile> SharedClockFile::openForWriting(const std::filesystem::path& root, const double* start)
{
    auto file = path(root);
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    FileDescriptor descriptor { open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644) };
    if (descriptor.fd < 0)
        throw std::runtime_error("cannot open the phone's clock " + file.string() + ": " + strerror(errno));
    struct stat status { };
    if (fstat(descriptor.fd, &status) != 0)
        throw std::runtime_error("cannot read the phone's clock " + file.string() + ": " + strerror(errno));
    bool fresh = status.st_size != static_cast<off_t>(sizeof(double));
    if (fresh && ftruncate(descriptor.fd, sizeof(double)) != 0)
        throw std::runtime_error("cannot size the phone's clock " + file.string() + ": " + strerror(errno));
    double* mapping = mapClock(descriptor.fd, PROT_READ | PROT_WRITE);
    if (!mapping)
        throw std::runtime_error("cannot map the phone's clock " + file.string() + ": " + strerror(errno));
    std::unique_ptr<SharedClockFile> clock(new SharedClockFile(mapping));
    if (start)
        clock->write(*start);
    else if (fresh || !std::isfinite(clock->read()))
        throw std::runtime_error("the phone's clock " + file.string() + " holds no time to resume from");
    return clock;
}

std::unique_ptr<SharedClockFile> SharedClockFile::openForReading(const std::filesystem::path& root)
{
    FileDescriptor descriptor { open(path(root).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW) };
    if (descriptor.fd < 0)
        return nullptr;
    struct stat status { };
    if (fstat(descriptor.fd, &status) != 0 || status.st_size != static_cast<off_t>(sizeof(double)))
        return nullptr;
    double* mapping = mapClock(descriptor.fd, PROT_READ);
    if (!mapping)
        return nullptr;
    return std::unique_ptr<SharedClockFile>(new SharedClockFile(mapping));
}

void SharedClockFile::remove(const std::filesystem::path& root)
{
    std::error_code ignored;
    std::filesystem::remove(path(root), ignored);
}

SharedClockFile::~SharedClockFile()
{
    munmap(m_time, sizeof(double));
}

double SharedClockFile::read() const
{
    return std::atomic_ref<double>(*m_time).load();
}

void SharedClockFile::write(double time)
{
    std::atomic_ref<double>(*m_time).store(time);
}
