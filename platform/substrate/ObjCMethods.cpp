#include "platform/substrate/ObjCMethods.h"

#include <map>
#include <mutex>
#include <utility>

namespace {

std::mutex& methodsMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<std::pair<std::string, std::string>, std::any>& addedMethods()
{
    static std::map<std::pair<std::string, std::string>, std::any> methods;
    return methods;
}

}

bool class_addMethod(const std::string& className, const std::string& selector, std::any implementation)
{
    std::lock_guard lock(methodsMutex());
    // As on the phone, a method the class already has is not replaced.
    return addedMethods().emplace(std::make_pair(className, selector), std::move(implementation)).second;
}

const std::any* class_findAddedMethod(const std::string& className, const std::string& selector)
{
    std::lock_guard lock(methodsMutex());
    auto it = addedMethods().find({ className, selector });
    return it == addedMethods().end() ? nullptr : &it->second;
}
