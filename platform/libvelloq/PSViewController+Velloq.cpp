#include "platform/libvelloq/PSViewController+Velloq.h"

#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UINavigationController.h"

#include <algorithm>
#include <cctype>

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

template<class Match>
long lastIndexWhere(const PSListController::Specifiers& specifiers, Match match)
{
    for (long i = static_cast<long>(specifiers.size()) - 1; i >= 0; --i)
        if (match(*specifiers[static_cast<size_t>(i)]))
            return i;
    return -1;
}

}

std::shared_ptr<UINavigationController> __vqRealNavigationController(const PSViewController& controller)
{
    auto navigation = controller.navigationController();
    while (navigation && navigation->navigationController() && navigation->navigationController() != navigation)
        navigation = navigation->navigationController();
    return navigation;
}

long vq__identifierIndex(const PSListController::Specifiers& specifiers, const std::string& label)
{
    return lastIndexWhere(specifiers, [&](const PSSpecifier& specifier) {
        // A row's "label" is its name.
        return specifier.name() && equalIgnoringCase(*specifier.name(), label);
    });
}

std::shared_ptr<PSSpecifier> vq__specifierForIdentifier(const PSListController::Specifiers& specifiers, const std::string& label)
{
    long index = vq__identifierIndex(specifiers, label);
    return index < 0 ? nullptr : specifiers[static_cast<size_t>(index)];
}

long vq__indexByIdentifier(const PSListController::Specifiers& specifiers, const std::string& identifier)
{
    return lastIndexWhere(specifiers, [&](const PSSpecifier& specifier) { return specifier.identifier() == identifier; });
}

std::shared_ptr<PSSpecifier> vq__specifierByIdentifier(const PSListController::Specifiers& specifiers, const std::string& identifier)
{
    long index = vq__indexByIdentifier(specifiers, identifier);
    return index < 0 ? nullptr : specifiers[static_cast<size_t>(index)];
}
