#pragma once

#include "platform/session/FeedbackLevel.h"

#include <cstdint>
#include <optional>

// What the session holds, in its own units: feedbackd's level, the event-role and default-sink
// volumes (the sound server's, PA_VOLUME_NORM = 100 %), GSettings' show-banners. Empty where the
// service is missing.
struct SessionValues {
    std::optional<FeedbackLevel> level;
    std::optional<uint32_t> eventRoleVolume;
    std::optional<uint32_t> mediaVolume;
    std::optional<bool> showBanners;

    bool operator==(const SessionValues&) const = default;
};

// What of the phone the session mirrors.
struct PhoneValues {
    RingerSettings ringer;
    float mediaVolume { 0 };
    bool doNotDisturb { false };

    bool operator==(const PhoneValues&) const = default;
};

// The phone's volumes (0.0 ... 1.0) in the sound server's units and back.
uint32_t serverVolume(float phoneVolume);
float phoneVolume(uint32_t serverVolume);

// Translates between the phone and the session, both ways, so that the session gets back exactly
// what its owner had. The mirror remembers the last point where the two agreed (the session's
// values as the owner left them, and the phone's values they entered as): while a part of the
// phone holds what it held then, the session gets that part's values of then, unchanged, even
// where the phone cannot express them (a "full" level with the event-role volume at 0, a volume
// between two of the phone's steps). Only what the phone changed since is translated anew.
class SessionMirror {
public:
    // The phone's values for what the owner has on the session, starting from the phone's
    // current ones (the parts whose service is missing stay as they are).
    static PhoneValues phoneValuesFor(const SessionValues&, const PhoneValues& current);

    // What the session holds once the owner has set the event-role volume: a ringer he raised
    // above 0 with the switch on ring rings, whatever level the phone had written for it.
    static SessionValues afterOwnersRinger(const SessionValues& session, const PhoneValues& phone);

    // The phone and the session agree: the owner's session values entered the phone as these.
    // Each part of the phone agrees on its own, when the owner changes it on the session.
    enum class Part { Ringer, Media, Banners };
    void agree(const PhoneValues&, const SessionValues&);
    void agree(Part, const PhoneValues&, const SessionValues&);
    // feedbackd came after the agreement: its level is the owner's at the ringer's agreed point.
    void learnLevel(FeedbackLevel);

    // What the session must hold for the phone's values. `current` is what it holds now: a ringer
    // of 0 leaves the event-role volume as it is, so that the owner's one tap to "full" brings the
    // ring back. Without feedbackd nothing else silences the ring: the event-role volume carries
    // the ringer then, 0 and the switch on silent included.
    SessionValues sessionValuesFor(const PhoneValues&, const SessionValues& current) const;

private:
    struct Agreement {
        PhoneValues phone;
        SessionValues session;
    };
    std::optional<Agreement> m_ringer;
    std::optional<Agreement> m_media;
    std::optional<Agreement> m_banners;
};
