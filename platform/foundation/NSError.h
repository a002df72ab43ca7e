#pragma once

#include <map>
#include <string>

inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* NSLocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";

// An error value: a domain, a code and texts under the standard keys.
struct NSError {
    std::string domain;
    long code { 0 };
    std::map<std::string, std::string> userInfo;

    std::string text(const char* key) const
    {
        auto it = userInfo.find(key);
        return it == userInfo.end() ? std::string() : it->second;
    }
    std::string localizedDescription() const { return text(NSLocalizedDescriptionKey); }
    std::string localizedFailureReason() const { return text(NSLocalizedFailureReasonErrorKey); }
    std::string localizedRecoverySuggestion() const { return text(NSLocalizedRecoverySuggestionErrorKey); }
    // The whole error as a log line shows it: domain, code, description and every text.
    std::string description() const
    {
        std::string texts;
        for (const auto& [key, value] : userInfo)
            texts += (texts.empty() ? "" : ", ") + key + "=" + value;
        return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription() + "\" UserInfo={" + texts + "}";
    }
};
