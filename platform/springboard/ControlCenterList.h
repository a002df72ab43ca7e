#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/ObjCRuntime.h"
#include "platform/foundation/VQInstanceVariables.h"

#include <memory>
#include <string>
#include <vector>

// A part of Control Center that holds other parts in order: the pages, a page's sections, a
// section's toggles. Each OS generation has classes of its own for these, which differ only in
// their name, the OS versions they exist on, what they hold and the instance variable through
// which the system reads it.
class ControlCenterList : public NSObject {
public:
    using Elements = std::vector<std::shared_ptr<NSObject>>;

    const Elements& elements() const { return m_elements; }

    // Registers T, a ControlCenterList, as the phone's class `name` on the OS major versions
    // `first` to `last`, its elements readable as the instance variable `variable` when one is
    // named. Returns true, for use in a static initialiser.
    template<class T>
    static bool registerClass(const char* name, int first, int last, const char* variable = nullptr)
    {
        ObjCRuntime::registerClass<T>(name, onMajorVersions(first, last));
        if (variable)
            VQInstanceVariables::add<T>(variable, [](T& list) { return VQInstanceVariables::objects(list.elements()); });
        return true;
    }

protected:
    explicit ControlCenterList(Elements elements) : m_elements(std::move(elements)) { }
    // A part that the system never operates (brightness, media, the other toggles), named for the
    // phone's class it stands for.
    static std::shared_ptr<NSObject> placeholder(std::string phoneClass);

private:
    static ObjCRuntime::Availability onMajorVersions(int first, int last);

    Elements m_elements;
};
