#pragma once

#include <filesystem>
#include <memory>

// The time of a phone booted on a virtual clock, shared by every process of that phone: the
// file "var/run/clock" under the device root holds the present moment as one IEEE double (the
// seconds since 1970-01-01 00:00:00 UTC, in the machine's byte order), which every process maps
// into memory. The home-screen host owns the clock and writes it; everyone else reads it. A
// read or a write is one atomic 8-byte access, so a reader never sees half a time.
//
// The file is rewritten in place, never replaced, so that a process that mapped it earlier keeps
// seeing the time after the owner restarts.
class SharedClockFile {
public:
    static std::filesystem::path path(const std::filesystem::path& root);

    // Maps the root's clock for writing, creating it at `start` when it is missing or malformed;
    // an existing clock keeps its time unless `start` is given. Throws std::runtime_error when the
    // file cannot be created or mapped.
    static std::unique_ptr<SharedClockFile> openForWriting(const std::filesystem::path& root, const double* start);
    // Maps the root's clock for reading; null when the phone has no shared clock.
    static std::unique_ptr<SharedClockFile> openForReading(const std::filesystem::path& root);
    // Removes the root's clock (a phone booted on the system clock has none).
    static void remove(const std::filesystem::path& root);

    ~SharedClockFile();
    SharedClockFile(const SharedClockFile&) = delete;
    SharedClockFile& operator=(const SharedClockFile&) = delete;

    double read() const;
    void write(double);

private:
    explicit SharedClockFile(double* mapping) : m_time(mapping) { }

    double* m_time;
};
