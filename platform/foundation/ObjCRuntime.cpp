#include "platform/foundation/ObjCRuntime.h"

#include <map>
#include <mutex>
#include <stdexcept>

namespace {

struct Entry {
    Class cls;
    ObjCRuntime::Availability available;
};

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, Entry>& registry()
{
    static std::map<std::string, Entry> classes;
    return classes;
}

}

void ObjCRuntime::registerClass(Class cls, Availability available)
{
    if (!cls)
        return;
    std::lock_guard lock(registryMutex());
    std::string name = cls->name();
    registry()[name] = { std::move(cls), std::move(available) };
}

void ObjCRuntime::unregisterClass(const std::string& name)
{
    std::lock_guard lock(registryMutex());
    registry().erase(name);
}

void ObjCRuntime::doesNotRecognizeSelector(const std::string& className, const std::string& selector)
{
    throw std::logic_error("-[" + className + " " + selector + "]: unrecognized selector sent to instance");
}

Class NSClassFromString(const std::string& name)
{
    Entry entry;
    {
        std::lock_guard lock(registryMutex());
        auto it = registry().find(name);
        if (it == registry().end())
            return nullptr;
        entry = it->second;
    }
    // Asked outside the lock: the test may read the phone's files.
    if (entry.available && !entry.available())
        return nullptr;
    return entry.cls;
}

bool isKindOfClass(const std::shared_ptr<NSObject>& object, const Class& cls)
{
    return object && cls && cls->isInstance(*object);
}

bool isKindOfClassNamed(const std::shared_ptr<NSObject>& object, const std::string& name)
{
    return object && isKindOfClass(object, NSClassFromString(name));
}
