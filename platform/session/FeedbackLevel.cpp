#include "platform/session/FeedbackLevel.h"

const char* feedbackLevelName(FeedbackLevel level)
{
    switch (level) {
    case FeedbackLevel::Full:
        return "full";
    case FeedbackLevel::Quiet:
        return "quiet";
    case FeedbackLevel::Silent:
        return "silent";
    }
    return "full";
}

std::optional<FeedbackLevel> parseFeedbackLevel(const std::string& name)
{
    if (name == "full")
        return FeedbackLevel::Full;
    if (name == "quiet")
        return FeedbackLevel::Quiet;
    if (name == "silent")
        return FeedbackLevel::Silent;
    return std::nullopt;
}

FeedbackLevel feedbackLevelFor(const RingerSettings& settings)
{
    if (!settings.switchOnSilent && settings.ringerVolume > 0)
        return FeedbackLevel::Full;
    bool vibrates = settings.switchOnSilent ? settings.silentVibrate : settings.ringVibrate;
    return vibrates ? FeedbackLevel::Quiet : FeedbackLevel::Silent;
}

RingerSettings ringerSettingsFor(FeedbackLevel level, float eventRoleVolume, const RingerSettings& current)
{
    RingerSettings settings = current;
    settings.ringerVolume = eventRoleVolume;
    settings.switchOnSilent = level != FeedbackLevel::Full;
    if (level != FeedbackLevel::Full)
        settings.silentVibrate = level == FeedbackLevel::Quiet;
    return settings;
}
