#pragma once

#include "platform/session/SessionMirror.h"

#include <initializer_list>

// The session's controls that the phone writes, each one field of SessionValues.
enum class SessionControl { Level, EventRole, Media, Banners };

inline constexpr std::initializer_list<SessionControl> kSessionControls { SessionControl::Level, SessionControl::EventRole,
    SessionControl::Media, SessionControl::Banners };

// Calls `use` with the control's field of each of the values (an std::optional of the field's type).
template<class Use, class... Values>
decltype(auto) withField(SessionControl control, Use&& use, Values&... values)
{
    switch (control) {
    case SessionControl::Level:
        return use(values.level...);
    case SessionControl::EventRole:
        return use(values.eventRoleVolume...);
    case SessionControl::Media:
        return use(values.mediaVolume...);
    case SessionControl::Banners:
        break;
    }
    return use(values.showBanners...);
}

inline bool hasValue(const SessionValues& values, SessionControl control)
{
    return withField(control, [](const auto& field) { return field.has_value(); }, values);
}

inline void clearValue(SessionValues& values, SessionControl control)
{
    withField(control, [](auto& field) { field.reset(); }, values);
}

// The control's value of `from` in `to`, none included.
inline void copyValue(SessionValues& to, const SessionValues& from, SessionControl control)
{
    withField(control, [](auto& field, const auto& value) { field = value; }, to, from);
}

inline bool sameValue(const SessionValues& a, const SessionValues& b, SessionControl control)
{
    return withField(control, [](const auto& left, const auto& right) { return left == right; }, a, b);
}

// `base` with every value that `over` holds in its place, where `base` has the control at all (a
// missing service stays missing).
inline SessionValues overlaid(SessionValues base, const SessionValues& over)
{
    for (SessionControl control : kSessionControls)
        if (hasValue(base, control) && hasValue(over, control))
            copyValue(base, over, control);
    return base;
}
