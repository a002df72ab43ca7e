#include "platform/preferences/PSListController.h"

#include "platform/foundation/ObjCRuntime.h"
#include "platform/preferences/PSSpecifier.h"
#include "platform/preferences/PSTableCell.h"
#include "platform/uikit/UIAlertController.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

void PSListController::viewDidLoad()
{
    PSViewController::viewDidLoad();
    specifiers();
}

void PSListController::reloadSpecifiers()
{
    m_specifiers.clear();
    specifiers();
    specifiersChanged(false);
}

void PSListController::reloadSpecifier(const std::shared_ptr<PSSpecifier>&, bool)
{
    specifiersChanged(false);
}

void PSListController::insertSpecifier(const std::shared_ptr<PSSpecifier>& specifier, size_t index, bool animated)
{
    insertContiguousSpecifiers({ specifier }, index, animated);
}

void PSListController::insertContiguousSpecifiers(const Specifiers& specifiers, size_t index, bool animated)
{
    index = std::min(index, m_specifiers.size());
    m_specifiers.insert(m_specifiers.begin() + static_cast<long>(index), specifiers.begin(), specifiers.end());
    if (animated)
        m_animatedChanges += specifiers.size();
    specifiersChanged(animated);
}

void PSListController::addSpecifier(const std::shared_ptr<PSSpecifier>& specifier, bool animated)
{
    insertSpecifier(specifier, m_specifiers.size(), animated);
}

void PSListController::removeSpecifier(const std::shared_ptr<PSSpecifier>& specifier, bool animated)
{
    long index = indexOfSpecifier(specifier);
    if (index >= 0)
        removeSpecifierAtIndex(static_cast<size_t>(index), animated);
}

void PSListController::removeSpecifierAtIndex(size_t index, bool animated)
{
    if (index >= m_specifiers.size())
        return;
    m_specifiers.erase(m_specifiers.begin() + static_cast<long>(index));
    if (animated)
        ++m_animatedChanges;
    specifiersChanged(animated);
}

void PSListController::removeContiguousSpecifiers(const Specifiers& specifiers, bool animated)
{
    for (const auto& specifier : specifiers) {
        auto it = std::find(m_specifiers.begin(), m_specifiers.end(), specifier);
        if (it == m_specifiers.end())
            continue;
        m_specifiers.erase(it);
        if (animated)
            ++m_animatedChanges;
    }
    specifiersChanged(animated);
}

std::shared_ptr<PSSpecifier> PSListController::specifierAtIndex(size_t index)
{
    const auto& list = specifiers();
    return index < list.size() ? list[index] : nullptr;
}

std::shared_ptr<PSSpecifier> PSListController::specifierForID(const std::string& identifier)
{
    for (const auto& specifier : specifiers())
        if (specifier->identifier() == identifier)
            return specifier;
    return nullptr;
}

long PSListController::indexOfSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    const auto& list = specifiers();
    auto it = std::find(list.begin(), list.end(), specifier);
    return it == list.end() ? -1 : static_cast<long>(it - list.begin());
}

PlistValue PSListController::readPreferenceValue(const std::shared_ptr<PSSpecifier>& specifier)
{
    const auto& value = specifier->propertyForKey("value");
    return value.isNone() ? specifier->propertyForKey("default") : value;
}

void PSListController::setPreferenceValue(const PlistValue& value, const std::shared_ptr<PSSpecifier>& specifier)
{
    specifier->setProperty(value, "value");
}

std::shared_ptr<PSTableCell> PSListController::tableViewCellForRow(size_t index)
{
    auto specifier = specifierAtIndex(index);
    if (!specifier || specifier->isGroup())
        return nullptr;
    auto cellClass = specifier->propertyForKey("cellClass").asString();
    auto cell = PSTableCell::cellForSpecifier(specifier, cellClass ? *cellClass : std::string());
    // A row without a reader of its own shows the value the list keeps for it.
    if (!specifier->hasGetter())
        if (auto value = readPreferenceValue(specifier); !value.isNone())
            cell->setValue(value);
    return cell;
}

std::shared_ptr<PSTableCell> PSListController::headerCellForGroup(size_t index)
{
    auto specifier = specifierAtIndex(index);
    if (!specifier || !specifier->isGroup())
        return nullptr;
    auto headerClass = specifier->propertyForKey("headerCellClass").asString();
    if (!headerClass)
        return nullptr;
    return PSTableCell::cellForSpecifier(specifier, *headerClass);
}

void PSListController::tableViewDidSelectRow(size_t index)
{
    auto specifier = specifierAtIndex(index);
    if (!specifier)
        return;
    switch (specifier->cellType()) {
    case PSCellType::Link:
    case PSCellType::LinkList:
        if (auto controller = controllerForSpecifier(specifier))
            pushController(controller, true);
        return;
    case PSCellType::Button:
        if (specifier->isConfirmation())
            showConfirmation(specifier);
        else if (specifier->buttonAction())
            specifier->buttonAction()(specifier);
        return;
    default:
        return;
    }
}

void PSListController::controlChanged(size_t index, const PlistValue& value)
{
    auto specifier = specifierAtIndex(index);
    if (!specifier || specifier->isGroup())
        return;
    if (specifier->hasSetter())
        specifier->performSetter(value);
    else
        setPreferenceValue(value, specifier);
    UIWindow::keyWindow().setNeedsDisplay();
}

std::shared_ptr<PSViewController> PSListController::controllerForSpecifier(const std::shared_ptr<PSSpecifier>& specifier)
{
    auto detailClass = NSClassFromString(specifier->detailControllerClass());
    auto controller = detailClass ? std::dynamic_pointer_cast<PSViewController>(detailClass->alloc()) : nullptr;
    if (!controller)
        return nullptr;
    auto self = std::static_pointer_cast<PSViewController>(shared_from_this());
    controller->setRootController(rootController() ? rootController() : self);
    controller->setParentController(self);
    controller->setSpecifier(specifier);
    if (auto list = std::dynamic_pointer_cast<PSListController>(controller))
        list->initForContentSize();
    return controller;
}

void PSListController::pushController(const std::shared_ptr<PSViewController>& controller, bool animated)
{
    if (!controller->title() && controller->specifier())
        controller->setTitle(controller->specifier()->name());
    if (auto navigation = navigationController())
        navigation->pushViewController(controller, animated);
}

void PSListController::specifiersChanged(bool)
{
    UIWindow::keyWindow().setNeedsDisplay();
}

void PSListController::showConfirmation(const std::shared_ptr<PSSpecifier>& specifier)
{
    const auto& confirmation = specifier->propertyForKey("confirmation");
    auto text = [&](const char* key, const std::string& fallback) {
        auto value = confirmation[key].asString();
        return value ? *value : fallback;
    };
    auto title = confirmation["title"].asString();
    auto sheet = UIAlertController::alertControllerWithTitle(title ? std::optional<std::string>(*title) : std::nullopt, text("prompt", ""),
        UIAlertControllerStyle::ActionSheet);
    auto okStyle = confirmation["isDestructive"].boolValue() ? UIAlertActionStyle::Destructive : UIAlertActionStyle::Default;
    std::weak_ptr<PSSpecifier> weakSpecifier = specifier;
    sheet->addAction(UIAlertAction::actionWithTitle(text("okTitle", "OK"), okStyle, [weakSpecifier](const auto&) {
        if (auto confirmed = weakSpecifier.lock(); confirmed && confirmed->buttonAction())
            confirmed->buttonAction()(confirmed);
    }));
    sheet->addAction(UIAlertAction::actionWithTitle(text("cancelTitle", "Cancel"), UIAlertActionStyle::Cancel, nullptr));
    presentViewController(sheet, true);
}
