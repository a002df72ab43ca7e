#include "platform/preferences/PSEditableListController.h"

#include "platform/preferences/PSSpecifier.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIWindow.h"

void PSEditableListController::viewDidLoad()
{
    PSListController::viewDidLoad();
    navigationItem().setRightBarButtonItem(editButtonBarItem());
}

UITableViewCellEditingStyle PSEditableListController::tableViewEditingStyleForRow(size_t index)
{
    auto specifier = specifierAtIndex(index);
    return specifier && !specifier->isGroup() ? UITableViewCellEditingStyle::Delete : UITableViewCellEditingStyle::None;
}

void PSEditableListController::tableViewCommitEditingStyle(UITableViewCellEditingStyle style, size_t index)
{
    if (style == UITableViewCellEditingStyle::Delete)
        removeSpecifierAtIndex(index, true);
}

void PSEditableListController::setEditing(bool editing, bool)
{
    m_editing = editing;
    UIWindow::keyWindow().setNeedsDisplay();
}

std::shared_ptr<UIBarButtonItem> PSEditableListController::editButtonBarItem()
{
    std::weak_ptr<PSEditableListController> weakSelf = std::static_pointer_cast<PSEditableListController>(shared_from_this());
    return UIBarButtonItem::initWithBarButtonSystemItem(UIBarButtonSystemItem::Edit, [weakSelf](const auto&) {
        if (auto self = weakSelf.lock())
            self->setEditing(!self->isEditing());
    });
}
