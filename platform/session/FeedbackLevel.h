#pragma once

#include <optional>
#include <string>

// feedbackd's global level, which Phosh's quick setting cycles: "full" (sound and vibration),
// "quiet" (vibration only), "silent" (neither).
enum class FeedbackLevel { Full, Quiet, Silent };

const char* feedbackLevelName(FeedbackLevel);
// Only the three names; feedbackd accepts any string and then keeps its old level, so nothing
// else is ever written or believed.
std::optional<FeedbackLevel> parseFeedbackLevel(const std::string&);

// What of the phone the level stands for: the ring/silent switch, the ringer volume and the two
// vibrate settings.
struct RingerSettings {
    bool switchOnSilent { false };
    float ringerVolume { 0 };
    bool ringVibrate { false };
    bool silentVibrate { false };

    bool operator==(const RingerSettings&) const = default;
};

// The level the phone's settings ask for: "full" unless the switch is on silent or the ringer is
// 0; then "quiet" when the vibrate setting that applies (silent vibrate with the switch on
// silent, ring vibrate with the ringer at 0) is on, else "silent". "full" has no level without
// vibration, so a phone that rings without vibrating still vibrates on the session.
FeedbackLevel feedbackLevelFor(const RingerSettings&);

// The phone's settings for a level the owner chose on the session, with the ringer at the
// event-role volume: "full" puts the switch on ring; "quiet" puts it on silent with silent
// vibrate on; "silent" puts it on silent with silent vibrate off. Ring vibrate is the phone's
// own and stays as it is.
RingerSettings ringerSettingsFor(FeedbackLevel, float eventRoleVolume, const RingerSettings& current);
