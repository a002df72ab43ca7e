#pragma once

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>

// The interface of libstatusbar's item class "LSStatusBarItem", as the system sees it. The class
// exists only once the optional library "/Library/MobileSubstrate/DynamicLibraries/
// libstatusbar.dylib" has been loaded (it registers the class when it is loaded); the system
// creates items through the class looked up by name:
//     auto item = std::dynamic_pointer_cast<LSStatusBarItem>(NSClassFromString("LSStatusBarItem")->alloc());
//     item->initWithIdentifier("com.velloq.hushline", 2);
// An item shows an image (by name) in the status bar of the simulated phone while it is
// visible; a new item is hidden until setVisible(true).
class LSStatusBarItem : public NSObject {
public:
    // Alignment: 1 left, 2 right, 4 centre.
    virtual void initWithIdentifier(const std::string& identifier, int64_t alignment) = 0;
    virtual void setImageName(const std::string& imageName) = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;
    virtual const std::string& identifier() const = 0;
};
