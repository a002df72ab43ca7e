#pragma once

#include "platform/session/SessionControl.h"
#include "platform/session/SessionMirror.h"

#include <filesystem>
#include <map>
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
// channels then, so that the balance comes back too), "otherSinks" (a dictionary of sink names to
// their channels) and "showBanners" (boolean).
// How the record changes is a function of the event alone (the file aside), so that the link
// only carries it out:
//   - the phone is about to write while a profile holds it: each control it changes is recorded
//     first, with what the session will hold once our writes on the way have landed;
//   - the phone writes while no profile holds it (a revert, the owner's values given back):
//     nothing is recorded, those writes are the owner's own values;
//   - the owner sets a control himself: its entry goes, the session holds his value;
//   - the phone has been at rest a while and every write landed: the record keeps only the
//     controls whose write could not land (a service gone, a bus closed), for the next start.
class OwnerRecord {
public:
    static std::filesystem::path path();
    // An unreadable or malformed file reads as nothing recorded (and is replaced on the next
    // change).
    static OwnerRecord load();

    SessionValues values;
    std::optional<std::string> mediaSink;
    std::vector<uint32_t> mediaChannels;
    // Sinks that became the default while the phone held the media volume (headphones plugged in
    // or out in a meeting), with their owner's channels: each gets its own back.
    std::map<std::string, std::vector<uint32_t>> otherSinks;

    bool isEmpty() const;
    // Records the session's value of each control that is about to change, unless recorded.
    void recordBefore(const SessionValues& current, const SessionValues& wanted, const std::optional<std::string>& sink,
        const std::vector<uint32_t>& channels);
    // A sink that became the default while the media volume is recorded, with its channels now.
    void recordSink(const std::string& sink, const std::vector<uint32_t>& channels);
    // The owner set the control himself.
    void forget(SessionControl);
    // The phone is at rest and our writes are done: only the controls whose write failed stay.
    void settle(const std::vector<SessionControl>& failed);
    bool holds(SessionControl) const;
    // Writes the file (removes it when nothing is recorded); false when it cannot be written.
    bool save() const;
};
