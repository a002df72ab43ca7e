#pragma once

#include "platform/foundation/RunLoopSource.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

// PipeWire's "route-settings" metadata, watched for the event-role volume: PipeWire before
// 1.1.81 never tells a client of the stream-restore entry "sink-input-by-media-role:event"
// through its pulse server, but keeps the entry as the metadata key
// "restore.stream.Output/Audio.media.role:Notification", which pw-metadata reports as it changes.
// The watch runs `pw-metadata -n route-settings -m` and tells of each change of that key; the
// caller reads the entry again. Nothing polls: the child blocks until PipeWire tells it something.
class RouteSettingsWatch {
public:
    // Null when pw-metadata is not installed (logged once by the caller).
    static std::unique_ptr<RouteSettingsWatch> start(std::function<void()> eventRoleChanged);
    ~RouteSettingsWatch();
    RouteSettingsWatch(const RouteSettingsWatch&) = delete;
    RouteSettingsWatch& operator=(const RouteSettingsWatch&) = delete;

    // Whether a line of pw-metadata's report is a change of the event-role entry.
    static bool isEventRoleUpdate(const std::string& line);
    // Whether the sound server needs the watch: PipeWire's pulse server before 1.1.81, as its
    // server name says ("PulseAudio (on PipeWire 0.3.65)").
    static bool isNeededFor(const std::string& serverName);

    static constexpr const char* kEventRoleKey = "restore.stream.Output/Audio.media.role:Notification";

private:
    RouteSettingsWatch(pid_t, int fd, std::function<void()>);
    void readable();

    pid_t m_child;
    int m_fd;
    std::function<void()> m_changed;
    std::string m_pending;
    RunLoopSource m_source;
};
