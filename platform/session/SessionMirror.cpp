#include "platform/session/SessionMirror.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kNormalVolume = 0x10000U;

}

uint32_t serverVolume(float volume)
{
    if (std::isnan(volume))
        return 0;
    return static_cast<uint32_t>(std::lround(std::clamp(static_cast<double>(volume), 0.0, 1.0) * kNormalVolume));
}

float phoneVolume(uint32_t volume)
{
    return static_cast<float>(std::min(1.0, volume / kNormalVolume));
}

PhoneValues SessionMirror::phoneValuesFor(const SessionValues& session, const PhoneValues& current)
{
    PhoneValues phone = current;
    if (session.level) {
        float ringer = session.eventRoleVolume ? phoneVolume(*session.eventRoleVolume) : current.ringer.ringerVolume;
        phone.ringer = ringerSettingsFor(*session.level, ringer, current.ringer);
    } else if (session.eventRoleVolume) {
        phone.ringer.ringerVolume = phoneVolume(*session.eventRoleVolume);
    }
    if (session.mediaVolume)
        phone.mediaVolume = phoneVolume(*session.mediaVolume);
    if (session.showBanners)
        phone.doNotDisturb = !*session.showBanners;
    return phone;
}

void SessionMirror::agree(const PhoneValues& phone, const SessionValues& session)
{
    m_agreed = Agreement { phone, session };
}

SessionValues SessionMirror::sessionValuesFor(const PhoneValues& phone, const SessionValues& current) const
{
    SessionValues wanted = current;
    const Agreement* agreed = m_agreed ? &*m_agreed : nullptr;

    if (agreed && phone.ringer == agreed->phone.ringer) {
        wanted.level = agreed->session.level;
        wanted.eventRoleVolume = agreed->session.eventRoleVolume;
    } else {
        if (current.level)
            wanted.level = feedbackLevelFor(phone.ringer);
        if (current.eventRoleVolume && phone.ringer.ringerVolume > 0)
            wanted.eventRoleVolume = serverVolume(phone.ringer.ringerVolume);
    }

    if (agreed && phone.mediaVolume == agreed->phone.mediaVolume)
        wanted.mediaVolume = agreed->session.mediaVolume;
    else if (current.mediaVolume)
        wanted.mediaVolume = serverVolume(phone.mediaVolume);

    if (agreed && phone.doNotDisturb == agreed->phone.doNotDisturb)
        wanted.showBanners = agreed->session.showBanners;
    else if (current.showBanners)
        wanted.showBanners = !phone.doNotDisturb;

    // A missing service stays missing.
    if (!current.level)
        wanted.level.reset();
    if (!current.eventRoleVolume)
        wanted.eventRoleVolume.reset();
    if (!current.mediaVolume)
        wanted.mediaVolume.reset();
    if (!current.showBanners)
        wanted.showBanners.reset();
    return wanted;
}
