#include "platform/session/SessionSounds.h"

#include "platform/foundation/NSLog.h"

#include <canberra.h>
#include <cstdint>
#include <map>

namespace {

constexpr uint32_t kPlayId = 1;

const std::map<std::string, std::string>& namedSounds()
{
    static const std::map<std::string, std::string> sounds {
        { "texttone:Calendar Alert", "alarm-clock-elapsed" },
        { "texttone:Bell", "bell" },
        { "texttone:Complete", "complete" },
        { "texttone:Note", "message-new-instant" },
        { "texttone:Tri-tone", "message-new-instant" },
        { "texttone:Chime", "service-login" },
    };
    return sounds;
}

// The theme's short sounds that suit an alert, for the tones without a sound of their own.
const char* const kOtherSounds[] = { "message", "dialog-information", "window-attention", "complete", "bell", "device-added",
    "service-logout", "dialog-warning", "power-plug", "network-connectivity-established", "camera-shutter", "window-question" };

// FNV-1a: the same tone picks the same sound on every machine and in every release.
uint32_t stableHash(const std::string& text)
{
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

}

std::string SessionSounds::soundFor(const std::string& tone)
{
    if (auto named = namedSounds().find(tone); named != namedSounds().end())
        return named->second;
    if (tone.rfind("ringtone:", 0) == 0)
        return "phone-incoming-call";
    return kOtherSounds[stableHash(tone) % std::size(kOtherSounds)];
}

SessionSounds::SessionSounds()
{
    if (ca_context_create(&m_context) < 0) {
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Hushline", CA_PROP_APPLICATION_ID, "com.velloq.hushline", nullptr);
}

SessionSounds::~SessionSounds()
{
    if (m_context)
        ca_context_destroy(m_context);
}

bool SessionSounds::play(const std::string& tone)
{
    int r = m_context ? ca_context_play(m_context, kPlayId, CA_PROP_EVENT_ID, soundFor(tone).c_str(), CA_PROP_MEDIA_ROLE, "event",
                            CA_PROP_EVENT_DESCRIPTION, tone.c_str(), nullptr)
                      : CA_ERROR_NOTAVAILABLE;
    if (r < 0 && !m_failureLogged) {
        m_failureLogged = true;
        NSLog("Session: the sound server does not play tones: %s", ca_strerror(r));
    }
    return r >= 0;
}

void SessionSounds::stop()
{
    if (m_context)
        ca_context_cancel(m_context, kPlayId);
}
