#include "platform/libvelloq/VQPackageHeaderCell.h"

#include "platform/preferences/PSSpecifier.h"

void VQPackageHeaderCell::refreshCellContentsWithSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    auto text = [&](const char* key) {
        auto value = specifier->propertyForKey(key).asString();
        return value ? *value : std::string();
    };
    textLabel().text = text("title");
    detailTextLabel().text = text("subTitle");
}
