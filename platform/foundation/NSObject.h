#pragma once

#include <any>
#include <map>
#include <memory>
#include <string>

// Base of the platform's and the system's reference objects. Objects are held by
// std::shared_ptr; a category's added property (an associated object) lives in the object's
// attachment map under the category's key.
class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;
    virtual ~NSObject() = default;

    // Identity unless a class says otherwise.
    virtual bool isEqual(const std::shared_ptr<const NSObject>& other) const { return other.get() == this; }
    virtual std::string description() const;

    // Associated objects: an empty std::any when nothing is attached under the key.
    const std::any& associatedObject(const std::string& key) const;
    void setAssociatedObject(const std::string& key, std::any value);

private:
    std::map<std::string, std::any> m_associated;
};
