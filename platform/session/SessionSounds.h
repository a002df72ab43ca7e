#pragma once

#include <string>

typedef struct ca_context ca_context;

// The phone's alert tones on the session's sound theme (libcanberra, role "event"). The phone's
// tone files hold no audio, so each tone is played as a sound of the freedesktop theme:
//   "texttone:Calendar Alert" -> "alarm-clock-elapsed", "texttone:Bell" -> "bell",
//   "texttone:Complete" -> "complete", "texttone:Note" and "texttone:Tri-tone" ->
//   "message-new-instant", "texttone:Chime" -> "service-login", any "ringtone:..." ->
//   "phone-incoming-call"; every other tone a sound of its own picked from the theme's message,
//   dialog and device sounds by the tone's name, so that different choices sound different.
// libcanberra plays at every level of feedbackd, so the caller decides whether a tone sounds.
class SessionSounds {
public:
    SessionSounds();
    ~SessionSounds();
    SessionSounds(const SessionSounds&) = delete;
    SessionSounds& operator=(const SessionSounds&) = delete;

    // The theme's sound for a tone identifier.
    static std::string soundFor(const std::string& toneIdentifier);

    // Plays the tone's sound once (false, with one log line, when libcanberra cannot).
    bool play(const std::string& toneIdentifier);
    // Stops the sound playing, if any.
    void stop();

private:
    ca_context* m_context { nullptr };
    bool m_failureLogged { false };
};
