#include "preferences/HLTitleRule.h"

#include "core/profile/HLProfilesManager.h"
#include "platform/foundation/NSBundle.h"

#include <algorithm>
#include <cctype>

namespace {

bool isBlank(const std::optional<std::string>& text)
{
    return !text || std::all_of(text->begin(), text->end(), [](unsigned char c) { return std::isspace(c); });
}

bool isTakenByAnother(const std::string& title, int64_t identifier)
{
    const auto& profiles = HLProfilesManager::sharedManager().profiles();
    return std::any_of(profiles.begin(), profiles.end(), [&](const auto& p) { return p->identifier() != identifier && p->title() == title; });
}

NSError refusal(HLTitleChange change, const char* reason, const char* suggestion)
{
    NSError error { NSBundle::mainBundle()->bundleIdentifier(), 1, {} };
    error.userInfo[NSLocalizedDescriptionKey]
        = HLProfilesManager::localizedText(change == HLTitleChange::Add ? "Unable to add profile." : "Unable to update profile.");
    error.userInfo[NSLocalizedFailureReasonErrorKey] = HLProfilesManager::localizedText(reason);
    error.userInfo[NSLocalizedRecoverySuggestionErrorKey] = HLProfilesManager::localizedText(suggestion);
    return error;
}

}

std::optional<NSError> hl_titleRefusal(const std::optional<std::string>& title, int64_t identifier, HLTitleChange change)
{
    if (isBlank(title))
        return refusal(change, "Profile name is required.", "Enter profile name and try.");
    // Adding leaves the taken title to the store, which refuses it in the same words.
    if (change == HLTitleChange::Rename && isTakenByAnother(*title, identifier))
        return refusal(change, "Profile name already exist.", "Change profile name and try.");
    return std::nullopt;
}
