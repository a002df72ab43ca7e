#include "platform/tonelibrary/TLAlert.h"

#include "platform/device/Device.h"
#include "platform/foundation/ObjCRuntime.h"

namespace {

constexpr const char* kStartPlayingRepeatedly = "startPlayingRepeatedly";
constexpr const char* kStop = "stop";
constexpr const char* kPlayToneAndVibration = "playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:";
constexpr const char* kPrivatePlayToneAndVibration = "_playToneAndVibrationForType:toneIdentifier:vibrationIdentifier:shouldOverrideMasterSwitches:";

[[maybe_unused]] const bool registered = ObjCRuntime::registerClass<TLAlert>("TLAlert");

int major()
{
    return Device::current().majorSystemVersion();
}

void play(int64_t type, const std::optional<std::string>& tone, const char* via, bool repeating)
{
    Device::Tone played;
    played.identifier = tone.value_or("");
    played.type = type;
    played.via = via;
    played.repeating = repeating;
    Device::current().playTone(std::move(played));
}

}

std::shared_ptr<TLAlert> TLAlert::initWithType(int64_t type, std::optional<std::string> toneIdentifier, std::optional<std::string> vibrationIdentifier)
{
    return std::make_shared<TLAlert>(type, std::move(toneIdentifier), std::move(vibrationIdentifier));
}

TLAlert::TLAlert(int64_t type, std::optional<std::string> toneIdentifier, std::optional<std::string> vibrationIdentifier)
    : m_type(type)
    , m_toneIdentifier(std::move(toneIdentifier))
    , m_vibrationIdentifier(std::move(vibrationIdentifier))
{
}

bool TLAlert::respondsToSelector(const std::string& selector) const
{
    return (selector == kStartPlayingRepeatedly || selector == kStop) && major() >= 10;
}

bool TLAlert::classRespondsToSelector(const std::string& selector)
{
    if (selector == kPlayToneAndVibration)
        return major() >= 9;
    if (selector == kPrivatePlayToneAndVibration)
        return major() >= 8;
    return false;
}

void TLAlert::startPlayingRepeatedly()
{
    if (!respondsToSelector(kStartPlayingRepeatedly))
        ObjCRuntime::doesNotRecognizeSelector("TLAlert", kStartPlayingRepeatedly);
    play(m_type, m_toneIdentifier, kStartPlayingRepeatedly, true);
}

void TLAlert::stop()
{
    if (!respondsToSelector(kStop))
        ObjCRuntime::doesNotRecognizeSelector("TLAlert", kStop);
    Device::current().stopTone(kStop);
}

void TLAlert::playToneAndVibrationForType(int64_t type, const std::optional<std::string>& toneIdentifier, const std::optional<std::string>&)
{
    if (!classRespondsToSelector(kPlayToneAndVibration))
        ObjCRuntime::doesNotRecognizeSelector("TLAlert", kPlayToneAndVibration);
    play(type, toneIdentifier, kPlayToneAndVibration, false);
}

void TLAlert::_playToneAndVibrationForType(int64_t type, const std::optional<std::string>& toneIdentifier, const std::optional<std::string>&, bool)
{
    if (!classRespondsToSelector(kPrivatePlayToneAndVibration))
        ObjCRuntime::doesNotRecognizeSelector("TLAlert", kPrivatePlayToneAndVibration);
    play(type, toneIdentifier, kPrivatePlayToneAndVibration, false);
}
