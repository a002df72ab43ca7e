#pragma once

#include "platform/foundation/ChildExitSource.h"
#include "platform/foundation/RunLoopSource.h"
#include "platform/machinery/FileDescriptor.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include <nlohmann/json.hpp>

// One look at the day by `phonectl ... today --json`, run as a child process. The Settings app
// runs threads, so it never forks and runs the shadow phone itself: it spawns phonectl and reads
// the child's output on the main run loop, learning of its end through a pidfd, so that the
// loop never waits for it.
class TodayReportProcess : public std::enable_shared_from_this<TodayReportProcess> {
public:
    struct Result {
        // The report as phonectl printed it (a JSON object); none when the look failed.
        std::optional<nlohmann::json> report;
        // Why there is no report: phonectl's last message, or how it ended.
        std::string error;
    };
    using Completion = std::function<void(const Result&)>;

    // Starts the program (arguments[0], a path) with its output into pipes; the completion runs
    // on the main run loop once the child has ended and its output has been read. A child that
    // cannot be started completes on the next turn of the loop.
    static std::shared_ptr<TodayReportProcess> start(const std::vector<std::string>& arguments, Completion);

    // The completion will not run. The child is left to finish its look (it cleans up after
    // itself) and is still read and reaped.
    void cancel() { m_completion = nullptr; }

    TodayReportProcess(const TodayReportProcess&) = delete;
    TodayReportProcess& operator=(const TodayReportProcess&) = delete;

private:
    struct Stream {
        FileDescriptor fd;
        // After the descriptor: the watch ends before the descriptor is closed.
        RunLoopSource source;
        std::string text;
    };

    TodayReportProcess() = default;
    bool launch(const std::vector<std::string>& arguments, std::string& why);
    void watch(Stream&);
    void readFrom(Stream&);
    void childEnded(const ProcessExit&);
    void finishIfDone();
    Result result() const;

    Completion m_completion;
    pid_t m_pid { -1 };
    std::unique_ptr<ChildExitSource> m_exitSource;
    std::optional<ProcessExit> m_exit;
    Stream m_output;
    Stream m_errors;
    bool m_finished { false };
};
