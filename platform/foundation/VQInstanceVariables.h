#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <functional>
#include <memory>
#include <string>

// [object vq_instanceVariableForKey:key], the method libvelloq adds to every object: the value of
// the object's instance variable of that name, or no value when its class has none. An object
// variable comes back as an object value, an array of objects as an array of object values.
PlistValue vq_instanceVariableForKey(const std::shared_ptr<NSObject>& object, const std::string& key);

// The instance variables the stand-in classes expose to a look-up by name, registered by each
// class beside its code.
class VQInstanceVariables {
public:
    using Reader = std::function<PlistValue(NSObject&)>;

    // The variable `key` of instances of T (and of its subclasses). Returns true, for use in a
    // static initialiser.
    template<class T>
    static bool add(const std::string& key, std::function<PlistValue(T&)> read)
    {
        add(key, [read = std::move(read)](NSObject& object) -> PlistValue {
            auto* instance = dynamic_cast<T*>(&object);
            return instance ? read(*instance) : PlistValue();
        });
        return true;
    }

    // An array value holding the objects.
    template<class T>
    static PlistValue objects(const std::vector<std::shared_ptr<T>>& list)
    {
        PlistArray array;
        for (const auto& object : list)
            array.emplace_back(std::static_pointer_cast<NSObject>(object));
        return array;
    }

private:
    static void add(const std::string& key, Reader);
    friend PlistValue vq_instanceVariableForKey(const std::shared_ptr<NSObject>&, const std::string&);
};
