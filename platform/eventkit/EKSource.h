#pragma once

#include "platform/foundation/NSObject.h"

#include <string>

// An account that holds calendars: one folder of the calendar database.
class EKSource : public NSObject {
public:
    EKSource(std::string sourceIdentifier, std::string title)
        : m_sourceIdentifier(std::move(sourceIdentifier)), m_title(std::move(title)) { }

    // The account folder's name.
    const std::string& sourceIdentifier() const { return m_sourceIdentifier; }
    // The account's "displayname" file, else its folder name.
    const std::string& title() const { return m_title; }

    std::string description() const override;

private:
    std::string m_sourceIdentifier;
    std::string m_title;
};
