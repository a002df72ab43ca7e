#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/springboard/CCUIModuleMetadata.h"

#include <memory>

// A loaded Control Center module (OS 11 and later): its metadata and the module object.
class CCUIModuleInstance : public NSObject {
public:
    CCUIModuleInstance(std::shared_ptr<CCUIModuleMetadata> metadata, std::shared_ptr<NSObject> module)
        : m_metadata(std::move(metadata)), m_module(std::move(module)) { }
    const std::shared_ptr<CCUIModuleMetadata>& metadata() const { return m_metadata; }
    const std::shared_ptr<NSObject>& module() const { return m_module; }

private:
    std::shared_ptr<CCUIModuleMetadata> m_metadata;
    std::shared_ptr<NSObject> m_module;
};
