#pragma once

#include "platform/foundation/NSObject.h"

#include <functional>
#include <memory>
#include <string>

// The classes of the phone's run time, as far as the system looks them up by name
// (NSClassFromString). Each stand-in class registers itself with the OS versions on which it
// exists; a library loaded at run time (libstatusbar) registers its classes when it is loaded.
// A class that does not exist on the simulated phone is nullptr.
class ObjCClass {
public:
    using InstanceTest = std::function<bool(const NSObject&)>;
    using Allocator = std::function<std::shared_ptr<NSObject>()>;

    ObjCClass(std::string name, InstanceTest isInstance, Allocator allocator)
        : m_name(std::move(name)), m_isInstance(std::move(isInstance)), m_allocator(std::move(allocator)) { }

    const std::string& name() const { return m_name; }
    // [object isKindOfClass:self]
    bool isInstance(const NSObject& object) const { return m_isInstance && m_isInstance(object); }
    // [self alloc]: a new instance for the caller to initialise; nullptr for a class whose
    // instances only the phone creates.
    std::shared_ptr<NSObject> alloc() const { return m_allocator ? m_allocator() : nullptr; }

private:
    std::string m_name;
    InstanceTest m_isInstance;
    Allocator m_allocator;
};

using Class = std::shared_ptr<const ObjCClass>;

class ObjCRuntime {
public:
    // Whether the class exists now (usually a test of the phone's OS version); empty: always.
    using Availability = std::function<bool()>;

    // A later registration of the same name replaces the earlier one.
    static void registerClass(Class, Availability = {});
    // Registers the C++ class T under the name; instances of T and of its subclasses are kinds
    // of it. Returns true, for use in a static initialiser.
    template<class T>
    static bool registerClass(std::string name, Availability available = {}, ObjCClass::Allocator allocator = {})
    {
        registerClass(std::make_shared<ObjCClass>(std::move(name), [](const NSObject& object) { return dynamic_cast<const T*>(&object) != nullptr; },
                          std::move(allocator)),
            std::move(available));
        return true;
    }
    static void unregisterClass(const std::string& name);

    // A message the object's class does not implement on this OS version: the phone raises an
    // exception (and SpringBoard crashes), so the stand-ins throw std::logic_error.
    [[noreturn]] static void doesNotRecognizeSelector(const std::string& className, const std::string& selector);
};

Class NSClassFromString(const std::string& name);
// [object isKindOfClass:cls]; false for a missing object or class.
bool isKindOfClass(const std::shared_ptr<NSObject>& object, const Class& cls);
// [object isKindOfClass:NSClassFromString(name)]
bool isKindOfClassNamed(const std::shared_ptr<NSObject>& object, const std::string& name);
