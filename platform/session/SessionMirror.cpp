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

SessionValues SessionMirror::afterOwnersRinger(const SessionValues& session, const PhoneValues& phone)
{
    SessionValues owner = session;
    if (owner.level && !phone.ringer.switchOnSilent && phone.ringer.ringerVolume > 0)
        owner.level = FeedbackLevel::Full;
    return owner;
}

void SessionMirror::agree(const PhoneValues& phone, const SessionValues& session)
{
    for (Part part : { Part::Ringer, Part::Media, Part::Banners })
        agree(part, phone, session);
}

void SessionMirror::agree(Part part, const PhoneValues& phone, const SessionValues& session)
{
    Agreement agreement { phone, session };
    switch (part) {
    case Part::Ringer:
        m_ringer = agreement;
        break;
    case Part::Media:
        m_media = agreement;
        break;
    case Part::Banners:
        m_banners = agreement;
        break;
    }
}

void SessionMirror::learnLevel(FeedbackLevel level)
{
    if (m_ringer)
        m_ringer->session.level = level;
}

SessionValues SessionMirror::sessionValuesFor(const PhoneValues& phone, const SessionValues& current) const
{
    SessionValues wanted = current;

    if (m_ringer && phone.ringer == m_ringer->phone.ringer) {
        wanted.level = m_ringer->session.level;
        wanted.eventRoleVolume = m_ringer->session.eventRoleVolume;
    } else {
        if (current.level)
            wanted.level = feedbackLevelFor(phone.ringer);
        if (current.eventRoleVolume && !current.level)
            wanted.eventRoleVolume = serverVolume(phone.ringer.switchOnSilent ? 0.0f : phone.ringer.ringerVolume);
        else if (current.eventRoleVolume && phone.ringer.ringerVolume > 0)
            wanted.eventRoleVolume = serverVolume(phone.ringer.ringerVolume);
    }

    if (m_media && phone.mediaVolume == m_media->phone.mediaVolume)
        wanted.mediaVolume = m_media->session.mediaVolume;
    else if (current.mediaVolume)
        wanted.mediaVolume = serverVolume(phone.mediaVolume);

    if (m_banners && phone.doNotDisturb == m_banners->phone.doNotDisturb)
        wanted.showBanners = m_banners->session.showBanners;
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
