#pragma once

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <optional>
#include <string>

// Formats and parses dates in local time with the phone's date patterns: y yyyy M MM d dd
// H HH h hh m mm s ss a, text in single quotes taken literally. With no pattern a date is
// written as its description.
class NSDateFormatter : public NSObject {
public:
    const std::string& dateFormat() const { return m_format; }
    void setDateFormat(std::string format) { m_format = std::move(format); }

    std::string stringFromDate(const NSDate&) const;
    // The fields the pattern names on 2000-01-01 00:00:00 local time, as the phone's formatter
    // fills what a pattern lacks; nullopt when the text does not match the pattern.
    std::optional<NSDate> dateFromString(const std::string&) const;

private:
    std::string m_format;
};
