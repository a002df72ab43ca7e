#pragma once

#include "platform/session/SessionMirror.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The owner's own values of the session's controls that the phone has overridden, kept under
// the device root ("/var/lib/hushline-session/owner-values.plist") so that they survive a crash
// of the home-screen host and a reboot: every start of the link writes them back to the session
// before the phone takes its state from it. A value is recorded before the phone first overrides
// its control and removed once the session holds it again, or once the owner has set the control
// himself.
//
// The file holds "level" (string), "eventRoleVolume", "mediaVolume" (integers, the sound server's
// units), "mediaSink" (the sink the media volume was read from) with "mediaChannels" (its
// channels then, so that the balance comes back too) and "showBanners" (boolean).
class OwnerRecord {
public:
    static std::filesystem::path path();
    // An unreadable or malformed file reads as nothing recorded (and is replaced on the next
    // change).
    static OwnerRecord load();

    SessionValues values;
    std::optional<std::string> mediaSink;
    std::vector<uint32_t> mediaChannels;

    bool isEmpty() const;
    // Records the session's value of each control that is about to change, unless recorded.
    void recordBefore(const SessionValues& current, const SessionValues& wanted, const std::optional<std::string>& sink,
        const std::vector<uint32_t>& channels);
    // Drops the values the session holds again.
    void dropReturned(const SessionValues& current);
    // Writes the file (removes it when nothing is recorded); false when it cannot be written.
    bool save() const;
};
