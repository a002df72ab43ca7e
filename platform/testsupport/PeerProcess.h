#pragma once

#include "platform/foundation/ChildExitSource.h"
#include "platform/machinery/FileDescriptor.h"
#include "platform/foundation/RunLoopSource.h"

#include <memory>

#include <string>
#include <sys/types.h>
#include <vector>

// Another process started by a test: its standard output is read line by line on the main
// run loop, and its end is noticed there too (a pidfd), so a test waits for either with a
// bounded real-time wait while its own loop keeps serving the bus. The process inherits the
// environment (the device root) and the error stream (the test's log). Killed and reaped when
// the handle goes.
class PeerProcess {
public:
    PeerProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    pid_t pid() const { return m_pid; }
    const std::vector<std::string>& lines() const { return m_lines; }
    bool hasLine(const std::string& line) const;
    bool hasExited() const { return m_exited; }
    // The exit status (0 for success); -1 while running or when killed by a signal.
    int exitStatus() const { return m_status; }

    bool waitForLine(const std::string& line, double seconds = 10);
    bool waitForExit(double seconds = 10);

private:
    void readOutput();

    pid_t m_pid { -1 };
    FileDescriptor m_output;
    RunLoopSource m_outputSource;
    std::unique_ptr<ChildExitSource> m_exit;
    std::string m_partial;
    std::vector<std::string> m_lines;
    bool m_exited { false };
    int m_status { -1 };
};
