#pragma once

#include "platform/foundation/NSObject.h"

#include <string>

// What Control Center knows of a module (OS 11 and later): its bundle's identifier.
class CCUIModuleMetadata : public NSObject {
public:
    explicit CCUIModuleMetadata(std::string moduleIdentifier) : m_moduleIdentifier(std::move(moduleIdentifier)) { }
    const std::string& moduleIdentifier() const { return m_moduleIdentifier; }

private:
    std::string m_moduleIdentifier;
};
