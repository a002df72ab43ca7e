#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

// A method of a stand-in class whose implementation can be replaced at run time, the way the
// hooking framework replaces an Objective-C method: the class calls the slot, the slot runs the
// current implementation, and whoever replaces it gets the previous implementation back to call
// (hooks call the system's implementation first, then add their step).
//
// The first argument of an instance method is the object itself (`self`).
template<typename Signature>
class HookableMethod;

template<typename R, typename... Args>
class HookableMethod<R(Args...)> {
public:
    using Implementation = std::function<R(Args...)>;

    explicit HookableMethod(Implementation system)
        : m_implementation(std::make_shared<Implementation>(std::move(system)))
    {
    }

    R operator()(Args... args) const
    {
        std::shared_ptr<Implementation> implementation;
        {
            std::lock_guard lock(m_mutex);
            implementation = m_implementation;
        }
        return (*implementation)(std::forward<Args>(args)...);
    }

    // Installs the replacement and returns the implementation it replaced.
    Implementation replace(Implementation replacement)
    {
        std::lock_guard lock(m_mutex);
        Implementation previous = *m_implementation;
        m_implementation = std::make_shared<Implementation>(std::move(replacement));
        return previous;
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<Implementation> m_implementation;
};

// MSHookMessageEx(class, selector, replacement, &original): replaces the method and hands back the
// implementation it had.
template<typename Signature>
void MSHookMessageEx(HookableMethod<Signature>& method, typename HookableMethod<Signature>::Implementation replacement,
    typename HookableMethod<Signature>::Implementation* original)
{
    auto previous = method.replace(std::move(replacement));
    if (original)
        *original = std::move(previous);
}
