#pragma once

#include <compare>
#include <string>

using NSTimeInterval = double;

// A point in time: seconds since 1970-01-01 00:00:00 UTC. A value, compared by its time.
// "Unset" dates are std::optional<NSDate>.
class NSDate {
public:
    constexpr NSDate() = default;
    constexpr explicit NSDate(NSTimeInterval since1970) : m_since1970(since1970) { }

    // Now, on the process clock.
    static NSDate date();
    static constexpr NSDate dateWithTimeIntervalSince1970(NSTimeInterval t) { return NSDate(t); }
    static NSDate dateWithTimeIntervalSinceNow(NSTimeInterval t);

    constexpr NSTimeInterval timeIntervalSince1970() const { return m_since1970; }
    constexpr NSTimeInterval timeIntervalSinceDate(const NSDate& other) const { return m_since1970 - other.m_since1970; }
    NSTimeInterval timeIntervalSinceNow() const;
    constexpr NSDate dateByAddingTimeInterval(NSTimeInterval t) const { return NSDate(m_since1970 + t); }
    constexpr bool isEqualToDate(const NSDate& other) const { return m_since1970 == other.m_since1970; }

    // "2026-12-08 09:00:00 +0100" in local time, as the phone prints dates in logs.
    std::string description() const;

    constexpr auto operator<=>(const NSDate&) const = default;

private:
    NSTimeInterval m_since1970 { 0 };
};
