#pragma once

#include <any>
#include <string>

// Methods added to a class at run time (class_addMethod): an implementation under a selector
// name, which callers look up by class and selector. The implementation is any callable; whoever
// looks it up names its type.
bool class_addMethod(const std::string& className, const std::string& selector, std::any implementation);

// The added implementation, or null when the class has none under that selector or it has
// another type.
template<typename Function>
const Function* class_getMethodImplementation(const std::string& className, const std::string& selector);

const std::any* class_findAddedMethod(const std::string& className, const std::string& selector);

template<typename Function>
const Function* class_getMethodImplementation(const std::string& className, const std::string& selector)
{
    const std::any* found = class_findAddedMethod(className, selector);
    return found ? std::any_cast<Function>(found) : nullptr;
}
