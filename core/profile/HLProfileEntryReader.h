#pragma once

#include "platform/foundation/PlistValue.h"

#include <optional>
#include <string>
#include <vector>

// Reads one key of a profiles-file entry. A value of a type the field cannot take is treated as
// missing, with a Warning line, so that a damaged entry still loads.
class HLProfileEntryReader {
public:
    explicit HLProfileEntryReader(const PlistDictionary& entry) : m_entry(entry) { }

    // Numbers and strings convert as the phone converts them; anything else reads as missing.
    const PlistValue& scalar(const char* key) const;
    std::optional<std::string> text(const char* key) const;
    // nullopt when the key is missing or unusable: the list field is then left as it was.
    std::optional<std::vector<std::string>> list(const char* key) const;

private:
    const PlistValue& lookup(const char* key) const;
    const PlistValue& rejected(const char* key, const PlistValue& value, const char* expected) const;

    const PlistDictionary& m_entry;
};
